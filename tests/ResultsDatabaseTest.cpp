// The results database: typed tables a person queries without casts (numbers compare as
// numbers, absent values are NULL), every peak report field typed by its form and read back
// through the peak_fields view exactly as given however the values are shared, curves with their
// coefficients and back-calculated standards; curves read back equal from the packed record and
// from a database of the first layout; a database that is not the method's is refused without
// touching the caller's curves; and a failed write leaves the earlier database as it was.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <array>
#include <cmath>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "calibrate/QuanCalibrate.h"
#include "report/PeakFieldStrings.h"
#include "tools/batch/ResultsDatabase.h"
#include "tools/batch/SafeFile.h"

namespace {

using Batch::BatchResults;
using Batch::ResultRow;
using Table = std::vector<std::vector<std::string>>;

class Folder {
public:
    Folder() : path_(std::string(::testing::TempDir()) + "/quan_db_XXXXXX") {
        if (::mkdtemp(path_.data()) == nullptr) path_.clear();
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Every row of a query, NULL as "<null>", blobs as their bytes.
Table Query(const std::string& path, const std::string& sql) {
    Table rows;
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, i));
                row.push_back(sqlite3_column_type(statement, i) == SQLITE_NULL
                                  ? "<null>"
                                  : std::string(bytes ? bytes : "", sqlite3_column_bytes(statement, i)));
            }
            rows.push_back(row);
        }
    }
    EXPECT_NE(statement, nullptr) << sql << ": " << sqlite3_errmsg(db);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

