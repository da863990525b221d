// The ODBC connection against the SQLite ODBC driver, with single calls made
// to fail through the adapter's call table.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "odbc_api.h"
#include "palvo/error.h"
#include "palvo/odbc/connection.h"
#include "support/errors.h"
#include "support/files.h"

namespace Palvo::odbc {
namespace {

const char* const kMemoryDb = "Driver=SQLite3;Database=:memory:";
// translated tables name the library's collation and check their values through its functions
#ifdef PALVO_TSQL_EXT_PATH
const std::string kFunctions = ";LoadExt=" PALVO_TSQL_EXT_PATH;
#else
const std::string kFunctions;
#endif
const std::string kMemoryDbWithFunctions = kMemoryDb + kFunctions;

using Palvo::testing::raised;

// What the faked calls do; reset by every test.
struct Script {
    int failFetchAt = -1;  // the n-th SQLFetch (from 1) fails
    int fetches = 0;
    bool failEnv = false;
    bool failExec = false;
    int failEndTran = 0;  // this many SQLEndTran calls fail
    bool fakeDiag = false;
    const char* diagState = "08S01";
    long diagNative = 10054;
    const char* diagText = "[FreeTDS][SQL Server]Write to the server failed";
    bool noDescribeParam = false;   // as FreeTDS 1.3: the driver lacks SQLDescribeParam
    SQLSMALLINT describedType = 0;  // what a faked SQLDescribeParam answers (0: the driver's own)
    struct Bound {
        SQLSMALLINT cType, sqlType;
        bool null;
    };
    std::vector<Bound> bound;
    const char* dbmsName = nullptr;  // what SQLGetInfo(SQL_DBMS_NAME) answers (null: the driver's own)
    int execs = 0;                   // SQLExecDirect calls
    std::vector<std::string> sent;   // their texts
    // as a server that answers a batch: SQLExecDirect runs the text's first ';'-separated
    // statement, each SQLMoreResults the next one
    bool batches = false;
    std::vector<std::string> later;
};
Script script;

detail::Api scriptedApi() {
    detail::Api api = detail::systemApi();
    api.allocHandle = [](SQLSMALLINT type, SQLHANDLE in, SQLHANDLE* out) -> SQLRETURN {
        if (type == SQL_HANDLE_ENV && script.failEnv) return SQL_ERROR;
        return SQLAllocHandle(type, in, out);
    };
    api.fetch = [](SQLHSTMT stmt) -> SQLRETURN {
        if (++script.fetches == script.failFetchAt) return SQL_ERROR;
        return SQLFetch(stmt);
    };
    api.execDirect = [](SQLHSTMT stmt, SQLCHAR* text, SQLINTEGER length) -> SQLRETURN {
        ++script.execs;
        script.sent.emplace_back(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
        if (script.failExec) return SQL_ERROR;
        if (!script.batches) return SQLExecDirect(stmt, text, length);
        script.later.clear();
        std::string rest = script.sent.back();
        for (std::size_t semi; (semi = rest.find(';')) != std::string::npos; rest.erase(0, semi + 1))
            script.later.push_back(rest.substr(0, semi));
        script.later.push_back(rest);
        std::string first = script.later.front();
        script.later.erase(script.later.begin());
        return SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(first.data()), SQL_NTS);
    };
    api.moreResults = [](SQLHSTMT stmt) -> SQLRETURN {
        if (!script.batches) return SQLMoreResults(stmt);
        if (script.later.empty()) return SQL_NO_DATA;
        std::string next = script.later.front();
        script.later.erase(script.later.begin());
        SQLFreeStmt(stmt, SQL_CLOSE);
        return SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(next.data()), SQL_NTS);
    };
    api.endTran = [](SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT completion) -> SQLRETURN {
        if (script.failEndTran > 0) {
            --script.failEndTran;
            return SQL_ERROR;
        }
        return SQLEndTran(type, h, completion);
    };
    api.getDiagRec = [](SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT rec, SQLCHAR* state, SQLINTEGER* native,
                        SQLCHAR* msg, SQLSMALLINT max, SQLSMALLINT* len) -> SQLRETURN {
        if (!script.fakeDiag) return SQLGetDiagRec(type, h, rec, state, native, msg, max, len);
        if (rec > 1 || script.diagText == nullptr) return SQL_NO_DATA;
        std::memcpy(state, script.diagState, 6);
        *native = static_cast<SQLINTEGER>(script.diagNative);
        std::snprintf(reinterpret_cast<char*>(msg), static_cast<std::size_t>(max), "%s", script.diagText);
        *len = static_cast<SQLSMALLINT>(std::strlen(script.diagText));
        return SQL_SUCCESS;
    };
    api.bindParameter = [](SQLHSTMT stmt, SQLUSMALLINT number, SQLSMALLINT io, SQLSMALLINT cType,
                           SQLSMALLINT sqlType, SQLULEN size, SQLSMALLINT digits, SQLPOINTER value,
                           SQLLEN max, SQLLEN* indicator) -> SQLRETURN {
        script.bound.push_back({cType, sqlType, indicator && *indicator == SQL_NULL_DATA});
        return SQLBindParameter(stmt, number, io, cType, sqlType, size, digits, value, max, indicator);
    };
    api.getFunctions = [](SQLHDBC dbc, SQLUSMALLINT function, SQLUSMALLINT* supported) -> SQLRETURN {
        if (function == SQL_API_SQLDESCRIBEPARAM && script.noDescribeParam) {
            *supported = SQL_FALSE;
            return SQL_SUCCESS;
        }
        return SQLGetFunctions(dbc, function, supported);
    };
    api.describeParam = [](SQLHSTMT stmt, SQLUSMALLINT number, SQLSMALLINT* type, SQLULEN* size,
                           SQLSMALLINT* digits, SQLSMALLINT* nullable) -> SQLRETURN {
        if (script.noDescribeParam) return SQL_ERROR;  // the driver manager's IM001
        if (script.describedType == 0) return SQLDescribeParam(stmt, number, type, size, digits, nullable);
        *type = script.describedType;
        *size = 2147483647;
        *digits = 0;
        *nullable = SQL_NULLABLE;
        return SQL_SUCCESS;
    };
    api.getInfo = [](SQLHDBC dbc, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT max,
                     SQLSMALLINT* length) -> SQLRETURN {
        if (type != SQL_DBMS_NAME || script.dbmsName == nullptr)
            return SQLGetInfo(dbc, type, value, max, length);
        std::snprintf(static_cast<char*>(value), static_cast<std::size_t>(max), "%s", script.dbmsName);
        *length = static_cast<SQLSMALLINT>(std::strlen(script.dbmsName));
        return SQL_SUCCESS;
    };
    return api;
}

class OdbcConnection : public ::testing::Test {
protected:
    void SetUp() override { script = Script{}; }
    detail::Api api_ = scriptedApi();
};

// The embedded database speaks SQL Server's words in Chinese; over ODBC the driver's own words
// arrive as the driver sent them, whatever they are, also for the library's functions and tables.
TEST_F(OdbcConnection, StatementErrorsCarryTheDriversDiagnostic) {
    Connection c;
    c.Open(kMemoryDb);
    c.setStatementTranslator({});  // the driver's own parser, to see its diagnostics
    struct Case {
        const char* sql;
        const char* text;
    } cases[] = {{"selec 1", "syntax error"}, {"select * from 不存在的表", "no such table: 不存在的表"}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.sql);
        const Error e = raised([&] { c.Execute(k.sql); });
        EXPECT_EQ(e.number(), ErrorNumber::Database);
        EXPECT_NE(e.description().find(k.text), std::string::npos) << e.description();
        EXPECT_EQ(e.sqlState(), "HY000");
        EXPECT_EQ(e.nativeCode(), 1);  // SQLITE_ERROR
    }
    EXPECT_EQ(c.Query("select 1 as a").rowCount(), 1u);  // still usable
}

