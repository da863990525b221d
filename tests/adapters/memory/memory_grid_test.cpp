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

TEST(MemoryGrid, AClosedRecordsetCannotBeBound) {
    memory::FlexGrid g(GridType::MSHFlexGrid);
    Recordset closed;
    EXPECT_EQ(errorNumber([&] { g.Recordset(closed); }), 3704);
}

TEST(MemoryGrid, WrittenValuesAreTheirTextsAndABlockOutsideWritesNothing) {
    memory::FlexGrid g;
    g.Rows(3);
    g.Cols(3);
    g.TextMatrix(2, 2, "old");
    ResultTable t;
    t.columns.resize(2);
    t.cells = {Value("甲"), Value(12.5), Value(), Value(DateTime{2003, 1, 5})};
    EXPECT_EQ(errorNumber([&] { g.writeValues(t, 2, 1); }), 381) << "one row too many";
    EXPECT_EQ(g.TextMatrix(2, 1), "");
    g.writeValues(t, 1, 1);
    EXPECT_EQ((std::vector<std::string>{g.TextMatrix(1, 1), g.TextMatrix(1, 2), g.TextMatrix(2, 1),
                                        g.TextMatrix(2, 2)}),
              (std::vector<std::string>{"甲", "12.5", "", "2003-01-05"}))
        << "Null empties the cell";
}

TEST(MemoryGrid, ALargeGridKeepsItsCellsThroughReshaping) {
    // Tens of thousands of cells: the texts live in one large block, moved on every reshape.
    memory::FlexGrid g;
    g.Rows(60000);
    g.Cols(3);
    g.TextMatrix(59999, 2, "last");
    g.TextMatrix(30000, 1, "middle");
    g.Cols(4);
    g.Rows(60001);
    EXPECT_EQ(g.TextMatrix(59999, 2), "last");
    g.RemoveItem(1);
    g.Rows(30000);
    EXPECT_EQ(g.TextMatrix(29999, 1), "middle");
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
