// The condition finder, played on every window host over the embedded database.
#include "src/query/frm_find.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "palvo/clsSearch.h"
#include "support/errors.h"
#include "support/settings_dialogs.h"

namespace Palvo::testing {
namespace {

class FindWindow : public SettingsDialogTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        data::createHostTables(*conn);
        exec(
            {"create table 客户 (编号 int, 名称 nvarchar(20), 金额 decimal(10,2), 日期 datetime, 照片 image, "
             "[单价(元)] money, 类别 nvarchar(10), [单 价] money, [order] nvarchar(10), [到货(预计] "
             "datetime)",
             // a row, so that every condition is evaluated when a clause runs
             "insert into 客户 values (1, N'abc', 5, '2004-1-1', null, 2.5, N'甲', 3, N'x', '2004-1-1')"});
    }
    // The clause as the host uses it; a clause the database rejects fails here.
    std::size_t rowsOf(const std::string& clause) {
        return conn->Query("select * from 客户" + clause).rowCount();
    }
    // Plays the script on the window over `table` and returns the clause.
    std::string find(const std::string& script, const std::string& table = "客户",
                     const std::string& unit = "d") {
        host.emplace(GetParam(), script);
        return clsSearch().sFindStr(table, unit);
    }
    ComboBox& comboOf(const std::string& name) { return get<ComboBox>(name); }
    Items entries(const std::string& combo) {
        Items out;
        for (int i = 0; i < comboOf(combo).ListCount(); ++i) out.push_back(comboOf(combo).List(i));
        return out;
    }
    ListBox& rows() { return get<ListBox>("List1"); }
    // 类别 of 客户 takes its values from 类别表's 名称.
    void masterTable() {
        exec({"create table 类别表 (名称 nvarchar(10))",
              "insert into 更新表记录 values (N'类别表', N'名称', N'客户', N'类别')"});
    }
};

TEST_P(FindWindow, OffersTheSearchableColumnsWithTheirKinds) {
    find("");
    ComboBox& columns = comboOf("Combo2");
    using Offered = std::vector<std::pair<std::string, int>>;
    Offered offered;
    for (int i = 0; i < columns.ListCount(); ++i) offered.emplace_back(columns.List(i), columns.ItemData(i));
    const Offered expected = {{"名称", 0}, {"金额", 1},  {"日期", 2},  {"单价(元)", 1},
                              {"类别", 0}, {"单 价", 1}, {"order", 0}, {"到货(预计", 2}};
    EXPECT_EQ(offered, expected);
}

TEST_P(FindWindow, OpensOnTheFirstColumnComparedWithEquals) {
    find("");
    EXPECT_EQ(comboOf("Combo2").ListIndex(), 0);
    EXPECT_EQ(comboOf("Combo3").ListCount(), 8);
    EXPECT_EQ(comboOf("Combo3").Text(), "=");
}

