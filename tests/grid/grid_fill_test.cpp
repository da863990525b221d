#include "src/grid/grid_fill.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "forms/counting_connection.h"
#include "grid/grid_recorder.h"
#include "palvo/clsGrid.h"
#include "palvo/error.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/measure.h"
#include "support/kerning_measurer.h"
#include "support/sqlite_fixture.h"

namespace Palvo {
namespace {

using memory::GridType;

std::vector<std::string> row(const FlexGrid& g, int r) {
    std::vector<std::string> out;
    for (int c = 0; c < g.Cols(); ++c) out.push_back(g.TextMatrix(r, c));
    return out;
}

std::vector<std::string> column(const FlexGrid& g, int c) {
    std::vector<std::string> out;
    for (int r = 0; r < g.Rows(); ++r) out.push_back(g.TextMatrix(r, c));
    return out;
}

using Cells = std::vector<std::string>;

TEST(FillHelpers, DefaultOrderOnlyWithoutAnOrderClause) {
    const std::vector<std::pair<const char*, bool>> cases = {
        {"select 编号,名称 from T", true},
        {"select 编号 from T\r\nORDER\r\n  BY 名称", false},
        {"select 编号 from T order /* 按名称 */ by 名称", false},
        {"select 编号 from T order -- 按名称\nby 名称", false},
        {"select 编号, row_number() over (order by 名称) from T", false},  // any ORDER BY counts, as before
        {"select 名称 from T", false},
        {"select 单位编号 from T", false},
        // words that only look like the clause
        {"select 编号, 名称 as reorder from T", true},
        {"select 编号 from T where 名称=N'it''s order by 名称'", true},
        {"select 编号 from T order", true},
        {"select 编号 from T order_by 名称", true},
        {"select 编号 from T 编号order by 名称", true},  // one name in T-SQL
    };
    for (const auto& [sql, appended] : cases)
        EXPECT_EQ(grid::withDefaultOrder(sql), appended ? std::string(sql) + " order by 编号" : sql) << sql;
}

TEST(FillHelpers, SpareWidthIsSharedOrLettersAdded) {
    struct Case {
        const char* name;
        std::vector<std::int16_t> content;
        std::int32_t gridWidth;
        std::int16_t iSize;
        bool hasXH;
        std::vector<std::int32_t> widths;
    };
    const std::vector<Case> widthCases = {
        // (0.9 * 2000 - 1500) / 3 = 100 > 90: every column gets 100 more.
        {"wide", {500, 500, 500}, 2000, 2, false, {600, 600, 600}},
        // (0.9 * 1900 - 1500) / 3 = 70: two widths of "a" (90) added instead.
        {"narrow", {500, 500, 500}, 1900, 2, false, {680, 680, 680}},
        // exactly 90 left per column still counts as narrow
        {"at the limit", {500, 500, 500}, 1967, 0, false, {500, 500, 500}},
        // (0.9 * 20000 - 1300) / 2 = 8350 more each; the running numbers stop at 600.
        {"numbers capped", {300, 1000}, 20000, 0, true, {600, 9350}},
        {"cap only with numbers", {300, 1000}, 20000, 0, false, {8650, 9350}},
        // (0.9 * 1000 - 203) / 2 = 348.5 rounds half to even to 348
        {"halves to even", {100, 103}, 1000, 1, false, {448, 451}},
    };
    for (const auto& c : widthCases)
        EXPECT_EQ(grid::fitColumnWidths(c.content, c.gridWidth, 90, c.iSize, c.hasXH), c.widths) << c.name;
}

TEST(FillHelpers, ContentWidthFollowsTheWidestCellUnlessFiveTimesTheHeading) {
    memory::FixedWidthMeasurer m;
    memory::FlexGrid g;
    g.Cols(3);
    g.Rows(3);
    const std::vector<std::vector<std::string>> cells = {
        {"名称", "ab", ""}, {"钢管", "abcdefghijkl", "xy"}, {"很长的一段名称", "abc", "x"}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) g.TextMatrix(r, c, cells[r][c]);
    const std::vector<std::int16_t> widths = {
        7 * 180 + 90,  // widest cell plus an a
        2 * 90 + 90,   // twelve letters are more than five times "ab": sized to the heading
        2 * 90 + 90,   // a blank heading sets no cap
    };
    EXPECT_EQ(grid::contentWidths(g, m, 9), widths);
}

// Sizing measures whole only the cells that may be wider than their column
// so far, yet sizes every column as measuring every cell does.
TEST(FillHelpers, BoundedSizingSizesAsMeasuringEveryCell) {
    const testing::KerningMeasurer bounded;
    const testing::KerningMeasurer everyCell(true);
    for (const auto& texts : testing::kerningColumns()) {
        if (texts[0].size() > 300) continue;  // wider than 16 bits of twips: an overflow either way
        SCOPED_TRACE(texts[1]);
        // the texts in column 1 under a blank heading, numbers of all lengths in column 0
        memory::FlexGrid g;
        g.Cols(2);
        g.Rows(static_cast<int>(texts.size()) + 1);
        for (std::size_t r = 0; r < texts.size(); ++r) {
            g.TextMatrix(static_cast<int>(r) + 1, 0, std::to_string(r * 7919 % 100000));
            g.TextMatrix(static_cast<int>(r) + 1, 1, texts[r]);
        }
        EXPECT_EQ(grid::contentWidths(g, bounded, 9), grid::contentWidths(g, everyCell, 9));
        EXPECT_EQ(grid::numberWidth(g, bounded, 9, 90), grid::numberWidth(g, everyCell, 9, 90));
    }
}

class Fill : public testing::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        exec({"create table 货物 (编号 int, 名称 nvarchar(20), 金额 decimal(12,2), 金额2 int, 日期 datetime)",
              "insert into 货物 values (2, '钢板', 0.1, 5, '2003-5-1')",
              "insert into 货物 values (1, '钢管', 0.2, 7, '1900-01-01')",
              "insert into 货物 values (3, null, 10, 1, null)"});
        installTextMeasurer(std::make_shared<memory::FixedWidthMeasurer>());
    }
    void TearDown() override {
        installTextMeasurer(nullptr);
        SessionTest::TearDown();
    }
    clsGrid grid;
};

