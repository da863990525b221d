#include "palvo/sheet_print.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "palvo/convert.h"
#include "palvo/error.h"

namespace Palvo {

namespace {

constexpr double kTwipsPerPoint = 20;
constexpr double kTwipsPerPixel = 15;  // at the application's 96 pixels to the inch
constexpr double kDefaultFont = 11;    // the workbook's default font size
constexpr double kDefaultColumn = 8.43;
constexpr double kPad = 30;  // twips between a cell's edge and its text

// The column width in characters as the application reads it: so many digits
// of the default font, and 5 pixels of padding.
double columnTwips(double chars, double digit) {
    if (chars <= 0) return 0;
    return chars * digit + 5 * kTwipsPerPixel;
}

// One line of text at a size: about 1.36 em, whole pixels (15 points at 11).
double lineTwips(double points) { return std::ceil(points * 1.36 / 0.75 - 1e-9) * kTwipsPerPixel; }

struct Cell {
    int col;
    std::string text;
    int format;
    bool number;  // general alignment puts numbers to the right
};
using Rows = std::vector<std::vector<Cell>>;

std::string display(const SheetValue& v) {
    char buf[64];
    switch (v.kind) {
        case SheetValue::Kind::Empty:
            return "";
        case SheetValue::Kind::Text:
            return v.text;
        case SheetValue::Kind::Number:
            std::snprintf(buf, sizeof buf, "%.15g", v.number);
            return buf;
        case SheetValue::Kind::Date:
        case SheetValue::Kind::DateTime: {
            const double whole = std::floor(v.number);
            DateTime day;  // day number 0
            try {
                day = base::addDays(day, static_cast<std::int64_t>(whole));
            } catch (const Error&) {  // no day of the calendar: shown as the number it is
                std::snprintf(buf, sizeof buf, "%.15g", v.number);
                return buf;
            }
            const int y = day.year, m = day.month, d = day.day;
            if (v.kind == SheetValue::Kind::Date) {
                std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
            } else {
                const long s = std::lround((v.number - whole) * 86400);
                std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02ld:%02ld:%02ld", y, m, d, s / 3600,
                              s / 60 % 60, s % 60);
            }
            return buf;
        }
    }
    return "";
}

Rows collect(const Worksheet& sheet) {
    Rows rows(static_cast<std::size_t>(sheet.lastRow() + 1));
    sheet.walk([&](int row, const std::vector<SheetCell>& cells) {
        auto& out = rows[static_cast<std::size_t>(row)];
        out.reserve(cells.size());
        for (const auto& c : cells) {
            const bool number = c.value && c.value->kind != SheetValue::Kind::Text &&
                                c.value->kind != SheetValue::Kind::Empty;
            out.push_back({c.col, c.value ? display(*c.value) : std::string(), c.format, number});
        }
    });
    return rows;
}

const Cell* find(const Rows& rows, int row, int col) {
    const auto& r = rows[static_cast<std::size_t>(row)];
    auto it = std::lower_bound(r.begin(), r.end(), col, [](const Cell& c, int k) { return c.col < k; });
    return it != r.end() && it->col == col ? &*it : nullptr;
}

const CellRange* mergeAt(const std::vector<CellRange>& merges, int row, int col) {
    for (const auto& m : merges) {
        if (m.contains(row, col)) return &m;
    }
    return nullptr;
}

std::size_t charLength(unsigned char lead) { return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4; }

// Breaks a text into lines no wider than `width`: at a blank where there is
// one, else between characters; a line break always breaks.
std::vector<std::string> wrapLines(const std::string& text, double width, double points, bool bold,
                                   const SheetMeasure& measure) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string line;
        std::size_t blank = std::string::npos;  // in `line`
        for (std::size_t i = start; i < end;) {
            const std::size_t n = std::min(charLength(static_cast<unsigned char>(text[i])), end - i);
            const std::string next = line + text.substr(i, n);
            if (!line.empty() && measure(next, points, bold) > width) {
                if (blank != std::string::npos && text[i] != ' ') {
                    lines.push_back(line.substr(0, blank));
                    line = line.substr(blank + 1);
                } else {
                    lines.push_back(line);
                    line.clear();
                }
                blank = std::string::npos;
                if (text[i] == ' ') {
                    i += n;
                    continue;
                }
                line += text.substr(i, n);
            } else {
                line = next;
            }
            if (text[i] == ' ') blank = line.size() - 1;
            i += n;
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// The title rows as 0-based rows, read as the writer reads them; false for none or a bad address.
bool titleRows(std::string_view text, int& first, int& last) {
    try {
        const CellRange r = parseRows(text);
        first = r.firstRow;
        last = r.lastRow;
        return true;
    } catch (const Error&) {
        return false;
    }
}

double cellPoints(const CellFormat& f) { return f.size > 0 ? f.size : kDefaultFont; }

// Cuts sizes into runs that fit `room` each (a size alone wider than it gets a run of its own).
std::vector<std::pair<int, int>> cut(const std::vector<double>& sizes, int from, double room, double repeated,
                                     int repeatAfter) {
    std::vector<std::pair<int, int>> runs;
    const int n = static_cast<int>(sizes.size());
    for (int i = from; i < n;) {
        double used = i > repeatAfter ? repeated : 0;
        const int first = i;
        while (i < n && (i == first || used + sizes[static_cast<std::size_t>(i)] <= room)) {
            used += sizes[static_cast<std::size_t>(i)];
            ++i;
        }
        runs.emplace_back(first, i - 1);
    }
    return runs;
}

SheetLayout layout(const Worksheet& sheet, const Rows& rows, double paperWidth, double paperHeight,
                   const SheetMeasure& measure) {
    const PageSetup& ps = sheet.PageSetup();
    SheetLayout l;
    l.scale = std::clamp(ps.Zoom, 10, 400) / 100.0;
    l.firstPageNumber = ps.FirstPageNumber == xl::AutomaticPageNumber ? 1 : ps.FirstPageNumber;
    const int cols = sheet.lastCol() + 1;
    // widths in digits of the font the pages print in, so a column holds as many as it was given
    const double digit = measure("0", kDefaultFont, false);
    l.colWidths.assign(static_cast<std::size_t>(cols), columnTwips(kDefaultColumn, digit));
    for (const auto& [col, width] : sheet.columnWidths()) {
        if (col < cols) l.colWidths[static_cast<std::size_t>(col)] = columnTwips(width, digit);
    }
    const auto& formats = sheet.formats();
    const auto& merges = sheet.merges();
    l.rowHeights.assign(rows.size(), lineTwips(kDefaultFont));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        double& h = l.rowHeights[r];
        for (const Cell& c : rows[r]) {
            const CellFormat& f = formats[static_cast<std::size_t>(c.format)];
            const double pt = cellPoints(f);
            double lines = 1;
            // merged cells do not size their rows, as in the application
            if (f.wrap && !c.text.empty() && !mergeAt(merges, static_cast<int>(r), c.col)) {
                const double room = l.colWidths[static_cast<std::size_t>(c.col)] - 2 * kPad;
                lines = static_cast<double>(wrapLines(c.text, room, pt, f.bold, measure).size());
            }
            h = std::max(h, lines * lineTwips(pt));
        }
    }
    if (!titleRows(ps.PrintTitleRows, l.titleFirst, l.titleLast) ||
        l.titleFirst >= static_cast<int>(rows.size())) {
        l.titleFirst = l.titleLast = -1;
    }
    l.titleLast = std::min(l.titleLast, static_cast<int>(rows.size()) - 1);
    double titleHeight = 0;
    for (int r = l.titleFirst; r >= 0 && r <= l.titleLast; ++r)
        titleHeight += l.rowHeights[static_cast<std::size_t>(r)];

    const double roomDown = (paperHeight - (ps.TopMargin + ps.BottomMargin) * kTwipsPerPoint) / l.scale;
    const double roomAcross = (paperWidth - (ps.LeftMargin + ps.RightMargin) * kTwipsPerPoint) / l.scale;
    const auto down = cut(l.rowHeights, 0, roomDown, titleHeight,
                          l.titleFirst < 0 ? static_cast<int>(rows.size()) : l.titleLast);
    const auto across = cut(l.colWidths, 0, roomAcross, 0, cols);
    if (ps.Order == xl::OverThenDown) {
        for (const auto& d : down)
            for (const auto& a : across) l.pages.push_back({d.first, d.second, a.first, a.second});
    } else {
        for (const auto& a : across)
            for (const auto& d : down) l.pages.push_back({d.first, d.second, a.first, a.second});
    }
    return l;
}

// Paper sizes in twips, portrait.
struct Paper {
    int code;
    double width, height;
};
constexpr Paper kPapers[] = {{PaperCode::Letter, 12240, 15840},
                             {5, 12240, 20160},
                             {8, 16838, 23811},
                             {PaperCode::A4, 11906, 16838},
                             {PaperCode::B5, 10318, 14570},
                             {PaperCode::Fanfold10x11, 14400, 15840}};

}  // namespace

