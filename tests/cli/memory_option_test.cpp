// The tool bounds the embedded database's memory (half the machine's unless
// --memory says otherwise).
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

}  // namespace
}  // namespace Palvo::cli