TEST_F(Fill, FillsTheRowsRightOfARunningNumber) {
    memory::FlexGrid g;
    g.Rows(7);
    EXPECT_EQ(grid.sFillTable("select 编号,名称 from 货物", g), "");
    ASSERT_EQ(g.Rows(), 4);
    EXPECT_EQ(g.FixedCols(), 1);
    EXPECT_EQ(row(g, 0), (Cells{"序号", "编号", "名称"}));
    EXPECT_EQ(row(g, 1), (Cells{"1", "1", "钢管"})) << "ordered by 编号";
    EXPECT_EQ(row(g, 3), (Cells{"3", "3", ""})) << "Null shows empty";
    EXPECT_EQ(g.ToolTipText(), "共有 3 条记录！");
    EXPECT_EQ(g.HighLight(), 1);
    memory::FlexGrid bound(GridType::MSHFlexGrid);  // fields right of the number column
    EXPECT_EQ(grid.sFillTable("select 名称,金额 from 货物 order by 金额 desc", bound), "");
    EXPECT_EQ(bound.bindCount(), 1);
    EXPECT_EQ(column(bound, 0), (Cells{"序号", "1", "2", "3"}));
    EXPECT_EQ(column(bound, 1), (Cells{"名称", "", "钢管", "钢板"}));
    EXPECT_EQ(column(bound, 2), (Cells{"金额", "10", "0.2", "0.1"}));
}

