#include "src/print/excel_report.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "palvo/convert.h"
#include "palvo/error.h"
#include "palvo/msgbox.h"
#include "palvo/report_rows.h"
#include "palvo/session.h"
#include "palvo/text.h"
#include "palvo/value.h"
#include "src/base/conversions.h"
#include "src/print/progress.h"

namespace Palvo::print {

namespace {

constexpr const char* kTooManyColumns = "超出允许的范围，最大支持 676 列";
constexpr const char* kNoData = "没有数据！";
constexpr const char* kNoPrinter = "检测不到打印机！请安装打印机！";
constexpr int kMaxColumn = 676;
constexpr int kHeaderFooterMax = 255;  // characters the file format holds per header or footer
constexpr int kEventsEvery = 256;      // rows between two chances for the window

std::string L(int col) { return columnLetters(col); }
std::string cell(int col, int row) { return L(col) + std::to_string(row); }
std::string range(int col1, int row1, int col2, int row2) {
    return cell(col1, row1) + ":" + cell(col2, row2);
}

// A text that is a number in its own plain form: an optional "-", digits
// without a leading zero, a fraction without a trailing one, at most 15
// significant digits (what a double holds). Only such a text reads back from
// a number cell as it was written; 007, +5, 1E5, 12.50 or an identity card
// number are codes or forms the user chose, and stay text.
std::optional<double> plainNumber(std::string_view text) {
    constexpr std::size_t kExactDigits = 15;
    constexpr std::string_view kDigits = "0123456789";
    std::string_view t = text;
    const bool negative = !t.empty() && t[0] == '-';
    if (negative) t.remove_prefix(1);
    const std::size_t point = t.find('.');
    const std::string_view whole = t.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? "" : t.substr(point + 1);
    if (whole.empty() || whole.find_first_not_of(kDigits) != std::string_view::npos ||
        fraction.find_first_not_of(kDigits) != std::string_view::npos) {
        return std::nullopt;  // blanks, "+", ".5", an exponent, anything else
    }
    if (point != std::string_view::npos && (fraction.empty() || fraction.back() == '0')) return std::nullopt;
    if (whole.size() > 1 && whole[0] == '0') return std::nullopt;
    if (negative && whole == "0" && fraction.empty()) return std::nullopt;  // -0 reads back as 0
    const std::size_t significant =
        whole == "0" ? fraction.size() - std::min(fraction.find_first_not_of('0'), fraction.size())
                     : whole.size() + fraction.size();
    if (significant > kExactDigits) return std::nullopt;
    return base::readNumber(text);
}

// What the application's paste makes of a text: numbers in their plain form
// and dates become numbers and dates, everything else stays text as it stands.
void pasteValue(std::string_view text, SheetValue& v) {
    v.text.assign(text);
    v.number = 0;
    if (text.empty()) {
        v.kind = SheetValue::Kind::Empty;
        return;
    }
    if (const auto n = plainNumber(text)) {
        v.kind = SheetValue::Kind::Number;
        v.number = *n;
        return;
    }
    if (auto d = base::parseDate(base::trimBlanks(text)); d && d->year >= 1900 && base::daySerial(*d) >= 61) {
        // before 1900-03-01 the application's day numbers differ from the calendar's
        v.kind = d->hasTime() ? SheetValue::Kind::DateTime : SheetValue::Kind::Date;
        v.number = base::dateSerial(*d);
        return;
    }
    v.kind = SheetValue::Kind::Text;
}

// Grid rows as pasted rows: the single-grid job keeps every cell as text.
// The cells are read when the sheet is written, and a tab or line break in
// a cell stays in that cell.
class GridRows : public RowSource {
public:
    GridRows(const ReportRows& grid, int firstRow, int rowCount, int cols, bool convert)
        : grid_(grid), first_(firstRow), rows_(rowCount), cols_(cols), convert_(convert) {}
    int rows() const override { return rows_; }
    int cols() const override { return cols_; }
    void row(int i, std::vector<SheetValue>& cells) const override {
        if (i % kEventsEvery == 0) letEventsRun();
        const int r = first_ + i;
        for (int c = 0; c < cols_; ++c) {
            SheetValue& v = cells[static_cast<std::size_t>(c)];
            put(grid_.cellText(r, c), v);
        }
    }

private:
    void put(std::string_view text, SheetValue& v) const {
        if (convert_) return pasteValue(text, v);
        v.kind = text.empty() ? SheetValue::Kind::Empty : SheetValue::Kind::Text;
        v.text.assign(text);
    }
    const ReportRows& grid_;
    int first_;
    int rows_;
    int cols_;
    bool convert_;
};

// A private temporary workbook: its own folder, readable by its owner
// alone, removed with everything in it however the job ends.
class TempWorkbook {
public:
    TempWorkbook() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/palvo-report-XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            throw Error(75, "Path/File access error: cannot make a temporary folder in " +
                                std::string(base && *base ? base : "/tmp"));
        }
        dir_ = pattern;
        path_ = dir_ + "/report.xlsx";
    }
    ~TempWorkbook() {
        std::remove(path_.c_str());
        ::rmdir(dir_.c_str());
    }
    TempWorkbook(const TempWorkbook&) = delete;
    TempWorkbook& operator=(const TempWorkbook&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string dir_;
    std::string path_;
};

// A header or footer text as the user wrote it: "&" would start a code.
std::string literal(const std::string& text) {
    std::string r;
    for (char ch : text) {
        r += ch;
        if (ch == '&') r += '&';
    }
    return r;
}

void title(Worksheet& sheet, int n, const std::string& text) {
    const std::string r = "A1:" + L(n - 1) + "1";
    sheet.Merge(r);
    sheet.Value(r, text);
    sheet.Bold(r, true);
    sheet.FontSize(r, 15);
    sheet.HorizontalAlignment(r, xl::Center);
}

void borders(Worksheet& sheet, const std::string& r) {
    for (int which = xl::EdgeLeft; which <= xl::InsideHorizontal; ++which) {
        sheet.BorderLineStyle(r, which, xl::Continuous);
    }
}

void cellFormatting(Worksheet& sheet, const std::string& r) {
    sheet.HorizontalAlignment(r, xl::Center);
    sheet.VerticalAlignment(r, xl::Center);
    sheet.WrapText(r, true);
    sheet.Orientation(r, 0);
    sheet.AddIndent(r, false);
    sheet.ShrinkToFit(r, true);
}

void columnWidths(Worksheet& sheet, const ReportRows& grid, int n) {
    for (int c = 0; c < n; ++c) {
        const std::int32_t w = grid.ColWidth(c);
        if (w != -1) sheet.ColumnWidth(L(c), w / 100.0);
    }
}

void pageSetup(Worksheet& sheet, const ExcelJob& job, const std::string& titleRows) {
    if (job.orientation != xl::Portrait && job.orientation != xl::Landscape) {
        throw Error(kRangeError, "Unable to set the Orientation property of the PageSetup class: " +
                                     std::to_string(job.orientation));
    }
    PageSetup& p = sheet.PageSetup();
    const DateTime today = DateTime::now();
    p.PrintTitleRows = titleRows;
    p.PrintTitleColumns = "";
    // the application refuses a top or bottom text that makes its header or footer longer than
    // the file holds; the rest of the page setup is still made, and the step fails at its end
    std::string refused;
    const std::string left = literal(job.top);
    const std::string right = rightHeaderText(today.year, today.month, today.day);
    if (const auto n = base::charCount("&L" + left + "&R" + right); n > kHeaderFooterMax) {
        refused =
            "Unable to set the LeftHeader property of the PageSetup class: "
            "a header holds at most 255 characters, the top text makes it " +
            std::to_string(n);
    } else {
        p.LeftHeader = left;
    }
    p.RightHeader = right;
    const std::string bottom = literal(job.bottom);
    if (const auto n = base::charCount("&L" + bottom + "&R" + std::string(kRightFooter));
        n > kHeaderFooterMax) {
        refused += std::string(refused.empty() ? "" : "; ") +
                   "Unable to set the LeftFooter property of the PageSetup class: "
                   "a footer holds at most 255 characters, the bottom text makes it " +
                   std::to_string(n);
    } else {
        p.LeftFooter = bottom;
    }
    p.RightFooter = kRightFooter;
    p.LeftMargin = InchesToPoints(0.4);
    p.RightMargin = InchesToPoints(0.4);
    p.TopMargin = InchesToPoints(0.3);
    p.BottomMargin = InchesToPoints(0.6);
    p.HeaderMargin = InchesToPoints(0.56);
    p.FooterMargin = InchesToPoints(0.3);
    p.PrintHeadings = false;
    p.PrintGridlines = false;
    p.PrintComments = xl::PrintNoComments;
    p.CenterHorizontally = job.centring != 0;
    p.Orientation = job.orientation;
    p.Draft = false;
    p.PaperSize = xl::PaperA4;
    p.FirstPageNumber = xl::AutomaticPageNumber;
    p.Order = xl::DownThenOver;
    p.BlackAndWhite = false;
    p.Zoom = 100;
    if (!refused.empty()) throw Error(kRangeError, refused);
}

// Saves the workbook where the user finds it and opens it, or shows its
// pages from a private temporary file that goes once the preview closed.
void finish(Worksheet& sheet, const ExcelJob& job, SpreadsheetWriter& writer) {
    sheet.prepare();
    SpreadsheetDesk& desk = spreadsheetDesk();
    if (job.canEdit) {
        const std::string path = desk.savePath(job.title);
        writer.save(sheet, path);
        desk.open(path);
        return;
    }
    TempWorkbook temp;
    writer.save(sheet, temp.path());
    desk.preview(
        {temp.path(), &sheet, job.title, sheet.PageSetup(), sheet.lastRow() + 1, sheet.lastCol() + 1});
}

// The extra merges: each item is made or refused on its own. An item may
// reach any cell the report wrote (title, heading and data rows, the
// heading's columns), no further: cells beyond are empty, and clearing a
// sheet-wide area would never end. Nor may it hide a cell no one asked to merge.
void otherMerges(Worksheet& sheet, const std::string& list, int offset, int lastRow, int n) {
    std::string refused;
    auto refuse = [&refused](const std::string& why) { refused += (refused.empty() ? "" : "; ") + why; };
    const std::string table = "A1:" + cell(n - 1, lastRow);
    for (const OtherMerge& item : parseOtherMerges(list)) {
        if (!item.cells) {
            refuse("merge item " + item.text + " does not hold whole numbers");
            continue;
        }
        const MergeItem& m = *item.cells;
        if (std::min(m.row1, m.row2) + offset < 1 || std::max(m.row1, m.row2) + offset > lastRow ||
            std::max(m.col1, m.col2) >= n) {
            refuse("merge item " + item.text + " lies outside the table " + table);
            continue;
        }
        const std::string r = range(m.col1, m.row1 + offset, m.col2, m.row2 + offset);
        const CellRange area = parseRange(r);
        if (const std::string why = mergeHides(sheet.merges(), area); !why.empty()) {
            refuse("merge item " + item.text + ": " + why);
            continue;
        }
        for (int row = area.firstRow; row <= area.lastRow; ++row) {
            for (int col = area.firstCol; col <= area.lastCol; ++col) {
                if (row != area.firstRow || col != area.firstCol) sheet.Value(cell(col, row + 1), "");
            }
        }
        sheet.Merge(r);
    }
    if (!refused.empty()) throw Error(kRangeError, "Merge method of Range class failed: " + refused);
}

// Fails naming a heading text a merged area hides, one other than the text it shows: a heading
// that lost a text would read wrong. (The merges headingMerges records hide none.)
void headingShown(const Worksheet& sheet, const std::vector<std::vector<std::string>>& texts) {
    auto text = [&texts](int row, int col) -> std::string {
        const int r = row - 2;  // sheet row 3 holds heading row 0
        if (r < 0 || r >= static_cast<int>(texts.size())) return "";
        const auto& line = texts[static_cast<std::size_t>(r)];
        return col < static_cast<int>(line.size()) ? line[static_cast<std::size_t>(col)] : "";
    };
    for (const CellRange& m : sheet.merges()) {
        const std::string shown = text(m.firstRow, m.firstCol);
        for (int row = m.firstRow; row <= m.lastRow; ++row) {
            for (int col = m.firstCol; col <= m.lastCol; ++col) {
                const std::string t = text(row, col);
                if (t.empty() || t == shown) continue;
                throw Error(kRangeError, "表头“" + t + "”会被合并区域 " +
                                             range(m.firstCol, m.firstRow + 1, m.lastCol, m.lastRow + 1) +
                                             " 遮住，无法合并表头！");
            }
        }
    }
}

[[noreturn]] void noGrid() { throw Error(91, "Object variable or With block variable not set: no grid"); }

// A step whose failure the composite job reports and carries on after.
template <class Step>
void trapped(std::string& result, Step&& step) {
    try {
        step();
    } catch (const Error& e) {
        result += e.description();
    }
}

}  // namespace

