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

TEST(MemoryGrid, WrittenValuesAreTheirTextsABlockOutsideWritesNothingAClosedRecordsetNotBound) {
    memory::FlexGrid g(GridType::MSHFlexGrid);
    Recordset closed;
    EXPECT_EQ(errorNumber([&] { g.Recordset(closed); }), 3704);
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

GridCells block(const std::vector<std::string>& texts) {
    GridCells cells;
    cells.resize(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) cells.set(i, texts[i]);
    return cells;
}

// A 2 x 2 grid with a heading, its own cell coloured.
memory::FlexGrid ownGrid() {
    memory::FlexGrid g;
    g.TextMatrix(0, 1, "名称");
    g.TextMatrix(1, 1, "own");
    g.Row(1);
    g.Col(1);
    g.CellBackColor(255);
    return g;
}

TEST(MemoryGrid, ABadBlockOfRowsChangesNothing) {
    memory::FlexGrid g = ownGrid();
    struct Bad {
        std::vector<std::string> texts;
        const char* why;
    };
    for (const Bad& bad :
         {Bad{{"a", "b", "c"}, "not whole rows"}, Bad{{"a", "b"}, "fewer rows than the grid"}}) {
        EXPECT_EQ(errorNumber([&] { g.adoptRows(block(bad.texts)); }), 381) << bad.why;
        EXPECT_EQ(g.Rows(), 2) << bad.why;
    }
}

// The first two rows stand for the grid's own and are dropped.
TEST(MemoryGrid, AdoptedRowsFollowTheGridsOwn) {
    memory::FlexGrid g = ownGrid();
    g.adoptRows(block({"x", "x", "x", "x", "3", "长长长长的一段文字", "", "末"}));
    ASSERT_EQ(g.Rows(), 4);
    EXPECT_EQ((std::vector<std::string>{g.TextMatrix(0, 1), g.TextMatrix(1, 1), g.TextMatrix(2, 0),
                                        g.TextMatrix(2, 1), g.TextMatrix(3, 0), g.TextMatrix(3, 1)}),
              (std::vector<std::string>{"名称", "own", "3", "长长长长的一段文字", "", "末"}));
    EXPECT_EQ(g.cellBackColor(1, 1), 255);
    EXPECT_EQ(g.cellBackColor(3, 1), 0) << "adopted rows have the default colour";
    g.AddItem("5\t后");
    EXPECT_EQ(g.TextMatrix(4, 1), "后") << "the grid goes on growing from the adopted cells";
}

// Tens of thousands of cells: the texts live in one large block, moved on every reshape.
TEST(MemoryGrid, LargeGridsKeepTheirCells) {
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
        {"a", 9, 90},
        {"金额", 9, 360},
        {"a金", 10, 300},
        {"", 9, 0},
        {"。，", 12, 480},
        {"é", 9, 90},
        {"\xff", 9, 90},
        // where the run of ideographs U+5000..U+9FFF begins and ends, and characters cut off
        {"\xe4\xb8\x80", 9, 180},  // U+4E00
        {"\xe4\xb7\x80", 9, 90},   // U+4DC0, a hexagram symbol
        {"\xea\xb0\x80", 9, 180},  // U+AC00
        {"\xe9\x87", 9, 180},      // two bytes of a three-byte character
        {"\xe9\x87"
         "a",
         9, 270},                      // the same before a letter
        {"\xe5\x80\x80\xe9", 9, 270},  // U+5000, then a lone lead byte
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(m.TextWidth(c.text, c.size), c.twips) << c.text;
}

}  // namespace
}  // namespace Palvo
