// sFillTable from PostgreSQL (through psqlODBC) against a bare ODBC fetch of the same
// rows through the same driver: 100,000 rows of a voucher list (int, Chinese nvarchar,
// decimal(12,2), datetime, bit, a Null here and there) on the server PALVO_PG_CONNECTION_FILE
// names (scripts/pg-cluster); skipped without it.
// The bare fetch binds every column to an array of rows (SQL_ATTR_ROW_ARRAY_SIZE) and
// looks at each value once; the grid fill and the bare fetch send the same statement.
// The counter vs_bare is the fill time over the bare fetch time. BM_PgLookUp weighs what the
// connection adds to a small statement the same way.
#include <benchmark/benchmark.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "palvo/clsForm.h"
#include "palvo/clsGrid.h"
#include "palvo/dialect/target.h"
#include "palvo/dialect/translator.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/measure.h"
#include "palvo/odbc/connection.h"
#include "palvo/session.h"
#include "thread_clock.h"

namespace {

using Clock = std::chrono::steady_clock;
using bench::threadSeconds;

constexpr long kRows = 100'000;
const std::string kSelect = "select 编号,客户,金额,日期,已审,摘要 from 凭证清单 order by 编号";

std::string serverConnection() {
    const char* file = std::getenv("PALVO_PG_CONNECTION_FILE");
    if (!file) return {};
    std::ifstream in(file);
    std::string text;
    std::getline(in, text);
    return text;
}

// The table made once per server: the library creates it from T-SQL, so its column
// types are the ones a host's own tables get; the rows come from one statement.
void prepareTable(const std::string& server) {
    Palvo::odbc::Connection conn;
    conn.Open(server);
    try {
        if (conn.Query("select count(*) from 凭证清单").at(0, 0).toDouble() == static_cast<double>(kRows))
            return;
    } catch (const std::exception&) {
    }
    conn.Execute("drop table if exists 凭证清单");
    conn.Execute(
        "create table 凭证清单 (编号 int primary key, 客户 nvarchar(20), 金额 decimal(12,2), 日期 datetime, "
        "已审 bit, 摘要 nvarchar(40))");
    Palvo::odbc::Connection raw;
    raw.setStatementTranslator({});
    raw.Open(server);
    raw.Execute(
        "insert into 凭证清单 select i, (array['华北钢铁','东方机械','长江物流','南方电子','西部建材'])[i % "
        "5 + 1] "
        "|| '有限公司', case when i % 11 = 0 then null else (i * 37 % 1000000) / 100.0 end, "
        "timestamp '2003-01-01 08:00' + i * interval '7 minutes 13.250 seconds', (i % 2)::smallint, "
        "case when i % 7 = 0 then null else '第' || i || '批 货款结算' end from generate_series(1, " +
        std::to_string(kRows) + ") i");
    raw.Execute("analyze 凭证清单");
}

// The server with the table made, or "" when none is named (the benchmark then skips).
std::string preparedServer(benchmark::State& state) {
    const std::string server = serverConnection();
    if (server.empty()) {
        state.SkipWithError("PALVO_PG_CONNECTION_FILE is not set: start a server with scripts/pg-cluster");
        return {};
    }
    prepareTable(server);
    return server;
}

struct Odbc {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    explicit Odbc(const std::string& server) {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
        SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
        std::string in = server;
        const SQLRETURN r =
            SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(in.data()),
                             static_cast<SQLSMALLINT>(in.size()), nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
        if (!SQL_SUCCEEDED(r)) throw std::runtime_error("SQLDriverConnect");
    }
    Odbc(const Odbc&) = delete;
    Odbc& operator=(const Odbc&) = delete;
    ~Odbc() {
        SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
};

// One column bound to an array of rows: the values one after another, `width` bytes each.
struct Bound {
    SQLSMALLINT cType;
    SQLLEN width;
    std::vector<char> data;
    std::vector<SQLLEN> lengths;
};

constexpr SQLULEN kBlock = 1000;

// Runs the statement and reads every column of every row: the integers, the flag and
// the date as numbers, the texts and the decimal as the driver's text of them.
// Returns the bytes of text read and the count of Nulls, so nothing is skipped.
long bareFetch(const Odbc& odbc, const std::string& statement, long& rows, bool asText) {
    SQLHSTMT st = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, odbc.dbc, &st);
    SQLULEN fetched = 0;
    SQLSetStmtAttr(st, SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN, 0);
    SQLSetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kBlock), 0);
    SQLSetStmtAttr(st, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    std::string text = statement;
    if (!SQL_SUCCEEDED(SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS)))
        throw std::runtime_error("SQLExecDirect");
    std::vector<Bound> cols = {
        {SQL_C_SLONG, sizeof(SQLINTEGER), {}, {}},
        {SQL_C_CHAR, 20 * 4 + 1, {}, {}},
        {SQL_C_CHAR, 16, {}, {}},
        {SQL_C_TYPE_TIMESTAMP, sizeof(SQL_TIMESTAMP_STRUCT), {}, {}},
        {SQL_C_SSHORT, sizeof(SQLSMALLINT), {}, {}},
        {SQL_C_CHAR, 40 * 4 + 1, {}, {}},
    };
    if (asText)
        for (Bound& b : cols) b = {SQL_C_CHAR, std::max<SQLLEN>(b.width, 40), {}, {}};
    for (std::size_t c = 0; c < cols.size(); ++c) {
        Bound& b = cols[c];
        b.data.resize(static_cast<std::size_t>(b.width) * kBlock);
        b.lengths.resize(kBlock);
        SQLBindCol(st, static_cast<SQLUSMALLINT>(c + 1), b.cType, b.data.data(), b.width, b.lengths.data());
    }
    long seen = 0;
    rows = 0;
    SQLRETURN r;
    while (SQL_SUCCEEDED(r = SQLFetch(st))) {
        for (SQLULEN i = 0; i < fetched; ++i) {
            for (const Bound& b : cols) {
                const SQLLEN n = b.lengths[i];
                if (n == SQL_NULL_DATA) {
                    ++seen;
                    continue;
                }
                benchmark::DoNotOptimize(b.data.data() + static_cast<std::ptrdiff_t>(i) * b.width);
                if (b.cType == SQL_C_CHAR) seen += n;
            }
        }
        rows += static_cast<long>(fetched);
    }
    if (r != SQL_NO_DATA) throw std::runtime_error("SQLFetch");
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    return seen;
}

