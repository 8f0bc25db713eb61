// Curve i belongs to method entry i. An entry calibrated on another compound's curve is
// quantified with that curve, wherever it sits, without moving a curve out of its own entry's
// slot, whatever order the peaks come in; curves that sit in each other's slots still trade.
#include <gtest/gtest.h>

#include "QuantifyTestSupport.h"

using namespace quantify_test;

TEST(CurveSlotRepair, EntryOnAnotherCompoundsCurveMovesNoCurveFromItsOwnSlot) {
    const struct {
        const char* what;
        const char* slotNames[2];  // curve names in slots 0 and 1: slopes 2 and 4
        bool calibratedEntryFirst;
        const char* namesAfter[2];
    } cases[] = {
        {"own curves, A's peak first", {"X", "A"}, false, {"X", "A"}},
        {"own curves, X's peak first", {"X", "A"}, true, {"X", "A"}},
        {"X's slot holds a stranger", {"Q", "A"}, false, {"Q", "A"}},
        {"crossed: A's curve in X's slot", {"A", "X"}, false, {"X", "A"}},
    };
    for (const auto& c : cases) {
        CMethodData x = Method("X");
        x.SetCalCompound("A");
        CMethodList methods = Methods({x, Method("A")});
        CCalibrationList curves = Curves({Curve(c.slotNames[0], {0, 2}), Curve(c.slotNames[1], {0, 4})});
        // Every entry is quantified with A's curve (slope 4 in the crossed case too: A's is
        // the curve named A, wherever it is). Response 8 gives 2 for both.
        CPeakList peaks = c.calibratedEntryFirst ? Peaks({Located(1, 8.0), Located(2, 8.0)})
                                                 : Peaks({Located(2, 8.0), Located(1, 8.0)});
        ASSERT_EQ(Quantify(curves, methods, peaks), kQuantifyOK) << c.what;
        const double slopeOfA = c.slotNames[0] == std::string("A") ? 2.0 : 4.0;
        for (int j = 0; j < 2; ++j) EXPECT_DOUBLE_EQ(peaks.GetAt(j).GetAnalConc(), 8.0 / slopeOfA) << c.what;
        for (int i = 0; i < 2; ++i) EXPECT_EQ(curves.GetAt(i).GetName(), c.namesAfter[i]) << c.what << " slot " << i;
    }
}
