#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

#include "palvo/atomic_file.h"
#include "palvo/error.h"
#include "palvo/measure.h"
#include "palvo/sheet_print.h"
#include "palvo/text.h"
#include "palvo/xlsx/writer.h"

namespace Palvo::xlsx {

namespace {

constexpr long kCannotWrite = 75;  // "Path/File access error"

[[noreturn]] void refuse(const std::string& what) { throw Error(kRangeError, what); }

void check(lxw_error e, const std::string& what) {
    if (e == LXW_NO_ERROR) return;
    if (e == LXW_ERROR_255_STRING_LENGTH_EXCEEDED || e == LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED) {
        refuse(what + ": " + lxw_strerror(e));
    }
    throw Error(kCannotWrite, what + ": " + lxw_strerror(e));
}

// The text as the workbook's XML can hold it. A malformed UTF-8 sequence, and
// U+FFFE or U+FFFF, become U+FFFD: the file would not open otherwise. With
// `controls`, a C0 control other than tab, LF and CR becomes _xHHHH_, as the
// application stores one (libxlsxwriter does so itself for cell texts, but
// for a NUL, which would end the text it is given).
// Returns text's own characters when nothing needs mending.
const char* xmlText(const std::string& text, bool controls, std::string& mended) {
    auto bad = [controls](bool wellFormed, char32_t c) {
        return !wellFormed || c == 0xFFFE || c == 0xFFFF || c == 0 ||
               (controls && c < 0x20 && c != '\t' && c != '\n' && c != '\r');
    };
    std::size_t i = 0;
    char32_t c = 0;
    for (std::size_t at = 0; i < text.size(); at = i) {
        if (static_cast<unsigned char>(text[i]) >= 0x20 && static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        if (bad(base::nextUtf8(text, i, c), c)) {
            i = at;
            break;
        }
    }
    if (i == text.size()) return text.c_str();
    mended.assign(text, 0, i);
    while (i < text.size()) {
        const std::size_t at = i;
        const bool wellFormed = base::nextUtf8(text, i, c);
        if (!bad(wellFormed, c)) {
            mended.append(text, at, i - at);
        } else if (wellFormed && c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "_x%04X_", static_cast<unsigned>(c));
            mended += escaped;
        } else {
            mended += "\xEF\xBF\xBD";
        }
    }
    return mended.c_str();
}

lxw_format* makeFormat(lxw_workbook* book, const CellFormat& f) {
    lxw_format* x = workbook_add_format(book);
    if (f.bold) format_set_bold(x);
    if (f.size > 0) format_set_font_size(x, f.size);
    switch (f.horizontal) {
        case xl::Center:
            format_set_align(x, LXW_ALIGN_CENTER);
            break;
        case xl::Left:
            format_set_align(x, LXW_ALIGN_LEFT);
            break;
        case xl::Right:
            format_set_align(x, LXW_ALIGN_RIGHT);
            break;
        default:
            break;
    }
    switch (f.vertical) {
        case xl::Center:
            format_set_align(x, LXW_ALIGN_VERTICAL_CENTER);
            break;
        case xl::Top:
            format_set_align(x, LXW_ALIGN_VERTICAL_TOP);
            break;
        case xl::Bottom:
            format_set_align(x, LXW_ALIGN_VERTICAL_BOTTOM);
            break;
        default:
            break;
    }
    if (f.wrap) format_set_text_wrap(x);
    if (f.shrink) format_set_shrink(x);
    if (f.indent) format_set_indent(x, 1);
    if (f.orientation != 0) format_set_rotation(x, static_cast<int16_t>(f.orientation));
    if (f.numberFormat == "@") {
        format_set_num_format_index(x, 49);  // the application's own text format
    } else if (!f.numberFormat.empty()) {
        std::string mended;
        format_set_num_format(x, xmlText(f.numberFormat, true, mended));
    }
    auto line = [](int style) -> uint8_t {
        return style == xl::Continuous ? LXW_BORDER_THIN : LXW_BORDER_NONE;
    };
    if (f.borderLeft) format_set_left(x, line(f.borderLeft));
    if (f.borderTop) format_set_top(x, line(f.borderTop));
    if (f.borderBottom) format_set_bottom(x, line(f.borderBottom));
    if (f.borderRight) format_set_right(x, line(f.borderRight));
    return x;
}

// Inches from points, rounded as the application shows them (40.32 points is 0.56, not 0.5600000000000001).
double inches(double points) { return std::round(points / 72.0 * 1e6) / 1e6; }

// "$1:$3" or "$A:$B" as the title rows or columns take them; false for "" (none).
bool titleSpan(const std::string& text, bool rows, int& first, int& last) {
    if (base::trim(text).empty()) return false;
    CellRange r;
    try {
        r = rows ? parseRows(text) : parseColumns(text);
    } catch (const Error&) {
        refuse("Unable to set the PrintTitle property of the PageSetup class: " + text);
    }
    first = rows ? r.firstRow : r.firstCol;
    last = rows ? r.lastRow : r.lastCol;
    return true;
}

std::string sections(const std::string& left, const std::string& center, const std::string& right) {
    std::string s;
    if (!left.empty()) s += "&L" + left;
    if (!center.empty()) s += "&C" + center;
    if (!right.empty()) s += "&R" + right;
    return s;
}

void pageSetup(lxw_worksheet* ws, const PageSetup& p) {
    int first = 0;
    int last = 0;
    if (titleSpan(p.PrintTitleRows, true, first, last)) {
        check(worksheet_repeat_rows(ws, static_cast<lxw_row_t>(first), static_cast<lxw_row_t>(last)),
              "PrintTitleRows");
    }
    if (titleSpan(p.PrintTitleColumns, false, first, last)) {
        check(worksheet_repeat_columns(ws, static_cast<lxw_col_t>(first), static_cast<lxw_col_t>(last)),
              "PrintTitleColumns");
    }
    std::string mended;
    lxw_header_footer_options header{};
    header.margin = inches(p.HeaderMargin);
    check(worksheet_set_header_opt(
              ws, xmlText(sections(p.LeftHeader, p.CenterHeader, p.RightHeader), true, mended), &header),
          "Unable to set the header of the PageSetup class");
    lxw_header_footer_options footer{};
    footer.margin = inches(p.FooterMargin);
    check(worksheet_set_footer_opt(
              ws, xmlText(sections(p.LeftFooter, p.CenterFooter, p.RightFooter), true, mended), &footer),
          "Unable to set the footer of the PageSetup class");
    worksheet_set_margins(ws, inches(p.LeftMargin), inches(p.RightMargin), inches(p.TopMargin),
                          inches(p.BottomMargin));
    if (p.PrintHeadings) worksheet_print_row_col_headers(ws);
    worksheet_gridlines(ws, p.PrintGridlines ? LXW_SHOW_ALL_GRIDLINES : LXW_SHOW_SCREEN_GRIDLINES);
    if (p.CenterHorizontally) worksheet_center_horizontally(ws);
    if (p.CenterVertically) worksheet_center_vertically(ws);
    if (p.Orientation == xl::Landscape) {
        worksheet_set_landscape(ws);
    } else {
        worksheet_set_portrait(ws);
    }
    if (p.PaperSize > 0 && p.PaperSize < 256) worksheet_set_paper(ws, static_cast<uint8_t>(p.PaperSize));
    if (p.FirstPageNumber != xl::AutomaticPageNumber && p.FirstPageNumber > 0 && p.FirstPageNumber < 65536) {
        worksheet_set_start_page(ws, static_cast<uint16_t>(p.FirstPageNumber));
    }
    if (p.Order == xl::OverThenDown) worksheet_print_across(ws);
    if (p.Zoom != 100 && p.Zoom >= 10 && p.Zoom <= 400) {
        worksheet_set_print_scale(ws, static_cast<uint16_t>(p.Zoom));
    }
}

// The ranges whose digits stored as text (codes such as 007) the application is not to mark.
void ignoreNumbersAsText(lxw_worksheet* ws, const std::vector<CellRange>& ranges) {
    if (ranges.empty()) return;
    std::string sqref;
    char address[LXW_MAX_CELL_RANGE_LENGTH];
    for (const CellRange& r : ranges) {
        lxw_rowcol_to_range(address, static_cast<lxw_row_t>(r.firstRow), static_cast<lxw_col_t>(r.firstCol),
                            static_cast<lxw_row_t>(r.lastRow), static_cast<lxw_col_t>(r.lastCol));
        if (!sqref.empty()) sqref += ' ';
        sqref += address;
    }
    check(worksheet_ignore_errors(ws, LXW_IGNORE_NUMBER_STORED_AS_TEXT, sqref.c_str()), "ignored errors");
}

// The workbook under construction; freed unless it was closed.
struct Book {
    lxw_workbook* book = nullptr;
    ~Book() {
        if (book) lxw_workbook_free(book);
    }
};

void writeCell(lxw_worksheet* ws, lxw_row_t row, const SheetCell& cell, lxw_format* format) {
    const auto col = static_cast<lxw_col_t>(cell.col);
    if (!cell.value) {
        worksheet_write_blank(ws, row, col, format);
        return;
    }
    const SheetValue& v = *cell.value;
    if (v.kind == SheetValue::Kind::Text) {
        std::string mended;
        check(worksheet_write_string(ws, row, col, xmlText(v.text, false, mended), format), "cell text");
    } else {
        worksheet_write_number(ws, row, col, v.number, format);
    }
}

// The heights of rows whose wrapped texts take more than one line. The
// application fits a row to its wrapped cells when a cell is edited, not when
// it opens a file, so without a height the lines run over the rows below.
// Texts are measured with the thread's text measurer (none: line breaks alone
// count), cells of merged areas left out as the application leaves them out.
class RowHeights {
public:
    explicit RowHeights(const Worksheet& sheet) : sheet_(sheet), measurer_(installedTextMeasurer()) {
        for (const auto& [col, width] : sheet.columnWidths()) {
            if (col >= static_cast<int>(room_.size())) room_.resize(static_cast<std::size_t>(col) + 1, -1);
            room_[static_cast<std::size_t>(col)] = room(width);
        }
    }

