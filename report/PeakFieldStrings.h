// What a report needs to know about each peak field before asking for it: its name, whether
// it comes back as text or as a number, and whether PeakSetFieldStr stores it. A batch report
// walks PeakFieldList() and prints the text or the number that each field's form names.
// The values come from the same table rows that PeakGetFieldStr and PeakSetFieldStr follow.
#pragma once

#include <span>

#include "records/PeakData.h"

enum class PeakFieldForm {
    kNoSource,   // numbered but holds nothing: always returns 0
    kText,       // the stored text
    kNumber,     // the number output
    kYesIfZero,  // "YES" when the stored value is 0, else "NO"
    kYesIfSet,   // "YES" when the stored value is non-zero, else "NO"
    kCoded,      // a text picked by the stored value
};

struct PeakFieldInfo {
    CPeakData::PeakDataFields field;
    const char* name;  // the accessor's name without "Get", e.g. "FoundRT"
    PeakFieldForm form;
    bool settable;     // PeakSetFieldStr stores the field; 52 and 92 only answer with a text
};

// Every numbered field, in number order: 0 to 235, then 16384.
std::span<const PeakFieldInfo> PeakFieldList();
// The field's entry, or null for a number that names no field.
const PeakFieldInfo* FindPeakField(int field);
