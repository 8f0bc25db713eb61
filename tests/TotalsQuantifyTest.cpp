// Totals quantification: the members a total sums under each include choice, the totals a
// group sums (never itself), groups that see complete totals wherever they are listed, and
// element-based semi-quantitative concentrations with every failure exit.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>

#include "LocateCompletionSupport.h"
#include "QuantifyTestSupport.h"
#include "quan.h"

using namespace quantify_test;

namespace {
constexpr int kMemberA = 1, kMemberB = 2, kTotalsEntry = 3, kGroupEntry = 4;

// Entries 1 and 2 are congeners of the HxCB group, 3 its totals entry at 6.0 min, 4 a group
// of totals named PCB.
CMethodList TotalsMethods(int include = 0, float window = 0.0f) {
    CMethodData a = Method("PCB 138");
    a.SetTotalsGroup("HxCB");
    CMethodData b = Method("PCB 153");
    b.SetTotalsGroup("HxCB");
    CMethodData totals = Method("Total HxCB");
    totals.SetLocateChoice(CMethodData::kTotalsChoice);
    totals.SetTotalsGroup("HxCB");
    totals.SetPredRT(6.0f);
    totals.SetLocateRTWin(window);
    totals.SetTotalsInclude(include);
    CMethodData group = Method("Total PCB");
    group.SetLocateChoice(CMethodData::kTotalsGroupChoice);
    group.SetTotalsGroup("PCB");
    return Methods({a, b, totals, group});
}

// A quantified member of a group: concentration c, response 10 c, EMPC c + 0.5, toxic c / 10,
// bound values c and 2 c, detection threshold c / 100.
CPeakData Member(int e, double c, float foundRT = 6.0f, bool unnamed = false, const std::string& group = "HxCB") {
    CPeakData p = Located(e, 10.0 * c);
    p.SetTotalsGroup(group);
    p.SetFoundRT(foundRT);
    p.SetTotalsUnnamedPeak(unnamed ? 1 : 0);
    p.SetValidConc(1);
    p.SetAnalConc(c);
    p.SetEMPC(c + 0.5);
    p.SetUseEMPC(1);
    p.SetToxicConc(0, c / 10.0);
    p.SetBoundValue(0, c);
    p.SetBoundValue(11, 2.0 * c);
    p.SetDetectionThreshold(c / 100.0);
    return p;
}

CPeakData TotalsPeak(int e, const std::string& group, bool groupPeak = false) {
    CPeakData p = Located(e, 0.0);
    if (groupPeak) p.SetTotalsGroupPeak(1);
    else p.SetTotalsPeak(1);
    p.SetTotalsGroup(group);
    // Values of an earlier run, which the reset must clear.
    p.SetAnalConc(99.0);
    p.SetValidConc(1);
    p.SetTotalsNumPeaks(9);
    p.SetBoundValue(5, 99.0);
    p.SetToxicConc(2, 99.0);
    p.SetDetectionThreshold(7.0);
    return p;
}

int QuantifyTotals(CPeakList& peaks, CMethodList& methods, int sampleType = kAnalyte) {
    CQuanQuantify engine;
    engine.SetCurrentSample(Sample(sampleType));
    return engine.QuantifyTotalsEntries(&peaks, &methods);
}
}  // namespace

