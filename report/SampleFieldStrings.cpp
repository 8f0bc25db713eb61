// Report fields of a sample: every field by number, read as text or number from the sample
// record, a few texts stored back, and the mass and wavelength columns by their letter names.
// The field numbers, kinds and record getters come from SampleReportFields.def; the table below
// is indexed by field number, so reading a field is one look-up.
#include <array>
#include <string>

#include "platform/NumberText.h"
#include "records/KeywordTables.h"
#include "records/MethodData.h"
#include "records/QuanSampleData.h"
#include "report/FieldText.h"

namespace {
using StoreFunction = bool (*)(CSampleRecord&, const std::string&);

template <void (CSampleRecord::*Set)(const std::string&)>
bool StoreText(CSampleRecord& record, const std::string& text) {
    (record.*Set)(text);
    return true;
}

// A text that names no sample type leaves the type as it was.
bool StoreSampleType(CSampleRecord& record, const std::string& text) { return record.SetType(text); }

enum class FieldKind { None, Text, Number, IndexedText, IndexedNumber, StdConc };

using TextGetter = std::string (CSampleRecord::*)() const;
using NumberGetter = double (CSampleRecord::*)() const;
using IndexedTextGetter = std::string (CSampleRecord::*)(int) const;
using IndexedNumberGetter = double (CSampleRecord::*)(int) const;

struct SampleReportField {
    FieldKind kind = FieldKind::None;
    TextGetter text = nullptr;
    NumberGetter number = nullptr;
    IndexedTextGetter indexedText = nullptr;
    IndexedNumberGetter indexedNumber = nullptr;
    StoreFunction store = nullptr;
    // The kind of the getter that was given, checked against `kind` at compile time.
    FieldKind getterKind = FieldKind::None;
};

// One maker per getter type; the parameter type also picks the right overload of the record's
// getters (the sample type as text, not as number).
constexpr SampleReportField Make(FieldKind kind, TextGetter get, StoreFunction store) {
    return {kind, get, nullptr, nullptr, nullptr, store, FieldKind::Text};
}
constexpr SampleReportField Make(FieldKind kind, NumberGetter get, StoreFunction store) {
    return {kind, nullptr, get, nullptr, nullptr, store, FieldKind::Number};
}
constexpr SampleReportField Make(FieldKind kind, IndexedTextGetter get, StoreFunction store) {
    return {kind, nullptr, nullptr, get, nullptr, store, FieldKind::IndexedText};
}
constexpr SampleReportField Make(FieldKind kind, IndexedNumberGetter get, StoreFunction store) {
    return {kind, nullptr, nullptr, nullptr, get, store, FieldKind::IndexedNumber};
}

using FieldTable = std::array<SampleReportField, CQuanSampleData::kNumSampleFields>;

constexpr FieldTable BuildFieldTable() {
    FieldTable table{};
#define SAMPLE_REPORT_FIELD(number, Name, Kind, Getter, Store) \
    table[(number)] = Make(FieldKind::Kind, &CSampleRecord::Getter, Store);
#include "report/SampleReportFields.def"
    return table;
}

constexpr FieldTable kSampleReportFields = BuildFieldTable();

// A row's kind must come with a getter of that kind, or reading the field would call null.
constexpr bool HasGetterOfItsKind(const SampleReportField& field) {
    if (field.kind == FieldKind::StdConc) return field.getterKind == FieldKind::IndexedNumber;
    return field.kind != FieldKind::None && field.getterKind == field.kind;
}

constexpr bool EveryFieldHasARow() {
    for (const SampleReportField& field : kSampleReportFields)
        if (!HasGetterOfItsKind(field)) return false;
    return true;
}
static_assert(EveryFieldHasARow(),
              "every sample field number 0 to 27 needs one line in SampleReportFields.def, with a getter of its kind");

const SampleReportField* FindField(int number) {
    if (number < 0 || number >= CQuanSampleData::kNumSampleFields) return nullptr;
    return &kSampleReportFields[static_cast<size_t>(number)];
}

// Standard levels: 0 ("FIXED") and 1 ("STOCK") take the entry's own concentration; level 2 and
// above name the sample's concentration column level - 2.
constexpr int kFirstColumnLevel = 2;

bool CountsWhenZero(int sampleType, int stdLevels) {
    return sampleType == CQuanSampleData::kStandard || sampleType == CQuanSampleData::kQC ||
           sampleType == CQuanSampleData::kRecovery || stdLevels == 0;
}
}  // namespace

