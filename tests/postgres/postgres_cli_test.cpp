// The palvo tool on the private PostgreSQL server, its --db an ODBC connection string:
// init makes the library's tables and the sample there, and sql, call and the reports
// read them as on the embedded database. Each test has a database of its own.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "palvo/odbc/connection.h"
#include "pg_test_database.h"
#include "support/cli_run.h"

namespace Palvo::cli {
namespace {

namespace fs = std::filesystem;

class PgCli : public testing::PgOwnDatabase {
protected:
    PgCli() : PgOwnDatabase("palvo_cli_") {}

    Outcome initSample() { return palvo({"init", "--db", db_, "--sample"}); }
    Outcome sql(const std::string& statement) { return palvo({"sql", "--db", db_, statement}); }
};

TEST_F(PgCli, InitMakesTheLibrarysTablesWithTheSampleOnce) {
    const std::string sample = "sample data in the database " + name_ + "\n";
    const struct {
        std::vector<std::string> args;
        std::string out;
    } runs[] = {
        {{"init", "--db", db_, "--sample"},
         "created 查询打印设置\ncreated 更新表记录\ncreated SendSql\ncreated 编辑权限\ncreated B_单位\n" +
             sample},
        {{"init", "--db", db_, "--sample"}, sample},
        {{"init", "--db", db_}, ""},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.args.size());
        EXPECT_EQ(palvo(run.args), (Outcome{0, run.out, ""}));
    }
    EXPECT_EQ(sql("select count(*) as 客户数, (select count(*) from 销售) as 销售数, (select count(*) from "
                  "查询打印设置) as 设置数 from 客户"),
              (Outcome{0, "客户数\t销售数\t设置数\n60\t300\t17\n", ""}));
}

TEST_F(PgCli, InitRepairsRepeatedSettings) {
    ASSERT_EQ(initSample().status, 0);
    ASSERT_EQ(sql("insert into 查询打印设置(表名,字段名,查询类别,查询名,用户名) select 表名,字段名,查询类别,"
                  "查询名,用户名 from 查询打印设置 where 查询名='客户销售' and 排列顺序 <= 2")
                  .out,
              "2\n");
    const std::string listed =
        "settings set 表名='销售查询' 用户名='张伟' 查询类别='普通查询' 查询名='客户销售' holds a column "
        "more "
        "than once: '客户名称' (2 rows) '日期' (2 rows)\n";
    const struct {
        std::vector<std::string> args;
        Outcome outcome;
    } runs[] = {
        {{"init", "--db", db_},
         {1, listed,
          "palvo: 2 columns of settings sets are stored more than once; palvo init --repair keeps the first "
          "row "
          "of each\n"}},
        {{"init", "--db", db_, "--repair"}, {0, listed + "removed 2 repeated rows of 查询打印设置\n", ""}},
        {{"init", "--db", db_}, {0, "", ""}},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.args.back());
        EXPECT_EQ(palvo(run.args), run.outcome);
    }
}

// (--csv and the count a change prints: the tool's own tests)
TEST_F(PgCli, SqlPrintsTheSampleRows) {
    ASSERT_EQ(initSample().status, 0);
    const struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"select 商品编号, 品名, 规格, [单价(元)] from 商品 where 商品编号 <= 'G003' order by 商品编号"},
         "商品编号\t品名\t规格\t单价(元)\nG001\t打印纸\tA4 70克\t128.0000\nG002\t签字笔\t0.5毫米 "
         "黑色\t24.5000\nG003\t文件夹\tA4 双夹\t6.8000\n"},
        {{"select top 2 客户编号, 名称, 单位编号, 信用额度, 建档日期, 备注 from 客户 order by 客户编号"},
         "客户编号\t名称\t单位编号\t信用额度\t建档日期\t备注\nC0001\t新电子有限公司\t00\t230000.00\t2003-10-"
         "03\t\\N\nC0002\t东方建材有限公司\t02\t270000.00\t2004-05-08\t\\N\n"},
        {{"select 单据号, 日期, 数量, 单价, 金额 from 销售 where 编号 <= 2 order by 编号"},
         "单据号\t日期\t数量\t单价\t金额\nXS200400001\t2004-08-25 "
         "12:03:00\t35\t9.9000\t346.50\nXS200400002\t2004-"
         "10-05 18:29:00\t25\t189.0000\t4725.00\n"},
        {{"select 经手人, sum(金额) as 合计 from 销售查询 group by 经手人 order by 经手人"},
         "经手人\t合计\n陈静\t102584.60\n李娜\t135150.50\n刘洋\t176073.10\n王芳\t153210.80\n张伟\t101350."
         "60\n"},
        {{"--param", "c=G004", "select 品名 from 商品 where 商品编号 = @c"}, "品名\n订书机\n"},
        {{"create table 备忘 (编号 int, 内容 nvarchar(20))"}, "-1\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        std::vector<std::string> args = {"sql", "--db", db_};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(palvo(args), (Outcome{0, c.out, ""}));
    }
}

