#include "src/forms/frm_get_infor.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <unordered_set>
#include <utility>
#include <vector>

#include "palvo/clsForm.h"
#include "palvo/error.h"
#include "palvo/msgbox.h"
#include "palvo/session.h"
#include "src/base/conversions.h"
#include "src/forms/field_props.h"
#include "src/grid/grid_fill.h"
#include "src/grid/grid_utils.h"
#include "src/util/lists.h"
#include "src/util/pinyin.h"

namespace Palvo::forms {

namespace {

constexpr std::int32_t kBlue = 0xFF0000;
constexpr std::int32_t kMarked = 255;  // red
constexpr auto npos = std::string_view::npos;
constexpr const char* kPinyinStopped = "拼音查询未完成，列表未改变：";

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

bool contains(std::string_view text, std::string_view what) { return text.find(what) != npos; }

// The expression behind a select item shown under `alias`: the item up to the
// word AS before the alias, or up to the alias when it has no AS. Only the word
// counts, so CASE, CAST or a name like LASTNAME is not cut at its letters "AS".
std::string expressionBehind(std::string_view item, std::string_view alias) {
    std::string_view t = item.substr(0, item.find_last_not_of(' ') + 1);
    t.remove_suffix(alias.size());
    const std::size_t last = t.find_last_not_of(' ');
    if (last != npos && last >= 1 && t.substr(last - 1, 2) == "AS") {
        if (last == 1 || t[last - 2] == ' ' || t[last - 2] == ')' || t[last - 2] == ']') {
            return std::string(t.substr(0, last - 1));
        }
    }
    return std::string(t);
}

// The filter w joined to the part of the host's query before its ORDER BY
// (both in upper case): on a column shown under an alias it applies to the
// expression behind the alias, which is all the WHERE clause can name.
std::string aliasAwareFilter(std::string_view head, std::string_view w) {
    const bool hasWhere = contains(head, "WHERE");
    const std::size_t like = w.find("LIKE");
    const std::size_t select = head.find("SELECT");
    const std::size_t from = head.find("FROM");
    if (like != npos && select != npos && from != npos && from > select + 7) {
        const std::string column = base::trim(w.substr(0, like));
        const std::string list = base::trim(head.substr(select + 7, from - select - 7));
        for (std::string_view item : base::split(list, ',')) {
            const std::string_view trimmed = base::trimmedView(item);
            if (column.empty() || !trimmed.ends_with(" " + column)) continue;
            return (hasWhere ? " AND " : " WHERE ") + expressionBehind(item, column) + " " +
                   std::string(w.substr(like));
        }
    }
    return (hasWhere ? " and " : " where ") + std::string(w);
}

WindowLayout makeLayout() {
    WindowLayout w;
    w.name = "frmGetInfor";
    w.width = 9000;
    w.height = 6600;
    w.controls = {
        ControlDef("Lbel2", ControlKind::Label, "输入信息查询").at(0, 0).span(1, 5),
        ControlDef("Label3", ControlKind::Label, "项目(F4)").at(1, 0),
        // picked only: its text goes into the statement as a column name
        ControlDef("Combo1", ControlKind::DropDown).at(1, 1),
        ControlDef("Label2", ControlKind::Label, "对应值(F8)").at(1, 2),
        ControlDef("Txt1", ControlKind::TextBox).at(1, 3),
        ControlDef("Command3", ControlKind::Button, "查询(F5)").at(1, 4),
        ControlDef("flx", ControlKind::MSHFlexGrid).at(2, 0).span(1, 5).sized(8700, 4200),
        ControlDef("lblSel", ControlKind::Label).at(3, 0).span(1, 5).hidden(),
        ControlDef("Label16", ControlKind::Label, "Esc 退出;↑↓ 选择信息;回车确定;").at(4, 0).span(1, 3),
        ControlDef("Command1", ControlKind::Button, "确定(&O)").at(4, 3).defaultButton(),
        ControlDef("Command2", ControlKind::Button, "取消(&C)").at(4, 4).cancelButton(),
    };
    w.stretchRows = {2};
    w.stretchCols = {3};
    return w;
}

// Hands the rows the pinyin filter kept to sFillTable as the result of any statement.
class KeptRows : public Connection {
public:
    explicit KeptRows(ResultTable rows) : rows_(std::move(rows)) { Open("kept rows"); }
    std::string backendName() const override { return "kept rows"; }

protected:
    void doOpen(const std::string&, const std::string&, const std::string&) override {}
    void doClose() noexcept override {}
    long doExecute(const std::string&, const std::vector<Value>&) override { return 0; }
    ResultTable doQuery(const std::string&) override { return std::move(rows_); }
    void doBegin() override {}
    void doCommit() override {}
    void doRollback() override {}

private:
    ResultTable rows_;
};

// The column the filter names: as written, else in any case (as SQL names it).
std::optional<std::size_t> columnOf(const std::vector<ColumnInfo>& columns, const std::string& name) {
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].name == name) return c;
    }
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (upper(columns[c].name) == upper(name)) return c;
    }
    return std::nullopt;
}

