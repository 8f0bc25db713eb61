// The calibration list: list protocol, ownership, copy and assignment, and the look-up of a
// curve by compound name.
#include <gtest/gtest.h>

#include "quan.h"

namespace {

CCalibrationData Curve(const std::string& name, double corrCoeff = 0.0) {
    CCalibrationData curve;
    curve.SetName(name);
    curve.SetCorrCoeff(corrCoeff);
    curve.SetNumCaliPts(1);
    tag_CALI_POINT point{};
    point.Conc = 1.0;
    point.Resp = 100.0 + corrCoeff;
    curve.SetCaliPoint(point, 0);
    return curve;
}

// Fills in place: a returned copy would come back sized.
void AddAll(CCalibrationList& list, std::initializer_list<const char*> names) {
    for (const char* name : names) list.Add(Curve(name));
}

}  // namespace

TEST(CalibrationList, SetAtNeedsSizeAndAStoredSlot) {
    CCalibrationList list;
    EXPECT_STREQ(list.GetClassName(), "CCalibrationList");
    list.Add(Curve("A"));
    EXPECT_FALSE(list.SetAt(0, Curve("B")));  // not sized yet, although slot 0 exists
    EXPECT_EQ(list.GetAt(0).GetName(), "A");

    CCalibrationList sized;
    EXPECT_TRUE(sized.SetSize(0));
    EXPECT_EQ(sized.GetSize(), 0);
    EXPECT_FALSE(sized.SetAt(0, Curve("B")));  // no such slot
    sized.Add(Curve("A"));
    EXPECT_TRUE(sized.SetAt(0, Curve("B")));
    EXPECT_EQ(sized.GetAt(0).GetName(), "B");
    EXPECT_FALSE(sized.SetAt(1, Curve("C")));
    EXPECT_FALSE(sized.SetAt(-1, Curve("C")));
    EXPECT_FALSE(sized.SetAt(0, static_cast<const CCalibrationData*>(nullptr)));
    EXPECT_FALSE(sized.Add(static_cast<const CCalibrationData*>(nullptr)));
    EXPECT_EQ(sized.GetSize(), 1);

    // Replacing a slot with its own curve works (the copy is made before the old one goes).
    EXPECT_TRUE(sized.SetAt(0, sized.GetAt(0)));
    EXPECT_EQ(sized.GetAt(0).GetName(), "B");

    auto created = QuanClassFramework::Create("CCalibrationList");
    ASSERT_NE(created, nullptr);
    EXPECT_STREQ(created->GetClassName(), "CCalibrationList");
}

TEST(CalibrationList, RemoveKeepsTheSlotAndResizingKeepsOrder) {
    CCalibrationList list;
    AddAll(list, {"A", "B", "C"});
    EXPECT_TRUE(list.Remove(1));
    EXPECT_EQ(list.GetSize(), 3);
    EXPECT_EQ(list.GetEntry(1), nullptr);
    EXPECT_EQ(list.GetAt(2).GetName(), "C");
    EXPECT_FALSE(list.Remove(3));
    EXPECT_FALSE(list.Remove(-1));
    // An empty slot reads as a default curve instead of failing.
    EXPECT_EQ(list.GetAt(1).GetName(), "");
    EXPECT_EQ(list.GetAt(99).GetNumCC(), 7);

    EXPECT_TRUE(list.SetSize(5));
    EXPECT_EQ(list.GetSize(), 5);
    EXPECT_EQ(list.GetEntry(4), nullptr);
    EXPECT_EQ(list.GetAt(0).GetName(), "A");
    EXPECT_TRUE(list.SetSize(1));  // the cut-off curves are released (the leak check shows it)
    EXPECT_EQ(list.GetSize(), 1);
    EXPECT_FALSE(list.SetSize(-1));
    EXPECT_EQ(list.GetSize(), 1);

    list.EmptyCalibrationList();
    EXPECT_EQ(list.GetSize(), 0);
    list.Add(Curve("D"));
    EXPECT_TRUE(list.SetAt(0, Curve("E")));  // the sized flag survives emptying
}

TEST(CalibrationList, AddCopiesAndNeverTakesTheCallersCurve) {
    CCalibrationData* mine = new CCalibrationData(Curve("Naphthalene", 0.5));
    CCalibrationList list;
    EXPECT_TRUE(list.Add(mine));
    EXPECT_NE(&list.GetAt(0), mine);
    list.GetAt(0).SetName("changed");
    EXPECT_EQ(mine->GetName(), "Naphthalene");
    list.EmptyCalibrationList();
    EXPECT_EQ(mine->GetCorrCoeff(), 0.5);  // still ours, still alive
    delete mine;
}

