#include "src/print/print_record.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>

#include "palvo/clsPrint.h"
#include "palvo/error.h"
#include "palvo/grid_model.h"
#include "palvo/msgbox.h"
#include "palvo/print_layout.h"
#include "palvo/session.h"
#include "src/base/conversions.h"
#include "src/base/width_bounds.h"
#include "src/grid/exact_total.h"

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

// The grid's own totals row (sFillTable's, "合计" in column 0) is no data row
// of the page totals: they would count it twice.
bool isTotalsRow(const ReportRows& flx, int row) {
    return row == flx.Rows() - 1 && flx.TextMatrix(row, 0) == "合计";
}

// The columns the options total under every page, checked before anything prints.
struct PageTotals {
    std::vector<int> columns;  // as the options name them, each once
    int labelColumn = 0;       // where "本页小计" and "累计" stand: the first column not totalled
    // per page, each column's sum over the page and over all pages up to it
    std::vector<std::vector<std::string>> page, carried;
    bool on() const { return !columns.empty(); }
};

PageTotals pageTotalColumns(const ReportRows& flx) {
    PageTotals totals;
    const auto options = installedPrintRecordOptions();
    if (!options) return totals;
    const int cols = flx.Cols();
    for (const std::string& name : options->pageTotals) {
        int col = 0;
        while (col < cols && flx.TextMatrix(0, col) != name) ++col;
        if (col == cols) stop("本页小计的列不在报表中：" + name);
        if (std::find(totals.columns.begin(), totals.columns.end(), col) != totals.columns.end()) continue;
        for (int r = 1; r < flx.Rows(); ++r) {
            const std::string text = flx.TextMatrix(r, col);
            if (isTotalsRow(flx, r) || base::trimmedView(text).empty() || base::isNumeric(text)) continue;
            stop("本页小计的列不是数字：" + name + "（第 " + std::to_string(r) + " 行为“" + text + "”）");
        }
        totals.columns.push_back(col);
    }
    while (totals.labelColumn < cols && std::find(totals.columns.begin(), totals.columns.end(),
                                                  totals.labelColumn) != totals.columns.end())
        ++totals.labelColumn;
    if (totals.on() && totals.labelColumn == cols) stop("本页小计不能合计全部的列：需留一列写“本页小计”");
    return totals;
}

// The rows of one page, [first, end). A row taller than a page goes on over
// the next: the first row prints from its line `from`, the last (with `to` > 0)
// up to its line `to`.
struct PageRows {
    int first = 0, end = 0;
    int from = 0, to = 0;
};

// Where the table's rows fall: the rules around the heading, a row's pitch and
// line, the rows of every page, the lowest rule of any page, and the page totals.
struct Pages {
    double headRule = 0;
    double body = 0;
    double pitch = 0;
    double line = 0;
    std::vector<PageRows> rows;
    double lowest = 0;
    PageTotals totals;
};

// What preparing a report finds: all that drawing any of its pages needs
// besides the grid's cells.
struct Layout {
    std::string title, topStr, botStr;
    double titleSize = 0;  // twice the grid's font size at column 0
    double margin = 0;     // "aaa" in the body font
    TableMeasure table;
    std::vector<std::string> beyond;  // the headings of the columns past the printable width
    Pages pages;
    int count() const { return static_cast<int>(pages.rows.size()); }
};

// Lines [from, to) of a cell's text (its lines end at LF, or CR LF).
std::string_view linesOf(std::string_view text, int from, int to) {
    std::size_t begin = 0;
    for (int n = 0; n < from; ++n) {
        const std::size_t lf = text.find('\n', begin);
        if (lf == std::string_view::npos) return {};
        begin = lf + 1;
    }
    std::size_t end = begin;
    for (int n = from; n < to; ++n) {
        const std::size_t lf = text.find('\n', end);
        if (lf == std::string_view::npos) return text.substr(begin);
        end = lf + 1;
    }
    std::string_view part = text.substr(begin, end - 1 - begin);
    if (!part.empty() && part.back() == '\r') part.remove_suffix(1);
    return part;
}

