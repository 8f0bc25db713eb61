#include "workflow/batch/Elements.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "workflow/support/Csv.h"

namespace Batch {

namespace {

bool Fail(std::string& error, int line, const std::string& what) {
    error = "line " + std::to_string(line) + ": " + what;
    return false;
}

bool ParseIsotopes(const std::string& cell, int line, tagELEMENTstruct& record, std::string& error) {
    const std::vector<std::string> items = Csv::Split(cell, '|');
    if (items.size() > 10) return Fail(error, line, "more than 10 isotopes");
    for (size_t i = 0; i < items.size(); ++i) {
        const std::vector<std::string> parts = Csv::Split(items[i], ':');
        tagELEMENTISOTOPE& isotope = record.Isotopes[i + 1];
        isotope.ResponseFactor = 1.0;
        if ((parts.size() != 2 && parts.size() != 3) || !Csv::ToDouble(parts[0], isotope.Mass) ||
            !Csv::ToDouble(parts[1], isotope.Abundance) || (parts.size() == 3 && !Csv::ToDouble(parts[2], isotope.ResponseFactor)))
            return Fail(error, line, "isotope \"" + items[i] + "\" is not mass:abundance[:responseFactor]");
        if (isotope.Mass <= 0.0 || isotope.Abundance < 0.0 || isotope.Abundance > 100.0)
            return Fail(error, line, "isotope \"" + items[i] + "\" has a mass or abundance out of range");
        record.IsotopeInUse[i + 1] = 1;
    }
    return true;
}

bool ParseInterferences(const std::string& cell, int line, tagELEMENTstruct& record, std::string& error) {
    const std::vector<std::string> items = Csv::Split(cell, '|');
    if (items.size() > tagELEMENTstruct::kNumInterferences) return Fail(error, line, "more than 4 interferences");
    for (size_t k = 0; k < items.size(); ++k) {
        const std::vector<std::string> parts = Csv::Split(items[k], ':');
        tagELEMENTINTERFERENCE& interference = record.Interferences[k];
        int slot = 0;
        if (parts.size() != 4 || !Csv::ToInt(parts[1], slot) || !Csv::ToDouble(parts[2], interference.Mass) ||
            !Csv::ToDouble(parts[3], interference.Factor))
            return Fail(error, line, "interference \"" + items[k] + "\" is not name:slot:mass:factor");
        if (parts[0].empty() || parts[0].size() >= sizeof interference.Name)
            return Fail(error, line, "interference name must be 1 to 23 characters");
        if (slot < 1 || slot > 10 || record.IsotopeInUse[slot] == 0)
            return Fail(error, line, "interference \"" + items[k] + "\" names an isotope slot not in use");
        std::memcpy(interference.Name, parts[0].data(), parts[0].size());
        interference.IsotopeSlot = slot;
        record.InterferenceInUse[k] = 1;
    }
    return true;
}

bool ParseElement(const Csv::Row& row, Element& element, std::string& error) {
    if (row.cells.size() < 5 || row.cells.size() > 7) return Fail(error, row.line, "expected 5 to 7 columns");
    tagELEMENTstruct& record = element.record;
    const std::string symbol = Csv::Trim(row.cells[0]);
    if (symbol.empty() || symbol.size() >= sizeof record.Symbol) return Fail(error, row.line, "symbol must be 1 to 26 characters");
    std::memcpy(record.Symbol, symbol.data(), symbol.size());
    if (!Csv::ToInt(row.cells[1], element.atomicNumber) || element.atomicNumber < 1 || element.atomicNumber > 118)
        return Fail(error, row.line, "atomic number must be 1 to 118");
    if (!Csv::ToDouble(row.cells[2], record.ElementMass) || record.ElementMass <= 0.0)
        return Fail(error, row.line, "element mass must be a positive number");
    if (!Csv::ToDouble(row.cells[3], record.ResponseFactor)) return Fail(error, row.line, "response factor is not a number");
    if (!Csv::ToDouble(row.cells[4], record.ScaleFactor)) return Fail(error, row.line, "scale factor is not a number");
    if (row.cells.size() > 5 && !ParseIsotopes(row.cells[5], row.line, record, error)) return false;
    if (row.cells.size() > 6 && !ParseInterferences(row.cells[6], row.line, record, error)) return false;
    return true;
}
}  // namespace


bool ReadElementsFile(const std::string& path, std::vector<Element>& elements, std::string& error) {
    std::string text;
    std::vector<Csv::Row> rows;
    if (!Csv::ReadFile(path, text)) {
        error = path + ": cannot be read";
        return false;
    }
    if (!Csv::Parse(text, rows, error)) {
        error = path + ": " + error;
        return false;
    }
    std::set<int> seen;
    for (size_t i = 1; i < rows.size(); ++i) {  // row 0 is the header
        Element element;
        if (!ParseElement(rows[i], element, error)) {
            error = path + ": " + error;
            return false;
        }
        if (!seen.insert(element.atomicNumber).second) {
            error = path + ": line " + std::to_string(rows[i].line) + ": atomic number " +
                    std::to_string(element.atomicNumber) + " appears twice";
            return false;
        }
        elements.push_back(element);
    }
    return true;
}

bool WritePeriodicDatabase(const std::string& path, const std::vector<Element>& elements, std::string& error) {
    // Build the table beside the target and move it into place only when it is complete.
    const std::string building = path + ".part";
    bool ok = FlatDatabase::CreateTable(building, sizeof(tagELEMENTstruct)) == FlatDatabase::kOk &&
              OpenFlatDatabase(kPeriodicDatabaseKind, building.c_str(), true);
    for (const Element& element : elements)
        ok = ok && WriteElementRecord(element.atomicNumber, element.record) == 0;
    if (PeriodicDatabaseOpenCount() > 0) CloseFlatDatabase(kPeriodicDatabaseKind);
    if (!ok || std::rename(building.c_str(), path.c_str()) != 0) {
        std::remove(building.c_str());
        error = "cannot write " + path;
        return false;
    }
    return true;
}

PeriodicDatabaseFile::~PeriodicDatabaseFile() {
    if (!m_path.empty()) ::unlink(m_path.c_str());
}

bool PeriodicDatabaseFile::Build(const std::string& elementsFile, std::vector<Quan::Problem>& problems) {
    if (elementsFile.empty()) return true;
    std::vector<Element> elements;
    std::string error;
    if (!ReadElementsFile(elementsFile, elements, error)) {
        problems.push_back({"", 0, 0, error});
        return false;
    }
    const char* folder = std::getenv("TMPDIR");
    std::string pattern = std::string(folder && *folder ? folder : "/tmp") + "/quan-periodic-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        problems.push_back({elementsFile, 0, 0, "cannot make a temporary periodic-table database"});
        return false;
    }
    ::close(fd);
    m_path = pattern;
    if (!WritePeriodicDatabase(m_path, elements, error)) {
        problems.push_back({elementsFile, 0, 0, error});
        return false;
    }
    return true;
}

}  // namespace Batch
