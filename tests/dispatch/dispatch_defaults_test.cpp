// The late-bound tables repeat the optional parameters' defaults of the class
// headers. Each method with an optional parameter is called both ways with
// the optional arguments left out; what it returns and what it did (the
// statements it sent, the session it set, the ports it called) must agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "forms/forms_fixture.h"
#include "palvo/clsDatabase.h"
#include "palvo/clsElse.h"
#include "palvo/clsForm.h"
#include "palvo/clsFunction.h"
#include "palvo/clsGrid.h"
#include "palvo/clsIp.h"
#include "palvo/clsPrint.h"
#include "palvo/clsSearch.h"
#include "palvo/dispatch.h"
#include "palvo/executor.h"
#include "palvo/grid.h"
#include "palvo/measure.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/measure.h"
#include "palvo/memory/window_host.h"
#include "palvo/spreadsheet.h"
#include "src/dispatch/dispatch.h"

namespace Palvo {
namespace {

// Records what reaches it: the timeouts and the state it was left in.
class ProbeConnection : public Connection {
public:
    std::string backendName() const override { return "probe"; }

protected:
    void doOpen(const std::string&, const std::string&, const std::string&) override {}
    void doClose() noexcept override {}
    long doExecute(const std::string&, const std::vector<Value>&) override { return 0; }
    ResultTable doQuery(const std::string&) override { return {}; }
    void doBegin() override {}
    void doCommit() override {}
    void doRollback() override {}
};

class RecordingExecutor : public LineExecutor {
public:
    bool executeLine(const std::string& code, bool checkOnly, std::string&) override {
        calls += code + (checkOnly ? ":check;" : ":run;");
        return true;
    }
    std::string calls;
};

std::string sessionLook() {
    const auto& s = session();
    std::string r;
    for (auto v :
         {s.lF_BackColor, s.lF_ForColor, s.lF_Width, s.lF_Height, s.lT_BackColor_Notnull, s.lT_Appearence,
          s.lT_FontSize, s.lT_ForeColor, s.lL_forColor_Select, s.lL_FontSize, s.lL_ForeColor}) {
        r += std::to_string(v) + ",";
    }
    return r + std::to_string(s.bT_FontBold) + std::to_string(s.bL_FontBold);
}

// Every text a window showed: its caption, boxes, labels and grid cells.
std::string shownTexts(memory::WindowFrame& frame) {
    std::string r = frame.Caption();
    for (Control* c : frame.Controls()) {
        r += "|" + c->Name() + "=";
        if (auto* box = dynamic_cast<TextBox*>(c)) r += box->Text();
        if (auto* label = dynamic_cast<Label*>(c)) r += label->Caption();
        if (auto* list = dynamic_cast<ListControl*>(c)) r += list->Text();
        if (auto* grid = dynamic_cast<FlexGrid*>(c)) {
            for (int row = 0; row < grid->Rows(); ++row) {
                for (int col = 0; col < grid->Cols(); ++col) r += grid->TextMatrix(row, col) + ",";
            }
        }
    }
    return r;
}

// Records the page setup and extent of each sheet a report writes.
class SheetProbe : public SpreadsheetWriter {
public:
    void save(const Worksheet& sheet, const std::string&) override {
        const PageSetup& p = sheet.PageSetup();
        log += "sheet " + std::to_string(sheet.lastRow()) + "x" + std::to_string(sheet.lastCol()) + " " +
               std::to_string(p.Orientation) + " " + std::to_string(p.CenterHorizontally) + " " +
               p.LeftHeader + "|" + p.LeftFooter + " " + p.PrintTitleRows + " merges " +
               std::to_string(sheet.merges().size());
    }
    std::string log;
};

class DispatchDefaults : public testing::FormsTest {
protected:
    void SetUp() override {
        FormsTest::SetUp();
        exec({"create table 客户 (编号 int, 名称 nvarchar(20))", "insert into 客户 values (7, 'A')"});
        executor = std::make_shared<RecordingExecutor>();
        installLineExecutor(executor);
        installConnectionFactory([this] { return probe = std::make_shared<ProbeConnection>(); });
        installTextMeasurer(std::make_shared<memory::FixedWidthMeasurer>());
        installSpreadsheetWriter(sheets);
        installSpreadsheetDesk(std::make_shared<PreviewDesk>());
    }
    void TearDown() override {
        installLineExecutor(nullptr);
        installConnectionFactory(nullptr);
        installTextMeasurer(nullptr);
        installSpreadsheetWriter(nullptr);
        installSpreadsheetDesk(nullptr);
        FormsTest::TearDown();
    }

    // The result (or the error) followed by everything the call left behind,
    // from emptied recorders and a session look unlike the defaults.
    std::string observe(const std::function<std::string()>& call) {
        counting->reset();
        executor->calls.clear();
        sheets->log.clear();
        probe.reset();
        // windows open and close at once; what they showed is part of what the call did
        auto windows = std::make_shared<memory::WindowHost>();
        ScopedWindowHost host(windows);
        form.mInit_Form(1, 2, 3, 4, 5, 6, 7, true, 8, 9, 10, true, 11);  // no default survives by chance
        std::string r;
        try {
            r = call();
        } catch (const Error& e) {
            r = "error " + std::to_string(e.number()) + ": " + e.description();
        }
        for (const auto& q : counting->queries) r += "\nquery " + q;
        for (const auto& x : counting->executes) r += "\nexecute " + x;
        r += "\nlook " + sessionLook();
        r += "\nexecutor " + executor->calls;
        r += "\n" + sheets->log;
        for (const auto& frame : windows->shown()) r += "\nwindow " + shownTexts(*frame);
        if (probe) {
            r += "\nprobe " + std::to_string(probe->ConnectionTimeout()) + "," +
                 std::to_string(probe->CommandTimeout()) + "," + std::to_string(probe->State());
        }
        return r;
    }

