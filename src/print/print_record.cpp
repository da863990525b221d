#include "src/print/print_record.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "palvo/error.h"
#include "palvo/msgbox.h"
#include "palvo/session.h"
#include "src/base/conversions.h"

namespace Palvo::print {

namespace {

constexpr double kRuleRoom = 10;  // a thin rule's thickness in twips

// The report's own stops: each ends it with its message and prints nothing.
struct Stopped {};

void stop(const std::string& message) {
    msgBox(message, vbExclamation, session().sMsg);
    throw Stopped{};
}

std::int16_t rowsPerPage(Printer& p) {
    if (auto rows = tableRowsPerPage(p.PaperSize(), p.Orientation())) return *rows;
    if (msgBox("打印机纸型设置错误，只支持 A4,B5,10*11(普通孔纸) 三种纸型，继续吗？", vbYesNo + vbExclamation,
               session().sMsg) == vbNo) {
        throw Stopped{};
    }
    const std::int16_t rows = computedRowsPerPage(p.ScaleHeight(), p.TextHeight("a"));
    if (rows <= 0) stop("打印纸高度太小！");
    return rows;
}

void printCentred(Printer& p, const std::string& text, bool clampLeft) {
    const double x = (p.ScaleWidth() - p.TextWidth(text)) / 2;
    p.CurrentX(clampLeft ? std::max(0.0, x) : x);
}

// Where the table's rows fall: the rule under the heading, a row's pitch and
// line, and the first data row of every page (then one past the last row).
struct Pages {
    double body = 0;
    double pitch = 0;
    double line = 0;
    std::vector<int> firsts;
};

// One page: title, time line, Topstr, the heading between two rules, the page's
// rows each under its rule, BotStr on the last page, and the page foot. A row
// with a cell of several lines is as much taller as its tallest cell's extra lines.
void printPage(Printer& p, FlexGrid& flx, const std::string& title, const std::string& topStr,
               const std::string& botStr, const TableMeasure& table, const Pages& pages, int page) {
    const double pw = p.ScaleWidth();
    const double margin = p.TextWidth("aaa");
    const int cols = flx.Cols();
    const int count = static_cast<int>(pages.firsts.size()) - 1;

    flx.Col(0);
    p.FontSize(2.0 * static_cast<double>(flx.CellFontSize()));
    printCentred(p, title, false);
    p.CurrentY(p.TextHeight("a"));
    p.Print(title);

    p.FontSize(kBodyFontSize);
    const std::string time = timeLine(DateTime::now());
    printCentred(p, time, true);
    p.CurrentY(p.CurrentY() + 100);
    p.Print(time);

    p.CurrentX(margin);
    p.CurrentY(p.CurrentY() + 100);
    p.Print(topStr);

    p.CurrentY(p.CurrentY() + 100);
    p.Line(margin, p.CurrentY(), pw - margin, p.CurrentY());

    p.CurrentY(p.CurrentY() + 100);
    const double headingTop = p.CurrentY();
    for (int c = 0; c < cols; ++c) {
        p.CurrentX(table.lefts[static_cast<std::size_t>(c)]);
        p.CurrentY(headingTop);
        p.Print(flx.TextMatrix(0, c));
    }
    p.Line(margin, pages.body, pw - margin, pages.body);
    p.DrawWidth(1);  // thin from here on, the heading rules of later pages too

    double top = pages.body + 50;
    for (int row = pages.firsts[static_cast<std::size_t>(page - 1)];
         row < pages.firsts[static_cast<std::size_t>(page)]; ++row) {
        for (int c = 0; c < cols; ++c) {
            p.CurrentX(table.lefts[static_cast<std::size_t>(c)]);
            p.CurrentY(top);
            p.Print(flx.TextMatrix(row, c));
        }
        const int lines = table.lines[static_cast<std::size_t>(row)];
        const double rule = top + lines * pages.line + 50;
        p.Line(margin, rule, pw - margin, rule);
        top += pages.pitch + (lines - 1) * pages.line;
    }

    if (page == count) {
        p.CurrentX(margin);
        p.CurrentY(p.CurrentY() + 50);
        p.Print(botStr);
    }

    const std::string foot = pageFoot(page, count);
    printCentred(p, foot, false);
    p.CurrentY(p.ScaleHeight() - 300);
    p.Print(foot);
    p.NewPage();
}

// The height of the rule under the heading, as printPage places it (the
// heading's tallest cell above it), in the body font.
double tableTop(Printer& p, FlexGrid& flx, const std::string& title, const std::string& topStr) {
    flx.Col(0);
    p.FontSize(2.0 * static_cast<double>(flx.CellFontSize()));
    double y = p.TextHeight("a") + p.TextHeight(title);
    p.FontSize(kBodyFontSize);
    y += 100 + p.TextHeight("a") + 100 + p.TextHeight(topStr) + 100 + 100;
    double heading = p.TextHeight("a");
    for (int c = 0; c < flx.Cols(); ++c) heading = std::max(heading, p.TextHeight(flx.TextMatrix(0, c)));
    return y + heading + 100;
}

// The pages: as many rows a page as the paper's table says, fewer where the
// next row's rule would not stay a rule's thickness above the page foot (a
// printer's printable area may be shorter than the table allows, a row taller).
Pages paginate(const Printer& p, const TableMeasure& table, double body, int rowsPerPage, int dataRows) {
    Pages pages{body, 1.4 * p.TextHeight("a"), p.TextHeight("a"), {}};
    const double footTop = p.ScaleHeight() - 300;
    for (int row = 1; row <= dataRows;) {
        pages.firsts.push_back(row);
        double top = body + 50;
        for (int n = 0; row <= dataRows && n < rowsPerPage; ++n, ++row) {
            const int lines = table.lines[static_cast<std::size_t>(row)];
            if (n > 0 && top + lines * pages.line + 50 + kRuleRoom > footTop) break;
            top += pages.pitch + (lines - 1) * pages.line;
        }
    }
    pages.firsts.push_back(dataRows + 1);
    return pages;
}

void printReport(Printer& p, FlexGrid& flx, const std::string& title, const std::string& topStr,
                 const std::string& botStr) {
    p.FontSize(kBodyFontSize);
    p.DrawWidth(2);
    const int rows = rowsPerPage(p);
    const double body = tableTop(p, flx, title, topStr);
    // not one row's rule above the foot
    if (body + 50 + p.TextHeight("a") + 50 + kRuleRoom > p.ScaleHeight() - 300) stop("打印纸高度太小！");
    const int dataRows = flx.Rows() - 1;
    if (dataRows <= 0) stop("没有数据！");
    const TableMeasure table = measureTable(flx, p, p.ScaleWidth());
    const Pages pages = paginate(p, table, body, rows, dataRows);
    for (int page = 1; page < static_cast<int>(pages.firsts.size()); ++page)
        printPage(p, flx, title, topStr, botStr, table, pages, page);
    p.EndDoc();
}

}  // namespace

std::optional<std::int16_t> tableRowsPerPage(int paperSize, int orientation) {
    const bool portrait = orientation == vbPRORPortrait;
    switch (paperSize) {
        case PaperCode::A4:
            return portrait ? 40 : 30;
        case PaperCode::B5:
            return portrait ? 34 : 25;
        case PaperCode::Fanfold10x11:
            return portrait ? 39 : 30;
        default:
            return std::nullopt;
    }
}

std::int16_t computedRowsPerPage(double printableHeight, double lineHeight) {
    return util::cint((printableHeight - 2000) / (lineHeight * 1.4 + 50));
}

TableMeasure measureTable(const FlexGrid& grid, const TextSurface& surface, double maxWidth) {
    // a cell wider than the page counts as wide as the page (it still prints
    // whole): a long text never overflows 16 bits and stops the report
    const double limit = std::clamp(maxWidth, 0.0, 32767.0);
    const int rows = grid.Rows();
    const int cols = grid.Cols();
    const double a = surface.TextWidth("a");
    TableMeasure table;
    table.lefts.resize(static_cast<std::size_t>(std::max(cols, 0)));
    table.lines.assign(static_cast<std::size_t>(std::max(rows, 0)), 1);
    // row by row, so a grid that reads its rows in order (a spooled one) reads each once
    std::vector<std::int16_t> widest(static_cast<std::size_t>(std::max(cols, 0)), 0);
    for (int r = 0; r < rows; ++r) {
        int& lines = table.lines[static_cast<std::size_t>(r)];
        for (int c = 0; c < cols; ++c) {
            const std::string text = grid.TextMatrix(r, c);
            std::int16_t& w = widest[static_cast<std::size_t>(c)];
            w = std::max(w, util::cint(std::min(surface.TextWidth(text), limit)));
            lines = std::max(lines, 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n')));
        }
    }
    double x = surface.TextWidth("aaa");
    for (int c = 0; c < cols; ++c) {
        table.lefts[static_cast<std::size_t>(c)] = util::clng(x);
        x = table.lefts[static_cast<std::size_t>(c)] + widest[static_cast<std::size_t>(c)] + a;
    }
    return table;
}

std::string timeLine(const DateTime& now) {
    return "打印时间：" + util::formatDate(now, "yyyy/m/d") + "  " + util::formatDate(now, "h:nn:ss");
}

std::string pageFoot(int page, int pages) {
    return "第 " + std::to_string(page) + "/" + std::to_string(pages) + " 页";
}

void mPrintRecord(FlexGrid& flx, const std::string& title, const std::string& topStr,
                  const std::string& botStr) {
    auto printer = installedPrinter();
    if (!printer || printer->PrinterCount() < 1) {
        msgBox("检测不到打印机！请安装打印机！", vbInformation, session().sMsg);
        return;
    }
    Printer& p = *printer;
    p.DocName(title);  // the job's name in the queue
    const double fontSize = p.FontSize();
    const bool fontBold = p.FontBold();
    const auto restoreFont = [&] {
        p.FontSize(fontSize);
        p.FontBold(fontBold);
    };
    std::optional<std::string> failure;
    try {
        printReport(p, flx, title, topStr, botStr);
    } catch (const Stopped&) {
        restoreFont();
        return;
    } catch (const Error& e) {
        failure = e.description();
    } catch (const std::exception& e) {
        failure = e.what();
    }
    if (!failure) {
        restoreFont();
        if (!p.previewOnly()) msgBox("数据已送至打印机！", vbExclamation, session().sMsg);
        return;
    }
    // a half-printed job never reaches the printer, and the printer keeps its font
    p.KillDoc();
    restoreFont();
    msgBox(*failure, vbCritical, session().sMsg);
}

}  // namespace Palvo::print
