// The peak-list update after location: every column for an assigned and an unassigned peak,
// the sample factors of standard and other samples, an entry number beyond the method, and
// the solvent and peak-asymmetry limits at and just past their boundaries.
#include <gtest/gtest.h>

#include "LocateCompletionSupport.h"
#include "quan.h"

using namespace completion_test;

namespace {
// Entry 1 the reference (found at 4.0), entry 2 the compound whose settings are copied.
CMethodData Compound() {
    CMethodData m = Entry("Naphthalene", 7.46f, "128.1");
    m.SetCas("91-20-3");
    m.SetRepUnits("ng/mL");
    m.SetFlags("XYZ");
    m.SetUserRFMode(1);
    m.SetUserRF(2.5);
    m.SetLocateBy(2);
    m.SetLocateChoice(3);
    m.SetRRTRef(1);
    m.SetRAH(1);
    m.SetRCalc(1);
    m.SetRRef(1);
    m.SetWeightingFunction(4);
    m.SetPredRRT(1.25f);
    m.SetLocateRTWin(0.3f);
    m.SetPredResp(1234.5);
    m.SetLocateRespWin(12.5);
    m.SetRSubX(0.75);
    m.SetRSubY(0.5);
    m.SetStdConc(40.0);
    m.SetStdLevels(2);
    m.SetDetectionThreshold(3.0);
    m.SetQuantitationThreshold(10.0);
    m.SetUseEMPC(1);
    m.SetUseMulti(1);
    for (int k = 0; k < 6; ++k) m.SetIStd(k, k < 2 ? k : -1);
    m.SetUserFactor(0.8);
    m.SetCCalc(3);
    m.SetMinArea(5.0);
    // Working state as location leaves it.
    m.SetSoughtRT(7.9f);
    m.SetFoundRT(8.0f);
    m.SetFixedConc(20.0);
    return m;
}

CMethodList Method() {
    CMethodData reference = Entry("reference", 4.0f);
    reference.SetFoundRT(4.0f);
    CMethodList methods = Methods({reference, Compound()});
    methods.SetDBName("pah.mdb");
    methods.SetCreationDate("01-Mar-24");
    methods.SetCreationTime("10:15:00");
    return methods;
}

// A peak carrying what location and an earlier processing left on it.
CPeakData LocatedPeak(int entry) {
    CPeakData p = Peak(8.0f, 3000.0, 300.0, "128.1");
    p.SetMDBEntry(entry);
    p.SetName("old name");
    p.SetCurveDBName("old.cdb");
    p.SetCurveDBDate("01-Jan-20");
    p.SetCurveDBTime("09:00:00");
    p.SetResponse(60.0);
    p.SetAbsResponse(3000.0);
    p.SetCorrectedResponse(55.0);
    p.SetAbsCorrectedResponse(2800.0);
    p.SetSecondaryPeaks(1);
    p.SetActualIonRatio(0.5f);
    p.SetSecondaryArea(600.0);
    p.SetSecondaryHeight(60.0);
    p.SetIonRatio(0.45f);
    p.SetIonRatioWin(20);
    p.SetIRWinFlag(1);
    p.SetSignalToNoiseLODFlag(1);
    p.SetSignalToNoiseLOQFlag(1);
    p.SetAnalConc(9.0);
    p.SetValidConc(1);
    p.SetEMPC(4.0);
    p.SetTotalsNumPeaks(3);
    p.SetLODFlag(1);
    p.SetMaxConcFlag(1);
    p.SetRecoveryFlag(1);
    p.SetCoeffDetFlag(1);
    p.SetReportFlag(1);
    p.SetPeakQuality(2);
    p.SetPeakQualityStr("Fail #2.5#");
    p.SetSolventFlag(1);
    p.SetBlank(1);
    p.SetCCThreshold(0.99);
    return p;
}

CSampleRecord AnalyteSample() {
    CSampleRecord sample = Sample(0);
    sample.SetUserDivisor1(2.0);
    sample.SetUserFactor3(3.0);
    sample.SetInjectionVolume(5.0);
    sample.SetUserFactor2(7.0);
    sample.SetUserFactor1(11.0);
    sample.SetStockDilution(13.0);
    return sample;
}

struct SampleFactors {
    double divisor1, factor3, injection, factor2, gpDilution, stock, factor1;
};

void ExpectFactors(const CPeakData& p, const SampleFactors& f) {
    EXPECT_DOUBLE_EQ(p.GetUserDivisor1(), f.divisor1);
    EXPECT_DOUBLE_EQ(p.GetUserFactor3(), f.factor3);
    EXPECT_DOUBLE_EQ(p.GetInjectionVolume(), f.injection);
    EXPECT_DOUBLE_EQ(p.GetUserFactor2(), f.factor2);
    EXPECT_DOUBLE_EQ(p.GetGPDilutionFactor(), f.gpDilution);
    EXPECT_DOUBLE_EQ(p.GetStockDilutionFactor(), f.stock);
    EXPECT_DOUBLE_EQ(p.GetUserFactor1(), f.factor1);
}

// The result fields later engines fill are zero on every peak after the update.
void ExpectResultsReset(const CPeakData& p) {
    EXPECT_EQ(p.GetCurveDBName(), "");
    EXPECT_EQ(p.GetCurveDBDate(), "");
    EXPECT_EQ(p.GetCurveDBTime(), "");
    EXPECT_EQ(p.GetCCalc(), 0);
    EXPECT_DOUBLE_EQ(p.GetMinArea(), 0.0);
    EXPECT_DOUBLE_EQ(p.GetCCThreshold(), 0.0);
    EXPECT_EQ(p.GetLODFlag(), 0);
    EXPECT_EQ(p.GetMaxConcFlag(), 0);
    EXPECT_EQ(p.GetRecoveryFlag(), 0);
    EXPECT_EQ(p.GetCoeffDetFlag(), 0);
    EXPECT_EQ(p.GetReportFlag(), 0);
    EXPECT_DOUBLE_EQ(p.GetAnalConc(), 0.0);
    EXPECT_EQ(p.GetValidConc(), 0);
    EXPECT_EQ(p.GetBlank(), 0);
    EXPECT_DOUBLE_EQ(p.GetEMPC(), 0.0);
    EXPECT_EQ(p.GetTotalsNumPeaks(), 0);
    EXPECT_EQ(p.GetPeakQuality(), 0);
    EXPECT_EQ(p.GetPeakQualityStr(), "");
    EXPECT_EQ(p.GetSolventFlag(), 0);
}
}  // namespace

