// What completes a location run. Internal-standard responses: one standard by reference and the
// standards a method's slots name. Responses of the external, internal-standard and
// isotope-dilution types with and without an internal-standard response, molar ratios and element
// amounts. Totals location: the unnamed peaks a totals entry takes and the sums written into a
// totals peak under each include choice. The peak-list update's asymmetry limits and shape
// monitoring, sample factors and solvent check. And a complete run of a small PCB method (an
// internal standard, two congeners against it, one with a qualifier ion, a totals entry with an
// unnamed peak and a totals peak, and a stray peak), checked end to end.
#include <gtest/gtest.h>

#include "LocateTestSupport.h"
#include "locate/FilteredPeakIterator.h"
#include "quan.h"

using namespace completion_test;

TEST(ISResponses, SingleStandardGivesResponsePerUnitConcentration) {
    const struct { const char* what; CMethodData standard; int reference, status; double isResponse; int count; }
        cases[] = {
        {"found standard", LocatedStandard(5000.0, 10.0), 1, kLocateOK, 500.0, 1},
        {"standard not found", LocatedStandard(5000.0, 10.0, 0.0, 0), 1, kLocateOK, 0.0, 0},
        {"standard without concentration", LocatedStandard(5000.0, 0.0), 1, 15, 0.0, 0},
        {"negative concentration gives no usable scale", LocatedStandard(5000.0, -10.0), 1, kLocateOK, 0.0, 0},
        {"no reference", LocatedStandard(5000.0, 10.0), 0, kLocateOK, 0.0, 0},
        {"reference beyond the list", LocatedStandard(5000.0, 10.0), 3, kLocateOK, 0.0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CQuanLocate engine;
        // Entry 1 the standard, entry 2 an "IS" compound naming it.
        CMethodData compound = Entry("analyte");
        compound.SetRCalc(kResponseInternalStd);
        compound.SetRRef(c.reference);
        CMethodList methods = Methods({c.standard, compound});
        EXPECT_EQ(Access::UpdateMethodISResponse(engine, methods, 2), c.status);
        EXPECT_DOUBLE_EQ(methods.GetAt(1).GetISResponse(), c.isResponse);
        EXPECT_EQ(methods.GetAt(1).GetNumISResponses(), c.count);
    }
}

// Internal-standard slots name entries by 0-based index, so 0 is entry 1: a slot nobody wrote,
// in a new record or in a method entry whose XML leaves it out, must name no standard, while a
// written 0 still names entry 1. Checked on the record, through the XML reader and on the mean
// of several standards.
TEST(InternalStandardSlots, UnwrittenSlotsNameNoStandard) {
    const CMethodRecord record;
    const CMethodData entry;
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(record.GetIStd(k), -1) << k;
        EXPECT_EQ(entry.GetIntStd(k), -1) << k;
    }

    // Standards A (1000 per 10) and B (4000 per 10); X lists B only, Y lists A then B with an
    // explicit 0, Z lists nothing.
    CMethodList methods;
    ASSERT_TRUE(methods.ReadXML(std::string(
        "<?xml version=\"1.0\"?><METHODLIST>"
        "<METHODENTRY Name=\"A\"/><METHODENTRY Name=\"B\"/>"
        "<METHODENTRY Name=\"X\" RCalc=\"1\" UseMulti=\"1\" IStd0=\"1\"/>"
        "<METHODENTRY Name=\"Y\" RCalc=\"1\" UseMulti=\"1\" IStd0=\"0\" IStd1=\"1\"/>"
        "<METHODENTRY Name=\"Z\" RCalc=\"1\" UseMulti=\"1\"/>"
        "</METHODLIST>")));
    ASSERT_EQ(methods.GetSize(), 5);

    const double standards[2][2] = {{1000.0, 10.0}, {4000.0, 10.0}};
    for (int s = 0; s < 2; ++s) {
        methods.GetAt(s).SetLocated(1);
        methods.GetAt(s).SetAbsResponse(standards[s][0]);
        methods.GetAt(s).SetFixedConc(standards[s][1]);
    }
    CQuanLocate engine;
    ASSERT_EQ(Access::CalculateISResponses(engine, methods), kLocateOK);
    // X: B alone, 4000 / 10. Y: (100 + 400) / 2. Z: no standard, nothing set.
    EXPECT_DOUBLE_EQ(methods.GetAt(2).GetISResponse(), 400.0);
    EXPECT_DOUBLE_EQ(methods.GetAt(3).GetISResponse(), 250.0);
    EXPECT_DOUBLE_EQ(methods.GetAt(4).GetISResponse(), 0.0);
}

