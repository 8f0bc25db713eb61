// Calibration tables in. A row becomes a fitted linear curve in the engine's terms: the
// engine's internal-standard response is the standard's response per unit of its fixed amount,
// so the response it inverts is (response ratio x standard amount); with the table's
// response ratio = slope x (amount / standard amount) + intercept, the curve is
// response = slope x amount + intercept x standard amount. With a standard amount of 1 (what
// quan-method import gives) the coefficients are the table's own.
#include "workflow/batch/CalibrationTable.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

#include "workflow/support/Csv.h"

namespace Batch {
namespace {

enum class Meaning {
    kComponent, kStandard, kBasis, kUnits, kModel, kSlope, kIntercept, kXWeight, kYWeight, kWeighting,
    kLowerLimit, kUpperLimit, kCorrelation, kKnownUnused
};

struct ColumnAlias {
    const char* name;  // lower case
    Meaning meaning;
};

constexpr ColumnAlias kColumnAliases[] = {
    {"component_name", Meaning::kComponent},
    {"compound", Meaning::kComponent},
    {"compound name", Meaning::kComponent},
    {"component", Meaning::kComponent},
    {"is_name", Meaning::kStandard},
    {"internal standard", Meaning::kStandard},
    {"internalstandard", Meaning::kStandard},
    {"feature_name", Meaning::kBasis},
    {"response basis", Meaning::kBasis},
    {"basis", Meaning::kBasis},
    {"concentration_units", Meaning::kUnits},
    {"units", Meaning::kUnits},
    {"transformation_model", Meaning::kModel},
    {"model", Meaning::kModel},
    {"transformation_model_param_slope", Meaning::kSlope},
    {"slope", Meaning::kSlope},
    {"transformation_model_param_intercept", Meaning::kIntercept},
    {"intercept", Meaning::kIntercept},
    {"transformation_model_param_x_weight", Meaning::kXWeight},
    {"transformation_model_param_y_weight", Meaning::kYWeight},
    {"weighting", Meaning::kWeighting},
    {"lloq", Meaning::kLowerLimit},
    {"uloq", Meaning::kUpperLimit},
    {"correlation_coefficient", Meaning::kCorrelation},
    // Written by the other pipeline, with no place in an applied curve.
    {"llod", Meaning::kKnownUnused},
    {"ulod", Meaning::kKnownUnused},
    {"actual_concentration", Meaning::kKnownUnused},
    {"n_points", Meaning::kKnownUnused},
    {"transformation_model_param_x_datum_min", Meaning::kKnownUnused},
    {"transformation_model_param_x_datum_max", Meaning::kKnownUnused},
    {"transformation_model_param_y_datum_min", Meaning::kKnownUnused},
    {"transformation_model_param_y_datum_max", Meaning::kKnownUnused},
};

constexpr Meaning kRequired[] = {Meaning::kComponent, Meaning::kSlope, Meaning::kIntercept};

constexpr const char* kHeavySuffix = " (heavy)";
constexpr const char* kFromTable = "from the calibration table";
constexpr const char kDatabaseMagic[] = "SQLite format 3";

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string BasisText(int basis) { return basis == kRAHHeight ? "height" : "area"; }

// The response a feature name stands for: the other pipeline's peak_apex_int is the apex height,
// its intensity the area.
bool BasisOf(const std::string& cell, int& basis) {
    const std::string text = Lower(Csv::Trim(cell));
    if (text == "peak_apex_int" || text == "height" || text == "peak height" || text == "peak_height") basis = kRAHHeight;
    else if (text == "intensity" || text == "area" || text == "peak area" || text == "peak_area") basis = kRAHArea;
    else return false;
    return true;
}

// "x" and "y" (and empty) mean no weighting in the other pipeline's columns.
bool WeightOf(const std::string& cell, bool onX, int& weighting) {
    std::string text = Lower(Csv::Trim(cell));
    for (const char* power : {"^2", "2"})
        if (text.size() > std::strlen(power) && text.compare(text.size() - std::strlen(power), std::string::npos, power) == 0) {
            text.erase(text.size() - std::strlen(power));
            text += "2";
            break;
        }
    const std::string axis = onX ? "x" : "y";
    if (text.empty() || text == axis || text == "none") weighting = kWeightNone;
    else if (text == "1/" + axis) weighting = onX ? kWeightInverseX : kWeightInverseY;
    else if (text == "1/" + axis + "2") weighting = onX ? kWeightInverseX2 : kWeightInverseY2;
    else return false;
    return true;
}

// Entry number (from 1) of the method entry a table names, or 0. A name in transition-name
// form, "compound.compound_1.Light" or ".Heavy", stands for the light compound or for its
// labelled form ("compound (heavy)", as quan-method import names it when both exist). A method
// keeps no transition names, so the transition's number is not checked.
int EntryNamed(const CMethodList& method, const std::string& name) {
    const auto named = [&method](const std::string& wanted) {
        for (int i = 0; i < method.GetSize(); ++i)
            if (method.GetAt(i).GetName() == wanted) return i + 1;
        return 0;
    };
    if (const int exact = named(name)) return exact;
    const size_t labelDot = name.rfind('.');
    if (labelDot == std::string::npos || labelDot == 0) return 0;
    const std::string label = Lower(name.substr(labelDot + 1));
    if (label != "light" && label != "heavy") return 0;
    const size_t transitionDot = name.rfind('.', labelDot - 1);
    if (transitionDot == std::string::npos || transitionDot == 0) return 0;
    const std::string compound = name.substr(0, transitionDot);
    if (label == "heavy")
        if (const int heavy = named(compound + kHeavySuffix)) return heavy;
    const int plain = named(compound);
    if (plain == 0) return 0;
    // A heavy name must not land on the light compound of that name.
    const bool plainIsStandard = WordMatch::ListsShareWord(method.GetAt(plain - 1).GetFlags(), "ISTD");
    return label == "heavy" && !plainIsStandard ? 0 : plain;
}

struct TableRow {
    int line = 0;
    int entry = 0;     // from 1
    int standard = 0;  // from 1; 0 for an external standard
    int basis = -1;    // -1: the method's
    int weighting = kWeightNone;
    double slope = 0.0, intercept = 0.0, lowerLimit = 0.0, upperLimit = 0.0, correlation = 0.0;
    std::string units;
};

std::string EntryText(const CMethodList& method, int entry) {
    if (entry < 1 || entry > method.GetSize()) return "none";
    std::string quoted = "\"";
    quoted.append(method.GetAt(entry - 1).GetName()).append("\"");
    return quoted;
}

}  // namespace

bool IsCalibrationTable(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    char head[sizeof kDatabaseMagic] = {};
    file.read(head, sizeof head);
    return !(file.gcount() == static_cast<std::streamsize>(sizeof head) && std::memcmp(head, kDatabaseMagic, sizeof head) == 0);
}

bool CalibrationFromTable(const std::string& file, const std::string& text, CMethodList& method,
                          CCalibrationList& curves, std::vector<Problem>& problems, std::vector<Problem>& notes) {
    const size_t before = problems.size();
    std::vector<Csv::Row> rows;
    std::string error;
    const std::string firstLine = text.substr(0, text.find('\n'));
    const char separator = std::count(firstLine.begin(), firstLine.end(), '\t') > std::count(firstLine.begin(), firstLine.end(), ',')
                               ? '\t' : ',';
    if (!Csv::Parse(text, rows, error, separator)) {
        problems.push_back({file, 0, 0, error});
        return false;
    }
    if (rows.size() < 2) {
        problems.push_back({file, 0, 0, "holds no calibration rows"});
        return false;
    }
    std::map<Meaning, int> columns;
    const Csv::Row& header = rows[0];
    std::string unused;
    for (size_t c = 0; c < header.cells.size(); ++c) {
        const std::string key = Lower(Csv::Trim(header.cells[c]));
        const ColumnAlias* alias = nullptr;
        for (const ColumnAlias& a : kColumnAliases)
            if (key == a.name) alias = &a;
        if (alias == nullptr) {
            if (!key.empty()) unused += (unused.empty() ? "" : ", ") + Csv::Trim(header.cells[c]);
            continue;
        }
        if (alias->meaning != Meaning::kKnownUnused && !columns.count(alias->meaning))
            columns[alias->meaning] = static_cast<int>(c);
    }
    for (Meaning required : kRequired)
        if (!columns.count(required)) {
            std::string names;
            for (const ColumnAlias& a : kColumnAliases)
                if (a.meaning == required) names += (names.empty() ? "" : ", ") + std::string(a.name);
            problems.push_back({file, header.line, 0, "no column gives the " +
                                                          std::string(required == Meaning::kComponent ? "compound"
                                                                      : required == Meaning::kSlope ? "slope" : "intercept") +
                                                          " (its names, ignoring case: " + names + ")"});
        }
    if (problems.size() != before) return false;
    if (!unused.empty()) notes.push_back({file, header.line, 0, "columns not used: " + unused});

    std::vector<TableRow> table;
    std::map<int, int> lineOfEntry;
    for (size_t r = 1; r < rows.size(); ++r) {
        const Csv::Row& row = rows[r];
        const auto column = [&](Meaning m) { return columns.count(m) ? columns[m] + 1 : 0; };
        const auto cell = [&](Meaning m) {
            const int at = columns.count(m) ? columns[m] : -1;
            return at >= 0 && at < static_cast<int>(row.cells.size()) ? Csv::Trim(row.cells[at]) : std::string();
        };
        const auto bad = [&](Meaning m, const std::string& what) {
            std::string message = "\"";
            message.append(cell(m)).append("\" is not ").append(what);
            problems.push_back({file, row.line, column(m), message});
        };
        if (row.cells.size() > header.cells.size()) {
            problems.push_back({file, row.line, 0, "has " + std::to_string(row.cells.size()) + " cells, the header " +
                                                       std::to_string(header.cells.size())});
            continue;
        }
        TableRow t;
        t.line = row.line;
        t.entry = EntryNamed(method, cell(Meaning::kComponent));
        if (t.entry == 0) {
            problems.push_back({file, row.line, column(Meaning::kComponent),
                                "\"" + cell(Meaning::kComponent) + "\" names no entry of the method"});
        } else if (const auto [at, fresh] = lineOfEntry.emplace(t.entry, row.line); !fresh) {
            problems.push_back({file, row.line, column(Meaning::kComponent),
                                "entry " + EntryText(method, t.entry) + " already has its curve on line " + std::to_string(at->second)});
        }
        if (!cell(Meaning::kStandard).empty()) {
            t.standard = EntryNamed(method, cell(Meaning::kStandard));
            if (t.standard == 0)
                problems.push_back({file, row.line, column(Meaning::kStandard),
                                    "the internal standard \"" + cell(Meaning::kStandard) + "\" names no entry of the method"});
            else if (t.standard == t.entry)
                problems.push_back({file, row.line, column(Meaning::kStandard), "a compound cannot be its own internal standard"});
        }
        if (!cell(Meaning::kBasis).empty() && !BasisOf(cell(Meaning::kBasis), t.basis))
            bad(Meaning::kBasis, "a response basis (peak_apex_int or height; intensity or area)");
        const std::string model = Lower(cell(Meaning::kModel));
        if (!model.empty() && model != "linear")
            problems.push_back({file, row.line, column(Meaning::kModel),
                                "the model \"" + cell(Meaning::kModel) + "\" cannot be applied; a table gives linear curves"});
        if (!Csv::ToDouble(cell(Meaning::kSlope), t.slope) || t.slope == 0.0) bad(Meaning::kSlope, "a slope other than 0");
        if (!Csv::ToDouble(cell(Meaning::kIntercept), t.intercept)) bad(Meaning::kIntercept, "an intercept");
        int xWeight = kWeightNone, yWeight = kWeightNone;
        if (!WeightOf(cell(Meaning::kXWeight), true, xWeight)) bad(Meaning::kXWeight, "a weighting of x (x, 1/x or 1/x2)");
        if (!WeightOf(cell(Meaning::kYWeight), false, yWeight)) bad(Meaning::kYWeight, "a weighting of y (y, 1/y or 1/y2)");
        if (xWeight != kWeightNone && yWeight != kWeightNone)
            problems.push_back({file, row.line, column(Meaning::kYWeight), "a curve is weighted by x or by y, not both"});
        t.weighting = xWeight != kWeightNone ? xWeight : yWeight;
        if (!cell(Meaning::kWeighting).empty()) {
            const Keywords::EnumeratedSetting* setting = Keywords::FindEnumeratedSetting("WeightingFunction");
            const int value = setting != nullptr ? Keywords::SettingValue(*setting, cell(Meaning::kWeighting)) : -1;
            if (value < 0) bad(Meaning::kWeighting, "a weighting (Null, 1/x, 1/x^2, 1/y, 1/y^2)");
            else t.weighting = value;
        }
        for (auto [meaning, limit] : {std::pair{Meaning::kLowerLimit, &t.lowerLimit}, std::pair{Meaning::kUpperLimit, &t.upperLimit}})
            if (!cell(meaning).empty() && (!Csv::ToDouble(cell(meaning), *limit) || *limit <= 0.0))
                bad(meaning, "a concentration above 0");
        if (t.lowerLimit > 0.0 && t.upperLimit > 0.0 && t.upperLimit <= t.lowerLimit)
            problems.push_back({file, row.line, column(Meaning::kUpperLimit), "the ULOQ is not above the LLOQ"});
        if (!cell(Meaning::kCorrelation).empty() &&
            (!Csv::ToDouble(cell(Meaning::kCorrelation), t.correlation) || std::fabs(t.correlation) > 1.0))
            bad(Meaning::kCorrelation, "a correlation coefficient (-1 to 1)");
        t.units = cell(Meaning::kUnits);
        table.push_back(t);
    }
    if (problems.size() != before) return false;

    // The standards: each has one basis, a fixed amount, and no curve of its own in the table.
    CMethodList adjusted = method;
    std::map<int, const TableRow*> basisOfStandard;
    for (const TableRow& t : table) {
        if (t.standard == 0) continue;
        CMethodData& standard = adjusted.GetAt(t.standard - 1);
        if (lineOfEntry.count(t.standard))
            problems.push_back({file, t.line, columns[Meaning::kStandard] + 1,
                                "the internal standard " + EntryText(method, t.standard) +
                                    " has a curve of its own in the table (line " + std::to_string(lineOfEntry[t.standard]) + ")"});
        if (standard.GetStdLevels() != kStdLevelFixed || !(standard.GetStdConc() > 0.0))
            problems.push_back({file, t.line, columns[Meaning::kStandard] + 1,
                                "the internal standard " + EntryText(method, t.standard) +
                                    " has no fixed amount in the method (StdLevels FIXED and StdConc above 0)"});
        const int basis = t.basis >= 0 ? t.basis : method.GetAt(t.entry - 1).GetRAH();
        const auto [at, fresh] = basisOfStandard.emplace(t.standard, &t);
        const int earlier = at->second->basis >= 0 ? at->second->basis : method.GetAt(at->second->entry - 1).GetRAH();
        if (!fresh && earlier != basis)
            problems.push_back({file, t.line, columns.count(Meaning::kBasis) ? columns[Meaning::kBasis] + 1 : 0,
                                "the internal standard " + EntryText(method, t.standard) + " is measured by " + BasisText(earlier) +
                                    " on line " + std::to_string(at->second->line) + " and by " + BasisText(basis) + " here"});
    }
    if (problems.size() != before) return false;

    // Changes that most rows of a table share are told once, with the entries they concern.
    std::map<int, std::string> rebased;
    std::map<std::string, std::string> reunited;
    std::vector<CCalibrationData> built(static_cast<size_t>(method.GetSize()));
    for (int i = 0; i < method.GetSize(); ++i) {
        const CMethodData& entry = method.GetAt(i);
        built[i].SetName(entry.GetCalCompound().empty() ? entry.GetName() : entry.GetCalCompound());
        built[i].SetRepUnits(entry.GetRepUnits());
        built[i].SetText(kNotInTable);
    }
    for (const TableRow& t : table) {
        CMethodData& entry = adjusted.GetAt(t.entry - 1);
        const CMethodData& was = method.GetAt(t.entry - 1);
        const std::string who = "entry " + EntryText(method, t.entry);
        const int wasStandard = was.GetUseMulti() == 0 && was.GetRCalc() == kResponseInternalStd ? was.GetRRef() : 0;
        if (t.standard != wasStandard || was.GetUseMulti() != 0)
            notes.push_back({file, t.line, 0, who + ": the table's internal standard " + EntryText(method, t.standard) +
                                                  " is used (the method names " +
                                                  (was.GetUseMulti() != 0 ? std::string("several") : EntryText(method, wasStandard)) + ")"});
        entry.SetUseMulti(0);
        entry.SetRRef(t.standard);
        entry.SetRCalc(t.standard > 0 ? kResponseInternalStd : kResponseExternalStd);
        const int basis = t.basis >= 0 ? t.basis : was.GetRAH();
        if (basis != was.GetRAH()) rebased[basis] += (rebased[basis].empty() ? "" : ", ") + was.GetName();
        entry.SetRAH(basis);
        if (t.standard > 0) {
            CMethodData& standard = adjusted.GetAt(t.standard - 1);
            if (standard.GetRAH() != basis && method.GetAt(t.standard - 1).GetRAH() == standard.GetRAH())
                rebased[basis] += (rebased[basis].empty() ? "" : ", ") + standard.GetName();
            standard.SetRAH(basis);
        }
        if (!t.units.empty() && t.units != was.GetRepUnits()) {
            reunited[t.units] += (reunited[t.units].empty() ? "" : ", ") + was.GetName();
            entry.SetRepUnits(t.units);
        }
        entry.SetCCalc(kCurveLinear);
        entry.SetXYTrans(kAxisNone);
        entry.SetWeightingFunction(t.weighting);
        if (t.upperLimit > 0.0) {
            entry.SetMaxConcLimit(t.upperLimit);
            entry.SetConcLimitFlag(1);
        }

        const double standardAmount = t.standard > 0 ? adjusted.GetAt(t.standard - 1).GetStdConc() : 1.0;
        CCalibrationData& curve = built[t.entry - 1];
        curve.SetRepUnits(entry.GetRepUnits());
        curve.SetText(kFromTable);
        curve.SetRAH(basis);
        curve.SetRCalc(entry.GetRCalc());
        curve.SetRRef(t.standard);
        curve.SetCCalc(kCurveLinear);
        curve.SetXYTrans(kAxisNone);
        curve.SetOrigin(entry.GetOrigin());
        curve.SetWeightingFunction(t.weighting);
        curve.SetCC(t.intercept * standardAmount, 0);
        curve.SetCC(t.slope, 1);
        curve.SetMinConc(t.lowerLimit);
        curve.SetMaxConc(t.upperLimit);
        curve.SetCorrCoeff(t.correlation);
        curve.SetCaliPtsValid(1);
        curve.SetCurveValid(1);
    }

    for (const auto& [basis, names] : rebased)
        notes.push_back({file, 0, 0, "the response is the peak's " + BasisText(basis) + ", as the table says, for: " + names});
    for (const auto& [units, names] : reunited)
        notes.push_back({file, 0, 0, "concentrations are in " + units + ", the table's unit, for: " + names});
    int without = 0;
    for (int i = 0; i < method.GetSize(); ++i)
        without += !lineOfEntry.count(i + 1) && !basisOfStandard.count(i + 1) &&
                   !WordMatch::ListsShareWord(method.GetAt(i).GetFlags(), "ISTD");
    if (without > 0)
        notes.push_back({file, 0, 0, std::to_string(without) + " of the method's compounds have no curve in the table and are not quantified"});

    CCalibrationList list;
    for (const CCalibrationData& curve : built) list.Add(curve);
    list.SetDBName(file);
    curves = list;
    method = adjusted;
    return true;
}

bool ReadCalibrationTable(const std::string& path, CMethodList& method, CCalibrationList& curves,
                          std::vector<Problem>& problems, std::vector<Problem>& notes) {
    std::string text;
    if (!Csv::ReadFile(path, text)) {
        problems.push_back({path, 0, 0, "cannot be read"});
        return false;
    }
    return CalibrationFromTable(path, text, method, curves, problems, notes);
}

}  // namespace Batch