TEST_F(OdbcConnection, TheLibrarysFunctionsFailInTheDriversWords) {
    struct Case {
        const char* sql;
        const char* text;
    };
    if (kFunctions.empty()) GTEST_SKIP() << "the tsql extension was not built";
    Connection withFunctions;
    withFunctions.Open(kMemoryDbWithFunctions);
    withFunctions.Execute("create table 单 (k int, 备注 varchar(2))");
    const Case ofTheLibrary[] = {
        {"select 折扣 from 单", "no such column: 折扣"},
        {"select 1 / 0", "Divide by zero error encountered."},
        {"insert into 单 values (1, 'abc')", "String or binary data would be truncated."},
    };
    for (const auto& k : ofTheLibrary) {
        SCOPED_TRACE(k.sql);
        const Error e = raised([&] { withFunctions.Query(k.sql); });
        EXPECT_EQ(e.number(), ErrorNumber::Database);
        EXPECT_NE(e.description().find(k.text), std::string::npos) << e.description();
        for (const char* chinese : {"列名", "遇到以零作除数错误", "将截断"})
            EXPECT_EQ(e.description().find(chinese), std::string::npos) << e.description();
        EXPECT_EQ(e.nativeCode(), 1);  // the driver's SQLITE_ERROR, not given a SQL Server number
    }
}

