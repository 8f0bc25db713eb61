#include "platform/Utility.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "platform/NumberText.h"

namespace {
std::mutex g_lock;
std::string g_projectFolder;
std::string g_projectName;
}  // namespace

namespace Utility {
std::string GetCurrentProjectFolder() {
    std::lock_guard<std::mutex> guard(g_lock);
    return g_projectFolder;
}

std::string GetCurrentProjectName() {
    std::lock_guard<std::mutex> guard(g_lock);
    return g_projectName;
}

void SetCurrentProject(const std::string& folder, const std::string& name) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_projectFolder = folder;
    g_projectName = name;
}

std::string NumberToText(double value, int decimals) {
    if (!std::isfinite(value)) return std::string();
    decimals = std::clamp(decimals, 0, 15);
    return NumberText::Fixed(value, decimals);
}

int NumberToText(double value, char* text, int size, int decimals) {
    if (text == nullptr || size <= 0) return 0;
    const std::string formatted = NumberToText(value, decimals);
    const size_t length = std::min(formatted.size(), static_cast<size_t>(size - 1));
    std::memcpy(text, formatted.data(), length);
    text[length] = '\0';
    return static_cast<int>(length);
}
}  // namespace Utility
