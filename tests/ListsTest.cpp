// The four record lists (peaks, method entries, curves, samples) keep one protocol: sizing,
// slot-wise SetAt, copying in and never taking the caller's entry, holes after Remove, a
// default entry for a hole, copies that carry entries, holes and the list's stamp. One typed
// test holds all four to it; what is particular to a list follows. The engines reach entries
// through the list's virtual GetAt, so a host's list class that serves its own entries is
// honoured, passing over slots left empty.
#include <gtest/gtest.h>

#include <array>
#include <type_traits>
#include <vector>

#include "LocateTestSupport.h"
#include "quan.h"

namespace {
// How each list's entries are named, so that the protocol test can tell entries apart.
template <class List>
struct Named {
    using Entry = std::remove_reference_t<decltype(std::declval<List&>().GetAt(0))>;
    static Entry Make(const std::string& name) {
        Entry entry;
        if constexpr (std::is_same_v<Entry, CQuanSampleData>) entry.SetSampleID(name.c_str());
        else entry.SetName(name);
        return entry;
    }
    static std::string Of(const Entry& entry) {
        if constexpr (std::is_same_v<Entry, CQuanSampleData>) return entry.GetSampleID();
        else return entry.GetName();
    }
    static void Empty(List& list) {
        if constexpr (std::is_same_v<List, CPeakList>) list.EmptyPeakList();
        else if constexpr (std::is_same_v<List, CMethodList>) list.EmptyMethodList();
        else if constexpr (std::is_same_v<List, CCalibrationList>) list.EmptyCalibrationList();
        else list.EmptyQuanSampleDataList();
    }
};

// A host's peak list that shows retention-time-corrected copies of the stored peaks.
class CorrectedPeakList : public CPeakList {
public:
    mutable std::vector<CPeakData> shown;
    CPeakData& GetAt(int index) const override { return shown.at(static_cast<size_t>(index)); }
};

template <class List>
class ListProtocol : public ::testing::Test {};
using AllLists = ::testing::Types<CPeakList, CMethodList, CCalibrationList, CQuanSampleDataList>;
TYPED_TEST_SUITE(ListProtocol, AllLists);

CCalibrationData Curve(const std::string& name, double corrCoeff) {
    CCalibrationData curve;
    curve.SetName(name);
    curve.SetCorrCoeff(corrCoeff);
    return curve;
}
}  // namespace

TYPED_TEST(ListProtocol, SlotsSizesAndOwnership) {
    using N = Named<TypeParam>;
    using Entry = typename N::Entry;
    TypeParam list;
    EXPECT_TRUE(list.Add(N::Make("A")));
    EXPECT_FALSE(list.SetAt(0, N::Make("B")));  // not sized yet, although slot 0 exists
    EXPECT_EQ(N::Of(list.GetAt(0)), "A");

    EXPECT_TRUE(list.SetSize(3));
    EXPECT_EQ(list.GetEntry(1), nullptr);
    EXPECT_TRUE(list.SetAt(1, N::Make("B")));
    EXPECT_TRUE(list.SetAt(1, list.GetAt(1)));  // its own entry: copied before the old one goes
    EXPECT_EQ(N::Of(list.GetAt(1)), "B");
    EXPECT_FALSE(list.SetAt(3, N::Make("C")));
    EXPECT_FALSE(list.SetAt(0, static_cast<const Entry*>(nullptr)));

    Entry mine = N::Make("mine");
    EXPECT_TRUE(list.Add(&mine));
    ASSERT_EQ(list.GetSize(), 4);
    EXPECT_NE(&list.GetAt(3), &mine);
    list.GetAt(3) = N::Make("changed");
    EXPECT_EQ(N::Of(mine), "mine");

    EXPECT_TRUE(list.Remove(1));
    EXPECT_FALSE(list.Remove(4));
    EXPECT_EQ(list.GetEntry(1), nullptr);
    EXPECT_EQ(N::Of(list.GetAt(1)), "");  // a hole, and a number outside the list, read as defaults
    EXPECT_EQ(N::Of(list.GetAt(99)), "");
    EXPECT_EQ(N::Of(list.GetAt(3)), "changed");

    EXPECT_FALSE(list.SetSize(-1));
    EXPECT_TRUE(list.SetSize(1));  // cut-off entries are released (the leak check shows it)
    EXPECT_EQ(N::Of(list.GetAt(0)), "A");
    N::Empty(list);
    EXPECT_EQ(list.GetSize(), 0);
    list.Add(N::Make("D"));
    EXPECT_TRUE(list.SetAt(0, N::Make("E")));  // the sized mark survives emptying
}

TYPED_TEST(ListProtocol, CopiesCarryEntriesHolesAndStamp) {
    using N = Named<TypeParam>;
    TypeParam source;
    for (const char* name : {"A", "B", "C"}) source.Add(N::Make(name));
    source.Remove(1);
    source.SetDBName("batch.db");
    source.SetModifiedTime(1700000000);

    TypeParam assigned;
    assigned.Add(N::Make("X"));
    assigned = source;
    TypeParam constructed(source);
    for (TypeParam* copy : {&assigned, &constructed}) {
        ASSERT_EQ(copy->GetSize(), 3);
        EXPECT_EQ(N::Of(copy->GetAt(0)), "A");
        EXPECT_NE(&copy->GetAt(0), &source.GetAt(0));
        EXPECT_EQ(copy->GetEntry(1), nullptr);  // a hole stays a hole
        EXPECT_EQ(N::Of(copy->GetAt(2)), "C");
        EXPECT_EQ(copy->GetDBName(), "batch.db");
        EXPECT_EQ(copy->GetModifiedTime(), 1700000000);
        EXPECT_TRUE(copy->SetAt(1, N::Make("F")));  // copies are sized lists
    }
    // Assigning a list filled by Add to itself keeps its entries and makes it sized.
    EXPECT_FALSE(source.SetAt(0, N::Make("G")));
    TypeParam& alias = source;
    source = alias;
    ASSERT_EQ(source.GetSize(), 3);
    EXPECT_EQ(N::Of(source.GetAt(2)), "C");
    EXPECT_TRUE(source.SetAt(0, N::Make("G")));
    EXPECT_EQ(N::Of(source.GetAt(0)), "G");
}

