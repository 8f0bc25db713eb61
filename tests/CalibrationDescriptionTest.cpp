// Curve descriptions compared as whole texts: response factor and straight line, and the
// correlation line under each report setting.
#include <gtest/gtest.h>


#include "quan.h"

namespace {

CCalibrationData ValidCurve(const char* name, int curveType, std::initializer_list<double> coefficients,
                            double r = 0.0) {
    CCalibrationData curve;
    curve.SetName(name);
    curve.SetCurveValid(1);
    curve.SetCCalc(curveType);
    curve.SetCorrCoeff(r);
    int order = 0;
    for (double c : coefficients) curve.SetCC(c, order++);
    return curve;
}

// A straight line y = 1.2 x + 0.5 with r = 0.998 (r^2 = 0.996004).
CCalibrationData Line(int reportCorr, int weighting, int origin) {
    CCalibrationData curve = ValidCurve("Benzene", 1, {0.5, 1.2}, 0.998);
    curve.SetReportCorrFlags(reportCorr);
    curve.SetWeightingFunction(weighting);
    curve.SetOrigin(origin);
    return curve;
}

std::string LineOf(const CCalibrationData& curve, int number) {
    std::string text = curve.GetDescription() + "\n";
    for (; number > 0; --number) text.erase(0, text.find('\n') + 1);
    return text.substr(0, text.find('\n'));
}

}  // namespace

TEST(CalibrationDescription, ResponseFactorAndStraightLineWholeTexts) {
    CCalibrationData rf = ValidCurve("Toluene", 0, {0.0, 0.0125}, 0.9);
    rf.SetStdDev(0.00042);
    rf.SetPercRelSD(3.36);
    rf.SetReportCorrFlags(2);  // asked for, but an RF curve has no correlation
    rf.SetRCalc(1);
    rf.SetUseMulti(1);
    rf.SetOrigin(2);  // settings other than the type are not shown for RF
    EXPECT_EQ(rf.GetDescription(),
              "Compound name: Toluene\n"
              "Response Factor: 0.0125\n"
              "RRF SD: 0.00042,  % Relative SD: 3.36\n"
              "Response type: Internal Std ( Ref Multiple ), Area * ( IS Conc. / IS Area )\n"
              "Curve type: RF");

    EXPECT_EQ(Line(0, 0, 1).GetDescription(),
              "Compound name: Benzene\n"
              "Correlation coefficient: r = 0.998000, r^2 = 0.996004\n"
              "Calibration curve: 1.2 * x + 0.5\n"
              "Response type: External Std, Area\n"
              "Curve type: Linear, Origin: Exclude, Weighting: Null, Axis trans: None");
}

TEST(CalibrationDescription, CorrelationLineFollowsReportSetting) {
    const std::string corrCoeff = "Correlation coefficient: r = 0.998000, r^2 = 0.996004";
    const std::string coeffOfDet = "Coefficient of Determination: 0.996004";
    const struct {
        int reportCorr, weighting, origin, curveType;
        std::string expected;
    } cases[] = {
        {1, 3, 0, 2, "Coefficient of Determination: R^2 = 0.996004 "},  // the trailing space is the host's
        {2, 4, 2, 3, corrCoeff},
        // Any other setting: r only for an unweighted line with the origin excluded.
        {0, 0, 1, 1, corrCoeff}, {-1, 0, 1, 1, corrCoeff}, {0, 1, 1, 1, coeffOfDet},
        {0, 0, 0, 1, coeffOfDet}, {3, 0, 2, 1, coeffOfDet}, {0, 0, 1, 2, coeffOfDet},
    };
    for (const auto& c : cases) {
        CCalibrationData curve = Line(c.reportCorr, c.weighting, c.origin);
        curve.SetCCalc(c.curveType);
        EXPECT_EQ(LineOf(curve, 1), c.expected) << c.reportCorr << c.weighting << c.origin << c.curveType;
    }
    CCalibrationData falling = Line(2, 0, 1);
    falling.SetCorrCoeff(-0.5);
    EXPECT_EQ(LineOf(falling, 1), "Correlation coefficient: r = -0.500000, r^2 = 0.250000");
}

TEST(CalibrationFieldStrings, ListAsksCurvesInOrder) {
    double number = 3.0;
    std::string text;
    CCalibrationList list;
    EXPECT_FALSE(list.GetFieldStr(CCalibrationData::kCaliCorrCoeff, false, text, number));

    const CCalibrationData second = ValidCurve("B", 1, {0.0, 1.0}, 0.75);
    list.Add(ValidCurve("A", 0, {0.0, 1.0}, 0.9));  // RF: has no correlation
    list.Add(CCalibrationData());                   // not calibrated
    list.Add(second);
    list.Add(ValidCurve("C", 2, {0.0, 1.0, 1.0}, 0.5));
    EXPECT_TRUE(list.GetFieldStr(CCalibrationData::kCaliCorrCoeff, false, text, number));
    EXPECT_EQ(number, 0.75);
    char buffer[8] = "xyz";
    EXPECT_TRUE(list.GetFieldStr(CCalibrationData::kCaliCoeffOfDet, false, buffer, number));
    EXPECT_EQ(number, 0.5625);
    EXPECT_STREQ(buffer, "");
    EXPECT_FALSE(list.GetFieldStr(CCalibrationData::kCaliCoeffOfDet, false, buffer, 0, number));

    // Empty slots are passed over; a list with no correlated curve answers false.
    CCalibrationList sparse;
    sparse.SetSize(3);
    sparse.SetAt(0, ValidCurve("A", 0, {0.0, 1.0}));
    number = 3.0;
    EXPECT_FALSE(sparse.GetFieldStr(CCalibrationData::kCaliCorrCoeff, false, text, number));
    EXPECT_EQ(number, 3.0);
    sparse.SetAt(2, second);
    EXPECT_TRUE(sparse.GetFieldStr(CCalibrationData::kCaliCorrCoeff, false, text, number));
    EXPECT_EQ(number, 0.75);
}