// Several standards by list index: the list ends at the first standard not found, one found
// without a response pulls the mean down, and a totals entry takes the weighted mean of its
// members' responses and the mean noise conversion of every standard they name.
TEST(ISResponses, SeveralStandardsAndTheTotalsOfAGroup) {
    const auto member = [](const char* name, std::vector<int> standards, const char* group = "G") {
        CMethodData e = Entry(name);
        e.SetRCalc(kResponseInternalStd);
        e.SetUseMulti(1);
        for (size_t k = 0; k < standards.size(); ++k) e.SetIStd(static_cast<int>(k), standards[k]);
        e.SetTotalsGroup(group);
        return e;
    };
    CMethodData totals = Entry("total G");
    totals.SetLocateChoice(CMethodData::kTotalsChoice);
    totals.SetTotalsGroup("G");
    CMethodData ownStandard = totals;
    ownStandard.SetRRef(1);
    ownStandard.SetISResponse(7.0);
    const auto external = With(member("external", {0}), [](CMethodData& e) { e.SetRCalc(kResponseExternalStd); });
    // 0: A (100 per unit, noise 2), 1: B (400, noise 4), 2: C not found, 3: D found without response.
    CMethodList methods = Methods({LocatedStandard(1000.0, 10.0, 2.0), LocatedStandard(4000.0, 10.0, 4.0),
                                   LocatedStandard(9000.0, 10.0, 8.0, 0), LocatedStandard(0.0, 10.0, 6.0),
                                   member("M1", {0}), member("M2", {0, 1}), member("ends at C", {0, 2, 1}, "H"),
                                   member("with D", {0, 3}, "H"), totals, ownStandard, external});
    CQuanLocate engine;
    ASSERT_EQ(Access::CalculateISResponses(engine, methods), kLocateOK);
    const struct { int index; double isResponse; int count; } expected[] = {
        {4, 100.0, 1}, {5, 250.0, 1}, {6, 100.0, 1}, {7, 50.0, 1}, {8, 175.0, 2}, {9, 7.0, 0}, {10, 0.0, 0},
    };
    for (const auto& e : expected) {
        EXPECT_DOUBLE_EQ(methods.GetAt(e.index).GetISResponse(), e.isResponse) << methods.GetAt(e.index).GetName();
        EXPECT_EQ(methods.GetAt(e.index).GetNumISResponses(), e.count) << methods.GetAt(e.index).GetName();
    }
    EXPECT_DOUBLE_EQ(methods.GetAt(8).GetNoiseConversion(), (2.0 + 2.0 + 4.0) / 3.0);
    // A standard with a response but no concentration scales nothing.
    CMethodList zero = Methods({LocatedStandard(1000.0, 0.0), member("M", {0})});
    EXPECT_EQ(Access::UpdateMethodISResponse(engine, zero, 2), 15);
    EXPECT_EQ(zero.GetAt(1).GetISResponse(), 0.0);
}

namespace {
// An isotope peak the host integrated for an element entry, named as the element table names it.
CPeakData IsotopePeak(const char* name, double height) {
    CPeakData peak = Peak(1.0f, 0.0, height);
    peak.SetName(name);
    peak.SetMDBIntegrateEntry(1);
    return peak;
}
}  // namespace

TEST(Responses, EachResponseTypeWithAndWithoutInternalStandardResponse) {
    // Peak: absolute response 2000, absolute corrected response 1800, absolute noise 50. The
    // compound's own noise conversion is 3.0, its standard's 2.0 (used when it has a reference).
    const struct { const char* what; int type, reference; double isResponse, response, corrected, noise; int flag; }
        cases[] = {
        {"ES", kResponseExternalStd, 0, 0.0, 2000.0, 1800.0, 3.0 * 50.0, 1},
        {"ES, reference: the standard's noise conversion", kResponseExternalStd, 1, 0.0, 2000.0, 1800.0, 2.0 * 50.0, 1},
        {"IS with IS response", kResponseInternalStd, 1, 400.0, 5.0, 4.5, 2.0 * 50.0 / 400.0, 1},
        {"IS without IS response", kResponseInternalStd, 1, 0.0, 0.0, 0.0, 0.0, 0},
        {"IS without a standard is treated as ES", kResponseInternalStd, 0, 400.0, 2000.0, 1800.0, 3.0 * 50.0, 1},
        {"ISODIL", kResponseIsotopeDilution, 1, 400.0, 2000.0, 1800.0, 0.0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CMethodData compound = Entry("compound");
        compound.SetRCalc(c.type);
        compound.SetRRef(c.reference);
        compound.SetISResponse(c.isResponse);
        compound.SetNoiseConversion(3.0);
        // Entry 1 an internal standard with noise conversion 2.0, entry 2 the compound under test.
        CMethodList methods = Methods({LocatedStandard(4000.0, 10.0, 2.0), compound});
        CPeakList peaks = Peaks({AssignedPeak(2, 2000.0, 50.0, 1800.0)});
        CQuanLocate engine;
        ASSERT_EQ(Access::UpdateResponseFields(engine, peaks, 1, methods, 2), kLocateOK);
        const CPeakData& peak = peaks.GetAt(0);
        EXPECT_DOUBLE_EQ(peak.GetResponse(), c.response);
        EXPECT_DOUBLE_EQ(peak.GetCorrectedResponse(), c.corrected);
        EXPECT_DOUBLE_EQ(peak.GetChromNoiseResp(), c.noise);
        EXPECT_EQ(peak.GetResponseFlag(), c.flag);
        EXPECT_DOUBLE_EQ(methods.GetAt(1).GetCorrectedResponse(), c.corrected);
    }
}

// An entry flagged "Y" takes its response from other peaks: with "R" in third place the
// height of the peak integrated for TopOfRatio over that for BottomOfRatio (1 for one not
// found, 0 over a zero height); otherwise the element amount, which needs the element table.
TEST(Responses, RatioEntriesDivideTheHeightsOfTheirTwoTraces) {
    const auto integratedFor = [](int entry, double height) {
        CPeakData p = Peak(5.0f, height * 10.0, height);
        p.SetMDBIntegrateEntry(entry);
        p.SetMDBEntryPeak(1);
        return p;
    };
    const struct { const char* flags; std::vector<CPeakData> others; double response; int status; } cases[] = {
        {"YNR", {integratedFor(3, 50.0), integratedFor(4, 20.0)}, 2.5, kLocateOK},
        {"YNR", {integratedFor(4, 20.0)}, 1.0 / 20.0, kLocateOK},
        {"YNR", {integratedFor(3, 50.0), integratedFor(4, 0.0)}, 0.0, kLocateOK},
        {"NNR", {integratedFor(3, 50.0), integratedFor(4, 20.0)}, 2000.0, kLocateOK},  // not flagged: its own
        {"YN", {integratedFor(3, 50.0)}, 0.0, kLocateElementUnreadable},              // no element table
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.flags << ", " << c.others.size() << " other peaks");
        CMethodData entry = Entry("ratio");
        entry.SetFlags(c.flags);
        entry.SetTopOfRatio(3);
        entry.SetBottomOfRatio(4);
        entry.SetAtomicNumber(26);
        CMethodList methods = Methods({entry});
        std::vector<CPeakData> all = {AssignedPeak(1, 2000.0, 50.0, 1800.0)};
        all.insert(all.end(), c.others.begin(), c.others.end());
        CPeakList peaks = Peaks(all);
        CQuanLocate engine;
        ASSERT_EQ(Access::UpdateResponseFields(engine, peaks, 1, methods, 1), c.status);
        if (c.status != kLocateOK) continue;
        EXPECT_DOUBLE_EQ(peaks.GetAt(0).GetResponse(), c.response);
        if (c.flags[0] == 'Y') {
            EXPECT_DOUBLE_EQ(peaks.GetAt(0).GetArea(), c.response);
        }
    }
}

