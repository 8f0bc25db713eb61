// How the engines reach list entries: through the list's virtual GetAt, so a host's list class
// that serves its own entries is honoured, passing over slots left empty.
#include <gtest/gtest.h>

#include <vector>

#include "LocateTestSupport.h"
#include "quan.h"

namespace {
// A host's peak list that shows retention-time-corrected copies of the stored peaks.
class CorrectedPeakList : public CPeakList {
public:
    mutable std::vector<CPeakData> shown;
    CPeakData& GetAt(int index) const override { return shown.at(static_cast<size_t>(index)); }
};
}  // namespace

TEST(ListAccess, EnginesReadEntriesThroughGetAtAndPassOverEmptySlots) {
    using namespace locate_test;
    CorrectedPeakList peaks;
    for (float storedRT : {9.0f, 9.5f, 10.0f}) peaks.Add(Peak(storedRT));
    peaks.shown = {Peak(5.0f), Peak(5.6f), Peak(6.0f)};  // the host corrected every RT by -4
    peaks.Remove(1);
    CMethodList methods;
    methods.Add(Entry(5.0f, 0.5f));
    methods.Add(Entry(6.0f, 0.5f));
    methods.SetSize(3);  // a trailing empty slot
    ASSERT_EQ(Locate(methods, peaks), kLocateOK);
    EXPECT_EQ(peaks.shown[0].GetMDBEntry(), 1);
    EXPECT_EQ(peaks.shown[1].GetMDBEntry(), 0);  // its slot is empty: never looked at
    EXPECT_EQ(peaks.shown[2].GetMDBEntry(), 2);
    EXPECT_EQ(peaks.GetEntry(1), nullptr);
}