// One page: title, time line, Topstr, the heading between two rules, the page's
// rows each under its rule, the page totals, BotStr on the last page, and the
// page foot. A row with a cell of several lines is as much taller as its
// tallest cell's extra lines. The first page's heading rules are thick.
void printPage(Printer& p, const ReportRows& flx, const Layout& layout, int page, const std::string& time) {
    const Pages& pages = layout.pages;
    const TableMeasure& table = layout.table;
    const double pw = p.ScaleWidth();
    const double margin = layout.margin;
    const int cols = flx.Cols();
    const int count = layout.count();

    p.DrawWidth(page == 1 ? 2 : 1);
    p.FontSize(layout.titleSize);
    printCentred(p, layout.title, false);
    p.CurrentY(p.TextHeight("a"));
    p.Print(layout.title);

    p.FontSize(kBodyFontSize);
    printCentred(p, time, true);
    p.CurrentY(p.CurrentY() + 100);
    p.Print(time);

    p.CurrentX(margin);
    p.CurrentY(p.CurrentY() + 100);
    p.Print(layout.topStr);

    p.CurrentY(p.CurrentY() + 100);
    p.Line(margin, p.CurrentY(), pw - margin, p.CurrentY());

    p.CurrentY(p.CurrentY() + 100);
    const double headingTop = p.CurrentY();
    for (int c = 0; c < cols; ++c) {
        p.CurrentX(table.lefts[static_cast<std::size_t>(c)]);
        p.CurrentY(headingTop);
        p.Print(flx.cellText(0, c));
    }
    p.Line(margin, pages.body, pw - margin, pages.body);
    p.DrawWidth(1);  // thin from here on, the heading rules of later pages too

    double top = pages.body + 50;
    const auto ruleUnder = [&](int lines) {
        const double rule = top + lines * pages.line + 50;
        p.Line(margin, rule, pw - margin, rule);
        top += pages.pitch + (lines - 1) * pages.line;
    };
    const PageRows& rows = pages.rows[static_cast<std::size_t>(page - 1)];
    for (int row = rows.first; row < rows.end; ++row) {
        const int lines = table.lines[static_cast<std::size_t>(row)];
        const int from = row == rows.first ? rows.from : 0;
        const int to = row + 1 == rows.end && rows.to > 0 ? rows.to : lines;
        for (int c = 0; c < cols; ++c) {
            p.CurrentX(table.lefts[static_cast<std::size_t>(c)]);
            p.CurrentY(top);
            const std::string_view text = flx.cellText(row, c);
            p.Print(from == 0 && to == lines ? text : linesOf(text, from, to));
        }
        ruleUnder(to - from);
    }
    const PageTotals& totals = pages.totals;
    if (totals.on()) {
        const auto at = static_cast<std::size_t>(page - 1);
        for (const auto* sums : {&totals.page[at], &totals.carried[at]}) {
            p.CurrentX(table.lefts[static_cast<std::size_t>(totals.labelColumn)]);
            p.CurrentY(top);
            p.Print(sums == &totals.page[at] ? "本页小计" : "累计");
            for (std::size_t i = 0; i < totals.columns.size(); ++i) {
                p.CurrentX(table.lefts[static_cast<std::size_t>(totals.columns[i])]);
                p.CurrentY(top);
                p.Print((*sums)[i]);
            }
            ruleUnder(1);
        }
    }

    if (page == count) {
        p.CurrentX(margin);
        p.CurrentY(p.CurrentY() + 50);
        p.Print(layout.botStr);
    }

    const std::string foot = pageFoot(page, count);
    printCentred(p, foot, false);
    p.CurrentY(p.ScaleHeight() - 300);
    p.Print(foot);
    p.NewPage();
}

// The laid-out report of a grid, for a printer that draws its pages when they
// are wanted: every page shows the time it was laid out. The grid must stay
// as it is while the pages are drawn.
class ReportPages final : public LaidOutPages {
public:
    ReportPages(std::shared_ptr<const ReportRows> rows, Layout layout)
        : rows_(std::move(rows)), layout_(std::move(layout)), time_(timeLine(DateTime::now())) {}
    int pageCount() const override { return layout_.count(); }
    const Layout& layout() const { return layout_; }
    std::vector<std::string> headingsBeyondPaper() const override { return layout_.beyond; }
    void drawPage(Printer& p, int page) const override {
        if (page < 1 || page > layout_.count())
            throw Error(ErrorNumber::InvalidPropertyValue, "Invalid property value: page");
        printPage(p, *rows_, layout_, page, time_);
    }

private:
    std::shared_ptr<const ReportRows> rows_;
    Layout layout_;
    std::string time_;
};