TEST(Responses, NoiseConversionOfSeveralStandardsIsTheirMean) {
    CMethodData compound = Entry("compound");
    compound.SetRCalc(kResponseExternalStd);
    compound.SetUseMulti(1);
    compound.SetIStd(0, 0);
    compound.SetIStd(1, -1);  // a free slot between standards is passed over here
    compound.SetIStd(2, 2);
    compound.SetIStd(3, 9);   // beyond the list: no standard there
    compound.SetNoiseConversion(100.0);
    CMethodList methods = Methods({LocatedStandard(1.0, 1.0, 2.0), compound, LocatedStandard(1.0, 1.0, 6.0)});
    CPeakList peaks = Peaks({AssignedPeak(2, 1000.0, 10.0)});
    CQuanLocate engine;
    ASSERT_EQ(Access::UpdateResponseFields(engine, peaks, 1, methods, 2), kLocateOK);
    EXPECT_DOUBLE_EQ(peaks.GetAt(0).GetChromNoiseResp(), (2.0 + 6.0) / 2 * 10.0);
}

TEST(Responses, MolarRatioOfIsotopeDilution) {
    // Unlabelled ratio 0.1, labelled ratio 10: ratio = (l - R)(u + 1) / ((R - u)(l + 1)).
    const struct { double response, expected; int flag; } cases[] = {
        {1.0, (10.0 - 1.0) * 1.1 / ((1.0 - 0.1) * 11.0), 1},  // = 1.0
        {2.0, (10.0 - 2.0) * 1.1 / ((2.0 - 0.1) * 11.0), 1},
        // R equal to the unlabelled ratio: no molar ratio exists, and the stale 99 is not kept.
        {0.1, 0.0, 0},
        {0.0, 0.0, 1},  // without a response there is no ratio to form: the plain 0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.response);
        CMethodData compound = Entry("compound");
        compound.SetRCalc(kResponseExternalStd);
        compound.SetMoleRatio(1);
        compound.SetUnlabelledRatio(0.1);
        compound.SetLabelledRatio(10.0);
        CMethodList methods = Methods({compound});
        CPeakList peaks = Peaks({With(AssignedPeak(1, c.response), [](CPeakData& p) { p.SetResponse(99.0); })});
        CQuanLocate engine;
        ASSERT_EQ(Access::UpdateResponseFields(engine, peaks, 1, methods, 1), kLocateOK);
        EXPECT_NEAR(peaks.GetAt(0).GetResponse(), c.expected, 1e-12);
        EXPECT_EQ(peaks.GetAt(0).GetResponseFlag(), c.flag);
        // The entry keeps the plain response; only the peak carries the molar ratio.
        EXPECT_DOUBLE_EQ(methods.GetAt(0).GetResponse(), c.response);
    }
}

