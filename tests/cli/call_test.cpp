#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "call_command.h"
#include "cli.h"
#include "palvo/executor.h"
#include "palvo/session.h"
#include "palvo/sqlite/connection.h"
#include "support/cli_database.h"

namespace Palvo::cli {
namespace {

namespace fs = std::filesystem;

class CallCommand : public CliDatabase {
protected:
    CallCommand() : CliDatabase("palvo_call") {}
    void SetUp() override {
        for (const char* statement : {"create table 客户 (编号 nvarchar(10), 名称 nvarchar(50))",
                                      "insert into 客户 values ('0007', N'华北商行')"})
            ASSERT_EQ(sql(statement).status, 0) << statement;
    }
    void TearDown() override { installLineExecutor(nullptr); }
};

struct CallCase {
    std::vector<std::string> args;
    std::string out;
    std::string err = "";
};

class CallPrints : public CallCommand {
protected:
    void expectCalls(const std::vector<CallCase>& cases) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.args.back());
            EXPECT_EQ(palvo(c.args), (Outcome{0, c.out, c.err}));
        }
    }
};

TEST_F(CallPrints, TheResultAsText) {
    expectCalls({
        {{"call", "clsIp.bIsIP", "192.168.0.1"}, "True\n"},
        {{"call", "--db", db, "clsDatabase.sGetFieldValue", "客户", "名称", "编号", "0007"}, "华北商行\n"},
        {{"call", "--db", db, "clsDatabase.lGetSearchCount", "select * from 客户"}, "1\n"},
        // By-reference arguments the method only reads are not printed.
        {{"call", "--db", db, "clsDatabase.sGetSomeInfo", "select 名称 from 客户", "0", "无"}, "华北商行\n"},
        // after CLASS.METHOD everything is an argument, with or without "--" before it
        {{"call", "--", "clsIp.bIsIP", "--db"}, "False\n"},
        {{"call", "clsIp.bIsIP", "--db"}, "False\n"},
    });
}

TEST_F(CallPrints, AChangedByReferenceArgumentAfterTheResult) {
    expectCalls({{{"call", "clsFunction.sUserDate", " 2004-3-5 "}, "2004-03-05\nsTxt=2004-3-5\n"}});
}

TEST_F(CallPrints, WhetherCodeRanWithinItsLimits) {
    expectCalls({
        {{"call", "clsElse.bExecuteCode", "while true do end"}, "False\n"},  // stopped by the time limit
        {{"call", "clsElse.bExecuteCode", "s = string.rep('x', 300 * 2^20)"}, "False\n"},  // over 256 MB
        {{"call", "clsElse.bExecuteCode", "s = string.rep('x', 50 * 2^20)"}, "True\n"},
        // a library call no instruction count sees, and a finalizer left for the end
        {{"call", "--sandboxed", "clsElse.bExecuteCode", "string.rep('', 1e15)"}, "False\n"},
        {{"call", "--sandboxed", "clsElse.bExecuteCode",
          "setmetatable({}, {__gc = function() while true do end end})"},
         "True\n"},
    });
}

TEST_F(CallPrints, WhetherCodeStayedWithinItsSandbox) {
    expectCalls({
        {{"call", "--sandboxed", "clsElse.bExecuteCode", "os.exit(3)"}, "False\n"},  // no os in a sandbox
        {{"call", "--sandboxed", "clsElse.bExecuteCode", "x = math.max(1, 2)"}, "True\n"},
        {{"call", "clsElse.bExecuteCode", "debug.gethook()"}, "True\n"},
        {{"call", "clsElse.bExecuteCode", "assert(io.open('/dev/null'))"},
         "True\n"},  // the tool's own rights
    });
}

