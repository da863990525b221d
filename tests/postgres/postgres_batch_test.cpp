// T-SQL batches on the private PostgreSQL server: control flow in the library's batch
// engine, each statement rendered for PostgreSQL, every variable a bound parameter. The
// answers are SQL Server's. Each test has a database of its own, dropped after it.
#include <gtest/gtest.h>

#include <cctype>
#include <regex>
#include <string>
#include <vector>

#include "palvo/error.h"
#include "palvo/odbc/connection.h"
#include "palvo/sqlite/connection.h"
#include "pg_test_database.h"
#include "support/errors.h"

namespace Palvo::odbc {
namespace {

using Palvo::testing::fullErrorOf;

class PgBatch : public testing::PgOwnDatabase {
protected:
    PgBatch() : PgOwnDatabase("palvo_batch_") {}
    void SetUp() override {
        PgOwnDatabase::SetUp();
        if (!HasFatalFailure()) conn_.Open(db_);
    }
    void TearDown() override {
        conn_.Close();
        PgOwnDatabase::TearDown();
    }

    // Every row of the batch's first result set, as rowsText gives them.
    std::string rows(const std::string& batch) { return text(conn_.Query(batch)); }
    static std::string text(const ResultTable& t) { return testing::rowsText(t); }

    Connection conn_;
};

// A value goes to the server bound, never written into the statement's text.
TEST_F(PgBatch, VariablesHoldHostileTextAsPlainText) {
    conn_.Execute("create table 名单 (名称 nvarchar(40)); create table x (k int)");
    for (const char* value : {"O'Brien", "'; drop table x; --"}) {
        SCOPED_TRACE(value);
        conn_.ExecuteWith("delete from 名单", {});
        const ResultTable t = conn_.Query(
            std::string("declare @v nvarchar(40) = N'") + std::regex_replace(value, std::regex("'"), "''") +
            "'; insert into 名单 values (@v); select 名称, case when 名称 = @v then 1 else 0 end "
            "from 名单 where 名称 = @v");
        EXPECT_EQ(text(t), std::string(value) + "|1");
    }
    EXPECT_EQ(rows("select count(*) from x"), "0");
}

TEST_F(PgBatch, WaitForDelayEndsWithinTheCommandTimeout) {
    EXPECT_EQ(rows("declare @d varchar(12) = '00:00:00.050'; waitfor delay @d; select 1"), "1");
    conn_.CommandTimeout(1);
    const auto [number, native, message] = fullErrorOf([&] { conn_.Execute("waitfor delay '00:00:05'"); });
    EXPECT_EQ(message, "Query timeout expired");
}

// A grid fill reads its rows one at a time: a batch gives them from its first result set.
TEST_F(PgBatch, RowsReadOneByOneComeFromTheBatch) {
    struct Reader final : RowReader {
        std::vector<std::string> names, cells;
        void columns(const std::vector<ColumnInfo>& cs) override {
            for (const auto& c : cs) names.push_back(c.name);
        }
        void row(const Value* v) override { cells.push_back(v[0].toText() + "|" + v[1].toText()); }
    };
    conn_.Execute(
        "create table t (k int, 名称 nvarchar(10)); insert into t values (1, N'甲'), (2, N'乙'), (3, N'丙')");
    Reader reader;
    conn_.QueryEach("declare @from int = 2; select k, 名称 from t where k >= @from order by k", reader);
    EXPECT_EQ(reader.names, (std::vector<std::string>{"k", "名称"}));
    EXPECT_EQ(reader.cells, (std::vector<std::string>{"2|乙", "3|丙"}));
}

TEST_F(PgBatch, InfoMessagesReachTheHost) {
    std::vector<std::string> told;
    conn_.OnInfoMessage([&](const Connection::InfoMessage& m) {
        told.push_back(m.rows < 0 ? m.text : std::to_string(m.rows));
    });
    conn_.Execute("create table t (k int)");
    conn_.Execute(
        "declare @n int = 2; print 'n = ' + cast(@n as varchar(5)); insert into t values (1), (2); "
        "set nocount on; insert into t values (3)");
    EXPECT_EQ(told, (std::vector<std::string>{"n = 2", "2"}));
}

TEST_F(PgBatch, TranCountIsSharedWithTheHost) {
    conn_.Execute("create table t (k int)");
    conn_.BeginTrans();
    EXPECT_EQ(rows("begin tran; select @@trancount"), "2");
    conn_.Execute("insert into t values (1); commit");
    EXPECT_EQ(rows("select @@trancount"), "1");
    conn_.RollbackTrans();
    EXPECT_EQ(rows("select count(*), @@trancount from t"), "0|0");
    conn_.Execute("begin tran; insert into t values (2)");
    conn_.BeginTrans();  // within the batch's transaction
    EXPECT_EQ(rows("select @@trancount"), "2");
    conn_.CommitTrans();
    conn_.Execute("commit");
    EXPECT_EQ(rows("select count(*), @@trancount from t"), "1|0");
}

TEST_F(PgBatch, ThrowReachesTheHostWithItsNumber) {
    const auto [number, native, message] = fullErrorOf([&] { conn_.Execute("throw 50001, N'没有库存', 1"); });
    EXPECT_EQ(native, 50001);
    EXPECT_EQ(message, "没有库存");
}

TEST_F(PgBatch, TemporaryTablesLiveWithTheConnection) {
    conn_.Execute("create table #t (k int); insert into #t values (1)");
    EXPECT_EQ(rows("select count(*) from #t"), "1");
    Connection other;
    other.Open(db_);
    EXPECT_EQ(std::get<1>(fullErrorOf([&] { other.Query("select * from #t"); })), 208);
}

TEST_F(PgBatch, ProceduresAreKeptOnTheServer) {
    conn_.Execute("create table 库存 (品名 nvarchar(10), 数量 int)");
    conn_.Execute(
        "create procedure 进货 @品名 nvarchar(10), @数量 int = 1, @合计 int output as begin set nocount on; "
        "insert into 库存 values (@品名, @数量); select @合计 = sum(数量) from 库存; return @合计 * 10 end");
    EXPECT_EQ(rows("declare @t int; exec 进货 N'纸', 5, @t output; select @t"), "5");
    Connection other;  // the procedure is the database's, not the connection's
    other.Open(db_);
    EXPECT_EQ(text(other.Query("exec sp_executesql N'declare @t int; exec 进货 @p, 4, @t output; select @t', "
                               "N'@p nvarchar(10)', @p = N'尺'")),
              "9");
    other.Execute("drop procedure 进货");
    EXPECT_EQ(std::get<1>(fullErrorOf([&] { conn_.Execute("exec 进货 N'纸'"); })), 2812);
}

// the engine keeps a procedure's statements translated between calls: for each database apart
TEST_F(PgBatch, AProcedureOfTheSameTextOnTheEmbeddedDatabaseAnswersOnEach) {
    const std::string make = "create procedure 价 @n int as begin declare @m int = @n * 2; select @m + 1 end";
    sqlite::Connection embedded;
    embedded.Open(":memory:");
    embedded.Execute(make);
    conn_.Execute(make);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(text(embedded.Query("exec 价 1")), "3");
        EXPECT_EQ(rows("exec 价 2"), "5");
    }
}

TEST_F(PgBatch, FunctionMadeOnOneConnectionIsCalledFromAnother) {
    conn_.Execute(
        "create function dbo.含税 (@价 decimal(10,2)) returns decimal(12,2) as begin return @价 * 1.13 end");
    conn_.Execute(
        "create function 区间 (@from int, @to int) returns table as return (select @from as 起, @to as 止)");
    Connection other;
    other.Open(db_);
    EXPECT_EQ(text(other.Query("select dbo.含税(100), dbo.含税(dbo.含税(1))")), "113.00|1.28");
    EXPECT_EQ(text(other.Query("select 起, 止 from dbo.区间(2, 5)")), "2|5");
}

TEST_F(PgBatch, AlteredFunctionAnswersTheNextCall) {
    // alone, and in a batch, whose statements the connection keeps read
    const char* const calls[] = {"select dbo.f(1)", "declare @a int = 1; select dbo.f(@a)"};
    conn_.Execute("create function dbo.f (@a int) returns int as begin return @a + 1 end");
    for (const char* call : calls) EXPECT_EQ(rows(call), "2") << call;
    Connection other;
    other.Open(db_);
    other.Execute("alter function dbo.f (@a int) returns int as begin return @a * 10 end");
    for (const char* call : calls) EXPECT_EQ(rows(call), "10") << call;
    other.Execute("create or alter function dbo.f (@a int) returns table as return (select @a as a)");
    EXPECT_EQ(rows("select a from dbo.f(3)"), "3");
}

// An argument is written into the statement as the value it is, quotes and all.
TEST_F(PgBatch, TextArgumentWithAQuoteStaysAValue) {
    conn_.Execute("create table x (k int); insert into x values (1)");
    conn_.Execute(
        "create function dbo.称呼 (@名 nvarchar(40)) returns nvarchar(50) as begin\n"
        "return N'尊敬的' + @名 end");
    testing::expectRows(conn_,
                        {
                            {"select dbo.称呼(N'O''Brien')", "尊敬的O'Brien"},
                            {"select dbo.称呼(N'''); drop table x; --')", "尊敬的'); drop table x; --"},
                            {"declare @v nvarchar(40) = N'O''Brien'; select dbo.称呼(@v)", "尊敬的O'Brien"},
                            {"select count(*) from x", "1"},
                        });
}

TEST_F(PgBatch, WhatItCannotKeepIsRefusedByName) {
    conn_.Execute("create function 单 (@a int) returns int as begin return @a end");
    const struct {
        const char* batch;
        const char* message;
    } cases[] = {
        {"set datefirst 1; select 1", "Not supported on PostgreSQL: SET DATEFIRST in a batch."},
        {"set language us_english; select 1", "Not supported on PostgreSQL: SET LANGUAGE in a batch."},
        {"set ansi_nulls off; select 1", "Not supported on PostgreSQL: SET ANSI_NULLS OFF in a batch."},
        {"create table ##g (k int)", "Not supported on PostgreSQL: global temporary table ##g."},
        {"create function 加一 (@a int) returns int as begin declare @b int = @@rowcount return @b end",
         "Not supported on PostgreSQL: @@rowcount in the user-defined function 加一."},
        // the server function would keep the called one's body as it is now
        {"create function 双 (@a int) returns int as begin declare @b int = dbo.单(@a) return @b * 2 end",
         "Not supported on PostgreSQL: a call of the function 单, whose body is not statements, in the "
         "function 双."},
        {"create trigger tr on t after insert as select 1",
         "Not supported on PostgreSQL: the statement CREATE TRIGGER."},
        {"declare @s varchar(10) = 'a'; select soundex(@s)",
         "Not supported on PostgreSQL: the function SOUNDEX()."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.batch);
        const auto [number, native, message] = fullErrorOf([&] { conn_.Query(c.batch); });
        EXPECT_EQ(number, ErrorNumber::NotSupported);
        EXPECT_EQ(message, c.message);
    }
}

}  // namespace
}  // namespace Palvo::odbc
