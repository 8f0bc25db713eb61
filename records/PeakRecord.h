// The flat peak record, stored and exchanged by the host byte for byte: 4112 bytes, 8-byte
// aligned, little-endian. Members are laid out in offset order from PeakFields.def; every
// offset and the size are checked at compile time, so the layout never rests on the compiler's
// padding. Reserved ranges are kept as bytes that copies carry unchanged.
#pragma once

#include <cstddef>
#include <cstdint>

struct alignas(8) _tagINTERNAL_PEAK_DB_RECORD {
#define PEAK_FIELD(offset, type, Name) type Name;
#define PEAK_FIELD_STORED(offset, type, Name) type Name;
#define PEAK_BOOL(offset, Name) int32_t Name;
#define PEAK_TEXT(offset, size, maxChars, Name) char Name[size];
#define PEAK_TEXT_INPLACE(offset, size, maxChars, Name) char Name[size];
#define PEAK_TEXT_STORED(offset, size, maxChars, Name) char Name[size];
#define PEAK_ARRAY(offset, type, count, Name, outside) type Name[count];
#define PEAK_TEXT_ARRAY(offset, size, count, maxChars, Name) char Name[count][size];
#define PEAK_FLAGWORD(offset, Name) uint32_t Name;
#define PEAK_RESERVED(offset, size) uint8_t reserved##offset[size];
#include "records/PeakFields.def"
};

static_assert(sizeof(_tagINTERNAL_PEAK_DB_RECORD) == 4112, "the peak record is 4112 bytes");
static_assert(alignof(_tagINTERNAL_PEAK_DB_RECORD) == 8);

#define PEAK_CHECK(offset, Name) \
    static_assert(offsetof(_tagINTERNAL_PEAK_DB_RECORD, Name) == (offset), #Name " is at " #offset);
#define PEAK_FIELD(offset, type, Name) PEAK_CHECK(offset, Name)
#define PEAK_FIELD_STORED(offset, type, Name) PEAK_CHECK(offset, Name)
#define PEAK_BOOL(offset, Name) PEAK_CHECK(offset, Name)
#define PEAK_TEXT(offset, size, maxChars, Name) PEAK_CHECK(offset, Name)
#define PEAK_TEXT_INPLACE(offset, size, maxChars, Name) PEAK_CHECK(offset, Name)
#define PEAK_TEXT_STORED(offset, size, maxChars, Name) PEAK_CHECK(offset, Name)
#define PEAK_ARRAY(offset, type, count, Name, outside) PEAK_CHECK(offset, Name)
#define PEAK_TEXT_ARRAY(offset, size, count, maxChars, Name) PEAK_CHECK(offset, Name)
#define PEAK_FLAGWORD(offset, Name) PEAK_CHECK(offset, Name)
#define PEAK_RESERVED(offset, size) PEAK_CHECK(offset, reserved##offset)
#include "records/PeakFields.def"
#undef PEAK_CHECK
