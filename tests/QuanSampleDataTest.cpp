// Sample entries and the sample list: forwarding to the sample record under the quantitative
// names, copying in and out of records, and the list protocol with its copy semantics.
#include <gtest/gtest.h>

#include "quan.h"

namespace {

CQuanSampleData Sample(const std::string& id, double initialAmount = 1.0) {
    CQuanSampleData sample;
    sample.SetSampleID(id.c_str());
    sample.SetInitialAmount(initialAmount);
    return sample;
}

// Fills in place: a returned copy would come back sized.
void AddAll(CQuanSampleDataList& list, std::initializer_list<const char*> ids) {
    for (const char* id : ids) list.Add(Sample(id));
}

}  // namespace

TEST(QuanSampleData, AccessorsForwardToTheRecordMembers) {
    CQuanSampleData sample;
    EXPECT_STREQ(sample.GetClassName(), "CQuanSampleData");
    sample.SetRawDataFileName("C:\\data\\STD01.raw");
    sample.SetDescription("Level 1 standard");
    sample.SetJob("J-17");
    sample.SetSampleID("STD01");
    sample.SetVial("1:A,3");
    sample.SetConditions("40C");
    sample.SetSubmitter("lab 2");
    sample.SetTask("PAH");
    sample.SetInitialAmount(2.5);
    sample.SetExtractVolume(10.0);
    sample.SetExtractDilutionFactor(4.0);
    sample.SetUserDilutionFactor(8.0);
    sample.SetInjectionVolume(1.5);
    sample.SetStockDilutionFactor(100.0);
    sample.SetStdConc(0, 0.5);
    sample.SetStdConc(19, 50.0);
    sample.SetSubjectText("patient 4");
    sample.SetSubjectTime(3.25);
    sample.SetSampleNumber(12);
    sample.SetQualityReference("QC-A");
    sample.SetQuantityReference("QR-7");
    sample.SetUser("analyst");
    sample.SetSampleType(CQuanSampleData::kStandard);

    CSampleRecord record;
    sample.Get(record);
    EXPECT_EQ(record.GetDataFile(), "C:\\data\\STD01.raw");
    EXPECT_EQ(record.GetDescription(), "Level 1 standard");
    EXPECT_EQ(record.GetJob(), "J-17");
    EXPECT_EQ(record.GetID(), "STD01");
    EXPECT_EQ(record.GetVialReference(), "1:A,3");
    EXPECT_EQ(record.GetConditions(), "40C");
    EXPECT_EQ(record.GetSubmitter(), "lab 2");
    EXPECT_EQ(record.GetTask(), "PAH");
    EXPECT_EQ(record.GetUserDivisor1(), 2.5);
    EXPECT_EQ(record.GetUserFactor3(), 10.0);
    EXPECT_EQ(record.GetUserFactor1(), 4.0);
    EXPECT_EQ(record.GetUserFactor2(), 8.0);
    EXPECT_EQ(record.GetInjectionVolume(), 1.5);
    EXPECT_EQ(record.GetStockDilution(), 100.0);
    EXPECT_EQ(record.GetConcentration(0), 0.5);
    EXPECT_EQ(record.GetConcentration(19), 50.0);
    EXPECT_EQ(record.GetSubjectText(), "patient 4");
    EXPECT_EQ(record.GetSubjectTime(), 3.25);
    EXPECT_EQ(record.GetSampleNumber(), 12);
    EXPECT_EQ(record.GetQualityReference(), "QC-A");
    EXPECT_EQ(record.GetQuanRef(), "QR-7");
    EXPECT_EQ(record.GetQuantityReference(), "");  // the quantity reference lives in QuanRef
    EXPECT_EQ(record.GetUser(), "analyst");
    int type = -1;
    record.GetType(type);
    EXPECT_EQ(type, 1);

    // And back: the getters read what the record holds.
    record.SetSpare(3, "spare three");
    record.SetMass(29, "252.1");
    record.SetUserFactor2(16.0);
    sample = record;
    EXPECT_EQ(sample.GetSpare(3), "spare three");
    EXPECT_EQ(sample.GetMass(29), "252.1");
    EXPECT_EQ(sample.GetUserDilutionFactor(), 16.0);
    EXPECT_EQ(sample.GetRawDataFileName(), "C:\\data\\STD01.raw");
    EXPECT_EQ(sample.GetQuantityReference(), "QR-7");
    EXPECT_EQ(sample.GetStdConc(19), 50.0);

    // Out-of-range indices give nothing and change nothing (the record guards them).
    sample.SetStdConc(20, 9.0);
    EXPECT_EQ(sample.GetStdConc(20), 0.0);
    EXPECT_EQ(sample.GetSpare(-1), "");
    // A null character string leaves the field as it was.
    sample.SetJob(nullptr);
    EXPECT_EQ(sample.GetJob(), "J-17");

    auto created = QuanClassFramework::Create("CQuanSampleData");
    ASSERT_NE(created, nullptr);
    EXPECT_STREQ(created->GetClassName(), "CQuanSampleData");
}

