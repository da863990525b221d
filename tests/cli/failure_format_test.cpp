// Every command of the tool prints the same failure as the same line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/cli_database.h"

namespace Palvo::cli {
namespace {

class FailureFormat : public CliDatabase {
protected:
    FailureFormat() : CliDatabase("palvo_failure_format") {}
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
            const Outcome r = palvo(args);
            EXPECT_EQ(r.status, 1) << args[0] << " " << args[1];
            EXPECT_EQ(r.out, "") << args[0] << " " << args[1];
            EXPECT_EQ(r.err, c.line) << args[0] << " " << args[1];
        }
    }
}

}  // namespace
}  // namespace Palvo::cli