TEST(Responses, ElementAmountFromIsotopePeaks) {
    // Iron: 56Fe (91.75 %) and 54Fe (5.85 %); chromium's 54Cr interferes with 54Fe. Amounts are
    // the isotope heights over the abundance in use (90 + 10), scaled to 100 %.
    const tagELEMENTstruct iron = Element("Fe", 55.845, {{55.9349, 90.0}, {53.9396, 10.0}});
    tagELEMENTstruct corrected = iron;
    AddInterference(corrected, 1, "Cr", 2, 53.9389, 0.5);
    const auto overcorrected = With(corrected, [](tagELEMENTstruct& e) { e.Interferences[1].Factor = 5.0; });
    const auto oneSlot = With(iron, [](tagELEMENTstruct& e) { e.IsotopeInUse[1] = 0; });
    const auto hostile = With(iron, [](tagELEMENTstruct& e) { std::memset(e.Symbol, 'X', sizeof e.Symbol); });
    const CPeakData fe56 = IsotopePeak("56Fe", 900.0), fe54 = IsotopePeak("54Fe", 100.0);
    const CPeakData cr54 = IsotopePeak("54Cr", 40.0);
    const CPeakData lower = With(fe54, [](CPeakData& p) { p.SetName("54fe"); });
    const CPeakData loose = With(fe56, [](CPeakData& p) { p.SetMDBIntegrateEntry(0); });
    const struct { const char* what; const tagELEMENTstruct& element; std::vector<CPeakData> peaks; double amount; }
        cases[] = {
        {"two isotopes", iron, {fe56, fe54}, 1000.0 / 100.0 * 100.0},
        {"interference subtracted from its isotope only", corrected, {fe56, fe54, cr54}, 900.0 + 100.0 - 20.0},
        {"an interference larger than its isotope leaves it at 0", overcorrected, {fe56, fe54, cr54}, 900.0},
        {"names are exact and isotopes not in use are not searched", oneSlot, {fe56, lower}, 0.0},
        {"isotope peaks not integrated for an entry give no amount", iron, {loose}, 0.0},
        {"unterminated symbol is read within its field", hostile, {fe56}, 0.0},
    };
    CQuanLocate engine;
    for (const auto& c : cases) {
        CPeakList peaks = Peaks(c.peaks);
        EXPECT_DOUBLE_EQ(Access::CalculateFormula(engine, peaks, c.element), c.amount) << c.what;
    }
}

namespace {
CPeakData Member(int entry, float foundRT, double area, const std::string& group = "HxCB") {
    CPeakData p = Peak(foundRT, area, area / 10.0);
    p.SetMDBEntry(entry);
    p.SetTotalsGroup(group);
    p.SetAbsNoiseHeight(area / 100.0);
    return p;
}

CPeakData TotalsPeak(int entry, int trace, const std::string& group = "HxCB") {
    CPeakData p = Peak(0.0f, 999.0, 99.0);
    p.SetTotalsPeak(1);
    p.SetMDBEntry(entry);
    p.SetMDBIntegrateEntryPeak(trace);
    p.SetTotalsGroup(group);
    p.SetChromNoise(7.0);
    return p;
}

CMethodData TotalsEntry(const std::string& group = "HxCB", int include = 0) {
    CMethodData e = Entry("Total HxCB", 6.5f);
    e.SetLocateChoice(CMethodData::kTotalsChoice);
    e.SetTotalsGroup(group);
    e.SetTotalsInclude(include);
    e.SetLocateRTWin(1.0f);
    e.SetSoughtRT(6.5f);
    return e;
}
}  // namespace