TEST_F(PgCli, CallReadsTheSettingsTable) {
    ASSERT_EQ(initSample().status, 0);
    const struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"--user", "张伟", "clsDatabase.sGetField", "销售查询", "普通查询", "客户销售"},
         "客户名称,日期,单据号,品名,数量,金额,经手人\n"},
        {{"clsDatabase.sGetFieldValue", "查询打印设置", "字段名", "查询名", "销售明细", "排列顺序", "9"},
         "金额\n"},
        {{"clsDatabase.lGetSearchCount", "select * from 查询打印设置 where 合计 > 0"}, "4\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        std::vector<std::string> args = {"call", "--db", db_};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(palvo(args), (Outcome{0, c.out, ""}));
    }
}

TEST_F(PgCli, ReportsReadTheServersRows) {
    ASSERT_EQ(initSample().status, 0);
    const fs::path dir = fs::temp_directory_path() / name_;
    fs::create_directories(dir);
    for (const char* kind : {"pdf", "xlsx"}) {
        SCOPED_TRACE(kind);
        const fs::path out = dir / (std::string("goods.") + kind);
        const Outcome r = palvo({"report", kind, "--db", db_, "--title", "商品", "--out", out.string(),
                                 "select 品名, [单价(元)] from 商品"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_GT(fs::exists(out) ? fs::file_size(out) : 0, 0u);
    }
    fs::remove_all(dir);
}

// A batch given to the tool runs through the library's batch engine on the server.
TEST_F(PgCli, BatchesRunThroughTheTool) {
    EXPECT_EQ(sql("declare @n int = 41; set @n += 1; if @n > 40 select @n as 答案 else select 0 as 答案"),
              (Outcome{0, "答案\n42\n", "(1 行受影响)\n"}));
    const fs::path script = fs::temp_directory_path() / (name_ + ".txt");
    std::ofstream(script) << "# no window opens\n";
    EXPECT_EQ(palvo({"call", "--db", db_, "--script", script.string(), "clsDatabase.sGetSomeInfo",
                     "declare @s nvarchar(10) = N'甲'; select @s + N'乙', 2", "0", "无"}),
              (Outcome{0, "甲乙\n", ""}));
    fs::remove(script);
}

// The connection string is never shown: it holds the password.
TEST_F(PgCli, AFailedConnectionDoesNotShowThePassword) {
    const std::string wrong = std::regex_replace(db_, std::regex("Pwd=[^;]*;"), "Pwd=not-the-Pa55word;");
    std::smatch password;
    ASSERT_TRUE(std::regex_search(db_, password, std::regex("Pwd=([^;]+);")));
    const std::string noDatabase =
        std::regex_replace(db_, std::regex("Database=[^;]*;"), "Database=" + name_ + "_missing;");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"sql", "--db", wrong, "select 1"},
          {"init", "--db", wrong, "--sample"},
          {"call", "--odbc", wrong, "clsDatabase.lGetSearchCount", "select 1"},
          {"sql", "--db", noDatabase, "select 1"}}) {
        SCOPED_TRACE(args[0] + " " + args[2]);
        const Outcome r = palvo(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.find("Pa55word"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find(password[1].str()), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace Palvo::cli
