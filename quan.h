// The quantification engine's public interface: every exported class and function.
// Hosts include this one header and link the `quan` library.
#pragma once

// outside components (stand-ins on this platform)
#include "platform/ClassFramework.h"
#include "platform/FlatDatabase.h"
#include "platform/IntegrateParams.h"
#include "platform/Integration.h"
#include "platform/MassStringComparitor.h"
#include "platform/MethodRecord.h"
#include "platform/RawData.h"
#include "platform/SampleRecord.h"
#include "platform/Security.h"
#include "platform/Utility.h"
#include "platform/WordMatch.h"
#include "platform/XMLParser.h"

// records and lists
#include "records/KeywordTables.h"
#include "records/MethodData.h"
#include "records/MethodList.h"

// peak entry, number formatting and the peak list
#include "records/PeakRecord.h"
#include "records/PeakData.h"
#include "records/PeakList.h"

// calibration curves, samples and their lists
#include "records/CurveRecord.h"
#include "records/CalibrationData.h"
#include "records/CalibrationList.h"
#include "records/QuanSampleData.h"
#include "records/QuanSampleDataList.h"

// location engine
#include "locate/FilteredPeakIterator.h"
#include "locate/LocateStatus.h"
#include "locate/QuanLocate.h"
#include "locate/TestRatioFailed.h"

// calibration engine and the periodic-table database
#include "calibrate/AxisTransform.h"
#include "calibrate/CurveFitting.h"
#include "calibrate/ElementRecord.h"
#include "calibrate/HostProcess.h"
#include "calibrate/PeriodicDatabase.h"
#include "calibrate/PolynomialFit.h"
#include "calibrate/QuanCalibrate.h"

// quantification engine
#include "quantify/QuantifyStatus.h"
#include "quantify/CurveInversion.h"
#include "quantify/QuanQuantify.h"

// report fields, curve description and statistics
#include "report/PeakFieldStrings.h"
#include "report/StatsCompound.h"
#include "report/Statistics.h"

// spectrum match scoring
#include "spectrum/MatchScoring.h"

// raw data: chromatograms from mzML files and detector text exports
#include "rawdata/Chromatogram.h"
#include "rawdata/RawDataReader.h"

// peak integration of raw chromatograms
#include "integrate/Smoothing.h"
#include "integrate/PeakIntegrator.h"
#include "integrate/MethodIntegration.h"