// The text the library sends for the grid's statement.
std::string sentStatement() {
    Palvo::dialect::Translator tr(Palvo::dialect::postgresTarget());
    return tr.translate(kSelect);
}

struct Timing {
    double wall = 0;
    double cpu = 0;
};

Timing timedBareFetch(const Odbc& odbc, const std::string& statement, bool asText = false) {
    const auto start = Clock::now();
    const double cpuStart = threadSeconds();
    long rows = 0;
    benchmark::DoNotOptimize(bareFetch(odbc, statement, rows, asText));
    const Timing t{std::chrono::duration<double>(Clock::now() - start).count(), threadSeconds() - cpuStart};
    if (rows != kRows) throw std::runtime_error("the bare fetch read " + std::to_string(rows) + " rows");
    return t;
}

void BM_BarePgFetch(benchmark::State& state) {
    const std::string server = preparedServer(state);
    if (server.empty()) return;
    const Odbc odbc(server);
    const std::string statement = sentStatement();
    for (auto _ : state) state.SetIterationTime(timedBareFetch(odbc, statement, state.range(0) != 0).wall);
}

// Each iteration runs the bare fetch and then the fill, so both see the same machine.
void BM_PgFillTable(benchmark::State& state) {
    const std::string server = preparedServer(state);
    if (server.empty()) return;
    const Odbc odbc(server);
    const std::string statement = sentStatement();
    timedBareFetch(odbc, statement);  // warms the server's cache

    auto conn = std::make_shared<Palvo::odbc::Connection>();
    conn->Open(server);
    Palvo::clsForm().mInit_Var("01", "一分公司", "001", "财务部", conn, "");
    Palvo::installTextMeasurer(std::make_shared<Palvo::memory::FixedWidthMeasurer>());
    Palvo::clsGrid cls;
    Timing fill;
    Timing bare;
    for (auto _ : state) {
        state.PauseTiming();
        const Timing b = timedBareFetch(odbc, statement);
        bare.wall += b.wall;
        bare.cpu += b.cpu;
        auto grid = std::make_unique<Palvo::memory::FlexGrid>(Palvo::memory::GridType::MSFlexGrid);
        grid->Width(12000);
        state.ResumeTiming();
        const auto start = Clock::now();
        const double cpuStart = threadSeconds();
        const std::string result = cls.sFillTable(kSelect, *grid, true, 2);
        fill.cpu += threadSeconds() - cpuStart;
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(s);
        fill.wall += s;
        if (!result.empty()) {
            state.SkipWithError(result.c_str());
            break;
        }
        if (grid->Rows() != kRows + 1) {
            state.SkipWithError("wrong row count");
            break;
        }
        state.PauseTiming();
        grid.reset();  // the grid's memory is freed outside the measured time
        state.ResumeTiming();
    }
    if (state.iterations() > 0 && bare.wall > 0) {
        state.counters["bare_ms"] = bare.wall * 1000 / static_cast<double>(state.iterations());
        state.counters["vs_bare"] = fill.wall / bare.wall;
        state.counters["vs_bare_cpu"] = fill.cpu / bare.cpu;
    }
    Palvo::installTextMeasurer(nullptr);
    Palvo::session() = Palvo::SessionContext{};
}

