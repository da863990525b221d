// The print settings dialog, played on every window host over the embedded database.
#include <gtest/gtest.h>

#include "palvo/clsDatabase.h"
#include "palvo/clsSearch.h"
#include "palvo/error.h"
#include "support/settings_dialogs.h"

namespace Palvo::testing {
namespace {

class PrintSettings : public SettingsDialogTest {
protected:
    void SetUp() override { setUpTables(""); }
    void open(const std::string& script, const std::string& query = "月报", const std::string& must = "",
              const std::string& table = "客户") {
        host.emplace(GetParam(), script);
        EXPECT_TRUE(clsSearch().sPrintSet(table, query, "普通查询", "", must).isNull());
    }
    std::vector<Items> lists() { return {items("List1"), items("List2"), items("List3"), items("List4")}; }
    CommandButton& button(const std::string& name) { return get<CommandButton>(name); }
    // 字段名 选择标志/排列顺序/排序/合计 of the set, in display order.
    Items rows() { return settingsRows("选择标志, 排列顺序, 排序, 合计", "月报"); }
};

TEST_P(PrintSettings, TheFirstOpeningSeedsEveryShownColumnInTableOrder) {
    open("");
    EXPECT_EQ(host->lastFrame().Caption(), "查询打印设置--客户");
    EXPECT_EQ(lists(), (std::vector<Items>{{}, {"名称", "金额", "数量", "日期"}, {}, {}}));
    EXPECT_EQ(rows(), (Items{"名称 1/2/0/0", "金额 1/3/0/0", "数量 1/4/0/0", "日期 1/5/0/0"}));
    for (const char* name : {"Command1", "Command5", "Command11", "cmdAsc"})
        EXPECT_FALSE(button(name).Enabled()) << name;
    for (const char* name : {"Command2", "Command6", "Command9", "Command7"})
        EXPECT_TRUE(button(name).Enabled()) << name;
    EXPECT_EQ(button("Command1").Picture(), "Right");
    EXPECT_EQ(button("cmdAsc").Picture(), "Up");
}

TEST_P(PrintSettings, TheCaptionDropsUpToTwoLeadingSingleByteCharacters) {
    for (const char* table : {"B_单位", "AB单位", "单位"}) {
        open("", "月报", "", table);
        EXPECT_EQ(host->lastFrame().Caption(), "查询打印设置--单位") << table;
    }
}

// sGetField finds the set, and it is seeded once.
TEST_P(PrintSettings, QuotesInNamesStayInsideTheirStatements) {
    session().sUser = "O'Neil";
    open("select List2 3\nclick Command2\nclick Command7", "王's 月报");
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(clsDatabase().sGetField("客户", "普通查询", "王's 月报"), "名称,金额,数量");
    EXPECT_EQ(scalar("select count(*) from 查询打印设置 where 用户名='O''Neil'"), "4") << "no second seeding";
}

TEST_P(PrintSettings, TheUsersClicksMoveColumnsBetweenTheLists) {
    open(
        "select List2 0\ndblclick List2\nselect List2 1\ndblclick List2\n"  // hide 名称, then 数量
        "select List1 1\ndblclick List1\n"                                  // 数量 back below 日期
        "select List2 1\nclick Command9\n"                                  // 日期 down
        "select List2 1\nclick Command14\nclick Command12\n"  // 数量 into totals and sort keys
        "click Command2");                                    // hide 数量: gone from the totals only
    EXPECT_EQ(lists(), (std::vector<Items>{{"名称", "数量"}, {"金额", "日期"}, {"数量—升序"}, {}}));
    EXPECT_EQ(dynamic_cast<ListBox&>(host->lastFrame().control("List2")).ListIndex(), 1);
    EXPECT_FALSE(button("Command9").Enabled());
    EXPECT_TRUE(button("Command11").Enabled());
}

TEST_P(PrintSettings, HidingAllEmptiesTheOtherLists) {
    open(
        "select List2 0\nclick Command12\nselect List2 1\nclick Command12\n"
        "select List3 0\nclick Command4\nclick Command6");
    EXPECT_EQ(lists(), (std::vector<Items>{{"名称", "金额", "数量", "日期"}, {}, {}, {}}));
    for (const char* name :
         {"Command2", "Command6", "Command3", "Command4", "Command10", "Command7", "cmdAsc"}) {
        EXPECT_FALSE(button(name).Enabled()) << name;
    }
    EXPECT_TRUE(messages().empty());
}

const char* const shownHiddenSortKeysAndTotal =
    "select List2 2\nclick Command2\nselect List2 2\nclick Command2\n"  // hide 数量, then 日期
    "select List2 1\nclick Command12\nclick cmdAsc\n"                   // 金额 descending
    "select List2 0\nclick Command12\n"                                 // 名称 below it
    "select List2 1\nclick Command14\nclick Command7";                  // total 金额, save

TEST_P(PrintSettings, ASaveWritesTheWholeArrangement) {
    open(shownHiddenSortKeysAndTotal);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(rows(), (Items{"名称 1/0/2/0", "金额 1/1/1.1/1", "数量 0/2/0/0", "日期 0/3/0/0"}));
    EXPECT_EQ(clsDatabase().sGetField("客户", "普通查询", "月报", "排序"), "金额 desc,名称 asc");
}

TEST_P(PrintSettings, TheSavedSetComesBackOnTheNextOpening) {
    open(shownHiddenSortKeysAndTotal);
    open("");
    EXPECT_EQ(lists(),
              (std::vector<Items>{{"数量", "日期"}, {"名称", "金额"}, {"金额—降序", "名称—升序"}, {"金额"}}))
        << "sort keys come back in their order with their directions";
    EXPECT_EQ(button("cmdAsc").Picture(), "Up") << "the first key is descending";
}

TEST_P(PrintSettings, ARemovedKeyAddedAgainKeepsItsSavedDirection) {
    open(shownHiddenSortKeysAndTotal);
    open("select List3 0\nclick Command10\nselect List2 1\nclick Command12");
    EXPECT_EQ(items("List3"), (Items{"名称—升序", "金额—降序"}));
}

TEST_P(PrintSettings, ARefusalWritesNothing) {
    open("", "月报", "x");  // seeds 编号 too
    const std::string before = snapshot();
    struct Case {
        std::string script, must, message;
    } cases[] = {
        {"click Command14", "x", "不能选择编号，请选择其它项目！"},
        {"select List2 1\nclick Command14", "x", "必须选择数字类型的项目！"},
        {"click Command13", "x", "没有选择项，请选择！"},
        {"select List2 1\nclick Command2\nclick Command7", "编号, 名称 ,", "“ 名称 ”必须选择，请重选！"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        open(c.script, "月报", c.must);
        EXPECT_EQ(messages(), std::vector<Message>{warning(c.message)});
        EXPECT_EQ(snapshot(), before);
    }
}

TEST_P(PrintSettings, CancelOrEscWritesNothing) {
    open("", "月报", "x");
    const std::string before = snapshot();
    open("click Command6\nclick Command8");
    open("click Command6\nkey Esc");
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(host->unplayed(), 0u);
}

TEST_P(PrintSettings, ASaveWithNothingShownIsRefused) {
    open("", "月报", "x");
    exec({"update 查询打印设置 set 选择标志=0"});
    open("click Command7");
    EXPECT_EQ(messages(), std::vector<Message>{warning("你的设置不正确，至少选择一项,请重新设置！")});
}

TEST_P(PrintSettings, ATotalAddedTwiceIsIgnored) {
    open("", "月报", "x");
    open("select List2 2\nclick Command14\nclick Command14\nkey Esc");
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(items("List4"), (Items{"金额"}));
}

TEST_P(PrintSettings, AStoredColumnTheTableLacksPassesAsATotal) {
    open("", "月报", "x");
    exec(
        {"insert into 查询打印设置 (表名, 字段名, 选择标志, 排列顺序, 查询类别, 查询名, 用户名) "
         "values ('客户', '旧列', 1, 9, '普通查询', '月报', '张三')"});
    open("select List2 5\nclick Command14\nkey Esc");
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(items("List4"), (Items{"旧列"}));
}

// A view's sums are numbers, which the totals take; its text column is refused.
TEST_P(PrintSettings, TheTotalsTakeTheSumsOfAView) {
    exec(
        {"create view 客户汇总 as select 名称, sum(数量) as 总数, sum(金额) as 总额 from 客户 group by "
         "名称"});
    open("select List2 1\nclick Command14\nselect List2 2\nclick Command14", "汇总", "", "客户汇总");
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(items("List4"), (Items{"总数", "总额"}));
    open("select List2 0\nclick Command14", "汇总", "", "客户汇总");
    EXPECT_EQ(messages(), std::vector<Message>{warning("必须选择数字类型的项目！")});
}

// For every statement k of the save, statement k fails: the set is as it was,
// and the dialog stays open with its lists as the user left them.
TEST_P(PrintSettings, AFailingStatementOfTheSaveLeavesTheSetAsItWas) {
    open("");
    const std::string arrange =
        "select List2 3\nclick Command2\nselect List2 1\nclick Command12\nclick Command14\nclick Command7\n"
        "click Command8";  // played only while the dialog is still open
    const std::vector<Items> arranged{{"日期"}, {"名称", "金额", "数量"}, {"金额—升序"}, {"金额"}};
    const std::string before = snapshot();
    const int k = failEachUpdate(
        [&] { open(arrange); },
        [&](int statement) {
            EXPECT_EQ(snapshot(), before) << "statement " << statement;
            EXPECT_EQ(messages(), std::vector<Message>{warning("保存发生错误：磁盘已满")}) << statement;
            EXPECT_EQ(lists(), arranged) << statement;
            EXPECT_EQ(host->unplayed(), 0u) << statement;
        });
    EXPECT_EQ(k, 8) << "4 columns, the sort reset and one key, the totals reset and one total";
    EXPECT_EQ(host->unplayed(), 1u) << "the save closed the dialog";
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(rows(), (Items{"名称 1/0/0/0", "金额 1/1/1/1", "数量 1/2/0/0", "日期 0/3/0/0"}));
}

INSTANTIATE_TEST_SUITE_P(Windows, PrintSettings, ::testing::ValuesIn(windowHostKinds()), hostName);

}  // namespace
}  // namespace Palvo::testing
