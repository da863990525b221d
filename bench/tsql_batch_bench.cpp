// A T-SQL WHILE loop of 10,000 single-row inserts against the same inserts sent
// from C++ as one prepared statement, both in one transaction on the embedded
// database: the ratio is the batch engine's cost per round (its condition, its
// insert and its SET each a statement of their own). And a batch of 20
// single-row updates by key against the same 20 statements sent one by one
// through the connection: the ratio is what reading and stepping through a
// batch costs over the statements themselves. And a cursor loop (below).
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "palvo/data.h"
#include "palvo/sqlite/connection.h"

namespace {

constexpr int kRows = 10000;

double loopSeconds(Palvo::Connection& c) {
    c.Execute("delete from N");
    const auto start = std::chrono::steady_clock::now();
    c.BeginTrans();
    c.Execute("declare @i int = 0 while @i < " + std::to_string(kRows) +
              " begin insert into N (n, v) values (@i, 'x') set @i += 1 end");
    c.CommitTrans();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double preparedSeconds(Palvo::Connection& c) {
    c.Execute("delete from N");
    const auto start = std::chrono::steady_clock::now();
    c.BeginTrans();
    for (int i = 0; i < kRows; ++i) c.ExecuteWith("insert into N (n, v) values (?, 'x')", {Palvo::Value(i)});
    c.CommitTrans();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_WhileLoopInsertsAgainstPrepared(benchmark::State& state) {
    Palvo::sqlite::Connection c;
    c.Open(":memory:");
    c.Execute("create table N (n int, v varchar(10))");
    double loop = 0, prepared = 0;
    for (auto _ : state) {
        loop += loopSeconds(c);
        prepared += preparedSeconds(c);
    }
    state.counters["loop_ms"] = loop * 1000 / static_cast<double>(state.iterations());
    state.counters["prepared_ms"] = prepared * 1000 / static_cast<double>(state.iterations());
    state.counters["ratio"] = loop / prepared;
}
BENCHMARK(BM_WhileLoopInsertsAgainstPrepared)->Unit(benchmark::kMillisecond)->Iterations(5);

constexpr int kStatements = 20;
constexpr int kRounds = 500;

void BM_BatchOfUpdatesAgainstOneByOne(benchmark::State& state) {
    Palvo::sqlite::Connection c;
    c.Open(":memory:");
    c.Execute("create table K (k int primary key, v int)");
    std::string batch;
    std::vector<std::string> single;
    for (int k = 0; k < kStatements; ++k) {
        c.Execute("insert into K values (" + std::to_string(k) + ", 0)");
        single.push_back("update K set v = v + 1 where k = " + std::to_string(k));
        batch += single.back() + ";\n";
    }
    double batched = 0, oneByOne = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        for (int r = 0; r < kRounds; ++r) c.Execute(batch);
        batched += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        start = std::chrono::steady_clock::now();
        for (int r = 0; r < kRounds; ++r) {
            for (const std::string& s : single) c.Execute(s);
        }
        oneByOne += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["batch_ms"] = batched * 1000 / static_cast<double>(state.iterations());
    state.counters["one_by_one_ms"] = oneByOne * 1000 / static_cast<double>(state.iterations());
    state.counters["ratio"] = batched / oneByOne;
}
BENCHMARK(BM_BatchOfUpdatesAgainstOneByOne)->Unit(benchmark::kMillisecond)->Iterations(5);

constexpr int kCursorRows = 100000;

// A cursor loop over 100,000 rows, each FETCH NEXT into two variables, against a
// plain select of the same rows read through the connection: the ratio is what a
// round of the loop (its test of @@FETCH_STATUS and its FETCH) costs over reading the row.
void BM_CursorLoopAgainstSelect(benchmark::State& state) {
    Palvo::sqlite::Connection c;
    c.Open(":memory:");
    c.Execute("create table R (k int primary key, v varchar(10))");
    c.BeginTrans();
    for (int k = 1; k <= kCursorRows; ++k) c.ExecuteWith("insert into R values (?, 'x')", {Palvo::Value(k)});
    c.CommitTrans();
    const std::string loop =
        "declare @k int, @v varchar(10) declare c cursor local fast_forward for select k, v from R "
        "open c fetch next from c into @k, @v while @@fetch_status = 0 begin fetch next from c into @k, @v "
        "end "
        "close c deallocate c";
    double cursor = 0, select = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        c.Execute(loop);
        cursor += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(c.Query("select k, v from R").rowCount());
        select += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["cursor_ms"] = cursor * 1000 / static_cast<double>(state.iterations());
    state.counters["select_ms"] = select * 1000 / static_cast<double>(state.iterations());
    state.counters["ratio"] = cursor / select;
}
BENCHMARK(BM_CursorLoopAgainstSelect)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
