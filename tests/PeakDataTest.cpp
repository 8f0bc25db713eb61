// The peak entry: stored bytes at the host's offsets, initial values and reserved bytes, derived
// values and flags; and its report fields by number: the field table held against the documented
// numbers, forms and presence rules, round trips through the field texts, coded fields, and the
// stored window and threshold-method bytes. Refused edits are the peak_set_field fuzz target's.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "quan.h"

namespace {
template <class T>
T ValueAt(const _tagINTERNAL_PEAK_DB_RECORD& record, size_t offset) {
    T value;
    std::memcpy(&value, reinterpret_cast<const unsigned char*>(&record) + offset, sizeof value);
    return value;
}

using Field = CPeakData::PeakDataFields;

struct Shown { int result; std::string text; double number; };

Shown Read(const CPeakData& peak, int field) {
    std::string text = "stale";
    double number = -999.0;
    const int result = peak.PeakGetFieldStr(Field(field), false, text, number);
    return {result, text, number};
}

int Write(CPeakData& peak, int field, const std::string& value) {
    std::string text = value;
    return peak.PeakSetFieldStr(Field(field), 0, text);
}

// A peak on which every condition of every field holds, so reads show what writes stored.
CPeakData PeakShowingEverything() {
    CPeakData peak;
    peak.SetUserRFMode(1);
    peak.SetResponseFlag(1);
    peak.SetSecondaryPeaks(1);
    peak.SetInterferenceFlags(1);
    peak.SetValidConc(1);
    peak.SetUseEMPC(1);
    peak.SetDetectionThreshold(1.0);
    peak.SetQuantitationThreshold(1.0);
    peak.SetFixedConc(10.0);
    peak.SetRRFMean(1.0);
    return peak;
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
    EXPECT_EQ(peak.GetFormula(4), nullptr);

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
}

TEST(PeakData, DerivedValuesAndFlags) {
    CPeakData peak;
    EXPECT_EQ(peak.GetChroMassWindow(), 1.0f);  // an unset window reads as one mass unit

    const struct { const char* flags; bool modified, flagged; } detection[] = {
        {"", false, false}, {"BB", false, false}, {"bVM", true, false}, {"m", false, false}, {"!M", true, true}};
    for (const auto& d : detection) {
        peak.SetPeakDetectionFlags(d.flags);
        EXPECT_EQ(peak.GetModified(), d.modified) << d.flags;
        EXPECT_EQ(peak.GetFlagged(), d.flagged) << d.flags;
    }

    peak.SetSolventFlag(1);
    EXPECT_EQ(peak.GetFlagWord(), 0x400u);
    EXPECT_TRUE(peak.GetBelowRL());
    peak.SetReportFlag(1);
    EXPECT_FALSE(peak.GetBelowRL());

    // Detection limits flag a target only with a valid concentration; the other flags alone.
    const struct { void (*raise)(CPeakData&); int validConc; bool flagged; } targets[] = {
        {[](CPeakData&) {}, 1, false},
        {[](CPeakData& p) { p.SetLODFlag(1); }, 0, false},
        {[](CPeakData& p) { p.SetLODFlag(1); }, 1, true},
        {[](CPeakData& p) { p.SetLOQFlag(1); }, 0, false},
        {[](CPeakData& p) { p.SetLOQFlag(1); }, 1, true},
        {[](CPeakData& p) { p.SetMinCCFlag(1); }, 0, true},
        {[](CPeakData& p) { p.SetIRWinFlag(1); }, 0, true},
        {[](CPeakData& p) { p.SetPeakQuality(2); }, 0, true},  // failed quality
        {[](CPeakData& p) { p.SetPICSFlag(1); }, 0, true},
    };
    for (size_t k = 0; k < std::size(targets); ++k) {
        CPeakData target;
        target.SetValidConc(targets[k].validConc);
        targets[k].raise(target);
        EXPECT_EQ(target.GetTargetFlagged(), targets[k].flagged) << "case " << k;
    }

    peak.SetFixedConc(10.0);
    peak.SetAnalConc(12.0);
    EXPECT_DOUBLE_EQ(peak.GetRecoveryValue(), 120.0);
    peak.SetUserFactor2(2.0);    // 12 / 2 = 6
    peak.SetUserDivisor1(4.0);   // 6 * 4 = 24
    EXPECT_DOUBLE_EQ(peak.GetRecoveryValue(), 240.0);
    peak.SetFixedConc(0.0);
    EXPECT_EQ(peak.GetRecoveryValue(), 0.0);

    peak.SetStartRT(10.0f);
    peak.SetEndRT(10.25f);
    EXPECT_DOUBLE_EQ(peak.GetBaselineWidth(), 15.0);
    peak.SetHeight(50.0);
    peak.SetArea(0.0001);
    EXPECT_EQ(peak.GetHeightDivArea(), 0.0);
    peak.SetArea(200.0);
    EXPECT_DOUBLE_EQ(peak.GetHeightDivArea(), 0.25);

    peak.SetTotalsGroup("Endosulfan, OC");  // a list, compared without regard to case
    EXPECT_TRUE(peak.IsMemberOf("oc"));
    EXPECT_FALSE(peak.IsMemberOf("PCB"));
}

// Every numbered field, written out from the report documentation apart from the code's own
// table: number, form (T text, N number, Z "YES" when zero, S "YES" when set, C coded,
// - no source), who shows it (A any peak, P a present peak only, d hidden on a deleted peak by
// its own condition) and name.
constexpr const char* kDocumentedFields =
    "0:NA:Version 1:TA:RawName 2:TA:RawDate 3:TA:RawTime 4:TA:MethodName 5:TA:MethodDate 6:TA:MethodTime "
    "7:NA:MDBEntry 8:NA:MDBEntryPeak 9:NA:MDBEntryPeakID 10:TA:CurveDBName 11:TA:CurveDBDate 12:TA:CurveDBTime "
    "13:TA:Name 14:TA:Cas 15:TA:Text 16:TA:RepUnits 17:TA:SampleID 18:TA:Flags 19:ZA:ExcludedStd "
    "20:TA:ModifiedDate 21:TA:ModifiedTime 22:TA:ModifiedUser 23:TA:ModifiedText 24:NA:RawAcquisitionFunction "
    "25:TA:QuanTrace 26:NA:ChroMassWindow 27:ZA:ChroMassWindowAbs 28:NA:ChroNoiseLevel 29:ZA:SmooEnable "
    "30:NA:SmooMethod 31:NA:SmooIter 32:NA:SmooWidth 33:NA:PkBalance 34:NA:PkSplitting 35:ZA:PkShldrDetect "
    "36:NA:PkShldrThresh 37:NA:PkReduceTail 38:NA:PkMaxReduceHt 39:NA:PkThreshMethod 40:NA:PkRespAreaRel "
    "41:NA:PkRespAreaAbs 42:NA:PkRespHeightRel 43:NA:PkRespHeightAbs 44:NA:PkStartRangeTime "
    "45:NA:PkEndRangeTime 46:NA:PkExtentWin 47:NA:MatThresh 48:NA:ForThresh 49:NA:RevThresh 50:NA:AreaThresh "
    "51:NA:HeightThresh 52:NA:LocateBy 53:NA:PredRT 54:NA:PredRRT 55:NA:LocateRTWin 56:NA:RRTRef "
    "57:NA:PredResp 58:NA:LocateRespWin 59:NA:LocateChoice 60:CA:RAH 61:CA:RCalc 62:NA:RRef 63:NA:RSubX "
    "64:NA:RSubY 65:NA:UserDivisor1 66:NA:UserFactor3 67:NA:InjectionVolume 68:NA:UserFactor2 "
    "69:NA:GPDilutionFactor 70:NA:StockDilutionFactor 71:NA:StdConc 72:CA:StdLevels 73:NA:CCalc 74:NA:XYTrans "
    "75:NA:ZeroResp 76:NA:Origin 77:NA:WeightingFunction 78:NA:MinArea 79:NA:MinHeight "
    "80:NA:DetectionThreshold 81:NA:QuantitationThreshold 82:NA:LinearityLimit 83:NA:CarryOverThreshold "
    "84:NA:CCThreshold 85:NA:IonRatio 86:NA:IonRatioWin 87:NA:IonRatioRef 88:NA:UserRatio 89:ZA:UserRFMode "
    "90:NA:UserRF 91:NA:UserFactor1 92:CA:DetectionFlags 93:ZA:MinAreaFlag 94:ZA:MinHeightFlag 95:ZA:LODFlag "
    "96:ZA:LOQFlag 97:ZA:LOLFlag 98:ZA:COLFlag 99:ZA:MinCCFlag 100:SP:IRWinFlag 101:SA:NoSolutionFlag "
    "102:NA:Mat 103:NA:For 104:NA:Rev 105:NA:PredScan 106:NP:FoundScan 107:NP:DeltaScan 108:NP:StScan "
    "109:NP:EnScan 110:NP:FoundRT 111:NP:FoundRRT 112:NP:StartRT 113:NP:EndRT 114:NP:StHeight 115:NP:EnHeight "
    "116:Nd:Area 117:Nd:Height 118:NP:ActualIonRatio 119:NP:AbsResponse 120:Nd:Response 121:NA:FixedConc "
    "122:NA:AnalConc 123:SA:ValidConc 124:NA:MDBIntegrateEntry 125:NA:MDBIntegrateEntryPeak 126:NA:PeakMass "
    "127:NA:PkSpectralRevFitValue 128:ZA:Blank 129:NA:BSAnalConc 130:NA:BlankSubtractConc "
    "131:NP:SecondaryPeaks 132:NA:SecondaryArea 133:NA:SecondaryHeight 134:ZA:TotalsPeak "
    "135:ZA:TotalsUnnamedPeak 136:NA:TotalsNumPeaks 137:TA:TotalsGroup 138:NA:TotalsInclude "
    "139:NA:StandardDeviation 140:NA:RelStandardDeviation 141:NA:RecoveryDeviation 142:NA:RecoveryValue "
    "143:NA:RRFMean 144:NA:RRFStdDev 145:NA:RRFPercRelSD 146:NA:ChromNoise 147:NA:SecondaryChromNoise "
    "148:NP:RRF 149:NP:SignalToNoise 150:NP:SecondarySignalToNoise 151:ZP:SignalToNoiseLODFlag "
    "152:ZP:SignalToNoiseLOQFlag 153:NA:ToxicConc0 154:NA:ToxicConc1 155:NA:ToxicConc2 156:NA:ToxicConc3 "
    "157:NA:EMPC 158:NP:CorrectedResponse 159:NP:AbsCorrectedResponse 160:-A:Unused160 161:SP:SigNoiseFlag "
    "162:-A:Unused162 163:SA:RecoveryFlag 164:SP:MaxConcFlag 165:SA:CoeffDetFlag 166:SP:ReportFlag "
    "167:SA:PeakMissingFlag 168:SA:RTToleranceFlag 169:NA:ChromMeanNoise 170:NA:Width 171:NA:Sigma 172:NA:Skew "
    "173:NA:Kurt 174:NP:BaselineWidth 175:NP:HeightDivArea 176:CA:PeakQuality 177:TA:PeakQualityStr "
    "178:NA:ToxicLOD0 179:NA:ToxicLOD1 180:NA:ToxicLOD2 181:NA:ToxicLOD3 182:NA:ToxicLOQ0 183:NA:ToxicLOQ1 "
    "184:NA:ToxicLOQ2 185:NA:ToxicLOQ3 186:ZA:TotalsGroupPeak 187:NA:BoundValue0 188:NA:BoundValue1 "
    "189:NA:BoundValue2 190:NA:BoundValue3 191:NA:BoundValue4 192:NA:BoundValue5 193:NA:BoundValue6 "
    "194:NA:BoundValue7 195:NA:BoundValue8 196:NA:BoundValue9 197:NA:BoundValue10 198:NA:BoundValue11 "
    "199:-A:Unused199 200:-A:Unused200 201:-A:Unused201 202:-A:Unused202 203:-A:Unused203 "
    "204:CA:InterferenceFlags 205:NA:InterferencePercentage 206:NP:ActualQuanRatio 207:SA:BelowRL "
    "208:-A:Unused208 209:-A:Unused209 210:SA:SolventFlag 211:SA:MatrixFlag 212:SA:QCDevHighFlag "
    "213:SA:QCDevLowFlag 214:SA:QCDevMidFlag 215:SA:MethodQCDevFlag 216:SA:MethodQCUserDevFlag "
    "217:NA:MethodQCDevThresh 218:SA:PeakAsymmetryFlag 219:NP:PreWidth 220:NP:PostWidth "
    "221:NP:PeakAsymmetryValue 222:NP:PICSForward 223:NP:PICSReverse 224:NP:Vulp 225:NP:VulpNorm "
    "226:NP:Confidence 227:NP:FoundMass 228:NP:mDaError 229:NP:ppmError 230:SA:VulpFlag 231:SA:VulpNormFlag "
    "232:SA:ConfidenceFlag 233:SA:mDaErrorFlag 234:SA:ppmErrorFlag 235:SA:IsAccurateMass "
    "16384:SA:ISDevHighFlag";

TEST(PeakFieldStrings, FieldTableMatchesTheDocumentedNumbersFormsAndPresence) {
    const std::map<char, PeakFieldForm> forms = {{'T', PeakFieldForm::kText},      {'N', PeakFieldForm::kNumber},
                                                 {'Z', PeakFieldForm::kYesIfZero}, {'S', PeakFieldForm::kYesIfSet},
                                                 {'C', PeakFieldForm::kCoded},     {'-', PeakFieldForm::kNoSource}};
    const CPeakData live = PeakShowingEverything();
    CPeakData deleted = live;
    deleted.SetPeakDeleted(1);
    std::istringstream rows(kDocumentedFields);
    size_t count = 0;
    for (std::string row; rows >> row; ++count) {
        const int number = std::stoi(row);
        const size_t colon = row.find(':');
        const char form = row[colon + 1], who = row[colon + 2];
        const std::string name = row.substr(colon + 4);
        const PeakFieldInfo* info = FindPeakField(number);
        ASSERT_NE(info, nullptr) << number;
        EXPECT_EQ(info->name, name) << number;
        EXPECT_EQ(info->form, forms.at(form)) << number << " " << name;
        const Shown shown = Read(live, number), hidden = Read(deleted, number);
        const std::string shows = std::to_string(shown.result) + "/" + std::to_string(hidden.result);
        EXPECT_TRUE(who != 'P' || shows == "1/0") << number << " " << name << " shows " << shows;
        EXPECT_TRUE(who != 'A' || shown.result == hidden.result) << number << " " << name << " shows " << shows;
    }
    EXPECT_EQ(count, PeakFieldList().size());
}

TEST(PeakFieldStrings, EveryStoredFieldReadsBackWhatItsOwnTextWrote) {
    int checked = 0;
    for (const PeakFieldInfo& info : PeakFieldList()) {
        if (!info.settable) continue;
        CPeakData peak = PeakShowingEverything();
        const int field = info.field;
        switch (info.form) {
            case PeakFieldForm::kNumber:
                ASSERT_EQ(Write(peak, field, "7"), 1) << "field " << field;
                EXPECT_EQ(Read(peak, field).number, 7.0) << "field " << field;
                break;
            case PeakFieldForm::kText:
                ASSERT_EQ(Write(peak, field, "Q1 trace"), 1) << "field " << field;
                EXPECT_EQ(Read(peak, field).text, "Q1 trace") << "field " << field;
                break;
            case PeakFieldForm::kYesIfZero:
            case PeakFieldForm::kYesIfSet:
            case PeakFieldForm::kCoded:
                // Whatever a field shows, written back, shows the same again.
                for (const char* text : {"YES", "NO", "H", "L", "Pass", "Fail", "Ref", "n/a", "B", "IS"}) {
                    ASSERT_EQ(Write(peak, field, text), 1) << "field " << field;
                    const std::string shown = Read(peak, field).text;
                    ASSERT_EQ(Write(peak, field, shown), 1) << "field " << field;
                    EXPECT_EQ(Read(peak, field).text, shown) << "field " << field << " after " << text;
                }
                break;
            case PeakFieldForm::kNoSource: ADD_FAILURE() << "field " << field << " has no source"; break;
        }
        ++checked;
    }
    EXPECT_GT(checked, 150);
}

TEST(PeakFieldStrings, CodedFieldsShowTheirCodesAndTakeNumbersOrCodes) {
    const struct {
        int field;
        void (*store)(CPeakData&, int);
        int (*stored)(const CPeakData&);
        std::vector<std::pair<int, const char*>> shown;    // stored number, text shown
        std::vector<std::pair<const char*, int>> written;  // text written, number stored
    } coded[] = {
        // "L" is not a level a peak shows: read as a number, 0
        {72, [](CPeakData& p, int v) { p.SetStdLevels(v); }, [](const CPeakData& p) { return p.GetStdLevels(); },
         {{0, "FIXED"}, {12, "K"}, {13, ""}}, {{"5", 5}, {"B", 3}, {"L", 0}}},
        {176, [](CPeakData& p, int v) { p.SetPeakQuality(v); }, [](const CPeakData& p) { return p.GetPeakQuality(); },
         {{1, "Pass"}, {3, "Ref"}, {9, "n/a"}}, {{"Fail", 2}, {"fail", 0}}},
        {204, [](CPeakData& p, int v) { p.SetInterferenceFlags(v); },
         [](const CPeakData& p) { return p.GetInterferenceFlags(); }, {{1, "H"}, {2, "L"}, {-4, "L"}},
         {{"H", 1}, {"L", 2}, {"h", 2}, {"", 2}, {"1", 2}}},
    };
    for (const auto& c : coded) {
        CPeakData peak;
        for (const auto& [value, text] : c.shown) {
            c.store(peak, value);
            const Shown shown = Read(peak, c.field);
            EXPECT_EQ(std::pair(shown.result, shown.text), std::pair(1, std::string(text))) << c.field << " " << value;
        }
        for (const auto& [text, value] : c.written) {
            EXPECT_EQ(Write(peak, c.field, text), 1);
            EXPECT_EQ(c.stored(peak), value) << "field " << c.field << " text " << text;
        }
    }
}

TEST(PeakFieldStrings, StoredWindowAndThresholdMethodBytes) {
    _tagINTERNAL_PEAK_DB_RECORD record{};  // window 0, not absolute
    const unsigned char word[4] = {0x02, 0x00, 0x01, 0x00};  // method 2, reserved bytes 0x0001
    std::memcpy(reinterpret_cast<unsigned char*>(&record) + 1512, word, sizeof word);
    CPeakData peak(record);
    // The stored values, not the getters' defaults for an unset window.
    EXPECT_EQ(Read(peak, 26).number, 0.0);
    EXPECT_EQ(Read(peak, 27).text, "YES");
    EXPECT_EQ(Read(peak, 39).number, 65538.0);

    EXPECT_EQ(Write(peak, 39, "7"), 1);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&peak.GetRecord());
    const unsigned char written[4] = {7, 0, 0, 0};  // the reserved bytes cleared
    EXPECT_EQ(std::memcmp(bytes + 1512, written, sizeof written), 0);
    EXPECT_EQ(peak.GetPkThreshMethod(), 7);
    EXPECT_EQ(Write(peak, 26, "0.5"), 1);
    EXPECT_EQ(peak.GetChroMassWindow(), 0.5f);
}