TEST_F(CallCommand, TheOptionsSetUpTheSession) {
    auto r = palvo({"call", "--db", db, "--unit", "03", "--user", "张三", "clsIp.bIsIP", "1.1.1.1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(session().Dwbh, "03");
    EXPECT_EQ(session().sUser, "张三");
    EXPECT_EQ(session().sMsg, "Vantrel提示");
    EXPECT_EQ(session().lSelectTop, 50);
    EXPECT_EQ(session().oConn, nullptr);  // released when the call is done
}

TEST_F(CallCommand, ARaisedFailureFailsWithItsDescription) {
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{"call", "clsIp.bIsIPv6", "1.1.1.1"},
         "palvo: Object doesn't support this property or method: clsIp.bIsIPv6\n"},
        {{"call", "clsIp.bIsIP"}, "palvo: Argument not optional: bIsIP needs sIP\n"},
        {{"call", "clsIp.bIsIP", "1.1.1.1", "2"},
         "palvo: Wrong number of arguments or invalid property assignment: bIsIP takes at most 1\n"},
        {{"call", "--db", db, "clsDatabase.sNextId", "客户", "six"},
         "palvo: Type mismatch: argument lenId takes an Integer, not \"six\"\n"},
        {{"call", "--db", db, "clsDatabase.sNextId", "客户", "40000"},
         "palvo: Overflow: argument lenId takes an Integer, and 40000 is out of its range\n"},
        {{"call", "--db", db, "clsDatabase.sServerTime", "YYYY-MM-DD"},
         "palvo: Invalid procedure call or argument: unknown time style 'YYYY-MM-DD'\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        EXPECT_EQ(palvo(c.args), (Outcome{1, "", c.err}));
    }
}

// Without --db: call uses palvo.db of the current folder only when it exists; sql creates it.
TEST_F(CallCommand, WithoutDbTheToolsDatabaseIsPalvoDbInTheCurrentFolder) {
    auto cwd = fs::current_path();
    fs::current_path(dir);  // no palvo.db here
    const Outcome none = palvo({"call", "clsDatabase.lGetSearchCount", "select 1"});
    const bool createdByCall = fs::exists("palvo.db");
    const Outcome made = palvo({"sql", "create table 默认 (k int)"});
    palvo({"sql", "insert into 默认 values (1), (2)"});
    const Outcome counted = palvo({"call", "clsDatabase.lGetSearchCount", "select * from 默认"});
    fs::current_path(cwd);
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "palvo: Object required: no connection was given to mInit_Var.\n");
    EXPECT_FALSE(createdByCall);
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_TRUE(fs::exists(dir / "palvo.db"));
    EXPECT_EQ(counted.out, "2\n") << counted.err;
}

// An exception other than an Error prints its what(); the status given back and an Error's
// description are every command's (FailureFormat).
TEST(RunGuarded, AnyOtherExceptionPrintsOneLineWithStatusOne) {
    std::ostringstream err;
    session().oConn = std::make_shared<sqlite::Connection>();
    EXPECT_EQ(runGuarded(err, []() -> int { throw std::length_error("too long"); }), 1);
    EXPECT_EQ(err.str(), "palvo: too long\n");
    EXPECT_EQ(session().oConn, nullptr) << "the session's connection is released";
}

// it prints title and text, and answers the default button
TEST(PrintingMessageBox, AnswersTheDefaultButton) {
    const std::pair<int, int> styles[] = {{0, 1}, {4, 6}, {3 + 512, 2}, {2 + 256, 4}};
    for (const auto& [style, answer] : styles) {
        std::ostringstream err;
        PrintingMessageBox box(err);
        EXPECT_EQ(box.show("请填入数字！", style, "提示"), answer) << style;
        EXPECT_EQ(err.str(), "[提示] 请填入数字！\n");
    }
}

// A driver registered under FreeTDS's name that this machine can reach: the
// SQLite ODBC driver, which opens the file named by "database". The driver
// manager keeps what it read of odbcinst.ini for the life of the process, so
// each case runs in a fresh one.
TEST_F(CallCommand, ConnectTestIsTrueWhenTheDriverOpensTheDatabase) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    {
        std::ofstream ini(dir / "odbcinst.ini");
        ini << "[FreeTDS]\nDriver=libsqlite3odbc.so\n";
    }
    // the child process runs this test from the start, with folders of its own
    auto connectTest = [&](const std::string& database) {
        ::setenv("ODBCSYSINI", dir.c_str(), 1);
        auto result =
            palvo({"call", "clsDatabase.bConnect_Test", "localhost", "sa", "pw", database, "False"});
        const bool created = fs::exists(database);
        std::error_code ec;
        fs::remove_all(dir, ec);
        std::fprintf(stderr, "answer=%screated=%d", result.out.c_str(), created ? 1 : 0);
        std::exit(result.status);
    };
    EXPECT_EXIT(connectTest((dir / "reached.db").string()), ::testing::ExitedWithCode(0),
                "answer=True\ncreated=1");
}

TEST(CallUsage, BadCommandLinesShowTheUsage) {
    const std::vector<std::vector<std::string>> cases = {
        {"call"},
        {"call", "clsIp"},
        {"call", "clsIp."},
        {"call", ".bIsIP"},
        {"call", "--db", "a.db", "--odbc", "DSN=x", "clsIp.bIsIP", "1.1.1.1"},
    };
    for (const auto& args : cases) {
        auto r = palvo(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_NE(r.err.find("usage: palvo call"), std::string::npos) << args.back();
    }
}

TEST(CallList, NamesEachMethodWithItsSignature) {
    auto list = palvo({"call", "--list"});
    EXPECT_EQ(list.status, 0);
    for (const char* signature :
         {"clsIp.bIsIP(sIP As String) As Boolean\n",
          "clsElse.bExecuteCode(ByRef stCode As String, [ByRef fCheckOnly As Boolean = False]) As Boolean\n",
          "clsDatabase.sNextId(tbname As String, lenId As Integer, [IncField As String = \"编号\"]) As "
          "String\n"})
        EXPECT_NE(list.out.find(signature), std::string::npos) << signature;
}

}  // namespace
}  // namespace Palvo::cli