TEST(TotalsLocation, TotalsEntryTakesTheGroupsUnnamedPeaks) {
    CMethodList methods = Methods({Entry("PCB 138", 6.0f), TotalsEntry()});
    CPeakList peaks = Peaks({
        Member(1, 6.0f, 2000.0),                                                       // 0 named: never unnamed
        Member(0, 6.0f, 900.0),                                                        // 1 the named peak again
        Member(0, 6.001f, 300.0),                                                      // 2 taken
        Member(0, 7.0f, 400.0),                                                        // 3 taken
        Member(0, 8.0f, 10.0),                                                         // 4 outside the 1.0 window
        Member(0, 6.8f, 10.0, "PeCB"),                                                 // 5 other group
        With(Member(0, 6.9f, 10.0), [](CPeakData& p) { p.SetQuanTrace("292.0"); }),    // 6 other trace
        With(Member(0, 6.3f, 10.0), [](CPeakData& p) { p.SetPlaceHolder(1); }),        // 7
        With(Member(0, 6.3f, 10.0), [](CPeakData& p) { p.SetPeakDeleted(1); }),        // 8
        TotalsPeak(0, 0),                                                              // 9 a summary record
        With(Member(0, 6.6f, 10.0), [](CPeakData& p) { p.SetMDBIntegrateEntry(1); }),  // 10 integrated for entry 1
        Member(0, 7.0f, 400.0),                                                        // 11 peak 3 seen twice
        With(Member(0, 6.7f, 50.0), [](CPeakData& p) { p.SetMDBIntegrateEntry(2); }),  // 12 the totals entry's: taken
    });
    CQuanLocate engine;
    EXPECT_EQ(Access::LocateMethodEntryTotals(engine, peaks, methods, 2), kLocateOK);
    // The entry each peak ends on, and the place of each unnamed peak the totals entry took.
    const int entries[] = {1, 0, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 2};
    const int ids[] = {0, 0, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 3};
    for (int j = 0; j < peaks.GetSize(); ++j) {
        SCOPED_TRACE(j);
        const CPeakData& p = peaks.GetAt(j);
        EXPECT_EQ(p.GetMDBEntry(), entries[j]);
        EXPECT_EQ(p.GetTotalsUnnamedPeak(), entries[j] == 2 ? 1 : 0);
        if (entries[j] == 2) {
            EXPECT_EQ(p.GetMDBEntryPeakID(), ids[j]);
        }
    }
    // The entry carries the last unnamed peak's values.
    const CMethodData& totals = methods.GetAt(1);
    EXPECT_DOUBLE_EQ(totals.GetAbsResponse(), 50.0);
    EXPECT_FLOAT_EQ(totals.GetFoundRT(), 6.7f);

    // With a qualifier trace (within 0.1 min): a peak with its qualifier is taken; one whose
    // qualifier is only a placeholder is taken and marked, unless the qualifier must exist.
    const auto qualifier = [](float foundRT, int placeholder) {
        return With(Member(0, foundRT, 5.0), [&](CPeakData& p) {
            p.SetQuanTrace("292.0");
            p.SetMDBIntegrateEntryPeak(1);
            p.SetPlaceHolder(placeholder);
        });
    };
    for (const int mustExist : {0, 1}) {
        SCOPED_TRACE(mustExist);
        CMethodList withQualifier = Methods({Entry("PCB 138", 6.0f), With(TotalsEntry(), [&](CMethodData& e) {
                                                 e.SetTargetTrace(0, "292.0");
                                                 e.SetTargetRTWin(0, 0.1f);
                                                 e.SetTargetMustExist(0, mustExist);
                                             })});
        CPeakList unnamed = Peaks({Member(0, 6.2f, 300.0), qualifier(6.2f, 0), Member(0, 6.6f, 300.0), qualifier(0.0f, 1)});
        ASSERT_EQ(Access::LocateMethodEntryTotals(engine, unnamed, withQualifier, 2), kLocateOK);
        EXPECT_EQ(std::tuple(unnamed.GetAt(0).GetMDBEntry(), unnamed.GetAt(0).GetPeakMissingFlag()), std::tuple(2, 0));
        EXPECT_EQ(unnamed.GetAt(2).GetMDBEntry(), mustExist ? 0 : 2);
        EXPECT_EQ(unnamed.GetAt(2).GetPeakMissingFlag(), mustExist ? 0 : 1);
    }
}

TEST(TotalsLocation, TotalsPeakSumsItsMembersByTheIncludeChoice) {
    // Members (area, height = area / 10, noise = area / 100): named 100 and 200, unnamed 400.
    // Left out: outside the window (800), failing the ion ratio (1600), unassigned (3200),
    // deleted (6400), qualifier trace (12800), placeholder, other group (25600).
    const auto makePeaks = [] {
        return Peaks({TotalsPeak(5, 0), Member(1, 6.0f, 100.0), Member(2, 5.5f, 200.0),
                      With(Member(5, 7.0f, 400.0), [](CPeakData& p) { p.SetTotalsUnnamedPeak(1); }),
                      Member(3, 8.0f, 800.0), With(Member(3, 6.4f, 1600.0), [](CPeakData& p) { p.SetIRWinFlag(1); }),
                      Member(0, 6.5f, 3200.0), With(Member(4, 6.4f, 6400.0), [](CPeakData& p) { p.SetPeakDeleted(1); }),
                      With(Member(1, 6.0f, 12800.0), [](CPeakData& p) { p.SetMDBIntegrateEntryPeak(1); }),
                      With(Member(2, 6.5f, 0.0), [](CPeakData& p) { p.SetPlaceHolder(1); }),
                      Member(6, 6.5f, 25600.0, "PeCB")});
    };
    // The noise is the last member's, or as it was (3).
    const struct { const char* group; int include; bool mustPass; float window; double area; int count; double noise; }
        cases[] = {
        {"HxCB", 0, true, 1.0f, 700.0, 3, 4.0},     // all members
        {"HxCB", 1, true, 1.0f, 300.0, 2, 2.0},     // named only
        {"HxCB", 2, true, 1.0f, 400.0, 1, 4.0},     // unnamed only
        {"HxCB", 0, false, 1.0f, 2300.0, 4, 16.0},  // ion-ratio failure counts without a must-pass target
        {"HxCB", 0, true, 0.0f, 1500.0, 4, 8.0},    // no window
        {"", 0, true, 1.0f, 0.0, 0, 3.0},           // no group: cleared sums
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        CMethodData totals = TotalsEntry(c.group, c.include);
        totals.SetLocateRTWin(c.window);
        if (c.mustPass) {
            totals.SetTargetTrace(0, "292.0");
            totals.SetTargetMustPass(0, 1);
        }
        CPeakList peaks = makePeaks();
        peaks.GetAt(0).SetAbsNoiseHeight(3.0);
        CQuanLocate engine;
        ASSERT_EQ(Access::LocateCalculateTotalsPeak(engine, &peaks.GetAt(0), peaks, totals, 0), kLocateOK);
        const CPeakData& t = peaks.GetAt(0);
        EXPECT_DOUBLE_EQ(t.GetArea(), c.area);
        EXPECT_EQ(t.GetTotalsNumPeaks(), c.count);  // the totals peak never counts itself
        EXPECT_DOUBLE_EQ(t.GetAbsNoiseHeight(), c.noise);
    }
}

