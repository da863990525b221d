// sCheckData on a 20-field order form (three lookups, one unique column, a key
// of two columns) against running its five queries bare on the same connection.
// The counter vs_bare is the check's time over the bare queries' time.
#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "forms/counting_connection.h"
#include "palvo/clsForm.h"
#include "palvo/memory/form.h"
#include "palvo/session.h"
#include "palvo/sqlite/connection.h"
#include "thread_clock.h"
#include "wide_form.h"

namespace {

using bench::threadSeconds;

constexpr int kRows = 10000;

struct Setup {
    std::shared_ptr<Palvo::sqlite::Connection> conn;
    bench::WideForm w = bench::wideForm();
    std::unique_ptr<Palvo::memory::Form> frm;
    std::vector<std::string> queries;  // what one check runs

    Setup() {
        conn = std::make_shared<Palvo::sqlite::Connection>();
        conn->Open(":memory:");
        bench::createWideTables(*conn, kRows);
        frm = std::make_unique<Palvo::memory::Form>("frm订单", w.fields);
        auto counting = std::make_shared<Palvo::testing::CountingConnection>(conn);
        Palvo::clsForm().mInit_Var("01", "一分公司", "001", "财务部", counting, "");
        if (!check().empty()) throw std::runtime_error("the bench record breaks a rule");
        queries = counting->queries;
        Palvo::session().oConn = conn;
    }

    std::string check() {
        return Palvo::clsForm().sCheckData(*frm, w.types, w.lengths, w.key, w.unique, "订单", {}, false);
    }
    std::size_t bare() {
        std::size_t rows = 0;
        for (const auto& q : queries) rows += conn->Query(q).rowCount();
        return rows;
    }
};

Setup& setup() {
    static Setup s;
    return s;
}

void BM_CheckData(benchmark::State& state) {
    auto& s = setup();
    for (auto _ : state) benchmark::DoNotOptimize(s.check());
    state.counters["queries"] = static_cast<double>(s.queries.size());
}
BENCHMARK(BM_CheckData);

void BM_BareQueries(benchmark::State& state) {
    auto& s = setup();
    for (auto _ : state) benchmark::DoNotOptimize(s.bare());
}
BENCHMARK(BM_BareQueries);

// Both in turn within each iteration, so that both see the same machine load;
// the counters are thread CPU times.
void BM_CheckDataVsBare(benchmark::State& state) {
    auto& s = setup();
    double checkSeconds = 0, bareSeconds = 0;
    for (auto _ : state) {
        const double t0 = threadSeconds();
        benchmark::DoNotOptimize(s.check());
        const double t1 = threadSeconds();
        benchmark::DoNotOptimize(s.bare());
        const double t2 = threadSeconds();
        checkSeconds += t1 - t0;
        bareSeconds += t2 - t1;
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["check_us"] = checkSeconds / n * 1e6;
    state.counters["bare_us"] = bareSeconds / n * 1e6;
    state.counters["vs_bare"] = checkSeconds / bareSeconds;
}
BENCHMARK(BM_CheckDataVsBare)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