TEST_F(OdbcConnection, NoEnvironmentIsAConnectionFailure) {
    script.failEnv = true;
    Connection noEnv(api_);
    EXPECT_EQ(raised([&] { noEnv.Open(kMemoryDb); }).number(), ErrorNumber::ConnectionFailed);
    EXPECT_EQ(noEnv.State(), adStateClosed);
}

TEST_F(OdbcConnection, AnUnknownDriverIsAConnectionFailureNamingIt) {
    Connection c;
    const Error e = raised([&] { c.Open("Driver=NoSuchPalvoDriver;Database=x"); });
    EXPECT_EQ(e.number(), ErrorNumber::ConnectionFailed);
    EXPECT_EQ(e.sqlState(), "01000");  // what unixODBC reports for a driver it cannot load
    EXPECT_NE(e.description().find("NoSuchPalvoDriver"), std::string::npos) << e.description();
    EXPECT_EQ(c.State(), adStateClosed);
}

TEST_F(OdbcConnection, AFailedOpenCanBeRetried) {
    Connection c;
    EXPECT_THROW(c.Open("Driver=NoSuchPalvoDriver;Database=x"), Error);
    c.Open(kMemoryDb);
    EXPECT_EQ(c.State(), adStateOpen);
    EXPECT_EQ(c.dbmsName(), "SQLite");
    c.Close();
    EXPECT_EQ(c.dbmsName(), "");
}

TEST_F(OdbcConnection, AFailingFetchRaisesTheDiagnosticLeavingTheConnectionUsable) {
    Connection c(api_);
    c.Open(kMemoryDb);
    const char* twoRows = "select 1 as id union all select 2";
    script.failFetchAt = 2;
    script.fakeDiag = true;
    const Error e = raised([&] { c.Query(twoRows); });
    EXPECT_EQ(e.number(), ErrorNumber::Database);
    EXPECT_EQ(e.sqlState(), "08S01");
    EXPECT_EQ(e.nativeCode(), 10054);
    EXPECT_EQ(e.description(), script.diagText);
    script = Script{};
    EXPECT_EQ(c.Query(twoRows).rowCount(), 2u);
}

TEST_F(OdbcConnection, AFailureWithoutDiagnosticsStillHasADescription) {
    Connection c(api_);
    c.Open(kMemoryDb);
    script.failExec = true;
    script.fakeDiag = true;
    script.diagText = nullptr;
    const Error bare = raised([&] { c.Execute("select 1"); });
    EXPECT_EQ(bare.number(), ErrorNumber::Database);
    EXPECT_NE(bare.description().find("ODBC call"), std::string::npos) << bare.description();
    EXPECT_EQ(bare.sqlState(), "");
}

// A fresh database file of the SQLite driver, with the library's functions.
struct TempDb {
    testing::ScratchDir dir{"palvo_odbc"};
    std::string connectionString() const {
        return "Driver=SQLite3;Database=" + (dir.path / "t.db").string() + kFunctions;
    }
};

long countRows(const std::string& cs) {
    Connection c;
    c.Open(cs);
    return static_cast<long>(*c.Query("select count(*) as n from t").at(0, 0).integer());
}

// A failed commit leaves the transaction to roll back; a failed rollback still
// returns to autocommit.
TEST_F(OdbcConnection, AfterAFailedCommitOrRollbackAutocommitResumes) {
    for (const bool commit : {true, false}) {
        SCOPED_TRACE(commit ? "commit" : "rollback");
        TempDb db;
        Connection c(api_);
        c.Open(db.connectionString());
        c.Execute("create table t (id int)");
        c.BeginTrans();
        if (commit) c.Execute("insert into t values (1)");
        script.failEndTran = 1;
        EXPECT_THROW(commit ? c.CommitTrans() : c.RollbackTrans(), Error);
        EXPECT_EQ(c.InTransaction(), commit);
        if (commit) c.RollbackTrans();
        c.Execute("insert into t values (2)");
        // only the row after the transaction, and it is committed
        EXPECT_EQ(countRows(db.connectionString()), 1);
    }
}

TEST_F(OdbcConnection, ClosingWithATransactionOpenRollsItBack) {
    const TempDb db;
    {
        Connection c;
        c.Open(db.connectionString());
        c.Execute("create table t (id int)");
        c.BeginTrans();
        c.Execute("insert into t values (1)");
    }  // destroyed while open
    EXPECT_EQ(countRows(db.connectionString()), 0);
}

