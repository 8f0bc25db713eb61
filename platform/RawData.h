// The raw-data library: mass lists of trace texts and channel descriptions of raw files.
#pragma once

#include <string>

namespace RawData {
// Converts a trace text to masses. The text holds one or more traces separated by commas,
// semicolons or spaces; each trace is a mass ("304.2") or an MRM transition ("216.1>174.1",
// spaces allowed around '>'), of which the parent mass is given, or the daughter mass when
// `secondMass` is true. At most `maxMasses` masses are written; the places after the last
// are set to 0.0. Returns the number of masses, or -1 when the text is empty or a trace is
// not a finite number, -2 when there are more traces than room.
int MRMStringToMasses(const char* text, float* masses, int maxMasses, bool secondMass);

// Where a raw file lives, as the location engine describes it.
struct RawFileDescription {
    std::string folder;
    std::string fileType;  // "RAW"
    std::string fileName;
    int function = 0;
};

// Writes the description of a channel of the described file's function into `text` (at most
// `size` - 1 characters, always terminated). Returns 0, or -1 for an invalid channel or buffer.
int GetChannelDescription(const RawFileDescription& file, int channel, char* text, int size);
}  // namespace RawData
