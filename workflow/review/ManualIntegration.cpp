#include "workflow/review/ManualIntegration.h"

namespace Batch {

const char* IntegrationKindText(IntegrationKind kind) {
    switch (kind) {
        case IntegrationKind::kBounds: return "bounds";
        case IntegrationKind::kChosenPeak: return "peak";
        case IntegrationKind::kNoPeak: return "none";
        case IntegrationKind::kAutomatic: return "auto";
    }
    return "";
}

bool IntegrationKindFromText(std::string_view text, IntegrationKind& kind) {
    for (IntegrationKind k : {IntegrationKind::kBounds, IntegrationKind::kChosenPeak, IntegrationKind::kNoPeak,
                              IntegrationKind::kAutomatic})
        if (text == IntegrationKindText(k)) {
            kind = k;
            return true;
        }
    return false;
}

bool MeasurePeak(std::span<const float>, std::span<const float>, double, double, double, double, Integrate::Peak&,
                 std::string& error) {
    error = "not built yet";
    return false;
}

bool ApplyIntegrations(const CMethodList&, const std::vector<IntegrationChange>& changes,
                       const std::vector<RawData::Chromatogram>&, CPeakList&, std::vector<Integrate::PeakQuality>&,
                       std::vector<Problem>& problems) {
    if (changes.empty()) return true;
    problems.push_back({"", 0, 0, "manual integration is not built yet"});
    return false;
}

std::string IntegrationsCsv(const std::vector<IntegrationChange>&) { return {}; }

bool ReadIntegrations(const std::string& path, std::vector<IntegrationChange>&, std::vector<Problem>& problems) {
    problems.push_back({path, 0, 0, "manual integration is not built yet"});
    return false;
}

}  // namespace Batch
