// The integration library's peak-integration parameter block, exchanged with that library
// byte for byte: 3280 bytes, every named field at a fixed offset, all other bytes zero.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 4)
struct tagINTEGRATE_PARAMS {
    int32_t SmooEnabled;         //    0
    int32_t SmooMethod;          //    4
    int32_t Constant2;           //    8  always 2 when filled from a method entry
    uint8_t reserved12[4];
    int32_t SmooWidth;           //   16
    int32_t SmooIter;            //   20
    uint8_t reserved24[12];
    float ConstantPoint3;        //   36  always 0.3 when filled from a method entry
    uint8_t reserved40[8];
    int32_t PkMode;              //   48
    uint8_t reserved52[4];
    int32_t PkShldrDetect;       //   56
    uint8_t reserved60[4];
    float PkBalance;             //   64
    float PkShldrThresh;         //   68
    float PkSplitting;           //   72
    uint8_t reserved76[4];
    float PkReduceTail;          //   80
    float PkMaxReduceHt;         //   84
    uint8_t reserved88[28];
    float PkKelThreshold;        //  116
    float PkKelWidth;            //  120
    float PkKelUpThreshold;      //  124
    float PkKelDownThreshold;    //  128
    int32_t PkKelOperations;     //  132
    uint8_t reserved136[3112];
    uint16_t PkThreshMethod;     // 3248
    uint8_t reserved3250[2];
    float PkRespAreaRel;         // 3252
    float PkRespAreaAbs;         // 3256
    float PkRespHeightRel;       // 3260
    float PkRespHeightAbs;       // 3264
    uint8_t reserved3268[4];
    float ChroNoiseLevel;        // 3272
    int32_t ChroAuto;            // 3276
};
#pragma pack(pop)

static_assert(sizeof(tagINTEGRATE_PARAMS) == 3280, "integration block is 3280 bytes");
static_assert(offsetof(tagINTEGRATE_PARAMS, SmooEnabled) == 0);
static_assert(offsetof(tagINTEGRATE_PARAMS, SmooMethod) == 4);
static_assert(offsetof(tagINTEGRATE_PARAMS, Constant2) == 8);
static_assert(offsetof(tagINTEGRATE_PARAMS, SmooWidth) == 16);
static_assert(offsetof(tagINTEGRATE_PARAMS, SmooIter) == 20);
static_assert(offsetof(tagINTEGRATE_PARAMS, ConstantPoint3) == 36);
static_assert(offsetof(tagINTEGRATE_PARAMS, PkMode) == 48);
static_assert(offsetof(tagINTEGRATE_PARAMS, PkShldrDetect) == 56);
static_assert(offsetof(tagINTEGRATE_PARAMS, PkBalance) == 64);
static_assert(offsetof(tagINTEGRATE_PARAMS, PkShldrThresh) == 68);
static_assert(offsetof(tagINTEGRATE_PARAMS, PkSplitting) == 72);
static_assert(offsetof(tagINTEGRATE_PARAMS, PkReduceTail) == 80);
static_assert(offsetof(tagINTEGRATE_PARAMS, PkMaxReduceHt) == 84);
static_assert(offsetof(tagINTEGRATE_PARAMS, PkKelThreshold) == 116);
static_assert(offsetof(tagINTEGRATE_PARAMS, PkKelWidth) == 120);
static_assert(offsetof(tagINTEGRATE_PARAMS, PkKelUpThreshold) == 124);
static_assert(offsetof(tagINTEGRATE_PARAMS, PkKelDownThreshold) == 128);
static_assert(offsetof(tagINTEGRATE_PARAMS, PkKelOperations) == 132);
static_assert(offsetof(tagINTEGRATE_PARAMS, PkThreshMethod) == 3248);
static_assert(offsetof(tagINTEGRATE_PARAMS, PkRespAreaRel) == 3252);
static_assert(offsetof(tagINTEGRATE_PARAMS, PkRespAreaAbs) == 3256);
static_assert(offsetof(tagINTEGRATE_PARAMS, PkRespHeightRel) == 3260);
static_assert(offsetof(tagINTEGRATE_PARAMS, PkRespHeightAbs) == 3264);
static_assert(offsetof(tagINTEGRATE_PARAMS, ChroNoiseLevel) == 3272);
static_assert(offsetof(tagINTEGRATE_PARAMS, ChroAuto) == 3276);
