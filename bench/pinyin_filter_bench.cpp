// The lookup picker's filter on a 100,000-row table of branch names in the
// memory window host: a pinyin filter against the LIKE filter that finds the
// same rows, each typed into the open picker and run with F5. lSelectTop is
// 0, so both go through every row. range(0) 0: cqs against 重庆市, 5,000 rows
// listed; 1: cqsd1234 against 重庆市第1234, one row listed, so the time is
// the filtering's more than the grid's. Every pinyin filter reads the rows
// as the LIKE filter does, testing each as it comes; the first run of a
// showing is reported apart from the one after it all the same.
// vs_like is the pinyin filter's time over the LIKE filter's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "palvo/clsForm.h"
#include "palvo/memory/measure.h"
#include "palvo/memory/window_host.h"
#include "palvo/session.h"
#include "palvo/sqlite/connection.h"
#include "palvo/window_script.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr long kRows = 100'000;

constexpr int kLongNameChars = 40;
const char* const kPolyphones[] = {"重", "长", "行", "乐", "和", "朝", "单", "调"};
// a reading of each, and its initial
const char* const kFirstReadings[] = {"chong", "chang", "hang", "le", "he", "chao", "chan", "diao"};

std::string longName() {
    std::string name;
    for (int i = 0; i < kLongNameChars; ++i) name += kPolyphones[i % 8];
    return name;
}

// A text that spells a long name's characters, one letter short of matching:
// full readings (1) or initials (0).
std::string longNameText(bool full) {
    std::string text;
    for (int i = 0; i < kLongNameChars; ++i)
        text += full ? kFirstReadings[i % 8] : std::string(1, kFirstReadings[i % 8][0]);
    return text + "x";
}

std::string database() {
    auto path = (std::filesystem::temp_directory_path() / "palvo_pinyin_bench.db").string();
    std::filesystem::remove(path);
    Palvo::sqlite::Connection conn;
    conn.Open(path);
    conn.Execute("create table 网点 (编号 int primary key, 名称 nvarchar(30), 地址 nvarchar(40))");
    const char* cities[] = {"重庆市", "长沙市", "成都市", "北京市", "上海市", "广州市", "深圳市",
                            "武汉市", "南京市", "杭州市", "西安市", "天津市", "苏州市", "郑州市",
                            "青岛市", "沈阳市", "大连市", "厦门市", "合肥市", "昆明市"};
    conn.BeginTrans();
    for (long i = 1; i <= kRows; ++i) {
        const std::string city = cities[i % 20];
        conn.ExecuteWith("insert into 网点 values (?,?,?)",
                         {Palvo::Value(static_cast<long long>(i)),
                          Palvo::Value(city + "第" + std::to_string(i) + "营业部"),
                          Palvo::Value(city + "中山路" + std::to_string(i % 500) + "号")});
    }
    // long names of polyphones, alike but for their numbers: a text spelling their start keeps the
    // matcher's states alive to the end of every name
    conn.Execute("create table 长名 (编号 int primary key, 名称 nvarchar(80))");
    for (long i = 1; i <= kRows; ++i) {
        conn.ExecuteWith("insert into 长名 values (?,?)", {Palvo::Value(static_cast<long long>(i)),
                                                           Palvo::Value(longName() + std::to_string(i))});
    }
    conn.CommitTrans();
    conn.Close();
    return path;
}

// Shows the window in memory controls and hands it to `play`, which acts on it
// as a script would, timing what it wants.
class PlayingHost : public Palvo::WindowHost {
public:
    std::function<void(Palvo::Window&, Palvo::memory::WindowFrame&)> play;

    void showModal(Palvo::Window& window) override {
        Palvo::memory::WindowFrame frame(window, window.layout());
        window.attach(&frame);
        window.Load();
        window.Activate();
        play(window, frame);
        frame.Close(Palvo::UnloadMode::CloseBox);
        window.Unload(frame.unloadMode());
        window.attach(nullptr);
        frame.detach();
    }
};

