// The custom query dialog and its condition grid, played on every window host
// over the embedded database.
#include <gtest/gtest.h>

#include <cstdlib>

#include "palvo/clsDatabase.h"
#include "palvo/clsSearch.h"
#include "palvo/error.h"
#include "support/settings_dialogs.h"

namespace Palvo::testing {
namespace {

class CustomQuery : public SettingsDialogTest {
protected:
    void SetUp() override { setUpTables(", 照片 image"); }
    void open(const std::string& script, const std::string& query = "月报",
              const std::string& table = "客户") {
        host.emplace(GetParam(), script);
        EXPECT_TRUE(clsSearch().sPrintSet_Zdy(table, query, "自定义查询").isNull());
    }
    // The script lines that fill condition row r; a "" logic leaves its cell alone.
    static std::string cond(int r, const std::string& column, const std::string& comparison,
                            const std::string& value, const std::string& logic = "") {
        const std::string at = "grid MS " + std::to_string(r) + " ";
        return (logic.empty() ? "" : at + "1 = " + logic + "\n") + at + "2 = " + column + "\n" + at +
               "3 = " + comparison + "\n" + at + "4 = " + value + "\n";
    }
    std::vector<Items> lists() {
        return {items("List1"), items("List2"), items("List3"), items("List4"), items("List5")};
    }
    // The grid's rows below the heading, cells joined by "|".
    Items grid() {
        auto& g = get<FlexGrid>("MS");
        Items out;
        for (int r = 1; r < g.Rows(); ++r) {
            std::string row;
            for (int c = 0; c < 5; ++c) row += (c ? "|" : "") + g.TextMatrix(r, c);
            out.push_back(row);
        }
        return out;
    }
    // 字段名 选择标志/排列顺序/排序/合计/分组 of the set, in display order.
    Items rows() { return settingsRows("选择标志, 排列顺序, 排序, 合计, 分组", "月报"); }
    // The condition and its items, the same on every row of the set.
    Items condition() {
        auto t = conn->Query("select distinct 查询条件, 条件项目 from 查询打印设置");
        Items out;
        for (std::size_t r = 0; r < t.rowCount(); ++r)
            out.push_back(t.at(r, 0).toText() + "#" + t.at(r, 1).toText());
        return out;
    }
};

TEST_P(CustomQuery, TheFirstOpeningSeedsEveryColumnButImages) {
    open("");
    EXPECT_EQ(host->lastFrame().Caption(), "自定义查询打印设置--客户");
    EXPECT_EQ(rows(), (Items{"编号 1/0/0/0/0", "名称 1/1/0/0/0", "金额 1/2/0/0/0", "数量 1/3/0/0/0",
                             "日期 1/4/0/0/0", "备注 1/5/0/0/0"}));
    EXPECT_FALSE(get<CommandButton>("cmdAsc").Enabled()) << "no sort key";
}

TEST_P(CustomQuery, TheFirstOpeningSetsUpTheConditionGrid) {
    open("");
    auto& g = get<FlexGrid>("MS");
    EXPECT_EQ(g.FixedRows(), 1);
    EXPECT_EQ(g.FixedCols(), 0);
    const char* headings[] = {"括号", "逻辑", "字段", "计算逻辑", "值"};
    const std::int32_t widths[] = {800, 1300, 2500, 1100, 2500};
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(g.TextMatrix(0, c), headings[c]);
        EXPECT_EQ(g.ColWidth(c), widths[c]);
        EXPECT_FALSE(get<ComboBox>("cmb" + std::to_string(c)).Visible());
    }
    EXPECT_EQ(grid(), Items{"||||"});
    auto& columns = get<ComboBox>("cmb2");
    ASSERT_EQ(columns.ListCount(), 7);
    EXPECT_EQ(columns.List(0), "");
    EXPECT_EQ(columns.List(6), "备注");
    EXPECT_EQ(get<ComboBox>("cmb1").ListCount(), 18);
    EXPECT_EQ(get<ComboBox>("cmb3").ListCount(), 9);
}

const std::string quotedQuery = "王's 月报";

// Two condition rows, saved.
class SavedConditions : public CustomQuery {
protected:
    void SetUp() override {
        CustomQuery::SetUp();
        open(cond(1, "名称", " 包含 ", "O'Neil") + "click Command16\n" +
                 cond(2, "数量", " > ", "5", " AND ") + "click Command7",
             quotedQuery);
    }
};

TEST_P(SavedConditions, TheGridIsSavedOnEveryRow) {
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(condition(),
              Items{"名称 like '%O''Neil%' AND 数量 > 5#,,名称, 包含 ,O'Neil,, AND ,数量, > ,5"});
    EXPECT_EQ(clsDatabase().sGetField("客户", "自定义查询", quotedQuery), "编号,名称,金额,数量,日期,备注");
}

// The editors follow the current cell.
TEST_P(SavedConditions, TheSavedGridComesBackWithItsEditorOverTheCell) {
    open("grid MS 2 4", quotedQuery);
    EXPECT_EQ(grid(), (Items{"||名称| 包含 |O'Neil", "| AND |数量| > |5"}));
    auto& g = get<FlexGrid>("MS");
    auto& value = get<ComboBox>("cmb4");
    EXPECT_TRUE(value.Visible());
    EXPECT_FALSE(get<ComboBox>("cmb3").Visible());
    EXPECT_EQ(value.Text(), "5");
    // placed over the cell (a pixel's rounding on a screen)
    EXPECT_LE(std::abs(value.Left() - (g.Left() + g.CellLeft())), 15);
    EXPECT_LE(std::abs(value.Top() - (g.Top() + g.CellTop() - 15)), 15);
    EXPECT_LE(std::abs(value.Width() - g.CellWidth()), 15);
}

// The stored condition goes at once, and the dialog says so each time it
// opens until the rest is saved.
TEST_P(SavedConditions, AColumnTheTableLostTakesItsConditionRowsWithIt) {
    exec({"alter table 客户 drop column 名称", "alter table 客户 add 电话 varchar(20)"});
    EXPECT_EQ(clsDatabase().sGetField("客户", "自定义查询", quotedQuery), "编号,金额,数量,日期,备注,电话");
    EXPECT_EQ(condition(), Items{"#,,名称, 包含 ,O'Neil,, AND ,数量, > ,5"});
    const Message notice =
        info("表中已没有字段“名称”，含有该字段的查询条件已删除，请检查查询条件后重新保存！");
    for (int opening = 0; opening < 2; ++opening) {
        open("", quotedQuery);
        SCOPED_TRACE(opening);
        EXPECT_EQ(messages(), std::vector<Message>{notice});
        EXPECT_EQ(grid(), Items{"||数量| > |5"}) << "the next row joins nothing before it";
        EXPECT_EQ(items("List2"), (Items{"编号", "金额", "数量", "日期", "备注", "电话"}));
    }
    open("click Command7", quotedQuery);
    EXPECT_EQ(condition(), Items{"数量 > 5#,,数量, > ,5"});
    open("", quotedQuery);
    EXPECT_TRUE(messages().empty());
}

// 名称 takes its values from B_单位, one of them with a comma; row 1 saved on it.
class MasterValues : public CustomQuery {
protected:
    void SetUp() override {
        CustomQuery::SetUp();
        exec({"insert into B_单位 (单位编号, 名称) values ('01', '北京,朝阳'), ('02', ' 上海 ')",
              "insert into 更新表记录 (主表, 主表字段, 附表, 附表字段) values ('B_单位', '名称', '客户', "
              "'名称')"});
        open(cond(1, "名称", " = ", "北京,朝阳") + "click Command7");
    }
};

TEST_P(MasterValues, MayCarryAComma) {
    auto& values = get<ComboBox>("cmb4");
    ASSERT_EQ(values.ListCount(), 2);
    EXPECT_EQ(values.List(1), "上海");
    EXPECT_EQ(condition(), Items{"名称 = '北京,朝阳'#,,名称, = ,北京\x1f朝阳"});
}

TEST_P(MasterValues, TypedCommasAreSwallowed) {
    open("grid MS 1 4 = 南,京,");
    EXPECT_EQ(grid(), Items{"||名称| = |南京"});
    EXPECT_EQ(get<ComboBox>("cmb4").Text(), "南京");
}

// A set with a Null condition, in a settings table whose condition columns take one.
class NullCondition : public CustomQuery {
protected:
    void SetUp() override {
        CustomQuery::SetUp();
        exec(
            {"drop table 查询打印设置",
             "create table 查询打印设置 (表名 nvarchar(128), 字段名 nvarchar(128), 选择标志 int, 排列顺序 "
             "int, "
             "查询类别 nvarchar(50), 查询名 nvarchar(100), 用户名 nvarchar(50), 合计 int, 排序 decimal(9,1), "
             "分组 int, 查询条件 ntext, 条件项目 ntext)"});
        open("click Command7");
    }
};

TEST_P(NullCondition, SavingAnEmptyGridWritesEmptyTexts) {
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(condition(), Items{"#"});
}

TEST_P(NullCondition, AStoredNullConditionLeavesTheGridEmpty) {
    exec({"update 查询打印设置 set 条件项目=NULL"});
    open("");
    EXPECT_EQ(grid(), Items{"||||"});
}

TEST_P(CustomQuery, DeletingARowRemovesItsCells) {
    open(
        "click Command16\ngrid MS 1 2 = 名称\nclick Command16\nclick Command16\n"  // one row added
        "grid MS 2 2 = 数量\ngrid MS 1 0 = (\nclick Command15");                   // row 1 goes
    EXPECT_EQ(grid(), Items{"||数量||"});
    open("grid MS 1 2 = 名称\nclick Command15");
    EXPECT_EQ(grid(), Items{"||||"}) << "the only row is emptied";
}

TEST_P(CustomQuery, RowsBelowAnEmptyRowAreNotSaved) {
    open(cond(1, "名称", " = ", "x") + "click Command16\ngrid MS 2 1 =  AND \nclick Command16\n" +
         cond(3, "数量", " > ", "1", " AND ") + "grid MS 2 1 = \nclick Command7");  // row 2 emptied again
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(condition(), Items{"名称 = 'x'#,,名称, = ,x"});
    open("");
    EXPECT_EQ(grid(), Items{"||名称| = |x"}) << "rows below an empty row do not come back";
}

// 金额 grouped, totalled and hidden; sort keys 编号 and 名称, then 编号 removed.
const char* const hideAndSort =
    "select List2 2\nclick Command14\nclick Command18\nclick Command2\n"
    "select List2 0\nclick Command12\nselect List2 1\nclick Command12\nselect List3 0\nclick Command10";

TEST_P(CustomQuery, HidingDropsAGroupButKeepsItsTotal) {
    open(hideAndSort);
    EXPECT_EQ(lists(), (std::vector<Items>{
                           {"金额"}, {"编号", "名称", "数量", "日期", "备注"}, {"名称—升序"}, {}, {"金额"}}));
}

TEST_P(CustomQuery, TheButtonsFollowWhatTheListsHold) {
    open(hideAndSort);
    for (const char* name : {"Command3", "Command4"})
        EXPECT_FALSE(get<CommandButton>(name).Enabled()) << name;
    for (const char* name : {"Command10", "Command12"})
        EXPECT_TRUE(get<CommandButton>(name).Enabled()) << name;
}

// 金额 totalled and hidden; 编号 made a sort key and removed again; saved.
const char* const totalHiddenAndKeyRemoved =
    "select List2 2\nclick Command18\nclick Command2\nselect List2 0\nclick Command12\nclick Command10\n"
    "click Command7";

TEST_P(CustomQuery, RemovingTheLastSortKeyDisablesItsButton) {
    open(totalHiddenAndKeyRemoved);
    EXPECT_FALSE(get<CommandButton>("Command10").Enabled());
    EXPECT_TRUE(get<CommandButton>("Command12").Enabled());
    EXPECT_TRUE(get<CommandButton>("cmdAsc").Enabled()) << "this dialog leaves cmdAsc as adding left it";
}

TEST_P(CustomQuery, AHiddenColumnIsSavedWithItsTotal) {
    open(totalHiddenAndKeyRemoved);
    EXPECT_EQ(rows()[5], "金额 0/5/0/1/0");
}

// Nothing is written and the dialog stays open.
TEST_P(CustomQuery, ARefusedSaveOnlyShowsItsMessage) {
    open("");
    const std::string before = snapshot();
    struct Case {
        std::string script;
        Message message;
    } cases[] = {
        {"select List2 1\nclick Command14\nselect List2 2\nclick Command14\nselect List2 1\nclick Command12\n"
         "select List2 3\nclick Command12\n",
         warning("排序项目必须是分组中的项目！请重新设置！")},
        {cond(1, "数量", " 包含 ", "5"), warning("查询条件中项目“数量”为数值类型，不能用 包含 ")},
        {cond(1, "数量", " = ", "5 or 1=1"), info("查询条件错误!,请重新编辑！")},
        // the database rejects the test query: an open bracket
        {"grid MS 1 0 = (\n" + cond(1, "名称", " = ", "x"), info("查询条件错误!,请重新编辑！")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        open(c.script + "click Command7\nclick Command8");
        EXPECT_EQ(messages(), std::vector<Message>{c.message});
        EXPECT_EQ(snapshot(), before);
        EXPECT_EQ(host->unplayed(), 0u) << "still open for the cancel";
    }
}

// For every statement k of the save, statement k fails: the set is as it was,
// and the dialog stays open with its lists and grid as the user left them.
TEST_P(CustomQuery, AFailingStatementOfTheSaveLeavesTheSetAsItWas) {
    open("");
    const std::string arrange =  // Command8 plays only while the dialog is still open
        "select List2 1\nclick Command14\nclick Command12\nselect List2 2\nclick Command18\n" +
        cond(1, "名称", " = ", "O'Neil") + "click Command7\nclick Command8";
    const std::vector<Items> arranged{
        {}, {"编号", "名称", "金额", "数量", "日期", "备注"}, {"名称—升序"}, {"名称"}, {"金额"}};
    const std::string before = snapshot();
    const int k = failEachUpdate([&] { open(arrange); },
                                 [&](int statement) {
                                     EXPECT_EQ(snapshot(), before) << "statement " << statement;
                                     EXPECT_EQ(messages(), std::vector<Message>{info("保存发生错误")})
                                         << statement;
                                     EXPECT_EQ(lists(), arranged) << statement;
                                     EXPECT_EQ(grid(), Items{"||名称| = |O'Neil"}) << statement;
                                     EXPECT_EQ(host->unplayed(), 0u) << statement;
                                 });
    EXPECT_EQ(k, 14)
        << "2 condition, 6 columns, sort reset and key, group reset and one, total reset and one";
    EXPECT_EQ(host->unplayed(), 1u) << "the save closed the dialog";
    EXPECT_EQ(condition(), Items{"名称 = 'O''Neil'#,,名称, = ,O'Neil"});
    EXPECT_EQ(rows()[1], "名称 1/1/1/0/1");
    EXPECT_EQ(rows()[2], "金额 1/2/0/1/0");
}

// Priorities stored in an order other than the display order load in their
// own order, so that saving without a change leaves every byte of the set.
TEST_P(CustomQuery, ASaveWithoutAChangeKeepsEveryStoredByte) {
    // 金额 hidden; a condition stands on every row
    open("select List2 2\nclick Command2\n" + cond(1, "名称", " = ", "O'Neil") + "click Command7");
    struct Case {
        const char* name;
        std::vector<std::string> priorities;
        std::vector<Items> lists;  // sort keys, grouping, totals
        Items fromSGetField;       // 排序, 分组, 合计
    } cases[] = {
        {"sort keys, grouping and totals against the display order",
         {"update 查询打印设置 set 排序=1.1, 分组=1, 合计=1 where 字段名='数量'",
          "update 查询打印设置 set 排序=2, 分组=2 where 字段名='名称'",
          "update 查询打印设置 set 合计=2 where 字段名='金额'"},
         {{"数量—降序", "名称—升序"}, {"数量", "名称"}, {"数量", "金额"}},
         {"数量 desc,名称 asc", "数量,名称", "数量"}},
        {"a hidden column's key and total first",
         {"update 查询打印设置 set 排序=1, 合计=1 where 字段名='金额'",
          "update 查询打印设置 set 排序=2.1 where 字段名='日期'",
          "update 查询打印设置 set 排序=3, 合计=2 where 字段名='编号'"},
         {{"金额—升序", "日期—降序", "编号—升序"}, {}, {"金额", "编号"}},
         {"金额 asc,日期 desc,编号 asc", "", "编号"}},
    };
    for (const Case& c : cases) {
        exec({"update 查询打印设置 set 排序=0, 合计=0, 分组=0"});
        exec(c.priorities);
        const std::string before = snapshot();
        open("click Command7");
        EXPECT_TRUE(messages().empty()) << c.name;
        EXPECT_EQ((std::vector<Items>{items("List3"), items("List4"), items("List5")}), c.lists) << c.name;
        EXPECT_EQ(snapshot(), before) << c.name;
        Items lists;
        for (const char* kind : {"排序", "分组", "合计"})
            lists.push_back(clsDatabase().sGetField("客户", "自定义查询", "月报", kind));
        EXPECT_EQ(lists, c.fromSGetField) << c.name;
    }
}

// Column names a bare statement cannot hold.
class GoodsQuery : public CustomQuery {
protected:
    void SetUp() override {
        CustomQuery::SetUp();
        exec(
            {"create table 商品 (名称 nvarchar(20), [单价(元)] money, [单 价] money, [order] nvarchar(10), "
             "[上架(日期] datetime)",
             "insert into 商品 values (N'钢', 2.5, 3, N'x', '2004-1-1')"});
    }
};

// The name goes in brackets where a bare one would break the statement.
TEST_P(GoodsQuery, AConditionOnAnyColumnNameRunsOnTheDatabase) {
    struct Case {
        std::string column, comparison, value, condition;
        std::size_t rows;
    } cases[] = {
        {"单价(元)", " > ", "2", "[单价(元)] > 2", 1},
        {"order", " 包含 ", "x", "[order] like '%x%'", 1},
        {"上架(日期", " >= ", "2004-1-2", "datediff(d,'2004-1-2',[上架(日期]) >= 0", 0},
        {"上架(日期", " < ", "1753-1-1", "datediff(d,'1753-1-1',[上架(日期]) < 0", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.condition);
        open(cond(1, c.column, c.comparison, c.value) + "click Command7", "月报", "商品");
        EXPECT_TRUE(messages().empty());
        EXPECT_EQ(condition(), Items{c.condition + "#,," + c.column + "," + c.comparison + "," + c.value});
        EXPECT_EQ(conn->Query("select * from 商品 where " + c.condition).rowCount(), c.rows);
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, CustomQuery, ::testing::ValuesIn(windowHostKinds()), hostName);
INSTANTIATE_TEST_SUITE_P(Windows, SavedConditions, ::testing::ValuesIn(windowHostKinds()), hostName);
INSTANTIATE_TEST_SUITE_P(Windows, MasterValues, ::testing::ValuesIn(windowHostKinds()), hostName);
INSTANTIATE_TEST_SUITE_P(Windows, NullCondition, ::testing::ValuesIn(windowHostKinds()), hostName);
INSTANTIATE_TEST_SUITE_P(Windows, GoodsQuery, ::testing::ValuesIn(windowHostKinds()), hostName);

}  // namespace
}  // namespace Palvo::testing