void Execute(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql << ": " << sqlite3_errmsg(db);
    sqlite3_close(db);
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string RecordBytes(const CCalibrationData& curve) {
    _tagINTERNAL_CURVE_DB_RECORD record{};
    curve.GetRecord(record);
    return std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

CCalibrationData Curve(const std::string& name, int curveType, std::vector<std::array<double, 2>> points,
                       int excludedPoint, bool calibrate) {
    CCalibrationData curve;
    curve.SetName(name);
    curve.SetCCalc(curveType);
    curve.SetOrigin(kOriginExclude);
    curve.SetFlags("AB");
    curve.SetRepUnits("ng/mL");
    for (size_t i = 0; i < points.size(); ++i) {
        tag_CALI_POINT point{};
        point.Weight = 1.0;
        point.Conc = points[i][0];
        point.Resp = points[i][1];
        point.Flags = static_cast<int>(i) == excludedPoint ? kCaliPointExcluded : 0;
        curve.SetCaliPoint(point, static_cast<int>(i));
        tagFILE_INFO file{};
        SetFileInfoName(file, "std" + std::to_string(i) + ".raw");
        curve.SetCaliFile(file, static_cast<int>(i));
    }
    curve.SetNumCaliPts(static_cast<int>(points.size()));
    if (!calibrate) return curve;
    CQuanCalibrate engine;
    EXPECT_EQ(engine.QuanDoCalibration(&curve, 0), kCaliOK);
    EXPECT_EQ(curve.GetCurveValid(), 1);
    return curve;
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
    results.curves = {{1, kCompounds[0], "", Curve(kCompounds[0], kCurveLinear, {{1, 3}, {2, 5.2}, {4, 8.9}, {8, 30}}, 3, true), {}, {}},
                      {2, kCompounds[1], "", Curve(kCompounds[1], kCurveRF, {{1, 4}, {2, 8.5}}, -1, true), {}, {}},
                      {3, kCompounds[2], "", Curve(kCompounds[2], kCurveLinear, {{1, 2}}, -1, false), {}, {}}};
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

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

TEST(ResultsDatabase, TablesAreTypedAndEveryPeakFieldReadsBackAsGiven) {
    const Folder folder;
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
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* select = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT * FROM peak_fields ORDER BY sample, entry", -1, &select, nullptr), SQLITE_OK);
    std::vector<size_t> fieldOf;  // column -> position in PeakFieldList()
    for (size_t k = 0; k < PeakFieldList().size(); ++k)
        if (PeakFieldList()[k].form != PeakFieldForm::kNoSource) fieldOf.push_back(k);
    ASSERT_EQ(sqlite3_column_count(select), static_cast<int>(2 + fieldOf.size()));
    std::set<std::string> names;
    for (int c = 0; c < sqlite3_column_count(select); ++c) names.insert(Lower(sqlite3_column_name(select, c)));
    EXPECT_EQ(names.size(), 2 + fieldOf.size());
    int rows = 0;
    while (sqlite3_step(select) == SQLITE_ROW) {
        const int sample = sqlite3_column_int(select, 0) - 1, entry = sqlite3_column_int(select, 1);
        ++rows;
        for (size_t c = 0; c < fieldOf.size(); ++c) {
            const PeakFieldInfo& info = PeakFieldList()[fieldOf[c]];
            const int column = static_cast<int>(c) + 2;
            SCOPED_TRACE(std::string(info.name) + " of sample " + std::to_string(sample) + " entry " + std::to_string(entry));
            EXPECT_EQ(std::string(sqlite3_column_name(select, column)).rfind(info.name, 0), 0u);
            const std::string text = FieldText(sample, entry, fieldOf[c]);
            switch (info.form) {
                case PeakFieldForm::kNumber:
                    ASSERT_EQ(sqlite3_column_type(select, column), SQLITE_FLOAT);
                    EXPECT_EQ(sqlite3_column_double(select, column), std::stod(text));
                    break;
                case PeakFieldForm::kYesIfZero:
                case PeakFieldForm::kYesIfSet:
                    ASSERT_EQ(sqlite3_column_type(select, column), SQLITE_INTEGER);
                    EXPECT_EQ(sqlite3_column_int(select, column), text == "YES" ? 1 : 0);
                    break;
                default:
                    ASSERT_EQ(sqlite3_column_type(select, column), SQLITE_TEXT);
                    EXPECT_EQ(reinterpret_cast<const char*>(sqlite3_column_text(select, column)), text);
            }
        }
    }
    EXPECT_EQ(rows, 4);  // the located peaks only
    sqlite3_finalize(select);
    sqlite3_close(db);

    // Curves: the linear fit of (1, 3), (2, 5.2), (4, 8.9) with (8, 30) excluded is
    // y = 1.15 + 1.95 x by hand; the uncalibrated curve says why.
    const Table curves = Query(path, "SELECT entry, calibrated, not_calibrated_reason, round(c0, 9), round(c1, 9), "
                                     "typeof(CorrCoeff), coefficient_of_determination IS NULL FROM curves");
    EXPECT_EQ(curves, (Table{{"1", "1", "<null>", "1.15", "1.95", "real", "0"},
                             {"2", "1", "<null>", "0.0", Query(path, "SELECT c1 FROM curves WHERE entry = 2")[0][0], "real", "1"},
                             {"3", "0", "too few points: 1 usable, 2 needed for a linear curve", "0.0", "0.0", "real", "1"}}));
    EXPECT_EQ(Query(path, "SELECT point, standard, nominal, excluded, round(back_calculated, 4), round(deviation_percent, 2) "
                          "FROM calibration_points WHERE entry = 1"),
              (Table{{"1", "std0.raw", "1.0", "0", "0.9487", "-5.13"},
                     {"2", "std1.raw", "2.0", "0", "2.0769", "3.85"},
                     {"3", "std2.raw", "4.0", "0", "3.9744", "-0.64"},
                     {"4", "std3.raw", "8.0", "1", "14.7949", "84.94"}}));
    EXPECT_EQ(Query(path, "SELECT version FROM schema_version"), (Table{{"2"}}));
}

TEST(ResultsDatabase, CurvesReadBackEqualFromIdenticalRecords) {
    const Folder folder;
    const std::string path = folder / "results.sqlite";
    BatchResults results = SmallBatch();
    std::string error;
    ASSERT_TRUE(Batch::WriteResultsDatabase(path, results, error)) << error;

    // The records are stored packed: a small part of their 19496 bytes.
    EXPECT_EQ(Query(path, "SELECT count(*) FROM curves WHERE length(record) < 2000"), (Table{{"3"}}));
    CCalibrationList curves;
    curves.SetDBName("batch curves");
    curves.Add(CCalibrationData());  // replaced, not appended to
    ASSERT_TRUE(Batch::ReadCurvesFromDatabase(path, MethodOf(kCompounds), curves, error)) << error;
    ASSERT_EQ(curves.GetSize(), 3);
    EXPECT_EQ(curves.GetDBName(), "batch curves");
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(curves.GetAt(i) == results.curves[i].curve) << kCompounds[i];
        EXPECT_EQ(RecordBytes(curves.GetAt(i)), RecordBytes(results.curves[i].curve)) << kCompounds[i];
    }
    EXPECT_EQ(curves.GetAt(0).GetCaliPoint(3).Flags, kCaliPointExcluded);

    // A database of the first layout, which kept the record as its 19496 bytes, still serves.
    const std::string old = folder / "old.sqlite";
    Execute(old, "CREATE TABLE curves (entry INTEGER, compound TEXT, record BLOB)");
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(old.c_str(), &db), SQLITE_OK);
        sqlite3_stmt* insert = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, "INSERT INTO curves VALUES (?, '', ?)", -1, &insert, nullptr), SQLITE_OK);
        for (int i = 0; i < 3; ++i) {
            const std::string bytes = RecordBytes(results.curves[i].curve);
            sqlite3_bind_int(insert, 1, i + 1);
            sqlite3_bind_blob(insert, 2, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
            EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_close(db);
    }
    CCalibrationList fromOld;
    ASSERT_TRUE(Batch::ReadCurvesFromDatabase(old, MethodOf(kCompounds), fromOld, error)) << error;
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(fromOld.GetAt(i) == results.curves[i].curve) << kCompounds[i];

    // A second batch onto the same file replaces the first whole.
    results.samples.pop_back();
    results.rows.resize(3);
    ASSERT_TRUE(Batch::WriteResultsDatabase(path, results, error)) << error;
    EXPECT_EQ(Query(path, "SELECT count(*) FROM samples"), (Table{{"1"}}));
    EXPECT_EQ(Query(path, "SELECT count(*) FROM results"), (Table{{"3"}}));
    EXPECT_EQ(Query(path, "SELECT count(*) FROM curves"), (Table{{"3"}}));

    // An empty batch still makes a database with its tables.
    ASSERT_TRUE(Batch::WriteResultsDatabase(path, BatchResults{}, error)) << error;
    EXPECT_EQ(Query(path, "SELECT (SELECT count(*) FROM samples) + (SELECT count(*) FROM results) + "
                          "(SELECT count(*) FROM curves)"),
              (Table{{"0"}}));
}