TEST_F(Fill, TwoFixedRowsEndBlank) {
    memory::FlexGrid two;
    two.Rows(3);
    two.FixedRows(2);
    EXPECT_EQ(grid.sFillTable("select 编号,名称 from 货物", two), "");
    EXPECT_EQ(column(two, 1), (Cells{"", "", "1", "2", "3"}));
}

TEST_F(Fill, WithoutANumberColumnFieldsStartAtZero) {
    for (auto type : {GridType::MSFlexGrid, GridType::MSHFlexGrid}) {
        memory::FlexGrid plain(type);
        EXPECT_EQ(grid.sFillTable("select 编号,名称 from 货物", plain, false, 0, "", false), "");
        EXPECT_EQ(plain.FixedCols(), 0);
        EXPECT_EQ(row(plain, 0), (Cells{"编号", "名称"})) << plain.typeName();
        EXPECT_EQ(row(plain, 2), (Cells{"2", "钢板"})) << plain.typeName();
    }
}

TEST_F(Fill, AnEmptyResultKeepsTheHeadingReportingZero) {
    memory::FlexGrid flex;
    flex.Rows(5);
    EXPECT_EQ(grid.sFillTable("select 编号,名称 from 货物 where 1=0", flex), "0");
    ASSERT_EQ(flex.Rows(), 1);
    EXPECT_EQ(row(flex, 0), (Cells{"序号", "编号", "名称"}));
    EXPECT_EQ(flex.ToolTipText(), "共有 0 条记录！");
    EXPECT_EQ(flex.HighLight(), 0);

    memory::FlexGrid boundEmpty(GridType::MSHFlexGrid);
    boundEmpty.Rows(5);
    boundEmpty.TextMatrix(1, 1, "old");
    EXPECT_EQ(grid.sFillTable("select 编号,名称 from 货物 where 1=0", boundEmpty, false, 0, "金额"), "0");
    EXPECT_EQ(boundEmpty.bindCount(), 0);
    ASSERT_EQ(boundEmpty.Rows(), 2);
    EXPECT_EQ(row(boundEmpty, 0), (Cells{"序号", "编号", "名称"}))
        << "no forced column without rows, heading as asked";
    EXPECT_EQ(row(boundEmpty, 1), (Cells{"", "", ""}));

    memory::FlexGrid bare;
    bare.FixedRows(0);
    EXPECT_EQ(grid.sFillTable("select 编号,日期 from 货物 where 1=0", bare), "0")
        << "without fixed rows the date step has no row to read";
    EXPECT_EQ(bare.Rows(), 0);
}

// It forces the number column.
TEST_F(Fill, ATotalsRowSumsOnlyTheNamedFields) {
    for (auto type : {GridType::MSFlexGrid, GridType::MSHFlexGrid}) {
        memory::FlexGrid totals(type);
        EXPECT_EQ(grid.sFillTable("select 名称,金额,金额2 from 货物", totals, false, 0, "金额", false), "");
        ASSERT_EQ(column(totals, 0), (Cells{"序号", "1", "2", "3", "合计"})) << totals.typeName();
        EXPECT_EQ(row(totals, 4), (Cells{"合计", "", "10.3", ""}))
            << totals.typeName() << ": 0.1 + 0.2 + 10, 金额2 not summed";
    }
}

// Instead of counting zero.
TEST_F(Fill, ATotalBeyondADoubleFails) {
    exec({"create table 大 (名称 nvarchar(10), 数 nvarchar(10))", "insert into 大 values ('a', '1e308')",
          "insert into 大 values ('b', '1e308')"});
    memory::FlexGrid big;
    EXPECT_EQ(grid.sFillTable("select 名称,数 from 大", big, false, 0, "数"), "Overflow");
    exec({"update 大 set 数='1e400' where 名称='b'"});
    EXPECT_EQ(grid.sFillTable("select 名称,数 from 大", big, false, 0, "数"), "Overflow");
    EXPECT_EQ(column(big, 2), (Cells{"数", "1e308", "1e400", ""})) << "the rows stay as far as they came";
}

