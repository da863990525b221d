// The ODBC adapter against a real server: the private PostgreSQL the test run starts
// (scripts/pg-cluster, named by PALVO_PG_CONNECTION_FILE). These tests speak PostgreSQL's
// own SQL through a host translator that sends statements as written; what they check is
// the adapter's own work on a server: connecting, transactions, several clients, timeouts
// and a link that drops. The T-SQL target is postgres_target_test.cpp's.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "palvo/error.h"
#include "palvo/odbc/connection.h"
#include "support/errors.h"
#include "support/pg_server.h"

namespace Palvo::odbc {
namespace {

using Palvo::testing::errorOf;
using Palvo::testing::raised;

class PgServer : public ::testing::Test {
protected:
    void SetUp() override {
        connection_ = testing::pgServerConnection();
        ASSERT_FALSE(connection_.empty()) << "no server: run through ctest, which starts one";
    }

    // A connection that sends PostgreSQL's own SQL as written.
    std::unique_ptr<Connection> open() const {
        auto c = std::make_unique<Connection>();
        c->setStatementTranslator({});
        c->Open(connection_);
        return c;
    }

    std::string connection_;
};

TEST_F(PgServer, FailedConnectionNamesTheServerNeverThePassword) {
    const std::smatch port = [&] {
        std::smatch m;
        std::regex_search(connection_, m, std::regex("Port=([0-9]+);"));
        return m;
    }();
    const std::string password = std::regex_replace(connection_, std::regex(".*Pwd=([^;]*);.*"), "$1");
    const struct {
        const char* what;
        std::string connection;
        std::string server;
    } cases[] = {
        {"wrong password",
         std::regex_replace(connection_, std::regex("Pwd=[^;]*;"), "Pwd=" + password + "x;"),
         "\"127.0.0.1\", port " + port[1].str()},
        {"no server there", std::regex_replace(connection_, std::regex("Port=[0-9]+;"), "Port=1;"),
         "\"127.0.0.1\", port 1"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        Connection c;
        c.setStatementTranslator({});
        const auto [number, text] = errorOf([&] { c.Open(k.connection); });
        EXPECT_EQ(number, ErrorNumber::ConnectionFailed);
        EXPECT_NE(text.find(k.server), std::string::npos) << text;
        EXPECT_EQ(text.find(password), std::string::npos) << text;
        EXPECT_EQ(c.State(), adStateClosed);
    }
}

// (that a transaction keeps what it commits only is DataAccess', which runs here too)
TEST_F(PgServer, AFailedStatementLeavesTheTransactionToTheHostsRollback) {
    auto c = open();
    c->Execute("drop table if exists 交易; create table 交易 (id int primary key, 名称 text)");
    c->ExecuteWith("insert into 交易 values (1, ?)", {Value(std::string("留下"))});
    c->BeginTrans();
    c->Execute("insert into 交易 values (3, '撤回')");
    EXPECT_EQ(errorOf([&] { c->Execute("insert into 交易 values (1, '重复')"); }).first,
              ErrorNumber::Database);
    c->RollbackTrans();
    const ResultTable rows = c->Query("select id, 名称 from 交易 order by id");
    ASSERT_EQ(rows.rowCount(), 1u);
    EXPECT_EQ(rows.at(0, 1).toText(), "留下");
}

TEST_F(PgServer, EightWritersBesideReadersLoseNoRow) {
    open()->Execute(
        "drop table if exists 并发; create table 并发 (客户 int, 序号 int, primary key (客户, 序号))");
    constexpr int kWriters = 8, kRows = 200;
    std::atomic<bool> writing{true};
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < kWriters; ++w) {
        threads.emplace_back([&, w] {
            try {
                auto c = open();
                for (int k = 0; k < kRows; ++k)
                    c->ExecuteWith("insert into 并发 values (?, ?)", {Value(w), Value(k)});
            } catch (const Error&) {
                ++failures;
            }
        });
    }
    std::thread reader([&] {
        try {
            auto c = open();
            while (writing) c->Query("select count(*) from 并发");
        } catch (const Error&) {
            ++failures;
        }
    });
    for (auto& t : threads) t.join();
    writing = false;
    reader.join();
    EXPECT_EQ(failures, 0);
    const ResultTable n = open()->Query("select count(*), count(distinct 客户) from 并发");
    EXPECT_EQ(n.at(0, 0).toText(), std::to_string(kWriters * kRows));
    EXPECT_EQ(n.at(0, 1).toText(), std::to_string(kWriters));
}

TEST_F(PgServer, CommandTimeoutCancelsTheStatementOnTheServer) {
    auto c = open();
    c->CommandTimeout(1);
    const auto started = std::chrono::steady_clock::now();
    const auto [number, text] = errorOf([&] { c->Query("select pg_sleep(30)"); });
    EXPECT_NE(number, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20)) << text;
    // nothing of it runs on: the server has no statement of this test's left
    const ResultTable running = open()->Query(
        "select count(*) from pg_stat_activity where query like 'select pg_sleep(30)%' and state = 'active'");
    EXPECT_EQ(running.at(0, 0).toText(), "0");
    EXPECT_EQ(c->Query("select 1").at(0, 0).toText(), "1");
}

TEST_F(PgServer, DeadlockVictimKeepsNothingHalfWritten) {
    open()->Execute(
        "drop table if exists 死锁; create table 死锁 (id int primary key, 值 int); insert into 死锁 values "
        "(1, 0), (2, 0)");
    auto a = open(), b = open();
    a->BeginTrans();
    b->BeginTrans();
    a->Execute("update 死锁 set 值 = 10 where id = 1");
    b->Execute("update 死锁 set 值 = 20 where id = 2");
    // each now waits for the row the other holds; the server ends one of them, whose host
    // rolls back as its error handler does, and the other goes on
    const auto crossUpdate = [](Connection& c, const char* sql) {
        Error e = raised([&] { c.Execute(sql); });
        if (e.number() != 0) c.RollbackTrans();
        return e;
    };
    Error fromB(0, "");
    std::thread second([&] { fromB = crossUpdate(*b, "update 死锁 set 值 = 21 where id = 1"); });
    const Error fromA = crossUpdate(*a, "update 死锁 set 值 = 11 where id = 2");
    second.join();
    ASSERT_NE(fromA.number() == 0, fromB.number() == 0) << fromA.description() << fromB.description();
    const Error& victim = fromA.number() != 0 ? fromA : fromB;
    EXPECT_EQ(victim.sqlState(), "40P01");
    EXPECT_EQ(victim.nativeCode(), 1205);
    EXPECT_TRUE(std::regex_match(victim.description(),
                                 std::regex("事务\\(进程 ID [0-9]+\\)与另一个进程被死锁在 lock "
                                            "资源上，并且已被选作死锁牺牲品。请重新运行该事务。")))
        << victim.description();
    (fromA.number() != 0 ? *b : *a).CommitTrans();
    const std::string expected = fromA.number() != 0 ? "21,20" : "10,11";
    EXPECT_EQ(open()->Query("select string_agg(值::text, ',' order by id) from 死锁").at(0, 0).toText(),
              expected);
}

// Ends the server's side of c's link, as a server restart or a network fault does.
void dropLink(Connection& c, const std::function<std::unique_ptr<Connection>()>& other) {
    const std::string pid = c.Query("select pg_backend_pid()").at(0, 0).toText();
    other()->Query("select pg_terminate_backend(" + pid + ")");
}

TEST_F(PgServer, DroppedLinkFailsOneCallThenReconnects) {
    auto c = open();
    dropLink(*c, [&] { return open(); });
    const Error e = raised([&] { c->Query("select 1"); });
    EXPECT_EQ(e.number(), ErrorNumber::ConnectionFailed);
    EXPECT_EQ(e.sqlState(), "08S01");
    EXPECT_TRUE(e.description().starts_with("Communication link failure\n")) << e.description();
    EXPECT_EQ(c->Query("select 2").at(0, 0).toText(), "2");
}

TEST_F(PgServer, TransactionLostWithTheLinkIsNeverReportedCommitted) {
    open()->Execute("drop table if exists 断线; create table 断线 (id int)");
    auto c = open();
    c->BeginTrans();
    c->Execute("insert into 断线 values (1)");
    dropLink(*c, [&] { return open(); });
    // every call until the host rolls back fails: a statement run now would commit on its own
    EXPECT_EQ(raised([&] { c->Execute("insert into 断线 values (2)"); }).sqlState(), "08S01");
    EXPECT_EQ(raised([&] { c->Execute("insert into 断线 values (3)"); }).sqlState(), "08S01");
    EXPECT_EQ(raised([&] { c->CommitTrans(); }).sqlState(), "08S01");
    c->RollbackTrans();
    c->Execute("insert into 断线 values (4)");
    EXPECT_EQ(c->Query("select string_agg(id::text, ',') from 断线").at(0, 0).toText(), "4");
}

// Rows come from the driver a block at a time: values longer than a block holds, Nulls and
// rows past the first block read as they would one cell at a time.
TEST_F(PgServer, RowsReadInBlocksKeepEveryValue) {
    constexpr int kRows = 600;
    const ResultTable t = open()->Query(
        "select i, case when i % 7 = 0 then null when i % 100 = 0 then repeat('长', 400) else '第' || i end, "
        "(i / 4.0)::numeric(12, 2), decode(repeat('a5', case when i % 150 = 0 then 1500 else 3 end), 'hex') "
        "from generate_series(1, " +
        std::to_string(kRows) + ") i");
    ASSERT_EQ(t.rowCount(), static_cast<std::size_t>(kRows));
    for (int i = 1; i <= kRows; ++i) {
        SCOPED_TRACE(i);
        const auto r = static_cast<std::size_t>(i - 1);
        EXPECT_EQ(t.at(r, 0).toInt64(), i);
        std::string text = "第" + std::to_string(i);
        if (i % 100 == 0)
            for (text.clear(); text.size() < 1200;) text += "长";
        if (i % 7 == 0)
            EXPECT_TRUE(t.at(r, 1).isNull());
        else
            EXPECT_EQ(t.at(r, 1).toText(), text);
        const char* quarters[] = {".00", ".25", ".50", ".75"};
        ASSERT_TRUE(t.at(r, 2).decimal());
        EXPECT_EQ(t.at(r, 2).decimal()->text, std::to_string(i / 4) + quarters[i % 4]);
        ASSERT_TRUE(t.at(r, 3).bytes());
        EXPECT_EQ(t.at(r, 3).bytes()->data, std::vector<unsigned char>(i % 150 == 0 ? 1500 : 3, 0xa5));
    }
}

}  // namespace
}  // namespace Palvo::odbc
