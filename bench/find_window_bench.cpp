// Opening the condition finder (sFindStr in the memory window host, closed at
// once) on a 200-column table whose first column takes its values from a
// master table, against running the statements it runs bare on the same
// connection. The counter vs_bare is the window's time over the bare time.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <ctime>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "forms/counting_connection.h"
#include "palvo/clsForm.h"
#include "palvo/clsSearch.h"
#include "palvo/host_tables.h"
#include "palvo/memory/window_host.h"
#include "palvo/session.h"
#include "palvo/sqlite/connection.h"
#include "thread_clock.h"

namespace {

using bench::threadSeconds;

constexpr int kColumns = 200;

struct Setup {
    std::shared_ptr<Palvo::sqlite::Connection> conn;
    std::vector<std::string> statements;  // what one opening runs

    Setup() {
        // Without this glibc hands the heap top back to the kernel and takes it
        // again whenever the window's frame is freed, and page faults (costly in
        // a virtual machine) would weigh on one side only, by where blocks lie.
        mallopt(M_TRIM_THRESHOLD, 64 << 20);
        conn = std::make_shared<Palvo::sqlite::Connection>();
        conn->Open(":memory:");
        Palvo::data::createHostTables(*conn);
        const char* types[] = {"nvarchar(20)", "int", "decimal(12,2)", "datetime"};
        std::string create = "create table 宽表 (类别 nvarchar(10)";
        for (int i = 1; i < kColumns; ++i) create += ", 列" + std::to_string(i) + " " + types[i % 4];
        conn->Execute(create + ")");
        conn->Execute("create table 类别表 (名称 nvarchar(10))");
        for (int i = 0; i < 80; ++i)
            conn->Execute("insert into 类别表 values (N'类" + std::to_string(i) + "')");
        conn->Execute("insert into 更新表记录 values (N'类别表', N'名称', N'宽表', N'类别')");

        auto counting = std::make_shared<Palvo::testing::CountingConnection>(conn);
        Palvo::clsForm().mInit_Var("01", "一分公司", "001", "财务部", counting, "");
        auto host = std::make_shared<Palvo::memory::WindowHost>();
        Palvo::ScopedWindowHost guard(host);
        if (!open().empty()) throw std::runtime_error("the window did not close as cancelled");
        auto& value = dynamic_cast<Palvo::ComboBox&>(host->last().control("Text1"));
        auto& columns = dynamic_cast<Palvo::ComboBox&>(host->last().control("Combo2"));
        if (columns.ListCount() != kColumns || value.ListCount() != 50) {
            throw std::runtime_error("the window did not load the columns and values");
        }
        statements = counting->queries;
        Palvo::session().oConn = conn;
    }

    static std::string open() { return Palvo::clsSearch().sFindStr("宽表"); }
    std::size_t bare() {
        std::size_t rows = 0;
        for (const auto& q : statements) rows += conn->Query(q).rowCount();
        return rows;
    }
};

Setup& setup() {
    static Setup s;
    return s;
}

// The memory host keeps every window it showed for reading back; a real host
// frees a window when it closes. So each opening gets a fresh host, and
// installing it, which frees the window shown before, is part of the time.
void BM_OpenFind(benchmark::State& state) {
    setup();
    for (auto _ : state) {
        state.PauseTiming();
        auto host = std::make_shared<Palvo::memory::WindowHost>();
        state.ResumeTiming();
        Palvo::installWindowHost(std::move(host));
        benchmark::DoNotOptimize(Setup::open());
    }
    Palvo::installWindowHost(nullptr);
    state.counters["statements"] = static_cast<double>(setup().statements.size());
}
BENCHMARK(BM_OpenFind);

void BM_BareStatements(benchmark::State& state) {
    auto& s = setup();
    for (auto _ : state) benchmark::DoNotOptimize(s.bare());
}
BENCHMARK(BM_BareStatements);

// Both in turn within each iteration, so that both see the same machine load;
// the counters are thread CPU times.
void BM_OpenFindVsBare(benchmark::State& state) {
    auto& s = setup();
    double openSeconds = 0, bareSeconds = 0;
    for (auto _ : state) {
        auto host = std::make_shared<Palvo::memory::WindowHost>();
        const double t0 = threadSeconds();
        Palvo::installWindowHost(std::move(host));
        benchmark::DoNotOptimize(Setup::open());
        const double t1 = threadSeconds();
        benchmark::DoNotOptimize(s.bare());
        const double t2 = threadSeconds();
        openSeconds += t1 - t0;
        bareSeconds += t2 - t1;
    }
    Palvo::installWindowHost(nullptr);
    const auto n = static_cast<double>(state.iterations());
    state.counters["open_us"] = openSeconds / n * 1e6;
    state.counters["bare_us"] = bareSeconds / n * 1e6;
    state.counters["vs_bare"] = openSeconds / bareSeconds;
}
BENCHMARK(BM_OpenFindVsBare)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