const char* const kRightFooter =
    "第&\"Times New Roman,常规\" &P &\"宋体,常规\"页，共&\"Times New Roman,常规\" &N &\"宋体,常规\"页";

std::string rightHeaderText(int year, int month, int day) {
    return "时间:" + std::to_string(year) + "年" + std::to_string(month) + "月" + std::to_string(day) + "日";
}

std::string columnLetters(int col) {
    if (col < 0) return "";
    if (col <= 25) return std::string(1, static_cast<char>('A' + col));
    if (col <= kMaxColumn) {
        return std::string{static_cast<char>('@' + col / 26), static_cast<char>('A' + col % 26)};
    }
    msgBox(kTooManyColumns, vbExclamation, session().sMsg);
    return "";
}

HeadingMerges headingMerges(const std::vector<std::vector<std::string>>& heading) {
    HeadingMerges m;
    const int h = static_cast<int>(heading.size());
    const int n = h == 0 ? 0 : static_cast<int>(heading[0].size());
    std::vector<std::vector<std::string>> x = heading;
    std::vector<std::vector<std::string>> y = heading;
    auto at = [](auto& t, int r, int c) -> auto& {
        return t[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
    };
    // a run of one text from heading cell (r, c), `k` cells more across or down
    struct Run {
        bool across;
        int r, c, k;
    };
    std::vector<Run> runs;
    for (int r = 0; r < h; ++r) {
        int k = 0;
        for (int c = n - 1; c >= 1; --c) {
            if (!at(x, r, c - 1).empty() && at(x, r, c) == at(x, r, c - 1)) {
                ++k;
                at(x, r, c).clear();
            } else if (k > 0) {
                runs.push_back({true, r, c, k});
                k = 0;
            }
        }
        if (k > 0) runs.push_back({true, r, 0, k});
    }
    for (int c = 0; c < n; ++c) {
        int k = 0;
        for (int r = h - 1; r >= 1; --r) {
            if (at(y, r - 1, c).empty() || at(y, r, c) != at(y, r - 1, c)) {
                if (k > 0) runs.push_back({false, r, c, k});
                k = 0;
            } else {
                ++k;
                at(y, r, c).clear();
            }
        }
        if (k > 0) runs.push_back({false, 0, c, k});
    }
    // the text a heading cell shows: the first of its runs both ways
    auto text = [&](int r, int c) -> const std::string& {
        static const std::string none;
        return at(x, r, c).empty() || at(y, r, c).empty() ? none : at(x, r, c);
    };
    // Each merge as the sheet makes it, in order: one that joins merged areas next to it shows
    // a single text over all of them. Where that would hide another text, the run is not merged
    // and its cells show their texts again.
    std::vector<CellRange> made;  // heading rows and columns
    for (const Run& run : runs) {
        const CellRange item{run.r, run.c, run.r + (run.across ? 0 : run.k),
                             run.c + (run.across ? run.k : 0)};
        std::vector<const CellRange*> joined;
        const CellRange area = mergedArea(made, item, &joined);
        const std::string& shown = text(area.firstRow, area.firstCol);
        bool hides = false;
        for (int r = area.firstRow; r <= area.lastRow && !hides; ++r) {
            for (int c = area.firstCol; c <= area.lastCol && !hides; ++c)
                hides = !text(r, c).empty() && text(r, c) != shown;
        }
        if (hides) {
            for (int i = 1; i <= run.k; ++i) {
                if (run.across) {
                    at(x, run.r, run.c + i) = at(heading, run.r, run.c + i);
                } else {
                    at(y, run.r + i, run.c) = at(heading, run.r + i, run.c);
                }
            }
            continue;
        }
        std::vector<CellRange> kept{area};
        for (const CellRange& a : made) {
            if (std::find(joined.begin(), joined.end(), &a) == joined.end()) kept.push_back(a);
        }
        made = std::move(kept);
        (run.across ? m.across : m.down)
            .push_back(range(item.firstCol, 3 + item.firstRow, item.lastCol, 3 + item.lastRow));
    }
    m.texts.assign(static_cast<std::size_t>(h), std::vector<std::string>(static_cast<std::size_t>(n)));
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < n; ++c) at(m.texts, r, c) = text(r, c);
    }
    return m;
}