    // points, 0 when the row keeps its own height
    double points(int row, const std::vector<SheetCell>& cells) const {
        double tallest = 0;
        bool wrapped = false;
        for (const SheetCell& cell : cells) {
            const CellFormat& f = sheet_.formats()[static_cast<std::size_t>(cell.format)];
            if (!f.wrap || !cell.value || cell.value->kind != SheetValue::Kind::Text) continue;
            const double size = f.size > 0 ? f.size : kDefaultFont;
            const int lines = this->lines(cell, size, f.bold);
            if (lines < 2 || merged(row, cell.col)) continue;
            wrapped = true;
            tallest = std::max(tallest, lines * linePoints(size));
        }
        return wrapped ? std::min(tallest, kTallestRow) : 0;
    }

private:
    static constexpr double kDefaultFont = 11;      // the workbook's default font size
    static constexpr double kDefaultColumn = 8.43;  // characters
    static constexpr double kTwipsPerPixel = 15;    // at 96 pixels to the inch
    static constexpr double kTallestRow = 409;      // points, as the file format allows
    // The twips a text has in a column `width` characters wide: 7 pixels a
    // character (as the file's widths are counted), less 2 pixels for a
    // glyph wider in the application's font than in the measurer's.
    static double room(double width) {
        const double pixels = width < 1 ? std::floor(width * 12 + 0.5) : std::floor(width * 7 + 0.5);
        return std::max(0.0, (pixels - 2) * kTwipsPerPixel);
    }
    // One line of Noto Sans CJK, the face Chinese text shows in (1.45 em), in whole pixels.
    static double linePoints(double size) { return std::ceil(size * 1.45 / 0.75 - 1e-9) * 0.75; }

