// One record of the periodic-table database: an element with its isotopes and interferences.
// 1024 bytes, little-endian, record number = atomic number (1 to 118). Bytes no engine reads are
// kept as reserved ranges so that a record read and written back is unchanged.
#pragma once

#include <cstddef>
#include <cstdint>

struct tagELEMENTISOTOPE {
    double Mass;            // 0
    double Abundance;       // 8   per cent
    double ResponseFactor;  // 16
    uint8_t reserved24[16];
};

struct tagELEMENTINTERFERENCE {
    char Name[24];       // 0
    int32_t IsotopeSlot; // 24  the isotope slot the correction applies to
    uint8_t reserved28[4];
    double Mass;         // 32
    double Factor;       // 40
};

struct tagELEMENTstruct {
    static constexpr int kNumIsotopeSlots = 11;  // slot 0 is laid out but never searched
    static constexpr int kNumInterferences = 4;
    static constexpr int kSymbolSize = 27;

    uint8_t reserved0[29];
    char Symbol[kSymbolSize];                                   // 29
    double ElementMass;                                         // 56
    uint8_t reserved64[184];
    double ResponseFactor;                                      // 248
    double ScaleFactor;                                         // 256
    uint8_t reserved264[8];
    tagELEMENTISOTOPE Isotopes[kNumIsotopeSlots];               // 272 + 40 i
    int32_t IsotopeInUse[kNumIsotopeSlots];                     // 712 + 4 i
    uint8_t reserved756[52];
    tagELEMENTINTERFERENCE Interferences[kNumInterferences];    // 808 + 48 k
    uint8_t reserved1000[4];
    int32_t InterferenceInUse[kNumInterferences];               // 1004 + 4 k
    uint8_t reserved1020[4];
};

static_assert(sizeof(tagELEMENTISOTOPE) == 40);
static_assert(offsetof(tagELEMENTISOTOPE, Mass) == 0);
static_assert(offsetof(tagELEMENTISOTOPE, Abundance) == 8);
static_assert(offsetof(tagELEMENTISOTOPE, ResponseFactor) == 16);
static_assert(sizeof(tagELEMENTINTERFERENCE) == 48);
static_assert(offsetof(tagELEMENTINTERFERENCE, Name) == 0);
static_assert(offsetof(tagELEMENTINTERFERENCE, IsotopeSlot) == 24);
static_assert(offsetof(tagELEMENTINTERFERENCE, Mass) == 32);
static_assert(offsetof(tagELEMENTINTERFERENCE, Factor) == 40);
static_assert(sizeof(tagELEMENTstruct) == 1024, "element record is 1024 bytes");
static_assert(offsetof(tagELEMENTstruct, Symbol) == 29);
static_assert(offsetof(tagELEMENTstruct, ElementMass) == 56);
static_assert(offsetof(tagELEMENTstruct, ResponseFactor) == 248);
static_assert(offsetof(tagELEMENTstruct, ScaleFactor) == 256);
static_assert(offsetof(tagELEMENTstruct, Isotopes) == 272);
static_assert(offsetof(tagELEMENTstruct, IsotopeInUse) == 712);
static_assert(offsetof(tagELEMENTstruct, Interferences) == 808);
static_assert(offsetof(tagELEMENTstruct, InterferenceInUse) == 1004);