std::vector<OtherMerge> parseOtherMerges(const std::string& text) {
    std::vector<OtherMerge> items;
    auto number = [](std::string_view part) -> std::optional<int> {
        const std::string_view t = base::trimBlanks(part);
        if (t.size() > 9 || !base::allDigits(t)) {
            return std::nullopt;
        }
        return std::stoi(std::string(t));
    };
    // one half "(row,col)": its first and last characters are skipped
    auto half = [&number](std::string_view h, int& row, int& col) {
        const std::size_t comma = h.find(',');
        if (h.size() < 2 || comma == std::string_view::npos) return false;
        const auto r = number(h.substr(1, comma - 1));
        const auto c = number(h.substr(comma + 1, h.size() - comma - 2));
        if (!r || !c) return false;
        row = *r;
        col = *c;
        return true;
    };
    std::string_view rest = text;
    while (base::charCount(rest) >= 12) {
        const std::size_t semicolon = rest.find(';');
        if (semicolon == std::string_view::npos) break;
        OtherMerge item{std::string(rest.substr(0, semicolon)), std::nullopt};
        rest.remove_prefix(semicolon + 1);
        if (base::charCount(item.text) < 11) break;
        const std::string_view t = item.text;
        const std::size_t colon = t.find(':');
        MergeItem m;
        if (colon != std::string_view::npos && half(t.substr(0, colon), m.row1, m.col1) &&
            half(t.substr(colon + 1), m.row2, m.col2)) {
            item.cells = m;
        }
        items.push_back(std::move(item));
    }
    return items;
}

