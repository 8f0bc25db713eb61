// Status codes of a location run. The engine reports by number only; 0 is success, 1 and 2
// steer the location loop between an entry and its reference, 3 is a search without result
// that does not stop the run, and every value from 4 up ends the run at once (13 alone is
// reported by the working-data reset and not acted on).
#pragma once

constexpr int kLocateOK = 0;
// A strategy asks the loop to locate the entry's reference first; from QuanDoLocation the same
// number reports that totals location failed.
constexpr int kLocateReferenceFirst = 1;
constexpr int kLocateTotalsFailed = 1;
// Go back to the entry that waits for the one just worked on.
constexpr int kLocateBackTrack = 2;
constexpr int kLocateNotFound = 3;
// The first status that ends a run.
constexpr int kLocateFirstFatal = 4;
constexpr int kLocateBadLocateMethod = 4;
// A peak names a method entry beyond the end of the method.
constexpr int kPeakNamesNoEntry = 4;
constexpr int kLocateListsUnequal = 5;
// An element entry's response needs the periodic-table database, which did not open or read.
constexpr int kLocateElementUnreadable = 9;
constexpr int kLocateBadStdLevel = 13;
constexpr int kLocateEmptyPeakList = 15;
constexpr int kLocateMissingList = 17;
constexpr int kLocateCircularReference = 21;
constexpr int kLocatePeakAssigned = 22;
constexpr int kLocateFunctionDiffers = 23;
constexpr int kLocateChromatogramDiffers = 24;
constexpr int kLocateNotAvailable = 26;
