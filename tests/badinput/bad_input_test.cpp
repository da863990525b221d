// Input no user should send, sent anyway: huge and deeply nested statements,
// invalid UTF-8 in every text a late-bound method takes, NUL inside values,
// condition items of nothing but commas. Each gets a clear error or a sound
// result, in bounded time.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "palvo/clsSearch.h"
#include "palvo/dispatch.h"
#include "palvo/error.h"
#include "palvo/host_tables.h"
#include "palvo/measure.h"
#include "palvo/memory/measure.h"
#include "palvo/memory/msgbox.h"
#include "palvo/memory/window_host.h"
#include "palvo/msgbox.h"
#include "palvo/window.h"
#include "src/dispatch/dispatch.h"
#include "src/query/condition_editor.h"
#include "support/sqlite_fixture.h"

namespace Palvo::testing {
namespace {

// Runs f; "" when it returned, else the Palvo::Error's description. Any other
// exception fails the test: it is no clear error.
template <class F>
std::string outcome(F f) {
    try {
        f();
        return "";
    } catch (const Error& e) {
        EXPECT_FALSE(e.description().empty());
        return e.description();
    }
}

class BadInput : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        data::createHostTables(*conn);
        exec(
            {"create table 客户 (编号 nvarchar(10), 名称 nvarchar(20), 金额 decimal(10,2), 日期 datetime, "
             "备注 ntext)",
             "insert into 客户 values ('A01', N'张三', 1.5, '2024-01-31', null)"});
        installTextMeasurer(std::make_shared<memory::FixedWidthMeasurer>());
    }
    void TearDown() override {
        installTextMeasurer(nullptr);
        SessionTest::TearDown();
    }
};

TEST_F(BadInput, AMegabyteStatementRuns) {
    const std::string mb(1 << 20, 'x');
    EXPECT_EQ(scalar("select len('" + mb + "')"), std::to_string(mb.size()));
    conn->Execute("update 客户 set 备注 = '" + mb + "'");
    EXPECT_EQ(scalar("select len(备注) from 客户"), std::to_string(mb.size()))
        << "the text column takes it whole";
}

TEST_F(BadInput, AMegabyteOfNonsenseFailsClearly) {
    const std::string mb(1 << 20, 'x');
    for (const std::string& nonsense :
         {std::string(1 << 20, '('), std::string(1 << 20, '\''), "select " + mb + mb})
        EXPECT_NE(outcome([&] { conn->Query(nonsense); }), "");
}

TEST_F(BadInput, ANulInsideAValueIsKeptWhole) {
    const std::string value("a\0b", 3);
    conn->ExecuteWith("update 客户 set 名称 = ?", {Value(value)});
    const auto t = conn->Query("select 名称, len(名称) from 客户");
    EXPECT_EQ(t.at(0, 0).toText(), value);
    EXPECT_EQ(t.at(0, 1).toText(), "3");
}

// SQLite would stop reading at the NUL
TEST_F(BadInput, ANulInTheStatementsTextIsRefusedNamingIt) {
    const std::string value("a\0b", 3);
    for (const std::string& sql : {"update 客户 set 名称 = '" + value + "'",
                                   "delete from 客户" + std::string(1, '\0') + " where 1=0"}) {
        const std::string error = outcome([&] { conn->Execute(sql); });
        EXPECT_NE(error.find("U+0000"), std::string::npos) << error;
        EXPECT_EQ(error.find('\0'), std::string::npos) << "the message carries no NUL itself";
    }
    EXPECT_EQ(scalar("select count(*) from 客户"), "1") << "nothing past the NUL was cut off";
}

TEST_F(BadInput, DeepNestingFailsClearly) {
    const int depth = 10000;
    const std::string open(depth, '('), close(depth, ')');
    std::string subqueries, signs, cases, ends;
    for (int i = 0; i < depth; ++i) {
        subqueries += "(select ";
        signs += "- ~";
        cases += "case when 1=1 then ";
        ends += " end";
    }
    const std::string parentheses =
        "Not supported by the embedded database: more than 100 levels of parentheses";
    const std::pair<std::string, std::string> refusals[] = {
        {"select " + open + "1" + close, parentheses},
        {"select " + subqueries + "1" + close, parentheses},
        {"select " + open + "1", parentheses},
        {"select " + signs + "1",
         "Not supported by the embedded database: an expression nested more than 400 levels deep."},
        {"select " + cases + "1" + ends,
         "Not supported by the embedded database: CASE nested more than 100 levels deep."},
    };
    for (const auto& [sql, message] : refusals) {
        // clang before 16 cannot capture a structured binding itself
        EXPECT_EQ(outcome([&, &sql = sql] { conn->Query(sql); }).rfind(message, 0), 0u) << sql.substr(0, 40);
    }
    // within the translator's bounds SQLite's own parser stack (100 entries) stops a nesting first
    auto parenthesised = [](int n) { return "select " + std::string(n, '(') + "1" + std::string(n, ')'); };
    auto nestedCase = [](int n) {
        std::string sql = "select ";
        for (int i = 0; i < n; ++i) sql += "case when 1=1 then ";
        sql += "1";
        for (int i = 0; i < n; ++i) sql += " end";
        return sql;
    };
    EXPECT_EQ(scalar(parenthesised(93)), "1");
    EXPECT_EQ(outcome([&] { conn->Query(parenthesised(94)); }), "parser stack overflow");
    EXPECT_EQ(outcome([&] { conn->Query(parenthesised(100)); }), "parser stack overflow");
    EXPECT_EQ(outcome([&] { conn->Query(parenthesised(101)); }).rfind("Not supported", 0), 0u);
    EXPECT_EQ(scalar(nestedCase(18)), "1");
    EXPECT_EQ(outcome([&] { conn->Query(nestedCase(19)); }), "parser stack overflow");
}