TEST(CalibrationList, MatchingCalibrationIgnoresCaseAndTakesTheFirst) {
    CCalibrationList list = test_lists::Curves({Curve("Toluene", 0.1), Curve("BENZENE", 0.2), Curve("Benzene", 0.3)});
    CCalibrationData found;
    EXPECT_TRUE(list.GetMatchingCalibration(found, "benzene"));
    EXPECT_EQ(found, list.GetAt(1));  // a full copy of the first match, "BENZENE"

    CCalibrationData untouched = Curve("keep", 0.9);
    EXPECT_FALSE(list.GetMatchingCalibration(untouched, "benzen"));
    EXPECT_EQ(untouched.GetCorrCoeff(), 0.9);

    // Empty slots are passed over.
    list.Remove(1);
    EXPECT_TRUE(list.GetMatchingCalibration(found, "benzene"));
    EXPECT_EQ(found.GetCorrCoeff(), 0.3);
}

TEST(ListAccess, EnginesReadEntriesThroughGetAtAndPassOverEmptySlots) {
    using namespace locate_test;
    CorrectedPeakList peaks;
    for (float storedRT : {9.0f, 9.5f, 10.0f}) peaks.Add(Peak(storedRT));
    peaks.shown = {Peak(5.0f), Peak(5.6f), Peak(6.0f)};  // the host corrected every RT by -4
    peaks.Remove(1);
    CMethodList methods = Methods({Entry(5.0f, 0.5f), Entry(6.0f, 0.5f)});
    methods.SetSize(3);  // a trailing empty slot
    ASSERT_EQ(Locate(methods, peaks), kLocateOK);
    // The second peak's slot is empty: never looked at.
    EXPECT_EQ((std::array{peaks.shown[0].GetMDBEntry(), peaks.shown[1].GetMDBEntry(), peaks.shown[2].GetMDBEntry()}),
              (std::array{1, 0, 2}));
    EXPECT_EQ(peaks.GetEntry(1), nullptr);
}

TEST(PeakList, SortsByEachKeyBothWaysAndLeavesWhatItCannotSort) {
    using namespace locate_test;
    const auto order = [](const CPeakList& peaks) {
        std::vector<float> rts;
        for (int i = 0; i < peaks.GetSize(); ++i) rts.push_back(peaks.GetAt(i).GetFoundRT());
        return rts;
    };
    const auto list = [] {  // RT, area, height all in different orders; areas 300 tie
        return Peaks({Peak(3.0f, 300.0, 20.0), Peak(1.0f, 100.0, 40.0), Peak(4.0f, 300.0, 10.0),
                      Peak(2.0f, 500.0, 30.0)});
    };
    const struct { int key, ascending; std::vector<float> rts; } cases[] = {
        {CPeakList::kSortFoundRT, 1, {1, 2, 3, 4}}, {CPeakList::kSortFoundRT, 0, {4, 3, 2, 1}},
        {CPeakList::kSortArea, 1, {1, 3, 4, 2}},    {CPeakList::kSortArea, 0, {2, 4, 3, 1}},  // selection: ties not kept in order
        {CPeakList::kSortHeight, 1, {4, 3, 2, 1}},  {CPeakList::kSortHeight, 0, {1, 2, 3, 4}},
    };
    for (const auto& c : cases) {
        CPeakList peaks = list();
        EXPECT_EQ(peaks.Sort(c.key, c.ascending), 1);
        EXPECT_EQ(order(peaks), c.rts) << "key " << c.key << " ascending " << c.ascending;
        EXPECT_EQ(peaks.Sort(c.key, c.ascending), 0);  // sorted already: nothing moves
        EXPECT_EQ(order(peaks), c.rts);
    }
    CPeakList peaks = list();
    EXPECT_EQ(peaks.Sort(3, 1), 0);
    EXPECT_EQ(peaks.Sort(-1, 1), 0);
    peaks.Remove(1);
    EXPECT_EQ(peaks.Sort(CPeakList::kSortFoundRT, 1), 0);
    EXPECT_EQ(peaks.GetAt(0).GetFoundRT(), 3.0f);
    CPeakList one = Peaks({Peak(1.0f)});
    EXPECT_EQ(one.Sort(CPeakList::kSortFoundRT, 0), 0);
}

TEST(MethodList, CalibrationReferencesToNoEntryBecomeTheEntrysOwnName) {
    CMethodList methods;
    const char* entries[][2] = {{"A", "A"}, {"B", "A"}, {"C", "Z"}, {"D", "b"}, {"E", ""}};
    for (const auto& e : entries) {
        CMethodData entry;
        entry.SetName(e[0]);
        entry.SetCalCompound(e[1]);
        methods.Add(entry);
    }
    methods.FixCalReferences();
    const char* expected[] = {"A", "A", "C", "D", "E"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(methods.GetAt(i).GetCalCompound(), expected[i]) << i;
}
