// The record library's sample record: the persistent description of one injection. Members
// come from SampleRecordFields.def; the sample type is kept as its number and read either as
// the number or as its text ("Analyte", "Standard", "QC", "Blank", "Recovery", "Solvent").
#pragma once

#include <array>
#include <string>

class CSampleRecord {
public:
    CSampleRecord() = default;
    CSampleRecord(const CSampleRecord&) = default;
    CSampleRecord& operator=(const CSampleRecord&) = default;
    virtual ~CSampleRecord() = default;

    // Sample type number: 0 analyte, 1 standard, 2 QC, 3 blank, 6 recovery, 7 solvent check.
    void GetType(int& type) const { type = m_Type; }
    std::string GetType() const;
    void SetType(int type) { m_Type = type; }
    // From text, ignoring case; a number in text form is taken as that number. False (and no
    // change) for a text that names no type.
    bool SetType(const char* text);
    bool SetType(const std::string& text) { return SetType(text.c_str()); }

    // The type text of a number ("Standard" for 1; other numbers as the number in text).
    static std::string TypeText(int type);
    // The number of a type text, ignoring case; false when the text names no type.
    static bool TypeFromText(const std::string& text, int& type);

#define SAMPLE_FIELD(type, Name)                   \
    type Get##Name() const { return m_##Name; }    \
    void Set##Name(type value) { m_##Name = value; }
#define SAMPLE_TEXT(Name)                                           \
    std::string Get##Name() const { return m_##Name; }              \
    void Set##Name(const std::string& value) { m_##Name = value; }
#define SAMPLE_INDEXED(type, Name, count)                                                  \
    type Get##Name(int index) const {                                                      \
        return index >= 0 && index < (count) ? m_##Name[index] : type{};                   \
    }                                                                                      \
    void Set##Name(int index, type value) {                                                \
        if (index >= 0 && index < (count)) m_##Name[index] = value;                        \
    }
#define SAMPLE_INDEXED_TEXT(Name, count)                                                   \
    std::string Get##Name(int index) const {                                               \
        return index >= 0 && index < (count) ? m_##Name[index] : std::string();            \
    }                                                                                      \
    void Set##Name(int index, const std::string& value) {                                  \
        if (index >= 0 && index < (count)) m_##Name[index] = value;                        \
    }
#include "platform/SampleRecordFields.def"

    static constexpr int kNumConcentrations = 20;
    static constexpr int kNumMasses = 30;
    static constexpr int kNumWavelengths = 10;
    static constexpr int kNumSpares = 10;

private:
    int m_Type = 0;
#define SAMPLE_FIELD(type, Name) type m_##Name{};
#define SAMPLE_TEXT(Name) std::string m_##Name;
#define SAMPLE_INDEXED(type, Name, count) std::array<type, count> m_##Name{};
#define SAMPLE_INDEXED_TEXT(Name, count) std::array<std::string, count> m_##Name{};
#include "platform/SampleRecordFields.def"
};