    // Saves nowhere: the editable workbook goes to no file and opens nothing.
    struct PreviewDesk : SpreadsheetDesk {
        std::string savePath(const std::string&) override { return "/dev/null"; }
    };

    std::shared_ptr<RecordingExecutor> executor;
    std::shared_ptr<ProbeConnection> probe;
    std::shared_ptr<SheetProbe> sheets = std::make_shared<SheetProbe>();
};

TEST_F(DispatchDefaults, EveryTableDefaultIsTheClassHeaderDefault) {
    struct Check {
        std::vector<std::optional<std::string>> required;
        std::function<std::string()> direct;
        bool stableResult = true;
    };
    clsDatabase db;
    clsForm frm;
    clsFunction fn;
    clsIp ip;
    clsElse other;
    std::string date = "2024-3-5", code = "x = 1";  // by-reference arguments, neither changed by the call
    const std::string rows = "select 编号, 名称 from 客户";
    // A report of a grid filled as a call by name fills it.
    const auto report = [&](const std::function<std::string(FlexGrid&)>& print) {
        memory::FlexGrid g;
        clsGrid().sFillTable(rows, g);
        return print(g);
    };
    const std::map<std::string, Check> checks = {
        {"clsDatabase.bConnect_Test",
         {{"host", "sa", "pw", "db"},
          [&] { return Value(db.bConnect_Test("host", "sa", "pw", "db")).toText(); }}},
        {"clsDatabase.sServerTime", {{}, [&] { return db.sServerTime(); }, false}},
        {"clsDatabase.sGetFieldValue", {{"客户", "名称"}, [&] { return db.sGetFieldValue("客户", "名称"); }}},
        {"clsDatabase.sSetFieldValue",
         {{"客户", "名称", "B"}, [&] { return db.sSetFieldValue("客户", "名称", "B"); }}},
        {"clsDatabase.sNextId", {{"客户", "4"}, [&] { return db.sNextId("客户", 4); }}},
        {"clsDatabase.sGetField", {{"客户", "普通查询"}, [&] { return db.sGetField("客户", "普通查询"); }}},
        // a Sub returns nothing, as a call by name does
        {"clsForm.mInit_Form", {{}, [&] { return frm.mInit_Form(), std::string(); }}},
        {"clsForm.mSubMsg", {{"出错了"}, [&] { return frm.mSubMsg("出错了"), std::string(); }}},
        {"clsForm.sPopWindow", {{"客户,编号"}, [&] { return frm.sPopWindow("客户,编号"); }}},
        {"clsForm.sKeepSql",
         {{"frm", "select 1", "客户", "00"}, [&] { return frm.sKeepSql("frm", "select 1", "客户", "00"); }}},
        {"clsSearch.sFindStr", {{"客户"}, [&] { return clsSearch().sFindStr("客户"); }}},
        // the settings set of query name "" is seeded below, so neither call seeds it
        {"clsSearch.sPrintSet",
         {{"客户", "", "普通查询"}, [&] { return clsSearch().sPrintSet("客户", "", "普通查询").toText(); }}},
        {"clsSearch.sPrintSet_Zdy",
         {{"客户", "", "普通查询"},
          [&] { return clsSearch().sPrintSet_Zdy("客户", "", "普通查询").toText(); }}},
        {"clsPrint.sReportGridtoExcel",
         {{"标题", rows},
          [&] { return report([](FlexGrid& g) { return clsPrint().sReportGridtoExcel("标题", g); }); }}},
        {"clsPrint.sPrintComFlxData",
         {{rows, "标题"},
          [&] { return report([](FlexGrid& g) { return clsPrint().sPrintComFlxData(g, "标题"); }); }}},
        {"clsFunction.sUserDate", {{"2024-3-5"}, [&] { return fn.sUserDate(date); }}},
        {"clsIp.GetLocalIPAddress", {{}, [&] { return ip.GetLocalIPAddress().toText(); }}},
        {"clsElse.bExecuteCode", {{"x = 1"}, [&] { return Value(other.bExecuteCode(code)).toText(); }}},
    };

    db.sGetField("客户", "普通查询");  // seeds the settings set, so both calls only read it

    std::set<std::string> withDefaults;
    for (const auto* table : dispatch::classTables())
        for (const auto& m : table->methods)
            if (std::ranges::any_of(m.params, [](const auto& p) { return p.optional; }))
                withDefaults.insert(std::string(table->name) + "." + m.name);
    std::set<std::string> checked;
    for (const auto& [name, check] : checks) checked.insert(name);
    // A method that gains an optional parameter needs a line above.
    EXPECT_EQ(withDefaults, checked);

    for (const auto& [name, check] : checks) {
        const auto dot = name.find('.');
        std::string byName = observe([&, &name = name, &check = check] {
            return callByName(name.substr(0, dot), name.substr(dot + 1), check.required).result.toText();
        });
        std::string direct = observe(check.direct);
        if (!check.stableResult) {  // the clock may tick between the calls
            byName.erase(0, byName.find('\n'));
            direct.erase(0, direct.find('\n'));
        }
        EXPECT_EQ(byName, direct) << name;
    }
}

}  // namespace
}  // namespace Palvo
