// Method entries and the method list: list protocol, XML round trips, hostile documents,
// comparitor sharing and calibration references.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "quan.h"

namespace {

// An entry with a distinct value in every kind of setting: text, int, float, double, indexed.
CMethodData RichEntry(const std::string& name) {
    CMethodData entry;
    entry.SetName(name);
    entry.SetCas("50-32-8");
    entry.SetRepUnits("ng/mL");
    entry.SetFlags("ISTD & <x>");  // characters XML must escape
    entry.SetCalCompound(name);
    entry.SetTotalsGroup("PAH; EPA16");
    entry.SetLocateBy(1);
    entry.SetPredRT(12.3456789f);
    entry.SetLocateRTWin(0.1f);  // not exactly representable: must still read back bit-identical
    entry.SetPredResp(1.0 / 3.0);
    entry.SetLocateRespWin(-2.5e-300);
    entry.SetQuanTrace("252.1");
    entry.SetTargetTrace(0, "250.1");
    entry.SetTargetTrace(3, "216.1>174.1");
    entry.SetTargetRatio(1, 0.123456789012345678);
    entry.SetTargetWindow(2, -20);
    entry.SetTargetRTWin(3, 3.4028235e38f);
    entry.SetIStd(5, 4);
    entry.SetRRef(2);
    entry.SetRCalc(1);
    entry.SetUserRF(6.02214076e23);
    entry.SetToxicEquiv(3, 0.01);
    entry.SetPkThreshMethod(65535);
    entry.SetChroNoiseLevel(1.5e-7f);
    entry.SetMonitorQCLowConc(1e-12);
    return entry;
}

bool ReadUtf8(CMethodList& list, const std::string& text) { return list.ReadXML(text); }

std::u16string ToUtf16(const std::string& text) {
    std::u16string wide;
    EXPECT_TRUE(Brisk::Utf8ToUtf16(text, wide));
    return wide;
}

}  // namespace

TEST(MethodList, XmlRoundTripKeepsEverySettingExactly) {
    CMethodList written;
    written.Add(RichEntry("Benzo[a]pyrene"));
    CMethodData second = RichEntry("Chrysene");
    second.SetPredRT(0.0f);
    second.SetTargetTrace(0, "");
    second.SetMoleRatio(1);
    written.Add(second);

    Brisk::CXMLBuilderT<256> builder;
    ASSERT_TRUE(written.WriteXML(builder));
    EXPECT_EQ(builder.GetOpenCount(), 0);

    for (bool wide : {false, true}) {
        CMethodList read;
        if (wide) ASSERT_TRUE(read.ReadXML(builder.GetText16().c_str()));
        else ASSERT_TRUE(ReadUtf8(read, builder.GetText()));
        ASSERT_EQ(read.GetSize(), 2);
        for (int i = 0; i < 2; ++i) {
            const CMethodRecord& original = written.GetAt(i);
            const CMethodRecord& copy = read.GetAt(i);
            EXPECT_TRUE(copy == original) << "entry " << i << (wide ? " (UTF-16)" : " (UTF-8)");
        }
        // Bit-identical floats, not merely close ones.
        float a = written.GetAt(0).GetLocateRTWin(), b = read.GetAt(0).GetLocateRTWin();
        EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
        EXPECT_EQ(read.GetAt(0).GetFlags(), "ISTD & <x>");
        EXPECT_EQ(read.GetAt(0).GetTargetTrace(3), "216.1>174.1");
        EXPECT_EQ(read.GetAt(0).GetPkThreshMethod(), 65535);
    }
}

TEST(MethodList, ReadingAppendsAfterExistingEntries) {
    CMethodList list;
    list.Add(RichEntry("Existing"));
    ASSERT_TRUE(ReadUtf8(list, "<?xml version=\"1.0\"?><METHODLIST><E Name=\"New\"/></METHODLIST>"));
    ASSERT_EQ(list.GetSize(), 2);
    EXPECT_EQ(list.GetAt(0).GetName(), "Existing");
    EXPECT_EQ(list.GetAt(1).GetName(), "New");
}