TEST_F(Fill, EmptyDatesAreBlankedUnlessTheStepIsOff) {
    memory::FlexGrid dated;
    EXPECT_EQ(grid.sFillTable("select 编号,日期 from 货物", dated), "");
    EXPECT_EQ(column(dated, 2), (Cells{"日期", "", "2003-05-01", ""}));
    EXPECT_EQ(grid.sFillTable("select 编号,日期 from 货物", dated, false, 0, "", true, "-1"), "");
    EXPECT_EQ(column(dated, 2), (Cells{"日期", "1900-01-01", "2003-05-01", ""}));
    EXPECT_EQ(grid.sFillTable("select 编号,日期 from 货物", dated, false, 0, "", true, "YYYY年M月"), "");
    EXPECT_EQ(column(dated, 2), (Cells{"日期", "1900年1月", "2003年5月", ""}));
}

// Fixed rule at 9 pt: "a" 90, a Chinese character 180 twips.
TEST_F(Fill, SizingCapsTheNumberColumn) {
    memory::FlexGrid narrow;
    narrow.Width(1000);
    EXPECT_EQ(grid.sFillTable("select 名称 from 货物", narrow, true, 2), "");
    EXPECT_EQ(narrow.ColWidth(0), 600) << "序号 plus a plus two a is 630, over the cap";
    EXPECT_EQ(narrow.ColWidth(1), 2 * 180 + 90 + 2 * 90);
}

// 100,000 rows: ten digits crossed five times.
TEST_F(Fill, TheNumberColumnIsNeverNarrowerThanItsWidestNumber) {
    exec({"create table 数字 (d int)", "insert into 数字 values (0),(1),(2),(3),(4),(5),(6),(7),(8),(9)",
          "create table 大表 (n int)",
          "insert into 大表 select a.d from 数字 a, 数字 b, 数字 c, 数字 e, 数字 f"});
    // Fixed rule at 9 pt: a digit and "a" are 90 twips each.
    const std::vector<std::tuple<GridType, int, std::int32_t>> cases = {
        {GridType::MSFlexGrid, 99999, 600},    // 5 digits and an a are 540: the cap stands
        {GridType::MSFlexGrid, 100000, 630},   // 6 digits and an a
        {GridType::MSHFlexGrid, 100000, 630},  // the bound grid numbers its rows the same way
    };
    for (const auto& [type, rows, width] : cases) {
        memory::FlexGrid numbered(type);
        numbered.Width(20000);
        const std::string sql = "select top " + std::to_string(rows) + " n from 大表";
        ASSERT_EQ(grid.sFillTable(sql, numbered, true, 2, "n"), "") << rows;
        ASSERT_EQ(numbered.TextMatrix(numbered.Rows() - 2, 0), std::to_string(rows))
            << "the last number, then 合计";
        EXPECT_EQ(numbered.ColWidth(0), width) << rows;
    }
}

// A value a clerk typed selects the rows bound to its placeholder, in either kind of grid.
TEST_F(Fill, BoundValuesSelectTheRowsNeverBecomingSqlText) {
    for (auto type : {GridType::MSFlexGrid, GridType::MSHFlexGrid}) {
        memory::FlexGrid g(type);
        EXPECT_EQ(
            grid.sFillTableWith("select 编号,名称 from 货物 where 名称 = ? or 编号 > ?", {"钢管", 2}, g), "")
            << g.typeName();
        EXPECT_EQ(column(g, 1), (Cells{"编号", "1", "3"})) << g.typeName();
        memory::FlexGrid hostile(type);
        EXPECT_EQ(grid.sFillTableWith("select 编号,名称 from 货物 where 名称 = ?", {"x' or '1'='1"}, hostile),
                  "0")
            << g.typeName();
    }
}

