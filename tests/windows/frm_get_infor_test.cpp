// The lookup picker on the embedded database, played on every window host:
// the statements it runs, the filter, the keys, both selection modes, bad input.
#include "src/forms/frm_get_infor.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "forms/counting_connection.h"
#include "palvo/clsForm.h"
#include "palvo/memory/measure.h"
#include "palvo/session.h"
#include "palvo/sqlite/connection.h"
#include "support/errors.h"
#include "support/window_hosts.h"

namespace Palvo::testing {
namespace {

using Messages = std::vector<memory::ShownMessage>;

class Picker : public ::testing::TestWithParam<HostKind> {
protected:
    void SetUp() override {
        db = std::make_shared<sqlite::Connection>();
        db->Open(":memory:");
        db->Execute(
            "create table 客户表 (客户编号 nvarchar(10), 名称 nvarchar(20), 城市 nvarchar(10), 日期 "
            "datetime)");
        db->Execute(
            "insert into 客户表 values ('A01', N'张三', N'北京', '2003-05-01'), ('A02', N'O''Neil', N'上海', "
            "'1900-01-01'), ('A03', N'李四', N'北京', null), ('A07', N'王五', N'广州', '2004-12-31')");
        conn = std::make_shared<CountingConnection>(db);
        clsForm().mInit_Var("01", "一分公司", "001", "财务部", conn, "", 50, "提示标题", "张三");
        installTextMeasurer(std::make_shared<memory::FixedWidthMeasurer>());
    }
    void TearDown() override {
        host.reset();
        installTextMeasurer(nullptr);
        session() = SessionContext{};
    }

    std::string pick(const std::string& script, const std::string& field = "客户表,客户编号",
                     const std::string& strWhere = "", const std::string& sSql = "", bool multi = false,
                     const std::string& sFormat = "YYYY-MM-DD") {
        host.emplace(GetParam(), script);
        conn->reset();
        return clsForm().sPopWindow(field, strWhere, sFormat, sSql, multi);
    }
    std::string multi(const std::string& script, const std::string& field = "客户表,客户编号") {
        return pick(script, field, "", "", true);
    }

    WindowFrame& frame() { return host->lastFrame(); }
    FlexGrid& flx() { return dynamic_cast<FlexGrid&>(frame().control("flx")); }
    Label& lblSel() { return dynamic_cast<Label&>(frame().control("lblSel")); }
    const Messages& messages() { return host->messages().messages(); }