int sheetTextLines(const std::string& text, double width, double points, bool bold,
                   const SheetMeasure& measure) {
    return static_cast<int>(wrapLines(text, width, points, bold, measure).size());
}

SheetLayout layoutSheet(const Worksheet& sheet, double paperWidth, double paperHeight,
                        const SheetMeasure& measure) {
    return layout(sheet, collect(sheet), paperWidth, paperHeight, measure);
}

std::vector<HeaderRun> headerRuns(std::string_view s, int page, int pages, const DateTime& now,
                                  const std::string& title, double size) {
    std::vector<HeaderRun> runs;
    HeaderRun cur{"", size, false, false};
    auto flush = [&] {
        if (!cur.text.empty() || cur.lineBreak) runs.push_back(cur);
        cur.text.clear();
        cur.lineBreak = false;
    };
    auto style = [&](auto change) {
        flush();
        change();
    };
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\n') {
            flush();
            cur.lineBreak = true;
            continue;
        }
        if (s[i] != '&' || i + 1 == s.size()) {
            cur.text += s[i];
            continue;
        }
        const char code = s[++i];
        char buf[32];
        switch (code) {
            case '&':
                cur.text += '&';
                break;
            case 'P':
            case 'p':
                cur.text += std::to_string(page);
                break;
            case 'N':
            case 'n':
                cur.text += std::to_string(pages);
                break;
            case 'D':
            case 'd':
                std::snprintf(buf, sizeof buf, "%d/%d/%d", now.year, now.month, now.day);
                cur.text += buf;
                break;
            case 'T':
            case 't':
                std::snprintf(buf, sizeof buf, "%d:%02d", now.hour, now.minute);
                cur.text += buf;
                break;
            case 'A':
            case 'a':
                cur.text += "Sheet1";
                break;
            case 'F':
            case 'f':
                cur.text += title;
                break;
            case 'B':
            case 'b':
                style([&] { cur.bold = !cur.bold; });
                break;
            case '"': {
                const auto close = s.find('"', i + 1);
                const std::string_view font =
                    s.substr(i + 1, close == std::string_view::npos ? s.npos : close - i - 1);
                const auto comma = font.find(',');
                const std::string_view st = comma == font.npos ? std::string_view() : font.substr(comma + 1);
                const bool bold =
                    st.find("Bold") != st.npos || st.find("bold") != st.npos || st.find("粗") != st.npos;
                style([&] { cur.bold = bold; });
                i = close == std::string_view::npos ? s.size() : close;
                break;
            }
            default:
                if (code >= '0' && code <= '9') {
                    double points = code - '0';
                    while (i + 1 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '9')
                        points = points * 10 + (s[++i] - '0');
                    if (points > 0) style([&] { cur.size = points; });
                }
                break;  // pictures, underlines and the like are not drawn
        }
    }
    flush();
    return runs;
}