// A query form's fill (sizes, a totals row, dates tidied, banded rows) is told
// to a view in a few blocks, however many rows come back.
TEST_F(Fill, AViewHearsAFewBlocksWhateverTheRowCount) {
    const auto heard = [&](int extraRows, GridType type) {
        std::vector<std::string> inserts;
        for (int i = 0; i < extraRows; ++i)
            inserts.push_back("insert into 货物 values (" + std::to_string(10 + i) +
                              ", '角钢', 1.5, 2, '2003-6-1')");
        exec(inserts);
        memory::FlexGrid g(type);
        testing::GridRecorder recorder;
        g.listen(&recorder);
        EXPECT_EQ(grid.sFillTable("select 编号,名称,金额,日期 from 货物", g, true, 2, "金额", true), "");
        grid.mSetGridRowColor(g, 0xF3EEE6);
        exec({"delete from 货物 where 编号 >= 10"});
        return recorder.heard;
    };
    // rows 1..3 from the table, then as many as were added; the totals row last
    const std::vector<std::string> flex3 = {
        "insert cols 2..4",  // 序号 and four fields
        "end",
        "remove rows 1..1",  // down to the heading
        "end",
        "cells 0..0 x 0..4",  // the heading
        "look",               // HighLight
        "insert rows 1..3",   // the records, taken in whole
        "end",
        "look",               // the tooltip
        "cells 1..3 x 0..0",  // running numbers
        "insert rows 4..4",   // 合计
        "end",
        "widths 0..4",        // sized to the content
        "cells 1..1 x 4..4",  // 1900-01-01 blanked
        "cells 2..4 x 1..4",  // banded rows
        "cells 0..4 x 0..4",  // their alignment
    };
    EXPECT_EQ(heard(0, GridType::MSFlexGrid), flex3);
    const auto flex203 = heard(200, GridType::MSFlexGrid);
    EXPECT_EQ(flex203.size(), flex3.size()) << "as many announcements for 203 rows as for 3";
    EXPECT_EQ(flex203.at(6), "insert rows 1..203") << "the records in one block";
    const auto bound = heard(200, GridType::MSHFlexGrid);
    EXPECT_LE(bound.size(), flex3.size());
    EXPECT_EQ(bound.at(2), "reset") << "the bound rows are laid out in one reset";
}

class OtherGrid : public memory::FlexGrid {
public:
    std::string typeName() const override { return "DataGrid"; }
};

TEST_F(Fill, AMissingTableLeavesTheGridAsItWas) {
    memory::FlexGrid g;
    g.TextMatrix(1, 1, "kept");
    const std::string bad = grid.sFillTable("select 名称 from 没有的表", g);
#if PALVO_TEST_ON_MSSQL
    EXPECT_NE(bad.find("Invalid object name '没有的表'."), std::string::npos)
        << bad;  // behind the driver's tags
#else
    EXPECT_EQ(bad, "对象名 '没有的表' 无效。");
#endif
    EXPECT_EQ(g.TextMatrix(1, 1), "kept");
}

TEST_F(Fill, AStatementFailingOnItsThirdRecordLeavesTheGridAsItWas) {
    for (auto type : {GridType::MSFlexGrid, GridType::MSHFlexGrid}) {
        memory::FlexGrid half(type);
        half.TextMatrix(1, 1, "kept");
        const std::string failed = grid.sFillTable(
            "select 编号, 名称 from 货物 where convert(int, case when 编号 < 3 then '1' else 'x' end) = 1",
            half);
        EXPECT_NE(failed.find("'x'"), std::string::npos) << failed;
        EXPECT_EQ(half.Rows(), 2) << half.typeName();
        EXPECT_EQ(row(half, 1), (Cells{"", "kept"})) << half.typeName();
    }
}

// After the rows were written.
TEST_F(Fill, ACellTooWideForASixteenBitWidthEndsTheCall) {
    exec({"create table 长 (备注 nvarchar(4000))"});
    std::string text;
    for (int i = 0; i < 400; ++i) text += "字";
    conn->ExecuteWith("insert into 长 values (?)", {Value(text)});
    memory::FlexGrid wide;
    EXPECT_EQ(grid.sFillTable("select 备注 from 长", wide, true), "Overflow");
    EXPECT_EQ(column(wide, 0), (Cells{"序号", "1"}));
    EXPECT_EQ(wide.ColWidth(1), 960) << "sizing did not happen";
}