// SQL Server converts no character type to binary, varbinary or image, so a
// Null sent as varchar into such a column is refused there. That each Null reads
// back as Null is DataAccess.ANullIntoAByteOrTextColumnReadsBackAsNull's.
TEST_F(OdbcConnection, ANullGoesAsTheTypeOfItsColumn) {
    Connection c(api_);
    c.Open(kMemoryDbWithFunctions);
    c.Execute("create table t (id int, photo image, tag varbinary(10), memo text, note nvarchar(10))");
    auto nullsBound = [&] {
        std::vector<std::pair<SQLSMALLINT, SQLSMALLINT>> r;
        for (const auto& b : script.bound) {
            if (b.null) r.emplace_back(b.cType, b.sqlType);
        }
        script.bound.clear();
        return r;
    };
    using Types = std::vector<std::pair<SQLSMALLINT, SQLSMALLINT>>;
    const Types byColumn = {{SQL_C_BINARY, SQL_VARBINARY},
                            {SQL_C_BINARY, SQL_VARBINARY},
                            {SQL_C_CHAR, SQL_VARCHAR},
                            {SQL_C_CHAR, SQL_WVARCHAR}};
    const std::string insert = "insert into t (id, photo, tag, memo, note) values (1, ?, ?, ?, ?)";
    const std::vector<Value> nulls(4);

    // a driver without SQLDescribeParam, as FreeTDS: the caller's column types decide
    script.noDescribeParam = true;
    Recordset rs;
    rs.Open("select * from t where 1 = 0", std::shared_ptr<Palvo::Connection>(&c, [](auto*) {}), adOpenStatic,
            adLockOptimistic);
    rs.AddNew();
    rs.Fields("id") = 1;
    for (const char* col : {"photo", "tag", "memo", "note"}) rs.Fields(col) = Value();
    rs.Update();
    rs.Close();
    EXPECT_EQ(nullsBound(), byColumn);
    c.ExecuteWith(insert, nulls, {adLongVarBinary, adVarBinary, adLongVarChar, adVarWChar});
    EXPECT_EQ(nullsBound(), byColumn);
    // no column type known and nothing described: varchar, as before
    c.ExecuteWith(insert, nulls);
    EXPECT_EQ(nullsBound(), Types(4, {SQL_C_CHAR, SQL_VARCHAR}));

    // a driver that describes its parameters is asked when the caller does not know
    c.Close();
    script.noDescribeParam = false;
    script.describedType = SQL_LONGVARBINARY;
    c.Open(kMemoryDbWithFunctions);
    c.Execute("create table t (id int, photo image, tag varbinary(10), memo text, note nvarchar(10))");
    c.ExecuteWith(insert, nulls);
    EXPECT_EQ(nullsBound(), Types(4, {SQL_C_BINARY, SQL_LONGVARBINARY}));
    c.ExecuteWith(insert, nulls, {adLongVarBinary, 0, adLongVarChar, adVarWChar});
    EXPECT_EQ(nullsBound(), (Types{{SQL_C_BINARY, SQL_VARBINARY},
                                   {SQL_C_BINARY, SQL_LONGVARBINARY},
                                   {SQL_C_CHAR, SQL_VARCHAR},
                                   {SQL_C_CHAR, SQL_WVARCHAR}}));
}

// Sent T-SQL, or SQLite's text, another database would fail or do otherwise.
TEST_F(OdbcConnection, ADatabaseWithoutATargetIsRefusedAtOpenNamingIt) {
    struct Case {
        const char* dbms;
        const char* description;
    } cases[] = {
        {"MySQL",
         "The database \"MySQL\" (as its ODBC driver names it) cannot be used: the library has no T-SQL "
         "target for this database (it has Microsoft SQL Server, SQLite and PostgreSQL)."},
        {"",
         "The database (its ODBC driver gives no name) cannot be used: the library has no T-SQL target for "
         "this database (it has Microsoft SQL Server, SQLite and PostgreSQL)."},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.dbms);
        script = Script{};
        script.dbmsName = k.dbms;
        Connection c(api_);
        const Error e = raised([&] { c.Open(kMemoryDb); });
        EXPECT_EQ(e.number(), ErrorNumber::NotSupported);
        EXPECT_EQ(e.description(), k.description);
        EXPECT_EQ(c.State(), adStateClosed);
        EXPECT_EQ(c.dbmsName(), "");
        EXPECT_EQ(script.execs, 0) << "a statement was sent";
    }
}

