// Report texts: printf-style formatting into an owned string, and the copy of a field's text
// into a caller's character buffer. A text that does not fit a buffer is never cut: the buffer
// is left empty and the copy reports failure, so a report never shows half a name or number.
#pragma once

#include <cstddef>
#include <string>

namespace ReportText {
// The whole formatted text, however long. For texts and whole numbers only: fractional numbers
// go through NumberText, as printf would write them with the host locale's decimal comma.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Writes `text` and its terminator into `buffer` of `capacity` characters and returns true when
// it fits. Otherwise the buffer is left empty (when it has room for the terminator) and the
// result is false. A null buffer is refused.
bool CopyToBuffer(const std::string& text, char* buffer, size_t capacity);

// Sets a caller's buffer to the empty text; false for a null buffer or no room.
inline bool ClearBuffer(char* buffer, size_t capacity) {
    if (buffer == nullptr || capacity == 0) return false;
    buffer[0] = '\0';
    return true;
}
}  // namespace ReportText
