// One row per customer with the list of its orders, 10,000 customers x 10
// orders: the T-SQL idiom STUFF((SELECT ',' + x ... ORDER BY ... FOR XML
// PATH('')), 1, 1, '') through the library, against the hand-written SQLite
// query of the same rows (group_concat over the ordered subquery) on a bare
// sqlite3 connection. The ratio is what the translation and its tsql_* calls cost.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "palvo/data.h"
#include "palvo/sqlite/connection.h"
#include "thread_clock.h"

namespace {

constexpr int kCustomers = 10000;
constexpr int kOrdersEach = 10;
const char* const kFile = "/tmp/palvo_list_bench.db";
const char* const kTsql =
    "select c.编号, stuff((select ',' + o.单号 from 订单 o where o.客户 = c.编号 order by o.金额 "
    "for xml path('')), 1, 1, '') from 客户 c order by c.编号";
const char* const kSqlite =
    "select c.编号, (select group_concat(单号, ',') from (select o.单号 from 订单 o where o.客户 = c.编号 "
    "order by o.金额)) from 客户 c order by c.编号";

void prepareFile() {
    static bool done = false;
    if (done) return;
    std::remove(kFile);
    Palvo::sqlite::Connection c;
    c.Open(kFile);
    c.Execute("create table 客户 (编号 int primary key, 名称 nvarchar(20))");
    c.Execute("create table 订单 (客户 int, 单号 varchar(12), 金额 int)");
    c.Execute("create index 订单_客户 on 订单 (客户, 金额)");
    c.BeginTrans();
    for (int k = 1; k <= kCustomers; ++k) {
        c.ExecuteWith("insert into 客户 values (?, ?)", {k, "客户" + std::to_string(k)});
        for (int o = 0; o < kOrdersEach; ++o) {
            // amounts out of the order of insertion, so that the list is sorted by the query
            c.ExecuteWith("insert into 订单 values (?, ?, ?)",
                          {k, "D" + std::to_string(k * 100 + o), (o * 7) % kOrdersEach});
        }
    }
    c.CommitTrans();
    done = true;
}

double bareSeconds() {
    sqlite3* db = nullptr;
    sqlite3_open_v2(kFile, &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    // the text columns' collation, which preparing the query asks for
    sqlite3_enable_load_extension(db, 1);
    char* error = nullptr;
    if (sqlite3_load_extension(db, PALVO_TSQL_EXT_PATH, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "cannot load the extension: %s\n", error ? error : "?");
        std::abort();
    }
    const double start = bench::threadSeconds();
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, kSqlite, -1, &st, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
        std::abort();
    }
    std::vector<std::pair<std::int64_t, std::string>> rows;
    rows.reserve(kCustomers);
    while (sqlite3_step(st) == SQLITE_ROW) {
        rows.emplace_back(sqlite3_column_int64(st, 0),
                          std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)),
                                      static_cast<std::size_t>(sqlite3_column_bytes(st, 1))));
    }
    sqlite3_finalize(st);
    if (rows.size() != kCustomers) std::abort();
    benchmark::DoNotOptimize(rows.data());
    const double s = bench::threadSeconds() - start;
    sqlite3_close(db);
    return s;
}

void BM_BareGroupConcat(benchmark::State& state) {
    prepareFile();
    for (auto _ : state) state.SetIterationTime(bareSeconds());
    state.SetItemsProcessed(state.iterations() * kCustomers * kOrdersEach);
}
BENCHMARK(BM_BareGroupConcat)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_PalvoForXmlList(benchmark::State& state) {
    prepareFile();
    Palvo::sqlite::Connection conn;
    conn.Open(kFile);
    double palvo = 0, bare = 0;
    for (auto _ : state) {
        const double start = bench::threadSeconds();
        auto table = conn.Query(kTsql);
        if (table.rowCount() != kCustomers) std::abort();
        const double s = bench::threadSeconds() - start;
        state.SetIterationTime(s);
        palvo += s;
        state.PauseTiming();
        bare += bareSeconds();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kCustomers * kOrdersEach);
    state.counters["ratio_to_bare"] = bare > 0 ? palvo / bare : 0;
}
BENCHMARK(BM_PalvoForXmlList)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
