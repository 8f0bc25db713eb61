// The axis transformations of a calibration curve (0 none, 1 Ln, 2 Log, 3 square root), shared
// by the calibration engine, which fits in transformed units, and by quantification, which
// maps a concentration found on such a curve back.
#pragma once

#include "records/KeywordTables.h"  // kAxisNone, kAxisLn, kAxisLog10, kAxisSquareRoot

// The value mapped back from transformed units: e^x, 10^x or x squared; any other code gives
// x unchanged. There is no guard on x: a transformed value is always mapped back.
double InverseTransformation(double x, int transformation);
