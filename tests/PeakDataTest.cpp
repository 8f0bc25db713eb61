// The peak entry: stored bytes at the host's offsets, initial values and reserved bytes, and
// derived values and flags.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "quan.h"

namespace {
template <class T>
T ValueAt(const _tagINTERNAL_PEAK_DB_RECORD& record, size_t offset) {
    T value;
    std::memcpy(&value, reinterpret_cast<const unsigned char*>(&record) + offset, sizeof value);
    return value;
}

}  // namespace

TEST(PeakData, SettersLandAtTheHostsOffsets) {
    // Plain fields come from the field table the record's static_asserts hold; here the
    // indexed, narrowed and bit-packed ones.
    CPeakData peak;
    peak.SetPkThreshMethod(0xBEEF);
    peak.SetIntStd(5, 9);
    peak.SetToxicLOQ(3, 0.125);
    peak.SetBoundValue(11, -7.5);
    peak.SetFormula(3, "C9H11Cl3NO3PS");
    peak.SetMatrixFlag(5);
    _tagINTERNAL_PEAK_DB_RECORD record;
    peak.GetPeak(record);
    EXPECT_EQ(ValueAt<uint16_t>(record, 1512), 0xBEEF);
    EXPECT_EQ(ValueAt<int32_t>(record, 2624 + 5 * 4), 9);
    EXPECT_EQ(ValueAt<double>(record, 2560 + 3 * 8), 0.125);
    EXPECT_EQ(ValueAt<double>(record, 2848 + 11 * 8), -7.5);
    EXPECT_STREQ(reinterpret_cast<const char*>(&record) + 2944 + 3 * 254, "C9H11Cl3NO3PS");
    EXPECT_EQ(ValueAt<uint32_t>(record, 2652), 0x800u);
}

TEST(PeakData, InitialValuesAndReservedBytes) {
    const CPeakData peak;
    _tagINTERNAL_PEAK_DB_RECORD record;
    std::memset(&record, 0xCC, sizeof record);
    peak.GetPeak(record);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
    const size_t reserved[][2] = {{4, 8}, {1444, 4}, {1464, 4}, {1492, 20}, {1514, 2}, {1556, 4}, {1596, 4},
                                  {1796, 4}, {1812, 4}, {1964, 4}, {2044, 4}, {2340, 4}, {2476, 4},
                                  {2596, 4}, {2842, 2}, {3996, 4}, {4020, 4}};
    for (const auto& range : reserved)
        for (size_t i = 0; i < range[1]; ++i) EXPECT_EQ(bytes[range[0] + i], 0) << range[0] + i;
    for (int k = 0; k < 6; ++k) EXPECT_EQ(peak.GetIntStd(k), -1);
    EXPECT_EQ(peak.GetIntStd(6), -1);
    EXPECT_EQ(peak.GetIntStd(-1), -1);
    EXPECT_EQ(peak.GetVulp(), -10.0);
    EXPECT_EQ(peak.GetppmError(), -10.0);
    EXPECT_EQ(peak.GetToxicConc(4), 0.0);
    EXPECT_EQ(peak.GetFormula(4), nullptr);
    EXPECT_STREQ(peak.GetFormula(0), "");

    // A record from the host comes back out byte for byte, reserved bytes included.
    unsigned char stored[sizeof(_tagINTERNAL_PEAK_DB_RECORD)];
    for (size_t i = 0; i < sizeof stored; ++i) stored[i] = static_cast<unsigned char>(i * 7 + 1);
    for (size_t end : {1348u + 83u, 2080u + 255u}) stored[end] = 0;  // texts read in place end in their field
    for (int k = 0; k < 4; ++k) stored[2944 + k * 254 + 253] = 0;
    _tagINTERNAL_PEAK_DB_RECORD in;
    std::memcpy(&in, stored, sizeof in);
    CPeakData loaded(in);
    loaded.SetID(4);
    _tagINTERNAL_PEAK_DB_RECORD out;
    loaded.GetPeak(out);
    EXPECT_EQ(std::memcmp(&out, stored, sizeof out), 0);
    CPeakData copy(loaded);
    copy.GetPeak(out);
    EXPECT_EQ(std::memcmp(&out, stored, sizeof out), 0);
    EXPECT_EQ(copy.GetID(), 4);
}