TEST(PeakListUpdate, AssignedPeakCarriesItsEntryAndKeepsWhatLocationWrote) {
    CMethodList methods = Method();
    CPeakList peaks = Peaks({LocatedPeak(2)});
    CQuanLocate engine;
    ASSERT_EQ(Access::QuanUpdateLocatedPDBEntries(engine, peaks, methods, AnalyteSample()), kLocateOK);
    const CPeakData& p = peaks.GetAt(0);

    EXPECT_EQ(p.GetMethodName(), "pah.mdb");
    EXPECT_EQ(p.GetMethodDate(), "01-Mar-24");
    EXPECT_EQ(p.GetMethodTime(), "10:15:00");
    EXPECT_EQ(p.GetMDBEntry(), 2);
    EXPECT_EQ(p.GetName(), "Naphthalene");
    EXPECT_EQ(p.GetCas(), "91-20-3");
    EXPECT_EQ(p.GetRepUnits(), "ng/mL");
    EXPECT_EQ(p.GetFlags(), "XYZ");
    EXPECT_EQ(p.GetUserRFMode(), 1);
    EXPECT_DOUBLE_EQ(p.GetUserRF(), 2.5);
    EXPECT_EQ(p.GetLocateBy(), 2);
    EXPECT_EQ(p.GetLocateChoice(), 3);
    EXPECT_EQ(p.GetRRTRef(), 1);
    EXPECT_EQ(p.GetRAH(), 1);
    EXPECT_EQ(p.GetRCalc(), 1);
    EXPECT_EQ(p.GetRRef(), 1);
    EXPECT_EQ(p.GetWeightingFunction(), 4);
    EXPECT_FLOAT_EQ(p.GetPredRT(), 7.9f);  // the RT searched, not the method's 7.46
    EXPECT_FLOAT_EQ(p.GetPredRRT(), 1.25f);
    EXPECT_FLOAT_EQ(p.GetLocateRTWin(), 0.3f);
    EXPECT_DOUBLE_EQ(p.GetPredResp(), 1234.5);
    EXPECT_DOUBLE_EQ(p.GetLocateRespWin(), 12.5);
    EXPECT_DOUBLE_EQ(p.GetRSubX(), 0.75);
    EXPECT_DOUBLE_EQ(p.GetRSubY(), 0.5);
    EXPECT_DOUBLE_EQ(p.GetStdConc(), 40.0);
    EXPECT_EQ(p.GetStdLevels(), 2);
    EXPECT_FLOAT_EQ(p.GetLODFactor(), 3.0f);
    EXPECT_FLOAT_EQ(p.GetLOQFactor(), 10.0f);
    EXPECT_DOUBLE_EQ(p.GetFixedConc(), 20.0);
    EXPECT_DOUBLE_EQ(p.GetRRF(), 60.0 / 20.0);
    EXPECT_FLOAT_EQ(p.GetFoundRRT(), 8.0f / 4.0f);
    EXPECT_EQ(p.GetUseEMPC(), 1);
    EXPECT_EQ(p.GetUseMulti(), 1);
    EXPECT_EQ(p.GetIntStd(0), 0);
    EXPECT_EQ(p.GetIntStd(1), 1);
    EXPECT_EQ(p.GetIntStd(2), -1);
    ExpectResultsReset(p);
    // Location's own values stay.
    EXPECT_EQ(p.GetSecondaryPeaks(), 1);
    EXPECT_FLOAT_EQ(p.GetActualIonRatio(), 0.5f);
    EXPECT_DOUBLE_EQ(p.GetSecondaryArea(), 600.0);
    EXPECT_DOUBLE_EQ(p.GetSecondaryHeight(), 60.0);
    EXPECT_DOUBLE_EQ(p.GetAbsResponse(), 3000.0);
    EXPECT_DOUBLE_EQ(p.GetResponse(), 60.0);
    EXPECT_DOUBLE_EQ(p.GetCorrectedResponse(), 55.0);
    EXPECT_DOUBLE_EQ(p.GetAbsCorrectedResponse(), 2800.0);
    EXPECT_FLOAT_EQ(p.GetIonRatio(), 0.45f);
    EXPECT_EQ(p.GetIonRatioWin(), 20);
    EXPECT_EQ(p.GetIRWinFlag(), 1);
    EXPECT_EQ(p.GetSignalToNoiseLODFlag(), 1);
    EXPECT_EQ(p.GetSignalToNoiseLOQFlag(), 1);
    // Sample factors of an analyte sample; the user factor is the method's.
    ExpectFactors(p, {2.0, 3.0, 5.0, 7.0, 11.0, 13.0, 0.8});
}