// A host's one-row look-up with a table hint, sent 200 times through the connection, against the
// same statement as the library sends it, run and read 200 times with bare ODBC calls.
const std::string kLookUp = "select 客户, 金额 from 凭证清单 (nolock) where 编号 = 4217";

double bareLookUps(const Odbc& odbc, const std::string& statement, int times) {
    const auto start = Clock::now();
    for (int k = 0; k < times; ++k) {
        SQLHSTMT st = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, odbc.dbc, &st);
        std::string text = statement;
        if (!SQL_SUCCEEDED(SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS)))
            throw std::runtime_error("SQLExecDirect");
        char value[200];
        SQLLEN n = 0;
        while (SQL_SUCCEEDED(SQLFetch(st))) {
            SQLGetData(st, 1, SQL_C_CHAR, value, sizeof value, &n);
            SQLGetData(st, 2, SQL_C_CHAR, value, sizeof value, &n);
            benchmark::DoNotOptimize(value);
        }
        SQLFreeHandle(SQL_HANDLE_STMT, st);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_PgLookUp(benchmark::State& state) {
    const std::string server = preparedServer(state);
    if (server.empty()) return;
    const Odbc odbc(server);
    const std::string statement =
        Palvo::dialect::Translator(Palvo::dialect::postgresTarget()).translate(kLookUp);
    Palvo::odbc::Connection conn;
    conn.Open(server);
    constexpr int kTimes = 200;
    double bare = 0;
    double through = 0;
    for (auto _ : state) {
        bare += bareLookUps(odbc, statement, kTimes);
        const auto start = Clock::now();
        for (int k = 0; k < kTimes; ++k) benchmark::DoNotOptimize(conn.Query(kLookUp).rowCount());
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        through += s;
        state.SetIterationTime(s);
    }
    if (state.iterations() > 0 && bare > 0) {
        state.counters["us_per_lookup"] = through * 1e6 / static_cast<double>(state.iterations() * kTimes);
        state.counters["vs_bare"] = through / bare;
    }
}

BENCHMARK(BM_BarePgFetch)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_PgFillTable)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(5);
BENCHMARK(BM_PgLookUp)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

BENCHMARK_MAIN();
