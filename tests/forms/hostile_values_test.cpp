// Every statement the entry forms build, fed with values that try to leave
// their quotes or their number, run on the embedded database: each statement
// must do exactly what it is for and nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "forms/forms_fixture.h"

namespace Palvo {
namespace {

using namespace std::string_literals;
using Table = std::vector<std::vector<std::string>>;

// Texts without commas (the file reference splits at them) and without blanks
// at either end (the INSERT and UPDATE lists trim them).
// clang-format off
const std::vector<std::string> kTexts{
    "O'Neil", "'", "''", "a'--", "x'; delete from 单据; --", "x'; drop table 哨兵; --", "一\n二\r\n",
    "‘单’“引”", "0 or 1=1", "1;delete from 单据", "' or '1'='1", "--", ";", "\\'", "]'[", "a' + '"};
// clang-format on

// Texts of a number box and the number they are read as.
const std::vector<std::pair<std::string, std::string>> kNumbers{
    {"0 or 1=1", "0"}, {"2 or 1=1", "2"}, {"3;delete from 单据", "3"},  {"4--", "4"},
    {"5'", "5"},       {"' or 1=1", "0"}, {"6\n;drop table 哨兵", "6"}, {"7 and 单号<>7", "7"}};

class HostileValues : public testing::FormsTest {
protected:
    void SetUp() override {
        FormsTest::SetUp();
        exec({"create table 单据 (编码 nvarchar(80), 单号 int, 名称 nvarchar(80))",
              "create table 哨兵 (x int)", "insert into 哨兵 values (1)",
              "create table 附件 (编号 nvarchar(80), 内容 nvarchar(80))",
              "insert into 编辑权限 values (N'frm客户', '01', ',02,')",
              "insert into 更新表记录 values (N'客户', N'客户编号', N'单据', N'编码')"});
        // one row per hostile text, numbered from 1 so that no row has number 0, and a plain row
        for (std::size_t i = 0; i < kTexts.size(); ++i) {
            const auto n = static_cast<long long>(i + 1);
            const Value t(kTexts[i]);
            conn->ExecuteWith("insert into 单据 values (?, ?, ?)", {t, Value(n), t});
            conn->ExecuteWith("insert into 附件 values (?, ?)", {t, Value("文件" + std::to_string(n))});
        }
        exec({"insert into 单据 values ('plain', 100, 'plain')",
              "insert into 附件 values ('plain', 'plain')"});
        before = table();
    }

    void TearDown() override {
        // nothing ran but the statements built: the bystander is still there
        EXPECT_EQ(scalar("select count(*) from 哨兵"), "1");
        FormsTest::TearDown();
    }

    // The rows of 单据 in number order, compared whole so that a stray change anywhere shows.
    Table table() {
        const ResultTable t = conn->Query("select 编码, 单号, 名称 from 单据 order by 单号");
        Table out;
        for (std::size_t r = 0; r < t.rowCount(); ++r)
            out.push_back({t.at(r, 0).toText(), t.at(r, 1).toText(), t.at(r, 2).toText()});
        return out;
    }
    // The table as it was, with column col of row i set.
    Table changed(std::size_t i, std::size_t col, const std::string& value) {
        Table t = before;
        t[i][col] = value;
        return t;
    }

    // Runs one built statement through the session's connection: it alone is run.
    long run(const std::string& sql) {
        counting->reset();
        const long touched = sessionConnection().Execute(sql);
        EXPECT_EQ(counting->executes, std::vector<std::string>{sql});
        return touched;
    }

    static std::string doubled(const std::string& text) {
        std::string out;
        for (char c : text) out += c == '\'' ? "''" : std::string(1, c);
        return out;
    }

    std::string insertSql(memory::Form& frm) {
        return "insert into 单据 (" + form.sGetAddNewStr(frm, types, "FIELD") + ") values (" +
               form.sGetAddNewStr(frm, types, "VALUE") + ")";
    }
    // Puts column col of row i back as it was.
    void restore(std::size_t i, const std::string& col) {
        conn->ExecuteWith("update 单据 set " + col + " = ? where 单号 = ?",
                          {Value(kTexts[i]), Value(before[i][1])});
    }

