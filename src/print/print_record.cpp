#include "src/print/print_record.h"

#include <algorithm>
#include <exception>

#include "palvo/error.h"
#include "palvo/msgbox.h"
#include "palvo/session.h"
#include "src/base/conversions.h"

namespace Palvo::print {

namespace {

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

// One page: title, time line, Topstr, the heading between two rules, the page's
// rows each under its rule, BotStr on the last page, and the page foot.
void printPage(Printer& p, FlexGrid& flx, const std::string& title, const std::string& topStr,
               const std::string& botStr, const std::vector<std::int32_t>& lefts, int page, int pages,
               int rowsPerPage) {
    const double pw = p.ScaleWidth();
    const double margin = p.TextWidth("aaa");
    const int cols = flx.Cols();
    const int dataRows = flx.Rows() - 1;

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
        p.CurrentX(lefts[static_cast<std::size_t>(c)]);
        p.CurrentY(headingTop);
        p.Print(flx.TextMatrix(0, c));
    }
    p.Line(margin, p.CurrentY() + 100, pw - margin, p.CurrentY() + 100);
    p.DrawWidth(1);  // thin from here on, the heading rules of later pages too

    const double body = p.CurrentY();
    const double pitch = 1.4 * p.TextHeight("a");
    for (int i = 1; i <= rowsPerPage; ++i) {
        const int row = (page - 1) * rowsPerPage + i;
        if (row > dataRows) break;
        const double top = body + 50 + (i - 1) * pitch;
        for (int c = 0; c < cols; ++c) {
            p.CurrentX(lefts[static_cast<std::size_t>(c)]);
            p.CurrentY(top);
            p.Print(flx.TextMatrix(row, c));
        }
        p.Line(margin, p.CurrentY() + 50, pw - margin, p.CurrentY() + 50);
    }

    if (page == pages) {
        p.CurrentX(margin);
        p.CurrentY(p.CurrentY() + 50);
        p.Print(botStr);
    }

    const std::string foot = pageFoot(page, pages);
    printCentred(p, foot, false);
    p.CurrentY(p.ScaleHeight() - 300);
    p.Print(foot);
    p.NewPage();
}

void printReport(Printer& p, FlexGrid& flx, const std::string& title, const std::string& topStr,
                 const std::string& botStr) {
    p.FontSize(kBodyFontSize);
    p.DrawWidth(2);
    const int rows = rowsPerPage(p);
    const int dataRows = flx.Rows() - 1;
    const int pages = dataRows > 0 ? (dataRows + rows - 1) / rows : 0;
    if (pages == 0) stop("没有数据！");
    const std::vector<std::int32_t> lefts = columnLefts(flx, p);
    for (int page = 1; page <= pages; ++page)
        printPage(p, flx, title, topStr, botStr, lefts, page, pages, rows);
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

std::vector<std::int32_t> columnLefts(const FlexGrid& grid, const TextSurface& surface) {
    const int rows = grid.Rows();
    const int cols = grid.Cols();
    const double a = surface.TextWidth("a");
    std::vector<std::int32_t> lefts(static_cast<std::size_t>(std::max(cols, 0)));
    double x = surface.TextWidth("aaa");
    for (int c = 0; c < cols; ++c) {
        lefts[static_cast<std::size_t>(c)] = util::clng(x);
        std::int16_t widest = 0;
        for (int r = 0; r < rows; ++r) {
            widest = std::max(widest, util::cint(surface.TextWidth(grid.TextMatrix(r, c))));
        }
        x = lefts[static_cast<std::size_t>(c)] + widest + a;
    }
    return lefts;
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
        msgBox("数据已送至打印机！", vbExclamation, session().sMsg);
        return;
    }
    // a half-printed job never reaches the printer, and the printer keeps its font
    p.KillDoc();
    restoreFont();
    msgBox(*failure, vbCritical, session().sMsg);
}

}  // namespace Palvo::print
