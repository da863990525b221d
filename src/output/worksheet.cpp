// The worksheet model: ranges, merges, values and formats as the spreadsheet report sets them.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "palvo/error.h"
#include "palvo/spreadsheet.h"
#include "palvo/value.h"

namespace Palvo {

namespace {

constexpr int kMaxRow = 1048575;  // 0-based, as the file format allows
constexpr int kMaxCol = 16383;

[[noreturn]] void badAddress(std::string_view address) {
    throw Error(kRangeError,
                "Method 'Range' of object '_Worksheet' failed: \"" + std::string(address) + "\"");
}

// Column letters then row digits; either part may be missing when the caller allows it.
bool readCell(std::string_view s, int& row, int& col, bool wantRow, bool wantCol) {
    std::size_t i = 0;
    if (i < s.size() && s[i] == '$') ++i;
    long c = 0;
    std::size_t letters = 0;
    while (i < s.size() && std::isalpha(static_cast<unsigned char>(s[i])) && letters < 3) {
        c = c * 26 + (std::toupper(static_cast<unsigned char>(s[i])) - 'A' + 1);
        ++i;
        ++letters;
    }
    if (i < s.size() && s[i] == '$') ++i;
    long r = 0;
    std::size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && digits < 8) {
        r = r * 10 + (s[i] - '0');
        ++i;
        ++digits;
    }
    if (i != s.size() || (letters > 0) != wantCol || (digits > 0) != wantRow) return false;
    if (wantCol && (c < 1 || c > kMaxCol + 1)) return false;
    if (wantRow && (r < 1 || r > kMaxRow + 1)) return false;
    col = static_cast<int>(c - 1);
    row = static_cast<int>(r - 1);
    return true;
}

CellRange readRange(std::string_view address, bool wantRow, bool wantCol) {
    const std::size_t colon = address.find(':');
    const std::string_view first = address.substr(0, colon);
    const std::string_view last = colon == std::string_view::npos ? first : address.substr(colon + 1);
    CellRange r;
    if (!readCell(first, r.firstRow, r.firstCol, wantRow, wantCol) ||
        !readCell(last, r.lastRow, r.lastCol, wantRow, wantCol)) {
        badAddress(address);
    }
    if (r.firstRow > r.lastRow) std::swap(r.firstRow, r.lastRow);
    if (r.firstCol > r.lastCol) std::swap(r.firstCol, r.lastCol);
    return r;
}

enum class What { Bold, Size, HAlign, VAlign, Wrap, Shrink, Indent, Rotation, NumberFormat, Border };

struct FormatOp {
    CellRange range;
    What what;
    double number = 0;
    int which = 0;
    std::string text;
};

void apply(const FormatOp& op, CellFormat& f, int row, int col) {
    const CellRange& g = op.range;
    const int n = static_cast<int>(op.number);
    switch (op.what) {
        case What::Bold:
            f.bold = n != 0;
            return;
        case What::Size:
            f.size = op.number;
            return;
        case What::HAlign:
            f.horizontal = n;
            return;
        case What::VAlign:
            f.vertical = n;
            return;
        case What::Wrap:
            f.wrap = n != 0;
            return;
        case What::Shrink:
            f.shrink = n != 0;
            return;
        case What::Indent:
            f.indent = n != 0;
            return;
        case What::Rotation:
            f.orientation = n;
            return;
        case What::NumberFormat:
            f.numberFormat = op.text;
            return;
        case What::Border:
            break;
    }
    const int style = n == xl::LineStyleNone ? 0 : n;
    switch (op.which) {
        case xl::EdgeLeft:
            if (col == g.firstCol) f.borderLeft = style;
            return;
        case xl::EdgeTop:
            if (row == g.firstRow) f.borderTop = style;
            return;
        case xl::EdgeBottom:
            if (row == g.lastRow) f.borderBottom = style;
            return;
        case xl::EdgeRight:
            if (col == g.lastCol) f.borderRight = style;
            return;
        case xl::InsideVertical:
            if (col > g.firstCol) f.borderLeft = style;
            if (col < g.lastCol) f.borderRight = style;
            return;
        case xl::InsideHorizontal:
            if (row > g.firstRow) f.borderTop = style;
            if (row < g.lastRow) f.borderBottom = style;
            return;
        default:
            return;
    }
}

// The decimals of a number that the general format would not show whole, or -1:
// it shows at most 11 characters (the sign aside) and rounds a longer number or
// gives it an exponent, so a 15-digit code would read 1.23457E+14.
int exactDecimals(const SheetValue& v) {
    std::string_view t = v.text;
    char buf[32];
    if (t.empty()) {
        std::snprintf(buf, sizeof buf, "%.15g", v.number);
        t = buf;
    }
    if (!t.empty() && t[0] == '-') t.remove_prefix(1);
    if (t.size() <= 11 || t.find_first_not_of("0123456789.") != std::string_view::npos) return -1;
    const std::size_t point = t.find('.');
    return point == std::string_view::npos ? 0 : static_cast<int>(t.size() - point - 1);
}

}  // namespace