TEST(TotalsQuantify, MembersAreSummedByIncludeChoice) {
    CPeakData deleted = Member(kMemberB, 100.0);
    deleted.SetPeakDeleted(1);
    CPeakData invalid = Member(kMemberB, 200.0);
    invalid.SetValidConc(0);
    CPeakData noEMPC = Member(kMemberB, 3.0);
    noEMPC.SetUseEMPC(0);
    CPeakData otherGroup = Member(kMemberB, 500.0, 6.0f, false, "PeCB");
    CPeakData unassigned = Member(kMemberB, 600.0);
    unassigned.SetMDBEntry(0);
    const struct { int include; double conc, response, empc, toxic, bound0, bound11, lod; int numPeaks; } cases[] = {
        // Named 2 and 3, unnamed 4; the deleted and invalid members add bound values only.
        // Without "named only" the thresholds are neither reset nor summed: the 7 stays.
        {0, 9.0, 90.0, 2.5 + 4.5, 0.9, 309.0, 618.0, 7.0, 3},
        {1, 5.0, 50.0, 2.5, 0.5, 305.0, 610.0, 0.02 + 0.03 + 1.0 + 2.0, 2},
        {2, 4.0, 40.0, 4.5, 0.4, 4.0, 8.0, 7.0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.include);
        CMethodList methods = TotalsMethods(c.include);
        CPeakList peaks = Peaks({Member(kMemberA, 2.0), noEMPC, Member(kMemberA, 4.0, 6.0f, true), deleted, invalid,
                                 otherGroup, unassigned, TotalsPeak(kTotalsEntry, "HxCB")});
        ASSERT_EQ(QuantifyTotals(peaks, methods), kQuantifyOK);
        const CPeakData& t = peaks.GetAt(7);
        EXPECT_EQ(t.GetTotalsNumPeaks(), c.numPeaks);
        const double summed[] = {t.GetAnalConc(),     t.GetResponse(),      t.GetEMPC(),          t.GetToxicConc(0),
                                 t.GetBoundValue(0),  t.GetBoundValue(11),  t.GetDetectionThreshold(),
                                 t.GetToxicConc(2),   t.GetBoundValue(5)};  // the last two reset, not summed
        const double expected[] = {c.conc, c.response, c.empc, c.toxic, c.bound0, c.bound11, c.lod, 0.0, 0.0};
        for (size_t i = 0; i < std::size(summed); ++i) EXPECT_DOUBLE_EQ(summed[i], expected[i]) << i;
    }
}

TEST(TotalsQuantify, GroupSumsTotalsButNeverItself) {
    CMethodList methods = TotalsMethods();
    const auto total = [](double c, float foundRT, int numPeaks, int include) {
        CPeakData p = Member(kTotalsEntry, c, foundRT, false, "PCB");
        p.SetTotalsPeak(1);
        p.SetTotalsNumPeaks(numPeaks);
        p.SetTotalsInclude(include);
        return p;
    };
    CPeakData hx = total(5.0, 6.0f, 2, 1);
    hx.SetIRWinFlag(1);                      // no ion-ratio test at this level
    CPeakData pe = total(7.0, 99.0f, 3, 2);  // no window either
    pe.SetUseEMPC(0);                        // nor the EMPC switch
    CPeakData gone = total(11.0, 6.0f, 0, 0);
    gone.SetPeakDeleted(1);
    CPeakData placeholder = total(13.0, 6.0f, 0, 0);
    placeholder.SetPlaceHolder(1);  // a placeholder total still counts in a group
    CPeakData ordinary = Member(kMemberA, 1000.0, 6.0f, false, "PCB");
    CPeakData group = TotalsPeak(kGroupEntry, "PCB", true);
    group.SetAnalConc(1.0);
    const struct { int include; double conc, empc, lod; int numPeaks; } cases[] = {
        // 5 + 7 + 13; EMPCs 5.5 + 7.5 + 13.5; thresholds of all four totals (the deleted one too).
        {0, 25.0, 26.5, 0.05 + 0.07 + 0.11 + 0.13, 5},
        {1, 5.0, 5.5, 0.05, 2},
        {2, 7.0, 7.5, 0.07, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.include);
        methods.GetAt(kGroupEntry - 1).SetTotalsInclude(c.include);
        placeholder.SetTotalsInclude(c.include == 0 ? 0 : 3);
        gone.SetTotalsInclude(c.include == 0 ? 0 : 3);
        CPeakList peaks = Peaks({group, hx, pe, gone, placeholder, ordinary});
        CQuanQuantify engine;
        ASSERT_EQ(engine.QuantifyTotalsGroupEntry(&peaks.GetAt(0), &peaks, &methods.GetAt(kGroupEntry - 1)), 0);
        const CPeakData& g = peaks.GetAt(0);
        EXPECT_DOUBLE_EQ(g.GetAnalConc(), c.conc);
        EXPECT_DOUBLE_EQ(g.GetEMPC(), c.empc);
        EXPECT_DOUBLE_EQ(g.GetDetectionThreshold(), c.lod);
        EXPECT_EQ(g.GetTotalsNumPeaks(), c.numPeaks);
        EXPECT_EQ(g.GetValidConc(), 1);
    }
}