TEST_F(Fill, SizingWithoutAMeasurerFailsBeforeAnyRow) {
    installTextMeasurer(nullptr);
    memory::FlexGrid unmeasured;
    unmeasured.TextMatrix(1, 1, "kept");
    EXPECT_EQ(grid.sFillTable("select 编号 from 货物", unmeasured, true),
              "No text measurer is installed on this thread");
    EXPECT_EQ(unmeasured.TextMatrix(1, 1), "kept");
    EXPECT_EQ(grid.sFillTable("select 编号 from 货物", unmeasured), "") << "sizing off needs no measurer";
}

// It gets the rest of the steps.
TEST_F(Fill, AGridOfAnotherTypeGetsNoRows) {
    OtherGrid other;
    other.Rows(3);
    other.TextMatrix(2, 0, "x");
    EXPECT_EQ(grid.sFillTable("select 编号,名称 from 货物", other), "");
    EXPECT_EQ(other.Cols(), 3);
    EXPECT_EQ(other.ToolTipText(), "共有 3 条记录！");
    EXPECT_EQ(column(other, 0), (Cells{"", "1", "2"})) << "only the running numbers were written";
}

TEST_F(Fill, ColumnTitlesComeFromAnOpenRecordset) {
    Recordset rs;
    rs.Open("select 编号,名称,金额 from 货物", *conn);
    memory::FlexGrid titled;
    std::int16_t col = 2;
    std::int16_t field = 1;
    grid.mAddGridColTitle(titled, rs, col, field);
    EXPECT_EQ(col, 4) << "the column after the last heading";
    EXPECT_EQ(titled.FixedCols(), 2);
    EXPECT_EQ(row(titled, 0), (Cells{"序号", "", "名称", "金额", ""}));

    memory::FlexGrid plain;
    grid.mAddGridColTitle(plain, rs);
    EXPECT_EQ(plain.FixedCols(), 0);
    EXPECT_EQ(row(plain, 0), (Cells{"编号", "名称", "金额"}));

    std::int16_t badField = 5;
    std::int16_t start = 0;
    grid.mAddGridColTitle(plain, rs, start, badField);
    EXPECT_EQ(start, 0) << "no field from 5 on";
    rs.Close();
    EXPECT_THROW(grid.mAddGridColTitle(plain, rs), Error);
}

// Character for character, and what it brings back.
TEST_F(Fill, TheStatementRunsAsWritten) {
    exec({"insert into 货物 values (4, '钢''条 -- order by 名称', 0, 0, null)"});
    auto recorder = std::make_shared<testing::CountingConnection>(conn);
    session().oConn = recorder;
    struct Case {
        const char* sql;
        const char* sent;
        Cells numbers;
    } cases[] = {
        {"select 编号,名称 from 货物 where 名称<>'钢''条 -- order by 名称'",
         "select 编号,名称 from 货物 where 名称<>'钢''条 -- order by 名称' order by 编号",
         {"编号", "1", "2"}},
        {"select 编号,名称 from 货物 where 名称 like N'%;%' or 名称 like '%‘%'",
         "select 编号,名称 from 货物 where 名称 like N'%;%' or 名称 like '%‘%' order by 编号",
         {"编号"}},
    };
    for (const auto& c : cases) {
        recorder->reset();
        memory::FlexGrid ran;
        grid.sFillTable(c.sql, ran);
        EXPECT_EQ(recorder->queries, std::vector<std::string>{c.sent}) << c.sql;
        EXPECT_TRUE(recorder->executes.empty()) << c.sql;
        EXPECT_EQ(column(ran, 1), c.numbers) << c.sql;
    }
}

}  // namespace
}  // namespace Palvo
