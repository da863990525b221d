// Several processes on one database file, and schema changes that are whole or
// absent however they end: killed, refused midway, or inside a host's transaction.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <string>
#include <vector>

#include "palvo/error.h"
#include "palvo/sqlite/connection.h"
#include "support/errors.h"
#include "support/processes.h"
#include "support/sqlite_faults.h"

namespace Palvo::testing {
namespace {

constexpr const char* kCreateCustomers =
    "create table 客户 (编号 varchar(10) not null, 金额 decimal(10,2) null, 日期 datetime null)";

long long number(sqlite::Connection& c, const std::string& sql) { return c.Query(sql).at(0, 0).toInt64(); }

// The journal mode the file itself records, read past the adapter.
std::string journalMode(const std::string& file) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "pragma journal_mode", -1, &st, nullptr);
    std::string mode =
        sqlite3_step(st) == SQLITE_ROW ? reinterpret_cast<const char*>(sqlite3_column_text(st, 0)) : "";
    sqlite3_finalize(st);
    sqlite3_close(db);
    return mode;
}

TEST(SqliteProcesses, EightWritersWithReadersAlongsideNeitherFailNorLoseARow) {
    const std::string file = freshDatabaseFile("writers");
    {
        sqlite::Connection c;
        c.Open(file);
        c.Execute("create table 日志 (写者 int not null, 序号 int not null, 内容 nvarchar(40) null)");
    }
    constexpr int kWriters = 8, kInserts = 200, kReaders = 3, kReads = 50;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        children.push_back(runChild([&] {
            int failures = 0;
            sqlite::Connection c;  // opened while the others write
            c.Open(file);
            for (int i = 0; i < kInserts; ++i) {
                try {
                    c.ExecuteWith("insert into 日志 (写者, 序号, 内容) values (?, ?, ?)",
                                  {w, i, "第" + std::to_string(i) + "行"});
                } catch (const Error& e) {
                    std::fprintf(stderr, "writer %d: %s\n", w, e.description().c_str());
                    ++failures;
                }
            }
            return failures;
        }));
    }
    for (int r = 0; r < kReaders; ++r) {
        children.push_back(runChild([&] {
            int failures = 0;
            for (int i = 0; i < kReads; ++i) {
                try {
                    // a fresh connection now and then: opening reads the file too
                    sqlite::Connection c;
                    c.Open(file);
                    number(c, "select count(*) from 日志");
                    number(c, "select count(*) from 日志 where 写者 = 3");
                } catch (const Error& e) {
                    std::fprintf(stderr, "reader %d: %s\n", r, e.description().c_str());
                    ++failures;
                }
            }
            return failures;
        }));
    }
    for (pid_t pid : children) EXPECT_EQ(waitChild(pid), 0) << "refusals (or a crash) in a child";
    sqlite::Connection c;
    c.Open(file);
    EXPECT_EQ(number(c, "select count(*) from 日志"), kWriters * kInserts);
    EXPECT_EQ(number(c, "select count(*) from (select distinct 写者, 序号 from 日志) as t"),
              kWriters * kInserts);
    EXPECT_EQ(journalMode(file), "wal");
}

TEST(SqliteProcesses, JournalModeIsWalUnlessTheConnectionStringNamesAnother) {
    struct Case {
        std::string options;
        std::string mode;  // "" when the connection string is refused
    } cases[] = {
        {"", "wal"},
        {";Journal Mode=Delete", "delete"},
        {";journalmode=DELETE", "delete"},
        {";Journal Mode=Off", ""},  // would lose the all-or-nothing of a transaction
    };
    for (const auto& c : cases) {
        const std::string file = freshDatabaseFile("journal");
        sqlite::Connection conn;
        const std::string error = errorDescription([&] { conn.Open("Data Source=" + file + c.options); });
        if (c.mode.empty()) {
            EXPECT_EQ(error, "Journal Mode must be WAL, Delete, Truncate or Persist, not 'Off'.");
            continue;
        }
        ASSERT_EQ(error, "") << c.options;
        conn.Execute("create table T (v int)");
        conn.Close();
        EXPECT_EQ(journalMode(file), c.mode) << c.options;
    }
}

