// One page of 100 rows out of 100,000: a ROW_NUMBER paging query and OFFSET ...
// FETCH, each through the library (translation, the connection, its result
// table) against the hand-written SQLite query of the same rows run bare in the
// same iteration. The ratio is the library's cost; the target is at most 1.3.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "palvo/data.h"
#include "palvo/sqlite/connection.h"

namespace {

constexpr int kRows = 100000;
const char* const kFile = "/tmp/palvo_paging_bench.db";

const char* const kRowNumber =
    "select * from (select row_number() over (order by 日期, 编号) rn, 编号, 日期, 客户, 金额 from 单据) t "
    "where rn between 50001 and 50100";
const char* const kRowNumberBare =
    "select * from (select row_number() over (order by 日期, 编号) rn, 编号, 日期, 客户, 金额 from 单据) t "
    "where rn between 50001 and 50100";
const char* const kOffsetFetch =
    "select 编号, 日期, 客户, 金额 from 单据 order by 日期, 编号 offset 50000 rows fetch next 100 rows only";
const char* const kOffsetFetchBare =
    "select 编号, 日期, 客户, 金额 from 单据 order by 日期, 编号 limit 50000, 100";

void prepareFile() {
    static bool done = false;
    if (done) return;
    std::remove(kFile);
    Palvo::sqlite::Connection c;
    c.Open(kFile);
    c.Execute("create table 单据 (编号 int, 日期 datetime, 客户 varchar(20), 金额 decimal(18,2))");
    c.BeginTrans();
    for (int r = 0; r < kRows; ++r) {
        // a thousand days, many documents a day, in no order
        const int day = (r * 7919) % 1000;
        c.ExecuteWith("insert into 单据 values (?, ?, ?, ?)",
                      {r, Palvo::DateTime{2020 + day / 365, 1 + (day % 365) / 31, 1 + day % 28},
                       "客户" + std::to_string(r % 97), (r % 100000) / 100.0});
    }
    c.CommitTrans();
    done = true;
}

struct Row {
    std::int64_t rn, number;
    std::string date, customer;
    double amount;
};

// The hand-written query on a bare connection (opened as the adapter opens its
// own): every value copied out, as the library's result table holds them.
double bareSeconds(sqlite3* db, const char* sql) {
    const auto start = std::chrono::steady_clock::now();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    const int columns = sqlite3_column_count(st);
    const int first = columns == 5 ? 1 : 0;
    std::vector<Row> rows;
    auto text = [&](int col) {
        return std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, col)),
                           static_cast<std::size_t>(sqlite3_column_bytes(st, col)));
    };
    while (sqlite3_step(st) == SQLITE_ROW) {
        rows.push_back(Row{first ? sqlite3_column_int64(st, 0) : 0, sqlite3_column_int64(st, first),
                           text(first + 1), text(first + 2), sqlite3_column_double(st, first + 3)});
    }
    sqlite3_finalize(st);
    benchmark::DoNotOptimize(rows.data());
    if (rows.size() != 100)
        std::fprintf(stderr, "the bare query read %zu rows: %s\n", rows.size(), sqlite3_errmsg(db));
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double librarySeconds(Palvo::sqlite::Connection& conn, const char* sql) {
    const auto start = std::chrono::steady_clock::now();
    auto t = conn.Query(sql);
    benchmark::DoNotOptimize(t.rowCount());
    if (t.rowCount() != 100) std::fprintf(stderr, "the library read %zu rows\n", t.rowCount());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void page(benchmark::State& state, const char* tsql, const char* bare) {
    prepareFile();
    Palvo::sqlite::Connection conn;
    conn.Open(kFile);
    sqlite3* db = nullptr;
    sqlite3_open_v2(kFile, &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    // the table's text sorts in zh_ci_as, which the extension registers
    sqlite3_enable_load_extension(db, 1);
    char* error = nullptr;
    if (sqlite3_load_extension(db, PALVO_TSQL_EXT_PATH, nullptr, &error) != SQLITE_OK) {
        state.SkipWithError(error ? error : "the T-SQL extension did not load");
        sqlite3_free(error);
        sqlite3_close(db);
        return;
    }
    double library = 0, hand = 0;
    for (auto _ : state) {
        const double s = librarySeconds(conn, tsql);
        state.SetIterationTime(s);
        library += s;
        state.PauseTiming();
        hand += bareSeconds(db, bare);
        state.ResumeTiming();
    }
    sqlite3_close(db);
    state.counters["ratio_to_bare"] = hand > 0 ? library / hand : 0;
}

void BM_RowNumberPage(benchmark::State& state) { page(state, kRowNumber, kRowNumberBare); }
BENCHMARK(BM_RowNumberPage)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_OffsetFetchPage(benchmark::State& state) { page(state, kOffsetFetch, kOffsetFetchBare); }
BENCHMARK(BM_OffsetFetchPage)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
