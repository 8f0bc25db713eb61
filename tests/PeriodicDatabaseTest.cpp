// The periodic-table database: element records read back byte for byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <thread>
#include <unistd.h>

#include "quan.h"
#include "tools/Csv.h"

namespace {
std::string TempDatabase() {
    return std::string(::testing::TempDir()) + "/quan_periodic_" + std::to_string(::getpid()) + ".db";
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

class PeriodicDatabase : public ::testing::Test {
protected:
    void SetUp() override {
        path = TempDatabase();
        ASSERT_EQ(FlatDatabase::CreateTable(path, sizeof(tagELEMENTstruct)), FlatDatabase::kOk);
        ASSERT_TRUE(OpenFlatDatabase(kPeriodicDatabaseKind, path.c_str(), true));
        ASSERT_EQ(WriteElementRecord(29, Copper()), 0);
        ASSERT_TRUE(CloseFlatDatabase(kPeriodicDatabaseKind));
        ASSERT_EQ(PeriodicDatabaseOpenCount(), 0);
    }
    void TearDown() override {
        while (PeriodicDatabaseOpenCount() > 0) CloseFlatDatabase(kPeriodicDatabaseKind);
        std::remove(path.c_str());
    }
    std::string path;
};
}  // namespace

TEST_F(PeriodicDatabase, ElementsReadBackByteForByte) {
    ASSERT_TRUE(OpenFlatDatabase(kPeriodicDatabaseKind, path.c_str(), false));
    tagELEMENTstruct read;
    ASSERT_EQ(ReadElementRecord(29, read), 0);
    const tagELEMENTstruct copper = Copper();
    EXPECT_EQ(std::memcmp(&read, &copper, sizeof read), 0);
    EXPECT_STREQ(read.Symbol, "Cu");
    EXPECT_EQ(read.Isotopes[2].ResponseFactor, 0.9);
    // Elements below the highest written one exist but are empty; beyond it nothing is read.
    ASSERT_EQ(ReadElementRecord(26, read), 0);
    EXPECT_EQ(read.Symbol[0], '\0');
    EXPECT_NE(ReadElementRecord(30, read), 0);
    EXPECT_NE(ReadElementRecord(0, read), 0);
    EXPECT_NE(WriteElementRecord(30, copper), 0);  // opened for reading only
    EXPECT_TRUE(CloseFlatDatabase(kPeriodicDatabaseKind));
    EXPECT_NE(ReadElementRecord(29, read), 0);  // closed
}