TEST(TotalsLocation, WalkNotByAssignmentFiltersByTheEntryIntegratedFor) {
    const CPeakData forFirst = With(Member(0, 6.0f, 10.0), [](CPeakData& p) { p.SetMDBIntegrateEntry(1); });
    const CPeakData forSecond = With(forFirst, [](CPeakData& p) { p.SetMDBIntegrateEntry(2); });
    const CPeakList peaks = Peaks({forFirst, forSecond, Member(0, 6.0f, 10.0)});
    const struct {
        int entry;
        std::vector<const CPeakData*> yielded;
    } cases[] = {{0, {&peaks.GetAt(0), &peaks.GetAt(1), &peaks.GetAt(2)}}, {2, {&peaks.GetAt(1)}}};
    for (const auto& c : cases) {
        CFilteredPeakIterator walk(peaks);
        walk.SetByAssignment(false);
        walk.SetEntry(c.entry);
        std::vector<const CPeakData*> yielded;
        while (const CPeakData* peak = walk.Next()) yielded.push_back(peak);
        EXPECT_EQ(yielded, c.yielded) << c.entry;
    }
}

TEST(PeakListUpdate, AsymmetryOutsideTheExpectedWindowIsFlagged) {
    // Expected 2.0 with a window of 50 %: 1.0 to 3.0 inclusive, edges that single precision holds
    // exactly; expected 1.2 allows up to 1.8.
    const struct { double expected; float asymmetry; int sampleType; bool monitored; int choice, flagged, qcFlagged; }
        cases[] = {
        {1.2, 1.81f, 0, true, 0, 1, 1},   {2.0, 1.0f, 0, true, 0, 0, 0},    {2.0, 3.0f, 0, true, 0, 0, 0},
        {2.0, 3.0001f, 0, true, 0, 1, 1}, {2.0, 0.9999f, 0, true, 0, 1, 1}, {1.2, 1.81f, 0, false, 0, 1, 0},
        {1.2, 1.81f, 1, true, 0, 1, 1},  {1.2, 1.81f, 2, true, 0, 1, 1},   {1.2, 1.81f, 3, true, 0, 1, 0},
        {1.2, 1.81f, 0, true, CMethodData::kTotalsChoice, 0, 0},  // totals peaks have no shape of their own
        {0.0, 9.0f, 0, true, 0, 0, 0},               // without an expected value nothing is tested
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.expected << " " << c.asymmetry << " type " << c.sampleType);
        CMethodData compound = Entry("Naphthalene", 7.46f, "128.1");
        compound.SetLocateChoice(c.choice);
        compound.SetUseAsymmetryExpected(1);
        compound.SetAsymmetryExpectedValue(c.expected);
        compound.SetAsymmetryWindow(50.0);
        const int on = c.monitored ? 1 : 0;
        compound.SetMonitorAnalyteEnabled(1);
        compound.SetMonitorAnalyteShapeEnabled(on);
        compound.SetMonitorStandardEnabled(1);
        compound.SetMonitorStandardShapeEnabled(on);
        compound.SetMonitorQCEnabled(1);
        compound.SetMonitorQCShapeEnabled(on);
        CMethodList methods = Methods({Entry("reference"), compound});
        CPeakData peak = Peak(8.0f, 3000.0, 300.0, "128.1");
        peak.SetMDBEntry(2);
        peak.SetPeakAsymmetryValue(c.asymmetry);
        peak.SetPeakAsymmetryFlag(1);  // stale from an earlier processing
        peak.SetQCPKAsymmetryFlag(1);
        CPeakList peaks = Peaks({peak});
        CQuanLocate engine;
        ASSERT_EQ(Access::QuanUpdateLocatedPDBEntries(engine, peaks, methods, Sample(c.sampleType)), kLocateOK);
        EXPECT_EQ(peaks.GetAt(0).GetPeakAsymmetryFlag(), c.flagged);
        EXPECT_EQ(peaks.GetAt(0).GetQCPKAsymmetryFlag(), c.qcFlagged);
    }
}

