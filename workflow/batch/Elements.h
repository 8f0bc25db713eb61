// The element table of a batch: a CSV of elements read into periodic-table records, and the
// periodic-table database written from them (under a temporary name, moved into place when
// complete). Used by quan-elements and by the batch tool for a batch's elements.csv.
//
// One row per element after a header row:
//   Symbol,AtomicNumber,Mass,ResponseFactor,ScaleFactor,Isotopes,Interferences
// Isotopes: "mass:abundance[:responseFactor]" items separated by '|', filling slots 1 to 10 in
// order (response factor 1 when not given). Interferences: "name:slot:mass:factor" items
// separated by '|', at most 4.
#pragma once

#include <string>
#include <vector>

#include "quan.h"

namespace Batch {

struct Element {
    int atomicNumber = 0;
    tagELEMENTstruct record{};
};

// False with `error` ("file: line N: what") at the first row that does not read.
bool ReadElementsFile(const std::string& path, std::vector<Element>& elements, std::string& error);
// Writes the database; false when it cannot be written (an earlier file at `path` is kept).
bool WritePeriodicDatabase(const std::string& path, const std::vector<Element>& elements, std::string& error);

}  // namespace Batch
