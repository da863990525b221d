#include "report_command.h"

#include <QGuiApplication>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <ostream>

#include "call_command.h"
#include "cli.h"
#include "palvo/print_layout.h"
#include "palvo/qt/printer.h"
#include "palvo/report_rows.h"
#include "palvo/spooled_grid.h"
#include "report_args.h"
#include "usage.h"

namespace Palvo::cli {

namespace {

struct ReportOptions {
    std::string db;
    std::string title;
    std::string top;
    std::string bottom;
    int paper = PaperCode::A4;
    int orientation = vbPRORPortrait;
    std::string out;
    std::string statement;
    std::vector<std::string> pageTotals;
    double offsetX = 0;  // twips
    double offsetY = 0;
};

constexpr double kTwipsPerMm = 1440 / 25.4;

// "金额,数量": the titles, none empty.
bool parseColumns(const std::string& text, std::vector<std::string>& columns) {
    columns.clear();
    for (std::size_t start = 0;;) {
        const auto comma = text.find(',', start);
        columns.push_back(text.substr(start, comma == std::string::npos ? comma : comma - start));
        if (columns.back().empty()) return false;
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

// "2.5,-1": millimetres right and down, as plain decimal numbers.
bool parseOffset(const std::string& text, double& x, double& y) {
    const auto comma = text.find(',');
    if (comma == std::string::npos) return false;
    const std::string parts[] = {text.substr(0, comma), text.substr(comma + 1)};
    double mm[2];
    for (int i = 0; i < 2; ++i) {
        const std::string& part = parts[i];
        if (part.empty() || part.find_first_not_of("+-.0123456789") != std::string::npos) return false;
        char* end = nullptr;
        mm[i] = std::strtod(part.c_str(), &end);
        if (end != part.c_str() + part.size() || !std::isfinite(mm[i])) return false;
    }
    x = mm[0] * kTwipsPerMm;
    y = mm[1] * kTwipsPerMm;
    return true;
}

bool parse(const std::vector<std::string>& args, ReportOptions& o) {
    ReportArgs r;
    if (!parseReportArgs(args, "pdf", syntaxOf("report pdf"), r)) {
        return false;
    }
    if (r.has("--page-totals") && !parseColumns(r.last("--page-totals"), o.pageTotals)) return false;
    if (r.has("--offset") && !parseOffset(r.last("--offset"), o.offsetX, o.offsetY)) return false;
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
std::string columnsBeyondNote(const ReportRows& grid, const std::vector<int>& beyond) {
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
        err << usageOf("report pdf");
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
        SpooledGrid grid;
        if (!fillReportGrid(o.db, o.statement, grid, err)) return 1;
        auto printer = qt::Printer::pdf(o.out);
        printer->PaperSize(o.paper);
        printer->Orientation(o.orientation);
        printer->Offset(o.offsetX, o.offsetY);
        ScopedPrinter printerGuard(printer);
        ScopedPrintRecordOptions optionsGuard(
            std::make_shared<PrintRecordOptions>(PrintRecordOptions{o.pageTotals}));
        printRows(grid, o.title, o.top, o.bottom);
        if (printer->jobsEnded() == 0) return 1;
        // the report keeps its layout: what does not fit across the paper is named, not scaled
        if (const std::vector<int> beyond = columnsBeyondPaper(grid, *printer); !beyond.empty())
            err << columnsBeyondNote(grid, beyond) << "\n";
        return 0;
    });
}

}  // namespace Palvo::cli