CellRange parseRange(std::string_view address) { return readRange(address, true, true); }

CellRange parseRows(std::string_view address) {
    CellRange r = readRange(address, true, false);
    r.firstCol = 0;
    r.lastCol = kMaxCol;
    return r;
}

CellRange parseColumns(std::string_view address) {
    CellRange r = readRange(address, false, true);
    r.firstRow = 0;
    r.lastRow = kMaxRow;
    return r;
}

struct Worksheet::Impl {
    struct Stored {
        SheetValue value;
        long order = 0;
    };
    struct Pasted {
        int row = 0;
        int col = 0;
        std::shared_ptr<const RowSource> source;
        long order = 0;
    };

    std::vector<FormatOp> ops;
    std::map<std::pair<int, int>, Stored> values;
    std::vector<Pasted> pastes;
    std::map<int, double> widths;
    long order = 0;

    // worked out by prepare()
    std::vector<int> bandStart;                // first row of each band of rows formatted alike
    std::vector<std::vector<int>> bandFormat;  // per band, per column 0..lastCol
    std::vector<int> dateFormat;               // per format: its variant for a date
    std::vector<int> dateTimeFormat;           // and for a date with a time of day
    // per (format, decimals): its variant showing every digit of a long number, made by walk()
    std::map<std::pair<int, int>, int> exactFormat;
    int lastRow = -1;
    int lastCol = -1;

    void add(std::string_view range, What what, double number, int which = 0, std::string text = {}) {
        ops.push_back({parseRange(range), what, number, which, std::move(text)});
    }
};

Worksheet::Worksheet() : impl_(std::make_unique<Impl>()), formats_(1) {}
Worksheet::~Worksheet() = default;

void Worksheet::Merge(std::string_view range) {
    CellRange r = parseRange(range);
    if (r.firstRow == r.lastRow && r.firstCol == r.lastCol) return;  // one cell is no merge
    // a merge over merged areas takes them in: one rectangle covering all
    for (bool grew = true; grew;) {
        grew = false;
        for (auto it = merges_.begin(); it != merges_.end(); ++it) {
            if (!it->overlaps(r)) continue;
            r = {std::min(r.firstRow, it->firstRow), std::min(r.firstCol, it->firstCol),
                 std::max(r.lastRow, it->lastRow), std::max(r.lastCol, it->lastCol)};
            merges_.erase(it);
            grew = true;
            break;
        }
    }
    merges_.push_back(r);
}

void Worksheet::UnMerge(std::string_view range) {
    const CellRange r = parseRange(range);
    std::erase_if(merges_, [&r](const CellRange& m) { return m.overlaps(r); });
}

void Worksheet::Value(std::string_view range, const std::string& text) {
    const CellRange r = parseRange(range);
    const long long cells =
        (static_cast<long long>(r.lastRow) - r.firstRow + 1) * (r.lastCol - r.firstCol + 1);
    if (cells > kMaxValueCells) {
        throw Error(kRangeError, "Method 'Value' of object 'Range' failed: " + std::string(range) +
                                     " holds " + std::to_string(cells) + " cells; at most " +
                                     std::to_string(kMaxValueCells) + " take a value at once");
    }
    for (int row = r.firstRow; row <= r.lastRow; ++row) {
        for (int col = r.firstCol; col <= r.lastCol; ++col) {
            auto& cell = impl_->values[{row, col}];
            cell.value.kind = text.empty() ? SheetValue::Kind::Empty : SheetValue::Kind::Text;
            cell.value.text = text;
            cell.order = ++impl_->order;
        }
    }
}

void Worksheet::Bold(std::string_view range, bool bold) { impl_->add(range, What::Bold, bold); }
void Worksheet::FontSize(std::string_view range, double points) { impl_->add(range, What::Size, points); }
void Worksheet::HorizontalAlignment(std::string_view range, int a) { impl_->add(range, What::HAlign, a); }
void Worksheet::VerticalAlignment(std::string_view range, int a) { impl_->add(range, What::VAlign, a); }
void Worksheet::WrapText(std::string_view range, bool wrap) { impl_->add(range, What::Wrap, wrap); }
void Worksheet::ShrinkToFit(std::string_view range, bool shrink) { impl_->add(range, What::Shrink, shrink); }
void Worksheet::AddIndent(std::string_view range, bool indent) { impl_->add(range, What::Indent, indent); }
void Worksheet::Orientation(std::string_view range, int degrees) {
    impl_->add(range, What::Rotation, degrees);
}