CellRange mergedArea(const std::vector<CellRange>& merged, const CellRange& item,
                     std::vector<const CellRange*>* joined) {
    // the areas the merge takes in, as the sheet joins them: one over another, until none is left
    CellRange area = item;
    std::vector<const CellRange*> taken;
    for (bool grew = true; grew;) {
        grew = false;
        for (const CellRange& m : merged) {
            if (!m.overlaps(area) || std::find(taken.begin(), taken.end(), &m) != taken.end()) continue;
            taken.push_back(&m);
            area = {std::min(area.firstRow, m.firstRow), std::min(area.firstCol, m.firstCol),
                    std::max(area.lastRow, m.lastRow), std::max(area.lastCol, m.lastCol)};
            grew = true;
        }
    }
    if (joined) *joined = std::move(taken);
    return area;
}

std::string mergeHides(const std::vector<CellRange>& merged, const CellRange& item) {
    auto cells = [](const CellRange& r) {
        return static_cast<long long>(r.lastRow - r.firstRow + 1) * (r.lastCol - r.firstCol + 1);
    };
    auto address = [](const CellRange& r) {
        const std::string first = cell(r.firstCol, r.firstRow + 1);
        return r.firstRow == r.lastRow && r.firstCol == r.lastCol
                   ? first
                   : first + ":" + cell(r.lastCol, r.lastRow + 1);
    };
    std::vector<const CellRange*> joined;
    const CellRange area = mergedArea(merged, item, &joined);
    if (joined.empty()) return "";
    // merged areas never overlap one another, so the cells they add to the item's count once each
    long long covered = cells(item);
    for (const CellRange* m : joined) {
        const CellRange common{std::max(m->firstRow, item.firstRow), std::max(m->firstCol, item.firstCol),
                               std::min(m->lastRow, item.lastRow), std::min(m->lastCol, item.lastCol)};
        covered += cells(*m) - cells(common);
    }
    if (covered != cells(area)) {
        return "with the merged area " + address(*joined.front()) + " it would merge " + address(area) +
               ", cells no item names";
    }
    for (const CellRange* m : joined) {
        const bool shown = m->firstRow == area.firstRow && m->firstCol == area.firstCol;
        if (!shown && !item.contains(m->firstRow, m->firstCol)) {
            return "it would hide " + address({m->firstRow, m->firstCol, m->firstRow, m->firstCol}) +
                   ", the cell the merged area " + address(*m) + " shows";
        }
    }
    return "";
}

