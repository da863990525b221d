#include "src/query/frm_zdy_sz.h"

#include <optional>

#include "palvo/clsSearch.h"
#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/msgbox.h"
#include "palvo/session.h"
#include "palvo/text.h"
#include "src/data/host_tables.h"
#include "src/database/field_helpers.h"
#include "src/query/settings_store.h"
#include "src/query/settings_sync.h"

namespace Palvo::query {

namespace {

RankList grouping() {
    RankList r;
    r.list = "List4";
    r.column = "分组";
    r.add = "Command14";
    r.remove = "Command13";
    r.up = "Command24";
    r.down = "Command23";
    r.leavesWithHidden = true;
    r.clearedByHideAll = true;
    return r;
}

RankList totals() {
    RankList r;
    r.list = "List5";
    r.column = "合计";
    r.add = "Command18";
    r.remove = "Command17";
    r.numbersOnly = true;
    return r;
}

WindowLayout makeLayout() {
    WindowLayout w;
    w.name = "frmZdySz";
    w.caption = "自定义查询打印设置";
    w.width = 9900;
    w.height = 9000;
    w.pictures = listEditorPictures();
    w.pictureLooks = listEditorPictureLooks();
    w.controls =
        listEditorControls(10, 5,
                           {
                               ControlDef("Label4", ControlKind::Label, "分组项目").at(6, 5),
                               pictureButton("Command14", "加入分组", 7, 4),
                               pictureButton("Command13", "移出分组", 8, 4),
                               ControlDef("List4", ControlKind::ListBox).at(7, 5).span(2, 1).sized(2000, 0),
                               pictureButton("Command24", "分组项上移", 7, 6),
                               pictureButton("Command23", "分组项下移", 8, 6),
                               ControlDef("Label5", ControlKind::Label, "求和项目").at(9, 5),
                               pictureButton("Command18", "加入求和", 10, 4),
                               pictureButton("Command17", "移出求和", 11, 4),
                               ControlDef("List5", ControlKind::ListBox).at(10, 5).span(2, 1).sized(2000, 0),
                           });
    for (ControlDef& c : ConditionEditor::controls(12, 0, 6)) w.controls.push_back(std::move(c));
    w.controls.push_back(ControlDef("Command7", ControlKind::Button, "保存(&S)").at(15, 2));
    // Esc cancels from every control
    w.controls.push_back(ControlDef("Command8", ControlKind::Button, "取消(&C)").at(15, 5).cancelButton());
    w.stretchRows = {4, 13};
    w.stretchCols = {0, 2, 5};
    return w;
}

// A sort item's column: its trimmed text without the three characters of "—升序" or "—降序".
std::string sortColumn(const std::string& item) {
    const std::string t = base::trim(item);
    const std::size_t n = base::charCount(t);
    return base::leftChars(t, n >= 3 ? n - 3 : 0);
}

}  // namespace

frmZdySz::frmZdySz() : editor_({grouping(), totals()}, false) {}

const WindowLayout& frmZdySz::layout() const {
    static const WindowLayout layout = makeLayout();
    return layout;
}

SettingsSet frmZdySz::settings() const { return {sReceive, sCxm, sCxLb, session().sUser}; }

// A new settings set: every column of the table but the long binary ones,
// shown, in table order from 0. One statement adds all rows or none, and only
// while the set has none (seedOnce), so two first openings never seed it twice.
void frmZdySz::seed(const SettingsSet& set) {
    // the name stands bare after "from"
    if (!data::isObjectName(set.table)) {
        throw Error(ErrorNumber::InvalidCall, "'" + set.table + "' is not a table name");
    }
    Connection& conn = sessionConnection();
    Recordset rs;
    rs.CursorLocation(adUseClient);
    rs.Open("select top 0 * from " + set.table, conn);
    const std::string query = base::sqlQuote(set.query), category = base::sqlQuote(set.category),
                      user = base::sqlQuote(set.user), table = base::sqlQuote(set.table);
    std::string rows;
    for (long i = 0; i < rs.Fields().Count(); ++i) {
        Field f = rs.Fields(i);
        if (f.Type() == adLongVarBinary) continue;
        const std::string order = std::to_string(i), column = base::sqlQuote(f.Name());
        // the first row names the columns of the derived table
        rows += rows.empty() ? " select '" + table + "' as 表名,'" + column + "' as 字段名,1 as 选择标志," +
                                   order + " as 排列顺序,'" + query + "' as 查询名,'" + category +
                                   "' as 查询类别,'" + user + "' as 用户名"
                             : " union all select '" + table + "','" + column + "',1," + order + ",'" +
                                   query + "','" + category + "','" + user + "'";
    }
    if (rows.empty()) return;
    seedSet(conn, set.table, set.user, set.category, set.query, set.where(), [&](const std::string& guard) {
        return "Insert Into 查询打印设置(表名,字段名,选择标志,排列顺序,查询名,查询类别,用户名) select * from "
               "(" +
               rows + ") as 新列 where " + guard;
    });
}

void frmZdySz::Load() {
    WindowFrame& f = frame();
    editor_.attach(&f);
    condition_.attach(&f);
    condition_.table(sReceive);
    f.Caption(layout().caption + "--" + tableDisplayName(sReceive));
    editor_.showPictures();
    const SettingsSet set = settings();
    syncSettingsSets(sessionConnection(), set.table, set.user, set.category);
    if (database::fieldValue("查询打印设置", "表名", "表名", set.table, "查询名", set.query, "查询类别",
                             set.category, "用户名", set.user, "", "")
            .empty()) {
        seed(set);
    }
    editor_.load(set);
    condition_.reset();
    // the set's columns in display order; the condition items stand on every row alike
    std::vector<std::string> columns;
    std::optional<std::string> items;
    {
        Recordset rs;
        rs.Open("select 字段名, 条件项目 from 查询打印设置" + set.where() + " order by 排列顺序",
                sessionConnection());
        // a set that never saved a condition holds Null: no rows
        if (!rs.Eof() && !rs.Fields(1).Value().isNull()) items = rs.Fields(1).Value().toText();
        for (; !rs.Eof(); rs.MoveNext()) columns.push_back(base::trim(rs.Fields(0).Value().toText()));
    }
    if (items) {
        // rows naming a column the table has lost: their condition was emptied when the set
        // was brought in line; the user sees why and keeps the other rows
        std::vector<std::string> dropped;
        const std::string kept = itemsWithoutColumns(*items, columns, dropped);
        if (!dropped.empty()) msgBox(droppedConditionNotice(dropped), vbInformation, session().sMsg);
        condition_.load(kept);
    }
    editor_.readColumnTypes(sReceive);
    condition_.setUp(columns);
}

void frmZdySz::Unload(UnloadMode) {
    editor_.attach(nullptr);
    condition_.attach(nullptr);
    sReceive.clear();
    sCxm.clear();
    sCxLb.clear();
    sMc.clear();
    sRqBjFs.clear();
}

void frmZdySz::Click(const std::string& control) {
    if (editor_.click(control) || condition_.click(control)) return;
    if (control == "Command7") {
        save();
    } else if (control == "Command8") {
        frame().Close();
    }
}

void frmZdySz::DblClick(const std::string& control) { editor_.dblClick(control); }

void frmZdySz::Change(const std::string& control) { condition_.change(control); }

void frmZdySz::RowColChange(const std::string& control) { condition_.rowColChange(control); }

void frmZdySz::save() {
    const std::string title = session().sMsg;
    if (editor_.items("List2").empty()) {
        msgBox("你的设置不正确，至少选择一项,请重新设置！", vbExclamation, title);
        return;
    }
    const std::vector<std::string> groups = editor_.items("List4");
    if (!groups.empty()) {
        for (const std::string& key : editor_.items("List3")) {
            const std::string column = sortColumn(key);
            bool grouped = false;
            for (const std::string& g : groups) grouped = grouped || base::trim(g) == column;
            if (!grouped) {
                msgBox("排序项目必须是分组中的项目！请重新设置！", vbExclamation, title);
                return;
            }
        }
    }
    Connection& conn = sessionConnection();
    BuiltCondition condition;
    try {
        condition = condition_.build(sRqBjFs);
        if (!base::trim(condition.text).empty()) {
            // the table stands bare after "from"
            if (!data::isObjectName(sReceive)) throw ConditionInvalid("not a table name: " + sReceive);
            Recordset test;
            test.Open("select top 1 * from " + sReceive + " where " + condition.text, conn);
            test.Close();
        }
    } catch (const ConditionRefused& e) {
        msgBox(e.what(), vbExclamation, title);
        return;
    } catch (const std::exception&) {
        msgBox("查询条件错误!,请重新编辑！", vbInformation, title);
        return;
    }
    const SettingsSet set = settings();
    const std::string where = set.where();
    // the stored items are exactly the cells: their quotes are doubled in the statement only
    std::vector<std::string> statements{
        "update 查询打印设置 set 查询条件='',条件项目=''" + where,
        "update 查询打印设置 set 查询条件='" + base::sqlQuote(base::trim(condition.text)) + "',条件项目='" +
            base::sqlQuote(condition.items) + "'" + where,
    };
    for (std::string& s : editor_.orderStatements(set)) statements.push_back(std::move(s));
    for (const RankList& r : editor_.ranks()) {
        for (std::string& s : editor_.rankStatements(set, r)) statements.push_back(std::move(s));
    }
    // all or nothing: a failing statement leaves the settings set as it was
    try {
        Transaction tx(conn);
        for (const std::string& sql : statements) conn.Execute(sql);
        tx.commit();
    } catch (const std::exception&) {
        msgBox("保存发生错误", vbInformation, title);
        return;
    }
    frame().Close();
}

frmZdySz& customQueryWindow() {
    thread_local frmZdySz window;
    return window;
}

void customQueryDialog(const std::string& sReceive, const std::string& sCxm, const std::string& sCxLb,
                       const std::string& sMc, const std::string& sRqBjFs) {
    frmZdySz& window = customQueryWindow();
    window.sReceive = sReceive;
    window.sCxm = sCxm;
    window.sCxLb = sCxLb;
    window.sMc = sMc;
    window.sRqBjFs = sRqBjFs;
    try {
        showModal(window);
    } catch (...) {
        // a host that refuses never loads the window, so its Unload never runs
        window.Unload(UnloadMode::Code);
        throw;
    }
}

}  // namespace Palvo::query

namespace Palvo {

Value clsSearch::sPrintSet_Zdy(const std::string& sReceive, const std::string& sCxm, const std::string& sCxLb,
                               const std::string& sMc, const std::string& sRqBjFs) {
    query::customQueryDialog(sReceive, sCxm, sCxLb, sMc, sRqBjFs);
    return Value();
}

}  // namespace Palvo
