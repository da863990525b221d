// sGetField on a 30-column table whose settings set is seeded and whose
// columns have not changed since: each list (shown columns, sort keys) read
// through sGetField against the same statement read bare through a client
// recordset and joined into the same list, which is all sGetField did before
// sets followed their table. vs_bare is sGetField's time over the bare time.
// The table's columns are compared with the set once, before the timing; after
// that the only work a read adds is the schema stamp of the connection, timed
// on its own as check_us: check_share is its part of sGetField's time (under
// 0.1 keeps sGetField within 1.1 times what it took before).
// The ODBC case reads the same through the SQLite ODBC driver, which cannot tell
// when table definitions change: there a read also looks at the table's columns.
#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>
#include <stdexcept>
#include <string>

#include "palvo/clsDatabase.h"
#include "palvo/clsForm.h"
#include "palvo/host_tables.h"
#include "palvo/session.h"
#include "palvo/sqlite/connection.h"
#include "thread_clock.h"
#ifdef PALVO_TSQL_EXT_PATH
#include "palvo/odbc/connection.h"
#endif

namespace {

using bench::threadSeconds;

constexpr int kColumns = 30;

std::shared_ptr<Palvo::Connection> prepare(std::shared_ptr<Palvo::Connection> conn) {
    Palvo::data::createHostTables(*conn);
    const char* types[] = {"nvarchar(20)", "int", "decimal(12,2)", "datetime"};
    std::string create = "create table 宽表 (编号 int";
    for (int i = 1; i < kColumns; ++i) create += ", 列" + std::to_string(i) + " " + types[i % 4];
    conn->Execute(create + ")");
    Palvo::clsForm().mInit_Var("01", "一分公司", "001", "财务部", conn, "");
    Palvo::clsDatabase().sGetField("宽表", "普通查询", "月报");  // seeds the set
    conn->Execute("update 查询打印设置 set 排序=2.1 where 字段名 in ('列3','列7')");
    conn->Execute("update 查询打印设置 set 排序=1 where 字段名='列5'");
    return conn;
}

std::shared_ptr<Palvo::Connection> embedded() {
    auto conn = std::make_shared<Palvo::sqlite::Connection>();
    conn->Open(":memory:");
    return prepare(conn);
}

// The list as sGetField reads it: the statement on a client recordset, the names joined.
std::string bare(const std::string& sql, bool sort) {
    Palvo::Recordset rs;
    rs.CursorLocation(Palvo::adUseClient);
    rs.Open(sql, Palvo::sessionConnection());
    std::string list;
    for (; !rs.Eof(); rs.MoveNext()) {
        list += rs.Fields("字段名").Value().toTextStrict();
        if (sort) list += rs.Fields("排序").Value().toDouble() > 2 ? " desc" : " asc";
        list += ",";
    }
    rs.Close();
    if (!list.empty()) list.pop_back();
    return list;
}

// Both in turn within each iteration, so that both see the same machine load;
// the counters are thread CPU times.
void listVsBare(benchmark::State& state, const char* kind, const std::shared_ptr<Palvo::Connection>& conn) {
    Palvo::session().oConn = conn;
    const bool sort = std::string(kind) == "排序";
    const std::string read = "select * from 查询打印设置 where 表名='宽表' and 用户名='" +
                             Palvo::session().sUser + "' and 查询类别='普通查询' and 查询名='月报'";
    const std::string sql = read + (sort ? " and 排序>0 order by 排序" : " and 选择标志=1 order by 排列顺序");
    Palvo::clsDatabase db;
    if (db.sGetField("宽表", "普通查询", "月报", kind) != bare(sql, sort))
        throw std::runtime_error("sGetField and the bare read give different lists");
    double listSeconds = 0, bareSeconds = 0, checkSeconds = 0;
    for (auto _ : state) {
        const double t0 = threadSeconds();
        benchmark::DoNotOptimize(db.sGetField("宽表", "普通查询", "月报", kind));
        const double t1 = threadSeconds();
        benchmark::DoNotOptimize(bare(sql, sort));
        const double t2 = threadSeconds();
        benchmark::DoNotOptimize(conn->schemaStamp());
        const double t3 = threadSeconds();
        listSeconds += t1 - t0;
        bareSeconds += t2 - t1;
        checkSeconds += t3 - t2;
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["sGetField_us"] = listSeconds / n * 1e6;
    state.counters["bare_us"] = bareSeconds / n * 1e6;
    state.counters["vs_bare"] = listSeconds / bareSeconds;
    state.counters["check_us"] = checkSeconds / n * 1e6;
    state.counters["check_share"] = checkSeconds / listSeconds;
}
void BM_ShownColumnsVsBare(benchmark::State& state) {
    static const auto conn = embedded();
    listVsBare(state, "选择", conn);
}
void BM_SortKeysVsBare(benchmark::State& state) {
    static const auto conn = embedded();
    listVsBare(state, "排序", conn);
}
BENCHMARK(BM_ShownColumnsVsBare)->MinTime(2.0);
BENCHMARK(BM_SortKeysVsBare)->MinTime(2.0);
#ifdef PALVO_TSQL_EXT_PATH
void BM_ShownColumnsVsBareOdbc(benchmark::State& state) {
    static const auto conn = [] {
        auto c = std::make_shared<Palvo::odbc::Connection>();
        c->Open("Driver=SQLite3;Database=:memory:;LoadExt=" PALVO_TSQL_EXT_PATH);
        return prepare(c);
    }();
    listVsBare(state, "选择", conn);
}
BENCHMARK(BM_ShownColumnsVsBareOdbc)->MinTime(2.0);
#endif

}  // namespace

BENCHMARK_MAIN();