// The heights of the rules around the heading, as printPage places them (the
// heading's tallest cell between them), in the body font.
void placeHeading(Printer& p, const ReportRows& flx, Layout& layout) {
    layout.titleSize = 2.0 * static_cast<double>(flx.CellFontSize());
    p.FontSize(layout.titleSize);
    double y = p.TextHeight("a") + p.TextHeight(layout.title);
    p.FontSize(kBodyFontSize);
    y += 100 + p.TextHeight("a") + 100 + p.TextHeight(layout.topStr) + 100;
    layout.pages.headRule = y;
    double heading = p.TextHeight("a");
    for (int c = 0; c < flx.Cols(); ++c) heading = std::max(heading, p.TextHeight(flx.TextMatrix(0, c)));
    layout.pages.body = y + 100 + heading + 100;
}

// What a row must stay above: the page foot's text as a reader selects it
// (the font's ascent above the line), which the row's text (with its descent)
// keeps clear of, and the foot's ink, which the row's rule keeps a thin rule's
// thickness above.
struct FootRoom {
    double textTop;
    double inkTop;
    double below;  // how far a row's text reaches under its lines
    double line;

    bool fits(double top, int lines) const {
        const double bottom = top + lines * line;
        return bottom + 50 + kRuleRoom <= inkTop && bottom + below + kRuleRoom <= textTop;
    }
};

FootRoom footRoom(const Printer& p) {
    const double footTop = p.ScaleHeight() - 300;
    const Printer::TextReach reach = p.textReach(pageFoot(1, 1));
    return {footTop - std::max(0.0, reach.above), footTop - std::max(0.0, reach.inkAbove), reach.below,
            p.TextHeight("a")};
}

// The pages: as many rows a page as the paper's table says (less the two rows
// of page totals), fewer where the next row (and the totals under it) would
// not stay clear of the page foot: a printer's printable area may be shorter
// than the table allows, a row taller. A row taller than a whole page goes on
// over as many pages as its lines need, alone on each.
void paginate(const Printer& p, const TableMeasure& table, int rowsPerPage, int dataRows, Pages& pages) {
    pages.pitch = 1.4 * p.TextHeight("a");
    pages.line = p.TextHeight("a");
    const FootRoom room = footRoom(p);
    const int extra = pages.totals.on() ? 2 : 0;
    // the row at top and the totals under it
    const auto fits = [&](double top, int lines) {
        if (extra == 0) return room.fits(top, lines);
        return room.fits(top + pages.pitch + (lines - 1) * pages.line + (extra - 1) * pages.pitch, 1);
    };
    const double body = pages.body + 50;
    const auto endPage = [&](const PageRows& rows, double top) {  // top: under the page's last row
        pages.rows.push_back(rows);
        pages.lowest = std::max(pages.lowest, top + extra * pages.pitch - pages.pitch + pages.line + 50);
    };
    int from = 0;  // the lines of the next row printed on pages before
    for (int row = 1; row <= dataRows;) {
        PageRows page{row, row, from, 0};
        double top = body;
        for (int n = 0; row <= dataRows && n < rowsPerPage - extra; ++n) {
            const int lines = table.lines[static_cast<std::size_t>(row)] - from;
            if (!fits(top, lines)) {
                if (n > 0) break;
                // taller than the page: as many of its lines as fit (one does: prepare made
                // sure), the rest on the next page
                int here = 1;
                while (here + 1 < lines && fits(top, here + 1)) ++here;
                from += here;
                page.to = from;
                top += pages.pitch + (here - 1) * pages.line;
                ++row;
                break;
            }
            top += pages.pitch + (lines - 1) * pages.line;
            from = 0;
            ++row;
        }
        page.end = row;
        if (page.to > 0) --row;  // it goes on over the next page
        endPage(page, top);
    }
}

