// The element table of a batch: a CSV of elements read into periodic-table records, and the
// periodic-table database written from them (under a temporary name, moved into place when
// complete). Used by quan-elements, and by the batch session for a batch's elements.csv.
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
#include "platform/Problem.h"

namespace Batch {

struct Element {
    int atomicNumber = 0;
    tagELEMENTstruct record{};
};

// False with `error` ("file: line N: what") at the first row that does not read.
bool ReadElementsFile(const std::string& path, std::vector<Element>& elements, std::string& error);
// Writes the database; false when it cannot be written (an earlier file at `path` is kept).
bool WritePeriodicDatabase(const std::string& path, const std::vector<Element>& elements, std::string& error);

// The periodic-table database a batch's engines open, built from its element table into a
// temporary file (under TMPDIR, else /tmp) that is removed when the object goes.
class PeriodicDatabaseFile {
public:
    PeriodicDatabaseFile() = default;
    ~PeriodicDatabaseFile();
    PeriodicDatabaseFile(const PeriodicDatabaseFile&) = delete;
    PeriodicDatabaseFile& operator=(const PeriodicDatabaseFile&) = delete;

    // Nothing to do for an empty `elementsFile`; false with a problem naming the file when
    // the table does not read or the database cannot be written.
    bool Build(const std::string& elementsFile, std::vector<Quan::Problem>& problems);
    // The database's path; empty when the batch has no element table.
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

}  // namespace Batch
