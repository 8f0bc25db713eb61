// A stored peak record loaded from arbitrary bytes: the first 4112 bytes are the record (zero
// filled when the input is shorter), the rest drives the texts, numbers and formatting asked of it.
// Invariants: loading keeps every byte except the terminator it must add to an in-place text;
// the loaded record writes out byte for byte and loads again unchanged; copies carry the record
// whole; no text getter reads or hands out more than its field; a text stored through its
// setter reads back as the stored prefix and leaves the record round-trippable; sorting keeps
// the list's size and its entries.
#include <cstring>
#include <string>
#include <vector>

#include "quan.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {
using Record = _tagINTERNAL_PEAK_DB_RECORD;

bool SameBytes(const Record& a, const Record& b) { return std::memcmp(&a, &b, sizeof(Record)) == 0; }

// Bytes the load may change: the last byte of each text handed out in place.
std::vector<bool> TerminatorBytes() {
    std::vector<bool> mayChange(sizeof(Record), false);
#define PEAK_TEXT_INPLACE(offset, bytes, maxChars, Name) mayChange[(offset) + (bytes) - 1] = true;
#define PEAK_TEXT_ARRAY(offset, bytes, count, maxChars, Name) \
    for (int k = 0; k < (count); ++k) mayChange[(offset) + k * (bytes) + (bytes) - 1] = true;
#include "records/PeakFields.def"
    return mayChange;
}

// What a text setter keeps of `text`: up to the first NUL, at most maxChars and size - 1.
std::string Kept(const std::string& text, size_t size, size_t maxChars) {
    std::string kept = text.substr(0, std::min({text.size(), maxChars, size - 1}));
    return kept.substr(0, strnlen(kept.c_str(), kept.size()));
}

