// The settings dialogs (sPrintSet and sPrintSet_Zdy in the memory window
// host) on a 200-column table whose settings set is already seeded: opened,
// every column hidden and shown again, saved. Against the statements each
// runs, run bare in one transaction on the same connection. The counter
// vs_bare is the dialog's time over the bare time.
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
#include "palvo/window_script.h"
#include "thread_clock.h"

namespace {

using bench::threadSeconds;

constexpr int kColumns = 200;
constexpr const char* kScript = "click Command6\nclick Command5\nclick Command7\n";

struct Statement {
    bool query;
    std::string text;
};

// The statements of one opening and save, in the order the dialog ran them.
class RecordingConnection : public Palvo::testing::CountingConnection {
public:
    using CountingConnection::CountingConnection;
    std::vector<Statement> all;

protected:
    long doExecute(const std::string& sql, const std::vector<Palvo::Value>& params) override {
        all.push_back({false, sql});
        return CountingConnection::doExecute(sql, params);
    }
    Palvo::ResultTable doQuery(const std::string& sql) override {
        all.push_back({true, sql});
        return CountingConnection::doQuery(sql);
    }
};

enum class Dialog { Print, Custom };

struct Setup {
    std::shared_ptr<Palvo::sqlite::Connection> conn;
    std::vector<Statement> statements;
    Dialog dialog;

    explicit Setup(Dialog which) : dialog(which) {
        mallopt(M_TRIM_THRESHOLD, 64 << 20);  // as in the other window benchmarks
        conn = std::make_shared<Palvo::sqlite::Connection>();
        conn->Open(":memory:");
        Palvo::data::createHostTables(*conn);
        const char* types[] = {"nvarchar(20)", "int", "decimal(12,2)", "datetime"};
        std::string create = "create table 宽表 (编号 int";
        for (int i = 1; i < kColumns; ++i) create += ", 列" + std::to_string(i) + " " + types[i % 4];
        conn->Execute(create + ")");

        auto recording = std::make_shared<RecordingConnection>(conn);
        Palvo::clsForm().mInit_Var("01", "一分公司", "001", "财务部", recording, "");
        open();  // seeds the settings set
        recording->all.clear();
        open();
        statements = recording->all;
        if (statements.size() < kColumns) throw std::runtime_error("the dialog did not save every column");
        Palvo::session().oConn = conn;
    }

    void open() const {
        auto script = std::make_shared<Palvo::WindowScript>(Palvo::parseWindowScript(kScript));
        Palvo::ScopedWindowHost guard(std::make_shared<Palvo::memory::WindowHost>(script));
        if (dialog == Dialog::Print) {
            Palvo::clsSearch().sPrintSet("宽表", "月报", "普通查询");
        } else {
            Palvo::clsSearch().sPrintSet_Zdy("宽表", "月报", "自定义查询");
        }
        if (!script->empty()) throw std::runtime_error("the dialog did not play the whole script");
    }
    std::size_t bare() {
        std::size_t rows = 0;
        conn->BeginTrans();
        for (const auto& s : statements) {
            if (s.query) {
                rows += conn->Query(s.text).rowCount();
            } else {
                rows += static_cast<std::size_t>(conn->Execute(s.text));
            }
        }
        conn->CommitTrans();
        return rows;
    }
};

// One table and session per dialog, made when its benchmark first runs.
Setup& setup(Dialog dialog) {
    if (dialog == Dialog::Print) {
        static Setup print(Dialog::Print);
        return print;
    }
    static Setup custom(Dialog::Custom);
    return custom;
}

// Both in turn within each iteration, so that both see the same machine load;
// the counters are thread CPU times.
void settingsVsBare(benchmark::State& state, Dialog dialog) {
    auto& s = setup(dialog);
    Palvo::session().oConn = s.conn;
    double dialogSeconds = 0, bareSeconds = 0;
    for (auto _ : state) {
        const double t0 = threadSeconds();
        s.open();
        const double t1 = threadSeconds();
        benchmark::DoNotOptimize(s.bare());
        const double t2 = threadSeconds();
        dialogSeconds += t1 - t0;
        bareSeconds += t2 - t1;
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["statements"] = static_cast<double>(s.statements.size());
    state.counters["dialog_us"] = dialogSeconds / n * 1e6;
    state.counters["bare_us"] = bareSeconds / n * 1e6;
    state.counters["vs_bare"] = dialogSeconds / bareSeconds;
}
void BM_PrintSettingsVsBare(benchmark::State& state) { settingsVsBare(state, Dialog::Print); }
void BM_CustomQuerySettingsVsBare(benchmark::State& state) { settingsVsBare(state, Dialog::Custom); }
BENCHMARK(BM_PrintSettingsVsBare)->MinTime(2.0);
BENCHMARK(BM_CustomQuerySettingsVsBare)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