// Each clause runs on the database and finds the one row or none, as its condition says.
TEST_P(FindWindow, EachKindOfColumnMakesItsCondition) {
    struct Case {
        std::string script, unit, clause;
        std::size_t rows;
    } cases[] = {
        // the rows joined blank for blank
        {"Combo3 = 包含\nText1 = abc\nclick cmdAdd\nCombo2 = 金额\nCombo3 = >=\nText1 = 5", "d",
         " where ( 名称 Like  '%abc%'  And  金额>=5 )", 1},
        {"Text1 = O'Neil", "d", " where ( 名称='O''Neil' )", 0},
        {"Combo3 = 不包含\nText1 = a'b", "d", " where ( 名称 not Like  '%a''b%' )", 1},
        {"Combo2 = 日期\nCombo3 = >=\nText1 = 2004-1-1", "m", " where ( datediff(m,'2004-1-1',日期)>=0 )", 1},
        {"Text1 = a\nclick cmdAdd\nCombo4 = 或者\nCombo2 = 金额\nCombo3 = <\nText1 = 3", "d",
         " where ( 名称='a'  or  金额<3 )", 0},
        // names a bare statement cannot hold go in brackets
        {"Combo2 = 单价(元)\nCombo3 = <>\nText1 = 2.5", "d", " where ( [单价(元)]<>2.5 )", 0},
        {"Combo2 = order\nCombo3 = 包含\nText1 = x", "d", " where ( [order] Like  '%x%' )", 1},
        {"Combo2 = 到货(预计\nCombo3 = <\nText1 = 2004-1-2", "d",
         " where ( datediff(d,'2004-1-2',[到货(预计])<0 )", 1},
        // the ends of datetime's range
        {"Combo2 = 日期\nCombo3 = >\nText1 = 1753-1-1", "d", " where ( datediff(d,'1753-1-1',日期)>0 )", 1},
        {"Combo2 = 日期\nCombo3 = >\nText1 = 9999-12-31", "yy", " where ( datediff(yy,'9999-12-31',日期)>0 )",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        EXPECT_EQ(find(c.script + "\nclick cmdAdd\nclick cmdOk", "客户", c.unit), c.clause);
        EXPECT_TRUE(messages().empty());
        EXPECT_EQ(rowsOf(c.clause), c.rows);
    }
}

// Adding then asks for a column.
TEST_P(FindWindow, AnUnreadableTableIsAMessage) {
    for (const std::string table : {"无此表", "客户 where 1=1; delete from 客户"}) {
        EXPECT_EQ(find("click cmdAdd\nclick cmdOk", table), " where '1'='1' ");
        ASSERT_EQ(messages().size(), 2u) << table;
        EXPECT_EQ(messages()[0].style, 48);
        EXPECT_NE(messages()[0].text.find(table == "无此表" ? "无此表" : "not a table name"),
                  std::string::npos)
            << messages()[0].text;
        EXPECT_EQ(messages()[1], warning("请先选择字段！"));
        EXPECT_EQ(comboOf("Combo3").ListCount(), 0);
    }
}

TEST_P(FindWindow, ATableWithoutColumnsToSearchMatchesEverything) {
    EXPECT_EQ(find("click cmdOk", ""), " where '1'='1' ");
    exec({"create table 仅编号 (编号 int, 图 image)"});
    EXPECT_EQ(find("click cmdAdd\nclick cmdOk", "仅编号"), " where '1'='1' ");
    EXPECT_EQ(messages(), std::vector<Message>{warning("请先选择字段！")});
}

TEST_P(FindWindow, TheValueSelectsItsTextOnFocus) {
    find("Text1 = 张三\nclick cmdAdd\nclick Text1");
    EXPECT_EQ(comboOf("Text1").SelStart(), 0);
    EXPECT_EQ(comboOf("Text1").SelLength(), 2);
}

// Enter in the value adds its row and hands the focus back to the column, where Enter does
// nothing: there is no default button.
TEST_P(FindWindow, EnterOutsideTheValueLeavesTheWindowOpen) {
    EXPECT_EQ(find("Text1 = 张三\nkey Enter\nkey Enter\nclick cmdOk"), " where ( 名称='张三' )");
    EXPECT_EQ(host->unplayed(), 0u);
}

const std::string twoRows = "Text1 = a\nclick cmdAdd\nCombo2 = 金额\nText1 = 1\nclick cmdAdd\n";

TEST_P(FindWindow, DeletingTheFirstRowLetsTheNextLeadWithoutItsConnective) {
    EXPECT_EQ(find(twoRows + "select List1 0\nclick cmdDel\nclick cmdOk"), " where ( 金额=1 )");
}

TEST_P(FindWindow, DeletingTheLastRowSelectsTheOneBefore) {
    find(twoRows + "select List1 1\nclick cmdDel");
    EXPECT_EQ(rows().ListCount(), 1);
    EXPECT_EQ(rows().ListIndex(), 0);
}

TEST_P(FindWindow, WithoutRowsEverythingMatches) {
    EXPECT_EQ(find("click cmdOk"), " where '1'='1' ");
    EXPECT_EQ(find("Text1 = a\nclick cmdAdd\nclick cmdClear\nclick cmdOk"), " where '1'='1' ");
}

// A window left open (its script run out) is cancelled too; the next one starts afresh.
TEST_P(FindWindow, CancelGivesNothing) {
    EXPECT_EQ(find("Text1 = a\nclick cmdAdd\nclick cmdCancle"), "");
    ASSERT_EQ(find("Text1 = a\nclick cmdAdd\nclick cmdOk"), " where ( 名称='a' )");
    EXPECT_EQ(find("Text1 = b\nclick cmdAdd", "B_单位"), "");
    ASSERT_NE(find("click cmdOk"), "");
    EXPECT_EQ(find("Text1 = b\nclick cmdAdd\nkey Esc"), "");
    EXPECT_EQ(host->unplayed(), 0u);
}

TEST_P(FindWindow, AValueTheColumnCannotTakeIsRefusedWithItsMessage) {
    struct Case {
        std::string script, message, valueLeft;
        int selected;
    } cases[] = {
        {"Combo2 = 金额\nCombo3 = 包含\nText1 = 5", "此字段为数字类型，不能用包含查询！", "5", 0},
        {"Combo2 = 金额\nText1 = 5 or 1=1", "请填入数字！！", "", 0},
        {"Combo2 = 日期\nText1 = 2004-2-30", "日期格式错误，格式应类似 2004-1-1！", "2004-2-30", 9},
        // dates a datetime cannot hold, which the database would refuse
        {"Combo2 = 日期\nText1 = 0099-1-1", "日期格式错误，格式应类似 2004-1-1！", "0099-1-1", 8},
        {"Combo2 = 到货(预计\nText1 = 1752-12-31", "日期格式错误，格式应类似 2004-1-1！", "1752-12-31", 10},
        {"Combo2 = 日期\nCombo3 = 包含\nText1 = 2004-2-3", "日期类型不能用“包含”！！", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        EXPECT_EQ(find(c.script + "\nclick cmdAdd"), "");
        EXPECT_EQ(messages(), std::vector<Message>{warning(c.message)});
        EXPECT_EQ(rows().ListCount(), 0);
        EXPECT_EQ(comboOf("Text1").Text(), c.valueLeft);
        EXPECT_EQ(comboOf("Text1").SelLength(), c.selected);
    }
    // the database would refuse those dates
    for (const char* date : {"0099-1-1", "1752-12-31"}) {
        EXPECT_THROW(rowsOf(" where datediff(d,'" + std::string(date) + "',日期)=0"), Error) << date;
    }
}

TEST_P(FindWindow, TheRegistryOffersUpToFiftyMasterValues) {
    masterTable();
    exec({"insert into 类别表 values (null)"});  // not offered
    for (int i = 0; i < 60; ++i) exec({"insert into 类别表 values (N' 类" + std::to_string(i) + " ')"});
    find("Combo2 = 类别");
    EXPECT_EQ(comboOf("Text1").ListCount(), 49);
    EXPECT_EQ(comboOf("Text1").List(0), "类0");
    EXPECT_EQ(find("Combo2 = 类别\nselect Text1 3\nclick cmdAdd\nCombo2 = 名称\nclick cmdOk"),
              " where ( 类别='类3' )");
    EXPECT_EQ(comboOf("Text1").ListCount(), 0) << "a column without master values empties the list";
}

TEST_P(FindWindow, LatinLettersNarrowTheMasterValuesByPinyin) {
    masterTable();
    for (int i = 0; i < 60; ++i) exec({"insert into 类别表 values (N'类" + std::to_string(i) + "')"});
    // beyond the 50 values loaded
    exec({"insert into 类别表 values (N'重庆市'), (N'长沙市'), (N'A4纸'), (N'绿化带'), (N'CQS'), (null)"});
    using Values = std::vector<std::string>;
    Values loaded;
    for (int i = 0; i < 50; ++i) loaded.push_back("类" + std::to_string(i));
    struct Case {
        const char* typed;
        Values values;
    };
    const Case cases[] = {
        {"cqs", {"重庆市", "CQS"}},
        {"xyz", {}},
        // digits alone or nothing: the list as loaded
        {"4", loaded},
        {"", loaded},
    };
    for (const Case& c : cases) {
        find("Combo2 = 类别\nText1 = " + std::string(c.typed));
        EXPECT_EQ(entries("Text1"), c.values) << c.typed;
        EXPECT_EQ(comboOf("Text1").Text(), c.typed);
    }
    // the first 50 found; other text gives the loaded list back; the row takes the typed or the picked value
    find("Combo2 = 类别\nText1 = l");
    EXPECT_EQ(entries("Text1"), loaded);  // 类 (lei) fifty times before 绿 (lv)
    find("Combo2 = 类别\nText1 = cqs\nText1 = 重");
    EXPECT_EQ(entries("Text1"), loaded);
    EXPECT_EQ(find("Combo2 = 类别\nText1 = cqs\nclick cmdAdd\nclick cmdOk"), " where ( 类别='cqs' )");
    EXPECT_EQ(find("Combo2 = 类别\nText1 = cqs\nselect Text1 0\nclick cmdAdd\nclick cmdOk"),
              " where ( 类别='重庆市' )");
    EXPECT_TRUE(messages().empty());
}

struct PinyinCase {
    const char* typed;
    bool dropped;
    const char* clause;  // after Enter
};
const PinyinCase pinyinCases[] = {
    {"cq", true, " where ( 类别='重庆市' )"},  // the first value found
    {"重庆d", true, " where ( 类别='重庆大学' )"},
    {"CQS", false, " where ( 类别='CQS' )"},    // a value typed as written is that value
    {"xyz", false, " where ( 类别='xyz' )"},    // nothing found: the text as typed
    {"重庆", false, " where ( 类别='重庆' )"},  // no letter: the list as loaded, not dropped
};

TEST_P(FindWindow, PinyinMatchesDropTheListDown) {
    masterTable();
    exec({"insert into 类别表 values (N'长沙市'), (N'重庆市'), (N'重庆大学'), (N'CQS'), (N'A4纸')"});
    for (const PinyinCase& c : pinyinCases) {
        SCOPED_TRACE(c.typed);
        find("Combo2 = 类别\nText1 = " + std::string(c.typed));
        EXPECT_EQ(comboOf("Text1").DroppedDown(), c.dropped);
        EXPECT_EQ(comboOf("Text1").Text(), c.typed) << "typing goes on in the box";
    }
    // letters that find nothing close the list they dropped
    find("Combo2 = 类别\nText1 = cq\nText1 = cqx");
    EXPECT_FALSE(comboOf("Text1").DroppedDown());
    EXPECT_TRUE(messages().empty());
}

TEST_P(FindWindow, EnterTakesTheFirstPinyinMatch) {
    masterTable();
    exec({"insert into 类别表 values (N'长沙市'), (N'重庆市'), (N'重庆大学'), (N'CQS'), (N'A4纸')"});
    for (const PinyinCase& c : pinyinCases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(find("Combo2 = 类别\nText1 = " + std::string(c.typed) + "\nkey Enter\nclick cmdOk"),
                  c.clause);
        EXPECT_EQ(rows().ListCount(), 1);
    }
    EXPECT_TRUE(messages().empty());
}

TEST_P(FindWindow, TheColumnsAreReadAfreshEachTimeItOpens) {
    using Names = std::vector<std::string>;
    exec({"create table 销售 (编号 int, 客户 nvarchar(20), 经手人 nvarchar(10))"});
    find("", "销售");
    EXPECT_EQ(entries("Combo2"), (Names{"客户", "经手人"}));
    exec({"alter table 销售 drop column 经手人", "alter table 销售 add 金额 money"});
    find("", "销售");
    EXPECT_EQ(entries("Combo2"), (Names{"客户", "金额"}));
    EXPECT_TRUE(messages().empty());
}

TEST_P(FindWindow, EveryButtonHasItsOwnAccelerator) {
    find("");
    std::vector<char> keys;
    for (const ControlDef& c : query::findWindow().layout().controls) {
        const std::size_t at = c.caption.find("(&");
        if (c.kind != ControlKind::Button || at == std::string::npos) continue;
        const char key = c.caption[at + 2];
        EXPECT_EQ(std::count(keys.begin(), keys.end(), key), 0) << c.caption;
        keys.push_back(key);
    }
    EXPECT_EQ(keys.size(), 5u);
    // 取消 keeps Alt+C, as in the other windows; 清空 takes Alt+L
    EXPECT_EQ(get<CommandButton>("cmdCancle").Caption(), "取消(&C)");
    EXPECT_EQ(get<CommandButton>("cmdClear").Caption(), "清空(&L)");
}

TEST_P(FindWindow, QuotedRegistryNamesStayInsideTheLookUp) {
    // the master column, a name with a blank, goes in brackets in the value look-up
    exec({"create table [O'客户] ([it's] nvarchar(10))", "create table 类别表 ([名 称] nvarchar(10))",
          "insert into 类别表 values (N'甲')",
          "insert into 更新表记录 values (N'类别表', N'名 称', N'[O''客户]', N'it''s')"});
    find("", "[O'客户]");
    EXPECT_EQ(comboOf("Text1").ListCount(), 1);
    EXPECT_TRUE(messages().empty());
}

TEST_P(FindWindow, AFailingRegistryLookUpIsAnErrorOfTheCall) {
    exec({"insert into 更新表记录 values (N'无此表', N'名称', N'客户', N'类别')"});
    using Raised = std::pair<long, std::string>;
    EXPECT_EQ(errorOf([&] { find("Combo2 = 类别"); }), Raised(-2147217900, "对象名 '无此表' 无效。"))
        << "a master table that is gone";
    exec({"insert into 更新表记录 values (N'', N'', N'客户', N'名称')"});
    EXPECT_EQ(errorOf([&] { find(""); }), Raised(-2147217900, "关键字 'from' 附近有语法错误。"))
        << "an empty registry row";
    exec({"drop table 更新表记录"});
    EXPECT_EQ(errorOf([&] { find("click cmdOk"); }), Raised(-2147217900, "对象名 '更新表记录' 无效。"))
        << "no registry table";
}

INSTANTIATE_TEST_SUITE_P(Windows, FindWindow, ::testing::ValuesIn(windowHostKinds()), hostName);

}  // namespace
}  // namespace Palvo::testing
