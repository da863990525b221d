// Every command of the tool prints the same failure as the same line; the tool bounds the embedded
// database's memory (half the machine's unless --memory says otherwise).
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "palvo/sqlite/connection.h"
#include "support/cli_database.h"

namespace Palvo::cli {
namespace {

class FailureFormat : public CliDatabase {
protected:
    FailureFormat() : CliDatabase("palvo_failure_format") {}
    void TearDown() override { sqlite::setMemoryLimit(0); }
};

TEST_F(FailureFormat, AFailurePrintsOneLineWhateverTheCommand) {
    ASSERT_EQ(sql("create table 客户 (编号 int)").status, 0);
    ASSERT_EQ(sql("insert into 客户 values (1)").status, 0);
    const std::string missing = (dir / "missing.db").string(), out = (dir / "report").string();
    const struct {
        std::string database, statement, line;
    } cases[] = {
        {db, "select * from 没有这个表", "palvo: 对象名 '没有这个表' 无效。\n"},
        {db, "select 编号 / 0 as 商 from 客户", "palvo: 遇到以零作除数错误。\n"},
        // a failure the tool finds itself (sql, left out, creates the file)
        {missing, "select 1",
         "palvo: the database " + missing + " does not exist (palvo init --db creates one)\n"},
    };
    for (const auto& c : cases) {
        const std::vector<std::vector<std::string>> commands = {
            {"sql", "--db", c.database, c.statement},
            {"call", "--db", c.database, "clsDatabase.lGetSearchCount", c.statement},
            {"report", "pdf", "--db", c.database, "--title", "T", "--out", out + ".pdf", c.statement},
            {"report", "xlsx", "--db", c.database, "--title", "T", "--out", out + ".xlsx", c.statement},
        };
        for (const auto& args : commands) {
            if (c.database == missing && args[0] == "sql") continue;
            EXPECT_EQ(palvo(args), (Outcome{1, "", c.line})) << args[0] << " " << args[1];
        }
    }
}

TEST_F(FailureFormat, ARunawayQueryStopsAtTheMemoryBound) {
    const std::string grows =
        "with c(x) as (select 1 union all select x + 1 from c where x < 1000000) select x, 'some text' from "
        "c";
    EXPECT_EQ(
        palvo({"--memory", "16", "sql", "--db", db, grows}),
        (Outcome{1, "",
                 "palvo: The statement needs more memory than the embedded database's bound of 16 MB.\n"}));
}

TEST_F(FailureFormat, WithoutTheMemoryOptionTheBoundIsHalfTheMachines) {
    EXPECT_EQ(sql("select 1 as n").out, "n\n1\n");
    const auto machine = static_cast<std::uint64_t>(sysconf(_SC_PHYS_PAGES)) *
                         static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    EXPECT_GT(sqlite::memoryLimit(), machine / 4);
    EXPECT_LT(sqlite::memoryLimit(), machine);
}

TEST_F(FailureFormat, AMemoryBoundOfZeroIsNone) {
    EXPECT_EQ(palvo({"--memory", "0", "sql", "--db", db, "select 1 as n"}).status, 0);
    EXPECT_EQ(sqlite::memoryLimit(), 0u);
}

TEST_F(FailureFormat, AMemoryOptionWithoutANumberIsAUsageError) {
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--memory"},
                                                {"--memory", "lots", "sql", "select 1"},
                                                {"--memory", "-5", "sql", "select 1"}}) {
        const Outcome r = palvo(bad);
        EXPECT_EQ(r.status, 2) << bad.back();
        EXPECT_NE(r.err.find("--memory MB"), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace Palvo::cli
