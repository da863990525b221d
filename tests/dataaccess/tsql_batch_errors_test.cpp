// Transactions, TRY ... CATCH, RAISERROR and THROW in a batch, and what an error
// ends: its statement (the batch goes on) or the batch, with or without the
// transaction. The answers run on a real SQL Server too when PALVO_TEST_MSSQL
// names one; what the embedded database alone decides runs there only.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "palvo/data.h"
#include "palvo/error.h"
#include "support/answers.h"
#include "support/errors.h"
#include "support/files.h"

namespace Palvo {
namespace {

using testing::Row;

class TsqlBatchErrors : public testing::AnswersTest {
protected:
    void ledger() {
        conn_->Execute("create table 账 (k int primary key, v varchar(3) not null, n int check (n >= 0))");
        conn_->Execute("create unique index 账_v on 账 (v)");
    }
    // The keys left in 账, in order, as one text ("1,9").
    std::string keys() {
        std::string out;
        for (const Row& r : rows("select k from 账 order by k")) out += (out.empty() ? "" : ",") + r[0];
        return out;
    }
};

// A rollback ends every open transaction; only the outermost commit keeps the rows.
TEST_P(TsqlBatchErrors, NestedTransactionsKeepTheRowsTheOutermostEndKeeps) {
    ledger();
    const std::string nested =
        "begin tran insert into 账 values (1, 'a', 0) begin transaction insert into 账 values (2, 'b', 0) ";
    const std::pair<std::string, const char*> cases[] = {
        {nested + "commit rollback", ""},
        {nested + "rollback", ""},
        {nested + "commit commit", "1,2"},
        {"begin tran insert into 账 values (1, 'a', 0) save tran s insert into 账 values (2, 'b', 0) "
         "rollback tran s insert into 账 values (3, 'c', 0) commit",
         "1,3"},
        {"begin tran 进货 insert into 账 values (1, 'a', 0) save tran s rollback tran 进货", ""},
    };
    for (const auto& [batch, left] : cases) {
        SCOPED_TRACE(batch);
        conn_->Execute(batch);
        EXPECT_EQ(keys(), left);
        EXPECT_EQ(scalar("select @@trancount"), "0");
        conn_->Execute("delete from 账");
    }
}

struct Ends {
    const char* tsql;  // run between "insert 1" and "insert 9" inside a transaction
    long number;       // the error the host sees
    const char* keys;  // the rows left
    const char* open;  // @@TRANCOUNT after the batch
};

// SQL Server's abort rules: the error ends its statement (the rows before and after it
// stay), or the batch (what follows does not run), rolling the transaction back or not.
TEST_P(TsqlBatchErrors, EachErrorEndsWhatSqlServersRulesSay) {
    ledger();
    const Ends cases[] = {
        {"insert into 账 values (1, 'x', 0)", 2627, "1,9", "0"},
        {"insert into 账 values (5, 'a', 0)", 2601, "1,9", "0"},
        {"insert into 账 values (5, 'e', -1)", 547, "1,9", "0"},
        {"insert into 账 (k, v) values (5, null)", 515, "1,9", "0"},
        {"insert into 账 values (5, 'abcdef', 0)", 8152, "1,9", "0"},
        {"update 账 set n = 1 / 0", 8134, "1,9", "0"},
        {"update 账 set n = 2147483647 + k", 8115, "1,9", "0"},
        {"raiserror('不足', 16, 1)", 50000, "1,9", "0"},
        {"save tran s commit", 3902, "1,9", "0"},
        // conversions end the batch and roll its transaction back
        {"update 账 set n = convert(int, 'x')", 245, "", "0"},
        // THROW ends the batch; the transaction stays open
        {"throw 50001, N'停', 1", 50001, "1", "1"},
        // XACT_ABORT ON: any error ends the batch and rolls back; RAISERROR still ends only itself
        {"set xact_abort on insert into 账 values (1, 'x', 0)", 2627, "", "0"},
        {"set xact_abort on raiserror('不足', 16, 1)", 50000, "1,9", "0"},
    };
    for (const Ends& c : cases) {
        SCOPED_TRACE(c.tsql);
        const std::string batch =
            std::string("set xact_abort off begin tran insert into 账 values (1, 'a', 0); ") + c.tsql +
            "\ninsert into 账 values (9, 'z', 0) commit";
        const long number = refused(batch);
        // SQL Server 2019 and later name the truncated column: 2628
        EXPECT_TRUE(number == c.number || (c.number == 8152 && number == 2628)) << number;
        EXPECT_EQ(scalar("select @@trancount"), c.open);
        EXPECT_EQ(keys(), c.keys);
        conn_->Execute("if @@trancount > 0 rollback delete from 账");
    }
}

TEST_P(TsqlBatchErrors, TransactionStatementsWithoutATransactionEndOnlyThemselves) {
    ledger();
    const std::pair<const char*, long> cases[] = {
        {"commit", 3902},
        {"rollback", 3903},
        {"save tran s", 628},
        {"begin tran rollback tran 无名 rollback", 6401},
    };
    for (const auto& [tsql, number] : cases) {
        SCOPED_TRACE(tsql);
        EXPECT_EQ(refused(std::string(tsql) + "\ninsert into 账 values (1, 'a', 0)"), number);
        EXPECT_EQ(keys(), "1");
        conn_->Execute("delete from 账");
    }
}

TEST_P(TsqlBatchErrors, CatchReadsTheErrorThatEndedTheTry) {
    ledger();
    conn_->Execute("insert into 账 values (1, 'a', 0)");
    expectAnswers({
        {"begin try insert into 账 values (1, 'b', 0) end try begin catch select error_number(), "
         "error_severity(), error_state(), error_procedure() end catch",
         {"2627", "14", "1", "<null>"}},
        {"declare @x int\nbegin try\n  set @x = 1\n  set @x = 1 / 0\nend try\nbegin catch\n  select "
         "error_number(), error_line()\nend catch",
         {"8134", "4"}},
        {"begin try raiserror(N'库存不足: %s', 16, 7, N'螺丝') end try begin catch select error_message(), "
         "error_number(), error_state() end catch",
         {"库存不足: 螺丝", "50000", "7"}},
        {"select error_number(), error_message()", {"<null>", "<null>"}},
    });
}

// what follows the error in the TRY never runs; what follows the CATCH does
TEST_P(TsqlBatchErrors, AnErrorInTheTryGoesOnInItsCatch) {
    EXPECT_EQ(
        scalar("declare @s varchar(10) = 'before' begin try set @s = convert(int, 'x') set @s = 'after' "
               "end try begin catch set @s = @s + '+c' end catch select @s"),
        "before+c");
}

TEST_P(TsqlBatchErrors, ARethrowInACatchReachesTheOuterCatch) {
    EXPECT_EQ(
        row("begin try; begin try; throw 50001, N'内', 1; end try begin catch; throw; end catch end try "
            "begin catch; select error_number(), error_message(); end catch"),
        (Row{"50001", "内"}));
}

TEST_P(TsqlBatchErrors, XactStateTellsWhetherTheTransactionCanCommit) {
    ledger();
    conn_->Execute("insert into 账 values (1, 'a', 0)");
    expectAnswers({
        {"begin tran begin try insert into 账 values (1, 'b', 0) end try begin catch select xact_state(), "
         "@@trancount rollback end catch",
         {"1", "1"}},
        {"set xact_abort on begin tran begin try insert into 账 values (1, 'b', 0) end try begin catch "
         "select "
         "xact_state(), @@trancount rollback end catch",
         {"-1", "1"}},
        {"declare @i int begin try set @i = convert(int, 'x') end try begin catch select xact_state() end "
         "catch",
         {"0"}},
    });
}

TEST_P(TsqlBatchErrors, AnUncommittableTransactionIsRolledBackAtTheBatchsEnd) {
    ledger();
    EXPECT_EQ(refused("set xact_abort on begin tran insert into 账 values (2, 'b', 0) begin try "
                      "insert into 账 values (2, 'c', 0) end try begin catch end catch"),
              3998);
    EXPECT_EQ(keys(), "");
    EXPECT_EQ(scalar("select @@trancount"), "0");
}

TEST_P(TsqlBatchErrors, RaiserrorFillsItsMessageAsPrintfDoes) {
    const std::pair<const char*, const char*> cases[] = {
        {"'%s and %d', 16, 1, 'a', 5", "a and 5"},
        {"'[%5s][%-5s]', 16, 1, 'ab', 'cd'", "[   ab][cd   ]"},
        {"'%.2s', 16, 1, 'abcdef'", "ab"},
        {"'%05d|%+d|%i', 16, 1, 42, 7, -3", "00042|+7|-3"},
        {"'%x %X %o', 16, 1, 255, 255, 8", "ff FF 10"},
        {"'%u', 16, 1, -1", "4294967295"},
        {"'100%%', 16, 1", "100%"},
        {"'%s-%s', 16, 1, 'a'", "a-(null)"},
        {"'[%*d]', 16, 1, 4, 7", "[   7]"},
    };
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(args);
        EXPECT_EQ(scalar(std::string("begin try raiserror(") + args +
                         ") end try begin catch select error_message() end catch"),
                  message);
    }
}

TEST_P(TsqlBatchErrors, ALongRaiserrorMessageIsCutWithAnEllipsis) {
    const char* const batch =
        "declare @a nvarchar(2000) = replicate(N'账', 1000), @b nvarchar(2000) = replicate(N'单', %d) "
        "begin try raiserror(N'%%s%%s', 16, 1, @a, @b) end try "
        "begin catch select len(error_message()), right(error_message(), 4) end catch";
    char at2047[400], at2048[400];
    std::snprintf(at2047, sizeof at2047, batch, 1047);
    std::snprintf(at2048, sizeof at2048, batch, 1048);
    expectAnswers({
        {at2047, {"2047", "单单单单"}},
        {at2048, {"2047", "单..."}},
    });
}

TEST_P(TsqlBatchErrors, RaiserrorRefusesWhatSqlServerRefuses) {
    expectRefusals({
        {"raiserror('%d', 16, 1, 'x')", 2786},
        {"raiserror('%s', 16, 1, 5)", 2786},
        {"raiserror('x', 19, 1)", 2754},
    });
}

TEST_P(TsqlBatchErrors, ThrowRefusesANumberBelow50000) { expectRefusals({{"throw 49999, 'x', 1", 35100}}); }

TEST_P(TsqlBatchErrors, RowcountFollowsEachStatement) {
    ledger();
    conn_->Execute("insert into 账 values (1, 'a', 0), (2, 'b', 0), (3, 'c', 0)");
    expectAnswers({
        {"update 账 set n = 1 where k < 3 select @@rowcount", {"2"}},
        {"declare @k int select @k = k from 账 select @@rowcount", {"3"}},
        {"declare @k int set @k = 5 select @@rowcount", {"1"}},
        {"update 账 set n = 1 if 1 = 1 select @@rowcount", {"0"}},
        {"update 账 set n = 1 set nocount on select @@rowcount", {"0"}},
        {"update 账 set n = 1 where k = 9 select @@rowcount", {"0"}},
    });
}

TEST_P(TsqlBatchErrors, IdentitiesFollowTheInsertsOfTheBatch) {
    conn_->Execute("create table 单据 (id int identity, v int)");
    conn_->Execute("create table 备注 (v int)");
    // an insert into a table without an identity: @@IDENTITY is Null, SCOPE_IDENTITY keeps the last
    EXPECT_EQ(row("insert into 单据 (v) values (3) insert into 备注 values (1) select @@identity, "
                  "scope_identity()"),
              (Row{"<null>", "1"}));
}

TEST_P(TsqlBatchErrors, SettingsAtTheValuesTheDatabaseKeepsAreAccepted) {
    expectAnswers({
        {"set transaction isolation level read committed set datefirst 7 set dateformat mdy set rowcount 0 "
         "set lock_timeout 500 select datepart(weekday, '2024-01-07'), month('02/03/2024')",
         {"1", "2"}},
        {"set transaction isolation level serializable set lock_timeout -1 select @@trancount", {"0"}},
    });
}

PALVO_ANSWERS_ON_BACKENDS_AND_PG(TsqlBatchErrors);

// ---- what the embedded database decides

using EmbeddedBatchErrors = testing::EmbeddedAccounts;

TEST_F(EmbeddedBatchErrors, ABatchsTransactionNestsInTheHostsTransaction) {
    conn_->BeginTrans();
    conn_->Execute("insert into 账 values (1, 'a')");
    EXPECT_EQ(trancount(), "1");
    conn_->Execute("begin tran insert into 账 values (2, 'b') commit");
    EXPECT_EQ(trancount(), "1");
    conn_->RollbackTrans();
    EXPECT_EQ(count(), 0);
    EXPECT_EQ(trancount(), "0");
}

TEST_F(EmbeddedBatchErrors, BeginTransInsideABatchsTransactionNests) {
    conn_->Execute("begin tran insert into 账 values (1, 'a')");
    conn_->BeginTrans();
    EXPECT_EQ(trancount(), "2");
    conn_->CommitTrans();
    EXPECT_EQ(trancount(), "1");
    conn_->Execute("commit");
    EXPECT_EQ(count(), 1);
}

TEST_F(EmbeddedBatchErrors, CommitTransAfterABatchRolledBackFailsWith3902) {
    conn_->BeginTrans();
    conn_->Execute("insert into 账 values (1, 'a') rollback");
    EXPECT_EQ(std::get<1>(testing::fullErrorOf([&] { conn_->CommitTrans(); })), 3902);
    EXPECT_EQ(count(), 0);
}

// the statements after the failing one run; the host sees the first error
TEST_F(EmbeddedBatchErrors, TheHostGetsTheFirstErrorOfABatchThatRanOn) {
    EXPECT_EQ(
        std::get<1>(testing::fullErrorOf([&] {
            conn_->Execute(
                "insert into 账 values (1, 'a') insert into 账 values (1, 'b') insert into 账 values (2, "
                "'c') commit insert into 账 values (3, 'd')");
        })),
        2627);
    EXPECT_EQ(count(), 3);
}

TEST_F(EmbeddedBatchErrors, AtAtErrorHoldsTheLastStatementsErrorUntilTheNext) {
    conn_->Execute("create table 日志 (e int, again int)");
    EXPECT_THROW(conn_->Execute("insert into 账 values (1, 'a') insert into 账 values (1, 'b') "
                                "insert into 日志 values (@@error, @@error)"),
                 Error);
    const ResultTable t = conn_->Query("select e, again from 日志");
    ASSERT_EQ(t.rowCount(), 1u);
    EXPECT_EQ(t.at(0, 0).toText(), "2627");
    EXPECT_EQ(t.at(0, 1).toText(), "2627");
}

TEST_F(EmbeddedBatchErrors, InformationalRaiserrorIsAMessageNotAnError) {
    std::vector<std::string> told;
    conn_->OnInfoMessage([&](const Connection::InfoMessage& m) {
        if (m.rows < 0) told.push_back(m.text);
    });
    conn_->Execute("raiserror(N'已处理 %d 行', 10, 1, 3) with nowait insert into 账 values (1, 'a')");
    EXPECT_EQ(told, std::vector<std::string>{"已处理 3 行"});
    EXPECT_EQ(count(), 1);
}

TEST_F(EmbeddedBatchErrors, ARethrowOutsideCatchIsRefusedBeforeAnythingRuns) {
    EXPECT_EQ(
        std::get<1>(testing::fullErrorOf([&] { conn_->Execute("insert into 账 values (1, 'a'); throw;"); })),
        10704);
    EXPECT_EQ(count(), 0);
}

TEST_F(EmbeddedBatchErrors, WaitforDelayWaitsItsTime) {
    const auto start = std::chrono::steady_clock::now();
    conn_->Execute("waitfor delay '00:00:00.200' insert into 账 values (1, 'a')");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_EQ(count(), 1);
}

TEST_F(EmbeddedBatchErrors, WaitforDelayEndsAtTheCommandTimeout) {
    conn_->CommandTimeout(1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(
        testing::errorDescription([&] {
            conn_->Execute(
                "begin try waitfor delay '00:00:30' end try begin catch insert into 账 values (1, 'a') end "
                "catch");
        }),
        "Query timeout expired");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    // no CATCH block sees the timeout
    EXPECT_EQ(count(), 0);
}

TEST_F(EmbeddedBatchErrors, ATimeoutLeavesTheTransactionOpen) {
    conn_->CommandTimeout(1);
    EXPECT_THROW(conn_->Execute("begin tran insert into 账 values (1, 'a') waitfor delay '00:00:30'"), Error);
    EXPECT_EQ(trancount(), "1");
    EXPECT_EQ(count(), 1);
}

TEST_F(EmbeddedBatchErrors, ATimeoutUnderXactAbortRollsTheTransactionBack) {
    conn_->CommandTimeout(1);
    EXPECT_THROW(conn_->Execute("set xact_abort on begin tran insert into 账 values (1, 'a') "
                                "waitfor delay '00:00:30'"),
                 Error);
    EXPECT_EQ(trancount(), "0");
    EXPECT_EQ(count(), 0);
}

// SQL Server's BEGIN TRAN never waits; here it takes the file's write lock, which another
// connection may hold past the wait.
TEST(EmbeddedBatchLocks, ABeginTranThatCannotBeginEndsTheBatch) {
    testing::ScratchDir dir("palvo_batch_locks");
    const std::string file = (dir.path / "账.db").string();
    auto holder = testing::openEmbeddedFile(file), other = testing::openEmbeddedFile(file);
    holder->Execute("create table 账 (k int)");
    holder->BeginTrans();
    holder->Execute("insert into 账 values (1)");
    std::vector<std::string> told;
    other->OnInfoMessage([&](const Connection::InfoMessage& m) {
        if (m.rows < 0) told.push_back(m.text);
    });
    EXPECT_EQ(
        std::get<1>(testing::fullErrorOf([&] {
            other->Execute("set lock_timeout 0 begin tran print 'went on' insert into 账 values (2) commit");
        })),
        1222);
    EXPECT_TRUE(told.empty());
    EXPECT_EQ(other->Query("select @@trancount").at(0, 0).toText(), "0");
}

TEST_F(EmbeddedBatchErrors, RefusesByNameWhatItDoesNotRunBeforeAnythingRuns) {
    const std::vector<testing::ByName> cases = {
        {"waitfor time '23:00'", "WAITFOR TIME"},
        {"set datefirst 8", "SET DATEFIRST other than a day from 1 to 7"},
        {"set dateformat dyy", "SET DATEFORMAT dyy"},
    };
    testing::expectRefusedByName(*conn_, "insert into 账 values (1, 'a') ", cases, "select count(*) from 账");
}

TEST_F(EmbeddedBatchErrors, ATryWithoutItsCatchIsASyntaxErrorBeforeAnythingRuns) {
    const char* const batches[] = {
        "begin try insert into 账 values (2, 'b') end try",
        "begin try insert into 账 values (2, 'b') end try select 1",
        "begin catch select 1 end catch",
        "begin try insert into 账 values (2, 'b') end catch begin catch select 1 end try",
        "begin try insert into 账 values (2, 'b') end try begin catch select 1 end",
    };
    for (const char* b : batches) {
        SCOPED_TRACE(b);
        const auto [number, native, says] =
            testing::fullErrorOf([&] { conn_->Execute(std::string("insert into 账 values (1, 'a') ") + b); });
        // near a word (102) or near a keyword (156)
        EXPECT_TRUE(native == 102 || native == 156) << says;
        EXPECT_EQ(count(), 0);
    }
}

TEST_F(EmbeddedBatchErrors, WaitforRefusesATimeItCannotRead) {
    const char* const times[] = {"abc", "25:00", "00:61", "1"};
    for (const char* t : times) {
        SCOPED_TRACE(t);
        EXPECT_EQ(std::get<1>(testing::fullErrorOf(
                      [&] { conn_->Execute(std::string("waitfor delay '") + t + "'"); })),
                  148);
    }
}

TEST_F(EmbeddedBatchErrors, SetLanguageInABatchChangesTheMessagesFromThereOn) {
    conn_->Execute("set language 简体中文");
    EXPECT_EQ(
        conn_
            ->Query("set language us_english begin try commit end try begin catch select error_message() "
                    "end catch")
            .at(0, 0)
            .toText(),
        "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
    EXPECT_EQ(conn_->Query("select datename(dw, '2024-01-01')").at(0, 0).toText(), "Monday");
    conn_->Execute("set language 简体中文 insert into 账 values (1, 'a')");
    EXPECT_EQ(count(), 1);
    EXPECT_NE(conn_->Query("select datename(weekday, '2024-01-01')").at(0, 0).toText(), "Monday");
}

TEST_F(EmbeddedBatchErrors, ErrorsOfTheBatchAreInTheConnectionsLanguage) {
    conn_->Execute("set language 简体中文");
    EXPECT_EQ(conn_->Query("begin try commit end try begin catch select error_message() end catch")
                  .at(0, 0)
                  .toText(),
              "COMMIT TRANSACTION 请求没有对应的 BEGIN TRANSACTION。");
}

// The schema's version goes back with a rollback: the same number may come again with another table.
TEST_F(EmbeddedBatchErrors, ATableMadeAgainAfterARollbackIsReadAsItIsNow) {
    const std::pair<const char*, const char*> rollbacks[] = {
        {"begin tran", "rollback"},
        {"begin tran save tran s", "rollback tran s rollback"},
    };
    for (const auto& [begin, rollback] : rollbacks) {
        SCOPED_TRACE(rollback);
        conn_->Execute(std::string(begin) + " create table 临 (a decimal(10,2)) insert into 临 values (1)");
        EXPECT_EQ(conn_->Query("select a / 3 from 临").at(0, 0).toText(), "0.333333");
        conn_->Execute(rollback);
        conn_->Execute("create table 临 (a decimal(10,5)) insert into 临 values (1)");
        EXPECT_EQ(conn_->Query("select a / 3 from 临").at(0, 0).toText(), "0.3333333");
        conn_->Execute("drop table 临");
    }
}

}  // namespace
}  // namespace Palvo