void Worksheet::NumberFormatLocal(std::string_view range, const std::string& format) {
    impl_->add(range, What::NumberFormat, 0, 0, format);
}

void Worksheet::BorderLineStyle(std::string_view range, int which, int lineStyle) {
    if (which < xl::EdgeLeft || which > xl::InsideHorizontal) {
        throw Error(kRangeError, "Unable to set the LineStyle property of the Border class: border " +
                                     std::to_string(which));
    }
    impl_->add(range, What::Border, lineStyle, which);
}

void Worksheet::ColumnWidth(std::string_view columns, double width) {
    const CellRange r = parseColumns(columns);
    if (!(width >= 0 && width <= 255)) {
        throw Error(kRangeError,
                    "Unable to set the ColumnWidth property of the Range class: " + std::to_string(width));
    }
    for (int c = r.firstCol; c <= r.lastCol; ++c) impl_->widths[c] = width;
}

void Worksheet::IgnoreNumberAsText(std::string_view range) { numberAsText_.push_back(parseRange(range)); }

void Worksheet::Paste(std::string_view cell, std::shared_ptr<const RowSource> source) {
    const CellRange at = parseRange(cell);
    if (!source || source->rows() == 0 || source->cols() == 0) return;
    if (at.firstRow + source->rows() - 1 > kMaxRow || at.firstCol + source->cols() - 1 > kMaxCol) {
        throw Error(kRangeError, "Paste method of Worksheet class failed: the rows do not fit the sheet");
    }
    impl_->pastes.push_back({at.firstRow, at.firstCol, std::move(source), ++impl_->order});
}

std::vector<std::pair<int, double>> Worksheet::columnWidths() const {
    return {impl_->widths.begin(), impl_->widths.end()};
}

int Worksheet::lastRow() const { return impl_->lastRow; }
int Worksheet::lastCol() const { return impl_->lastCol; }

void Worksheet::prepare() {
    Impl& m = *impl_;
    int lastRow = -1;
    int lastCol = -1;
    auto extend = [&](int r, int c) {
        lastRow = std::max(lastRow, r);
        lastCol = std::max(lastCol, c);
    };
    for (const FormatOp& op : m.ops) extend(op.range.lastRow, op.range.lastCol);
    for (const auto& [at, cell] : m.values) extend(at.first, at.second);
    for (const auto& p : m.pastes) extend(p.row + p.source->rows() - 1, p.col + p.source->cols() - 1);
    for (const CellRange& r : merges_) extend(r.lastRow, r.lastCol);
    m.lastRow = lastRow;
    m.lastCol = lastCol;
    std::sort(merges_.begin(), merges_.end(), [](const CellRange& a, const CellRange& b) {
        return a.firstRow != b.firstRow ? a.firstRow < b.firstRow : a.firstCol < b.firstCol;
    });

    // Rows in one band stand in the same place towards every format's range
    // (first, inner, last row), so one row stands for the band.
    std::vector<int> starts{0};
    for (const FormatOp& op : m.ops) {
        for (int r : {op.range.firstRow, op.range.firstRow + 1, op.range.lastRow, op.range.lastRow + 1}) {
            starts.push_back(r);
        }
    }
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    formats_.assign(1, CellFormat{});
    auto intern = [this](const CellFormat& f) {
        auto it = std::find(formats_.begin(), formats_.end(), f);
        if (it != formats_.end()) return static_cast<int>(it - formats_.begin());
        formats_.push_back(f);
        return static_cast<int>(formats_.size() - 1);
    };
    m.bandStart = starts;
    m.bandFormat.assign(starts.size(), std::vector<int>(static_cast<std::size_t>(lastCol + 1), 0));
    for (std::size_t b = 0; b < starts.size(); ++b) {
        const int row = starts[b];
        for (int col = 0; col <= lastCol; ++col) {
            CellFormat f;
            for (const FormatOp& op : m.ops) {
                if (op.range.contains(row, col)) apply(op, f, row, col);
            }
            m.bandFormat[b][static_cast<std::size_t>(col)] = intern(f);
        }
    }
    // dates pasted into a general cell show as dates, in the form the grid showed them
    m.exactFormat.clear();
    const std::size_t base = formats_.size();
    m.dateFormat.assign(base, 0);
    m.dateTimeFormat.assign(base, 0);
    for (std::size_t i = 0; i < base; ++i) {
        if (!formats_[i].numberFormat.empty()) {
            m.dateFormat[i] = m.dateTimeFormat[i] = static_cast<int>(i);
            continue;
        }
        CellFormat f = formats_[i];
        f.numberFormat = "yyyy-mm-dd";
        m.dateFormat[i] = intern(f);
        f.numberFormat = "yyyy-mm-dd hh:mm:ss";
        m.dateTimeFormat[i] = intern(f);
    }
}

