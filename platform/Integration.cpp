#include "platform/Integration.h"

#include <cstring>
#include <fstream>

#include "platform/IntegrateParams.h"
#include "platform/NumberText.h"

namespace {
enum class Kind { Int32, Float, UInt16 };
struct Setting {
    const char* name;
    size_t offset;
    Kind kind;
};
#define INT_SETTING(Name) {#Name, offsetof(tagINTEGRATE_PARAMS, Name), Kind::Int32}
#define FLOAT_SETTING(Name) {#Name, offsetof(tagINTEGRATE_PARAMS, Name), Kind::Float}
const Setting kSettings[] = {
    INT_SETTING(SmooEnabled),     INT_SETTING(SmooMethod),        INT_SETTING(SmooWidth),
    INT_SETTING(SmooIter),        INT_SETTING(PkMode),            INT_SETTING(PkShldrDetect),
    FLOAT_SETTING(PkBalance),     FLOAT_SETTING(PkShldrThresh),   FLOAT_SETTING(PkSplitting),
    FLOAT_SETTING(PkReduceTail),  FLOAT_SETTING(PkMaxReduceHt),   FLOAT_SETTING(PkKelThreshold),
    FLOAT_SETTING(PkKelWidth),    FLOAT_SETTING(PkKelUpThreshold), FLOAT_SETTING(PkKelDownThreshold),
    INT_SETTING(PkKelOperations), {"PkThreshMethod", offsetof(tagINTEGRATE_PARAMS, PkThreshMethod), Kind::UInt16},
    FLOAT_SETTING(PkRespAreaRel), FLOAT_SETTING(PkRespAreaAbs),   FLOAT_SETTING(PkRespHeightRel),
    FLOAT_SETTING(PkRespHeightAbs), FLOAT_SETTING(ChroNoiseLevel), INT_SETTING(ChroAuto),
};
#undef INT_SETTING
#undef FLOAT_SETTING

void Store(tagINTEGRATE_PARAMS* block, const Setting& setting, const std::string& text) {
    auto* bytes = reinterpret_cast<unsigned char*>(block) + setting.offset;
    if (setting.kind == Kind::Float) {
        float value = 0.0f;
        if (NumberText::Read(text, value)) std::memcpy(bytes, &value, sizeof value);
        return;
    }
    long long value = 0;
    if (!NumberText::Read(text, value)) return;
    if (setting.kind == Kind::UInt16) {
        if (value < 0 || value > 0xFFFF) return;
        uint16_t narrow = static_cast<uint16_t>(value);
        std::memcpy(bytes, &narrow, sizeof narrow);
    } else {
        if (value < INT32_MIN || value > INT32_MAX) return;
        int32_t wide = static_cast<int32_t>(value);
        std::memcpy(bytes, &wide, sizeof wide);
    }
}
}  // namespace

namespace Integration {
std::string SettingsFilePath(const char* settingsName) {
    const char* folder = std::getenv("QUAN_SETTINGS_DIR");
    std::string path = folder != nullptr && *folder != '\0' ? std::string(folder) + "/" : std::string();
    return path + (settingsName != nullptr ? settingsName : "") + ".ini";
}

bool ReadSettings(tagINTEGRATE_PARAMS* block, const char* settingsName) {
    if (block == nullptr || settingsName == nullptr || *settingsName == '\0') return false;
    std::ifstream file(SettingsFilePath(settingsName));
    if (!file) return false;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string name = line.substr(0, equals);
        for (const Setting& setting : kSettings)
            if (name == setting.name) Store(block, setting, line.substr(equals + 1));
    }
    return true;
}
}  // namespace Integration
