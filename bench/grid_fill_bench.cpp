// sFillTable against a bare sqlite3 read of the same rows: 10 columns,
// 10k / 100k / 1M rows, widths fitted to the content, on both grid types,
// and with a totals row of three numeric columns.
// The counter vs_bare is the fill time over the bare read time.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "grid_bench_data.h"
#include "palvo/clsForm.h"
#include "palvo/clsGrid.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/measure.h"
#include "palvo/session.h"
#include "palvo/sqlite/connection.h"

namespace {

using Clock = std::chrono::steady_clock;

using bench::databaseFor;
using bench::kSelect;
using bench::threadSeconds;

struct Timing {
    double wall = 0;
    double cpu = 0;
};

// Steps through the rows reading every column as text, as any reader of the rows must.
Timing bareRead(const std::string& path, long& cells) {
    sqlite3* db = nullptr;
    // the adapter opens without the per-call mutex; so does the bare read
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
        throw std::runtime_error("open");
    sqlite3_stmt* st = nullptr;
    const auto start = Clock::now();
    const double cpuStart = threadSeconds();
    if (sqlite3_prepare_v2(db, kSelect.c_str(), -1, &st, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db));
    std::size_t bytes = 0;
    cells = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        const int n = sqlite3_column_count(st);
        for (int c = 0; c < n; ++c) {
            benchmark::DoNotOptimize(sqlite3_column_text(st, c));
            bytes += static_cast<std::size_t>(sqlite3_column_bytes(st, c));
            ++cells;
        }
    }
    sqlite3_finalize(st);
    const Timing t{std::chrono::duration<double>(Clock::now() - start).count(), threadSeconds() - cpuStart};
    sqlite3_close(db);
    benchmark::DoNotOptimize(bytes);
    return t;
}

void BM_BareSqliteRead(benchmark::State& state) {
    const std::string path = databaseFor(state.range(0));
    long cells = 0;
    for (auto _ : state) {
        state.SetIterationTime(bareRead(path, cells).wall);
    }
    state.SetComplexityN(cells);
    state.counters["cells"] = static_cast<double>(cells);
}

// The recordset read alone: what every fill pays before the grid sees a cell.
void BM_RecordsetOpen(benchmark::State& state) {
    const std::string path = databaseFor(state.range(0));
    Palvo::sqlite::Connection conn;
    conn.Open(path);
    for (auto _ : state) {
        const auto start = Clock::now();
        Palvo::Recordset rs;
        rs.CursorLocation(Palvo::adUseClient);
        rs.Open(kSelect, conn);
        benchmark::DoNotOptimize(rs.RecordCount());
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    state.SetComplexityN(state.range(0) * 10);
}

// Each iteration runs the bare read and then the fill, so both see the same
// machine; vs_bare is the total fill time over the total bare read time.
// The columns the totals-row case sums: whole numbers, prices and amounts.
const std::string kTotals = "数量,单价,金额";

template <Palvo::memory::GridType Type, bool FontFile = false, bool Totals = false>
void BM_FillTable(benchmark::State& state) {
    const long rows = state.range(0);
    const std::string path = databaseFor(rows);
    long cells = 0;
    bareRead(path, cells);  // warms the page cache

    auto conn = std::make_shared<Palvo::sqlite::Connection>();
    conn->Open(path);
    Palvo::clsForm().mInit_Var("01", "一分公司", "001", "财务部", conn, "");
    if (FontFile)
        Palvo::installTextMeasurer(
            std::make_shared<Palvo::memory::FontFileMeasurer>(Palvo::memory::kNotoSansCjkPath));
    else
        Palvo::installTextMeasurer(std::make_shared<Palvo::memory::FixedWidthMeasurer>());
    Palvo::clsGrid cls;
    Timing fill;
    Timing bare;
    for (auto _ : state) {
        state.PauseTiming();
        const Timing b = bareRead(path, cells);
        bare.wall += b.wall;
        bare.cpu += b.cpu;
        auto grid = std::make_unique<Palvo::memory::FlexGrid>(Type);
        auto& g = *grid;
        g.Width(12000);
        state.ResumeTiming();
        const auto start = Clock::now();
        const double cpuStart = threadSeconds();
        const std::string result = cls.sFillTable(kSelect, g, true, 2, Totals ? kTotals : std::string());
        fill.cpu += threadSeconds() - cpuStart;
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(s);
        fill.wall += s;
        if (!result.empty()) {
            state.SkipWithError(result.c_str());
            break;
        }
        if (g.Rows() != rows + (Totals ? 2 : 1)) {
            state.SkipWithError("wrong row count");
            break;
        }
        state.PauseTiming();
        grid.reset();  // the grid's memory is freed outside the measured time
        state.ResumeTiming();
    }
    state.SetComplexityN(cells);
    state.counters["cells"] = static_cast<double>(cells);
    if (state.iterations() > 0) {
        state.counters["bare_ms"] = bare.wall * 1000 / static_cast<double>(state.iterations());
        state.counters["vs_bare"] = fill.wall / bare.wall;
        state.counters["vs_bare_cpu"] = fill.cpu / bare.cpu;
    }
    Palvo::installTextMeasurer(nullptr);
    Palvo::session() = Palvo::SessionContext{};
}

void rowCounts(benchmark::internal::Benchmark* b) {
    b->Arg(10'000)
        ->Arg(100'000)
        ->Arg(1'000'000)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Complexity(benchmark::oN)
        ->MinTime(5);
}

BENCHMARK(BM_BareSqliteRead)->Apply(rowCounts);
BENCHMARK(BM_RecordsetOpen)->Apply(rowCounts);
BENCHMARK(BM_FillTable<Palvo::memory::GridType::MSFlexGrid>)
    ->Name("BM_FillTable/MSFlexGrid")
    ->Apply(rowCounts);
BENCHMARK(BM_FillTable<Palvo::memory::GridType::MSHFlexGrid>)
    ->Name("BM_FillTable/MSHFlexGrid")
    ->Apply(rowCounts);
// The same fill measured with the glyph widths of the CJK font file instead of the fixed rule.
BENCHMARK(BM_FillTable<Palvo::memory::GridType::MSFlexGrid, true>)
    ->Name("BM_FillTable/MSFlexGrid/FontFile")
    ->Arg(100'000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2);

// The fill with its 合计 row: the grid's texts of three columns read and added up.
BENCHMARK(BM_FillTable<Palvo::memory::GridType::MSFlexGrid, false, true>)
    ->Name("BM_FillTable/MSFlexGrid/Totals")
    ->Arg(10'000)
    ->Arg(100'000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(5);
BENCHMARK(BM_FillTable<Palvo::memory::GridType::MSHFlexGrid, false, true>)
    ->Name("BM_FillTable/MSHFlexGrid/Totals")
    ->Arg(10'000)
    ->Arg(100'000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(5);

}  // namespace

BENCHMARK_MAIN();