// A located peak takes the sample's dilution factors, or 1 in a standard and for a compound at
// a fixed level; in a solvent sample (type 7) a response above the monitored level is flagged.
TEST(PeakListUpdate, SampleFactorsAndTheSolventCheck) {
    const struct { int sampleType, stdLevels; double absResponse; bool diluted; int solvent; } cases[] = {
        {0, 2, 600.0, true, 0}, {1, 2, 600.0, false, 0}, {0, 0, 600.0, false, 0},
        {7, 2, 600.0, true, 1}, {7, 2, 500.0, true, 0},  {3, 2, 600.0, true, 0},
    };
    for (const auto& c : cases) {
        CMethodData compound = Entry("toluene");
        compound.SetStdLevels(c.stdLevels);
        compound.SetMonitorSolventEnabled(1);
        compound.SetMonitorSolventConc(500.0);
        compound.SetUserFactor(7.0);
        CMethodList methods = Methods({compound});
        CPeakData peak = Peak(5.0f, 1000.0, 100.0);
        peak.SetMDBEntry(1);
        peak.SetAbsResponse(c.absResponse);
        peak.SetSolventFlag(1);  // stale from an earlier processing
        CPeakList peaks = Peaks({peak});
        CSampleRecord sample = Sample(c.sampleType);
        sample.SetUserFactor1(2.0);
        sample.SetUserFactor2(3.0);
        sample.SetUserFactor3(4.0);
        sample.SetUserDivisor1(5.0);
        sample.SetStockDilution(6.0);
        CQuanLocate engine;
        ASSERT_EQ(Access::QuanUpdateLocatedPDBEntries(engine, peaks, methods, sample), kLocateOK);
        const CPeakData& p = peaks.GetAt(0);
        const double factors[] = {p.GetGPDilutionFactor(), p.GetUserFactor2(), p.GetUserFactor3(),
                                  p.GetUserDivisor1(), p.GetStockDilutionFactor(), p.GetUserFactor1()};
        const double expected[] = {2.0, 3.0, 4.0, 5.0, 6.0, 7.0};
        for (size_t k = 0; k < std::size(factors); ++k)
            EXPECT_EQ(factors[k], c.diluted ? expected[k] : 1.0) << c.sampleType << " " << c.stdLevels << " " << k;
        EXPECT_EQ(p.GetSolventFlag(), c.solvent) << c.sampleType << " " << c.absResponse;
    }
}

namespace {
CMethodList PcbMethod() {
    CMethodData standard = Entry("PCB 209-13C", 5.0f, "300.0");
    standard.SetRCalc(kResponseExternalStd);
    standard.SetStdLevels(0);
    standard.SetStdConc(10.0);

    const auto congener = [](const char* name, float predRT) {
        CMethodData entry = Entry(name, predRT, "290.0");
        entry.SetRCalc(kResponseInternalStd);
        entry.SetRRef(1);
        entry.SetTotalsGroup("HxCB");
        entry.SetStdLevels(2);  // the sample's concentration column "A"
        return entry;
    };
    CMethodData pcb138 = congener("PCB 138", 6.0f);
    pcb138.SetTargetTrace(0, "292.0");
    pcb138.SetTargetRatio(0, 2.0);
    pcb138.SetTargetWindow(0, 20);
    const CMethodData pcb153 = congener("PCB 153", 6.5f);

    CMethodData totals = Entry("Total HxCB", 6.5f, "290.0");
    totals.SetLocateChoice(CMethodData::kTotalsChoice);
    totals.SetLocateRTWin(1.0f);
    totals.SetRCalc(kResponseInternalStd);
    totals.SetTotalsGroup("HxCB");

    return Methods({standard, pcb138, pcb153, totals});
}

CPeakData IntegratedPeak(const std::string& trace, float foundRT, double area, double height, double noise,
                         const std::string& group = "HxCB") {
    CPeakData p = Peak(foundRT, area, height, trace);
    p.SetChromNoise(noise);
    p.SetTotalsGroup(group);
    return p;
}

CPeakList PcbPeaks() {
    return Peaks({
        IntegratedPeak("300.0", 5.01f, 5000.0, 500.0, 20.0, ""),  // 0 internal standard
        IntegratedPeak("290.0", 6.0f, 2000.0, 250.0, 25.0),       // 1 PCB 138
        // 2 its qualifier ion
        With(IntegratedPeak("292.0", 6.0f, 1000.0, 125.0, 12.0), [](CPeakData& p) { p.SetMDBIntegrateEntryPeak(1); }),
        IntegratedPeak("290.0", 6.5f, 3000.0, 300.0, 30.0),  // 3 PCB 153
        IntegratedPeak("290.0", 7.0f, 1500.0, 100.0, 15.0),  // 4 a hexachloro congener nobody names
        // 5 the homologue group's totals peak
        With(IntegratedPeak("290.0", 0.0f, 0.0, 0.0, 0.0), [](CPeakData& p) { p.SetTotalsPeak(1); }),
        // 6 a stray peak, with a response left by an earlier processing
        With(IntegratedPeak("400.0", 9.0f, 100.0, 10.0, 1.0, ""), [](CPeakData& p) { p.SetResponse(77.0); }),
    });
}

CSampleRecord AnalyteSample() {
    CSampleRecord sample = Sample(0);
    sample.SetConcentration(0, 25.0);
    sample.SetInjectionVolume(2.0);
    sample.SetUserFactor1(3.0);
    return sample;
}
}  // namespace