TEST(PeakData, DerivedValuesAndFlags) {
    CPeakData peak;
    EXPECT_EQ(peak.GetChroMassWindow(), 1.0f);
    EXPECT_EQ(peak.GetChroMassWindowAbs(), 1);
    peak.SetChroMassWindow(-2.0f);
    EXPECT_EQ(peak.GetChroMassWindowAbs(), 1);
    peak.SetChroMassWindow(0.5f);
    peak.SetChroMassWindowAbs(0);
    EXPECT_EQ(peak.GetChroMassWindow(), 0.5f);
    EXPECT_EQ(peak.GetChroMassWindowAbs(), 0);

    const struct { const char* flags; bool modified, flagged; } detection[] = {
        {"", false, false}, {"BB", false, false}, {"bVM", true, false}, {"m", false, false}, {"!M", true, true}};
    for (const auto& d : detection) {
        peak.SetPeakDetectionFlags(d.flags);
        EXPECT_EQ(peak.GetModified(), d.modified) << d.flags;
        EXPECT_EQ(peak.GetFlagged(), d.flagged) << d.flags;
    }

    peak.SetMatrixFlag(5);
    EXPECT_EQ(peak.GetMatrixFlag(), 1);
    peak.SetSolventFlag(1);
    peak.SetMatrixFlag(0);
    EXPECT_EQ(peak.GetMatrixFlag(), 0);
    EXPECT_EQ(peak.GetSolventFlag(), 1);
    EXPECT_EQ(peak.GetFlagWord(), 0x400u);
    EXPECT_TRUE(peak.GetBelowRL());
    peak.SetReportFlag(1);
    EXPECT_FALSE(peak.GetBelowRL());

    // Detection limits flag a target only with a valid concentration; the other flags alone.
    const struct {
        void (*raise)(CPeakData&);
        int validConc;
        bool flagged;
    } targets[] = {
        {[](CPeakData&) {}, 1, false},
        {[](CPeakData& p) { p.SetLODFlag(1); }, 0, false},
        {[](CPeakData& p) { p.SetLODFlag(1); }, 1, true},
        {[](CPeakData& p) { p.SetLOQFlag(1); }, 0, false},
        {[](CPeakData& p) { p.SetLOQFlag(1); }, 1, true},
        {[](CPeakData& p) { p.SetMinCCFlag(1); }, 0, true},
        {[](CPeakData& p) { p.SetIRWinFlag(1); }, 0, true},
        {[](CPeakData& p) { p.SetNoSolutionFlag(1); }, 0, true},
        {[](CPeakData& p) { p.SetPeakQuality(2); }, 0, true},  // failed quality
        {[](CPeakData& p) { p.SetPICSFlag(1); }, 0, true},
    };
    for (size_t k = 0; k < std::size(targets); ++k) {
        CPeakData target;
        target.SetValidConc(targets[k].validConc);
        targets[k].raise(target);
        EXPECT_EQ(target.GetTargetFlagged(), targets[k].flagged) << "case " << k;
    }

    CPeakData recovery;
    recovery.SetFixedConc(10.0);
    recovery.SetAnalConc(12.0);
    EXPECT_DOUBLE_EQ(recovery.GetRecoveryValue(), 120.0);
    recovery.SetUserFactor2(2.0);    // 12 / 2 = 6
    recovery.SetUserDivisor1(4.0);   // 6 * 4 = 24
    EXPECT_DOUBLE_EQ(recovery.GetRecoveryValue(), 240.0);
    recovery.SetFixedConc(0.0);
    EXPECT_EQ(recovery.GetRecoveryValue(), 0.0);

    CPeakData shape;
    shape.SetStartRT(10.0f);
    shape.SetEndRT(10.25f);
    EXPECT_DOUBLE_EQ(shape.GetBaselineWidth(), 15.0);
    shape.SetHeight(50.0);
    shape.SetArea(0.0001);
    EXPECT_EQ(shape.GetHeightDivArea(), 0.0);
    shape.SetArea(200.0);
    EXPECT_DOUBLE_EQ(shape.GetHeightDivArea(), 0.25);

    CPeakData member;
    member.SetTotalsGroup("Endosulfan, OC");
    EXPECT_TRUE(member.IsMemberOf("oc"));
    EXPECT_FALSE(member.IsMemberOf("PCB"));
}
