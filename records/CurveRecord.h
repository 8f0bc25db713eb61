// The fixed byte layouts of a calibration curve as the host stores it: one calibration point
// (32 bytes), one calibration file entry (147 bytes, byte-packed) and the flat curve record
// (19496 bytes, little-endian). The record is generated from CurveRecordFields.def, and every
// offset is checked at compile time against the host's layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

// One calibration point. Bit 0 of Flags excludes the point from fitting and from all curve
// statistics; the padding is kept zero in stored records.
struct tag_CALI_POINT {
    double Weight;
    double Conc;
    double Resp;
    uint16_t Flags;
    uint8_t Padding[6];
};
static_assert(offsetof(tag_CALI_POINT, Weight) == 0);
static_assert(offsetof(tag_CALI_POINT, Conc) == 8);
static_assert(offsetof(tag_CALI_POINT, Resp) == 16);
static_assert(offsetof(tag_CALI_POINT, Flags) == 24);
static_assert(offsetof(tag_CALI_POINT, Padding) == 26);
static_assert(sizeof(tag_CALI_POINT) == 32);

// Point flag bit: excluded from the fit and the curve statistics.
constexpr uint16_t kCaliPointExcluded = 0x0001;

// The file (or sample) a calibration point came from. It begins with the NUL-terminated name;
// the bytes after the terminator belong to the host and are copied whole, never interpreted.
// A name that fills all 147 bytes without a terminator is read as those 147 bytes.
struct tagFILE_INFO {
    char Name[147];
};
static_assert(offsetof(tagFILE_INFO, Name) == 0);
static_assert(sizeof(tagFILE_INFO) == 147);
static_assert(alignof(tagFILE_INFO) == 1, "arrays of file entries must have a stride of 147 bytes");

// The leading name of a file entry, never read past the entry's 147 bytes.
inline std::string GetFileInfoName(const tagFILE_INFO& file) {
    return std::string(file.Name, strnlen(file.Name, sizeof file.Name));
}

// Writes a name and its terminator at the start of a file entry (at most 146 characters are
// kept); the host bytes after the terminator are left as they are.
inline void SetFileInfoName(tagFILE_INFO& file, const std::string& name) {
    const size_t length = name.size() < sizeof file.Name - 1 ? name.size() : sizeof file.Name - 1;
    std::memcpy(file.Name, name.data(), length);
    file.Name[length] = '\0';
}

struct _tagINTERNAL_CURVE_DB_RECORD {
#define CURVE_GAP(offset, size, Name) uint8_t Name[size];
#define CURVE_TEXT(offset, size, Name) char Name[size];
#define CURVE_FIELD(offset, type, Name) type Name;
#define CURVE_ARRAY(offset, type, Name, count) type Name[count];
#include "records/CurveRecordFields.def"
};

// Points and files the stored record holds.
constexpr int kCurveRecordPoints = 100;

#define CURVE_GAP(offset, size, Name)                                             \
    static_assert(offsetof(_tagINTERNAL_CURVE_DB_RECORD, Name) == (offset));     \
    static_assert(sizeof(_tagINTERNAL_CURVE_DB_RECORD::Name) == (size));
#define CURVE_TEXT(offset, size, Name) CURVE_GAP(offset, size, Name)
#define CURVE_FIELD(offset, type, Name) static_assert(offsetof(_tagINTERNAL_CURVE_DB_RECORD, Name) == (offset));
#define CURVE_ARRAY(offset, type, Name, count)                                    \
    static_assert(offsetof(_tagINTERNAL_CURVE_DB_RECORD, Name) == (offset));     \
    static_assert(sizeof(_tagINTERNAL_CURVE_DB_RECORD::Name) == (count) * sizeof(type));
#include "records/CurveRecordFields.def"
static_assert(sizeof(_tagINTERNAL_CURVE_DB_RECORD) == 19496);
static_assert(sizeof(_tagINTERNAL_CURVE_DB_RECORD::CaliFiles) == 14700);
static_assert(sizeof(_tagINTERNAL_CURVE_DB_RECORD::CaliPoints) == 3200);