// Another connection's ALTER COLUMN, made the moment the query it races starts to run.
struct RacingAlter {
    static inline sqlite::Connection* other = nullptr;
    static inline bool armed = false;
    static int trace(unsigned, void*, void*, void* text) {
        const char* sql = static_cast<const char*>(text);
        if (armed && sql && std::strncmp(sql, "select", 6) == 0 && std::strstr(sql, "价目")) {
            armed = false;
            other->Execute("alter table 价目 alter column 单价 int not null");
        }
        return 0;
    }
    static int install(sqlite3* db, const char**, const sqlite3_api_routines*) {
        sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &trace, nullptr);
        return SQLITE_OK;
    }
};

TEST(SqliteSchemaChange, AStatementRunsWithTheColumnTypesOfTheSchemaItReads) {
    const std::string file = freshDatabaseFile("racing");
    sqlite::Connection other;
    other.Open(file);
    other.Execute("create table 价目 (单价 decimal(10,2) not null)");
    other.Execute("insert into 价目 values (7.5)");
    faults::install(&RacingAlter::install);
    sqlite::Connection c;
    c.Open(file);
    sqlite3_reset_auto_extension();
    const std::string query = "select 单价 / 2 from 价目";
    const std::string before = c.Query(query).at(0, 0).toText();  // translated for a decimal column
    RacingAlter::other = &other;
    RacingAlter::armed = true;
    const std::string raced = c.Query(query).at(0, 0).toText();
    ASSERT_FALSE(RacingAlter::armed) << "the change did not run alongside the query";
    const std::string after = c.Query(query).at(0, 0).toText();
    EXPECT_NE(before, after);
    // the schema before the change or after it, never the types of one with the rows of the other
    EXPECT_TRUE(raced == before || raced == after)
        << raced << " (before " << before << ", after " << after << ")";
}

// Killed between the table and its checks: the table is not there, and made again it has them.
TEST(SqliteSchemaChange, AKillBeforeATablesChecksAreMadeLeavesNoTable) {
    for (int kill : {1, 2, 4}) {  // before the first, second and last of its triggers
        const std::string file = freshDatabaseFile("killed");
        const pid_t pid = runChild([&] {
            killBeforeStatement("create trigger", kill);
            sqlite::Connection c;
            c.Open(file);
            c.Execute(kCreateCustomers);
            return 0;
        });
        ASSERT_EQ(waitChild(pid), 128 + SIGKILL) << kill;
        sqlite::Connection c;
        c.Open(file);
        EXPECT_EQ(number(c, "select count(*) from sqlite_master where tbl_name = '客户'"), 0) << kill;
        c.Execute(kCreateCustomers);
        EXPECT_EQ(
            errorDescription([&] { c.Execute("insert into 客户 (编号) values ('12345678901234567890')"); }),
            "将截断字符串或二进制数据。")
            << kill;
    }
}

TEST(SqliteSchemaChange, AFailureMidwayUndoesOnlyTheStatement) {
    for (bool hostTransaction : {false, true}) {
        sqlite::Connection c;
        {
            TriggersRefused refused;
            c.Open(":memory:");
        }
        c.Execute("create table 已有 (v float)");  // no trigger: allowed
        if (hostTransaction) {
            c.BeginTrans();
            c.Execute("insert into 已有 values (1)");
        }
        EXPECT_NE(errorDescription([&] { c.Execute(kCreateCustomers); }).find("not authorized"),
                  std::string::npos);
        EXPECT_EQ(number(c, "select count(*) from sqlite_master where tbl_name = '客户'"), 0)
            << hostTransaction;
        if (hostTransaction) {
            EXPECT_TRUE(c.InTransaction());
            c.CommitTrans();
            EXPECT_EQ(number(c, "select count(*) from 已有"), 1);
        }
    }
}

TEST(SqliteSchemaChange, InsideAHostTransactionItCommitsNothingEarly) {
    sqlite::Connection c;
    c.Open(":memory:");
    c.Execute("create table 已有 (v int)");
    c.BeginTrans();
    c.Execute("insert into 已有 values (1)");
    c.Execute(kCreateCustomers);
    EXPECT_TRUE(c.InTransaction());
    c.RollbackTrans();
    EXPECT_EQ(number(c, "select count(*) from 已有"), 0);
    EXPECT_EQ(number(c, "select count(*) from sqlite_master where tbl_name = '客户'"), 0);
}

}  // namespace
}  // namespace Palvo::testing
