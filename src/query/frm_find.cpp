#include "src/query/frm_find.h"

#include <iterator>
#include <string_view>
#include <utility>
#include <vector>

#include "palvo/clsSearch.h"
#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/msgbox.h"
#include "palvo/session.h"
#include "src/base/conversions.h"
#include "src/data/host_tables.h"
#include "src/util/pinyin.h"

namespace Palvo::query {

namespace {

// The kind of a column, kept as the item data of its Combo2 entry.
enum ColumnKind : std::int32_t { kText = 0, kNumber = 1, kDate = 2, kLongBinary = 3 };

ColumnKind kindOf(int adoType) {
    if (isNumericType(adoType)) return kNumber;
    if (adoType == adDBTimeStamp) return kDate;
    if (adoType == adLongVarBinary) return kLongBinary;
    return kText;
}

constexpr const char* kOperators[] = {"=", ">", ">=", "<", "<=", "<>", "包含", "不包含"};
constexpr const char* kAnd = "并且";
constexpr const char* kOr = "或者";

constexpr std::size_t kMasterValues = 50;

// The values of the recordset's first column, trimmed, Null left out.
std::vector<std::string> valuesOf(Recordset& rs) {
    std::vector<std::string> values;
    for (; !rs.Eof(); rs.MoveNext()) {
        const Value& v = rs.Fields(0).Value();
        if (const std::string* text = v.text()) {
            values.emplace_back(base::trimmedView(*text));
        } else if (!v.isNull()) {
            values.push_back(base::trim(v.toText()));
        }
    }
    return values;
}

bool startsWith(const std::string& s, std::string_view prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

WindowLayout makeLayout() {
    WindowLayout w;
    w.name = "frmFind";
    w.caption = "产生查询条件";
    w.width = 7800;
    w.height = 4800;
    w.controls = {
        ControlDef("Label2(0)", ControlKind::Label, "字段名").at(0, 0),
        ControlDef("Label2(1)", ControlKind::Label, "比较符").at(0, 1),
        ControlDef("Label2(2)", ControlKind::Label, "值").at(0, 2),
        ControlDef("Label2(3)", ControlKind::Label, "连接关系").at(0, 3),
        ControlDef("Combo2", ControlKind::DropDown).at(1, 0),
        ControlDef("Combo3", ControlKind::DropDown).at(1, 1),
        ControlDef("Text1", ControlKind::ComboBox).at(1, 2),
        ControlDef("Combo4", ControlKind::DropDown).at(1, 3),
        // the list reaches one row below the buttons, which takes the room left over
        ControlDef("List1", ControlKind::ListBox).at(2, 0).span(6, 3),
        ControlDef("cmdAdd", ControlKind::Button, "添加(&A)").at(2, 3),
        ControlDef("cmdDel", ControlKind::Button, "删除(&D)").at(3, 3),
        // 取消 keeps Alt+C, as in the library's other windows
        ControlDef("cmdClear", ControlKind::Button, "清空(&L)").at(4, 3),
        ControlDef("cmdOk", ControlKind::Button, "确定(&O)").at(5, 3),
        // Esc cancels; there is no default button, so Enter in Text1 only adds its row
        ControlDef("cmdCancle", ControlKind::Button, "取消(&C)").at(6, 3).cancelButton(),
    };
    w.stretchRows = {7};
    w.stretchCols = {0, 2};
    return w;
}

}  // namespace

const WindowLayout& frmFind::layout() const {
    static const WindowLayout layout = makeLayout();
    return layout;
}

void frmFind::Load() {
    combo("Combo2").Clear();
    if (sReceive.empty()) return;
    loadColumns();
}

void frmFind::loadColumns() {
    ComboBox& columns = combo("Combo2");
    try {
        // the name stands bare after "from": refuse one that could carry more SQL
        if (!data::isObjectName(sReceive)) {
            throw Error(ErrorNumber::InvalidCall, "'" + sReceive + "' is not a table name");
        }
        Recordset rs;
        rs.Open("select top 0 * from " + sReceive, sessionConnection(), adOpenKeyset, adLockOptimistic);
        const long count = rs.Fields().Count();
        std::vector<std::string> names;
        std::vector<std::int32_t> kinds;
        names.reserve(static_cast<std::size_t>(count));
        kinds.reserve(static_cast<std::size_t>(count));
        for (long i = 0; i < count; ++i) {
            const Field f = rs.Fields(i);
            const std::string& name = f.Name();
            const int type = f.Type();
            if (name == std::string_view("编号") || type == adLongVarBinary) continue;
            names.push_back(name);
            kinds.push_back(kindOf(type));
        }
        rs.Close();
        columns.AddItems(std::move(names), kinds);
        if (columns.ListCount() > 0) columns.ListIndex(0);
    } catch (const Error& e) {
        warn(e.description());
        return;
    }
    // the automatic selection of the first entry is a click; its look-up is not caught
    if (columns.ListCount() > 0) chooseColumn();
    ComboBox& operators = combo("Combo3");
    operators.AddItems(std::vector<std::string>(std::begin(kOperators), std::end(kOperators)));
    operators.ListIndex(0);
    ComboBox& connectives = combo("Combo4");
    connectives.AddItems({kAnd, kOr});
    connectives.ListIndex(0);
    if (sRqBjFs.empty()) sRqBjFs = "d";
}

void frmFind::Activate() { frame().SetFocus("Combo2"); }

void frmFind::Unload(UnloadMode mode) {
    masterSql_.clear();
    masterList_.clear();
    masterAll_.clear();
    masterAllRead_ = filtered_ = false;
    sReceive.clear();
    sRqBjFs.clear();
    // closing by the close box (or Esc) is a cancel: never hand back an earlier call's clause
    if (mode == UnloadMode::CloseBox) result.clear();
}

void frmFind::Click(const std::string& control) {
    if (control == "Combo2") {
        chooseColumn();
    } else if (control == "cmdAdd") {
        addRow();
    } else if (control == "cmdDel") {
        deleteRow();
    } else if (control == "cmdClear") {
        list("List1").Clear();
    } else if (control == "cmdOk") {
        confirm();
    } else if (control == "cmdCancle") {
        result.clear();
        frame().Close();
    }
}

void frmFind::GotFocus(const std::string& control) {
    if (control != "Text1") return;
    ComboBox& value = combo("Text1");
    value.SelStart(0);
    value.SelLength(static_cast<int>(base::charCount(value.Text())));
}

bool frmFind::KeyPress(const std::string& control, WindowKey key) {
    if (control != "Text1" || key != WindowKey::Enter) return false;
    takeFirstMatch();
    addRow();
    return true;
}

// Enter on letters that narrowed the master values takes the first value they
// match (cqs: 重庆市), unless one of them is the text as typed: a row on the
// letters themselves would find nothing.
void frmFind::takeFirstMatch() {
    ComboBox& value = combo("Text1");
    value.DroppedDown(false);
    if (!filtered_ || value.ListCount() == 0) return;
    const std::string typed = value.Text();
    if (!util::isPinyinFilter(typed)) return;
    for (int i = 0; i < value.ListCount(); ++i) {
        if (value.List(i) == typed) return;
    }
    value.ListIndex(0);
}

// The master values of the column, when the registry names a master table for it.
void frmFind::chooseColumn() {
    masterSql_.clear();
    masterList_.clear();
    masterAll_.clear();
    masterAllRead_ = filtered_ = false;
    const std::string column = base::trim(combo("Combo2").Text());
    if (column.empty()) return;
    ComboBox& value = combo("Text1");
    Connection& conn = sessionConnection();
    Recordset registry;
    registry.Open("select top 1 * from 更新表记录 where 附表字段='" + base::sqlQuote(column) +
                      "' and 附表='" + base::sqlQuote(sReceive) + "'",
                  conn);
    if (registry.Eof()) {
        value.Clear();
        return;
    }
    const std::string list = data::sqlColumnName(registry.Fields("主表字段").Value().toText()) + " from " +
                             registry.Fields("主表").Value().toText();
    Recordset masters;
    masters.Open("select top 50 " + list, conn);
    if (!masters.Eof()) {
        value.Clear();
        masterList_ = valuesOf(masters);
        masterSql_ = "select " + list;
        value.AddItems(masterList_);
    }
    masters.Close();
    registry.Close();
}

// Typing Latin letters (and digits) into the value box narrows its list to the
// master values that hold the text or match it by pinyin, the first 50 of all
// the master's values; any other text gives back the list as loaded.
void frmFind::Change(const std::string& control) {
    if (control == "Text1" && !masterSql_.empty()) filterValues();
}

void frmFind::filterValues() {
    ComboBox& value = combo("Text1");
    const std::string typed = value.Text();
    if (!util::isPinyinFilter(typed)) {
        if (filtered_) showValues(masterList_);
        filtered_ = false;
        value.DroppedDown(false);
        return;
    }
    if (!masterAllRead_) {
        Recordset masters;
        masters.Open(masterSql_, sessionConnection());
        masterAll_ = valuesOf(masters);
        masterAllRead_ = true;
    }
    const util::PinyinFilter filter(typed);
    std::vector<std::string> kept;
    for (const std::string& v : masterAll_) {
        if (kept.size() == kMasterValues) break;
        if (filter.matches(v)) kept.push_back(v);
    }
    const bool found = !kept.empty();
    showValues(std::move(kept));
    filtered_ = true;
    // the values found show at once under the text, which keeps the keyboard
    value.DroppedDown(found);
}

// Replaces the list under the text being typed, which stays with its caret.
void frmFind::showValues(std::vector<std::string> values) {
    ComboBox& value = combo("Text1");
    const std::string text = value.Text();
    const int start = value.SelStart();
    const int length = value.SelLength();
    value.Clear();
    value.AddItems(std::move(values));
    value.Text(text);
    value.SelStart(start);
    value.SelLength(length);
}

void frmFind::addRow() {
    ComboBox& columns = combo("Combo2");
    const int picked = columns.ListIndex();
    if (picked < 0) {
        warn("请先选择字段！");
        return;
    }
    const std::string column = data::sqlColumnName(columns.Text());
    ListBox& rows = list("List1");
    const std::string prefix = rows.ListCount() == 0 ? "" : combo("Combo4").Text() == kAnd ? " And " : " or ";
    const std::string op = combo("Combo3").Text();
    const std::string value = combo("Text1").Text();
    const bool contains = op == "包含" || op == "不包含";
    const std::int32_t kind = columns.ItemData(picked);

    std::string row;
    if (kind == kNumber) {
        if (contains) {
            warn("此字段为数字类型，不能用包含查询！");
            return;
        }
        if (!base::isNumeric(base::trim(value))) {
            warn("请填入数字！！");
            focusValue(true);
            return;
        }
        row = prefix + " " + column + op + value;
    } else if (kind == kDate && !base::isSqlDateTime(value)) {
        focusValue(false);
        warn("日期格式错误，格式应类似 2004-1-1！");
        return;
    } else if (kind == kDate && !sRqBjFs.empty()) {
        if (contains) {
            warn("日期类型不能用“包含”！！");
            focusValue(true);
            return;
        }
        row = prefix + " datediff(" + sRqBjFs + ",'" + value + "'," + column + ")" + op + "0";
    } else if (kind == kText || kind == kDate) {
        const std::string v = base::sqlQuote(value);
        if (op == "包含") {
            row = prefix + " " + column + " Like " + " '%" + v + "%'";
        } else if (op == "不包含") {
            row = prefix + " " + column + " not Like " + " '%" + v + "%'";
        } else {
            row = prefix + " " + column + op + "'" + v + "'";
        }
    } else {
        return;  // long binary
    }

    const int selected = rows.ListIndex();
    rows.AddItem(row);
    rows.ListIndex(selected >= 0 ? selected + 1 : rows.ListCount() - 1);
    frame().SetFocus("Combo2");
}

void frmFind::deleteRow() {
    ListBox& rows = list("List1");
    const int selected = rows.ListIndex();
    if (selected < 0) return;
    rows.RemoveItem(selected);
    if (selected > 0) rows.ListIndex(selected - 1);
}

void frmFind::confirm() {
    ListBox& rows = list("List1");
    if (rows.ListCount() == 0) {
        result = " where '1'='1' ";
    } else {
        std::string joined;
        for (int i = 0; i < rows.ListCount(); ++i) joined += rows.List(i) + " ";
        // the first row added carries no connective; once it is deleted the next one leads
        for (std::string_view connective : {" And ", " or "}) {
            if (startsWith(joined, connective)) {
                joined.erase(0, connective.size());
                break;
            }
        }
        result = " where (" + joined + ")";
    }
    frame().Close();
}

void frmFind::focusValue(bool clear) {
    ComboBox& value = combo("Text1");
    if (clear) value.Text("");
    frame().SetFocus("Text1");
    value.SelStart(0);
    value.SelLength(static_cast<int>(base::charCount(value.Text())));
}

void frmFind::warn(const std::string& text) { msgBox(text, vbExclamation, session().sMsg); }

frmFind& findWindow() {
    thread_local frmFind window;
    return window;
}

}  // namespace Palvo::query

namespace Palvo {

// the methods' bodies use the module's own helpers by their names
using namespace query;

std::string clsSearch::sFindStr(const std::string& sReceive, const std::string& sRqBjFs) {
    frmFind& window = findWindow();
    window.sReceive = sReceive;
    window.sRqBjFs = sRqBjFs;
    showModal(window);
    return window.result;
}

}  // namespace Palvo
