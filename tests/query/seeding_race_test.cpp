// Four processes asking for the same users' settings for the first time.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <strings.h>
#include <sys/mman.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "palvo/clsDatabase.h"
#include "palvo/clsForm.h"
#include "palvo/host_tables.h"
#include "palvo/session.h"
#include "palvo/sqlite/connection.h"
#include "support/processes.h"

namespace Palvo::testing {
namespace {

// A database with the table 销售 and the host's tables, no settings in it.
std::string salesDatabase(const std::string& name) {
    const std::string file = freshDatabaseFile(name);
    sqlite::Connection c;
    c.Open(file);
    data::createHostTables(c);
    c.Execute("create table 销售 (编号 int, 名称 nvarchar(20), 金额 decimal(12,2), 日期 datetime)");
    return file;
}

// The columns of each user's set 月报 of 销售, asked for by the session on `conn`;
// the count of users answered otherwise than `expected`.
int askEveryUser(std::shared_ptr<Connection> conn, int users, const std::string& expected,
                 const std::function<void(int)>& before = {}) {
    clsForm().mInit_Var("01", "一分公司", "001", "财务部", std::move(conn), "", 50, "提示标题", "");
    int failures = 0;
    for (int u = 0; u < users; ++u) {
        if (before) before(u);
        session().sUser = "用户" + std::to_string(u);
        const std::string got = clsDatabase().sGetField("销售", "普通查询", "月报");
        if (got != expected) {
            std::fprintf(stderr, "%s: '%s'\n", session().sUser.c_str(), got.c_str());
            ++failures;
        }
    }
    return failures;
}

// Reading the column records waits a little first on the connections a process opens after it
// installed this: a process without it then seeds a set and commits between such a reader's
// reading of the sets and of the records.
int slowTrace(unsigned, void*, void*, void* text) {
    const char* sql = static_cast<const char*>(text);
    if (sql && ::strncasecmp(sql, "select", 6) == 0 && std::strstr(sql, "查询打印设置表字段"))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return 0;
}
int slowRecords(sqlite3* db, const char**, const sqlite3_api_routines*) {
    sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &slowTrace, nullptr);
    return SQLITE_OK;
}
// `processes` processes asking for each of `users` users' set at the same moment: each waits
// for the others before the next user. With `slowReaders`, all but the first read the column
// records slowly.
void askAtOnce(const std::string& file, int processes, int users, bool slowReaders = false) {
    void* shared =
        ::mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(shared, MAP_FAILED);
    auto* arrived = new (shared) std::atomic<int>(0);
    std::vector<pid_t> children;
    for (int p = 0; p < processes; ++p) {
        children.push_back(runChild([&] {
            if (slowReaders && p > 0) sqlite3_auto_extension(reinterpret_cast<void (*)()>(&slowRecords));
            auto conn = std::make_shared<sqlite::Connection>();
            conn->Open(file);
            return askEveryUser(conn, users, "名称,金额,日期", [&](int u) {
                arrived->fetch_add(1);
                // a process that failed never arrives: the others go on after a while
                const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
                while (arrived->load() < (u + 1) * processes && std::chrono::steady_clock::now() < giveUp)
                    std::this_thread::yield();
            });
        }));
    }
    for (pid_t pid : children) EXPECT_EQ(waitChild(pid), 0) << "calls answered otherwise (or failed)";
    ::munmap(shared, sizeof(std::atomic<int>));
}

// No call of theirs answers empty meanwhile (askAtOnce).
TEST(SeedingRace, FourProcessesAtOnceSeedEachUsersSetOnce) {
    constexpr int kUsers = 40;
    const std::string file = salesDatabase("seeding");
    askAtOnce(file, 4, kUsers);
    sqlite::Connection c;
    c.Open(file);
    auto t = c.Query("select 用户名, count(*), count(distinct 字段名) from 查询打印设置 group by 用户名");
    ASSERT_EQ(t.rowCount(), static_cast<std::size_t>(kUsers));
    for (std::size_t r = 0; r < t.rowCount(); ++r) {
        EXPECT_EQ(t.at(r, 1).toInt64(), 3) << t.at(r, 0).toText();
        EXPECT_EQ(t.at(r, 2).toInt64(), 3) << t.at(r, 0).toText();
    }
}

// A set seeded by several processes at once keeps the record of the columns it was
// seeded with, so a column the table gains later is added to it.
TEST(SeedingRace, SetsSeededAtOnceGainALaterColumn) {
    constexpr int kUsers = 40;
    const std::string file = salesDatabase("seeding_gain");
    askAtOnce(file, 4, kUsers, true);
    auto conn = std::make_shared<sqlite::Connection>();
    conn->Open(file);
    conn->Execute("alter table 销售 add 备注 nvarchar(40)");
    EXPECT_EQ(askEveryUser(conn, kUsers, "名称,金额,日期,备注"), 0) << "sets that did not gain 备注";
}

}  // namespace
}  // namespace Palvo::testing