std::string reportGridJob(const ExcelJob& job, const std::function<void()>& unload) {
    if (!job.data) noGrid();
    const ReportRows& grid = *job.data;
    const int n = grid.Cols();
    const int rows = grid.Rows();
    if (rows < 2) {
        unload();
        return kNoData;
    }
    if (spreadsheetDesk().printerCount() < 1) {
        unload();
        return kNoPrinter;
    }
    try {
        setProgressText("正在生成 Excel 报表，请等待.....");
        SpreadsheetWriter& writer = spreadsheetWriter();
        Worksheet sheet;
        title(sheet, n, job.title);
        for (int c = 0; c < n; ++c) sheet.Value(cell(c, 3), grid.TextMatrix(0, c));
        sheet.Bold("A3:" + L(n - 1) + "3", true);
        const std::string table = "A3:" + L(n - 1) + std::to_string(rows + 2);
        sheet.NumberFormatLocal(table, "@");  // every cell text, so 007 stays 007
        // and the application marks none of them as a number stored as text
        sheet.IgnoreNumberAsText("A1:" + L(n - 1) + std::to_string(rows + 2));
        letEventsRun();
        sheet.Paste("A4", std::make_shared<GridRows>(grid, 1, rows - 1, n, false));
        columnWidths(sheet, grid, n);
        borders(sheet, table);
        pageSetup(sheet, job, "$1:$3");
        cellFormatting(sheet, table);  // centred both ways, wrapped, upright, shrunk
        sheet.UnMerge(table);
        finish(sheet, job, writer);
        unload();
    } catch (const Error& e) {
        unload();
        msgBox(e.description(), vbExclamation, session().sMsg);
    }
    return "";
}

