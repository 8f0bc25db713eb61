// The text block that describes a calibration curve beside its plot and in reports: compound
// name, correlation, the curve equation (or response factor and its spread), the response
// type and the curve settings, one per line. The block is built from stored settings alone, so
// every setting is looked up through the bounded keyword tables: a damaged or unfitted curve
// still describes itself, with an empty name where a setting has no table row.
#include <algorithm>
#include <string>

#include "platform/NumberText.h"
#include "records/CalibrationData.h"
#include "records/KeywordTables.h"
#include "report/FieldText.h"

using ReportText::Format;
using NumberText::Fixed;

namespace {
// printf's "%.6g", in any locale.
std::string Figures6(double value) { return NumberText::General(value, 6); }
}  // namespace

namespace {
// Settings of GetReportCorrFlags.
constexpr int kReportCoeffOfDetR2 = 1;
constexpr int kReportCorrCoeff = 2;

// A table's display name for a stored setting, or "" when the setting has no row.
template <size_t N>
const char* NameOf(const char* const (&table)[N], int value) {
    const char* name = Keywords::TextOf(table, value);
    return name != nullptr ? name : "";
}

class DescriptionLines {
public:
    void Append(const std::string& line) {
        if (!m_text.empty()) m_text += '\n';
        m_text += line;
    }
    std::string Text() const { return m_text; }

private:
    std::string m_text;
};

std::string CorrelationLine(const CCalibrationData& curve) {
    const double r = curve.GetCorrCoeff();
    const double r2 = r * r;
    const std::string corrCoeffLine = "Correlation coefficient: r = " + Fixed(r, 6) + ", r^2 = " + Fixed(r2, 6);
    switch (curve.GetReportCorrFlags()) {
        case kReportCoeffOfDetR2: return "Coefficient of Determination: R^2 = " + Fixed(r2, 6) + " ";
        case kReportCorrCoeff: return corrCoeffLine;
        default: break;
    }
    // r itself means something only for an unweighted straight line through the data alone.
    const bool plainLine = curve.GetCCalc() == kCurveLinear && curve.GetWeightingFunction() == kWeightNone &&
                           curve.GetOrigin() == kOriginExclude;
    return plainLine ? corrCoeffLine : "Coefficient of Determination: " + Fixed(r2, 6);
}

// Highest order first; zero terms are left out and negative ones printed as they are.
std::string EquationLine(const CCalibrationData& curve) {
    // Orders beyond the stored coefficients have none to print.
    const int highestOrder = std::min(curve.GetCCalc(), curve.GetNumCC() - 1);
    std::string terms;
    for (int order = highestOrder; order >= 0; --order) {
        const double coefficient = curve.GetCC(order);
        if (coefficient == 0.0) continue;
        if (!terms.empty()) terms += " + ";
        terms += Figures6(coefficient);
        if (order == 1) terms += " * x";
        else if (order > 1) terms += Format(" * x^%i", order);
    }
    return "Calibration curve: " + terms;
}

std::string ResponseLine(const CCalibrationData& curve) {
    const char* basis = NameOf(ResponseBasisNames, curve.GetRAH());
    if (curve.GetRCalc() == kResponseInternalStd) {
        const char* type = NameOf(ResponseTypeNames, kResponseInternalStd);
        if (curve.GetUseMulti() == 0)
            return Format("Response type: %s ( Ref %i ), %s * ( IS Conc. / IS %s )", type, curve.GetRRef(), basis,
                          basis);
        return Format("Response type: %s ( Ref Multiple ), %s * ( IS Conc. / IS %s )", type, basis, basis);
    }
    return Format("Response type: %s, %s", NameOf(ResponseTypeNames, curve.GetRCalc()), basis);
}

std::string CurveTypeLine(const CCalibrationData& curve) {
    if (curve.GetCCalc() == kCurveRF) return Format("Curve type: %s", NameOf(CurveTypeNames, kCurveRF));
    return Format("Curve type: %s, Origin: %s, Weighting: %s, Axis trans: %s", NameOf(CurveTypeNames, curve.GetCCalc()),
                  NameOf(OriginNames, curve.GetOrigin()), NameOf(WeightingNames, curve.GetWeightingFunction()),
                  NameOf(AxisTransformNames, curve.GetXYTrans()));
}
}  // namespace

std::string CCalibrationData::GetDescription() const {
    DescriptionLines lines;
    const std::string name = GetName();
    lines.Append("Compound name: " + (name.empty() ? std::string("[Unknown]") : name));
    if (GetCurveValid() == 0) {
        lines.Append("No Calibration");
    } else {
        const bool rf = GetCCalc() == kCurveRF;
        if (!rf) lines.Append(CorrelationLine(*this));
        if (rf) {
            lines.Append("Response Factor: " + Figures6(GetCC(1)));
            lines.Append("RRF SD: " + Figures6(GetStdDev()) + ",  % Relative SD: " + Figures6(GetPercRelSD()));
        } else {
            lines.Append(EquationLine(*this));
        }
    }
    lines.Append(ResponseLine(*this));
    lines.Append(CurveTypeLine(*this));
    return lines.Text();
}