TEST(ResultsDatabase, ReadingRefusesCurvesThatAreNotTheMethods) {
    const Folder folder;
    const std::string good = folder / "good.sqlite";
    std::string error;
    ASSERT_TRUE(Batch::WriteResultsDatabase(good, SmallBatch(), error)) << error;
    struct Case {
        const char* name;
        std::function<void(const std::string& path)> damage;
        std::vector<std::string> method;
        const char* message;
    } cases[] = {
        {"missing file", [](const std::string& path) { std::filesystem::remove(path); }, kCompounds, "cannot open"},
        {"not a database", [](const std::string& path) { std::ofstream(path) << "Sample,Compound\n1,2\n"; },
         kCompounds, "not a results database"},
        {"database without curves",
         [](const std::string& path) {
             std::filesystem::remove(path);
             Execute(path, "CREATE TABLE other (x)");
         },
         kCompounds, "not a results database"},
        {"record cut short", [](const std::string& path) { Execute(path, "UPDATE curves SET record = substr(record, 1, length(record) - 1) WHERE entry = 2"); },
         kCompounds, "is neither a curve record of 19496 bytes nor one packed"},
        {"record one byte too long", [](const std::string& path) { Execute(path, "UPDATE curves SET record = zeroblob(19497) WHERE entry = 1"); },
         kCompounds, "(19497 bytes) is neither"},
        {"packed record too long", [](const std::string& path) { Execute(path, "UPDATE curves SET record = CAST(record || x'0100410000' AS BLOB) WHERE entry = 1"); },
         kCompounds, "record of entry 1 ("},
        {"record missing",
         [](const std::string& path) {
             std::filesystem::remove(path);
             Execute(path, "CREATE TABLE curves (entry INTEGER, record BLOB); INSERT INTO curves VALUES (3, NULL)");
         },
         kCompounds, "record of entry 3 is missing"},
        {"record as text", [](const std::string& path) { Execute(path, "UPDATE curves SET record = CAST(record AS TEXT) WHERE entry = 3"); },
         kCompounds, "record of entry 3 is not stored as bytes"},
        {"curve missing", [](const std::string& path) { Execute(path, "DELETE FROM curves WHERE entry = 2"); }, kCompounds,
         "holds 2 curves, but the method has 3 entries"},
        {"method has more entries", [](const std::string&) {}, {kCompounds[0], kCompounds[1], kCompounds[2], "Extra"},
         "holds 3 curves, but the method has 4 entries"},
        {"empty method", [](const std::string&) {}, {}, "the method has 0 entries"},
        {"entries renumbered", [](const std::string& path) { Execute(path, "UPDATE curves SET entry = 7 WHERE entry = 2"); },
         kCompounds, "not numbered 1 to 3"},
        {"another compound", [](const std::string&) {}, {kCompounds[0], "Propazine", kCompounds[2]},
         "is for \"Atrazine\", but method entry 2 is \"Propazine\""},
        {"compound in another letter case", [](const std::string&) {}, {kCompounds[0], "ATRAZINE", kCompounds[2]},
         "method entry 2"},
    };
    for (const Case& c : cases) {
        const std::string path = folder / "damaged.sqlite";
        std::filesystem::copy_file(good, path, std::filesystem::copy_options::overwrite_existing);
        c.damage(path);
        CCalibrationList curves;
        CCalibrationData kept;
        kept.SetName("kept");
        curves.Add(kept);
        error.clear();
        EXPECT_FALSE(Batch::ReadCurvesFromDatabase(path, MethodOf(c.method), curves, error)) << c.name;
        EXPECT_NE(error.find(path), std::string::npos) << c.name << ": " << error;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.name << ": " << error;
        ASSERT_EQ(curves.GetSize(), 1) << c.name;
        EXPECT_EQ(curves.GetAt(0).GetName(), "kept") << c.name;
    }
}