TEST(LocationRun, CompleteRunOfAMethodWithInternalStandardQualifierAndTotals) {
    CMethodList methods = PcbMethod();
    CPeakList peaks = PcbPeaks();
    CSampleRecord sample = AnalyteSample();
    CQuanLocate engine;
    ASSERT_EQ(engine.QuanDoLocation(methods, peaks, sample, "unused.db"), kLocateOK);

    // The totals peak sums the three group members it does not include itself in.
    const CPeakData& totalsPeak = peaks.GetAt(5);
    EXPECT_DOUBLE_EQ(totalsPeak.GetArea(), 2000.0 + 3000.0 + 1500.0);
    EXPECT_DOUBLE_EQ(totalsPeak.GetHeight(), 250.0 + 300.0 + 100.0);
    EXPECT_DOUBLE_EQ(totalsPeak.GetAbsNoiseHeight(), 15.0);  // the last member's noise

    // Internal-standard responses: 5000 / 10 per unit; the totals entry the mean of its members.
    // They name their standard by reference only, listing none, so the totals entry keeps the
    // noise conversion (area / height) of the unnamed peak it was located on.
    EXPECT_DOUBLE_EQ(methods.GetAt(3).GetISResponse(), 500.0);
    EXPECT_EQ(methods.GetAt(3).GetNumISResponses(), 2);
    EXPECT_DOUBLE_EQ(methods.GetAt(3).GetNoiseConversion(), 1500.0 / 100.0);

    EXPECT_DOUBLE_EQ(methods.GetAt(1).GetResponse(), 4.0);  // the qualifier listed later does not overwrite

    // Per peak: the assignment (entry, role 0 main or 1 qualifier, unnamed mark); the response, the
    // corrected response, the noise response (noise conversion of the standard, 10, or of the
    // totals entry, 15, times the peak's noise, over the IS response) and the response flag; and
    // the values copied for calibration and quantification (fixed concentration, RRF, injection
    // volume, dilution factor).
    const struct { int entry, role, unnamed; double response, corrected, noiseResponse; int flag;
                   double fixedConc, rrf, injectionVolume, gpDilution; } expected[] = {
        // the standard itself, external, at a fixed level: undiluted
        {1, 0, 0, 5000.0, 5000.0, 10.0 * 20.0, 1, 10.0, 5000.0 / 10.0, 1.0, 1.0},
        {2, 0, 0, 4.0, 4.0, 10.0 * 25.0 / 500.0, 1, 25.0, 4.0 / 25.0, 2.0, 3.0},  // 2000 / 500
        {2, 1, 0, 0.0, 0.0, 0.0, 1, 25.0, 0.0, 2.0, 3.0},  // the qualifier has no absolute response of its own
        {3, 0, 0, 6.0, 6.0, 10.0 * 30.0 / 500.0, 1, 25.0, 6.0 / 25.0, 2.0, 3.0},  // 3000 / 500
        {4, 0, 1, 3.0, 3.0, 15.0 * 15.0 / 500.0, 1, 0.0, 0.0, 1.0, 1.0},  // unnamed 1500 / 500
        {4, 0, 0, 0.0, 0.0, 15.0 * 15.0 / 500.0, 1, 0.0, 0.0, 1.0, 1.0},  // the totals peak's own summary area was 0
        {0, 0, 0, 0.0, 0.0, 0.0, 0, 0.0, 0.0, 2.0, 3.0},                  // unassigned: cleared
    };
    for (int j = 0; j < 7; ++j) {
        SCOPED_TRACE(j);
        const CPeakData& p = peaks.GetAt(j);
        const auto& e = expected[j];
        EXPECT_EQ(p.GetMDBEntry(), e.entry);
        EXPECT_EQ(p.GetMDBEntryPeak(), e.role);
        EXPECT_EQ(p.GetTotalsUnnamedPeak(), e.unnamed);
        EXPECT_DOUBLE_EQ(p.GetResponse(), e.response);
        EXPECT_DOUBLE_EQ(p.GetCorrectedResponse(), e.corrected);
        if (j < 6) {
            EXPECT_DOUBLE_EQ(p.GetChromNoiseResp(), e.noiseResponse);
            EXPECT_EQ(p.GetResponseFlag(), e.flag);
        }
        EXPECT_DOUBLE_EQ(p.GetFixedConc(), e.fixedConc);
        EXPECT_DOUBLE_EQ(p.GetRRF(), e.rrf);
        EXPECT_DOUBLE_EQ(p.GetInjectionVolume(), e.injectionVolume);
        EXPECT_DOUBLE_EQ(p.GetGPDilutionFactor(), e.gpDilution);
    }
    EXPECT_EQ(peaks.GetAt(1).GetSecondaryPeaks(), 1);
    EXPECT_DOUBLE_EQ(peaks.GetAt(1).GetSecondaryArea(), 1000.0);
    EXPECT_FLOAT_EQ(peaks.GetAt(2).GetActualIonRatio(), 2.0f);
}

