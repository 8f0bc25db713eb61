// The general utility library: the current project and number-to-text conversion.
#pragma once

#include <string>

namespace Utility {
// The current project's folder and name; empty until the host sets them.
std::string GetCurrentProjectFolder();
std::string GetCurrentProjectName();
void SetCurrentProject(const std::string& folder, const std::string& name);

// The text of a number with `decimals` places (0 to 15; outside that range clamped), as used
// for isotope peak names: 62.9296 with 0 decimals is "63". Non-finite numbers give "".
std::string NumberToText(double value, int decimals);
// The same into a caller buffer of `size` bytes (always terminated). Returns the length.
int NumberToText(double value, char* text, int size, int decimals);
}  // namespace Utility