TEST(CalibrationList, AssignmentSizesThenCopiesEveryCurveAndTheDatabaseDetails) {
    CCalibrationList source;
    AddAll(source, {"A", "B", "C", "D", "E"});
    source.SetDBName("curves.cdb");
    source.SetCreationDate("01-Feb-2024");
    source.SetCreationTime("10:30:00");
    source.SetModifiedTime(1700000000);
    source.Remove(3);

    CCalibrationList target;

    AddAll(target, {"X", "Y"});
    target = source;
    ASSERT_EQ(target.GetSize(), 5);
    for (int i : {0, 1, 2, 4}) {
        EXPECT_EQ(target.GetAt(i).GetName(), source.GetAt(i).GetName());
        EXPECT_NE(&target.GetAt(i), &source.GetAt(i));
    }
    EXPECT_EQ(target.GetEntry(3), nullptr);  // a hole stays a hole
    EXPECT_EQ(target.GetDBName(), "curves.cdb");
    EXPECT_EQ(target.GetCreationDate(), "01-Feb-2024");
    EXPECT_EQ(target.GetCreationTime(), "10:30:00");
    EXPECT_EQ(target.GetModifiedTime(), 1700000000);

    CCalibrationList constructed(source);
    ASSERT_EQ(constructed.GetSize(), 5);
    EXPECT_EQ(constructed.GetAt(4).GetName(), "E");
    EXPECT_EQ(constructed.GetDBName(), "curves.cdb");
    EXPECT_TRUE(constructed.SetAt(3, Curve("F")));  // copies are sized lists

    // Assigning a list to itself keeps everything and leaves it sized.
    CCalibrationList self;
    AddAll(self, {"A", "B"});
    CCalibrationList& alias = self;
    self = alias;
    EXPECT_EQ(self.GetSize(), 2);
    EXPECT_EQ(self.GetAt(1).GetName(), "B");
    EXPECT_TRUE(self.SetAt(0, Curve("C")));
}

TEST(CalibrationList, CopyDataFillsOnlyThisListsSlotsOnceSized) {
    CCalibrationList source;
    AddAll(source, {"A", "B", "C"});
    source.SetDBName("batch");

    CCalibrationList unsized;

    AddAll(unsized, {"X"});
    unsized.CopyData(source);
    EXPECT_EQ(unsized.GetSize(), 1);
    EXPECT_EQ(unsized.GetAt(0).GetName(), "X");
    EXPECT_EQ(unsized.GetDBName(), "batch");

    CCalibrationList larger;
    larger.SetSize(5);
    larger.SetAt(4, Curve("Z"));
    larger.CopyData(source);
    EXPECT_EQ(larger.GetSize(), 5);
    EXPECT_EQ(larger.GetAt(2).GetName(), "C");
    EXPECT_EQ(larger.GetAt(4).GetName(), "Z");  // no source curve for this slot

    CCalibrationList smaller;
    smaller.SetSize(2);
    smaller.CopyData(source);
    EXPECT_EQ(smaller.GetSize(), 2);
    EXPECT_EQ(smaller.GetAt(1).GetName(), "B");
}

TEST(CalibrationList, MatchingCalibrationIgnoresCaseAndTakesTheFirst) {
    CCalibrationList list;
    list.Add(Curve("Toluene", 0.1));
    list.Add(Curve("BENZENE", 0.2));
    list.Add(Curve("Benzene", 0.3));
    CCalibrationData found;
    EXPECT_TRUE(list.GetMatchingCalibration(found, "benzene"));
    EXPECT_EQ(found.GetName(), "BENZENE");
    EXPECT_EQ(found.GetCorrCoeff(), 0.2);
    EXPECT_EQ(found.GetCaliPoint(0).Resp, 100.2);  // a full copy

    CCalibrationData untouched = Curve("keep", 0.9);
    EXPECT_FALSE(list.GetMatchingCalibration(untouched, "benzen"));
    EXPECT_FALSE(list.GetMatchingCalibration(untouched, "benzene "));
    EXPECT_EQ(untouched.GetName(), "keep");
    EXPECT_EQ(untouched.GetCorrCoeff(), 0.9);

    EXPECT_FALSE(list.GetMatchingCalibration(static_cast<CCalibrationData*>(nullptr), "Toluene"));
    EXPECT_TRUE(list.GetMatchingCalibration(&untouched, "TOLUENE"));
    EXPECT_EQ(untouched.GetCorrCoeff(), 0.1);

    // Empty slots are passed over; an empty name matches only a curve with an empty name.
    list.Remove(1);
    EXPECT_TRUE(list.GetMatchingCalibration(found, "benzene"));
    EXPECT_EQ(found.GetCorrCoeff(), 0.3);
    EXPECT_FALSE(list.GetMatchingCalibration(found, ""));
    EXPECT_FALSE(CCalibrationList().GetMatchingCalibration(found, "Toluene"));
}
