// Reading 100,000 rows x 10 columns: through Palvo::Recordset, and through a
// bare sqlite3_step loop copying the same values. The ratio is the adapter's cost.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "palvo/data.h"
#include "palvo/sqlite/connection.h"

namespace {

constexpr int kRows = 100000;
const char* const kFile = "/tmp/palvo_read_bench.db";
const char* const kQuery = "select a, b, c, d, e, f, g, h, i, j from R";

void prepareFile() {
    static bool done = false;
    if (done) return;
    std::remove(kFile);
    Palvo::sqlite::Connection c;
    c.Open(kFile);
    c.Execute(
        "create table R (a int, b int, c bigint, d float, e float, f varchar(20), g varchar(20), "
        "h nvarchar(30), i varchar(10), j int)");
    c.BeginTrans();
    for (int r = 0; r < kRows; ++r) {
        c.ExecuteWith(
            "insert into R values(?,?,?,?,?,?,?,?,?,?)",
            {r, r * 2, static_cast<long long>(r) * 100000, r * 0.5, r / 3.0, "name" + std::to_string(r),
             "客户" + std::to_string(r % 97), "备注文字" + std::to_string(r), "x", r % 7});
    }
    c.CommitTrans();
    done = true;
}

struct Row {
    std::int64_t a, b, c;
    double d, e;
    std::string f, g, h, i;
    std::int64_t j;
};

double bareSeconds() {
    sqlite3* db = nullptr;
    // the same open flags as the adapter, so the ratio is the adapter's own cost
    sqlite3_open_v2(kFile, &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    auto start = std::chrono::steady_clock::now();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, kQuery, -1, &st, nullptr);
    std::vector<Row> rows;
    rows.reserve(kRows);
    auto text = [&](int col) {
        return std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, col)),
                           static_cast<std::size_t>(sqlite3_column_bytes(st, col)));
    };
    while (sqlite3_step(st) == SQLITE_ROW) {
        rows.push_back(Row{sqlite3_column_int64(st, 0), sqlite3_column_int64(st, 1),
                           sqlite3_column_int64(st, 2), sqlite3_column_double(st, 3),
                           sqlite3_column_double(st, 4), text(5), text(6), text(7), text(8),
                           sqlite3_column_int64(st, 9)});
    }
    sqlite3_finalize(st);
    benchmark::DoNotOptimize(rows.data());
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    sqlite3_close(db);
    return s;
}

void BM_BareSqliteStep(benchmark::State& state) {
    prepareFile();
    for (auto _ : state) {
        state.SetIterationTime(bareSeconds());
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_BareSqliteStep)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_PalvoRecordset(benchmark::State& state) {
    prepareFile();
    Palvo::sqlite::Connection conn;
    conn.Open(kFile);
    double palvo = 0, bare = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        Palvo::Recordset rs;
        rs.Open(kQuery, conn, Palvo::adOpenStatic, Palvo::adLockReadOnly);
        benchmark::DoNotOptimize(rs.RecordCount());
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(s);
        palvo += s;
        state.PauseTiming();
        bare += bareSeconds();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
    state.counters["ratio_to_bare"] = bare > 0 ? palvo / bare : 0;
}
BENCHMARK(BM_PalvoRecordset)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