    static memory::Form docForm(const std::string& code, const std::string& number, const std::string& name) {
        return memory::Form("frm单据", {{"2编码", "", code}, {"2单号", "", number}, {"2名称", "", name}});
    }

    Table before;
    const std::vector<std::string> types{"1", "2", "1"};
};

// Each text as typed, each number as read.
TEST_F(HostileValues, AnInsertStoresEveryValueAsTheFormHoldsIt) {
    Table expected = before;
    for (std::size_t i = 0; i < kTexts.size(); ++i) {
        const auto& number = kNumbers[i % kNumbers.size()];
        memory::Form frm = docForm(kTexts[i], number.first, kTexts[i]);
        EXPECT_EQ(run(insertSql(frm)), 1) << kTexts[i];
        expected.push_back({kTexts[i], number.second, kTexts[i]});
    }
    Table now = table();
    std::sort(now.begin(), now.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(now, expected);
}

// Key conditions from the form's own texts share the quoting: Statements.KeyConditionsByMode.
TEST_F(HostileValues, AnUpdateByTheLoadedKeyTouchesOnlyItsRow) {
    for (std::size_t i = 0; i < kTexts.size(); ++i) {
        // the record loaded with a hostile key gets a hostile name
        const std::string name = kTexts[(i + 1) % kTexts.size()] + "改";
        memory::Form frm = docForm(kTexts[i], before[i][1], name);
        const std::vector<std::string> loaded{kTexts[i], before[i][1], kTexts[i]};
        const std::string set = form.sGetUpdateStr(frm, loaded, types);
        const std::string where = form.sGetKeyWord(frm, "修改保存", types, false, "0,", loaded);
        EXPECT_EQ(run("update 单据 set " + set.substr(1) + " where " + where), 1) << kTexts[i];
        EXPECT_EQ(table(), changed(i, 2, name)) << kTexts[i];
        restore(i, "名称");
    }
}

TEST_F(HostileValues, AGridRowsKeyDeletesOnlyThatRow) {
    memory::Form frm = docForm("", "", "");
    for (std::size_t i = 0; i < kTexts.size(); ++i) {
        memory::FlexGrid grid = testing::gridOf({"编码"}, {{kTexts[i]}});
        EXPECT_EQ(run("delete from 单据 where " + form.sGetKeyfromFlxRow(frm, grid, types, "0,")), 1)
            << kTexts[i];
        Table deleted = before;
        deleted.erase(deleted.begin() + static_cast<std::ptrdiff_t>(i));
        EXPECT_EQ(table(), deleted) << kTexts[i];
        conn->ExecuteWith("insert into 单据 values (?, ?, ?)",
                          {Value(kTexts[i]), Value(before[i][1]), Value(kTexts[i])});
    }
}

TEST_F(HostileValues, ACascadeChangesExactlyItsRows) {
    for (std::size_t i = 0; i < kTexts.size(); ++i) {
        const std::string now = kTexts[(i + 1) % kTexts.size()] + "'改";
        memory::Form customers("frm客户", {{"2客户编号", "", now}});
        counting->reset();
        EXPECT_EQ(form.sExcuteSql(customers, "客户", {kTexts[i]}, {}), "") << kTexts[i];
        const std::string sql =
            "update 单据 set 编码='" + doubled(now) + "' where 编码='" + doubled(kTexts[i]) + "'";
        ASSERT_EQ(counting->executes.size(), 2u);  // the cascade, then its log row
        EXPECT_EQ(counting->executes[0], sql);
        EXPECT_EQ(table(), changed(i, 0, now)) << kTexts[i];
        EXPECT_EQ(scalar("select top 1 语句 from SendSql order by 编号 desc"), sql);
        restore(i, "编码");
    }
}

// They run nothing else.
TEST_F(HostileValues, TheUniquenessChecksSearchForTheValueTyped) {
    const std::vector<std::int16_t> lengths{80, 40, 80};
    const auto check = [&](memory::Form frm) {
        counting->reset();
        std::string message = form.sCheckData(frm, types, lengths, "0,", "2,", "单据", {}, false, "1,", true);
        EXPECT_TRUE(counting->executes.empty());
        return message;
    };
    for (const auto& t : kTexts) {
        SCOPED_TRACE(t);
        EXPECT_EQ(check(docForm(t + "新", "500", t)), "名称='" + t + "'的记录已经存在，不能重复添加！");
        EXPECT_EQ(counting->queries.back(), "select top 1 * from 单据 where 名称='" + doubled(t) + "'");
        EXPECT_EQ(check(docForm(t, "500", t + "新")), "编码='" + t + "'  的记录已经存在，不能重复添加！");
        EXPECT_EQ(counting->queries.back(), "select top 1 * from 单据 where 编码='" + doubled(t) + "'  ");
        EXPECT_EQ(check(docForm(t + "新", "500", t + "新")), "");
    }
    EXPECT_EQ(table(), before);
}

// It runs nothing else.
TEST_F(HostileValues, TheDeleteGuardFindsExactlyTheValueInUse) {
    memory::Form customers("frm客户", {{"2客户编号", "", ""}});
    std::string master = "客户";
    for (const auto& t : kTexts) {
        SCOPED_TRACE(t);
        counting->reset();
        EXPECT_EQ(form.sCheckDelSql(customers, master, {t}, {}),
                  "单据 表中用到了字段 客户编号 的值，不能删除！");
        EXPECT_EQ(counting->queries.back(),
                  "select top 1 编码  from [单据] where  [编码]='" + doubled(t) + "'");
        EXPECT_EQ(form.sCheckDelSql(customers, master, {t + "无"}, {}), "");
        EXPECT_TRUE(counting->executes.empty());
    }
    EXPECT_EQ(table(), before);
}

TEST_F(HostileValues, TheStatementLogKeepsEachText) {
    for (std::size_t i = 0; i < kTexts.size(); ++i) {
        const std::string& t = kTexts[i];
        EXPECT_EQ(form.sKeepSql("frm客户", t, t, "01", t), "") << t;
        EXPECT_EQ(form.sKeepSql("frm客户", t, "附件,内容,编号," + t, "01", "02", t), "") << t;
        const ResultTable rows =
            conn->Query("select top 2 语句, 操作表, 接收单位, 类型, 文件 from SendSql order by 编号 desc");
        ASSERT_EQ(rows.rowCount(), 2u);
        const std::vector<std::string> plain{t, t, "," + t + ",", "", ""};
        const std::vector<std::string> typed{t, "附件,内容,编号," + t, ",02,", t,
                                             "文件" + std::to_string(i + 1)};
        for (std::size_t c = 0; c < 5; ++c) {
            EXPECT_EQ(rows.at(1, c).toText(), plain[c]) << t << " " << c;
            EXPECT_EQ(rows.at(0, c).toText(), typed[c]) << t << " " << c;
        }
    }
    EXPECT_EQ(scalar("select count(*) from SendSql"), std::to_string(2 * kTexts.size()));
}

// SQLite reads statement text only up to a NUL, so the quote around the value never closes
TEST_F(HostileValues, ANulInATextRefusesTheWholeStatement) {
    const std::string nul = "x\0'; delete from 单据; --"s;
    conn->ExecuteWith("insert into 单据 values (?, 200, ?)", {Value(nul), Value(nul)});
    before = table();
    memory::Form frm = docForm(nul, "200", nul);
    const std::vector<std::string> loaded{nul, "200", "x"};
    memory::FlexGrid grid = testing::gridOf({"编码"}, {{nul}});
    const std::vector<std::string> statements{
        insertSql(frm),
        "update 单据 set " + form.sGetUpdateStr(frm, loaded, types).substr(1) + " where 单号=200",
        "delete from 单据 where " + form.sGetKeyWord(frm, "新增", types, false, "0,", loaded),
        "delete from 单据 where " + form.sGetKeyfromFlxRow(frm, grid, types, "0,")};
    for (const auto& sql : statements) {
        EXPECT_EQ(testing::errorNumber([&] { sessionConnection().Execute(sql); }), ErrorNumber::Database);
        EXPECT_EQ(table(), before);
    }
}

}  // namespace
}  // namespace Palvo