    std::shared_ptr<sqlite::Connection> db;
    std::shared_ptr<CountingConnection> conn;
    std::optional<WindowTestHost> host;  // emplace ends the old host (restoring its predecessor) first
};

TEST_P(Picker, LoadListsTheTable) {
    EXPECT_EQ(pick(""), "");
    EXPECT_EQ(frame().Caption(), "客户表,客户编号");
    EXPECT_EQ(flx().Rows(), 5);
    EXPECT_EQ(flx().TextMatrix(0, 0), "序号");
    EXPECT_FALSE(lblSel().Visible());
    EXPECT_TRUE(messages().empty());
}

TEST_P(Picker, LoadPreparesTheFilterOnTheReturnColumn) {
    pick("");
    auto& combo = dynamic_cast<ComboBox&>(frame().control("Combo1"));
    ASSERT_EQ(combo.ListCount(), 5);
    EXPECT_EQ(combo.List(0), "序号");
    EXPECT_EQ(combo.Text(), "客户编号");
}

TEST_P(Picker, DatesShowInTheFormatAsked) {
    const std::string sql = "select 客户编号, 日期 from 客户表 order by 客户编号";
    pick("", "客户表,客户编号", "", sql, false, "YYYY年M月D日");
    EXPECT_EQ(flx().TextMatrix(1, 2), "2003年5月1日");
    pick("", "客户表,客户编号", "", sql);
    EXPECT_EQ(flx().TextMatrix(1, 2), "2003-05-01");
    EXPECT_EQ(flx().TextMatrix(2, 2), "");  // 1 January 1900 reads as no date
}

TEST_P(Picker, RunsTheListStatementsAsBuilt) {
    const std::string hostQuery =
        "select c.客户编号 as 编码, c.名称 from 客户表 c where c.城市 <> 'x' order by c.名称";
    const std::string caseQuery =
        "select case when 城市=N'北京' then N'京' else N'外' end as 地区, 客户编号 from 客户表 order by "
        "客户编号";
    const auto runs = [this](std::int32_t top, const std::string& strWhere, const std::string& sSql,
                             const std::string& script, const std::vector<std::string>& statements) {
        session().lSelectTop = top;
        pick(script, "客户表,客户编号", strWhere, sSql);
        EXPECT_EQ(conn->queries, statements) << script;
        EXPECT_TRUE(messages().empty()) << script;
        EXPECT_GT(flx().Rows(), 1) << script;
    };
    runs(50, "", "", "", {"select distinct top 50  * from 客户表"});
    runs(50, "城市=N'北京'", "", "", {"select distinct top 50  * from 客户表   where 城市=N'北京'"});
    runs(0, "", "", "", {"select distinct   * from 客户表"});
    // typed text with the extra condition
    runs(0, "城市=N'北京'", "", "Combo1 = 名称\nTxt1 = 李\nkey Enter",
         {"select distinct   * from 客户表   where 城市=N'北京'",
          "select distinct   * from 客户表   where 名称  like '%李%' and 城市=N'北京'"});
    // the host's query: strWhere is dropped, the filter goes in upper case before ORDER, on the alias
    runs(50, "1=0", hostQuery, "Combo1 = 编码\nTxt1 = 0\nkey Enter",
         {hostQuery,
          "SELECT C.客户编号 AS 编码, C.名称 FROM 客户表 C WHERE C.城市 <> 'X'  AND C.客户编号  LIKE '%0%' "
          "ORDER BY C.名称"});
    runs(50, "", "select 客户编号, 名称 from 客户表", "Combo1 = 名称\nTxt1 = 张\nkey F5",
         {"select 客户编号, 名称 from 客户表", "SELECT 客户编号, 名称 FROM 客户表 WHERE 名称  LIKE '%张%'"});
    // the alias is cut at the word AS, not at the letters of CASE
    runs(50, "", caseQuery, "Combo1 = 地区\nTxt1 = 京\nkey Enter",
         {caseQuery,
          "SELECT CASE WHEN 城市=N'北京' THEN N'京' ELSE N'外' END AS 地区, 客户编号 FROM 客户表  WHERE CASE "
          "WHEN 城市=N'北京' THEN N'京' ELSE N'外' END  LIKE '%京%' ORDER BY 客户编号"});
}

// The rows in the table's order: A01 A02 A03 A07, filtered to A01 A03.
TEST_P(Picker, TypedTextFiltersTheRows) {
    EXPECT_EQ(pick("Combo1 = 城市\nTxt1 = 北京\nkey Enter\nkey Down\nkey Enter"), "A03");
    EXPECT_EQ(flx().Rows(), 3);
}

TEST_P(Picker, KeysOrClicksChooseARow) {
    for (auto [script, chosen] :
         std::vector<std::pair<std::string, std::string>>{{"key Down\nkey Down\nkey Up\nkey Enter", "A02"},
                                                          {"dblclick flx", "A01"},
                                                          {"select flx 3\nclick Command1", "A03"}}) {
        EXPECT_EQ(pick(script), chosen) << script;
    }
}

TEST_P(Picker, CancelOrTheCloseBoxGivesNothing) {
    for (const char* script : {"key Esc", "click Command2", "key Down", "select flx 2"})
        EXPECT_EQ(pick(script), "") << script;
}

// Down in Combo1 leaves the grid; Enter there moves to Txt1, Enter in Txt1 queries.
TEST_P(Picker, KeysMoveTheFocusWithoutChoosing) {
    EXPECT_EQ(pick("Txt1 = 北京\nkey F4\nkey Down\nkey Enter\nkey Enter\nkey F8"), "");
    EXPECT_EQ(conn->queries.size(), 2u);
    EXPECT_EQ(flx().Row(), 1);
    auto& txt1 = dynamic_cast<TextBox&>(frame().control("Txt1"));
    EXPECT_EQ(txt1.SelStart(), 0);
    EXPECT_EQ(txt1.SelLength(), 2);
}

TEST_P(Picker, AFocusedButtonTakesEnterItself) {
    EXPECT_EQ(pick("click Command3\nkey Enter"), "");
    EXPECT_EQ(conn->queries.size(), 3u);
}

TEST_P(Picker, TypedTextStaysInsideItsQuotes) {
    // one found row, or an empty result's one blank row: the heading and one more either way
    for (const std::string typed : {"O'Neil", "%' or '1'='1", "--", "'; delete from 客户表; --", "'"}) {
        SCOPED_TRACE(typed);
        const std::string r = pick("Combo1 = 名称\nTxt1 = " + typed + "\nkey Enter\nkey Enter");
        EXPECT_TRUE(messages().empty()) << (messages().empty() ? "" : messages()[0].text);
        EXPECT_EQ(flx().Rows(), 2);
        EXPECT_EQ(r, typed == "O'Neil" || typed == "'" ? "A02" : "");
        EXPECT_EQ(db->Query("select count(*) from 客户表").at(0, 0).toText(), "4");
    }
}

// The window stays usable: the filter reports again.
TEST_P(Picker, AnUnreadableTableIsReportedEachTimeItIsRead) {
    EXPECT_EQ(pick("Txt1 = x\nclick Command3\nkey Esc", "无此表,编号"), "");
    ASSERT_EQ(messages().size(), 2u);
    EXPECT_EQ(messages()[0],
              (memory::ShownMessage{"错误信息select distinct top 50  * from 无此表", 48, "提示标题"}));
    EXPECT_EQ(messages()[1].text, "错误信息select distinct top 50  * from 无此表   where   like '%x%'");
}

// At load and again from Enter in Txt1.
TEST_P(Picker, AFailingHostQueryIsReportedEachTimeItRuns) {
    EXPECT_EQ(pick("key Enter\nkey Esc", "客户表,客户编号", "", "select nothing from nowhere"), "");
    ASSERT_EQ(messages().size(), 2u);
    EXPECT_EQ(messages()[1], (memory::ShownMessage{"错误信息select nothing from nowhere", 48, "提示标题"}));
}

TEST_P(Picker, AFieldWithoutItsReturnColumnIsRefusedBeforeAnyWindow) {
    host.emplace(GetParam(), "key Enter");
    EXPECT_EQ(errorNumber([] { clsForm().sPopWindow("客户表"); }), ErrorNumber::InvalidCall);
    EXPECT_EQ(host->unplayed(), 1u);  // no window was shown
}

// The codes the grid lists, in its order (none for an empty result's blank row).
std::vector<std::string> listedCodes(FlexGrid& grid) {
    std::vector<std::string> codes;
    for (int r = 1; r < grid.Rows(); ++r) {
        if (!grid.TextMatrix(r, 0).empty() && grid.TextMatrix(r, 0) != " ")
            codes.push_back(grid.TextMatrix(r, 1));
    }
    return codes;
}

TEST_P(Picker, LatinLettersFilterByPinyinToo) {
    db->Execute("create table 地区表 (编码 nvarchar(4), 名称 nvarchar(20))");
    db->Execute(
        "insert into 地区表 values ('D1', N'重庆市'), ('D2', N'长沙市'), ('D3', N'A4纸'), ('D4', N'绿化带'), "
        "('D5', N'CQS公司'), ('D6', N'成都市'), ('D7', null)");
    session().lSelectTop = 0;
    const std::string all = "select distinct   * from 地区表";
    const std::string read = "select * from 地区表";  // the pinyin filter's, made distinct as it reads
    using Codes = std::vector<std::string>;
    struct Case {
        const char* typed;
        Codes codes;
        const char* like;  // the statement of a filter that keeps the LIKE way, else ""
    };
    const Case cases[] = {
        {"cqs", {"D1", "D5"}, ""},  // initials, and the text as written in any case
        {"xyz", {}, ""},
        {"重q", {"D1"}, ""},  // Chinese with letters: the characters stand for themselves
        // digits alone and Chinese keep the LIKE way
        {"4", {"D3"}, "select distinct   * from 地区表   where 名称  like '%4%'"},
        {"重庆", {"D1"}, "select distinct   * from 地区表   where 名称  like '%重庆%'"},
    };
    for (const Case& c : cases) {
        pick("Combo1 = 名称\nTxt1 = " + std::string(c.typed) + "\nkey Enter", "地区表,编码");
        EXPECT_EQ(listedCodes(flx()), c.codes) << c.typed;
        EXPECT_EQ(conn->queries, (std::vector<std::string>{all, *c.like ? c.like : read})) << c.typed;
        EXPECT_TRUE(messages().empty()) << c.typed;
    }

    // each filter reads the rows again; the first lSelectTop distinct rows found are listed
    session().lSelectTop = 2;
    pick("Combo1 = 名称\nTxt1 = s\nkey F5\nTxt1 = cqs\nkey F5\nTxt1 = s\nkey F5", "地区表,编码");
    EXPECT_EQ(listedCodes(flx()), (Codes{"D1", "D2"}));
    EXPECT_EQ(conn->queries,
              (std::vector<std::string>{"select distinct top 2  * from 地区表", read, read, read}));
    // the extra condition, and the host's query in its own order
    pick("Combo1 = 名称\nTxt1 = cqs\nkey Enter", "地区表,编码", "编码<>'D1'");
    EXPECT_EQ(listedCodes(flx()), (Codes{"D5"}));
    const std::string hostQuery = "select 编码, 名称 from 地区表 order by 编码 desc";
    pick("Combo1 = 名称\nTxt1 = s\nkey Enter", "地区表,编码", "", hostQuery);
    EXPECT_EQ(listedCodes(flx()), (Codes{"D6", "D5", "D2", "D1"}));  // lSelectTop is the table's only
    // an empty filter lists all again
    pick("Combo1 = 名称\nTxt1 = cqs\nkey F5\nTxt1 = \nkey F5", "地区表,编码");
    EXPECT_EQ(flx().Rows(), 3);

    // a row twice is listed once, as distinct lists it; rows differing in any column are not the same
    db->Execute("insert into 地区表 values ('D1', N'重庆市'), ('D8', N'重庆市')");
    session().lSelectTop = 0;
    pick("Combo1 = 名称\nTxt1 = cqs\nkey Enter", "地区表,编码");
    EXPECT_EQ(listedCodes(flx()), (Codes{"D1", "D5", "D8"}));
}

TEST_P(Picker, AStoppedPinyinFilterSaysSoInsteadOfEmptyingTheList) {
    // a list of 100,000,000 names: its first 50 rows load, and a filter that finds nothing reads on
    db->Execute("create table 数 (k int)");
    for (int k = 0; k < 100; ++k) db->Execute("insert into 数 values (" + std::to_string(k) + ")");
    db->Execute(
        "create view 名单 as select N'名' + cast(a.k * 1000000 + b.k * 10000 + c.k * 100 + d.k as "
        "nvarchar(12)) "
        "as 名称 from 数 a cross join 数 b cross join 数 c cross join 数 d");
    db->CommandTimeout(1);
    pick("Combo1 = 名称\nTxt1 = xyz\nkey F5", "名单,名称");
    EXPECT_EQ(messages(), (Messages{{"拼音查询未完成，列表未改变：Query timeout expired", 48, "提示标题"}}));
    EXPECT_EQ(flx().Rows(), 51);
    EXPECT_EQ(flx().TextMatrix(1, 1), "名0");
}

TEST_P(Picker, MultiSelectionListsTheMarkedRows) {
    const std::string two =
        multi("select flx 1\nclick flx\nselect flx 3\nclick flx\nclick lblSel\nclick Command1");
    EXPECT_EQ(two, "A01,A03,");
    EXPECT_EQ(lblSel().ToolTipText(), ",A01,A03,");
    EXPECT_EQ(messages(), (Messages{{"你一共选择了2条信息！\nA01,A03,", 64, "提示标题"}}));
}

// Multiple selection ends with the window.
TEST_P(Picker, EnterOnTheGridConfirmsTheMarks) {
    const std::string one = multi("select flx 2\nclick flx\nkey Enter");
    EXPECT_EQ(one, "A02,");
    flx().Row(2);
    flx().Col(0);
    EXPECT_EQ(flx().CellBackColor(), 255);
    EXPECT_FALSE(forms::getInforWindow().bMultiSel);
}

TEST_P(Picker, ARowMarkedTwiceIsUnmarked) {
    EXPECT_EQ(multi("select flx 2\nclick flx\nclick flx\nclick lblSel\nclick Command1"), "");
    EXPECT_EQ(lblSel().Caption(), ",");
    EXPECT_TRUE(messages().empty());
}

// It has no value to mark.
TEST_P(Picker, AClickMarksNothingWithoutATitledReturnColumn) {
    EXPECT_EQ(multi("select flx 1\nclick flx\nclick Command1", "客户表,无此列"), "");
    EXPECT_EQ(lblSel().Caption(), "");
}

TEST_P(Picker, SingleSelectionWithoutATitledReturnColumnGivesTheRunningNumber) {
    EXPECT_EQ(pick("select flx 2\nclick Command1", "客户表,无此列"), "2");
}

INSTANTIATE_TEST_SUITE_P(Windows, Picker, ::testing::ValuesIn(windowHostKinds()), hostName);

}  // namespace
}  // namespace Palvo::testing