bool isButton(std::string_view control) {
    return control == "Command1" || control == "Command2" || control == "Command3";
}

}  // namespace

std::string pickerStatement(const std::string& table, const std::string& sSqlString, const std::string& w,
                            std::int32_t selectTop) {
    if (sSqlString.empty()) {
        const std::string top = selectTop != 0 ? "top " + std::to_string(selectTop) : "";
        std::string sql = "select distinct " + top + "  * from " + table;
        if (!w.empty()) sql += "   where " + w;
        return sql;
    }
    if (w.empty()) return sSqlString;
    const std::string sql = upper(sSqlString);
    const std::string condition = upper(w);
    if (const std::size_t order = sql.find("ORDER"); order != npos) {
        const std::string head = sql.substr(0, order);
        return head + aliasAwareFilter(head, condition) + " " + sql.substr(order);
    }
    return sql + (contains(sql, "WHERE") ? " AND " : " WHERE ") + condition;
}

std::string typedFilter(const std::string& column, const std::string& typed, const std::string& strWhere) {
    std::string w = base::trim(column) + "  like '%" + base::sqlQuote(typed) + "%'";
    if (!strWhere.empty()) w += " and " + strWhere;
    return w;
}

const WindowLayout& frmGetInfor::layout() const {
    static const WindowLayout shape = makeLayout();
    return shape;
}

void frmGetInfor::Load() {
    result.clear();
    moved_ = false;
    WindowFrame& f = frame();
    f.Caption(Field);
    const std::size_t comma = Field.find(',');
    table_ = Field.substr(0, comma);
    returnColumn_ = comma == std::string::npos ? "" : Field.substr(comma + 1);

    applyColors(f);
    label("Lbel2").ForeColor(kBlue);
    label("Label16").ForeColor(kBlue);
    Label& sel = label("lblSel");
    sel.Visible(bMultiSel);
    sel.ForeColor(kMarked);
    setSelection("");

    if (!sSqlString.empty()) strWhere.clear();
    FlexGrid& flx = grid("flx");
    formatGrid(flx);
    fill(strWhere);

    ComboBox& combo1 = combo("Combo1");
    combo1.Clear();
    returnIndex_ = 0;
    if (flx.Rows() > 0) {
        for (int c = 0; c < flx.Cols(); ++c) {
            const std::string title = flx.TextMatrix(0, c);
            combo1.AddItem(title);
            if (title == returnColumn_) returnIndex_ = c;
        }
    }
    combo1.ListIndex(util::listIndexOf(combo1, returnColumn_));
}

void frmGetInfor::Activate() { frame().SetFocus("Txt1"); }

void frmGetInfor::Unload(UnloadMode mode) {
    if (mode == UnloadMode::CloseBox) result.clear();
    bMultiSel = false;
}

void frmGetInfor::fill(const std::string& w) {
    FlexGrid& flx = grid("flx");
    const std::string sql = pickerStatement(table_, sSqlString, w, session().lSelectTop);
    showFilled(sql, grid::fillTable(sql, flx, true, 2, "", true, sFormat));
}

void frmGetInfor::showFilled(const std::string& sql, const std::string& outcome) {
    FlexGrid& flx = grid("flx");
    if (!outcome.empty() && outcome != "0") {
        msgBox("错误信息" + sql, vbExclamation, session().sMsg);
        return;
    }
    if (flx.Rows() == 0 || flx.Cols() == 0) return;
    flx.Row(flx.Rows() > 1 ? 1 : 0);
    if (flx.Cols() > 1) flx.Col(1);
    normalColor_ = flx.CellBackColor();
    if (flx.Cols() > 2) {
        for (int c = 0; c < flx.Cols(); ++c) {
            if (flx.TextMatrix(0, c) == "编号") flx.ColWidth(c, 0);
        }
        flx.Col(1);
        if (flx.Rows() >= 2) flx.Row(1);
    }
}