void CheckTextsBounded(const CPeakData& peak) {
#define PEAK_TEXT(offset, bytes, maxChars, Name) FUZZ_CHECK(peak.Get##Name().size() <= (bytes));
#define PEAK_TEXT_INPLACE(offset, bytes, maxChars, Name) FUZZ_CHECK(strnlen(peak.Get##Name(), bytes) < (bytes));
#define PEAK_TEXT_ARRAY(offset, bytes, count, maxChars, Name)                     \
    for (int k = 0; k < (count); ++k) FUZZ_CHECK(strnlen(peak.Get##Name(k), bytes) < (bytes)); \
    FUZZ_CHECK(peak.Get##Name(-1) == nullptr && peak.Get##Name(count) == nullptr);
#include "records/PeakFields.def"
    const std::string quality = CPeakData::BoundedText(peak.GetRecord().PeakQualityStr, 150);
    if (quality.find('#') == std::string::npos) FUZZ_CHECK(peak.GetPeakQualityStr(0, 2, 3) == quality);
}

// Stores one input text in every text field (or an indexed one) and checks what reads back.
void StoreTexts(CPeakData& peak, FuzzInput& input) {
    const std::string text = input.Text(300);
#define PEAK_TEXT(offset, bytes, maxChars, Name) \
    peak.Set##Name(text);                       \
    FUZZ_CHECK(peak.Get##Name() == Kept(text, bytes, maxChars));
#define PEAK_TEXT_INPLACE(offset, bytes, maxChars, Name) \
    peak.Set##Name(text);                               \
    FUZZ_CHECK(peak.Get##Name() == Kept(text, bytes, maxChars));
#define PEAK_TEXT_ARRAY(offset, bytes, count, maxChars, Name)   \
    {                                                          \
        const int k = input.Int(-1, count);                    \
        const Record before = peak.GetRecord();                \
        peak.Set##Name(k, text);                               \
        if (k < 0 || k >= (count)) FUZZ_CHECK(SameBytes(before, peak.GetRecord())); \
        else FUZZ_CHECK(peak.Get##Name(k) == Kept(text, bytes, maxChars));           \
    }
#include "records/PeakFields.def"
    peak.SetPeakQualityStr(text);
    FUZZ_CHECK(CPeakData::BoundedText(peak.GetRecord().PeakQualityStr, 150) == Kept(text, 150, 149));
}

void CheckRoundTrip(const CPeakData& peak) {
    Record written;
    std::memset(&written, 0xA5, sizeof written);
    peak.GetPeak(written);
    FUZZ_CHECK(SameBytes(written, peak.GetRecord()));
    const CPeakData reloaded(written);
    FUZZ_CHECK(SameBytes(reloaded.GetRecord(), written));
    const CPeakData copy(peak);
    FUZZ_CHECK(SameBytes(copy.GetRecord(), written) && copy.GetID() == peak.GetID());
}

// The derived values and number texts must not fault, whatever the record holds.
void AskDerived(CPeakData& peak, FuzzInput& input) {
    const int mode = input.Int(-1, 3), decimals = input.Int(-5, 120), figures = input.Int(-5, 120);
    (void)peak.GetPeakQualityStr(mode, decimals, figures);
    (void)peak.GetPeakQualityStr();
    (void)peak.GetTargetFlagged();
    (void)peak.GetRecoveryValue();
    (void)peak.GetBelowRL();
    (void)peak.GetModified();
    (void)peak.GetFlagged();
    (void)peak.GetBaselineWidth();
    (void)peak.GetHeightDivArea();
    (void)peak.GetChroMassWindow();
    (void)peak.GetChroMassWindowAbs();
    (void)peak.IsMemberOf(input.Text(40));
    (void)peak.GetMassComparitor();
    const double value = input.Double();
    std::string text = "unchanged";
    peak.FormatNumber(mode, decimals, figures, value, text);
    if (mode < 0 || mode > 2) FUZZ_CHECK(text == "unchanged");
    (void)peak.SetStringSignificance(value, figures);
    (void)peak.FormatScientific(value, figures);
    (void)CPeakData::GetRoundedValue(value, input.Int(-5, 400));
    for (int k = -1; k <= 12; ++k) (void)peak.GetBoundValue(k);
    FUZZ_CHECK(peak.GetIntStd(-1) == -1 && peak.GetIntStd(6) == -1 && peak.GetToxicConc(4) == 0.0);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<bool> mayChange = TerminatorBytes();
    Record stored;
    std::memset(&stored, 0, sizeof stored);
    const size_t recordBytes = size < sizeof stored ? size : sizeof stored;
    std::memcpy(&stored, data, recordBytes);
    FuzzInput input(data + recordBytes, size - recordBytes);

    CPeakData peak(stored);
    const unsigned char* before = reinterpret_cast<const unsigned char*>(&stored);
    const unsigned char* loaded = reinterpret_cast<const unsigned char*>(&peak.GetRecord());
    for (size_t i = 0; i < sizeof stored; ++i) FUZZ_CHECK(loaded[i] == before[i] || (mayChange[i] && loaded[i] == 0));
    CheckTextsBounded(peak);
    CheckRoundTrip(peak);

    CPeakData assigned;
    assigned = stored;
    FUZZ_CHECK(SameBytes(assigned.GetRecord(), peak.GetRecord()));

    AskDerived(peak, input);
    CheckRoundTrip(peak);  // the comparitor built on demand changes nothing stored
    StoreTexts(peak, input);
    CheckTextsBounded(peak);
    CheckRoundTrip(peak);

    CPeakList list;
    FUZZ_CHECK(list.Add(peak) && list.Add(assigned) && list.Add(CPeakData()));
    const int sortType = input.Int(-1, 3);
    (void)list.Sort(sortType, input.Int(0, 1));
    FUZZ_CHECK(list.GetSize() == 3);
    int original = 0;
    for (int i = 0; i < 3; ++i) {
        FUZZ_CHECK(list.GetEntry(i) != nullptr);
        original += SameBytes(list.GetAt(i).GetRecord(), peak.GetRecord()) ? 1 : 0;
    }
    FUZZ_CHECK(original >= 1);
    CPeakList copy(list);
    FUZZ_CHECK(copy.GetSize() == 3);
    for (int i = 0; i < 3; ++i) FUZZ_CHECK(SameBytes(copy.GetAt(i).GetRecord(), list.GetAt(i).GetRecord()));
    return 0;
}