bool CQuanSampleData::SampleGetFieldStr(SampleDataFields field, bool /*unusedFlag*/, std::string& text, int index,
                                        double& number, const CMethodData* entry) const {
    text.clear();
    const SampleReportField* row = FindField(field);
    // Numbers beyond the fields are accepted with nothing written: hosts ask for whole column
    // lists, some of which this sample record does not have.
    if (row == nullptr) return true;
    switch (row->kind) {
        case FieldKind::Text: text = (m_record.*row->text)(); return true;
        case FieldKind::Number: number = (m_record.*row->number)(); return true;
        case FieldKind::IndexedText: text = (m_record.*row->indexedText)(index); return true;
        case FieldKind::IndexedNumber: number = (m_record.*row->indexedNumber)(index); return true;
        case FieldKind::StdConc: {
            if (entry == nullptr) return false;
            int sampleType = 0;
            m_record.GetType(sampleType);
            const int stdLevels = entry->GetStdLevels();
            double value = 0.0;
            if (stdLevels < kFirstColumnLevel) {
                value = entry->GetStdConc();
            } else {
                value = (m_record.*row->indexedNumber)(stdLevels - kFirstColumnLevel);
                if (entry->GetUseConcFactor() != 0) value *= entry->GetConcFactor();
            }
            number = value;
            return value != 0.0 || CountsWhenZero(sampleType, stdLevels);
        }
        case FieldKind::None: break;
    }
    return true;
}

bool CQuanSampleData::SampleGetFieldStr(SampleDataFields field, bool unusedFlag, char* text, size_t capacity,
                                        int index, double& number, const CMethodData* entry) const {
    if (!ReportText::ClearBuffer(text, capacity)) return false;
    std::string value;
    if (!SampleGetFieldStr(field, unusedFlag, value, index, number, entry)) return false;
    return ReportText::CopyToBuffer(value, text, capacity);
}

bool CQuanSampleData::SampleGetFieldStr(SampleDataFields field, bool unusedFlag, char* text, int index,
                                        double& number, const CMethodData* entry) const {
    return SampleGetFieldStr(field, unusedFlag, text, kSampleFieldTextSize, index, number, entry);
}

bool CQuanSampleData::SampleSetFieldStr(SampleDataFields field, int /*index*/, const std::string& text) {
    const SampleReportField* row = FindField(field);
    if (row == nullptr || row->store == nullptr) return true;
    return row->store(m_record, text);
}

bool CQuanSampleData::SampleSetFieldStr(SampleDataFields field, int index, char* text) {
    if (text == nullptr) return false;
    const std::string value = text;
    text[0] = '\0';
    return SampleSetFieldStr(field, index, value);
}

std::string CQuanSampleData::GetMass(const std::string& letter) const {
    const int column = Keywords::FindRowIgnoringCase(MassColumnLetters, letter);
    return column < 0 ? std::string() : GetMass(column);
}

std::string CQuanSampleData::GetWavelength(int index) const {
    if (index < 0 || index >= CSampleRecord::kNumWavelengths) return std::string();
    return NumberText::Fixed(m_record.GetWavelength(index), 6);
}

std::string CQuanSampleData::GetWavelength(const std::string& letter) const {
    const int column = Keywords::FindRowIgnoringCase(WavelengthColumnLetters, letter);
    return column < 0 ? std::string() : GetWavelength(column);
}
