// sum(a*b) over 1,000,000 rows: exact decimal arithmetic (decimal(18,2) times
// decimal(18,4) columns, typed by their declared types, summed as
// decimal(38,6)) against the same query over float columns, which computes
// with doubles. The ratio is the cost of exactness.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "palvo/data.h"
#include "palvo/sqlite/connection.h"

namespace {

constexpr int kRows = 1000000;
const char* const kFile = "/tmp/palvo_decimal_sum_bench.db";
const char* const kDoubles = "select sum(x * y) from D";
const char* const kDecimals = "select sum(a * b) from D";

void prepareFile() {
    static bool done = false;
    if (done) return;
    std::remove(kFile);
    Palvo::sqlite::Connection c;
    c.Open(kFile);
    c.Execute("create table D (a decimal(18,2), b decimal(18,4), x float, y float)");
    c.BeginTrans();
    for (int r = 0; r < kRows; ++r) {
        const double a = (r % 100000) / 100.0, b = (r % 7919) / 10000.0;
        c.ExecuteWith("insert into D values (?, ?, ?, ?)", {a, b, a, b});
    }
    c.CommitTrans();
    done = true;
}

double seconds(Palvo::sqlite::Connection& conn, const char* sql) {
    auto start = std::chrono::steady_clock::now();
    auto t = conn.Query(sql);
    benchmark::DoNotOptimize(t.rowCount());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_SumOfDoubles(benchmark::State& state) {
    prepareFile();
    Palvo::sqlite::Connection conn;
    conn.Open(kFile);
    for (auto _ : state) state.SetIterationTime(seconds(conn, kDoubles));
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_SumOfDoubles)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_SumOfExactDecimals(benchmark::State& state) {
    prepareFile();
    Palvo::sqlite::Connection conn;
    conn.Open(kFile);
    double exact = 0, doubles = 0;
    for (auto _ : state) {
        const double s = seconds(conn, kDecimals);
        state.SetIterationTime(s);
        exact += s;
        state.PauseTiming();
        doubles += seconds(conn, kDoubles);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
    state.counters["ratio_to_doubles"] = doubles > 0 ? exact / doubles : 0;
}
BENCHMARK(BM_SumOfExactDecimals)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