TEST(MethodList, DocumentShapesAndBadDocuments) {
    const struct {
        const char* text;
        bool result;
        int entries;
    } cases[] = {
        // no declaration: the list element is taken to be the declaration, so nothing is read
        {"<METHODLIST><E Name=\"A\"/></METHODLIST>", true, 0},
        {"<?xml version=\"1.0\"?><METHODLIST/>", true, 0},
        {"<?xml version=\"1.0\"?><METHODLIST><E Name=\"A\"/><E Name=\"B\"/></METHODLIST>", true, 2},
        // the top-level element's name plays no part; text and comments between entries are skipped
        {"<?xml version=\"1.0\"?>\n<ANY>\n  <!-- c --> <E Name=\"A\"/>\n text <E Name=\"B\"/></ANY>", true, 2},
        // an attribute whose number does not parse skips that entry only
        {"<?xml version=\"1.0\"?><L><E Name=\"A\" PredRT=\"12,5\"/><E Name=\"B\" RRef=\"7x\"/><E Name=\"C\" RRef=\"99999999999\"/><E Name=\"D\" RRef=\"3\"/></L>", true, 1},
        // unknown attributes are ignored
        {"<?xml version=\"1.0\"?><L><E Name=\"A\" Colour=\"blue\"/></L>", true, 1},
        {"", false, 0},
        {"<?xml version=\"1.0\"?><METHODLIST><E Name=\"A\">", false, 0},
        {"<?xml version=\"1.0\"?><METHODLIST></WRONG>", false, 0},
        {"not xml at all", false, 0},
    };
    for (const auto& c : cases) {
        CMethodList list;
        list.Add(RichEntry("Kept"));
        EXPECT_EQ(ReadUtf8(list, c.text), c.result) << c.text;
        EXPECT_EQ(list.GetSize(), 1 + c.entries) << c.text;
        EXPECT_EQ(list.GetAt(0).GetName(), "Kept") << c.text;
    }
    CMethodList list;
    EXPECT_FALSE(list.ReadXML(static_cast<const char16_t*>(nullptr)));
    EXPECT_EQ(list.GetSize(), 0);
}

TEST(MethodList, Utf16WithAndWithoutByteOrderMark) {
    const std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-16\"?><METHODLIST><E Name=\"\xC3\x9F-Endosulfan\" PredRT=\"9.5\"/></METHODLIST>";
    const std::u16string plain = ToUtf16(text);
    const std::u16string marked = u"\uFEFF" + plain;
    for (const std::u16string& wide : {plain, marked}) {
        CMethodList list;
        ASSERT_TRUE(list.ReadXML(wide.c_str()));
        ASSERT_EQ(list.GetSize(), 1);
        EXPECT_EQ(list.GetAt(0).GetName(), "\xC3\x9F-Endosulfan");
        EXPECT_EQ(list.GetAt(0).GetPredRT(), 9.5f);
    }
    // An unpaired surrogate is not text.
    std::u16string broken = plain;
    broken[10] = 0xD800;
    CMethodList list;
    EXPECT_FALSE(list.ReadXML(broken.c_str()));
}

