// Eight threads, each with its own session and embedded database, run forms, grids, query settings,
// printed and spreadsheet reports and the windows of the memory host side by side for a few seconds;
// nothing one thread does may show in another's session, windows, sort direction, progress texts or
// results. The tsan preset runs this under ThreadSanitizer.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "palvo/clsDatabase.h"
#include "palvo/clsForm.h"
#include "palvo/clsGrid.h"
#include "palvo/clsPrint.h"
#include "palvo/clsSearch.h"
#include "palvo/error.h"
#include "palvo/host_tables.h"
#include "palvo/measure.h"
#include "palvo/memory/form.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/measure.h"
#include "palvo/memory/msgbox.h"
#include "palvo/memory/printer.h"
#include "palvo/memory/spreadsheet.h"
#include "palvo/memory/window_host.h"
#include "palvo/msgbox.h"
#include "palvo/session.h"
#include "palvo/sqlite/connection.h"
#include "palvo/window.h"
#include "palvo/window_script.h"
#include "src/print/frm_load_record.h"

namespace Palvo {
namespace {

constexpr int kThreads = 8;
constexpr auto kRunFor = std::chrono::seconds(3);

// Keeps the texts of the workbook a report saves instead of writing a file.
class SheetCapture : public SpreadsheetWriter {
public:
    std::vector<std::string> texts;
    void save(const Worksheet& sheet, const std::string&) override {
        texts.clear();
        sheet.walk([this](int, const std::vector<SheetCell>& cells) {
            for (const SheetCell& c : cells)
                if (c.value && c.value->kind == SheetValue::Kind::Text) texts.push_back(c.value->text);
        });
    }
};

// One thread's work. Every text it writes or expects carries its tag, so a
// value from another thread shows as a failure.
class Worker {
public:
    explicit Worker(int id)
        : id_(id), tag_("T" + std::to_string(id)), unit_("0" + std::to_string(id)), column_("列" + tag_) {}

    void run(const std::atomic<bool>& stop) {
        try {
            setUp();
            while (!stop.load() || rounds_ == 0) {
                ++rounds_;
                form();
                grid();
                windows();
                settings();
                reports();
                check(session().Dwbh == unit_ && session().sUser == "用户" + tag_, "the session changed");
            }
        } catch (const std::exception& e) {
            failures_.push_back(tag_ + " threw: " + e.what());
        }
        installSpreadsheetWriter(nullptr);
        installSpreadsheetDesk(nullptr);
        session() = SessionContext{};
    }

    int rounds() const { return rounds_; }
    const std::vector<std::string>& failures() const { return failures_; }

private:
    void check(bool ok, const std::string& what) {
        if (!ok && failures_.size() < 5)
            failures_.push_back(tag_ + " round " + std::to_string(rounds_) + ": " + what);
    }

    void setUp() {
        conn_ = std::make_shared<sqlite::Connection>();
        conn_->Open(":memory:");
        data::createHostTables(*conn_);
        clsForm().mInit_Var(unit_, "单位" + tag_, "001", "部门", conn_, "", 50, "标题" + tag_, "用户" + tag_);
        clsForm().mInit_Form();
        installTextMeasurer(std::make_shared<memory::FixedWidthMeasurer>());
        desk_->saveTo =
            (std::filesystem::temp_directory_path() / ("palvo-stress-" + tag_ + ".xlsx")).string();
        installSpreadsheetWriter(sheets_);
        installSpreadsheetDesk(desk_);
        conn_->Execute(
            "create table 客户 (编号 int, 名称 nvarchar(20), 金额 decimal(10,2), 日期 datetime, [" + column_ +
            "] int)");
        conn_->Execute(
            "create table 货物 (编号 varchar(10) primary key, 名称 nvarchar(20) not null, 数量 "
            "decimal(10,2))");
        // a different number of customers in each thread: 101..103 in thread 1, 801..810 in thread 8
        for (int n = 1; n <= id_ + 2; ++n)
            conn_->Execute("insert into 客户 values (" + std::to_string(id_ * 100 + n) + ", N'" + tag_ +
                           "客户" + std::to_string(n) + "', " + std::to_string(n) + ", '2024-01-0" +
                           std::to_string(n % 9 + 1) + "', 0)");
    }

