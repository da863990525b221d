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

    // The commands that run `statement` on `database`.
    std::vector<std::vector<std::string>> commands(const std::string& database,
                                                   const std::string& statement) {
        const std::string out = (dir / "report").string();
        return {
            {"sql", "--db", database, statement},
            {"call", "--db", database, "clsDatabase.lGetSearchCount", statement},
            {"report", "pdf", "--db", database, "--title", "T", "--out", out + ".pdf", statement},
            {"report", "xlsx", "--db", database, "--title", "T", "--out", out + ".xlsx", statement},
        };
    }
};

TEST_F(FailureFormat, AFailedQueryPrintsOneLineWhateverTheCommand) {
    ASSERT_EQ(sql("create table 客户 (编号 int)").status, 0);
    ASSERT_EQ(sql("insert into 客户 values (1)").status, 0);
    struct Case {
        std::string statement;
        std::string line;
    };
    const Case cases[] = {
        {"select * from 没有这个表", "palvo: 对象名 '没有这个表' 无效。\n"},
        {"select 编号 / 0 as 商 from 客户", "palvo: 遇到以零作除数错误。\n"},
    };
    for (const Case& c : cases) {
        for (const auto& args : commands(db, c.statement)) {
            const Outcome r = palvo(args);
            EXPECT_EQ(r.status, 1) << args[0] << " " << args[1];
            EXPECT_EQ(r.out, "") << args[0] << " " << args[1];
            EXPECT_EQ(r.err, c.line) << args[0] << " " << args[1];
        }
    }
}

// A failure the tool finds itself is printed in the same form.
TEST_F(FailureFormat, AMissingDatabaseIsRefusedInTheSameForm) {
    const std::string missing = (dir / "missing.db").string();
    const std::string line =
        "palvo: the database " + missing + " does not exist (palvo init --db creates one)\n";
    auto all = commands(missing, "select 1");
    all.erase(all.begin());  // sql creates the file
    for (const auto& args : all) {
        const Outcome r = palvo(args);
        EXPECT_EQ(r.status, 1) << args[0] << " " << args[1];
        EXPECT_EQ(r.err, line) << args[0] << " " << args[1];
    }
}

}  // namespace
}  // namespace Palvo::cli
