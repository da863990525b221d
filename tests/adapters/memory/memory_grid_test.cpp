#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/memory_grid.h"
#include "palvo/memory_measure.h"

namespace Palvo {
namespace {

using memory::GridType;

std::vector<std::string> column(const FlexGrid& g, int col) {
    std::vector<std::string> out;
    for (int r = 0; r < g.Rows(); ++r) out.push_back(g.TextMatrix(r, col));
    return out;
}

long errorNumber(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.number();
    }
    return 0;
}

TEST(MemoryGrid, ReshapingKeepsTheCellsThatStay) {
    memory::FlexGrid g;
    g.Rows(3);
    g.Cols(3);
    g.TextMatrix(2, 2, "c");
    g.TextMatrix(1, 0, "a");
    g.Cols(5);
    EXPECT_EQ(g.TextMatrix(2, 2), "c");
    EXPECT_EQ(g.TextMatrix(1, 0), "a");
    EXPECT_EQ(g.TextMatrix(2, 4), "");
    g.Cols(2);
    g.Rows(2);
    EXPECT_EQ(g.TextMatrix(1, 0), "a");
    EXPECT_EQ(g.ColWidth(1), 960);
}

TEST(MemoryGrid, IndicesOutsideTheGridRaiseThePlatformNumbers) {
    memory::FlexGrid g;  // 2 x 2
    struct Case {
        const char* what;
        std::function<void()> call;
        long number;
    };
    const std::vector<Case> cases = {
        {"read row", [&] { (void)g.TextMatrix(2, 0); }, 381},
        {"read col -1", [&] { (void)g.TextMatrix(0, -1); }, 381},
        {"write", [&] { g.TextMatrix(0, 2, "x"); }, 381},
        {"width", [&] { g.ColWidth(5, 100); }, 381},
        {"alignment", [&] { (void)g.ColAlignment(-1); }, 381},
        {"row", [&] { g.Row(2); }, 30009},
        {"col", [&] { g.Col(-1); }, 30010},
        {"add at", [&] { g.AddItem("x", 5); }, 381},
        {"remove fixed row", [&] { g.RemoveItem(0); }, 381},
        {"remove last data row", [&] { g.RemoveItem(1); }, 30015},
        {"rows", [&] { g.Rows(-1); }, 380},
        {"fixed rows", [&] { g.FixedRows(3); }, 380},
        {"sort 3", [&] { g.Sort(3); }, 380},
        {"bind on MSFlexGrid", [&] {
             Recordset rs;
             g.Recordset(rs);
         }, 438},
    };
    for (const auto& c : cases) EXPECT_EQ(errorNumber(c.call), c.number) << c.what;
    EXPECT_EQ(g.Rows(), 2) << "failed calls leave the shape";
}

TEST(MemoryGrid, AddItemSplitsAtTabsAndInsertsAtTheIndex) {
    memory::FlexGrid g;
    g.Cols(3);
    g.Rows(1);
    g.AddItem("a\tb\tc\textra");
    g.AddItem("x", 1);
    g.AddItem("\t\tz");
    ASSERT_EQ(g.Rows(), 4);
    EXPECT_EQ(column(g, 0), (std::vector<std::string>{"", "x", "a", ""}));
    EXPECT_EQ(column(g, 2), (std::vector<std::string>{"", "", "c", "z"}));
    g.AddItem("m\tn", 2);
    EXPECT_EQ(column(g, 1), (std::vector<std::string>{"", "", "n", "b", ""}));
    g.RemoveItem(1);
    EXPECT_EQ(column(g, 0), (std::vector<std::string>{"", "m", "a", ""}));
}

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

TEST(MemoryGrid, SortMovesWholeRowsWithColoursAndIsStable) {
    memory::FlexGrid g;
    g.Cols(3);
    g.Rows(1);
    g.TextMatrix(0, 1, "heading");
    g.AddItem("r1\t2\tfirst two");
    g.AddItem("r2\t1\tone");
    g.AddItem("r3\t2\tsecond two");
    g.Row(2);
    g.Col(2);
    g.CellBackColor(99);
    g.Col(1);
    g.Sort(1);
    EXPECT_EQ(column(g, 0), (std::vector<std::string>{"", "r2", "r1", "r3"}));
    EXPECT_EQ(g.TextMatrix(0, 1), "heading") << "fixed rows stay";
    EXPECT_EQ(g.cellBackColor(1, 2), 99);
    g.Sort(2);
    EXPECT_EQ(column(g, 0), (std::vector<std::string>{"", "r1", "r3", "r2"}));
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
        {"a", 9, 90},        {"金额", 9, 360},      {"a金", 10, 300}, {"", 9, 0},
        {"１２", 9, 360},    {"。，", 12, 480},     {"é", 9, 90},     {"\xff", 9, 90},
        {"2004-01-01", 9, 900},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(m.TextWidth(c.text, c.size), c.twips) << c.text;
}

}  // namespace
}  // namespace Palvo
