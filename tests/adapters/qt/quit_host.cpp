// qt_quit_host WINDOW exec|return DIR: a host application with a window host installed for good, on
// the sample database in DIR, opens one library window, plays a few actions and quits through the event
// loop (exec) or by returning from main, the window host still holding the window (see qt_quit_test.cpp).
#include <QApplication>
#include <QTimer>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "palvo/clsForm.h"
#include "palvo/clsPrint.h"
#include "palvo/clsSearch.h"
#include "palvo/error.h"
#include "palvo/measure.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/msgbox.h"
#include "palvo/memory/spreadsheet.h"
#include "palvo/msgbox.h"
#include "palvo/qt/measure.h"
#include "palvo/qt/window_host.h"
#include "palvo/spreadsheet.h"
#include "palvo/window_script.h"
#include "sample_data.h"

namespace {

using namespace Palvo;

// Writes a token file: the progress window runs the job, no workbook is needed.
class TokenWriter : public SpreadsheetWriter {
public:
    void save(const Worksheet&, const std::string& path) override { std::ofstream(path) << "workbook"; }
};

// Prints a small grid to a spreadsheet through the progress window.
void printGrid(const std::string& dir) {
    auto desk = std::make_shared<memory::SpreadsheetDesk>();
    desk->saveTo = dir + "/report.xlsx";
    installSpreadsheetDesk(desk);
    installSpreadsheetWriter(std::make_shared<TokenWriter>());
    memory::FlexGrid grid;
    grid.FixedCols(0);
    grid.Rows(3);
    grid.TextMatrix(0, 0, "名称");
    grid.TextMatrix(1, 0, "甲");
    grid.TextMatrix(2, 0, "乙");
    clsPrint().sPrintComFlxData(grid, "标题", "上", "下");
}

using Dir = const std::string&;
struct Opening {
    const char* window;
    const char* script;
    void (*open)(Dir);
};

const Opening kOpenings[] = {
    {"picker", "Txt1 = 0\nkey Enter\nkey Down\n", [](Dir) { clsForm().sPopWindow("B_单位,单位编号"); }},
    {"finder", "Combo2 = 品名\nCombo3 = 包含\nText1 = 纸\nclick cmdAdd\n",
     [](Dir) { clsSearch().sFindStr("销售查询"); }},
    {"message", "click Command1\n",
     [](Dir) { clsForm().mSubMsg("保存失败", "insert into 客户 values ('1')"); }},
    {"settings", "select List2 5\nclick Command2\nselect List1 0\n",
     [](Dir) { clsSearch().sPrintSet("销售查询", "销售明细", "普通查询"); }},
    {"custom", "select List2 5\nclick Command14\ngrid MS 1 2 = 日期\ngrid MS 1 3 =  >= \n",
     [](Dir) { clsSearch().sPrintSet_Zdy("销售查询", "商品汇总", "自定义查询"); }},
    {"progress", "", printGrid},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: qt_quit_host WINDOW exec|return DIR\n";
        return 2;
    }
    const std::string window = argv[1];
    const std::string quit = argv[2];
    const std::string dir = argv[3];
    const Opening* opening = nullptr;
    for (const Opening& o : kOpenings)
        if (window == o.window) opening = &o;
    if (!opening || (quit != "exec" && quit != "return")) {
        std::cerr << "qt_quit_host: unknown window or way to quit\n";
        return 2;
    }
    QApplication app(argc, argv);
    try {
        auto conn = sample::openSampleDatabase(dir + "/sample.db");
        clsForm().mInit_Var("00", "总公司", "01", "销售部", conn, "", 50, "Palvo", sample::kSampleUser);
        installTextMeasurer(std::make_shared<qt::FontMeasurer>());
        auto messages = std::make_shared<memory::ScriptedMessageBox>();
        installMessageBox(messages);
        // installed for good, as a host application does: nothing releases it before the application goes
        auto host = std::make_shared<qt::WindowHost>(
            std::make_shared<WindowScript>(parseWindowScript(opening->script)), messages);
        installWindowHost(host);
        opening->open(dir);
        if (host->lastDialog() == nullptr) {
            std::cerr << "qt_quit_host: no window was shown\n";
            return 3;
        }
    } catch (const Error& e) {
        std::cerr << "qt_quit_host: " << e.description() << "\n";
        return 1;
    }
    if (quit == "return") return 0;
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return QApplication::exec();
}