// Every text parameter of every late-bound method, one at a time, gets each
// malformed text while the others hold sound values.
TEST_F(BadInput, InvalidUtf8InEveryTextOfEveryLateBoundMethod) {
    const std::vector<std::string> malformed = {
        "\xff\xfe",                  // bytes that never start a character
        "客\xe5\xae",                // a character cut short
        "\xed\xa0\x80",              // a UTF-16 surrogate
        "\xc0\xaf' or '1'='1",       // an overlong slash, then a quote
        std::string("a\x80\0b", 4),  // a stray continuation byte and a NUL
    };
    auto messages = std::make_shared<memory::ScriptedMessageBox>();
    ScopedMessageBox box(messages);
    // no script: every window closes as soon as it is shown
    const auto previous = installWindowHost(std::make_shared<memory::WindowHost>());
    int calls = 0;
    for (const auto* table : dispatch::classTables()) {
        for (const auto& m : table->methods) {
            if (m.name == std::string("bConnect_Test")) continue;  // reaches for a server over the network
            std::vector<std::optional<std::string>> sound;
            for (const auto& param : m.params)
                sound.emplace_back(param.type == dispatch::Type::Text      ? "客户"
                                   : param.type == dispatch::Type::Boolean ? "False"
                                                                           : "1");
            for (std::size_t p = 0; p < m.params.size(); ++p) {
                if (m.params[p].type != dispatch::Type::Text) continue;
                for (const std::string& text : malformed) {
                    auto args = sound;
                    args[p] = text;
                    ++calls;
                    try {
                        callByName(table->name, m.name, args);
                    } catch (const Error& e) {
                        EXPECT_FALSE(e.description().empty()) << table->name << "." << m.name;
                    } catch (const std::exception& e) {
                        ADD_FAILURE()
                            << table->name << "." << m.name << " argument " << p << ": " << e.what();
                    }
                }
            }
        }
    }
    installWindowHost(previous);
    EXPECT_GT(calls, 100);
    // the session's database came through unharmed
    EXPECT_EQ(scalar("select 编号 + 名称 from 客户"), "A01张三");
}

TEST_F(BadInput, HundredThousandCommasOfConditionItemsReadAsEmptyRows) {
    const std::string items(100000, ',');
    const auto rows = query::conditionRows(items);
    ASSERT_EQ(rows.size(), 20001u);
    EXPECT_EQ(rows.back(), std::vector<std::string>{""});
    std::vector<query::ConditionRow> cells(rows.size());
    const auto built = query::buildCondition(
        cells, [](const std::string&) -> query::ColumnKind { throw Error(5, "no column"); }, "d");
    EXPECT_EQ(built.text, "");
    EXPECT_EQ(built.items, "");
    // stored and opened in the custom query dialog
    auto messages = std::make_shared<memory::ScriptedMessageBox>();
    ScopedMessageBox box(messages);
    auto host = std::make_shared<memory::WindowHost>(
        std::make_shared<WindowScript>(parseWindowScript("click Command7")), messages);
    const auto previous = installWindowHost(host);
    clsSearch().sPrintSet_Zdy("客户", "月报", "自定义查询");
    exec({"update 查询打印设置 set 条件项目 = '" + items + "'"});
    host = std::make_shared<memory::WindowHost>();
    installWindowHost(host);
    clsSearch().sPrintSet_Zdy("客户", "月报", "自定义查询");
    installWindowHost(previous);
    EXPECT_GE(host->last().get<memory::FlexGrid>("MS").Rows(), 20001);
    EXPECT_TRUE(messages->messages().empty());
}

}  // namespace
}  // namespace Palvo::testing
