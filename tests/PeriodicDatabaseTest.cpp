// The periodic-table database: element records read back byte for byte; a table whose records
// are not whole 1024-byte element records is refused (a shorter record would leave most of each
// element, scale and response factors among it, unwritten) without disturbing the one open; every
// read starts from a zeroed record; and a stray close never drives the open count below zero.
#include <gtest/gtest.h>

#include <algorithm>
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

// A table of `recordSize`-byte records up to record 29, not a byte of them zero.
std::string WriteTable(size_t recordSize) {
    const std::string path = TablePath(recordSize);
    std::string bytes(recordSize, '\x40');
    EXPECT_EQ(FlatDatabase::CreateTable(path, recordSize), FlatDatabase::kOk);
    EXPECT_EQ(FlatDatabase::OpenTable(kScratchTable, path.c_str(), FlatDatabase::kReadWrite), FlatDatabase::kOk);
    EXPECT_EQ(FlatDatabase::RecordOperation(kScratchTable, 29, bytes.data(), recordSize, FlatDatabase::kWriteRecord, 0),
              FlatDatabase::kOk);
    EXPECT_EQ(FlatDatabase::CloseTable(kScratchTable), FlatDatabase::kOk);
    return path;
}

tagELEMENTstruct Copper() {
    tagELEMENTstruct copper{};
    std::strcpy(copper.Symbol, "Cu");
    copper.ElementMass = 63.546;
    copper.ScaleFactor = 2.0;
    copper.Isotopes[1] = {62.929601, 69.17, 1.0, {}};
    copper.Isotopes[2] = {64.927794, 30.83, 0.9, {}};
    copper.IsotopeInUse[1] = copper.IsotopeInUse[2] = 1;
    std::memset(copper.reserved64, 0x5A, sizeof copper.reserved64);  // bytes no engine reads
    return copper;
}

bool AllZero(const tagELEMENTstruct& element) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&element);
    return std::all_of(bytes, bytes + sizeof element, [](unsigned char b) { return b == 0; });
}
}  // namespace

TEST(PeriodicDatabase, ElementsReadBackByteForByte) {
    const tagELEMENTstruct copper = Copper();
    const std::string path = TablePath(sizeof(tagELEMENTstruct));
    ASSERT_EQ(FlatDatabase::CreateTable(path, sizeof(tagELEMENTstruct)), FlatDatabase::kOk);
    ASSERT_TRUE(OpenFlatDatabase(kPeriodicDatabaseKind, path.c_str(), true));
    ASSERT_EQ(WriteElementRecord(29, copper), 0);
    ASSERT_TRUE(CloseFlatDatabase(kPeriodicDatabaseKind));

    ASSERT_TRUE(OpenFlatDatabase(kPeriodicDatabaseKind, path.c_str(), false));
    tagELEMENTstruct read;
    ASSERT_EQ(ReadElementRecord(29, read), 0);
    EXPECT_EQ(std::memcmp(&read, &copper, sizeof read), 0);
    EXPECT_EQ(read.Isotopes[2].ResponseFactor, 0.9);
    // Elements below the highest written one exist but are empty; beyond it nothing is read.
    std::memset(&read, 0x5A, sizeof read);
    ASSERT_EQ(ReadElementRecord(26, read), 0);
    EXPECT_TRUE(AllZero(read));
    std::memset(&read, 0x5A, sizeof read);
    EXPECT_NE(ReadElementRecord(30, read), 0);
    EXPECT_TRUE(AllZero(read));
    EXPECT_NE(ReadElementRecord(0, read), 0);
    EXPECT_NE(WriteElementRecord(30, copper), 0);  // opened for reading only

    // Tables of other record sizes are refused; the one opened first is still the one read.
    for (size_t recordSize : {512u, 1023u, 1025u, 2048u}) {
        const std::string other = WriteTable(recordSize);
        EXPECT_FALSE(OpenFlatDatabase(kPeriodicDatabaseKind, other.c_str(), false)) << recordSize;
        EXPECT_EQ(PeriodicDatabaseOpenCount(), 1) << recordSize;
        std::remove(other.c_str());
    }
    ASSERT_EQ(ReadElementRecord(29, read), 0);
    EXPECT_STREQ(read.Symbol, "Cu");

    EXPECT_TRUE(CloseFlatDatabase(kPeriodicDatabaseKind));
    EXPECT_NE(ReadElementRecord(29, read), 0);  // closed
    // A stray close is refused and leaves the count at zero, so the next open opens the table.
    EXPECT_FALSE(CloseFlatDatabase(kPeriodicDatabaseKind));
    EXPECT_EQ(PeriodicDatabaseOpenCount(), 0);
    ASSERT_TRUE(OpenFlatDatabase(kPeriodicDatabaseKind, path.c_str(), false));
    EXPECT_EQ(ReadElementRecord(29, read), 0);
    EXPECT_TRUE(CloseFlatDatabase(kPeriodicDatabaseKind));
    std::remove(path.c_str());
}
