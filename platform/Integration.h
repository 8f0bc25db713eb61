// The integration library: fills the integration parameter block from its settings file.
// The settings file of a name is "<name>.ini" in the settings folder (the QUAN_SETTINGS_DIR
// environment variable, else the working folder), one "Field=value" line per setting, field
// names as in the block ("PkMode=2"). Unknown lines and unreadable values are ignored.
#pragma once

#include <string>

struct tagINTEGRATE_PARAMS;

namespace Integration {
// True when the settings file was found and read; the block keeps what it held for every
// setting the file does not give.
bool ReadSettings(tagINTEGRATE_PARAMS* block, const char* settingsName);
std::string SettingsFilePath(const char* settingsName);
}  // namespace Integration