    int lines(const SheetCell& cell, double size, bool bold) const {
        const std::string& text = cell.value->text;
        const auto col = static_cast<std::size_t>(cell.col);
        const double width = col < room_.size() && room_[col] >= 0 ? room_[col] : room(kDefaultColumn);
        auto measure = [this](std::string_view t, double points, bool) {
            return measurer_ ? measurer_->TextWidth(t, points) : 0.0;
        };
        if (text.find('\n') == std::string::npos && measure(text, size, bold) <= width) return 1;
        return sheetTextLines(text, width, size, bold, measure);
    }

    bool merged(int row, int col) const {
        return std::any_of(sheet_.merges().begin(), sheet_.merges().end(),
                           [&](const CellRange& m) { return m.contains(row, col); });
    }

    const Worksheet& sheet_;
    std::shared_ptr<TextMeasurer> measurer_;
    std::vector<double> room_;  // per column, -1 for the default width
};

}  // namespace

void Writer::save(const Worksheet& sheet, const std::string& path) {
    AtomicFile file(path);
    write(sheet, file);
    file.commit();
}

void Writer::write(const Worksheet& sheet, AtomicFile& file) {
    const std::string& path = file.destination();
    Book b;
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;
    // the library opens the file by name: the name of the temporary file itself
    const std::string target = file.openPath();
    b.book = workbook_new_opt(target.c_str(), &options);
    if (!b.book) throw Error(kCannotWrite, "Path/File access error: cannot write " + path);
    lxw_worksheet* ws = workbook_add_worksheet(b.book, nullptr);

    // the sheet's formats, and those walk() adds for long numbers as their cells come
    std::vector<lxw_format*> formats{nullptr};
    auto format = [&](int index) {
        const auto i = static_cast<std::size_t>(index);
        while (formats.size() <= i) formats.push_back(makeFormat(b.book, sheet.formats()[formats.size()]));
        return formats[i];
    };

    for (const auto& [col, width] : sheet.columnWidths()) {
        worksheet_set_column(ws, static_cast<lxw_col_t>(col), static_cast<lxw_col_t>(col), width, nullptr);
    }
    pageSetup(ws, sheet.PageSetup());
    ignoreNumbersAsText(ws, sheet.numberAsTextIgnored());

    // Rows go out in order and a written row cannot be changed. A merge is
    // recorded once its last row is written: libxlsxwriter then also writes
    // blanks into the area, which reach only that last row (the earlier ones
    // are gone), so the cells of that row inside it are written once more.
    const std::vector<CellRange>& merges = sheet.merges();
    std::vector<const CellRange*> endingAt;
    std::vector<std::size_t> byLastRow(merges.size());
    for (std::size_t i = 0; i < merges.size(); ++i) byLastRow[i] = i;
    std::sort(byLastRow.begin(), byLastRow.end(),
              [&merges](std::size_t x, std::size_t y) { return merges[x].lastRow < merges[y].lastRow; });
    std::size_t nextMerge = 0;
    const RowHeights heights(sheet);
    sheet.walk([&](int row, const std::vector<SheetCell>& cells) {
        const auto r = static_cast<lxw_row_t>(row);
        if (const double points = heights.points(row, cells); points > 0)
            check(worksheet_set_row(ws, r, points, nullptr), "row height");
        for (const SheetCell& cell : cells) writeCell(ws, r, cell, format(cell.format));
        for (; nextMerge < byLastRow.size() && merges[byLastRow[nextMerge]].lastRow == row; ++nextMerge) {
            const CellRange& m = merges[byLastRow[nextMerge]];
            check(worksheet_merge_range(ws, static_cast<lxw_row_t>(m.firstRow),
                                        static_cast<lxw_col_t>(m.firstCol), r,
                                        static_cast<lxw_col_t>(m.lastCol), "", nullptr),
                  "merge");
            for (const SheetCell& cell : cells) {
                if (cell.col >= m.firstCol && cell.col <= m.lastCol) {
                    writeCell(ws, r, cell, format(cell.format));
                }
            }
        }
    });

    lxw_workbook* book = b.book;
    b.book = nullptr;  // workbook_close frees it, whatever it returns
    errno = 0;
    const lxw_error closed = workbook_close(book);
    if (closed == LXW_NO_ERROR) return;
    const int error = errno;
    std::string why = lxw_strerror(closed);
    if (error != 0) why += " (" + std::error_code(error, std::generic_category()).message() + ")";
    file.fail(why);
    file.commit();  // throws the failure, and the temporary file goes
}

}  // namespace Palvo::xlsx
