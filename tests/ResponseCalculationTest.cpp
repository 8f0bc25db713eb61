// Response calculation: every response type with and without an internal-standard response.
#include <gtest/gtest.h>

#include "LocateCompletionSupport.h"
#include "quan.h"

using namespace completion_test;

namespace {
// Entry 1 an internal standard with noise conversion 2.0, entry 2 the compound under test.
CMethodList StandardAndCompound(const CMethodData& compound) {
    return Methods({LocatedStandard(4000.0, 10.0, 2.0), compound});
}

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
    const struct {
        const char* what;
        int responseType, reference;
        double isResponse;
        int status;
        double response, corrected, noiseResponse;
        int flag;
    } cases[] = {
        {"ES", kES, 0, 0.0, kLocateOK, 2000.0, 1800.0, 3.0 * 50.0, 1},
        {"ES with a reference takes the standard's noise conversion", kES, 1, 0.0, kLocateOK, 2000.0, 1800.0,
         2.0 * 50.0, 1},
        {"IS with IS response", kIS, 1, 400.0, kLocateOK, 5.0, 4.5, 2.0 * 50.0 / 400.0, 1},
        {"IS without IS response", kIS, 1, 0.0, kLocateOK, 0.0, 0.0, 0.0, 0},
        {"IS without a standard is treated as ES", kIS, 0, 400.0, kLocateOK, 2000.0, 1800.0, 3.0 * 50.0, 1},
        {"ISODIL", kISODIL, 1, 400.0, kLocateOK, 2000.0, 1800.0, 0.0, 0},
        {"UNCALP", kUNCALP, 1, 400.0, kLocateOK, 2000.0, 1800.0, 0.0, 0},
        {"INTERN", kINTERN, 1, 400.0, kLocateOK, 2000.0, 1800.0, 0.0, 0},
        {"NAMED", kNAMED, 1, 400.0, kLocateOK, 2000.0, 1800.0, 0.0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CMethodData compound = Entry("compound");
        compound.SetRCalc(c.responseType);
        compound.SetRRef(c.reference);
        compound.SetISResponse(c.isResponse);
        compound.SetNoiseConversion(3.0);
        CMethodList methods = StandardAndCompound(compound);
        CPeakList peaks = Peaks({AssignedPeak(2, 2000.0, 50.0, 1800.0)});
        CQuanLocate engine;
        ASSERT_EQ(Access::UpdateResponseFields(engine, peaks, 1, methods, 2), c.status);
        const CPeakData& peak = peaks.GetAt(0);
        EXPECT_DOUBLE_EQ(peak.GetResponse(), c.response);
        EXPECT_DOUBLE_EQ(peak.GetCorrectedResponse(), c.corrected);
        EXPECT_DOUBLE_EQ(peak.GetChromNoiseResp(), c.noiseResponse);
        EXPECT_EQ(peak.GetResponseFlag(), c.flag);
        EXPECT_DOUBLE_EQ(methods.GetAt(1).GetResponse(), c.response);
        EXPECT_DOUBLE_EQ(methods.GetAt(1).GetCorrectedResponse(), c.corrected);
    }
}

TEST(Responses, NoiseConversionOfSeveralStandardsIsTheirMean) {
    CMethodData compound = Entry("compound");
    compound.SetRCalc(kES);
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

    // A reference without noise conversion leaves the entry's own.
    CMethodData single = Entry("single");
    single.SetRRef(1);
    single.SetNoiseConversion(5.0);
    CMethodList withReference = Methods({LocatedStandard(1.0, 1.0, 0.0), single});
    CPeakList samePeak = Peaks({AssignedPeak(2, 1000.0, 10.0)});
    ASSERT_EQ(Access::UpdateResponseFields(engine, samePeak, 1, withReference, 2), kLocateOK);
    EXPECT_DOUBLE_EQ(samePeak.GetAt(0).GetChromNoiseResp(), 50.0);
}

TEST(Responses, MolarRatioOfIsotopeDilution) {
    // Unlabelled ratio 0.1, labelled ratio 10: ratio = (l - R)(u + 1) / ((R - u)(l + 1)).
    const struct { double response, expected; int flag; } cases[] = {
        {1.0, (10.0 - 1.0) * 1.1 / ((1.0 - 0.1) * 11.0), 1},  // = 1.0
        {2.0, (10.0 - 2.0) * 1.1 / ((2.0 - 0.1) * 11.0), 1},
        {20.0, (10.0 - 20.0) * 1.1 / ((20.0 - 0.1) * 11.0), 1},
        // R equal to the unlabelled ratio: no molar ratio exists, and the stale 99 is not kept.
        {0.1, 0.0, 0},
        {0.0, 0.0, 1},  // without a response there is no ratio to form: the plain 0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.response);
        CMethodData compound = Entry("compound");
        compound.SetRCalc(kES);
        compound.SetMoleRatio(1);
        compound.SetUnlabelledRatio(0.1);
        compound.SetLabelledRatio(10.0);
        CMethodList methods = Methods({compound});
        CPeakData peak = AssignedPeak(1, c.response);
        peak.SetResponse(99.0);
        CPeakList peaks = Peaks({peak});
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
    tagELEMENTstruct overcorrected = corrected;
    overcorrected.Interferences[1].Factor = 5.0;
    tagELEMENTstruct oneSlot = iron;
    oneSlot.IsotopeInUse[1] = 0;
    tagELEMENTstruct hostile = iron;
    std::memset(hostile.Symbol, 'X', sizeof hostile.Symbol);
    const CPeakData fe56 = IsotopePeak("56Fe", 900.0), fe54 = IsotopePeak("54Fe", 100.0);
    const CPeakData cr54 = IsotopePeak("54Cr", 40.0);
    CPeakData lower = fe54;
    lower.SetName("54fe");
    CPeakData loose = fe56;
    loose.SetMDBIntegrateEntry(0);
    const struct {
        const char* what;
        const tagELEMENTstruct& element;
        std::vector<CPeakData> peaks;
        double amount;
    } cases[] = {
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

TEST(Responses, ElementEntryReadsThePeriodicTableDatabase) {
    tagELEMENTstruct iron = Element("Fe", 55.845, {{55.9349, 90.0}, {53.9396, 10.0}});
    PeriodicDatabaseFile database("responses_periodic.db", {{26, iron}});
    CMethodData element = Entry("iron");
    element.SetFlags("Y");
    element.SetRCalc(kES);
    element.SetAtomicNumber(26);
    const CPeakData fe56 = IsotopePeak("56Fe", 900.0), fe54 = IsotopePeak("54Fe", 100.0);
    const int openBefore = PeriodicDatabaseOpenCount();

    const struct { const char* what; std::string databaseName; int atomicNumber, status; } cases[] = {
        {"element read", database.Path(), 26, kLocateOK},
        {"database missing", testing::TempDir() + "no_such_periodic.db", 26, 9},
        {"no database name", "", 26, 9},
        {"element not in the database", database.Path(), 92, 9},
        {"atomic number outside the table", database.Path(), 0, 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        element.SetAtomicNumber(c.atomicNumber);
        CMethodList methods = Methods({element});
        CPeakData synthetic = AssignedPeak(1, 5.0);
        CPeakList peaks = Peaks({synthetic, fe56, fe54});
        CQuanLocate engine;
        Access::SetPeriodicDBName(engine, c.databaseName);
        EXPECT_EQ(Access::CalculateResponses(engine, peaks, methods), c.status);
        EXPECT_EQ(PeriodicDatabaseOpenCount(), openBefore);
        if (c.status != kLocateOK) continue;
        const CPeakData& result = peaks.GetAt(0);
        EXPECT_DOUBLE_EQ(result.GetHeight(), 1000.0);
        EXPECT_DOUBLE_EQ(result.GetArea(), 1000.0);
        EXPECT_DOUBLE_EQ(result.GetResponse(), 1000.0);
        EXPECT_FLOAT_EQ(result.GetPeakMass(), 0.055845f);
        // The isotope peaks are integrated for the entry, not assigned to it: left alone.
        EXPECT_DOUBLE_EQ(peaks.GetAt(1).GetHeight(), 900.0);
    }
}
