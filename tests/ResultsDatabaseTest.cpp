// The results database: typed tables a person queries without casts (numbers compare as
// numbers, absent values are NULL), every peak report field typed by its form and read back
// through the peak_fields view exactly as given however the values are shared, curves with their
// coefficients and back-calculated standards; curves read back equal from the packed record and
// from a database of the first layout; a damaged record is refused without touching the
// caller's curves; and a failed write leaves the earlier database as it was.
#include <set>

#include "BatchTestSupport.h"
#include "report/PeakFieldStrings.h"
#include "workflow/output/ResultsDatabase.h"
#include "workflow/output/SafeFile.h"

namespace {

using namespace batch_test;
using Batch::BatchResults;
using Batch::ResultRow;

std::string RecordBytes(const CCalibrationData& curve) {
    _tagINTERNAL_CURVE_DB_RECORD record{};
    curve.GetRecord(record);
    return std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

CCalibrationData Curve(const std::string& name, int curveType, const std::vector<Standard>& standards, bool calibrate) {
    CCalibrationData curve = CurveOf(name, curveType, kAxisNone, standards);
    curve.SetFlags("AB");
    curve.SetRepUnits("ng/mL");
    return calibrate ? Calibrated(curve) : curve;
}

// The text of peak field k (in PeakFieldList() order) of a sample's entry, as its form says:
// a number, "YES" or "NO", or a text; none for a field without a source. Most fields differ
// from row to row, so sharing repeated values would show as a wrong value somewhere.
std::string FieldText(int sample, int entry, size_t k) {
    switch (PeakFieldList()[k].form) {
        case PeakFieldForm::kNoSource: return "";
        case PeakFieldForm::kNumber: return Batch::NumberCell(sample * 1000 + entry * 100 + static_cast<double>(k) + 0.25);
        case PeakFieldForm::kYesIfZero:
        case PeakFieldForm::kYesIfSet: return (k + static_cast<size_t>(sample)) % 2 == 0 ? "YES" : "NO";
        default: return k % 3 == 0 ? "shared text" : "s" + std::to_string(sample) + "e" + std::to_string(entry) + "f" + std::to_string(k);
    }
}

const std::vector<std::string> kCompounds = {"p,p'-DDE \"technical\"", "Atrazine", "Simazine"};

CMethodList MethodOf(const std::vector<std::string>& names) {
    CMethodList method;
    for (const std::string& name : names) {
        CMethodData entry;
        entry.SetName(name);
        method.Add(entry);
    }
    return method;
}

// Two samples (one id that would break string-built SQL), three entries: a linear curve with an
// excluded point, an RF curve and an uncalibrated one.
BatchResults SmallBatch() {
    BatchResults results;
    results.methodFile = "method.xml";
    results.samples = {{"Std 1", "Standard", 1, "level 1", "std1.csv", 0, 0},
                       {"x'); DROP TABLE samples;--", "QC", 3, "", "u1.csv", 3, 29}};
    results.curves = {{1, kCompounds[0], "", Curve(kCompounds[0], kCurveLinear, {{1, 3}, {2, 5.2}, {4, 8.9}, {8, 30, true}}, true), {}, {}},
                      {2, kCompounds[1], "", Curve(kCompounds[1], kCurveRF, {{1, 4}, {2, 8.5}}, true), {}, {}},
                      {3, kCompounds[2], "", Curve(kCompounds[2], kCurveLinear, {{1, 2}}, false), {}, {}}};
    for (Batch::CurveResult& curve : results.curves) curve.description = curve.curve.GetDescription();
    for (int sample = 0; sample < 2; ++sample)
        for (int entry = 1; entry <= 3; ++entry) {
            ResultRow row;
            row.sample = sample;
            row.entry = entry;
            row.compound = kCompounds[entry - 1];
            row.found = entry != 3;
            row.foundRT = 4.5 + entry;
            row.area = 1234.5 * entry;
            row.conc = 0.1 * entry;
            row.validConc = entry == 1;
            row.flagsSet = entry == 2 ? std::vector<std::string>{"AboveCal"} : std::vector<std::string>{};
            // The unlocated entry carries no peak field texts at all.
            std::vector<std::string> texts;
            if (row.found)
                for (size_t k = 0; k < PeakFieldList().size(); ++k) texts.push_back(FieldText(sample, entry, k));
            row.SetPeakFieldTexts(texts);
            results.rows.push_back(row);
        }
    return results;
}

TEST(ResultsDatabase, TablesAreTypedAndEveryPeakFieldReadsBackAsGiven) {
    const TempFolder folder;
    const std::string path = folder / "results.sqlite";
    const BatchResults results = SmallBatch();
    std::string error;
    ASSERT_TRUE(Batch::WriteResultsDatabase(path, results, error)) << error;

    EXPECT_EQ(Query(path, "SELECT position, id, type, typeof(type_number), description, locate_status FROM samples"),
              (Table{{"1", "Std 1", "Standard", "integer", "level 1", "0"},
                     {"2", results.samples[1].id, "QC", "integer", "<null>", "3"}}));
    // Concentrations compare as numbers: only the two valid ones (0.1) are above 0.05; stored
    // as text, every row would be.
    EXPECT_EQ(Query(path, "SELECT sample, entry, typeof(concentration), typeof(found_rt) FROM results "
                          "WHERE concentration > 0.05 ORDER BY sample"),
              (Table{{"1", "1", "real", "real"}, {"2", "1", "real", "real"}}));
    EXPECT_EQ(Query(path, "SELECT count(*) FROM results WHERE found_rt IS NULL AND concentration IS NULL AND passed = 1"),
              (Table{{"2"}}));  // entry 3, not found
    EXPECT_EQ(Query(path, "SELECT sample, compound, flags FROM flagged_results ORDER BY sample"),
              (Table{{"Std 1", kCompounds[1], "AboveCal"}, {results.samples[1].id, kCompounds[1], "AboveCal"}}));
    EXPECT_EQ(Query(path, "SELECT count(*), sum(flagged) FROM concentration_matrix"), (Table{{"6", "2"}}));
    // The QC's nominal is its fixed concentration (peak field 121).
    const double nominal = 1000 + 100 + Batch::PeakFieldPosition(CPeakData::kPeakFixedConc) + 0.25;
    // A QC result without a concentration is listed too: a missing QC result is a failed one.
    const Table qc = Query(path, "SELECT compound, nominal, deviation_percent FROM qc_accuracy ORDER BY entry");
    ASSERT_EQ(qc.size(), 2u);
    EXPECT_EQ(qc[0][0], kCompounds[0]);
    EXPECT_DOUBLE_EQ(std::stod(qc[0][1]), nominal);
    EXPECT_NEAR(std::stod(qc[0][2]), (0.1 - nominal) / nominal * 100.0, 1e-9);
    EXPECT_EQ(qc[1][2], "<null>");

    // peak_fields: sample, entry, then every field with a source in field order, names distinct
    // as SQLite compares them; each value typed by its field's form and equal to its text.
    // (SQLite prints these numbers, all whole quarters, as NumberCell does.)
    std::vector<size_t> fieldOf;  // column -> position in PeakFieldList()
    for (size_t k = 0; k < PeakFieldList().size(); ++k)
        if (PeakFieldList()[k].form != PeakFieldForm::kNoSource) fieldOf.push_back(k);
    const Table columns = Query(path, "SELECT name, lower(name) FROM pragma_table_info('peak_fields')");
    ASSERT_EQ(columns.size(), 2 + fieldOf.size());
    std::set<std::string> distinct = {columns[0][1], columns[1][1]};
    std::string select = "SELECT sample, entry";
    for (size_t c = 2; c < columns.size(); ++c) {
        distinct.insert(columns[c][1]);
        EXPECT_EQ(columns[c][0].rfind(PeakFieldList()[fieldOf[c - 2]].name, 0), 0u) << columns[c][0];
        select += ", typeof(\"" + columns[c][0] + "\"), \"" + columns[c][0] + "\"";
    }
    EXPECT_EQ(distinct.size(), columns.size());
    const Table rows = Query(path, select + " FROM peak_fields ORDER BY sample, entry");
    EXPECT_EQ(rows.size(), 4u);  // the located peaks only
    for (const std::vector<std::string>& row : rows)
        for (size_t c = 0; c < fieldOf.size(); ++c) {
            const PeakFieldForm form = PeakFieldList()[fieldOf[c]].form;
            const bool yesNo = form == PeakFieldForm::kYesIfZero || form == PeakFieldForm::kYesIfSet;
            const std::string text = FieldText(std::stoi(row[0]) - 1, std::stoi(row[1]), fieldOf[c]);
            SCOPED_TRACE(columns[c + 2][0] + " of sample " + row[0] + " entry " + row[1]);
            EXPECT_EQ(row[2 + 2 * c], form == PeakFieldForm::kNumber ? "real" : yesNo ? "integer" : "text");
            EXPECT_EQ(row[3 + 2 * c], yesNo ? (text == "YES" ? "1" : "0") : text);
        }

    // Curves: the linear fit of (1, 3), (2, 5.2), (4, 8.9) with (8, 30) excluded is
    // y = 1.15 + 1.95 x by hand; the uncalibrated curve says why.
    const Table curves = Query(path, "SELECT entry, calibrated, not_calibrated_reason, round(c0, 9), round(c1, 9), "
                                     "typeof(CorrCoeff), coefficient_of_determination IS NULL FROM curves");
    EXPECT_EQ(curves, (Table{{"1", "1", "<null>", "1.15", "1.95", "real", "0"},
                             {"2", "1", "<null>", "0.0", Query(path, "SELECT c1 FROM curves WHERE entry = 2")[0][0], "real", "1"},
                             {"3", "0", "too few points: 1 usable, 2 needed for a linear curve", "0.0", "0.0", "real", "1"}}));
    EXPECT_EQ(Query(path, "SELECT point, standard, nominal, excluded, round(back_calculated, 4), round(deviation_percent, 2) "
                          "FROM calibration_points WHERE entry = 1"),
              (Table{{"1", "S1", "1.0", "0", "0.9487", "-5.13"},
                     {"2", "S2", "2.0", "0", "2.0769", "3.85"},
                     {"3", "S3", "4.0", "0", "3.9744", "-0.64"},
                     {"4", "S4", "8.0", "1", "14.7949", "84.94"}}));
    EXPECT_EQ(Query(path, "SELECT version FROM schema_version"), (Table{{"2"}}));
}

// A blob literal of these bytes, for SQL.
std::string BlobLiteral(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string literal = "x'";
    for (unsigned char byte : bytes) literal += {digits[byte >> 4], digits[byte & 15]};
    return literal + "'";
}

TEST(ResultsDatabase, CurvesReadBackEqualFromIdenticalRecords) {
    const TempFolder folder;
    const std::string path = folder / "results.sqlite";
    BatchResults results = SmallBatch();
    std::string error;
    ASSERT_TRUE(Batch::WriteResultsDatabase(path, results, error)) << error;

    // The records are stored packed (a small part of their 19496 bytes), and read back into the
    // caller's list in place of what it held; so does a database of the first layout, which kept
    // each record as its 19496 bytes.
    EXPECT_EQ(Query(path, "SELECT count(*) FROM curves WHERE length(record) < 2000"), (Table{{"3"}}));
    const std::string old = folder / "old.sqlite";
    std::string insert = "CREATE TABLE curves (entry INTEGER, compound TEXT, record BLOB)";
    for (int i = 0; i < 3; ++i)
        insert += "; INSERT INTO curves VALUES (" + std::to_string(i + 1) + ", '', " +
                  BlobLiteral(RecordBytes(results.curves[i].curve)) + ")";
    Execute(old, insert);
    for (const std::string& database : {path, old}) {
        CCalibrationList curves;
        curves.SetDBName("batch curves");
        curves.Add(CCalibrationData());
        ASSERT_TRUE(Batch::ReadCurvesFromDatabase(database, MethodOf(kCompounds), curves, error)) << error;
        ASSERT_EQ(curves.GetSize(), 3);
        EXPECT_EQ(curves.GetDBName(), "batch curves");
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(curves.GetAt(i) == results.curves[i].curve) << kCompounds[i];
            EXPECT_EQ(RecordBytes(curves.GetAt(i)), RecordBytes(results.curves[i].curve)) << kCompounds[i];
        }
    }

    // A second batch onto the same file replaces the first whole; an empty batch still makes a
    // database with its tables.
    results.samples.pop_back();
    results.rows.resize(3);
    const char* counts = "SELECT (SELECT count(*) FROM samples), (SELECT count(*) FROM results), (SELECT count(*) FROM curves)";
    ASSERT_TRUE(Batch::WriteResultsDatabase(path, results, error)) << error;
    EXPECT_EQ(Query(path, counts), (Table{{"1", "3", "3"}}));
    ASSERT_TRUE(Batch::WriteResultsDatabase(path, BatchResults{}, error)) << error;
    EXPECT_EQ(Query(path, counts), (Table{{"0", "0", "0"}}));
}

// A damaged record, or curves that do not belong to the method or are not whole, are refused
// by what is wrong, naming the file, and the caller's curves are left as they were.
TEST(ResultsDatabase, ReadingRefusesADamagedRecord) {
    const TempFolder folder;
    const std::string path = folder / "damaged.sqlite";
    const struct { const char* sql; const char* message; } refusals[] = {
        {"UPDATE curves SET record = substr(record, 1, length(record) - 1) WHERE entry = 2",
         "is neither a curve record of 19496 bytes nor one packed"},
        {"UPDATE curves SET record = 'text' WHERE entry = 2", "the curve record of entry 2 is not stored as bytes"},
        {"DELETE FROM curves WHERE entry = 3", "holds 2 curves, but the method has 3 entries"},
        {"UPDATE curves SET entry = 4 WHERE entry = 3", "the curves are not numbered 1 to 3 (found entry 4 where entry 3 belongs)"},
        {"UPDATE curves SET record = (SELECT record FROM curves WHERE entry = 1) WHERE entry = 2",
         "the curve of entry 2 is for \"" },
        {"DROP TABLE curves", "is not a results database with curves"},
    };
    CCalibrationData kept;
    kept.SetName("kept");
    for (const auto& refusal : refusals) {
        std::string error;
        ASSERT_TRUE(Batch::WriteResultsDatabase(path, SmallBatch(), error)) << error;
        Execute(path, refusal.sql);
        CCalibrationList untouched;
        untouched.Add(kept);
        EXPECT_FALSE(Batch::ReadCurvesFromDatabase(path, MethodOf(kCompounds), untouched, error)) << refusal.sql;
        EXPECT_NE(error.find(refusal.message), std::string::npos) << error;
        EXPECT_NE(error.find(path), std::string::npos) << error;
        ASSERT_EQ(untouched.GetSize(), 1);
        EXPECT_EQ(untouched.GetAt(0).GetName(), "kept");
    }
}

// A row whose peak fields do not line up with the columns is refused, not shifted, and the
// earlier database is left as it was.
TEST(ResultsDatabase, FailedWriteLeavesTheEarlierDatabase) {
    const TempFolder folder;
    const std::string path = folder / "results.sqlite";
    std::string error;
    ASSERT_TRUE(Batch::WriteResultsDatabase(path, SmallBatch(), error)) << error;
    const std::string before = ReadText(path);
    BatchResults misaligned = SmallBatch();
    misaligned.samples.pop_back();
    std::vector<std::string> shortened = misaligned.rows[1].PeakFieldTexts();
    shortened.pop_back();
    misaligned.rows[1].SetPeakFieldTexts(shortened);
    EXPECT_FALSE(Batch::WriteResultsDatabase(path, misaligned, error));
    EXPECT_NE(error.find("sample Std 1, entry 2"), std::string::npos) << error;
    EXPECT_EQ(ReadText(path), before);
    EXPECT_FALSE(std::filesystem::exists(Batch::TemporaryNameFor(path)));
    EXPECT_FALSE(std::filesystem::exists(Batch::TemporaryNameFor(path) + "-journal"));
}

}  // namespace
