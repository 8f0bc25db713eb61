// The results database: every table holds one row per sample, result and curve with the
// columns the CSV and the peak report fields name; curves read back equal, from byte-identical
// records; a database that is not the method's is refused without touching the caller's
// curves; and a failed write leaves the earlier database as it was.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <array>
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
                       {"x'); DROP TABLE samples;--", "Unknown", 0, "", "u1.csv", 3, 29}};
    results.curves = {{1, kCompounds[0], "", Curve(kCompounds[0], kCurveLinear, {{1, 3}, {2, 5.2}, {4, 8.9}, {8, 30}}, 3, true)},
                      {2, kCompounds[1], "", Curve(kCompounds[1], kCurveRF, {{1, 4}, {2, 8.5}}, -1, true)},
                      {3, kCompounds[2], "", Curve(kCompounds[2], kCurveLinear, {{1, 2}}, -1, false)}};
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
                for (size_t k = 0; k < PeakFieldList().size(); ++k)
                    texts.push_back("s" + std::to_string(sample) + "e" + std::to_string(entry) + "f" + std::to_string(k));
            row.SetPeakFieldTexts(texts);
            results.rows.push_back(row);
        }
    return results;
}

TEST(ResultsDatabase, CurvesReadBackEqualFromIdenticalRecords) {
    const Folder folder;
    const std::string path = folder / "results.sqlite";
    BatchResults results = SmallBatch();
    std::string error;
    ASSERT_TRUE(Batch::WriteResultsDatabase(path, results, error)) << error;

    const Table records = Query(path, "SELECT record FROM curves ORDER BY entry");
    ASSERT_EQ(records.size(), 3u);
    CCalibrationList curves;
    curves.SetDBName("batch curves");
    curves.Add(CCalibrationData());  // replaced, not appended to
    ASSERT_TRUE(Batch::ReadCurvesFromDatabase(path, MethodOf(kCompounds), curves, error)) << error;
    ASSERT_EQ(curves.GetSize(), 3);
    EXPECT_EQ(curves.GetDBName(), "batch curves");
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(curves.GetAt(i) == results.curves[i].curve) << kCompounds[i];
        EXPECT_EQ(records[i][0], RecordBytes(results.curves[i].curve)) << kCompounds[i];
        EXPECT_EQ(RecordBytes(curves.GetAt(i)), records[i][0]) << kCompounds[i];
    }
    EXPECT_EQ(curves.GetAt(0).GetCaliPoint(3).Flags, kCaliPointExcluded);

    // A second batch onto the same file replaces the first whole.
    results.samples.pop_back();
    results.rows.resize(3);
    ASSERT_TRUE(Batch::WriteResultsDatabase(path, results, error)) << error;
    EXPECT_EQ(Query(path, "SELECT count(*) FROM samples"), (Table{{"1"}}));
    EXPECT_EQ(Query(path, "SELECT count(*) FROM results"), (Table{{"3"}}));
    EXPECT_EQ(Query(path, "SELECT count(*) FROM curves"), (Table{{"3"}}));

    // An empty batch still makes a database with its three tables.
    ASSERT_TRUE(Batch::WriteResultsDatabase(path, BatchResults{}, error)) << error;
    EXPECT_EQ(Query(path, "SELECT (SELECT count(*) FROM samples) + (SELECT count(*) FROM results) + "
                          "(SELECT count(*) FROM curves)"),
              (Table{{"0"}}));
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