double filterSeconds(Palvo::Window& window, Palvo::memory::WindowFrame& frame, const std::string& typed) {
    const auto actions = Palvo::parseWindowScript("Combo1 = 名称\nTxt1 = " + typed);
    Palvo::PortHands hands(window, frame);
    for (const auto& a : actions) Palvo::playAction(window, frame, hands, a);
    const auto start = Clock::now();
    Palvo::playAction(window, frame, hands, Palvo::parseWindowScript("key F5").at(0));
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The session, measurer and playing window host of one benchmark, put back when it ends.
struct PickerSession {
    std::shared_ptr<PlayingHost> host = std::make_shared<PlayingHost>();
    Palvo::ScopedWindowHost guard{host};
    PickerSession() {
        static const std::string path = database();
        auto conn = std::make_shared<Palvo::sqlite::Connection>();
        conn->Open(path);
        Palvo::clsForm().mInit_Var("01", "一分公司", "001", "财务部", conn, "", 0);
        Palvo::installTextMeasurer(std::make_shared<Palvo::memory::FixedWidthMeasurer>());
    }
    PickerSession(const PickerSession&) = delete;
    PickerSession& operator=(const PickerSession&) = delete;
    ~PickerSession() {
        Palvo::installTextMeasurer(nullptr);
        Palvo::session() = Palvo::SessionContext{};
    }
};

void BM_PinyinFilterVsLike(benchmark::State& state) {
    PickerSession session;
    const auto& host = session.host;
    double like = 0;
    double first = 0;
    double pinyin = 0;
    int likeRows = 0;
    int pinyinRows = 0;
    const bool narrow = state.range(0) == 1;
    const std::string likeText = narrow ? "重庆市第1234" : "重庆市";
    const std::string pinyinText = narrow ? "cqsd1234" : "cqs";
    for (auto _ : state) {
        double p = 0;
        host->play = [&](Palvo::Window& window, Palvo::memory::WindowFrame& frame) {
            like += filterSeconds(window, frame, likeText);
            likeRows = dynamic_cast<Palvo::FlexGrid&>(frame.control("flx")).Rows();
            first += filterSeconds(window, frame, pinyinText);
            p = filterSeconds(window, frame, pinyinText);
            pinyinRows = dynamic_cast<Palvo::FlexGrid&>(frame.control("flx")).Rows();
        };
        Palvo::clsForm().sPopWindow("网点,编号");
        if (likeRows != pinyinRows || likeRows != (narrow ? 2 : 5001)) {
            state.SkipWithError("the pinyin and the LIKE filters list different rows");
            break;
        }
        pinyin += p;
        state.SetIterationTime(p);
    }
    if (state.iterations() > 0 && like > 0) {
        const auto n = static_cast<double>(state.iterations());
        state.counters["pinyin_ms"] = pinyin * 1000 / n;
        state.counters["first_pinyin_ms"] = first * 1000 / n;
        state.counters["like_ms"] = like * 1000 / n;
        state.counters["vs_like"] = pinyin / like;
    }
}
BENCHMARK(BM_PinyinFilterVsLike)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3);

// Long filters that no name reaches, typed into the picker on all 100,000 rows:
// range(0) letters of chongqingshi... on the branch names (12 characters at
// most), or range(0) 0 and 1: the initials (41 letters) and the full readings
// (about 160) of a long name's 40 polyphones with a wrong last letter, on the
// long names. Each answers with an empty list and no message.
void BM_LongPinyinFilter(benchmark::State& state) {
    PickerSession session;
    const auto& host = session.host;
    const bool longNames = state.range(1) == 1;
    std::string text;
    if (longNames) {
        text = longNameText(state.range(0) == 1);
    } else {
        while (text.size() < static_cast<std::size_t>(state.range(0))) text += "chongqingshi";
        text.resize(static_cast<std::size_t>(state.range(0)));
    }
    int rows = 0;
    for (auto _ : state) {
        double seconds = 0;
        host->play = [&](Palvo::Window& window, Palvo::memory::WindowFrame& frame) {
            seconds = filterSeconds(window, frame, text);
            rows = dynamic_cast<Palvo::FlexGrid&>(frame.control("flx")).Rows();
        };
        Palvo::clsForm().sPopWindow(longNames ? "长名,编号" : "网点,编号");
        if (rows != 2) {
            state.SkipWithError("a filter no name reaches listed rows");
            break;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["letters"] = static_cast<double>(text.size());
}
BENCHMARK(BM_LongPinyinFilter)
    ->Args({100, 0})
    ->Args({1000, 0})
    ->Args({2000, 0})
    ->Args({10000, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