namespace {

// One job of a sheet's pages on a printer; positions are twips from the paper's top left.
class SheetJob {
public:
    SheetJob(Printer& p, const Worksheet& sheet, const std::string& title)
        : p_(p), sheet_(sheet), ps_(sheet.PageSetup()), title_(title), now_(DateTime::now()) {
        const bool portrait = p.Orientation() != vbPRORLandscape;
        paperW_ = p.ScaleWidth();
        paperH_ = p.ScaleHeight();
        for (const auto& paper : kPapers) {
            if (paper.code != p.PaperSize()) continue;
            paperW_ = std::max(paperW_, portrait ? paper.width : paper.height);
            paperH_ = std::max(paperH_, portrait ? paper.height : paper.width);
        }
        // the printer draws from its printable area, taken as centred on the paper
        offX_ = (paperW_ - p.ScaleWidth()) / 2;
        offY_ = (paperH_ - p.ScaleHeight()) / 2;
        measure_ = [&p](std::string_view text, double points, bool bold) {
            p.FontSize(points);
            p.FontBold(bold);
            return p.TextWidth(text);
        };
        rows_ = collect(sheet);
        l_ = layout(sheet, rows_, paperW_, paperH_, measure_);
    }

    int pages() const { return static_cast<int>(l_.pages.size()); }