int Worksheet::exactFormat(int format, int decimals) const {
    if (decimals < 0 || !formats_[static_cast<std::size_t>(format)].numberFormat.empty()) return format;
    auto [at, added] = impl_->exactFormat.try_emplace({format, decimals}, 0);
    if (!added) return at->second;
    CellFormat f = formats_[static_cast<std::size_t>(format)];
    f.numberFormat = decimals == 0 ? "0" : "0." + std::string(static_cast<std::size_t>(decimals), '0');
    const auto same = std::find(formats_.begin(), formats_.end(), f);
    at->second = static_cast<int>(same - formats_.begin());
    if (same == formats_.end()) formats_.push_back(f);
    return at->second;
}

void Worksheet::walk(const std::function<void(int, const std::vector<SheetCell>&)>& visit) const {
    const Impl& m = *impl_;
    const int width = m.lastCol + 1;
    std::vector<std::vector<SheetValue>> rows(m.pastes.size());
    std::vector<const SheetValue*> value(static_cast<std::size_t>(std::max(width, 0)));
    std::vector<long> order(value.size());
    std::vector<SheetCell> cells;
    std::vector<const CellRange*> active;
    std::size_t nextMerge = 0;
    std::size_t band = 0;
    auto valueAt = m.values.begin();
    for (int row = 0; row <= m.lastRow; ++row) {
        while (band + 1 < m.bandStart.size() && m.bandStart[band + 1] <= row) ++band;
        std::fill(value.begin(), value.end(), nullptr);
        std::fill(order.begin(), order.end(), 0);
        for (std::size_t p = 0; p < m.pastes.size(); ++p) {
            const Impl::Pasted& paste = m.pastes[p];
            const int i = row - paste.row;
            if (i < 0 || i >= paste.source->rows()) continue;
            std::vector<SheetValue>& buffer = rows[p];
            buffer.resize(static_cast<std::size_t>(paste.source->cols()));
            paste.source->row(i, buffer);
            for (std::size_t k = 0; k < buffer.size(); ++k) {
                const std::size_t col = static_cast<std::size_t>(paste.col) + k;
                if (order[col] > paste.order) continue;
                value[col] = &buffer[k];
                order[col] = paste.order;
            }
        }
        for (; valueAt != m.values.end() && valueAt->first.first == row; ++valueAt) {
            const auto col = static_cast<std::size_t>(valueAt->first.second);
            if (order[col] > valueAt->second.order) continue;
            value[col] = &valueAt->second.value;
            order[col] = valueAt->second.order;
        }
        // a merged area shows its top-left value alone
        std::erase_if(active, [row](const CellRange* r) { return r->lastRow < row; });
        while (nextMerge < merges_.size() && merges_[nextMerge].firstRow <= row) {
            active.push_back(&merges_[nextMerge++]);
        }
        for (const CellRange* r : active) {
            for (int col = r->firstCol; col <= r->lastCol; ++col) {
                if (row != r->firstRow || col != r->firstCol) value[static_cast<std::size_t>(col)] = nullptr;
            }
        }
        cells.clear();
        const std::vector<int>& formats = m.bandFormat[band];
        for (int col = 0; col < width; ++col) {
            const SheetValue* v = value[static_cast<std::size_t>(col)];
            if (v && v->kind == SheetValue::Kind::Empty) v = nullptr;
            int format = formats[static_cast<std::size_t>(col)];
            if (v && v->kind == SheetValue::Kind::Date)
                format = m.dateFormat[static_cast<std::size_t>(format)];
            if (v && v->kind == SheetValue::Kind::DateTime) {
                format = m.dateTimeFormat[static_cast<std::size_t>(format)];
            }
            if (v && v->kind == SheetValue::Kind::Number) format = exactFormat(format, exactDecimals(*v));
            if (v || format != 0) cells.push_back({col, v, format});
        }
        visit(row, cells);
    }
}
}  // namespace Palvo