std::string comFlxJob(const ExcelJob& job) {
    if (!job.data) noGrid();
    const ReportRows& data = *job.data;
    const ReportRows& head = job.heading ? *job.heading : data;
    const int n = job.headingCols < 1 ? head.Cols() : job.headingCols;
    const int first = job.dataBeginRow < 0 ? data.FixedRows() : job.dataBeginRow;
    const int h = head.FixedRows();
    std::string result;
    try {
        SpreadsheetWriter& writer = spreadsheetWriter();
        Worksheet sheet;
        setProgressText("正在生成excel报表,请稍候....");
        title(sheet, n, job.title);

        setProgressText("正在设置表头格式,请稍候....");
        std::vector<std::vector<std::string>> texts(static_cast<std::size_t>(h));
        for (int r = 0; r < h; ++r) {
            for (int c = 0; c < n; ++c) texts[static_cast<std::size_t>(r)].push_back(head.TextMatrix(r, c));
        }
        const HeadingMerges heading = headingMerges(texts);
        for (int r = 0; r < h; ++r) {
            for (int c = 0; c < n; ++c) {
                const std::string& t =
                    heading.texts[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
                if (!t.empty()) sheet.Value(cell(c, 3 + r), t);
            }
        }
        for (const std::string& r : heading.across) sheet.Merge(r);
        for (const std::string& r : heading.down) sheet.Merge(r);
        headingShown(sheet, heading.texts);
        if (h > 0) {
            const std::string block = "A3:" + L(n - 1) + std::to_string(2 + h);
            sheet.Bold(block, true);
            sheet.HorizontalAlignment(block, xl::Center);
        }

        setProgressText("正在提取数据,请稍候....");
        const int dataRows = std::max(0, data.Rows() - first);
        trapped(result, [&] {
            if (n > data.Cols() || first > data.Rows()) {
                throw Error(ErrorNumber::SubscriptOutOfRange, "Subscript out of range: the data grid has " +
                                                                  std::to_string(data.Cols()) + " columns");
            }
            sheet.Paste("A" + std::to_string(3 + h),
                        std::make_shared<GridRows>(data, first, dataRows, n, true));
        });
        trapped(result, [&] { otherMerges(sheet, job.otherMerges, 3 + h - first, 2 + h + dataRows, n); });

        setProgressText("正在进行格式设置,请稍候....");
        trapped(result, [&] { columnWidths(sheet, data, n); });
        // the table ends with the last data row, however many heading rows stand above it
        const std::string table = "A3:" + L(n - 1) + std::to_string(std::max(2 + h + dataRows, 3));
        borders(sheet, table);
        // codes kept as text (007, 1E5) get no "number stored as text" mark
        sheet.IgnoreNumberAsText("A1:" + L(n - 1) + std::to_string(std::max(2 + h + dataRows, 3)));
        trapped(result, [&] { pageSetup(sheet, job, "$1:$" + std::to_string(2 + h)); });
        cellFormatting(sheet, table);
        finish(sheet, job, writer);
    } catch (const Error& e) {
        return result + e.description();
    }
    return result;
}

}  // namespace Palvo::print