TEST(QuanSampleData, SampleTypeAsNumberAndText) {
    const struct {
        int type;
        const char* text;
    } cases[] = {{0, "Analyte"}, {1, "Standard"}, {2, "QC"}, {3, "Blank"}, {6, "Recovery"}, {4, "4"}};
    for (const auto& c : cases) {
        CQuanSampleData sample;
        sample.SetSampleType(c.type);
        EXPECT_EQ(sample.GetSampleType(), c.type);
        EXPECT_EQ(sample.GetSampleTypeString(), c.text);
        EXPECT_EQ(sample.GetSampleText(), sample.GetSampleTypeString());

        CQuanSampleData fromText;
        fromText.SetSampleType(5);
        EXPECT_TRUE(fromText.SetSampleType(c.text));
        EXPECT_EQ(fromText.GetSampleType(), c.type);
    }
    CQuanSampleData sample;
    sample.SetSampleType(2);
    EXPECT_TRUE(sample.SetSampleType("standard"));
    EXPECT_EQ(sample.GetSampleType(), 1);
    EXPECT_FALSE(sample.SetSampleType("Unknown"));
    EXPECT_FALSE(sample.SetSampleType(static_cast<const char*>(nullptr)));
    EXPECT_EQ(sample.GetSampleType(), 1);
}

TEST(QuanSampleData, CopiesCarryTheWholeRecord) {
    CQuanSampleData original = Sample("S1", 2.0);
    original.SetSampleType(3);
    original.SetStdConc(5, 7.5);

    CQuanSampleData constructed(original);
    CQuanSampleData assigned;
    assigned = original;
    CQuanSampleData copied;
    copied.CopyData(original);
    for (const CQuanSampleData* copy : {&constructed, &assigned, &copied}) {
        EXPECT_EQ(copy->GetSampleID(), "S1");
        EXPECT_EQ(copy->GetInitialAmount(), 2.0);
        EXPECT_EQ(copy->GetSampleType(), 3);
        EXPECT_EQ(copy->GetStdConc(5), 7.5);
    }
    constructed.SetSampleID("other");
    EXPECT_EQ(original.GetSampleID(), "S1");

    CQuanSampleData& self = original;
    original = self;
    original.CopyData(self);
    EXPECT_EQ(original.GetSampleID(), "S1");

    // A constant record is copied in; a modifiable one is filled from the sample.
    CSampleRecord in;
    in.SetID("from record");
    const CSampleRecord& constantIn = in;
    copied.CopyData(constantIn);
    EXPECT_EQ(copied.GetSampleID(), "from record");
    CSampleRecord out;
    original.CopyData(out);
    EXPECT_EQ(out.GetID(), "S1");
    EXPECT_EQ(original.GetSampleID(), "S1");
}

TEST(QuanSampleDataList, SetAtNeedsSizeAndRemoveKeepsTheSlot) {
    CQuanSampleDataList list;
    AddAll(list, {"A"});
    EXPECT_STREQ(list.GetClassName(), "CQuanSampleDataList");
    EXPECT_EQ(list.GetQuanFunction(), 0);
    EXPECT_EQ(list.GetModifiedTime(), 0);
    EXPECT_FALSE(list.SetAt(0, Sample("B")));  // not sized yet, although slot 0 exists
    EXPECT_EQ(list.GetAt(0).GetSampleID(), "A");

    EXPECT_TRUE(list.SetNumSamples(0));
    EXPECT_EQ(list.GetNumSamples(), 0);
    EXPECT_FALSE(list.SetAt(0, Sample("B")));
    list.Add(Sample("A"));
    list.Add(Sample("B"));
    list.Add(Sample("C"));
    EXPECT_TRUE(list.SetAt(2, Sample("D")));
    EXPECT_TRUE(list.SetAt(1, &list.GetAt(1)));
    EXPECT_FALSE(list.SetAt(3, Sample("E")));
    EXPECT_FALSE(list.SetAt(0, static_cast<const CQuanSampleData*>(nullptr)));

    EXPECT_TRUE(list.Remove(1));
    EXPECT_EQ(list.GetNumSamples(), 3);
    EXPECT_EQ(list.GetEntry(1), nullptr);
    EXPECT_EQ(list.GetAt(1).GetSampleID(), "");  // an empty slot reads as an empty sample
    EXPECT_EQ(list.GetAt(2).GetSampleID(), "D");
    EXPECT_FALSE(list.Remove(7));

    EXPECT_TRUE(list.SetNumSamples(1));  // cut-off samples are released (the leak check shows it)
    EXPECT_EQ(list.GetNumSamples(), 1);
    EXPECT_FALSE(list.SetNumSamples(-2));
    list.EmptyQuanSampleDataList();
    EXPECT_EQ(list.GetNumSamples(), 0);
    list.Add(Sample("F"));
    EXPECT_TRUE(list.SetAt(0, Sample("G")));  // the sized flag survives emptying

    auto created = QuanClassFramework::Create("CQuanSampleDataList");
    ASSERT_NE(created, nullptr);
    EXPECT_STREQ(created->GetClassName(), "CQuanSampleDataList");
}