    // Validation and saving of an entry form.
    void form() {
        clsForm f;
        memory::Form goods("frm货物", {{"2编号", "", ""}, {"2名称", "", ""}, {"2数量", "", ""}});
        check(f.sInitForm(goods).empty(), "sInitForm");
        std::vector<std::string> types;
        std::vector<std::int16_t> lengths, scales;
        check(f.sInitFieldProp(goods, "货物", types, lengths, scales).empty(), "sInitFieldProp");
        f.mAddNew(goods);  // the boxes open for a new record
        const std::string code = tag_ + "-" + std::to_string(rounds_);
        auto fill = [&](const std::string& quantity) {
            goods.text(0).Text(code);
            goods.text(1).Text("货物" + tag_);
            goods.text(2).Text(quantity);
            return f.sCheckData(goods, types, lengths, "0,", "", "货物", {}, false);
        };
        const std::string refused = fill("三");
        check(refused == "请填入数值！", "a quantity that is no number: " + refused);
        const std::string taken = fill(std::to_string(id_));
        check(taken.empty(), "a valid record: " + taken);
        conn_->Execute("insert into 货物 (" + f.sGetAddNewStr(goods, types) + ") values (" +
                       f.sGetAddNewStr(goods, types, "VALUE") + ")");
        const auto t = conn_->Query("select count(*), min(名称), max(名称), sum(数量) from 货物");
        check(t.at(0, 0).toText() == std::to_string(rounds_) && t.at(0, 1).toText() == "货物" + tag_ &&
                  t.at(0, 2).toText() == "货物" + tag_ &&
                  t.at(0, 3).toText() == std::to_string(id_ * rounds_),
              "the saved goods are not this thread's");
    }

    // A grid fill and the sort direction that alternates per thread.
    void grid() {
        clsGrid g;
        memory::FlexGrid flx;
        check(g.sFillTable("select 编号, 名称 from 客户", flx).empty(), "sFillTable");
        check(flx.Rows() == id_ + 3, "the grid has another thread's row count");
        for (int r = 1; r < flx.Rows(); ++r)
            check(flx.TextMatrix(r, 2).rfind(tag_ + "客户", 0) == 0, "a grid row of another thread");
        g.mMsHorder(flx, 1);
        ascending_ = !ascending_;
        const int first = std::stoi(flx.TextMatrix(1, 1));
        check(first == id_ * 100 + (ascending_ ? 1 : id_ + 2), "the sort direction of another thread");
    }

    // The windows of the memory host, each played by a script of this thread.
    template <class Call>
    memory::WindowHost& show(const std::string& script, Call call) {
        host_ = std::make_shared<memory::WindowHost>(
            std::make_shared<WindowScript>(parseWindowScript(script)), messages_);
        const auto previous = installWindowHost(host_);
        call();
        installWindowHost(previous);
        return *host_;
    }

    void windows() {
        ScopedMessageBox box(messages_);
        std::string picked;
        show("dblclick flx", [&] { picked = clsForm().sPopWindow("客户,编号"); });
        check(picked == std::to_string(id_ * 100 + 1), "the picker chose " + picked);

        std::string clause;
        show("Text1 = " + tag_ + "\nclick cmdAdd\nclick cmdOk",
             [&] { clause = clsSearch().sFindStr("客户"); });
        check(clause == " where ( 名称='" + tag_ + "' )", "the find window gave " + clause);

        auto& msg = show("", [&] { clsForm().mSubMsg("错误" + tag_, "明细" + tag_); });
        auto& frame = msg.last();
        check(frame.get<memory::TextBox>("Text1").Text() == "错误" + tag_ &&
                  frame.get<memory::TextBox>("Text2").Text() == "明细" + tag_,
              "the message window shows another thread's text");
        check(messages_->messages().empty(), "a message box came up");
    }

    // Query settings saved through the print settings and custom query dialogs, read back.
    void settings() {
        ScopedMessageBox box(messages_);
        const std::string query = "月报" + std::to_string(rounds_ % 3);
        show("click Command7", [&] { clsSearch().sPrintSet("客户", query, "普通查询"); });
        const std::string fields = clsDatabase().sGetField("客户", "普通查询", query);
        check(fields == "名称,金额,日期," + column_, "print settings read back as " + fields);
        show("grid MS 1 2 = 名称\ngrid MS 1 3 =  = \ngrid MS 1 4 = " + tag_ + "\nclick Command7",
             [&] { clsSearch().sPrintSet_Zdy("客户", query, "自定义查询"); });
        const auto t = conn_->Query("select count(*) from 查询打印设置 where 查询名 = '" + query + "'");
        check(t.at(0, 0).toText() != "0", "the custom query was not saved");
        const std::string custom = clsDatabase().sGetField("客户", "自定义查询", query);
        check(custom == "编号,名称,金额,日期," + column_, "custom query settings read back as " + custom);
        check(messages_->messages().empty(), "a message box came up");
    }