TEST(TotalsQuantify, GroupsSeeCompleteTotalsWhateverTheirPlaceInTheList) {
    CMethodList methods = TotalsMethods();
    // The total belongs to the PCB group as well as summing HxCB members: its group text names
    // both, and so its members are the HxCB peaks (whose text also matches the total's list).
    CPeakData total = TotalsPeak(kTotalsEntry, "HxCB PCB");
    CPeakList peaks = Peaks({TotalsPeak(kGroupEntry, "PCB", true), Member(kMemberA, 2.0), Member(kMemberB, 3.0), total});
    ASSERT_EQ(QuantifyTotals(peaks, methods), kQuantifyOK);
    EXPECT_DOUBLE_EQ(peaks.GetAt(3).GetAnalConc(), 5.0);
    EXPECT_EQ(peaks.GetAt(3).GetTotalsNumPeaks(), 2);
    // The group, listed first, was summed after the total was complete.
    EXPECT_DOUBLE_EQ(peaks.GetAt(0).GetAnalConc(), 5.0);
    EXPECT_EQ(peaks.GetAt(0).GetTotalsNumPeaks(), 2);

    // Statuses: missing lists 17; an empty list 0; a total naming no entry, or a qualifier of a
    // totals entry, is passed over.
    CQuanQuantify engine;
    EXPECT_EQ(engine.QuantifyTotalsEntries(nullptr, &methods), kQuantifyMissingList);
    EXPECT_EQ(engine.QuantifyTotalsEntries(&peaks, nullptr), kQuantifyMissingList);
    CPeakList empty;
    EXPECT_EQ(engine.QuantifyTotalsEntries(&empty, &methods), kQuantifyOK);
    CPeakData beyond = TotalsPeak(9, "HxCB");
    CPeakData qualifier = TotalsPeak(kTotalsEntry, "HxCB");
    qualifier.SetMDBEntryPeak(1);
    CPeakList odd = Peaks({Member(kMemberA, 2.0), beyond, qualifier});
    ASSERT_EQ(engine.QuantifyTotalsEntries(&odd, &methods), kQuantifyOK);
    EXPECT_EQ(odd.GetAt(1).GetAnalConc(), 99.0);
    EXPECT_EQ(odd.GetAt(2).GetAnalConc(), 99.0);
}

// --- semi-quantitative entries ---

namespace {
constexpr int kIron = 26, kCopper = 29;

tagELEMENTstruct Iron() {
    tagELEMENTstruct fe = completion_test::Element("Fe", 55.845, {{53.94, 5.8}, {55.93, 91.7}, {56.94, 2.1}});
    fe.ResponseFactor = 100.0;
    fe.ScaleFactor = 2.0;
    fe.Isotopes[1].ResponseFactor = 10.0;
    fe.Isotopes[2].ResponseFactor = 50.0;
    fe.Isotopes[3].ResponseFactor = 70.0;
    fe.Isotopes[0].Mass = 55.9;  // slot 0 is never searched
    fe.Isotopes[0].ResponseFactor = 999.0;
    fe.IsotopeInUse[0] = 1;
    return fe;
}

tagELEMENTstruct Copper() {
    tagELEMENTstruct cu = completion_test::Element("Cu", 63.546, {{62.93, 69.2}, {64.93, 30.8}});
    cu.ResponseFactor = 3.0;
    cu.ScaleFactor = 4.0;
    cu.Isotopes[1].ResponseFactor = 0.5;
    cu.Isotopes[2].ResponseFactor = 0.25;
    return cu;
}

CMethodData ElementEntry(const std::string& name, int atomicNumber, const std::string& trace,
                         const std::string& flags = "NNNS") {
    CMethodData m = Method(name);
    m.SetPredRT(static_cast<float>(atomicNumber));
    m.SetQuanTrace(trace);
    m.SetFlags(flags);
    return m;
}

CPeakData SemiQuanPeak(int e, double response, const std::string& flags = "NNNS") {
    CPeakData p = Located(e, response);
    p.SetFlags(flags);
    return p;
}
}  // namespace

