#include "src/query/condition_editor.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "palvo/convert.h"
#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/session.h"
#include "palvo/text.h"
#include "src/base/conversions.h"
#include "src/data/host_tables.h"
#include "src/forms/field_props.h"

namespace Palvo::query {

namespace {

constexpr const char* kGrid = "MS";
constexpr const char* kText = "TXT";
constexpr const char* kContains = "包含";
constexpr const char* kNotContains = "不包含";
// A comma inside a cell cannot stand in the items, whose cells are joined by
// commas: it is kept there as the unit separator, which no one types.
constexpr char kItemComma = '\x1f';

const char* const kHeadings[5] = {"括号", "逻辑", "字段", "计算逻辑", "值"};
constexpr std::int32_t kWidths[5] = {800, 1300, 2500, 1100, 2500};

std::string editorName(int col) { return "cmb" + std::to_string(col); }

bool contains(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

std::string itemOf(std::string cell) {
    std::replace(cell.begin(), cell.end(), ',', kItemComma);
    return cell;
}

std::string cellOf(std::string item) {
    std::replace(item.begin(), item.end(), kItemComma, ',');
    return item;
}

// The column cell in the condition: the trimmed name as statements write it,
// the blanks around it kept.
std::string columnCell(const std::string& cell, const std::string& name) {
    const std::size_t at = cell.find_first_not_of(' ');
    return cell.substr(0, at) + data::sqlColumnName(name) + cell.substr(at + name.size());
}

bool isEditorItem(int col, const std::string& cell) {
    const std::vector<std::string>& items = conditionEditorItems(col);
    return std::find(items.begin(), items.end(), cell) != items.end();
}

// Entry i of a list, or none: the editor shows the cell's text.
void showText(ComboBox& box, const std::string& text, bool editable) {
    for (int i = 0; i < box.ListCount(); ++i) {
        if (box.List(i) == text) {
            box.ListIndex(i);
            return;
        }
    }
    if (editable) {
        box.Text(text);
    } else {
        box.ListIndex(-1);
    }
}

}  // namespace

ColumnKind columnKind(int adoType) {
    const std::string code = forms::fieldTypeCode(adoType);
    if (code == forms::kNumberField) return ColumnKind::Number;
    if (code == forms::kDateField) return ColumnKind::Date;
    if (code == forms::kImageField) return ColumnKind::Image;
    return ColumnKind::Text;
}

const std::vector<std::string>& conditionEditorItems(int col) {
    static const std::vector<std::string> brackets{"", "(", ")"};
    static const std::vector<std::string> connectors{
        "",        " AND ",  " OR ",    " NOT ",   " AND NOT ",   " OR NOT ",   " ) AND ",     " ) OR ",
        " AND ( ", " OR ( ", " ) NOT ", " NOT ( ", " AND ( NOT ", " OR ( NOT ", " ) AND NOT ", " ) OR NOT ",
        " ( ",     " ) "};
    static const std::vector<std::string> comparisons{"",     " = ",  " > ",    " >= ",    " < ",
                                                      " <= ", " <> ", " 包含 ", " 不包含 "};
    static const std::vector<std::string> none;
    switch (col) {
        case 0:
            return brackets;
        case 1:
            return connectors;
        case 3:
            return comparisons;
        default:
            return none;
    }
}

BuiltCondition buildCondition(const std::vector<ConditionRow>& rows,
                              const std::function<ColumnKind(const std::string&)>& kindOf,
                              std::string dateUnit) {
    if (dateUnit.empty()) dateUnit = "d";
    std::string w, a;
    const auto addItems = [&a](const ConditionRow& x) {
        for (const std::string& cell : x) a += "," + itemOf(cell);
    };
    for (const ConditionRow& x : rows) {
        ConditionRow t;
        bool empty = true;
        for (std::size_t c = 0; c < 5; ++c) {
            t[c] = base::trim(x[c]);
            empty = empty && t[c].empty();
        }
        if (empty) break;  // an empty row ends the condition
        // brackets, connectors and comparisons are their editors' entries: nothing else reaches the text
        for (int c : {0, 1, 3}) {
            if (!isEditorItem(c, x[static_cast<std::size_t>(c)])) {
                throw ConditionInvalid("not an entry of editor " + std::to_string(c) + ": " +
                                       x[static_cast<std::size_t>(c)]);
            }
        }
        if (t[2].empty()) {
            // brackets and connectors only: a value without a column is no condition
            if (!t[4].empty()) throw ConditionInvalid("a value without a column: " + x[4]);
            addItems(x);
            for (const std::string& cell : x) w += cell;
            continue;
        }
        const bool containing = contains(x[3], kContains);
        const std::string column = columnCell(x[2], t[2]);
        switch (kindOf(t[2])) {
            case ColumnKind::Text:
                addItems(x);
                w += x[0] + x[1] + column;
                w += t[3] == kContains ? " like " : t[3] == kNotContains ? " not like " : x[3];
                w += containing ? "'%" + base::sqlQuote(x[4]) + "%'" : "'" + base::sqlQuote(x[4]) + "'";
                break;
            case ColumnKind::Number:
                if (containing)
                    throw ConditionRefused("查询条件中项目“" + t[2] + "”为数值类型，不能用 包含 ");
                // the value stands bare in the text: a number and nothing after it
                if (!base::isNumeric(x[4])) throw ConditionInvalid("not a number: " + x[4]);
                addItems(x);
                w += x[0] + x[1] + column + x[3] + x[4];
                break;
            case ColumnKind::Date:
                if (containing)
                    throw ConditionRefused("查询条件中项目“" + t[2] + "”为日期类型，不能用 包含 ");
                if (!base::isSqlDateTime(t[4])) throw ConditionInvalid("not a date: " + x[4]);
                addItems(x);
                w += x[0] + x[1] + " datediff(" + dateUnit + ",'" + x[4] + "'," + column + ")" + x[3] + "0";
                break;
            case ColumnKind::Image:
                break;
        }
    }
    return {w, a.empty() ? a : a.substr(1)};
}

std::vector<std::vector<std::string>> conditionRows(std::string_view items) {
    std::vector<std::vector<std::string>> rows;
    if (items.empty()) return rows;
    std::size_t at = 0;
    for (;;) {
        const std::size_t comma = items.find(',', at);
        if (rows.empty() || rows.back().size() == 5) rows.emplace_back();
        rows.back().push_back(cellOf(std::string(items.substr(at, comma - at))));
        if (comma == std::string_view::npos) break;
        at = comma + 1;
    }
    return rows;
}

std::string conditionItems(const std::vector<std::vector<std::string>>& rows) {
    std::string items;
    bool first = true;
    for (const auto& row : rows) {
        for (const std::string& cell : row) {
            if (!first) items += ',';
            items += itemOf(cell);
            first = false;
        }
    }
    return items;
}

// ---- the editor over the dialog's grid

std::vector<ControlDef> ConditionEditor::controls(int row, int col, int colSpan) {
    std::vector<ControlDef> out{
        ControlDef("Label6", ControlKind::Label, "查询条件").at(row, col),
        ControlDef(kGrid, ControlKind::MSFlexGrid).at(row + 1, col).span(2, colSpan).sized(8400, 1800),
        ControlDef("Command16", ControlKind::Button, "+")
            .at(row + 1, col + colSpan)
            .sized(420, 420)
            .tip("添加条件"),
        ControlDef("Command15", ControlKind::Button, "-")
            .at(row + 2, col + colSpan)
            .sized(420, 420)
            .tip("删除条件"),
    };
    for (int c = 0; c < 5; ++c) {
        out.push_back(ControlDef(editorName(c), c == 4 ? ControlKind::ComboBox : ControlKind::DropDown)
                          .floating()
                          .hidden());
    }
    out.push_back(ControlDef(kText, ControlKind::TextBox).floating().hidden());
    return out;
}

FlexGrid& ConditionEditor::grid() const {
    if (!frame_) throw Error(91, "The condition editor's dialog is not shown");
    return dynamic_cast<FlexGrid&>(frame_->control(kGrid));
}

ComboBox& ConditionEditor::editor(int col) const {
    if (!frame_) throw Error(91, "The condition editor's dialog is not shown");
    return dynamic_cast<ComboBox&>(frame_->control(editorName(col)));
}

void ConditionEditor::reset() {
    FlexGrid& g = grid();
    g.Cols(5);
    g.FixedCols(0);
    g.Rows(2);
    g.FixedRows(1);
    g.Clear();
    g.Row(1);
    g.Col(0);
}

void ConditionEditor::load(const std::string& items) {
    FlexGrid& g = grid();
    const auto rows = conditionRows(items);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const int row = static_cast<int>(r) + 1;
        while (g.Rows() <= row) g.Rows(g.Rows() + 1);
        for (std::size_t c = 0; c < rows[r].size(); ++c) g.TextMatrix(row, static_cast<int>(c), rows[r][c]);
    }
}

void ConditionEditor::setUp(const std::vector<std::string>& columns) {
    FlexGrid& g = grid();
    forms::formatGrid(g);
    for (int c = 0; c < 5; ++c) {
        g.TextMatrix(0, c, kHeadings[c]);
        g.ColWidth(c, kWidths[c]);
    }
    for (int c : {0, 1, 3}) {
        ComboBox& box = editor(c);
        box.Clear();
        box.AddItems(conditionEditorItems(c));
    }
    ComboBox& names = editor(2);
    names.Clear();
    std::vector<std::string> entries{""};
    entries.insert(entries.end(), columns.begin(), columns.end());
    names.AddItems(std::move(entries));
    editor(4).Clear();
}

std::vector<ConditionRow> ConditionEditor::rows() const {
    const FlexGrid& g = grid();
    std::vector<ConditionRow> out;
    for (int r = g.FixedRows(); r < g.Rows(); ++r) {
        ConditionRow row;
        for (int c = 0; c < 5; ++c) row[static_cast<std::size_t>(c)] = g.TextMatrix(r, c);
        out.push_back(std::move(row));
    }
    return out;
}

bool ConditionEditor::rowColChange(const std::string& control) {
    if (control != kGrid) return false;
    showEditor();
    return true;
}

bool ConditionEditor::click(const std::string& control) {
    if (control == kGrid) {
        // a click on the cell the editor already lies over leaves it as it is
        const FlexGrid& g = grid();
        if (g.Row() != shownRow_ || g.Col() != shownCol_ || !editor(g.Col()).Visible()) showEditor();
    } else if (control == "Command16") {
        addRow();
    } else if (control == "Command15") {
        deleteRow();
    } else if (control.size() == 4 && control.rfind("cmb", 0) == 0 && control[3] >= '0' &&
               control[3] <= '4') {
        const int c = control[3] - '0';
        FlexGrid& g = grid();
        const std::string text = editor(c).Text();
        if (g.Row() >= g.FixedRows() && g.Col() == c) g.TextMatrix(g.Row(), c, text);
        if (c == 2 && !base::trim(text).empty()) fillValues(base::trim(text));
    } else {
        return false;
    }
    return true;
}

bool ConditionEditor::change(const std::string& control) {
    FlexGrid& g = grid();
    std::string text;
    if (control == "cmb4") {
        ComboBox& value = editor(4);
        text = value.Text();
        const std::size_t commas = static_cast<std::size_t>(std::count(text.begin(), text.end(), ','));
        if (commas > 0) {
            // the comma key is swallowed: the caret stays where the comma would have gone
            const std::string before = base::leftChars(text, static_cast<std::size_t>(value.SelStart()));
            const int caret = static_cast<int>(base::charCount(before)) -
                              static_cast<int>(std::count(before.begin(), before.end(), ','));
            text.erase(std::remove(text.begin(), text.end(), ','), text.end());
            value.Text(text);
            value.SelStart(caret);
        }
        if (g.Col() != 4) return true;
    } else if (control == kText) {
        text = dynamic_cast<TextBox&>(frame_->control(kText)).Text();
    } else {
        return false;
    }
    if (g.Row() >= g.FixedRows()) g.TextMatrix(g.Row(), g.Col(), text);
    return true;
}

void ConditionEditor::showEditor() {
    FlexGrid& g = grid();
    for (int c = 0; c < 5; ++c) editor(c).Visible(false);
    dynamic_cast<TextBox&>(frame_->control(kText)).Visible(false);
    shownRow_ = shownCol_ = -1;
    const int r = g.Row(), c = g.Col();
    if (r < g.FixedRows() || c < 0 || c > 4) return;
    if (c == 4) {
        const std::string column = base::trim(g.TextMatrix(r, 2));
        if (!column.empty()) fillValues(column);
    }
    ComboBox& box = editor(c);
    box.Move(g.Left() + g.CellLeft(), g.Top() + g.CellTop() - 15, g.CellWidth());
    showText(box, g.TextMatrix(r, c), c == 4);
    box.Visible(true);
    shownRow_ = r;
    shownCol_ = c;
}

// The master column's values, when the registry names one for the column.
void ConditionEditor::fillValues(const std::string& column) {
    ComboBox& values = editor(4);
    Connection& conn = sessionConnection();
    Recordset registry;
    registry.Open("select top 1 * from 更新表记录 where 附表字段='" + base::sqlQuote(column) +
                      "' and 附表='" + base::sqlQuote(table_) + "'",
                  conn);
    if (registry.RecordCount() < 1) {
        registry.Close();
        values.Clear();
        return;
    }
    const std::string sql = "select " + data::sqlColumnName(registry.Fields("主表字段").Value().toText()) +
                            " from " + registry.Fields("主表").Value().toText();
    registry.Close();
    Recordset masters;
    masters.Open(sql, conn);
    if (masters.RecordCount() > 0) {
        values.Clear();
        for (; !masters.Eof(); masters.MoveNext()) {
            const Value& v = masters.Fields(0).Value();
            if (!v.isNull()) values.AddItem(base::trim(v.toText()));
        }
    }
    masters.Close();
}

void ConditionEditor::addRow() {
    FlexGrid& g = grid();
    const int last = g.Rows() - 1;
    bool used = false;
    for (int c = 0; c < 5; ++c) used = used || !base::trim(g.TextMatrix(last, c)).empty();
    if (used) g.Rows(g.Rows() + 1);
    const int row = g.Rows() - 1;
    if (g.Row() == row) return;
    g.Row(row);
    showEditor();  // the grid's row moved, as a click would move it
}

void ConditionEditor::deleteRow() {
    FlexGrid& g = grid();
    if (g.Rows() - g.FixedRows() == 1) {
        for (int c = 0; c < 5; ++c) g.TextMatrix(g.FixedRows(), c, "");
    } else if (g.Row() >= g.FixedRows()) {
        g.RemoveItem(g.Row());
    } else {
        return;
    }
    showEditor();
}

BuiltCondition ConditionEditor::build(const std::string& dateUnit) const {
    const ComboBox& names = editor(2);
    const auto kindOf = [&](const std::string& column) {
        // only a column of the settings set, read from a table reference
        bool offered = false;
        for (int i = 1; i < names.ListCount() && !offered; ++i) offered = base::trim(names.List(i)) == column;
        if (!offered) throw ConditionInvalid("not a column of the settings: " + column);
        if (!data::isObjectName(table_)) throw ConditionInvalid("not a table name: " + table_);
        Recordset rs;
        rs.Open("select top 1 " + data::sqlColumnName(column) + " from " + table_, sessionConnection());
        return columnKind(rs.Fields(0).Type());
    };
    return buildCondition(rows(), kindOf, dateUnit);
}

}  // namespace Palvo::query