TEST_F(OdbcConnection, AHostsOwnTranslatorOpensADatabaseWithoutATarget) {
    script.dbmsName = "MySQL";
    Connection c(api_);
    std::vector<std::string> seen;
    c.setStatementTranslator([&](const std::string& sql) {
        seen.push_back(sql);
        return std::vector<std::string>{"select 7 as n"};
    });
    c.Open(kMemoryDb);
    EXPECT_EQ(c.dbmsName(), "MySQL");
    EXPECT_EQ(c.Query("select 1 as n").at(0, 0), Value(7LL));
    EXPECT_EQ(seen, std::vector<std::string>{"select 1 as n"});
}

TEST_F(OdbcConnection, SqlServerGetsTheStatementAsWritten) {
    script.dbmsName = "Microsoft SQL Server";  // the SQLite driver in its place shows what arrives
    Connection c(api_);
    c.Open(kMemoryDb);
    // SQLite's rendering would be "select 1 limit 1"; SQLite itself cannot read TOP
    const Error e = raised([&] { c.Query("select top 1 1"); });
    EXPECT_EQ(e.number(), ErrorNumber::Database);
    EXPECT_NE(e.description().find("syntax error"), std::string::npos) << e.description();
}

TEST_F(OdbcConnection, ReportsTheCapabilitiesOfItsDatabasesTarget) {
    Connection c(api_);
    c.Open(kMemoryDb);
    EXPECT_FALSE(c.capabilities().tableHints);
    EXPECT_TRUE(c.capabilities().insertSelectLocksFirst);
    c.Close();
    script.dbmsName = "Microsoft SQL Server";
    c.Open(kMemoryDb);
    EXPECT_TRUE(c.capabilities().tableHints);
    EXPECT_FALSE(c.capabilities().insertSelectLocksFirst);
}

TEST_F(OdbcConnection, SendsItsTargetsOwnSetupAtOpen) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"SQLite", {"PRAGMA foreign_keys = on"}},
        {"Microsoft SQL Server", {}},
    };
    for (const auto& [dbms, atOpen] : cases) {
        SCOPED_TRACE(dbms);
        script = Script{};
        script.dbmsName = dbms;
        Connection c(api_);
        c.Open(kMemoryDb);
        EXPECT_EQ(script.sent, atOpen);
    }
}

TEST_F(OdbcConnection, AsksItsTargetsOwnIdentityQuery) {
    const std::pair<const char*, const char*> cases[] = {
        {"SQLite", "SELECT last_insert_rowid()"},
        {"Microsoft SQL Server", "SELECT @@IDENTITY"},
    };
    for (const auto& [dbms, identity] : cases) {
        SCOPED_TRACE(dbms);
        script = Script{};
        script.dbmsName = dbms;
        Connection c(api_);
        c.Open(kMemoryDb);
        script.sent.clear();
        try {
            c.LastInsertId();
        } catch (const Error&) {  // the SQLite driver standing in for SQL Server cannot read @@IDENTITY
        }
        ASSERT_FALSE(script.sent.empty());
        EXPECT_EQ(script.sent.front(), identity);
    }
}

// A batch's result sets come one after another through SQLMoreResults; a
// statement that returns no rows between them gives none.
TEST_F(OdbcConnection, NextRecordsetReadsTheBatchsLaterResultSets) {
    script.dbmsName = "Microsoft SQL Server";  // sent as written
    script.batches = true;
    Connection c(api_);
    c.Open(kMemoryDb);
    c.Execute("create table t (k int)");
    Recordset rs;
    rs.Open("select 1 as a; insert into t values (5); select k as b from t where k > 9; select k as c from t",
            c, adOpenStatic, adLockReadOnly);
    ASSERT_EQ(rs.Fields(0).Name(), "a");
    EXPECT_EQ(rs.Fields(0).Value(), Value(1LL));
    Recordset empty = rs.NextRecordset();
    EXPECT_EQ(rs.State(), adStateClosed);
    ASSERT_EQ(empty.State(), adStateOpen);
    EXPECT_EQ(empty.Fields(0).Name(), "b");
    EXPECT_TRUE(empty.Eof() && empty.Bof());
    Recordset last = empty.NextRecordset();
    ASSERT_EQ(last.State(), adStateOpen);
    EXPECT_EQ(last.Fields(0).Name(), "c");
    EXPECT_EQ(last.Fields(0).Value(), Value(5LL));
    EXPECT_EQ(last.NextRecordset().State(), adStateClosed);
}

}  // namespace
}  // namespace Palvo::odbc