TEST(ResultsDatabase, FailedWriteLeavesTheEarlierDatabase) {
    const Folder folder;
    const std::string path = folder / "results.sqlite";
    const BatchResults earlier = SmallBatch();
    std::string error;
    ASSERT_TRUE(Batch::WriteResultsDatabase(path, earlier, error)) << error;
    const std::string before = Contents(path);
    const std::string temporary = Batch::TemporaryNameFor(path);

    // A row whose peak fields do not line up with the columns is refused, not shifted.
    BatchResults misaligned = SmallBatch();
    misaligned.samples.pop_back();
    std::vector<std::string> shortened = misaligned.rows[1].PeakFieldTexts();
    shortened.pop_back();
    misaligned.rows[1].SetPeakFieldTexts(shortened);
    EXPECT_FALSE(Batch::WriteResultsDatabase(path, misaligned, error));
    EXPECT_NE(error.find("sample Std 1, entry 2"), std::string::npos) << error;
    EXPECT_EQ(Contents(path), before);
    EXPECT_FALSE(std::filesystem::exists(temporary));
    EXPECT_FALSE(std::filesystem::exists(temporary + "-journal"));

    // The temporary cannot be created (its name is a folder that is in use): the error names
    // it. Tests may run as root, so a read-only folder would not stop the write.
    ASSERT_TRUE(std::filesystem::create_directories(temporary + "/in-use"));
    EXPECT_FALSE(Batch::WriteResultsDatabase(path, SmallBatch(), error));
    EXPECT_NE(error.find(temporary), std::string::npos) << error;
    EXPECT_EQ(Contents(path), before);
    std::filesystem::remove_all(temporary);

    // The target cannot be replaced; the finished temporary is removed.
    const std::string blocked = folder / "blocked.sqlite";
    ASSERT_TRUE(std::filesystem::create_directory(blocked));
    EXPECT_FALSE(Batch::WriteResultsDatabase(blocked, earlier, error));
    EXPECT_FALSE(std::filesystem::exists(Batch::TemporaryNameFor(blocked)));
    EXPECT_FALSE(Batch::WriteResultsDatabase("", earlier, error));

    CCalibrationList curves;
    EXPECT_TRUE(Batch::ReadCurvesFromDatabase(path, MethodOf(kCompounds), curves, error)) << error;
}

}  // namespace
