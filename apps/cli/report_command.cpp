#include "report_command.h"

#include <QGuiApplication>
#include <cstdlib>
#include <memory>
#include <ostream>

#include "call_command.h"
#include "cli.h"
#include "palvo/clsForm.h"
#include "palvo/clsGrid.h"
#include "palvo/clsPrint.h"
#include "palvo/error.h"
#include "palvo/memory/grid.h"
#include "palvo/qt/printer.h"
#include "palvo/session.h"

namespace Palvo::cli {

namespace {

const char* kReportUsage =
    "usage: palvo report pdf --db FILE --title TITLE [--top TEXT] [--bottom TEXT]\n"
    "                        [--paper A4|B5|10x11] [--landscape] --out FILE.pdf STATEMENT\n"
    "  prints the rows of a query as a paged report (running numbers in the first column)\n"
    "  into a PDF file; messages print as [TITLE] TEXT, and the exit status is 1 when the\n"
    "  report did not print.\n";

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

// "--x" is an option; "-- comment\nselect ..." is a statement that starts with a comment.
bool looksLikeOption(const std::string& a) {
    return a.size() > 2 && a.rfind("--", 0) == 0 && a.find_first_of(" \t\r\n") == std::string::npos;
}

bool parse(const std::vector<std::string>& args, ReportOptions& o) {
    if (args.size() < 2 || args[1] != "pdf") return false;
    bool titled = false;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool valued = a == "--db" || a == "--title" || a == "--top" || a == "--bottom" ||
                            a == "--paper" || a == "--out";
        if (valued && i + 1 < args.size()) {
            const std::string& v = args[++i];
            if (a == "--db") o.db = v;
            if (a == "--title") {
                o.title = v;
                titled = true;
            }
            if (a == "--top") o.top = v;
            if (a == "--bottom") o.bottom = v;
            if (a == "--out") o.out = v;
            if (a == "--paper") {
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
        } else if (a == "--landscape") {
            o.orientation = vbPRORLandscape;
        } else if (o.statement.empty() && !valued && !looksLikeOption(a)) {
            o.statement = a;
        } else {
            return false;
        }
    }
    return titled && !o.db.empty() && !o.out.empty() && !o.statement.empty();
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

}  // namespace

int runReport(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
    ReportOptions o;
    if (!parse(args, o)) {
        err << kReportUsage;
        return 2;
    }
    try {
        const auto app = guiApplication();
        auto box = std::make_shared<PrintingMessageBox>(err);
        ScopedMessageBox boxGuard(box);
        clsForm().mInit_Var("", "", "", "", openConnection({o.db, ""}), "");
        memory::FlexGrid grid;
        const std::string filled = clsGrid().sFillTable(o.statement, grid, false, 0, "", true);
        session().oConn.reset();
        if (!filled.empty() && filled != "0") {
            err << "palvo: " << filled << "\n";
            return 1;
        }
        auto printer = qt::Printer::pdf(o.out);
        printer->PaperSize(o.paper);
        printer->Orientation(o.orientation);
        ScopedPrinter printerGuard(printer);
        clsPrint().mPrintRecord(grid, o.title, o.top, o.bottom);
        return printer->jobsEnded() > 0 ? 0 : 1;
    } catch (const Error& e) {
        err << "error " << e.number() << ": " << e.description() << "\n";
    } catch (const std::exception& e) {
        err << "error 51: " << e.what() << "\n";
    }
    session().oConn.reset();
    return 1;
}

}  // namespace Palvo::cli
