// The tool bounds the embedded database's memory (half the machine's unless
// --memory says otherwise), and arithmetic SQL Server cannot do fails the
// statement with status 1, changing nothing.
#include <gtest/gtest.h>
#include <unistd.h>

#include "palvo/sqlite/connection.h"
#include "support/cli_database.h"

namespace Palvo::cli {
namespace {

class ToolLimits : public CliDatabase {
protected:
    ToolLimits() : CliDatabase("palvo_limits") {}
    void TearDown() override { sqlite::setMemoryLimit(0); }
};

TEST_F(ToolLimits, ARunawayQueryStopsAtTheMemoryBound) {
    const std::string grows =
        "with c(x) as (select 1 union all select x + 1 from c where x < 1000000) select x, 'some text' from "
        "c";
    auto r = palvo({"--memory", "16", "sql", "--db", db, grows});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "palvo: The statement needs more memory than the embedded database's bound of 16 MB.\n");
    // without the option the bound is half the machine's memory
    r = sql("select 1 as n");
    EXPECT_EQ(r.out, "n\n1\n");
    const auto machine = static_cast<std::uint64_t>(sysconf(_SC_PHYS_PAGES)) *
                         static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    EXPECT_GT(sqlite::memoryLimit(), machine / 4);
    EXPECT_LT(sqlite::memoryLimit(), machine);
    r = palvo({"--memory", "0", "sql", "--db", db, "select 1 as n"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(sqlite::memoryLimit(), 0u);
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--memory"},
                                                {"--memory", "lots", "sql", "select 1"},
                                                {"--memory", "-5", "sql", "select 1"}}) {
        r = palvo(bad);
        EXPECT_EQ(r.status, 2) << bad.back();
        EXPECT_NE(r.err.find("--memory MB"), std::string::npos) << r.err;
    }
}

TEST_F(ToolLimits, ArithmeticThatCannotBeDoneFailsAndChangesNothing) {
    sql("create table r (k int, amt int, qty int, unit int)");
    sql("insert into r values (1, 10, 2, 5), (2, 9, 3, 5), (3, 7, 0, 5)");
    const std::pair<const char*, const char*> cases[] = {
        {"select 1/0", "palvo: 遇到以零作除数错误。\n"},
        {"update r set unit = amt / qty", "palvo: 遇到以零作除数错误。\n"},
        {"select 2147483647 + 1", "palvo: 将 expression 转换为数据类型 int 时出现算术溢出错误。\n"},
    };
    for (const auto& [statement, says] : cases) {
        const auto r = sql(statement);
        EXPECT_EQ(r.status, 1) << statement;
        EXPECT_EQ(r.err, says);
    }
    EXPECT_EQ(sql("select unit from r order by k").out, "unit\n5\n5\n5\n");
}

}  // namespace
}  // namespace Palvo::cli