TEST(QuanSampleDataList, AddCopiesAndNeverTakesTheCallersSample) {
    CQuanSampleData* mine = new CQuanSampleData(Sample("mine", 3.0));
    CQuanSampleDataList list;
    EXPECT_TRUE(list.Add(mine));
    EXPECT_FALSE(list.Add(static_cast<const CQuanSampleData*>(nullptr)));
    EXPECT_EQ(list.GetNumSamples(), 1);
    EXPECT_NE(&list.GetAt(0), mine);
    list.GetAt(0).SetSampleID("changed");
    list.EmptyQuanSampleDataList();
    EXPECT_EQ(mine->GetSampleID(), "mine");
    delete mine;
}

TEST(QuanSampleDataList, AssignmentCopiesSamplesButNotTheBatchFiles) {
    CQuanSampleDataList source;
    AddAll(source, {"A", "B", "C", "D", "E"});
    source.SetDBName("batch.spl");
    source.SetModifiedTime(1700000123);
    source.SetMethodFileName("source.mdb");
    source.SetCurveDBFileName("source.cdb");
    source.SetQuanFunction(3);

    CQuanSampleDataList target;

    AddAll(target, {"X", "Y"});
    target.SetMethodFileName("target.mdb");
    target.SetCurveDBFileName("target.cdb");
    target.SetQuanFunction(1);
    target = source;
    ASSERT_EQ(target.GetNumSamples(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(target.GetAt(i).GetSampleID(), source.GetAt(i).GetSampleID());
        EXPECT_NE(&target.GetAt(i), &source.GetAt(i));
    }
    EXPECT_EQ(target.GetDBName(), "batch.spl");
    EXPECT_EQ(target.GetModifiedTime(), 1700000123);
    EXPECT_EQ(target.GetMethodFileName(), "target.mdb");
    EXPECT_EQ(target.GetCurveDBFileName(), "target.cdb");
    EXPECT_EQ(target.GetQuanFunction(), 1);

    CQuanSampleDataList constructed(source);
    ASSERT_EQ(constructed.GetNumSamples(), 5);
    EXPECT_EQ(constructed.GetAt(4).GetSampleID(), "E");
    EXPECT_EQ(constructed.GetDBName(), "batch.spl");
    EXPECT_EQ(constructed.GetMethodFileName(), "");
    EXPECT_EQ(constructed.GetQuanFunction(), 0);

    // Holes are copied as holes; a list assigned to itself keeps its samples.
    source.Remove(2);
    target = source;
    EXPECT_EQ(target.GetEntry(2), nullptr);
    CQuanSampleDataList& alias = target;
    target = alias;
    EXPECT_EQ(target.GetNumSamples(), 5);
    EXPECT_EQ(target.GetAt(4).GetSampleID(), "E");

    // CopyData alone fills only this list's own slots, and only once it is sized.
    CQuanSampleDataList unsized;
    AddAll(unsized, {"Q"});
    unsized.CopyData(source);
    EXPECT_EQ(unsized.GetNumSamples(), 1);
    EXPECT_EQ(unsized.GetAt(0).GetSampleID(), "Q");
    EXPECT_EQ(unsized.GetDBName(), "batch.spl");
    CQuanSampleDataList two;
    two.SetNumSamples(2);
    two.CopyData(source);
    EXPECT_EQ(two.GetNumSamples(), 2);
    EXPECT_EQ(two.GetAt(1).GetSampleID(), "B");
}
