// sFillTable of the goods table (10 columns, widths fitted to the content)
// into the Qt grid, offscreen and shown, against the same fill into the memory
// grid in the same run. Each iteration fills both, one after the other, so both
// see the same machine. The Qt fill counts until the event loop has run once
// after it (the announcements and a paint). Counters: memory_ms and qt_ms per
// fill, vs_memory the Qt time over the memory time (wall), vs_memory_cpu the
// same in thread CPU time, steadier on a busy machine. The FontMeasurer runs
// measure the widths in the CJK font through Qt, as a Qt host does; memory_ms
// there against memory_ms of the plain run is what measuring with a real
// font adds to a fill.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTableView>
#include <chrono>
#include <memory>
#include <string>

#include "grid_bench_data.h"
#include "palvo/clsForm.h"
#include "palvo/clsGrid.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/measure.h"
#include "palvo/qt/grid.h"
#include "palvo/qt/measure.h"
#include "palvo/session.h"
#include "palvo/sqlite/connection.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Timing {
    double wall = 0;
    double cpu = 0;
    void add(Clock::time_point start, double cpuStart) {
        wall += std::chrono::duration<double>(Clock::now() - start).count();
        cpu += bench::threadSeconds() - cpuStart;
    }
};

template <Palvo::GridType Type, bool FontMeasurer = false>
void BM_QtFillVsMemory(benchmark::State& state) {
    const long rows = state.range(0);
    const std::string path = bench::databaseFor(rows);
    auto conn = std::make_shared<Palvo::sqlite::Connection>();
    conn->Open(path);
    Palvo::clsForm().mInit_Var("01", "一分公司", "001", "财务部", conn, "");
    if (FontMeasurer)
        Palvo::installTextMeasurer(std::make_shared<Palvo::qt::FontMeasurer>());
    else
        Palvo::installTextMeasurer(std::make_shared<Palvo::memory::FixedWidthMeasurer>());
    Palvo::clsGrid cls;
    Timing memory;
    Timing qt;
    for (auto _ : state) {
        auto mem = std::make_unique<Palvo::memory::FlexGrid>(Type);
        mem->Width(12000);
        auto start = Clock::now();
        double cpuStart = bench::threadSeconds();
        std::string result = cls.sFillTable(bench::kSelect, *mem, true, 2);
        memory.add(start, cpuStart);
        if (!result.empty() || mem->Rows() != rows + 1) {
            state.SkipWithError(("memory fill: " + result).c_str());
            break;
        }
        mem.reset();

        // 800 pixels is 12000 twips at 96 dpi: the width the memory grid shares out.
        auto view = std::make_unique<QTableView>();
        view->resize(800, 600);
        view->show();
        auto grid = std::make_unique<Palvo::qt::FlexGrid>(view.get(), Type);
        QApplication::processEvents();
        start = Clock::now();
        cpuStart = bench::threadSeconds();
        result = cls.sFillTable(bench::kSelect, *grid, true, 2);
        QApplication::processEvents();
        qt.add(start, cpuStart);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (!result.empty() || grid->Rows() != rows + 1) {
            state.SkipWithError(("Qt fill: " + result).c_str());
            break;
        }
        grid.reset();
        view.reset();
    }
    if (state.iterations() > 0) {
        const auto n = static_cast<double>(state.iterations());
        state.counters["memory_ms"] = memory.wall * 1000 / n;
        state.counters["qt_ms"] = qt.wall * 1000 / n;
        state.counters["vs_memory"] = qt.wall / memory.wall;
        state.counters["vs_memory_cpu"] = qt.cpu / memory.cpu;
    }
    Palvo::installTextMeasurer(nullptr);
    Palvo::session() = Palvo::SessionContext{};
}

BENCHMARK(BM_QtFillVsMemory<Palvo::GridType::MSFlexGrid>)
    ->Name("BM_QtFillVsMemory/MSFlexGrid")
    ->Arg(100'000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtFillVsMemory<Palvo::GridType::MSHFlexGrid>)
    ->Name("BM_QtFillVsMemory/MSHFlexGrid")
    ->Arg(100'000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtFillVsMemory<Palvo::GridType::MSFlexGrid, true>)
    ->Name("BM_QtFillVsMemory/MSFlexGrid/FontMeasurer")
    ->Arg(100'000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
