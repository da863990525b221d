// The spooled grid against sFillTable's memory grid: the same statement must
// give the same shape, texts and widths, whichever order the rows are read in.
#include "palvo/spooled_grid.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "palvo/clsGrid.h"
#include "palvo/error.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/measure.h"
#include "support/sqlite_fixture.h"

namespace Palvo {
namespace {

constexpr int kRows = 150;  // past two of the file's marks of every 64th row

class Spooled : public testing::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        exec(
            {"create table 货物 (编号 int, 名称 nvarchar(20), 金额 decimal(12,2), 日期 datetime, "
             "登记时间 varchar(20), 备注 nvarchar(40))"});
        // nulls, a blanked 1900-01-01, dates held as text, cells of two lines and with a tab
        exec({"with n(i) as (select 1 union all select i + 1 from n where i < " + std::to_string(kRows) +
              ") insert into 货物 select i, case when i % 11 = 0 then null else N'钢管' + cast(i as "
              "nvarchar(10)) end, 1.5 * i, case when i % 7 = 0 then '1900-01-01' when i % 5 = 0 then null "
              "else dateadd(day, i, '2003-01-01') end, case when i % 2 = 0 then '2004-2-' + "
              "cast(i % 28 + 1 as varchar(4)) else 'n/a' end, case when i % 3 = 0 then N'两行' + char(10) + "
              "N'第二行' when i % 4 = 0 then 'a' + char(9) + 'b' else '' end from n"});
        installTextMeasurer(std::make_shared<memory::FixedWidthMeasurer>());
    }
    void TearDown() override {
        installTextMeasurer(nullptr);
        SessionTest::TearDown();
    }
};

// Every cell read forwards or backwards, then every 37th row column by column.
void expectSameGrid(const ReportRows& expected, const ReportRows& spooled, const std::string& what,
                    bool backwards) {
    ASSERT_EQ(spooled.Rows(), expected.Rows()) << what;
    ASSERT_EQ(spooled.Cols(), expected.Cols()) << what;
    EXPECT_EQ(spooled.FixedRows(), expected.FixedRows()) << what;
    EXPECT_EQ(spooled.CellFontSize(), expected.CellFontSize()) << what;
    for (int i = 0, n = expected.Rows(); i < n; ++i) {
        const int r = backwards ? n - 1 - i : i;
        for (int c = 0; c < expected.Cols(); ++c)
            ASSERT_EQ(spooled.TextMatrix(r, c), expected.TextMatrix(r, c))
                << what << " cell " << r << "," << c;
    }
    for (int c = 0; c < expected.Cols(); ++c) {
        for (int r = 0; r < expected.Rows(); r += 37)
            ASSERT_EQ(spooled.TextMatrix(r, c), expected.TextMatrix(r, c))
                << what << " cell " << r << "," << c;
        EXPECT_EQ(spooled.ColWidth(c), expected.ColWidth(c)) << what;
    }
}

TEST_F(Spooled, FillsAsSFillTableFillsAMemoryGrid) {
    struct Case {
        std::string sql;
        bool controlSize, backwards;
    };
    const Case cases[] = {
        {"select * from 货物", false, true},
        {"select * from 货物", true, false},
        {"select 名称, 日期 from 货物 order by 名称 desc", true, false},
        // an expression column is typed from all its values: the rows are read whole first
        {"select 编号 * 2 as 双倍, 名称 + N'号' as 名 from 货物", true, false},
        {"select * from 货物 where 编号 < 0", true, false},  // no rows: "0" and the headings alone
    };
    for (const Case& c : cases) {
        memory::FlexGrid expected;
        const std::string filled = clsGrid().sFillTable(c.sql, expected, c.controlSize, 0, "", true);
        SpooledGrid spooled;
        EXPECT_EQ(fillSpooledGrid(*conn, c.sql, spooled, c.controlSize), filled) << c.sql;
        expectSameGrid(GridReportRows(expected), spooled, c.sql, c.backwards);
        EXPECT_EQ(spooled.ToolTipText(), expected.ToolTipText()) << c.sql;
    }
}

TEST_F(Spooled, BothKindsOfRowsRefuseACellOutsideThem) {
    SpooledGrid spooled;
    memory::FlexGrid expected;
    ASSERT_EQ(fillSpooledGrid(*conn, "select 名称 from 货物", spooled, false), "");
    ASSERT_EQ(clsGrid().sFillTable("select 名称 from 货物", expected), "");
    const GridReportRows inMemory(std::as_const(expected));
    for (const ReportRows* rows : std::initializer_list<const ReportRows*>{&spooled, &inMemory}) {
        EXPECT_EQ(rows->TextMatrix(1, 1), "钢管1");
        for (const auto& [row, col] : {std::pair{kRows + 1, 0}, {-1, 0}, {1, 2}, {1, -1}}) {
            try {
                (void)rows->cellText(row, col);
                ADD_FAILURE() << "read cell " << row << "," << col << " outside the rows";
            } catch (const Error& e) {
                EXPECT_EQ(e.number(), GridError::Subscript) << row << "," << col;
            }
        }
    }
}

// The printed report reads the font size with column 0 current, as it always made it.
TEST_F(Spooled, OnlyRowsOfAMutableGridMakeColumnZeroCurrent) {
    memory::FlexGrid expected;
    const GridReportRows inMemory(std::as_const(expected));
    expected.Col(1);
    (void)inMemory.CellFontSize();
    EXPECT_EQ(expected.Col(), 1) << "rows of a const grid leave it as it is";
    (void)GridReportRows(expected).CellFontSize();
    EXPECT_EQ(expected.Col(), 0);
}

TEST_F(Spooled, ASecondFillReplacesTheFirstOnesRows) {
    SpooledGrid spooled;
    ASSERT_EQ(fillSpooledGrid(*conn, "select 名称 from 货物", spooled, false), "");
    ASSERT_EQ(fillSpooledGrid(*conn, "select 名称 from 货物 where 编号 <= 3", spooled, false), "");
    EXPECT_EQ(spooled.Rows(), 4);
    EXPECT_EQ(spooled.TextMatrix(3, 1), "钢管3");
}

TEST_F(Spooled, WithoutATemporaryFolderTheFillSaysSoLeavingTheGridAsItWas) {
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    setenv("TMPDIR", "/nonexistent/palvo", 1);
    SpooledGrid fresh;
    const std::string noFolder = fillSpooledGrid(*conn, "select 名称 from 货物", fresh, false);
    old ? setenv("TMPDIR", saved.c_str(), 1) : unsetenv("TMPDIR");
    EXPECT_NE(noFolder.find("temporary folder"), std::string::npos) << noFolder;
    EXPECT_EQ(fresh.Rows(), 1);
}

}  // namespace
}  // namespace Palvo