TEST(PeakListUpdate, AsymmetryOutsideTheExpectedWindowIsFlagged) {
    // Expected 1.2 with a window of 50 %: 0.6 to 1.8 inclusive; expected 2.0 with 50 %: 1.0 to
    // 3.0, edges that single precision holds exactly.
    const struct {
        double expected;
        float asymmetry;
        int sampleType;
        bool shapeMonitored;
        int choice;
        int flagged, qcFlagged;
    } cases[] = {
        {1.2, 0.6f, 0, true, 0, 0, 0},   {1.2, 1.8f, 0, true, 0, 0, 0},    {1.2, 1.81f, 0, true, 0, 1, 1},
        {1.2, 0.59f, 0, true, 0, 1, 1},  {2.0, 1.0f, 0, true, 0, 0, 0},    {2.0, 3.0f, 0, true, 0, 0, 0},
        {2.0, 3.0001f, 0, true, 0, 1, 1}, {2.0, 0.9999f, 0, true, 0, 1, 1}, {1.2, 1.81f, 0, false, 0, 1, 0},
        {1.2, 1.81f, 1, true, 0, 1, 1},  {1.2, 1.81f, 2, true, 0, 1, 1},   {1.2, 1.81f, 3, true, 0, 1, 0},
        {1.2, 1.81f, 0, true, kTotalsChoice, 0, 0},  // totals peaks have no shape of their own
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.expected << " " << c.asymmetry << " type " << c.sampleType);
        CMethodData compound = Compound();
        compound.SetLocateChoice(c.choice);
        compound.SetUseAsymmetryExpected(1);
        compound.SetAsymmetryExpectedValue(c.expected);
        compound.SetAsymmetryWindow(50.0);
        const int on = c.shapeMonitored ? 1 : 0;
        compound.SetMonitorAnalyteEnabled(1);
        compound.SetMonitorAnalyteShapeEnabled(on);
        compound.SetMonitorStandardEnabled(1);
        compound.SetMonitorStandardShapeEnabled(on);
        compound.SetMonitorQCEnabled(1);
        compound.SetMonitorQCShapeEnabled(on);
        CMethodList methods = Methods({Entry("reference"), compound});
        CPeakData peak = LocatedPeak(2);
        peak.SetPeakAsymmetryValue(c.asymmetry);
        peak.SetPeakAsymmetryFlag(1);  // stale from an earlier processing
        peak.SetQCPKAsymmetryFlag(1);
        CPeakList peaks = Peaks({peak});
        CQuanLocate engine;
        ASSERT_EQ(Access::QuanUpdateLocatedPDBEntries(engine, peaks, methods, Sample(c.sampleType)), kLocateOK);
        EXPECT_EQ(peaks.GetAt(0).GetPeakAsymmetryFlag(), c.flagged);
        EXPECT_EQ(peaks.GetAt(0).GetQCPKAsymmetryFlag(), c.qcFlagged);
    }
    // Without an expected value nothing is tested.
    CMethodData compound = Compound();
    compound.SetUseAsymmetryExpected(1);
    compound.SetAsymmetryWindow(50.0);
    CMethodList methods = Methods({Entry("reference"), compound});
    CPeakData peak = LocatedPeak(2);
    peak.SetPeakAsymmetryValue(9.0f);
    CPeakList peaks = Peaks({peak});
    CQuanLocate engine;
    ASSERT_EQ(Access::QuanUpdateLocatedPDBEntries(engine, peaks, methods, Sample(0)), kLocateOK);
    EXPECT_EQ(peaks.GetAt(0).GetPeakAsymmetryFlag(), 0);
}
