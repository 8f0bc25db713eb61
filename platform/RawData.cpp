#include "platform/RawData.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "platform/NumberText.h"

namespace {
bool IsTraceSeparator(char c) { return c == ',' || c == ';' || NumberText::IsSpaceAscii(c); }

bool ParseMass(const std::string& text, float& mass) {
    double value = 0.0;
    if (!NumberText::Read(text, value) || !std::isfinite(value)) return false;
    mass = static_cast<float>(value);
    return true;
}
}  // namespace

namespace RawData {

int MRMStringToMasses(const char* text, float* masses, int maxMasses, bool secondMass) {
    if (text == nullptr || masses == nullptr || maxMasses <= 0) return -1;
    for (int k = 0; k < maxMasses; ++k) masses[k] = 0.0f;
    // Join "a > b" into one token first, so the separators inside a transition do not split it.
    std::string compact;
    for (const char* c = text; *c != '\0'; ++c) {
        if (NumberText::IsSpaceAscii(*c)) {
            const char* next = c;
            while (*next != '\0' && NumberText::IsSpaceAscii(*next)) ++next;
            if (*next == '>' || (!compact.empty() && compact.back() == '>')) {
                c = next - 1;
                continue;
            }
        }
        compact += *c;
    }
    int count = 0;
    size_t i = 0;
    while (i < compact.size()) {
        while (i < compact.size() && IsTraceSeparator(compact[i])) ++i;
        size_t end = i;
        while (end < compact.size() && !IsTraceSeparator(compact[end])) ++end;
        if (end == i) break;
        const std::string trace = compact.substr(i, end - i);
        i = end;
        const size_t arrow = trace.find('>');
        std::string wanted = trace;
        if (arrow != std::string::npos) wanted = secondMass ? trace.substr(arrow + 1) : trace.substr(0, arrow);
        float mass = 0.0f;
        if (!ParseMass(wanted, mass)) return -1;
        if (count == maxMasses) return -2;
        masses[count++] = mass;
    }
    return count > 0 ? count : -1;
}

int GetChannelDescription(const RawFileDescription& file, int channel, char* text, int size) {
    if (text == nullptr || size <= 0 || channel < 1) return -1;
    std::snprintf(text, static_cast<size_t>(size), "Ch%d: function %d of %s", channel, file.function,
                  file.fileName.c_str());
    return 0;
}

}  // namespace RawData