void frmGetInfor::query() {
    const std::string typed = text("Txt1").Text();
    if (base::trim(typed).empty()) {
        fill(strWhere);
        return;
    }
    if (util::isPinyinFilter(typed) && fillByPinyin(base::trim(combo("Combo1").Text()), typed)) return;
    fill(typedFilter(combo("Combo1").Text(), typed, strWhere));
}

// A filter of Latin letters (and digits) runs in the library over the list's
// unfiltered rows as they are read, in the statement's order: no function is
// needed on the server, and a row that fails costs no values. The picker's own
// list is read without "distinct", which would sort every row of the table
// before the first is tested: the rows kept are made distinct here instead.
// Rows that cannot be read, or a column they do not hold, go the LIKE way,
// whose statement then reports the fault as ever. A reading stopped part-way
// (the command timeout) says so and leaves the list as it was: the LIKE way
// would only show an empty list for letters the names do not hold.
bool frmGetInfor::fillByPinyin(const std::string& column, const std::string& typed) {
    const std::string sql = pickerStatement(table_, sSqlString, strWhere, 0);
    const bool own = sSqlString.empty();
    const std::string read = grid::withDefaultOrder(
        own ? "select * from " + table_ + (strWhere.empty() ? "" : "   where " + strWhere) : sql);
    const std::size_t top =
        own && session().lSelectTop > 0 ? static_cast<std::size_t>(session().lSelectTop) : 0;
    const util::PinyinFilter filter(typed);
    Connection::RowFilter rows;
    bool reading = false;  // the statement ran: its columns are known
    rows.column = [&](const std::vector<ColumnInfo>& columns) {
        reading = true;
        return columnOf(columns, column);
    };
    rows.keep = [&](std::string_view text) { return filter.matches(text); };
    std::optional<ResultTable> found;
    try {
        found = sessionConnection().QueryKeeping(read, rows);
    } catch (const std::exception& e) {
        if (!reading) return false;
        const auto* error = dynamic_cast<const Error*>(&e);
        msgBox(
            std::string(kPinyinStopped) + (error != nullptr ? error->description() : std::string(e.what())),
            vbExclamation, session().sMsg);
        return true;
    }
    if (!found) return false;
    ResultTable kept;
    kept.columns = found->columns;
    const std::size_t width = found->columns.size();
    std::unordered_set<std::string> seen;
    std::size_t count = 0;
    for (std::size_t r = 0; r < found->rowCount() && (top == 0 || count < top); ++r) {
        if (own) {
            // the same kind and text in every column: the row is listed once
            std::string key;
            for (std::size_t c = 0; c < width; ++c) {
                const Value& v = found->at(r, c);
                key += static_cast<char>(v.kind());
                key += v.isNull() ? std::string() : v.toText();
                key += '\x1f';
            }
            if (!seen.insert(std::move(key)).second) continue;
        }
        for (std::size_t c = 0; c < width; ++c) kept.cells.push_back(found->at(r, c));
        ++count;
    }
    KeptRows source(std::move(kept));
    showFilled(sql, grid::fillTableFrom(&source, sql, grid("flx"), true, 2, "", true, sFormat));
    return true;
}

// An empty result leaves the heading row alone, or one blank row under it.
bool frmGetInfor::hasData() const {
    const FlexGrid& flx = grid("flx");
    if (flx.Rows() <= 1 || flx.Cols() == 0) return false;
    return !(flx.Rows() == 2 && base::trim(flx.TextMatrix(1, 0)).empty());
}

void frmGetInfor::choose() {
    if (bMultiSel) return;
    FlexGrid& flx = grid("flx");
    if (!hasData() || returnIndex_ >= flx.Cols() || flx.Row() < flx.FixedRows()) {
        result.clear();
        return;
    }
    result = base::trim(flx.TextMatrix(flx.Row(), returnIndex_));
    frame().Close();
}

void frmGetInfor::move(int by) {
    FlexGrid& flx = grid("flx");
    const int row = flx.Row() + by;
    if (!hasData() || row < 1 || row > flx.Rows() - 1) return;
    flx.Row(row);
    flx.Col(0);
    flx.ColSel(flx.Cols() - 1);
    if (!flx.RowIsVisible(row)) flx.TopRow(row);
    moved_ = true;
}

