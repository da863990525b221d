#include "src/grid/grid_utils.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "palvo/clsGrid.h"
#include "palvo/error.h"
#include "palvo/memory/grid.h"
#include "support/errors.h"

namespace Palvo {
namespace {

using memory::GridType;

// A grid with one fixed row: the headings, then one row per line of tab-separated cells.
memory::FlexGrid makeGrid(const std::vector<std::string>& headings, const std::vector<std::string>& rows,
                          GridType type = GridType::MSFlexGrid) {
    memory::FlexGrid g(type);
    g.Cols(static_cast<int>(headings.size()));
    g.Rows(1);
    for (std::size_t c = 0; c < headings.size(); ++c) g.TextMatrix(0, static_cast<int>(c), headings[c]);
    for (const auto& r : rows) g.AddItem(r);
    return g;
}

std::vector<std::string> column(const FlexGrid& g, int col) {
    std::vector<std::string> out;
    for (int r = 0; r < g.Rows(); ++r) out.push_back(g.TextMatrix(r, col));
    return out;
}

using testing::errorNumber;

TEST(GridLookup, OnlyTheFieldColumnLookupTrimsTheHeading) {
    auto g = makeGrid({"序号", " 名称 ", "名称", "金额"}, {"1\t钢管\t钢板\t12"});
    g.ColWidth(2, 1500);
    clsGrid grid;
    EXPECT_EQ(grid.iGetFieldCol(g, "名称"), 1);
    EXPECT_EQ(grid.sGetGridColValue(g, 1, "名称"), "钢板");
    EXPECT_EQ(grid.lGetColWidth(g, "名称"), 1500);
    EXPECT_EQ(grid.sGetGridColValue(g, 1, " 名称 "), "钢管");
    EXPECT_EQ(grid.iGetFieldCol(g, " 名称 "), -1) << "the asked name is not trimmed";
    EXPECT_EQ(grid.iGetFieldCol(g, "钢管", 1), 1) << "any row can be searched";
    EXPECT_EQ(grid.sGetGridColValue(g, 1, "单价"), "");
    EXPECT_EQ(grid.lGetColWidth(g, "单价"), 0);
    EXPECT_EQ(errorNumber([&] { grid.sGetGridColValue(g, 5, "名称"); }), 381);
}

// The column index is rounded.
TEST(GridLookup, RowNumbersSkipTheHeading) {
    clsGrid grid;
    auto g = makeGrid({"编号", "名称"}, {"1\t甲", "2\t乙", "3\t名称"});
    struct Case {
        float col;
        const char* value;
        std::int32_t row;
    };
    const std::vector<Case> cases = {
        {1, "乙", 2}, {1, "名称", 3}, {0, "编号", -1}, {1.4f, "甲", 1}, {0.5f, "3", 3}, {1, "乙 ", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(grid.lGetRowNo(g, c.col, c.value), c.row) << c.value << " in " << c.col;
    EXPECT_EQ(errorNumber([&] { grid.lGetRowNo(g, 1.5f, "x"); }), 381) << "1.5 rounds to column 2";
}

// The exact sum of every row's leading number, a totals row included, as the
// double nearest it, on both grid types.
TEST(GridSum, IsTheDoubleNearestTheExactSum) {
    struct Case {
        std::vector<std::string> cells;
        double sum;
    };
    const std::vector<Case> cases = {
        {{"a\t1,200", "b\t 3.5", "c\tabc", "d\t", "e\t2e1", "合计\t10"}, 34.5},
        {{"a\t0.1", "b\t0.2"}, 0.3},                              // added as doubles: 0.30000000000000004
        {{"a\t1e308", "b\t1e308", "c\t-1e308", "d\t-1e308"}, 0},  // no running total overflows
        {{}, 0},
    };
    clsGrid grid;
    for (auto type : {GridType::MSFlexGrid, GridType::MSHFlexGrid}) {
        for (const Case& c : cases) {
            auto g = makeGrid({"名称", "金额"}, c.cells, type);
            EXPECT_EQ(grid.dGetColSum(g, "金额"), c.sum) << ::testing::PrintToString(c.cells);
        }
    }
}

TEST(GridSum, AnUnknownCaptionIsAnErrorEvenWithoutDataRows) {
    clsGrid grid;
    auto filled = makeGrid({"金额"}, {"1"});
    auto empty = makeGrid({"金额"}, {});
    EXPECT_EQ(errorNumber([&] { grid.dGetColSum(filled, "数量"); }), 381);
    EXPECT_EQ(errorNumber([&] { grid.dGetColSum(empty, "数量"); }), 381);
}

TEST(GridSum, ANumberOrATotalBeyondADoubleOverflows) {
    clsGrid grid;
    for (const auto& cells : std::vector<std::vector<std::string>>{{"1", "1e400"}, {"1e308", "1e308"}}) {
        auto g = makeGrid({"金额"}, cells);
        EXPECT_EQ(errorNumber([&] { grid.dGetColSum(g, "金额"); }), ErrorNumber::Overflow) << cells.back();
    }
}

TEST(GridSort, DirectionFlipsOnEveryCallOfTheThreadWhateverTheGrid) {
    std::thread([] {
        clsGrid grid;
        auto a = makeGrid({"k", "n"}, {"x\t2", "y\t10", "z\t1"});
        auto b = makeGrid({"k"}, {"p", "q"});
        a.ColAlignment(1, 1);
        grid.mMsHorder(a, 1);
        EXPECT_EQ(column(a, 1), (std::vector<std::string>{"n", "1", "2", "10"}));
        EXPECT_EQ(a.ColAlignment(1), 9);
        EXPECT_FALSE(a.AllowBigSelection());
        EXPECT_EQ(a.Col(), 1);
        grid.mMsHorder(a, 1);
        EXPECT_EQ(column(a, 1), (std::vector<std::string>{"n", "10", "2", "1"}));
        grid.mMsHorder(b, 0);  // ascending: the third call of the thread
        grid.mMsHorder(a, 1);  // so this one is descending again
        EXPECT_EQ(column(a, 1), (std::vector<std::string>{"n", "10", "2", "1"}));
    }).join();
}

TEST(GridSort, AFailedCallLeavesTheThreadsFirstSortAscending) {
    std::thread([] {
        clsGrid grid;
        auto a = makeGrid({"n"}, {"2", "1", "3"});
        EXPECT_EQ(errorNumber([&] { grid.mMsHorder(a, 4); }), 30010);
        grid.mMsHorder(a, 0);
        EXPECT_EQ(column(a, 0), (std::vector<std::string>{"n", "1", "2", "3"}));
    }).join();
}

TEST(GridRows, ExchangeSwapsTextsOnly) {
    auto g = makeGrid({"a", "b"}, {"1\t2", "3\t4"});
    g.Row(1);
    g.Col(0);
    g.CellBackColor(255);
    clsGrid grid;
    grid.mExchangeRow(g, 1, 2.4f);
    EXPECT_EQ(column(g, 0), (std::vector<std::string>{"a", "3", "1"}));
    EXPECT_EQ(column(g, 1), (std::vector<std::string>{"b", "4", "2"}));
    EXPECT_EQ(g.cellBackColor(1, 0), 255) << "colours stay with the row position";
}

TEST(GridRows, ExchangeChecksBothRowsFirst) {
    auto g = makeGrid({"a", "b"}, {"3\t4", "1\t2"});
    clsGrid grid;
    EXPECT_EQ(errorNumber([&] { grid.mExchangeRow(g, 1, 3); }), 381);
    EXPECT_EQ(column(g, 0), (std::vector<std::string>{"a", "3", "1"})) << "nothing swapped";
}

TEST(GridLook, AlignmentDefaultsToThree) {
    auto g = makeGrid({"a", "b", "c"}, {});
    clsGrid grid;
    grid.mSetGridColAlignment(g);
    EXPECT_EQ(g.ColAlignment(0) + g.ColAlignment(1) + g.ColAlignment(2), 9);
    grid.mSetGridColAlignment(g, 1);
    EXPECT_EQ(g.ColAlignment(2), 1);
}

TEST(GridLook, BandsColourEvenRowsRightOfTheFixedColumns) {
    clsGrid grid;
    auto g = makeGrid({"序号", "名称", "金额"}, {"1\ta\t1", "2\tb\t2", "3\tc\t3", "4\td\t4", "5\te\t5"});
    g.FixedCols(1);
    std::int32_t colour = 0xC0FFC0;
    grid.mSetGridRowColor(g, colour);
    for (int r = 0; r < g.Rows(); ++r) {
        for (int c = 0; c < g.Cols(); ++c) {
            const bool banded = (r == 2 || r == 4) && c >= 1;
            EXPECT_EQ(g.cellBackColor(r, c), banded ? colour : 0) << r << "," << c;
        }
    }
    EXPECT_EQ(g.ColAlignment(0), 1);
    EXPECT_EQ(g.ColAlignment(2), 1);
    EXPECT_EQ(g.Row(), 1);
    EXPECT_EQ(g.Col(), 1);
}

struct DateCase {
    const char* name;
    std::string format;
    std::string only;
    std::string except;
    std::string heading;
    std::string cell;
    std::string expected;
};

// Formatted, the first of January 1900 (no date) blanked.
TEST(GridDates, DateColumnsAreTidied) {
    const std::vector<DateCase> cases = {
        {"default format pads", "YYYY-MM-DD", "", "", "销售日期", "2003-5-1", "2003-05-01"},
        {"time dropped", "YYYY-MM-DD", "", "", "日期", "2003-05-01 08:30:00", "2003-05-01"},
        {"1900 blanked", "YYYY-MM-DD", "", "", "日期", "1900-01-01", ""},
        {"1900 month blanked", "YYYY-MM", "", "", "年月", "1900-1-1", ""},
        {"other pattern", "YYYY年M月D日", "", "", "开单时间", "2004-03-05", "2004年3月5日"},
        {"no date word", "YYYY-MM-DD", "", "", "名称", "2003-5-1", "2003-5-1"},
        {"not a date stays", "YYYY-MM-DD", "", "", "日期", "200305", "200305"},
        {"no such day stays", "YYYY-MM-DD", "", "", "日期", "2003-02-29 08:00:00", "2003-02-29 08:00:00"},
        {"leap day", "yyyy-mm-dd", "", "", "日期", "2004-02-29 23:59:59", "2004-02-29"},
        {"excluded", "YYYY-MM-DD", "", "日期,金额", "日期", "2003-5-1", "2003-5-1"},
        {"named column", "YYYY-MM-DD", "开工,完工", "", "完工", "2003-5-1", "2003-05-01"},
        {"named list replaces words", "YYYY-MM-DD", "开工", "", "日期", "2003-5-1", "2003-5-1"},
        {"heading trimmed", "YYYY-MM-DD", "", "", " 日期 ", "2003-5-1", "2003-05-01"},
        {"empty format blanks 1900-1-1", " ", "", "", "日期", "1900-1-1", ""},
        {"empty format keeps dates", "", "", "", "日期", "2003-5-1", "2003-5-1"},
        {"empty format ignores the list", "", "名称", "", "名称", "1900-01-01", "1900-01-01"},
        {"empty format blanks 1900", "", "", "", "时间", " 1900 ", ""},
    };
    clsGrid grid;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto g = makeGrid({c.heading, "x"}, {c.cell + "\t1900-01-01"});
        grid.mSetGridDate(g, c.format, c.only, c.except);
        EXPECT_EQ(g.TextMatrix(1, 0), c.expected);
        EXPECT_EQ(g.TextMatrix(1, 1), "1900-01-01") << "a column without a date heading";
        EXPECT_EQ(g.TextMatrix(0, 0), c.heading);
    }
}

// Dates repeat down a column and are tidied once each: every repeat, also
// beyond the distinct texts remembered, is written as its first was.
TEST(GridDates, RepeatedDatesAreAllTidied) {
    std::vector<std::string> rows;
    std::vector<std::string> expected;
    char padded[16];
    for (int pass = 0; pass < 2; ++pass) {
        for (int y = 2000; y < 2016; ++y) {
            for (int m = 1; m <= 12; ++m) {
                for (int d = 1; d <= 28; ++d) {
                    rows.push_back(std::to_string(y) + "-" + std::to_string(m) + "-" + std::to_string(d));
                    std::snprintf(padded, sizeof padded, "%04d-%02d-%02d", y, m, d);
                    expected.emplace_back(padded);
                    if (d % 7 == 0) {
                        rows.emplace_back(pass == 0 ? "1900-01-01" : "1900-1-1");
                        expected.emplace_back();
                    }
                }
            }
        }
    }
    auto g = makeGrid({"日期"}, rows);
    clsGrid().mSetGridDate(g, "YYYY-MM-DD", "", "");
    ASSERT_EQ(g.Rows(), static_cast<int>(rows.size()) + 1);
    for (int r = 1; r < g.Rows(); ++r)
        ASSERT_EQ(g.TextMatrix(r, 0), expected[static_cast<std::size_t>(r - 1)])
            << "row " << r << ": " << rows[r - 1];
}

TEST(GridNames, ListMembershipIsExactEvenForWildcards) {
    struct Case {
        const char* list;
        const char* name;
        bool in;
    };
    const std::vector<Case> cases = {
        {"金额,数量", "金额", true}, {"金额,数量", "数量", true}, {"金额2", "金额", false},
        {"金额", "金额2", false},    {"a*b", "a*b", true},        {"axb", "a*b", false},
        {"[x]", "[x]", true},        {"1", "#", false},           {"a, b", "b", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(grid::inNameList(c.list, c.name), c.in) << c.list << " / " << c.name;
}

}  // namespace
}  // namespace Palvo
