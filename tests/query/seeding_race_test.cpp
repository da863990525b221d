// Four processes asking for the same users' settings for the first time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "palvo/clsDatabase.h"
#include "palvo/clsForm.h"
#include "palvo/host_tables.h"
#include "palvo/session.h"
#include "palvo/sqlite/connection.h"
#include "support/processes.h"

namespace Palvo::testing {
namespace {

TEST(SeedingRace, FourProcessesSeedEachUsersSetOnceAndNoneAnswersEmpty) {
    const std::string file = freshDatabaseFile("seeding");
    {
        sqlite::Connection c;
        c.Open(file);
        query::createHostTables(c);
        c.Execute("create table 销售 (编号 int, 名称 nvarchar(20), 金额 decimal(12,2), 日期 datetime)");
    }
    constexpr int kProcesses = 4, kUsers = 40;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        children.push_back(runChild([&] {
            auto conn = std::make_shared<sqlite::Connection>();
            conn->Open(file);
            clsForm().mInit_Var("01", "一分公司", "001", "财务部", conn, "", 50, "提示标题", "");
            int failures = 0;
            for (int u = 0; u < kUsers; ++u) {
                session().sUser = "用户" + std::to_string(u);
                const std::string got = clsDatabase().sGetField("销售", "普通查询", "月报");
                if (got != "名称,金额,日期") {
                    std::fprintf(stderr, "process %d, %s: '%s'\n", p, session().sUser.c_str(), got.c_str());
                    ++failures;
                }
            }
            return failures;
        }));
    }
    for (pid_t pid : children) EXPECT_EQ(waitChild(pid), 0) << "calls answered otherwise (or failed)";
    sqlite::Connection c;
    c.Open(file);
    auto t = c.Query("select 用户名, count(*), count(distinct 字段名) from 查询打印设置 group by 用户名");
    ASSERT_EQ(t.rowCount(), static_cast<std::size_t>(kUsers));
    for (std::size_t r = 0; r < t.rowCount(); ++r) {
        EXPECT_EQ(t.at(r, 1).toInt64(), 3) << t.at(r, 0).toText();
        EXPECT_EQ(t.at(r, 2).toInt64(), 3) << t.at(r, 0).toText();
    }
}

}  // namespace
}  // namespace Palvo::testing
