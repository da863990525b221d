#include "report_command.h"

#include <QGuiApplication>
#include <cstdlib>
#include <memory>
#include <ostream>

#include "call_command.h"
#include "cli.h"
#include "palvo/clsPrint.h"
#include "palvo/memory/grid.h"
#include "palvo/print_layout.h"
#include "palvo/qt/printer.h"
#include "report_args.h"

namespace Palvo::cli {

namespace {

const char* kReportUsage =
    "usage: palvo report pdf --db FILE --title TITLE [--top TEXT] [--bottom TEXT]\n"
    "                        [--paper A4|B5|10x11] [--landscape] --out FILE.pdf STATEMENT\n"
    "  prints the rows of a query as a paged report (running numbers in the first column)\n"
    "  into a PDF file; messages print as [TITLE] TEXT, and the exit status is 1 when the\n"
    "  report did not print (FILE.pdf is then as it was). FILE must exist.\n";

struct ReportOptions {
    std::string db;
    std::string title;
    std::string top;
    std::string bottom;
    int paper = PaperCode::A4;
    int orientation = vbPRORPortrait;
    std::string out;
    std::string statement;
};

bool parse(const std::vector<std::string>& args, ReportOptions& o) {
    ReportArgs r;
    if (!parseReportArgs(args, "pdf", {"--db", "--title", "--top", "--bottom", "--paper", "--out"},
                         {"--landscape"}, r)) {
        return false;
    }
    o.db = r.last("--db");
    o.title = r.last("--title");
    o.top = r.last("--top");
    o.bottom = r.last("--bottom");
    o.out = r.last("--out");
    o.statement = r.statement;
    if (r.flag("--landscape")) o.orientation = vbPRORLandscape;
    if (r.has("--paper")) {
        for (const std::string& v : r.values.at("--paper")) {
            if (v == "A4") {
                o.paper = PaperCode::A4;
            } else if (v == "B5") {
                o.paper = PaperCode::B5;
            } else if (v == "10x11") {
                o.paper = PaperCode::Fanfold10x11;
            } else {
                return false;
            }
        }
    }
    return r.has("--title") && !o.db.empty() && !o.out.empty() && !o.statement.empty();
}

// A batch command needs no display: fonts and the PDF writer work offscreen.
std::unique_ptr<QGuiApplication> guiApplication() {
    if (QGuiApplication::instance()) return nullptr;
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "palvo";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

// "palvo: 2 columns do not fit ...: 备注 (column 8), 地址 (column 9)", counting 序号 as column 1.
std::string columnsBeyondNote(const FlexGrid& grid, const std::vector<int>& beyond) {
    std::string note = "palvo: " + std::to_string(beyond.size()) +
                       (beyond.size() == 1 ? " column does" : " columns do") +
                       " not fit the paper's width (the report is not scaled): ";
    for (std::size_t i = 0; i < beyond.size(); ++i) {
        if (i > 0) note += ", ";
        note += grid.TextMatrix(0, beyond[i]) + " (column " + std::to_string(beyond[i] + 1) + ")";
    }
    return note;
}

}  // namespace

int runReport(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
    ReportOptions o;
    if (!parse(args, o)) {
        err << kReportUsage;
        return 2;
    }
    if (const std::string refused = refusedFiles(o.db, o.out); !refused.empty()) {
        err << refused << "\n";
        return 1;
    }
    const SignalCleanup cleanup;
    return runGuarded(err, [&] {
        const auto app = guiApplication();
        auto box = std::make_shared<PrintingMessageBox>(err, nullptr, MessageWindows::Print);
        ScopedMessageBox boxGuard(box);
        memory::FlexGrid grid;
        if (!fillReportGrid(o.db, o.statement, grid, err)) return 1;
        auto printer = qt::Printer::pdf(o.out);
        printer->PaperSize(o.paper);
        printer->Orientation(o.orientation);
        ScopedPrinter printerGuard(printer);
        clsPrint().mPrintRecord(grid, o.title, o.top, o.bottom);
        if (printer->jobsEnded() == 0) return 1;
        // the report keeps its layout: what does not fit across the paper is named, not scaled
        if (const std::vector<int> beyond = columnsBeyondPaper(grid, *printer); !beyond.empty())
            err << columnsBeyondNote(grid, beyond) << "\n";
        return 0;
    });
}

}  // namespace Palvo::cli
