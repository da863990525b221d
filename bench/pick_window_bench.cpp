// Opening the lookup picker on a 100,000-row master table in the memory window
// host (shown and closed at once) against sFillTable of the same statement
// alone into the same kind of memory grid. The counter vs_fill is the
// picker's time over the fill's, both measured in turn within each iteration.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "grid_bench_data.h"
#include "palvo/clsForm.h"
#include "palvo/clsGrid.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/measure.h"
#include "palvo/memory/window_host.h"
#include "palvo/session.h"
#include "palvo/sqlite/connection.h"

namespace {

using Clock = std::chrono::steady_clock;
using bench::threadSeconds;

constexpr long kRows = 100'000;
const std::string kField = "货物,编号";

struct Timing {
    double wall = 0;
    double cpu = 0;
};

template <class F>
Timing timed(F&& f) {
    const auto start = Clock::now();
    const double cpuStart = threadSeconds();
    f();
    return {std::chrono::duration<double>(Clock::now() - start).count(), threadSeconds() - cpuStart};
}

// range(0) is lSelectTop: 0 lists the whole table, 50 is the default limit.
void BM_OpenPickerVsFill(benchmark::State& state) {
    const std::string path = bench::databaseFor(kRows);
    auto conn = std::make_shared<Palvo::sqlite::Connection>();
    conn->Open(path);
    const auto top = static_cast<std::int32_t>(state.range(0));
    Palvo::clsForm().mInit_Var("01", "一分公司", "001", "财务部", conn, "", top);
    Palvo::installTextMeasurer(std::make_shared<Palvo::memory::FixedWidthMeasurer>());
    // the statement the picker lists with, filled alone
    const std::string sql = top != 0 ? "select distinct top " + std::to_string(top) + "  * from 货物"
                                     : "select distinct   * from 货物";
    Timing picker;
    Timing fill;
    for (auto _ : state) {
        // a fresh host per iteration: the memory host keeps every window it showed
        auto host = std::make_shared<Palvo::memory::WindowHost>();
        Palvo::ScopedWindowHost guard(host);
        const Timing p = timed([&] { benchmark::DoNotOptimize(Palvo::clsForm().sPopWindow(kField)); });
        auto grid = std::make_unique<Palvo::memory::FlexGrid>(Palvo::memory::GridType::MSHFlexGrid);
        std::string result;
        const Timing f =
            timed([&] { result = Palvo::clsGrid().sFillTable(sql, *grid, true, 2, "", true, "YYYY-MM-DD"); });
        const auto& shown = dynamic_cast<Palvo::FlexGrid&>(host->last().control("flx"));
        if (!result.empty() || shown.Rows() != grid->Rows()) {
            state.SkipWithError(("the picker and the fill differ: " + result).c_str());
            break;
        }
        picker.wall += p.wall;
        picker.cpu += p.cpu;
        fill.wall += f.wall;
        fill.cpu += f.cpu;
        state.SetIterationTime(p.wall);
    }
    if (state.iterations() > 0 && fill.wall > 0) {
        const auto n = static_cast<double>(state.iterations());
        state.counters["picker_ms"] = picker.wall * 1000 / n;
        state.counters["fill_ms"] = fill.wall * 1000 / n;
        state.counters["vs_fill"] = picker.wall / fill.wall;
        state.counters["vs_fill_cpu"] = picker.cpu / fill.cpu;
    }
    Palvo::installTextMeasurer(nullptr);
    Palvo::session() = Palvo::SessionContext{};
}
BENCHMARK(BM_OpenPickerVsFill)->Arg(0)->Arg(50)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

BENCHMARK_MAIN();