    void page(int i) {
        const SheetPage& pg = l_.pages[static_cast<std::size_t>(i)];
        if (i > 0) p_.NewPage();
        order_.clear();
        if (l_.titleFirst >= 0 && pg.firstRow > l_.titleLast) {
            for (int r = l_.titleFirst; r <= l_.titleLast; ++r) order_.push_back(r);
        }
        for (int r = pg.firstRow; r <= pg.lastRow; ++r) order_.push_back(r);
        rowTop_.clear();
        colLeft_.clear();
        double height = 0, width = 0;
        for (int r : order_) {
            rowTop_[r] = height;
            height += rowHeight(r);
        }
        for (int c = pg.firstCol; c <= pg.lastCol; ++c) {
            colLeft_[c] = width;
            width += colWidth(c);
        }
        x0_ = ps_.LeftMargin * kTwipsPerPoint;
        y0_ = ps_.TopMargin * kTwipsPerPoint;
        if (ps_.CenterHorizontally)
            x0_ += (paperW_ - (ps_.LeftMargin + ps_.RightMargin) * kTwipsPerPoint - width) / 2;
        if (ps_.CenterVertically)
            y0_ += (paperH_ - (ps_.TopMargin + ps_.BottomMargin) * kTwipsPerPoint - height) / 2;

        const int number = l_.firstPageNumber + i;
        const double head = ps_.HeaderMargin * kTwipsPerPoint;
        const double foot = paperH_ - ps_.FooterMargin * kTwipsPerPoint;
        section(ps_.LeftHeader, 0, head, false, number);
        section(ps_.CenterHeader, 1, head, false, number);
        section(ps_.RightHeader, 2, head, false, number);
        section(ps_.LeftFooter, 0, foot, true, number);
        section(ps_.CenterFooter, 1, foot, true, number);
        section(ps_.RightFooter, 2, foot, true, number);
        for (int r : order_) {
            for (int c = pg.firstCol; c <= pg.lastCol; ++c) cell(pg, r, c);
        }
    }

private:
    double rowHeight(int r) const { return l_.rowHeights[static_cast<std::size_t>(r)] * l_.scale; }
    double colWidth(int c) const { return l_.colWidths[static_cast<std::size_t>(c)] * l_.scale; }

    void text(double x, double y, const std::string& t) {
        p_.CurrentX(x - offX_);
        p_.CurrentY(y - offY_);
        p_.Print(t);
    }
    void line(double x1, double y1, double x2, double y2) {
        p_.Line(x1 - offX_, y1 - offY_, x2 - offX_, y2 - offY_);
    }

    // A header or footer section, aligned 0 left, 1 centre, 2 right; its top at y, or its bottom.
    void section(const std::string& codes, int align, double y, bool fromBottom, int number) {
        if (codes.empty()) return;
        std::vector<std::vector<HeaderRun>> lines(1);
        for (auto& r : headerRuns(codes, number, pages(), now_, title_)) {
            if (r.lineBreak) lines.emplace_back();
            if (!r.text.empty()) lines.back().push_back(std::move(r));
        }
        std::vector<double> heights;
        double total = 0;
        for (const auto& ln : lines) {
            double h = lineTwips(kDefaultFont);
            for (const auto& r : ln) h = std::max(h, lineTwips(r.size));
            heights.push_back(h);
            total += h;
        }
        double top = fromBottom ? y - total : y;
        const double left = ps_.LeftMargin * kTwipsPerPoint,
                     right = paperW_ - ps_.RightMargin * kTwipsPerPoint;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            double width = 0;
            for (const auto& r : lines[i]) width += measure_(r.text, r.size, r.bold);
            double x = align == 0 ? left : align == 1 ? (paperW_ - width) / 2 : right - width;
            for (const auto& r : lines[i]) {
                p_.FontSize(r.size);
                p_.FontBold(r.bold);
                text(x, top + heights[i] - lineTwips(r.size), r.text);
                x += p_.TextWidth(r.text);
            }
            top += heights[i];
        }
    }

