// Lists built from a few entries, for tests that state their methods, peaks and curves inline,
// and With() for an entry that differs from its builder's in one setting, stated where it is used.
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

// A copy of `value` with `change` applied to it.
template <class T, class Change>
T With(T value, Change change) {
    change(value);
    return value;
}

inline CMethodList Methods(const std::vector<CMethodData>& entries) { return ListOf<CMethodList>(entries); }
inline CPeakList Peaks(const std::vector<CPeakData>& peaks) { return ListOf<CPeakList>(peaks); }
inline CCalibrationList Curves(const std::vector<CCalibrationData>& curves) { return ListOf<CCalibrationList>(curves); }

}  // namespace test_lists
