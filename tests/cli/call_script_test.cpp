// palvo call --script: the windows a call opens play a script of user actions.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/cli_database.h"

namespace Palvo::cli {
namespace {

class CallScript : public CliDatabase {
protected:
    CallScript() : CliDatabase("palvo_script", "s.db") {}
    std::string script(const std::string& text) {
        std::string path = (dir / "s.txt").string();
        std::ofstream(path) << text;
        return path;
    }
};

TEST_F(CallScript, PlaysTheLinesOnTheWindows) {
    const std::string s = script(
        "# fold out, try to edit, fold in, close\nclick Command1\nText2 = 改\n"
        "click Command1\nclick Command2\n");
    // nothing on standard error: every line was played
    EXPECT_EQ(palvo({"call", "--script", s, "clsForm.mSubMsg", "保存失败", "insert into t values (1)"}),
              (Outcome{0, "\n", ""}));
}

TEST_F(CallScript, WithoutAScriptTheWindowClosesAtOnce) {
    EXPECT_EQ(palvo({"call", "clsForm.mSubMsg", "保存失败"}), (Outcome{0, "\n", ""}));
}

TEST_F(CallScript, ReportsTheLinesNoWindowTook) {
    const auto r = palvo({"call", "--script", script("click Command2\nkey Esc\n"), "clsForm.mSubMsg", "错"});
    EXPECT_EQ(r, (Outcome{0, "\n",
                          "palvo: window script line 2 (key Esc) and the lines after it were not played: no "
                          "window was open\n"}));
}

TEST_F(CallScript, AnAnswerLineAnswersTheNextMessageBox) {
    auto r = palvo({"call", "--script", script("answer ok\n"), "clsFunction.sConvertMoneyX", "1000000000"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "[提示信息] 最大只能处理小于十亿\n");  // the answer was taken: no line left over

    r = palvo({"call", "--script", script("\nanswer no\n"), "clsFunction.sConvertMoneyX", "1000000000"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("palvo: window script line 2 (answer no): "), std::string::npos) << r.err;
}

TEST_F(CallScript, ThePickerReturnsWhatTheScriptChose) {
    ASSERT_EQ(palvo({"init", "--sample", "--db", db}).status, 0);
    // 02 narrows the sample's units to 上海分公司, the one the Enter keys choose
    EXPECT_EQ(palvo({"call", "--db", db, "--script", script("Txt1 = 02\nkey Enter\nkey Enter\n"),
                     "clsForm.sPopWindow", "B_单位,单位编号"}),
              (Outcome{0, "02\n", ""}));
}

TEST_F(CallScript, AMissingScriptFailsNamingIt) {
    const auto r = palvo({"call", "--script", (dir / "none.txt").string(), "clsForm.mSubMsg", "错"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("palvo: File not found: ", 0), 0u) << r.err;
}

// the whole file is read first: a malformed line stops the call before the method changes anything
TEST_F(CallScript, AMalformedLineFailsBeforeTheMethodRuns) {
    ASSERT_EQ(sql("create table t (k int, v nvarchar(10))").status, 0);
    ASSERT_EQ(sql("insert into t values (1, 'old')").status, 0);
    EXPECT_EQ(palvo({"call", "--db", db, "--script", script("answer ok\nclik Command2\n"),
                     "clsDatabase.sSetFieldValue", "t", "v", "new", "k", "1"}),
              (Outcome{1, "",
                       "palvo: window script line 2 (clik Command2): not an action (CONTROL = TEXT, select, "
                       "click, dblclick, grid, key, answer)\n"}));
    EXPECT_EQ(sql("select v from t").out, "v\nold\n");
}

}  // namespace
}  // namespace Palvo::cli