    void cell(const SheetPage& pg, int r, int c) {
        const Cell* own = find(rows_, r, c);
        const CellRange* m = mergeAt(sheet_.merges(), r, c);
        const auto& formats = sheet_.formats();
        if (own) {
            const CellFormat& f = formats[static_cast<std::size_t>(own->format)];
            const double cl = x0_ + colLeft_[c], ct = y0_ + rowTop_[r], cw = colWidth(c), ch = rowHeight(r);
            // a merged area's edges inside it are not drawn
            auto inside = [&](int rr, int cc) { return m && m->contains(rr, cc); };
            if (f.borderLeft && !inside(r, c - 1)) line(cl, ct, cl, ct + ch);
            if (f.borderRight && !inside(r, c + 1)) line(cl + cw, ct, cl + cw, ct + ch);
            if (f.borderTop && !inside(r - 1, c)) line(cl, ct, cl + cw, ct);
            if (f.borderBottom && !inside(r + 1, c)) line(cl, ct + ch, cl + cw, ct + ch);
        }
        // a merged area's text is drawn once a page, over the part of the area the page holds
        double left = x0_ + colLeft_[c], top = y0_ + rowTop_[r], w = colWidth(c), h = rowHeight(r);
        if (m) {
            const auto first = std::find_if(order_.begin(), order_.end(),
                                            [&](int k) { return k >= m->firstRow && k <= m->lastRow; });
            const int c1 = std::max(m->firstCol, pg.firstCol);
            if (r != *first || c != c1) return;
            left = x0_ + colLeft_[c1];
            w = 0;
            for (int k = c1; k <= std::min(m->lastCol, pg.lastCol); ++k) w += colWidth(k);
            h = 0;
            for (int k = m->firstRow; k <= m->lastRow; ++k) {
                if (rowTop_.count(k)) h += rowHeight(k);
            }
        }
        const Cell* shown = m ? find(rows_, m->firstRow, m->firstCol) : own;
        if (!shown || shown->text.empty()) return;
        const CellFormat& f = formats[static_cast<std::size_t>(shown->format)];
        const double s = l_.scale;
        const double room = w / s - 2 * kPad;
        double pt = cellPoints(f);
        std::vector<std::string> lines;
        if (f.wrap) {
            lines = wrapLines(shown->text, room, pt, f.bold, measure_);
        } else {
            lines.push_back(shown->text);
            const double tw = measure_(shown->text, pt, f.bold);
            if (f.shrink && tw > room && tw > 0) pt *= std::max(0.1, room / tw);
        }
        const double lh = lineTwips(pt) * s;
        const double block = lh * static_cast<double>(lines.size());
        double y = f.vertical == xl::Center ? top + (h - block) / 2
                   : f.vertical == xl::Top  ? top + kPad * s
                                            : top + h - block;
        const int align = f.horizontal != 0 ? f.horizontal : shown->number ? xl::Right : xl::Left;
        p_.FontSize(pt * s);
        p_.FontBold(f.bold);
        for (const auto& ln : lines) {
            const double tw = p_.TextWidth(ln);
            const double x = align == xl::Center  ? left + (w - tw) / 2
                             : align == xl::Right ? left + w - kPad * s - tw
                                                  : left + kPad * s;
            // the text sits in its line as the line's font leaves room above it
            text(x, y + (lh - pt * s * kTwipsPerPoint) / 2, ln);
            y += lh;
        }
    }

    Printer& p_;
    const Worksheet& sheet_;
    const PageSetup& ps_;
    std::string title_;
    DateTime now_;
    double paperW_ = 0, paperH_ = 0, offX_ = 0, offY_ = 0;
    SheetMeasure measure_;
    Rows rows_;
    SheetLayout l_;
    // the page being drawn: its rows in order, where its rows and columns start
    std::vector<int> order_;
    std::map<int, double> rowTop_, colLeft_;
    double x0_ = 0, y0_ = 0;
};

}  // namespace

int printSheet(Printer& p, const Worksheet& sheet, const std::string& title) {
    const double savedSize = p.FontSize();
    const bool savedBold = p.FontBold();
    auto restore = [&] {
        p.FontSize(savedSize);
        p.FontBold(savedBold);
    };
    int pages = 0;
    try {
        SheetJob job(p, sheet, title);
        pages = job.pages();
        p.DrawWidth(1);
        for (int i = 0; i < pages; ++i) job.page(i);
        p.EndDoc();
    } catch (...) {
        // nothing of a job that failed reaches the printer
        p.KillDoc();
        restore();
        throw;
    }
    restore();
    return pages;
}

}  // namespace Palvo