void frmGetInfor::mark() {
    FlexGrid& flx = grid("flx");
    const int col = grid::fieldColumn(flx, returnColumn_, 0);
    const int row = flx.Row();
    if (col < 0 || row < flx.FixedRows()) return;  // no column holds the values: the click marks nothing
    flx.Col(0);
    const std::string value = base::trim(flx.TextMatrix(row, col));
    std::string list = label("lblSel").Caption();
    if (flx.CellBackColor() == normalColor_) {
        flx.CellBackColor(kMarked);
        list = list.empty() ? "," + value + "," : list + value + ",";
    } else {
        flx.CellBackColor(normalColor_);
        const std::string item = "," + value + ",";
        // one row unmarked takes one entry off, should two rows hold the same value
        if (const std::size_t at = list.find(item); at != std::string::npos)
            list.replace(at, item.size(), ",");
    }
    setSelection(list);
    flx.Col(col);
    flx.Row(row);
}

void frmGetInfor::setSelection(const std::string& list) {
    Label& sel = label("lblSel");
    sel.Caption(list);
    sel.ToolTipText(list);
}

void frmGetInfor::showSelection() {
    const std::string list = label("lblSel").Caption();
    if (list.empty() || list == ",") return;
    const auto count = std::count(list.begin(), list.end(), ',') - 1;
    msgBox("你一共选择了" + std::to_string(count) + "条信息！\n" + list.substr(1), vbInformation,
           session().sMsg);
}

void frmGetInfor::Click(const std::string& control) {
    if (control == "Command1") {
        if (!bMultiSel) {
            choose();
            return;
        }
        const std::string list = label("lblSel").Caption();
        result = list.empty() ? "" : list.substr(1);
        frame().Close();
    } else if (control == "Command2") {
        result.clear();
        frame().Close();
    } else if (control == "Command3") {
        query();
    } else if (control == "flx") {
        if (bMultiSel && hasData()) mark();
    } else if (control == "lblSel") {
        showSelection();
    }
}

void frmGetInfor::DblClick(const std::string& control) {
    if (control == "flx") choose();
}

bool frmGetInfor::KeyDown(WindowKey key) {
    const std::string active = frame().ActiveControl();
    switch (key) {
        case WindowKey::F5:
            query();
            return true;
        case WindowKey::F4:
            frame().SetFocus("Combo1");
            return true;
        case WindowKey::F8: {
            frame().SetFocus("Txt1");
            TextBox& box = text("Txt1");
            box.SelStart(0);
            box.SelLength(static_cast<int>(base::charCount(box.Text())));
            return true;
        }
        case WindowKey::Up:
        case WindowKey::Down:
            if (active == "Combo1") return false;
            move(key == WindowKey::Up ? -1 : 1);
            return true;
        case WindowKey::Enter:
            // Combo1, Txt1 and a focused button take their own Enter; in multi-selection
            // choosing does nothing, so Enter goes on to Command1 and confirms the marks
            if (active == "Combo1" || (active == "Txt1" && !moved_) || isButton(active) || bMultiSel) {
                return false;
            }
            choose();
            return true;
        case WindowKey::Esc:
            return false;
    }
    return false;
}

bool frmGetInfor::KeyPress(const std::string& control, WindowKey key) {
    if (key != WindowKey::Enter) return false;
    if (control == "Combo1") {
        frame().SetFocus("Txt1");
        return true;
    }
    if (control == "Txt1" && !moved_) {
        query();
        frame().SetFocus("flx");
        return true;
    }
    if (isButton(control)) {
        Click(control);
        return true;
    }
    return false;
}

frmGetInfor& getInforWindow() {
    thread_local frmGetInfor window;
    return window;
}

}  // namespace Palvo::forms

namespace Palvo {

// the methods' bodies use the module's own helpers by their names
using namespace forms;

std::string clsForm::sPopWindow(const std::string& Field, const std::string& strWhere,
                                const std::string& sFormat, const std::string& sSqlString,
                                const bool& bMultiSel) {
    if (Field.find(',') == std::string::npos) {
        throw Error(ErrorNumber::InvalidCall, "Invalid procedure call or argument: the lookup source '" +
                                                  Field + "' names no table and column (table,column)");
    }
    frmGetInfor& window = getInforWindow();
    if (window.shown()) throw Error(400, "Form already displayed; can't show modally: frmGetInfor");
    window.Field = Field;
    window.strWhere = strWhere;
    window.sFormat = sFormat;
    window.sSqlString = sSqlString;
    window.bMultiSel = bMultiSel;
    showModal(window);
    return window.result;
}

}  // namespace Palvo
