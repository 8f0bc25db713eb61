// Peak report fields by number: PeakGetFieldStr and PeakSetFieldStr. Both walk one descriptor
// per field, expanded from PeakFieldTable.def, so a field is read and written through the same
// accessor, and the table is checked at compile time for order, completeness and for every
// stored field having a way to store. The few fields that behave differently (the detection
// flags, the locate-method reply, the coded fields) name their own small functions in the row.
//
// Texts from a host are hostile: numbers are read without locale, must be finite and must fit
// the stored type; a text must fit its field whole. Anything else is refused and the peak is
// left exactly as it was.
#include "report/PeakFieldStrings.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <type_traits>
#include <utility>

#include "platform/NumberText.h"
#include "records/KeywordTables.h"
#include "report/FieldText.h"

namespace {

// ---- how a field's value is reached -------------------------------------------------------

enum class ValueKind { kNone, kNumber, kText };
struct PeakFieldAccess {
    ValueKind kind = ValueKind::kNone;
    bool storable = false;
    double (*number)(const CPeakData&) = nullptr;
    std::string (*text)(const CPeakData&) = nullptr;
    bool (*store)(CPeakData&, double) = nullptr;  // false: the value does not fit the stored type
    bool (*storeText)(CPeakData&, const std::string&) = nullptr;  // false: the text does not fit
};

template <class Setter>
struct StoredTypeOf;
template <class T>
struct StoredTypeOf<void (CPeakData::*)(const T&)> {
    using type = T;
};
template <class T>
struct StoredTypeOf<void (*)(CPeakData&, const T&)> {
    using type = T;
};

// A number converted to the stored type, or false when it cannot be held: not finite, beyond
// the type's range. Integers truncate toward zero, as hosts write "3.0" for 3.
template <class T>
bool ConvertForStore(double value, T& stored) {
    if (!std::isfinite(value)) return false;
    if constexpr (std::is_floating_point_v<T>) {
        if (std::fabs(value) > static_cast<double>(std::numeric_limits<T>::max())) return false;
        stored = static_cast<T>(value);
    } else {
        const double whole = std::trunc(value);
        if (whole < static_cast<double>(std::numeric_limits<T>::min()) ||
            whole > static_cast<double>(std::numeric_limits<T>::max()))
            return false;
        stored = static_cast<T>(whole);
    }
    return true;
}

template <auto Get>
double ReadNumber(const CPeakData& peak) {
    return static_cast<double>(std::invoke(Get, peak));
}

template <auto Get, int Index>
double ReadIndexed(const CPeakData& peak) {
    return static_cast<double>(std::invoke(Get, peak, Index));
}

template <auto Get>
std::string ReadText(const CPeakData& peak) {
    return std::string(std::invoke(Get, peak));
}

template <auto Set>
bool StoreNumber(CPeakData& peak, double value) {
    typename StoredTypeOf<decltype(Set)>::type stored{};
    if (!ConvertForStore(value, stored)) return false;
    std::invoke(Set, peak, stored);
    return true;
}

// The setters cut what does not fit; a cut text is refused and the record's bytes put back, so
// an edit is stored whole or not at all. (Putting the old text back through the setter would
// not: it cuts an old text longer than the setter keeps and clears the bytes after the
// terminator.) `Stored` reads the field as kept (for the quality text, the template rather than
// its formatted form).
template <auto Set, auto Kept>
bool StoreText(CPeakData& peak, const std::string& text) {
    const _tagINTERNAL_PEAK_DB_RECORD before = peak.GetRecord();
    std::invoke(Set, peak, text);
    if (std::string(std::invoke(Kept, peak)) == text) return true;
    peak.CopyData(before);
    return false;
}

template <class T>
constexpr bool kIsText = std::is_same_v<T, std::string> || std::is_same_v<T, const char*>;

template <auto Get, auto Set, auto Kept = Get>
constexpr PeakFieldAccess FieldAccess() {
    using Value = std::remove_cvref_t<std::invoke_result_t<decltype(Get), const CPeakData&>>;
    PeakFieldAccess access;
    access.storable = !std::is_null_pointer_v<decltype(Set)>;
    if constexpr (kIsText<Value>) {
        access.kind = ValueKind::kText;
        access.text = &ReadText<Get>;
        if constexpr (!std::is_null_pointer_v<decltype(Set)>) access.storeText = &StoreText<Set, Kept>;
    } else {
        access.kind = ValueKind::kNumber;
        access.number = &ReadNumber<Get>;
        if constexpr (!std::is_null_pointer_v<decltype(Set)>) access.store = &StoreNumber<Set>;
    }
    return access;
}

// ---- forms, conditions and write rules ----------------------------------------------------

constexpr int kTakeNumber = -1;  // a coded field given an unknown text stores the text's number

struct FormRule {
    PeakFieldForm form;
    const char* const* codes = nullptr;
    int shownCodes = 0;             // values 0 to shownCodes - 1 show their code
    int otherRow = -1;              // code shown for any other value; -1 leaves the text empty
    int unmatched = kTakeNumber;    // value stored for a text that is none of the shown codes
    void (*special)(const CPeakData&, std::string&) = nullptr;
};

constexpr FormRule Text{PeakFieldForm::kText};
constexpr FormRule Number{PeakFieldForm::kNumber};
constexpr FormRule YesIfZero{PeakFieldForm::kYesIfZero};
constexpr FormRule YesIfSet{PeakFieldForm::kYesIfSet};
constexpr FormRule NoSource{PeakFieldForm::kNoSource};
// A coded field, its parts named where the row is written:
// Coded({.codes = InterferenceCodes, .shownCodes = 3, .otherValuesShow = 2, .unknownTextStores = 2}).
struct CodedForm {
    const char* const* codes = nullptr;
    int shownCodes = 0;
    int otherValuesShow = -1;
    int unknownTextStores = kTakeNumber;
};
constexpr FormRule Coded(CodedForm coded) {
    return {PeakFieldForm::kCoded, coded.codes, coded.shownCodes, coded.otherValuesShow, coded.unknownTextStores,
            nullptr};
}
constexpr FormRule SpecialText(void (*reader)(const CPeakData&, std::string&)) {
    return {PeakFieldForm::kCoded, nullptr, 0, -1, kTakeNumber, reader};
}

constexpr bool AnyPeak = false;
constexpr bool PresentPeak = true;

struct ShownRule {
    bool (*peakTest)(const CPeakData&) = nullptr;  // nothing is shown when it fails
    bool (*valueTest)(double) = nullptr;           // the number is written; this gives the result
};
constexpr ShownRule Always{};
constexpr ShownRule When(bool (*test)(const CPeakData&)) { return {test, nullptr}; }
constexpr ShownRule CountedWhen(bool (*test)(double)) { return {nullptr, test}; }

enum class WriteKind { kStored, kIgnored, kEcho };
struct WriteRule {
    WriteKind kind;
    std::string (*echo)(const CPeakData&) = nullptr;  // the text handed back to the caller
    void (*change)(CPeakData&) = nullptr;             // what the field changes instead of storing
};
constexpr WriteRule Stored{WriteKind::kStored};
constexpr WriteRule Ignored{WriteKind::kIgnored};
constexpr WriteRule Echo(std::string (*echo)(const CPeakData&), void (*change)(CPeakData&)) {
    return {WriteKind::kEcho, echo, change};
}

// ---- the functions the rows name ------------------------------------------------------------

const char* const PeakQualityCodes[4] = {"n/a", "Pass", "Fail", "Ref"};
// Interference: 1 is a high interference, every other non-zero value a low one.
const char* const InterferenceCodes[3] = {"", "H", "L"};

bool IsAbsent(const CPeakData& peak) { return peak.GetPlaceHolder() || peak.GetPeakDeleted(); }

bool UsesSingleStandard(const CPeakData& peak) { return peak.GetUseMulti() == 0; }
bool DetectionThresholdSet(const CPeakData& peak) { return peak.GetDetectionThreshold() != 0.0; }
bool QuantitationThresholdSet(const CPeakData& peak) { return peak.GetQuantitationThreshold() != 0.0; }
bool UserRFModeOn(const CPeakData& peak) { return peak.GetUserRFMode() != 0; }
bool NotPlaceholder(const CPeakData& peak) { return !peak.GetPlaceHolder(); }
bool ConcentrationValid(const CPeakData& peak) { return peak.GetValidConc() != 0; }
bool DetectionLimitApplies(const CPeakData& peak) { return ConcentrationValid(peak) && DetectionThresholdSet(peak); }
bool QuantitationLimitApplies(const CPeakData& peak) {
    return ConcentrationValid(peak) && QuantitationThresholdSet(peak);
}
// A placeholder keeps the summed area of a totals peak, which is worth showing.
bool PeakSizeShown(const CPeakData& peak) {
    return !peak.GetPeakDeleted() && (!peak.GetPlaceHolder() || peak.IsTotals());
}
bool ResponseShown(const CPeakData& peak) {
    return (!IsAbsent(peak) && peak.GetResponseFlag() != 0) || peak.IsTotals();
}
bool HasSecondaryPeaks(const CPeakData& peak) { return peak.GetSecondaryPeaks() >= 1; }
bool RecoveryShown(const CPeakData& peak) {
    return ConcentrationValid(peak) && !peak.IsTotals() && peak.GetFixedConc() != 0.0;
}
bool RRFMeanPositive(const CPeakData& peak) { return peak.GetRRFMean() > 0.0; }
bool UsesEMPC(const CPeakData& peak) { return peak.GetUseEMPC() != 0; }
bool EMPCShown(const CPeakData& peak) { return ConcentrationValid(peak) && UsesEMPC(peak); }
bool InterferenceFlagged(const CPeakData& peak) { return peak.GetInterferenceFlags() != 0; }
bool Positive(double value) { return value > 0.0; }
bool NonZero(double value) { return value != 0.0; }

// The stored window and switch, not the defaults the getters give for an unset window.
float StoredMassWindow(const CPeakData& peak) { return peak.GetRecord().ChroMassWindow; }
int32_t StoredMassWindowAbs(const CPeakData& peak) { return peak.GetRecord().ChroMassWindowAbs; }

// The threshold method travels as 32 bits: the 16-bit field and the two bytes after it.
constexpr size_t kThreshMethodOffset = offsetof(_tagINTERNAL_PEAK_DB_RECORD, PkThreshMethod);
static_assert(offsetof(_tagINTERNAL_PEAK_DB_RECORD, reserved1514) == kThreshMethodOffset + sizeof(uint16_t),
              "the threshold method's 32 bits are the field and the two bytes after it");
int32_t ThreshMethodWord(const CPeakData& peak) {
    int32_t word;
    std::memcpy(&word, reinterpret_cast<const unsigned char*>(&peak.GetRecord()) + kThreshMethodOffset, sizeof word);
    return word;
}
void StoreThreshMethodWord(CPeakData& peak, const int32_t& word) {
    _tagINTERNAL_PEAK_DB_RECORD record = peak.GetRecord();
    std::memcpy(reinterpret_cast<unsigned char*>(&record) + kThreshMethodOffset, &word, sizeof word);
    peak.CopyData(std::as_const(record));
}

double RecoveryDeviation(const CPeakData& peak) {
    return (peak.GetAnalConc() - peak.GetFixedConc()) / peak.GetFixedConc() * 100.0;
}

std::string FormattedQualityText(const CPeakData& peak) { return peak.GetPeakQualityStr(); }
std::string QualityTemplate(const CPeakData& peak) {
    return CPeakData::BoundedText(peak.GetRecord().PeakQualityStr, sizeof peak.GetRecord().PeakQualityStr);
}

void DetectionFlagsText(const CPeakData& peak, std::string& text) {
    text = peak.GetPeakDetectionFlags();
    if (peak.GetPeakDeleted()) text += '-';
    if (peak.GetExcludedStd() != 0) text += 'X';
    if (peak.GetNoSolutionFlag() != 0) text += 'I';
}
std::string DetectionFlagsEcho(const CPeakData& peak) {
    std::string letters;
    if (peak.GetExcludedStd() != 0) letters += 'X';
    if (peak.GetNoSolutionFlag() != 0) letters += 'I';
    if (peak.GetPeakDeleted()) letters += '-';
    return letters;
}
void ClearPlaceholderFlags(CPeakData& peak) {
    if (peak.GetPlaceHolder()) peak.SetPeakDetectionFlags("");
}
std::string LocateMethodCode(const CPeakData& peak) {
    const char* code = Keywords::TextOf(LocateMethodCodes, peak.GetLocateBy());
    return code != nullptr ? code : "";
}

// ---- the table ----------------------------------------------------------------------------

struct PeakFieldRow {
    int number;
    const char* name;
    FormRule form;
    PeakFieldAccess access;
    bool presentOnly;
    ShownRule shown;
    WriteRule write;
};

#define FIELD(Name) FieldAccess<&CPeakData::Get##Name, &CPeakData::Set##Name>()
#define READONLY(Name) FieldAccess<&CPeakData::Get##Name, nullptr>()
#define INDEXED(Name, index) PeakFieldAccess{ValueKind::kNumber, false, &ReadIndexed<&CPeakData::Get##Name, index>}
#define OWN(...) FieldAccess<__VA_ARGS__>()
#define NOSOURCE PeakFieldAccess{}
#define PEAK_REPORT_FIELD(number, Name, form, source, absent, shown, write) \
    PeakFieldRow{number, #Name, form, source, absent, shown, write},
constexpr PeakFieldRow kRows[] = {
#include "report/PeakFieldTable.def"
};
#undef FIELD
#undef READONLY
#undef INDEXED
#undef OWN
#undef NOSOURCE

constexpr int kLastNumbered = 235;
constexpr int kISDevHighField = 16384;
constexpr size_t kRowCount = std::size(kRows);

// Rows 0 to 235 in number order, then 16384; every row that stores has a way to store its form.
constexpr bool TableIsComplete() {
    if (kRowCount != kLastNumbered + 2 || kRows[kRowCount - 1].number != kISDevHighField) return false;
    for (size_t i = 0; i < kRowCount; ++i) {
        const PeakFieldRow& row = kRows[i];
        if (i <= kLastNumbered && row.number != static_cast<int>(i)) return false;
        const ValueKind needed = row.form.form == PeakFieldForm::kText ? ValueKind::kText : ValueKind::kNumber;
        const bool special = row.form.special != nullptr;
        if (row.form.form != PeakFieldForm::kNoSource && !special && row.access.kind != needed) return false;
        if (row.write.kind == WriteKind::kStored && !row.access.storable) return false;
        if (row.write.kind == WriteKind::kEcho && row.write.echo == nullptr) return false;
        if (row.form.form == PeakFieldForm::kCoded && !special && row.form.shownCodes <= 0) return false;
    }
    return true;
}
static_assert(TableIsComplete(), "PeakFieldTable.def: one row per field 0 to 235, then 16384, each with its accessor");

const PeakFieldRow* FindRow(int field) {
    if (field >= 0 && field <= kLastNumbered) return &kRows[field];
    if (field == kISDevHighField) return &kRows[kRowCount - 1];
    return nullptr;
}

constexpr std::array<PeakFieldInfo, kRowCount> kInfos = [] {
    std::array<PeakFieldInfo, kRowCount> infos{};
    for (size_t i = 0; i < kRowCount; ++i)
        infos[i] = {static_cast<CPeakData::PeakDataFields>(kRows[i].number), kRows[i].name, kRows[i].form.form,
                    kRows[i].write.kind == WriteKind::kStored};
    return infos;
}();

// ---- reading and writing ------------------------------------------------------------------

int ReadField(const CPeakData& peak, const PeakFieldRow& row, std::string& text, double& number) {
    if (row.form.form == PeakFieldForm::kNoSource) return 0;
    if (row.presentOnly && IsAbsent(peak)) return 0;
    if (row.shown.peakTest != nullptr && !row.shown.peakTest(peak)) return 0;
    const FormRule& form = row.form;
    switch (form.form) {
        case PeakFieldForm::kText: text = row.access.text(peak); return 1;
        case PeakFieldForm::kNumber: {
            number = row.access.number(peak);
            return row.shown.valueTest == nullptr || row.shown.valueTest(number) ? 1 : 0;
        }
        case PeakFieldForm::kYesIfZero: text = row.access.number(peak) == 0.0 ? "YES" : "NO"; return 1;
        case PeakFieldForm::kYesIfSet: text = row.access.number(peak) != 0.0 ? "YES" : "NO"; return 1;
        case PeakFieldForm::kCoded: {
            if (form.special != nullptr) {
                form.special(peak, text);
                return 1;
            }
            const double value = row.access.number(peak);
            const int code = value >= 0.0 && value < form.shownCodes ? static_cast<int>(value) : form.otherRow;
            if (code >= 0) text = form.codes[code];
            return 1;
        }
        case PeakFieldForm::kNoSource: break;
    }
    return 0;
}

// The text's leading decimal number, as a host's editor types it; no number at all reads as 0.
// Read without the locale, so a host that changed it still gets "2.5" as two and a half.
bool ParseDecimal(const std::string& text, double& value) {
    const char* begin = text.c_str();
    const char* end = begin + std::strlen(begin);
    while (begin < end && NumberText::IsSpaceAscii(*begin)) ++begin;
    if (begin + 1 < end && begin[0] == '+' && begin[1] != '-' && begin[1] != '+') ++begin;
    value = 0.0;
    const std::from_chars_result parsed = std::from_chars(begin, end, value);
    if (parsed.ec == std::errc::invalid_argument) {
        value = 0.0;
        return true;
    }
    return parsed.ec == std::errc() && std::isfinite(value);
}

// The row of a shown code equal to the text, or -1.
int CodeRow(const FormRule& form, const std::string& text) {
    for (int row = 0; row < form.shownCodes; ++row)
        if (form.codes[row][0] != '\0' && text == form.codes[row]) return row;
    return -1;
}

int StoreParsedNumber(CPeakData& peak, const PeakFieldRow& row, const std::string& text) {
    double value = 0.0;
    return ParseDecimal(text, value) && row.access.store(peak, value) ? 1 : 0;
}

int WriteField(CPeakData& peak, const PeakFieldRow& row, const std::string& text, std::string& reply,
               size_t replyCapacity) {
    switch (row.write.kind) {
        case WriteKind::kIgnored: return 1;
        case WriteKind::kEcho: {
            std::string letters = row.write.echo(peak);
            if (letters.size() > replyCapacity) return 0;
            if (row.write.change != nullptr) row.write.change(peak);
            reply = std::move(letters);
            return 1;
        }
        case WriteKind::kStored: break;
    }
    const bool saysNo = text == "NO";
    switch (row.form.form) {
        case PeakFieldForm::kText: return row.access.storeText(peak, text) ? 1 : 0;
        case PeakFieldForm::kNumber: return StoreParsedNumber(peak, row, text);
        // Each yes/no field stores what reads back as the text it was given.
        case PeakFieldForm::kYesIfZero: return row.access.store(peak, saysNo ? 1.0 : 0.0) ? 1 : 0;
        case PeakFieldForm::kYesIfSet: return row.access.store(peak, saysNo ? 0.0 : 1.0) ? 1 : 0;
        case PeakFieldForm::kCoded: {
            const int code = CodeRow(row.form, text);
            if (code >= 0) return row.access.store(peak, code) ? 1 : 0;
            if (row.form.unmatched == kTakeNumber) return StoreParsedNumber(peak, row, text);
            return row.access.store(peak, row.form.unmatched) ? 1 : 0;
        }
        case PeakFieldForm::kNoSource: break;
    }
    return 1;
}

// Copies a text into a caller's buffer of `capacity` characters, or empties the buffer and
// returns false when it does not fit. A null buffer takes only the empty text.
bool CopyOut(const std::string& text, char* buffer, size_t capacity) {
    if (buffer == nullptr || capacity == 0) return text.empty();
    return ReportText::CopyToBuffer(text, buffer, capacity);
}

}  // namespace

std::span<const PeakFieldInfo> PeakFieldList() { return kInfos; }

const PeakFieldInfo* FindPeakField(int field) {
    const PeakFieldRow* row = FindRow(field);
    return row != nullptr ? &kInfos[static_cast<size_t>(row - kRows)] : nullptr;
}

int CPeakData::PeakGetFieldStr(PeakDataFields field, bool, std::string& text, double& number) const {
    text.clear();
    const PeakFieldRow* row = FindRow(field);
    return row != nullptr ? ReadField(*this, *row, text, number) : 0;
}

int CPeakData::PeakGetFieldStr(PeakDataFields field, bool unused, char* text, size_t capacity,
                               double& number) const {
    std::string value;
    double produced = number;
    const int result = PeakGetFieldStr(field, unused, value, produced);
    if (!CopyOut(value, text, capacity)) return 0;
    number = produced;
    return result;
}

int CPeakData::PeakGetFieldStr(PeakDataFields field, bool unused, char* text, double& number) const {
    return PeakGetFieldStr(field, unused, text, kPeakFieldTextSize, number);
}

int CPeakData::PeakSetFieldStr(PeakDataFields field, int, std::string& text) {
    const std::string given = std::move(text);
    text.clear();
    const PeakFieldRow* row = FindRow(field);
    // Fields beyond the table are accepted and change nothing, as hosts expect.
    if (row == nullptr) return 1;
    return WriteField(*this, *row, given, text, std::string::npos);
}

int CPeakData::PeakSetFieldStr(PeakDataFields field, int, char* text, size_t capacity) {
    if (text == nullptr) capacity = 0;
    const std::string given = capacity > 0 ? std::string(text, strnlen(text, capacity)) : std::string();
    if (capacity > 0) text[0] = '\0';
    const PeakFieldRow* row = FindRow(field);
    if (row == nullptr) return 1;
    std::string reply;
    const int result = WriteField(*this, *row, given, reply, capacity > 0 ? capacity - 1 : 0);
    CopyOut(reply, text, capacity);
    return result;
}

int CPeakData::PeakSetFieldStr(PeakDataFields field, int index, char* text) {
    return PeakSetFieldStr(field, index, text, kPeakFieldTextSize);
}