// The buffer forms a host passes: never written past, a text that does not fit leaves the
// buffer empty and produces nothing; writing the locate method or the flags answers with the
// code or the letters, and writing the flags of a placeholder clears them.
TEST(PeakFieldStrings, BufferFormsAndTheFieldsThatAnswerAWrite) {
    CPeakData peak = PeakShowingEverything();
    peak.SetName("benzo[a]pyrene");
    std::string name;
    double number = 0.0;
    ASSERT_EQ(peak.PeakGetFieldStr(CPeakData::kPeakName, false, name, number), 1);
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(peak.PeakGetFieldStr(CPeakData::kPeakName, false, buffer, name.size() + 1, number), 1);
    EXPECT_EQ(std::string(buffer), name);
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(peak.PeakGetFieldStr(CPeakData::kPeakName, false, buffer, name.size(), number), 0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[name.size()], '#');
    peak.SetArea(12.5);
    number = 0.0;
    EXPECT_EQ(peak.PeakGetFieldStr(CPeakData::kPeakArea, false, nullptr, 0, number), 1);  // a number needs no buffer
    EXPECT_EQ(number, 12.5);
    EXPECT_EQ(peak.PeakGetFieldStr(CPeakData::kPeakName, false, nullptr, 0, number), 0);
    EXPECT_EQ(peak.PeakGetFieldStr(CPeakData::kPeakName, false, buffer, number), 1);
    EXPECT_EQ(std::string(buffer), name);

    char reply[8] = "ignored";
    peak.SetLocateBy(kLocateByRT);
    EXPECT_EQ(peak.PeakSetFieldStr(CPeakData::kPeakLocateBy, 0, reply, sizeof reply), 1);
    EXPECT_STREQ(reply, "RT");
    peak.SetExcludedStd(1);
    peak.SetNoSolutionFlag(1);
    peak.SetPeakDeleted(true);
    std::strcpy(reply, "x");
    EXPECT_EQ(peak.PeakSetFieldStr(CPeakData::kPeakDetectionFlags, 0, reply, 3), 0);  // "XI-" does not fit
    EXPECT_STREQ(reply, "");
    EXPECT_EQ(peak.PeakSetFieldStr(CPeakData::kPeakDetectionFlags, 0, reply), 1);
    EXPECT_STREQ(reply, "XI-");
    peak.SetPeakDetectionFlags("BB");
    peak.SetPlaceHolder(1);
    EXPECT_EQ(peak.PeakSetFieldStr(CPeakData::kPeakDetectionFlags, 0, reply, sizeof reply), 1);
    EXPECT_EQ(peak.GetPeakDetectionFlags(), "");
    EXPECT_EQ(peak.PeakSetFieldStr(CPeakData::PeakDataFields(9999), 0, nullptr, 0), 1);
    std::strcpy(reply, "2.5");
    EXPECT_EQ(peak.PeakSetFieldStr(CPeakData::kPeakArea, 0, reply, sizeof reply), 1);
    EXPECT_EQ(peak.GetArea(), 2.5);
}
