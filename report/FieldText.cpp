// Report texts: formatting and bounded copies into callers' buffers.
#include "report/FieldText.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace ReportText {
std::string Format(const char* format, ...) {
    char small[128];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    std::string text;
    if (length < 0) {
        va_end(again);
        return text;
    }
    if (static_cast<size_t>(length) < sizeof small) {
        text.assign(small, static_cast<size_t>(length));
    } else {
        text.resize(static_cast<size_t>(length));
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    }
    va_end(again);
    return text;
}

bool CopyToBuffer(const std::string& text, char* buffer, size_t capacity) {
    if (!ClearBuffer(buffer, capacity)) return false;
    if (text.size() >= capacity) return false;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}
}  // namespace ReportText