TEST(TotalsQuantify, SemiQuantitativeConcentrationsAndEveryFailureExit) {
    completion_test::PeriodicDatabaseFile db("quantify_semiquan.db", {{kIron, Iron()}, {kCopper, Copper()}});
    const int openBefore = PeriodicDatabaseOpenCount();
    // Entries: 1 the compound under test, 2 copper at 63, 3 an element the table lacks, 4 copper
    // at 70. A failure gives 0 with the no-solution flag.
    const struct {
        const char* what;
        std::string flags, trace;
        int element, reference, entry;
        std::string dbName;  // empty: the test's database
        double conc;
    } cases[] = {
        {"isotope factor", "NNNS", "55.9", kIron, 0, 1, "", 500.0 / (50.0 * 2.0)},
        {"element factor", "YNNS", "55.9", kIron, 0, 1, "", 500.0 / (2.0 * 100.0)},
        {"isotope, reference isotope", "NNNS", "55.9", kIron, 2, 1, "", 5.0 * 0.5},          // Cu 63 factor alone
        {"element, reference element", "YNNS", "55.9", kIron, 2, 1, "", 2.5 * 4.0 * 3.0},  // Cu scale x factor
        {"no database", "NNNS", "55.9", kIron, 0, 1, "/nonexistent/periodic.db", 0.0},
        {"no method entry", "NNNS", "55.9", kIron, 0, 5, "", 0.0},
        {"no element record", "NNNS", "55.9", 50, 0, 1, "", 0.0},
        {"no isotope at the trace mass", "NNNS", "99.0", kIron, 0, 1, "", 0.0},
        {"no reference entry", "NNNS", "55.9", kIron, 7, 1, "", 0.0},
        {"no reference element", "NNNS", "55.9", kIron, 3, 1, "", 0.0},
        {"reference without isotope at its mass", "NNNS", "55.9", kIron, 4, 1, "", 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CMethodData fe = ElementEntry("Fe", c.element, c.trace, c.flags);
        fe.SetRRef(c.reference);
        CMethodList methods = Methods({fe, ElementEntry("Cu", kCopper, "63.0"), ElementEntry("X", 50, "63.0"),
                                       ElementEntry("Cu", kCopper, "70.0")});
        CQuanQuantify engine;
        engine.SetPeriodicDBName(c.dbName.empty() ? db.Path() : c.dbName);
        CPeakData peak = SemiQuanPeak(c.entry, 500.0, c.flags);
        EXPECT_DOUBLE_EQ(engine.DoSemiQuanQuan(&peak, &methods), c.conc);
        EXPECT_EQ(peak.GetNoSolutionFlag(), c.conc == 0.0 ? 1 : 0);
        if (c.conc > 0.0) {
            EXPECT_DOUBLE_EQ(peak.GetAnalConc(), c.conc);
        }
        EXPECT_EQ(PeriodicDatabaseOpenCount(), openBefore);
    }

    // Through the driver: no curve is needed, the sample factors apply, and the limits are the
    // smallest, since none is worked out. An unmatched trace mass gives 0 flagged, not the 1e12
    // cap as valid, although its own curve would give a concentration.
    CMethodList methods = Methods({ElementEntry("Fe", kIron, "55.9"), ElementEntry("Fe 99", kIron, "99.0")});
    CCalibrationList curves = Curves({Curve("unrelated", {0, 0}), Curve("Fe 99", {0, 1})});
    CPeakData peak = SemiQuanPeak(1, 500.0);
    peak.SetUserFactor2(3.0);
    peak.SetEMPC(8.0);
    CPeakList peaks = Peaks({peak, SemiQuanPeak(2, 500.0)});
    CQuanQuantify engine;
    engine.SetCurrentSample(Sample(kAnalyte));
    ASSERT_EQ(engine.DoQuantify(&curves, &methods, &peaks, db.Path()), kQuantifyOK);
    EXPECT_EQ(engine.GetPeriodicDBName(), db.Path());
    const CPeakData& found = peaks.GetAt(0);
    EXPECT_DOUBLE_EQ(found.GetAnalConc(), 15.0);
    EXPECT_EQ(found.GetValidConc(), 1);
    EXPECT_EQ(found.GetEMPC(), 0.0);  // its own EMPC, not the 8 of before
    EXPECT_EQ(found.GetDetectionThreshold(), 1e-12);
    EXPECT_EQ(peaks.GetAt(1).GetAnalConc(), 0.0);
    EXPECT_EQ(peaks.GetAt(1).GetNoSolutionFlag(), 1);
    EXPECT_EQ(PeriodicDatabaseOpenCount(), openBefore);
}
