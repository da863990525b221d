#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/measure.h"
#include "support/errors.h"

namespace Palvo {
namespace {

using memory::GridType;

using testing::errorNumber;

TEST(MemoryGrid, ClearEmptiesTextsAndColoursButKeepsTheShape) {
    memory::FlexGrid g;
    g.Rows(4);
    g.TextMatrix(3, 1, "x");
    g.Row(3);
    g.Col(1);
    g.CellBackColor(255);
    g.Clear();
    EXPECT_EQ(g.Rows(), 4);
    EXPECT_EQ(g.TextMatrix(3, 1), "");
    EXPECT_EQ(g.cellBackColor(3, 1), 0);
}

TEST(MemoryGrid, AClosedRecordsetCannotBeBound) {
    memory::FlexGrid g(GridType::MSHFlexGrid);
    Recordset closed;
    EXPECT_EQ(errorNumber([&] { g.Recordset(closed); }), 3704);
}

TEST(FixedWidthMeasurer, WideCharactersAreOneEmOthersHalf) {
    memory::FixedWidthMeasurer m;
    struct Case {
        const char* text;
        double size;
        double twips;
    };
    const std::vector<Case> cases = {
        {"a", 9, 90},           {"金额", 9, 360},  {"a金", 10, 300}, {"", 9, 0},
        {"１２", 9, 360},       {"。，", 12, 480}, {"é", 9, 90},     {"\xff", 9, 90},
        {"2004-01-01", 9, 900}, {"ab金c", 9, 450},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(m.TextWidth(c.text, c.size), c.twips) << c.text;
}

}  // namespace
}  // namespace Palvo
