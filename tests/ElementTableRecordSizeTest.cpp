// A periodic-table database whose records are not whole 1024-byte element records is refused as
// unreadable (a shorter record would leave most of each element, scale and response factors
// among it, unwritten), without disturbing a database already open; and every element read
// starts from a zeroed record.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "quan.h"

namespace {
constexpr int kScratchTable = 90;  // any table but the periodic one, which stays open meanwhile

std::string TablePath(size_t recordSize) {
    return std::string(::testing::TempDir()) + "/quan_elements_" + std::to_string(recordSize) + "_" +
           std::to_string(::getpid()) + ".db";
}

// A table of `recordSize`-byte records whose record 29 holds `fill` bytes.
std::string WriteTable(size_t recordSize, unsigned char fill) {
    const std::string path = TablePath(recordSize);
    EXPECT_EQ(FlatDatabase::CreateTable(path, recordSize), FlatDatabase::kOk);
    EXPECT_EQ(FlatDatabase::OpenTable(kScratchTable, path.c_str(), FlatDatabase::kReadWrite), FlatDatabase::kOk);
    std::string record(recordSize, static_cast<char>(fill));
    EXPECT_EQ(FlatDatabase::RecordOperation(kScratchTable, 29, record.data(), recordSize, FlatDatabase::kWriteRecord, 0),
              FlatDatabase::kOk);
    EXPECT_EQ(FlatDatabase::CloseTable(kScratchTable), FlatDatabase::kOk);
    return path;
}

bool AllZero(const tagELEMENTstruct& element) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&element);
    for (size_t k = 0; k < sizeof element; ++k)
        if (bytes[k] != 0) return false;
    return true;
}
}  // namespace

TEST(ElementTableRecordSize, OnlyWholeElementRecordsAreRead) {
    const std::string whole = WriteTable(1024, 0);
    ASSERT_TRUE(OpenFlatDatabase(kPeriodicDatabaseKind, whole.c_str(), false));
    for (size_t recordSize : {512u, 1023u, 1025u, 2048u}) {
        const std::string path = WriteTable(recordSize, 0x40);
        EXPECT_FALSE(OpenFlatDatabase(kPeriodicDatabaseKind, path.c_str(), false)) << recordSize;
        EXPECT_EQ(PeriodicDatabaseOpenCount(), 1) << recordSize;
        std::remove(path.c_str());
    }
    // The database opened first is still the one read.
    tagELEMENTstruct element;
    std::memset(&element, 0x5A, sizeof element);
    ASSERT_EQ(ReadElementRecord(29, element), 0);
    EXPECT_TRUE(AllZero(element));
    std::memset(&element, 0x5A, sizeof element);
    EXPECT_NE(ReadElementRecord(30, element), 0);  // beyond the table
    EXPECT_TRUE(AllZero(element));
    EXPECT_TRUE(CloseFlatDatabase(kPeriodicDatabaseKind));
    std::remove(whole.c_str());
}