// Each page's sums of the totalled columns, and the sums carried up to it, exact in plain digits.
void sumPages(const ReportRows& flx, Pages& pages) {
    PageTotals& totals = pages.totals;
    if (!totals.on()) return;
    std::vector<grid::ExactTotal> carried(totals.columns.size());
    for (const PageRows& rows : pages.rows) {
        std::vector<grid::ExactTotal> sums(totals.columns.size());
        for (int row = rows.first; row < rows.end; ++row) {
            // a row going on over pages counts on the page it starts on
            if (isTotalsRow(flx, row) || (row == rows.first && rows.from > 0)) continue;
            for (std::size_t i = 0; i < totals.columns.size(); ++i) {
                const std::string text = flx.TextMatrix(row, totals.columns[i]);
                sums[i].add(text);
                carried[i].add(text);
            }
        }
        auto& pageTexts = totals.page.emplace_back();
        auto& carriedTexts = totals.carried.emplace_back();
        for (std::size_t i = 0; i < totals.columns.size(); ++i) {
            pageTexts.push_back(sums[i].text());
            carriedTexts.push_back(carried[i].text());
        }
    }
}

// A column is widened (the next ones moved right) where its page totals, or
// the label, are wider than its widest cell.
void widenForTotals(const Printer& p, const Pages& pages, TableMeasure& table) {
    const PageTotals& totals = pages.totals;
    if (!totals.on()) return;
    const double a = p.TextWidth("a");
    const auto widen = [&](int col, const std::string& text) {
        const auto c = static_cast<std::size_t>(col);
        if (c + 1 >= table.lefts.size()) return;
        // as a cell, a sum counts as at most the printable width
        const double width = std::round(std::min(p.TextWidth(text), p.ScaleWidth()));
        const double need = table.lefts[c] + width + a - table.lefts[c + 1];
        if (need <= 0) return;
        for (std::size_t k = c + 1; k < table.lefts.size(); ++k) table.lefts[k] += base::clng(need);
        table.right += base::clng(need);
    };
    widen(totals.labelColumn, "本页小计");
    for (std::size_t i = 0; i < totals.columns.size(); ++i) {
        for (std::size_t page = 0; page < totals.page.size(); ++page) {
            widen(totals.columns[i], totals.page[page][i]);
            widen(totals.columns[i], totals.carried[page][i]);
        }
    }
}

// Measures, pages and sums the report; draws nothing.
Layout prepare(Printer& p, const ReportRows& flx, const std::string& title, const std::string& topStr,
               const std::string& botStr) {
    p.FontSize(kBodyFontSize);
    p.DrawWidth(2);
    Layout layout;
    layout.title = title;
    layout.topStr = topStr;
    layout.botStr = botStr;
    Pages& pages = layout.pages;
    pages.totals = pageTotalColumns(flx);
    const int extra = pages.totals.on() ? 2 : 0;
    const int rows = rowsPerPage(p);
    placeHeading(p, flx, layout);
    // not one row (and the page totals under it) clear of the foot
    const double pitch = 1.4 * p.TextHeight("a");
    if (rows - extra < 1 || !footRoom(p).fits(pages.body + 50 + extra * pitch, 1)) stop("打印纸高度太小！");
    const int dataRows = flx.Rows() - 1;
    if (dataRows <= 0) stop("没有数据！");
    layout.table = measureTable(flx, p, p.ScaleWidth());
    paginate(p, layout.table, rows, dataRows, pages);
    // the offset moves everything; the table must stay on the printable area
    layout.margin = p.TextWidth("aaa");
    const double margin = layout.margin, dx = p.OffsetX(), dy = p.OffsetY();
    if (margin + dx < 0 || p.ScaleWidth() - margin + dx > p.ScaleWidth() || pages.headRule + dy < 0 ||
        pages.lowest + dy > p.ScaleHeight())
        stop("打印偏移使表格超出纸张，请减小偏移！");
    sumPages(flx, pages);
    widenForTotals(p, pages, layout.table);
    // a column's text ends where the next one starts, less the gap of one "a"
    const std::vector<std::int32_t>& lefts = layout.table.lefts;
    const double a = p.TextWidth("a");
    for (std::size_t c = 0; c < lefts.size(); ++c) {
        const double right = c + 1 < lefts.size() ? lefts[c + 1] - a : layout.table.right;
        if (right > p.ScaleWidth()) layout.beyond.push_back(flx.TextMatrix(0, static_cast<int>(c)));
    }
    return layout;
}