    // The customers' names among texts: all of this thread's, none of another's.
    void ownCustomers(const std::vector<std::string>& texts, const std::string& where) {
        int own = 0;
        for (const std::string& t : texts) {
            if (t.find("客户") == std::string::npos) continue;
            const bool mine = t.rfind(tag_ + "客户", 0) == 0;
            own += mine;
            check(mine, where + " shows another thread's " + t);
        }
        check(own == id_ + 2, where + " shows " + std::to_string(own) + " customers");
    }

    // A printed report on the recording printer, then one of the two
    // spreadsheet reports, whose progress window must show its own texts only.
    void reports() {
        ScopedMessageBox box(messages_);
        memory::FlexGrid flx;
        check(clsGrid().sFillTable("select 编号, 名称 from 客户", flx).empty(), "sFillTable");

        auto printer =
            std::make_shared<memory::RecordingPrinter>(std::make_shared<memory::FixedWidthMeasurer>());
        {
            ScopedPrinter guard(printer);
            clsPrint().mPrintRecord(flx, "清单" + tag_);
        }
        check(printer->jobs().size() == 1, "the printed report was not printed once");
        check(messages_->messages() ==
                  std::vector<memory::ShownMessage>{{"数据已送至打印机！", vbExclamation, session().sMsg}},
              "the printed report's message is not its own");
        messages_->clear();
        if (printer->jobs().size() == 1) {
            const std::vector<std::string> printed = printer->jobs()[0].texts(1);
            check(std::find(printed.begin(), printed.end(), "清单" + tag_) != printed.end(),
                  "the printed report lost its title");
            ownCustomers(printed, "the printed report");
        }

        const bool composite = (id_ + rounds_) % 2 == 0;
        const std::string title = "报表" + tag_;
        show("", [&] {
            if (composite)
                clsPrint().sPrintComFlxData(flx, title);
            else
                clsPrint().sReportGridtoExcel(title, flx);
        });
        const std::vector<std::string> expected =
            composite
                ? std::vector<std::string>{"正在生成excel报表,请稍候....", "正在设置表头格式,请稍候....",
                                           "正在提取数据,请稍候....", "正在进行格式设置,请稍候...."}
                : std::vector<std::string>{"正在生成 Excel 报表，请等待....."};
        check(print::frmLoadRecordWindow().shownTexts() == expected,
              "the progress window showed other texts");
        check(!desk_->opened.empty() && desk_->opened.back() == desk_->saveTo, "the workbook was not opened");
        desk_->opened.clear();
        check(!sheets_->texts.empty() && sheets_->texts.front() == title,
              "the workbook's title is not this thread's");
        ownCustomers(sheets_->texts, "the workbook");
        check(messages_->messages().empty(), "a message box came up");
    }

    int id_;
    std::string tag_, unit_, column_;
    std::shared_ptr<sqlite::Connection> conn_;
    std::shared_ptr<memory::ScriptedMessageBox> messages_ = std::make_shared<memory::ScriptedMessageBox>();
    std::shared_ptr<memory::WindowHost> host_;
    std::shared_ptr<SheetCapture> sheets_ = std::make_shared<SheetCapture>();
    std::shared_ptr<memory::SpreadsheetDesk> desk_ = std::make_shared<memory::SpreadsheetDesk>();
    bool ascending_ = false;  // mMsHorder starts each thread descending-to-ascending
    int rounds_ = 0;
    std::vector<std::string> failures_;
};

TEST(Stress, EightSessionsSideBySideKeepTheirOwnState) {
    std::vector<std::unique_ptr<Worker>> workers;
    for (int i = 1; i <= kThreads; ++i) workers.push_back(std::make_unique<Worker>(i));
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (auto& w : workers) threads.emplace_back([&stop, &w] { w->run(stop); });
    std::this_thread::sleep_for(kRunFor);
    stop = true;
    for (auto& t : threads) t.join();
    std::string rounds;
    for (const auto& w : workers) {
        rounds += " " + std::to_string(w->rounds());
        EXPECT_GT(w->rounds(), 0);
        for (const std::string& f : w->failures()) ADD_FAILURE() << f;
    }
    RecordProperty("rounds", rounds);  // per thread, for the record of a run
}

}  // namespace
}  // namespace Palvo
