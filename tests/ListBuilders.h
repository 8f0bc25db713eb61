// Lists built from a few entries, for tests that state their methods, peaks and curves inline.
#pragma once

#include <vector>

#include "records/CalibrationList.h"
#include "records/MethodList.h"
#include "records/PeakList.h"

namespace test_lists {

template <class List, class Entry>
List ListOf(const std::vector<Entry>& entries) {
    List list;
    for (const Entry& entry : entries) list.Add(entry);
    return list;
}

inline CMethodList Methods(const std::vector<CMethodData>& entries) { return ListOf<CMethodList>(entries); }
inline CPeakList Peaks(const std::vector<CPeakData>& peaks) { return ListOf<CPeakList>(peaks); }
inline CCalibrationList Curves(const std::vector<CCalibrationData>& curves) { return ListOf<CCalibrationList>(curves); }

}  // namespace test_lists