TEST(MethodList, EntityBombIsRefusedQuickly) {
    std::string bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n<!ENTITY lol \"lollollollollollollollollollol\">\n";
    std::string previous = "lol";
    for (int level = 1; level <= 9; ++level) {
        const std::string name = "lol" + std::to_string(level);
        bomb += "<!ENTITY " + name + " \"";
        for (int k = 0; k < 10; ++k) bomb += "&" + previous + ";";
        bomb += "\">\n";
        previous = name;
    }
    bomb += "]>\n<METHODLIST><E Name=\"&" + previous + ";\"/></METHODLIST>";
    const auto start = std::chrono::steady_clock::now();
    CMethodList list;
    EXPECT_FALSE(ReadUtf8(list, bomb));
    EXPECT_EQ(list.GetSize(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(MethodList, ExternalEntitiesAreNotLoaded) {
    const std::string text =
        "<?xml version=\"1.0\"?><!DOCTYPE m [<!ENTITY ext SYSTEM \"file:///etc/hostname\">]>"
        "<METHODLIST><E Name=\"x&ext;\"/></METHODLIST>";
    CMethodList list;
    // Either the document is refused or the entity stays unresolved; the file is never read in.
    if (ReadUtf8(list, text) && list.GetSize() == 1) {
        EXPECT_EQ(list.GetAt(0).GetName().find('\n'), std::string::npos);
    }
}

TEST(MethodList, ListProtocol) {
    CMethodList list;
    CMethodData entry = RichEntry("A");
    EXPECT_FALSE(list.SetAt(0, entry));  // never sized
    EXPECT_EQ(list.GetSize(), 0);
    ASSERT_TRUE(list.SetSize(1));
    EXPECT_TRUE(list.SetAt(0, entry));
    EXPECT_FALSE(list.SetAt(1, entry));   // outside the list
    EXPECT_FALSE(list.SetAt(-1, &entry));
    EXPECT_FALSE(list.Remove(1));
    EXPECT_EQ(list.GetSize(), 1);

    // SetAt with the list's own entry as argument copies before replacing.
    EXPECT_TRUE(list.SetAt(0, list.GetAt(0)));
    EXPECT_EQ(list.GetAt(0).GetName(), "A");

    for (int i = 0; i < 4; ++i) list.Add(RichEntry("E" + std::to_string(i)));
    ASSERT_EQ(list.GetSize(), 5);
    EXPECT_TRUE(list.Remove(2));
    EXPECT_EQ(list.GetSize(), 5);
    EXPECT_EQ(list.GetEntry(2), nullptr);
    EXPECT_EQ(list.GetAt(3).GetName(), "E2");

    // Add copies: the caller keeps its object and later changes do not reach the list.
    entry.SetName("Changed");
    EXPECT_EQ(list.GetAt(0).GetName(), "A");

    ASSERT_TRUE(list.SetSize(3));  // shrinking drops the slots beyond
    EXPECT_EQ(list.GetSize(), 3);
    ASSERT_TRUE(list.SetSize(6));  // growing adds empty slots
    EXPECT_EQ(list.GetEntry(5), nullptr);
    EXPECT_FALSE(list.SetSize(-1));
    list.EmptyMethodList();
    EXPECT_EQ(list.GetSize(), 0);
}

TEST(MethodList, CopyAndAssignmentCopyEntriesAndNames) {
    CMethodList source;
    source.SetDBName("PAH.mdb");
    source.SetCreationDate("06/12/2026");
    source.SetCreationTime("19:10:00");
    source.SetModifiedTime(1796500000);
    for (const char* name : {"A", "B", "C"}) source.Add(RichEntry(name));
    source.Remove(1);

    CMethodList target;
    target.Add(RichEntry("Old"));
    target = source;
    ASSERT_EQ(target.GetSize(), 3);
    EXPECT_EQ(target.GetAt(0).GetName(), "A");
    EXPECT_EQ(target.GetEntry(1), nullptr);
    EXPECT_EQ(target.GetAt(2).GetName(), "C");
    EXPECT_EQ(target.GetDBName(), "PAH.mdb");
    EXPECT_EQ(target.GetCreationDate(), "06/12/2026");
    EXPECT_EQ(target.GetCreationTime(), "19:10:00");
    EXPECT_EQ(target.GetModifiedTime(), 1796500000);
    EXPECT_NE(&target.GetAt(0), &source.GetAt(0));

    const CMethodList copy(source);
    EXPECT_EQ(copy.GetSize(), 3);
    EXPECT_EQ(copy.GetAt(2).GetName(), "C");

    target = target;  // self-assignment keeps everything
    EXPECT_EQ(target.GetAt(2).GetName(), "C");
}

TEST(MethodList, FixCalReferences) {
    CMethodList list;
    const struct {
        const char* name;
        const char* calCompound;
        const char* expected;
    } entries[] = {
        {"Pyrene", "Pyrene", "Pyrene"},          // itself
        {"Pyrene-d10", "Pyrene", "Pyrene"},      // another entry
        {"Chrysene", "Missing", "Chrysene"},     // names nothing
        {"Anthracene", "pyrene", "Anthracene"},  // differs only in case: names nothing
        {"Fluorene", "", "Fluorene"},
    };
    for (const auto& e : entries) {
        CMethodData entry;
        entry.SetName(e.name);
        entry.SetCalCompound(e.calCompound);
        list.Add(entry);
    }
    list.FixCalReferences();
    for (int i = 0; i < list.GetSize(); ++i) EXPECT_EQ(list.GetAt(i).GetCalCompound(), entries[i].expected) << i;
}

TEST(MethodData, WorkingStateAndForwarders) {
    CMethodData entry;
    EXPECT_STREQ(entry.GetClassName(), "CMethodData");
    EXPECT_TRUE(entry.IsKindOf("CMethodRecord"));
    EXPECT_FALSE(QuanClassFramework::IsRegistered("CMethodData"));
    EXPECT_TRUE(QuanClassFramework::IsRegistered("CMethodList"));
    EXPECT_EQ(entry.GetLocatedPDBEntry(), 0);
    EXPECT_EQ(entry.GetSoughtRT(), 0.0f);

    entry.SetIntStd(2, 7);
    EXPECT_EQ(entry.GetIStd(2), 7);
    entry.SetCorrResponse(2.5);
    EXPECT_EQ(entry.GetCorrectedResponse(), 2.5);
    entry.SetUnlabledRatio(0.25);
    EXPECT_EQ(entry.GetUnlabelledRatio(), 0.25);
    entry.SetUseMolRatio(1);
    EXPECT_EQ(entry.GetMoleRatio(), 1);

    const struct { int choice; bool totals, group; } choices[] = {{0, false, false}, {5, true, false}, {6, false, true}};
    for (const auto& c : choices) {
        entry.SetLocateChoice(c.choice);
        EXPECT_EQ(entry.GetTotalsEntry(), c.totals);
        EXPECT_EQ(entry.GetTotalsGroupEntry(), c.group);
    }
    entry.SetChroMassWindowABS(0.5f);
    entry.SetChroMassWindowPPM(5.0f);
    int absolute = -1;
    EXPECT_EQ(entry.GetChroMassWindow(absolute), 5.0f);
    EXPECT_EQ(absolute, 0);
    entry.SetChroMassWindowAbs(1);
    EXPECT_EQ(entry.GetChroMassWindow(absolute), 0.5f);
    EXPECT_EQ(absolute, 1);

    // Assigning a record resets the working state.
    entry.SetLocated(1);
    entry.SetFoundRT(4.0f);
    CMethodRecord record;
    record.SetName("From record");
    entry = record;
    EXPECT_EQ(entry.GetLocated(), 0);
    EXPECT_EQ(entry.GetFoundRT(), 0.0f);
    EXPECT_EQ(entry.GetName(), "From record");
}

TEST(MethodData, ComparitorsAreCachedAndShared) {
    CMethodData entry;
    entry.SetQuanTrace("304.2");
    entry.SetTargetTrace(3, "TIC");
    EXPECT_EQ(entry.GetMassComparitor(-1), nullptr);
    EXPECT_EQ(entry.GetMassComparitor(5), nullptr);
    CMassStringComparitor* quan = entry.GetMassComparitor(0);
    ASSERT_NE(quan, nullptr);
    EXPECT_EQ(entry.GetMassComparitor(0), quan);
    EXPECT_EQ(quan->GetWindow(), 0.005);
    EXPECT_EQ(entry.GetMassComparitor(4)->GetTrace(), "TIC");

    {
        CMethodData copy(entry);
        EXPECT_EQ(copy.GetMassComparitor(0), quan);
        EXPECT_EQ(quan->GetCount(), 2);
        CMethodData assigned;
        assigned.SetIsAccurateMass(1);
        EXPECT_EQ(assigned.GetMassComparitor(0)->GetWindow(), 0.0001);  // its own, then released
        assigned = copy;
        EXPECT_EQ(assigned.GetMassComparitor(0), quan);
        EXPECT_EQ(quan->GetCount(), 3);
        assigned = assigned;
        EXPECT_EQ(quan->GetCount(), 3);
        CMethodList list;
        list.Add(entry);
        list.Add(&copy);
        EXPECT_EQ(quan->GetCount(), 5);
    }
    EXPECT_EQ(quan->GetCount(), 1);  // the sanitizer build catches a leak or a double free here
}

TEST(MethodData, IntegrationBlockBytes) {
    CMethodData entry;
    entry.SetSmooEnabled(1);
    entry.SetSmooMethod(2);
    entry.SetSmooWidth(5);
    entry.SetSmooIter(3);
    entry.SetPkMode(4);
    entry.SetPkShldrDetect(1);
    entry.SetPkBalance(0.5f);
    entry.SetPkKelOperations(9);
    entry.SetPkThreshMethod(2);
    entry.SetPkRespHeightAbs(250.0f);
    entry.SetChroNoiseLevel(0.75f);
    entry.SetChroAuto(1);

    tagINTEGRATE_PARAMS block;
    std::memset(&block, 0xAB, sizeof block);
    ASSERT_TRUE(entry.GetIntegrateParameters(&block, false));
    const auto* bytes = reinterpret_cast<const unsigned char*>(&block);
    auto int32At = [&](size_t offset) { int32_t v; std::memcpy(&v, bytes + offset, 4); return v; };
    auto floatAt = [&](size_t offset) { float v; std::memcpy(&v, bytes + offset, 4); return v; };
    EXPECT_EQ(int32At(0), 1);
    EXPECT_EQ(int32At(4), 2);
    EXPECT_EQ(int32At(8), 2);
    EXPECT_EQ(int32At(16), 5);
    EXPECT_EQ(int32At(20), 3);
    EXPECT_EQ(floatAt(36), 0.3f);
    EXPECT_EQ(int32At(48), 4);
    EXPECT_EQ(int32At(56), 1);
    EXPECT_EQ(floatAt(64), 0.5f);
    EXPECT_EQ(int32At(132), 9);
    EXPECT_EQ(bytes[3248], 2);
    EXPECT_EQ(bytes[3249], 0);
    EXPECT_EQ(floatAt(3264), 250.0f);
    EXPECT_EQ(floatAt(3272), 0.75f);
    EXPECT_EQ(int32At(3276), 1);
    // Every byte outside the named fields is zero.
    const size_t named[][2] = {{0, 12}, {16, 24}, {36, 40}, {48, 52}, {56, 60}, {64, 76}, {80, 88}, {116, 136},
                               {3248, 3250}, {3252, 3268}, {3272, 3280}};
    for (size_t offset = 0; offset < sizeof block; ++offset) {
        bool inField = false;
        for (const auto& range : named) inField = inField || (offset >= range[0] && offset < range[1]);
        if (!inField) {
            EXPECT_EQ(bytes[offset], 0) << "offset " << offset;
        }
    }
    EXPECT_FALSE(entry.GetIntegrateParameters(nullptr, false));
}