// A printer that keeps the laid-out pages (a paged preview's) draws them when
// shown; any other gets every page now, each with the time it is drawn. True
// when the job was sent.
bool printReport(Printer& p, const std::shared_ptr<const ReportRows>& rows, const std::string& title,
                 const std::string& topStr, const std::string& botStr) {
    const ReportRows& flx = *rows;
    auto pages = std::make_shared<ReportPages>(rows, prepare(p, flx, title, topStr, botStr));
    if (p.takePages(pages)) return false;
    for (int page = 1; page <= pages->pageCount(); ++page)
        printPage(p, flx, pages->layout(), page, timeLine(DateTime::now()));
    p.EndDoc();
    return true;
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
    return base::cint((printableHeight - 2000) / (lineHeight * 1.4 + 50));
}

TableMeasure measureTable(const ReportRows& grid, const TextSurface& surface, double maxWidth) {
    // a cell wider than the page counts as wide as the page (it still prints
    // whole): a long text never overflows 16 bits and stops the report
    const double limit = std::clamp(maxWidth, 0.0, 32767.0);
    const int rows = grid.Rows();
    const int cols = grid.Cols();
    const double a = surface.TextWidth("a");
    TableMeasure table;
    table.lefts.resize(static_cast<std::size_t>(std::max(cols, 0)));
    table.lines.assign(static_cast<std::size_t>(std::max(rows, 0)), 1);
    // Only a cell that may be wider than its column's widest so far is
    // measured: measuring every cell made page 1 of a long preview wait.
    base::WidthBounds bounds([&surface](std::string_view text) { return surface.TextWidth(text); });
    std::vector<base::WidthBounds::Column> columns(static_cast<std::size_t>(std::max(cols, 0)));
    // row by row, so a grid that reads its rows in order (a spooled one) reads each once
    std::vector<std::int16_t> widest(static_cast<std::size_t>(std::max(cols, 0)), 0);
    for (int r = 0; r < rows; ++r) {
        int& lines = table.lines[static_cast<std::size_t>(r)];
        for (int c = 0; c < cols; ++c) {
            const std::string_view text = grid.cellText(r, c);
            if (text.empty()) continue;
            std::int16_t& w = widest[static_cast<std::size_t>(c)];
            // under w + 0.5 a width rounds to w at most; a text of several lines gets no bound
            if (const auto bound = bounds.bound(text, columns[static_cast<std::size_t>(c)])) {
                if (std::min(*bound, limit) < w + 0.5) continue;
            } else if (std::memchr(text.data(), '\n', text.size()) != nullptr) {
                lines = std::max(lines, 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n')));
            }
            w = std::max(w, base::cint(std::min(surface.TextWidth(text), limit)));
        }
    }
    double x = surface.TextWidth("aaa");
    for (int c = 0; c < cols; ++c) {
        table.lefts[static_cast<std::size_t>(c)] = base::clng(x);
        x = table.lefts[static_cast<std::size_t>(c)] + widest[static_cast<std::size_t>(c)] + a;
    }
    if (cols > 0) table.right = table.lefts.back() + widest.back();
    return table;
}

std::string timeLine(const DateTime& now) {
    return "打印时间：" + base::formatDate(now, "yyyy/m/d") + "  " + base::formatDate(now, "h:nn:ss");
}

std::string pageFoot(int page, int pages) {
    return "第 " + std::to_string(page) + "/" + std::to_string(pages) + " 页";
}

void printRecord(const std::shared_ptr<const ReportRows>& flx, const std::string& title,
                 const std::string& topStr, const std::string& botStr) {
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
    bool sent = false;
    try {
        sent = printReport(p, flx, title, topStr, botStr);
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
        if (sent && !p.previewOnly()) msgBox("数据已送至打印机！", vbExclamation, session().sMsg);
        return;
    }
    // a half-printed job never reaches the printer, and the printer keeps its font
    p.KillDoc();
    restoreFont();
    msgBox(*failure, vbCritical, session().sMsg);
}

}  // namespace Palvo::print

namespace Palvo {

void clsPrint::mPrintRecord(FlexGrid& flx, const std::string& Title, std::string& Topstr,
                            std::string& BotStr) {
    print::printRecord(std::make_shared<GridReportRows>(flx), Title, Topstr, BotStr);
}

void clsPrint::mPrintRecord(FlexGrid& flx, const std::string& Title, std::string& Topstr) {
    print::printRecord(std::make_shared<GridReportRows>(flx), Title, Topstr, "");
}

void clsPrint::mPrintRecord(FlexGrid& flx, const std::string& Title) {
    print::printRecord(std::make_shared<GridReportRows>(flx), Title, "", "");
}

}  // namespace Palvo
