#include "src/query/frm_sz.h"

#include "palvo/clsSearch.h"
#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/msgbox.h"
#include "palvo/session.h"
#include "src/base/conversions.h"
#include "src/database/field_helpers.h"
#include "src/query/settings_store.h"
#include "src/query/settings_sync.h"

namespace Palvo::query {

namespace {

RankList totals() {
    RankList r;
    r.list = "List4";
    r.column = "合计";
    r.add = "Command14";
    r.remove = "Command13";
    r.numbersOnly = true;
    r.leavesWithHidden = true;
    r.clearedByHideAll = true;
    return r;
}

WindowLayout makeLayout() {
    WindowLayout w;
    w.name = "frmSz";
    w.caption = "查询打印设置";
    w.width = 9600;
    w.height = 6000;
    w.pictures = listEditorPictures();
    w.pictureLooks = listEditorPictureLooks();
    w.controls = listEditorControls(
        8, 4,
        {
            ControlDef("Label4", ControlKind::Label, "合计").at(6, 5),
            pictureButton("Command14", "加入合计", 7, 4),
            pictureButton("Command13", "移出合计", 8, 4),
            ControlDef("List4", ControlKind::ListBox).at(7, 5).span(3, 1).sized(2000, 0),
            ControlDef("Command7", ControlKind::Button, "保存(&S)").at(10, 2),
            // Esc cancels from every control
            ControlDef("Command8", ControlKind::Button, "取消(&C)").at(10, 5).cancelButton(),
        });
    w.stretchRows = {5, 9};
    w.stretchCols = {0, 2, 5};
    return w;
}

}  // namespace

frmSz::frmSz() : editor_({totals()}, true) {}

const WindowLayout& frmSz::layout() const {
    static const WindowLayout layout = makeLayout();
    return layout;
}

SettingsSet frmSz::settings() const { return {sReceive, sCxm, sCxLb, session().sUser}; }

void frmSz::Load() {
    WindowFrame& f = frame();
    editor_.attach(&f);
    f.Caption(layout().caption + "--" + tableDisplayName(sReceive));
    editor_.showPictures();
    const SettingsSet set = settings();
    syncSettingsSets(sessionConnection(), set.table, set.user, set.category);
    if (database::fieldValue("查询打印设置", "表名", "表名", set.table, "查询名", set.query, "查询类别",
                             set.category, "用户名", set.user, "", "")
            .empty()) {
        // seeded once, even when another user's first opening comes between
        seedSet(sessionConnection(), set.table, set.user, set.category, set.query, set.where(),
                [&](const std::string& guard) {
                    return seedStatement(set.table, set.category, set.query, set.user, sMustSetString) +
                           " and " + guard;
                });
    }
    editor_.load(set);
    editor_.readColumnTypes(sReceive);
}

void frmSz::Unload(UnloadMode) {
    editor_.attach(nullptr);
    sReceive.clear();
    sCxm.clear();
    sCxLb.clear();
    sMc.clear();
    sMustSetString.clear();
}

void frmSz::Click(const std::string& control) {
    if (editor_.click(control)) return;
    if (control == "Command7") {
        save();
    } else if (control == "Command8") {
        frame().Close();
    }
}

void frmSz::DblClick(const std::string& control) { editor_.dblClick(control); }

void frmSz::save() {
    const std::string title = session().sMsg;
    const std::vector<std::string> shown = editor_.items("List2");
    if (shown.empty()) {
        msgBox("你的设置不正确，至少选择一项,请重新设置！", vbExclamation, title);
        return;
    }
    if (!base::trim(sMustSetString).empty()) {
        for (std::string_view part : base::split(sMustSetString, ',')) {
            const std::string name = base::trim(part);
            if (name.empty()) continue;  // "a,b," names no third column
            bool found = false;
            for (const std::string& s : shown) found = found || base::trim(s) == name;
            if (!found) {
                msgBox("“" + std::string(part) + "”必须选择，请重选！", vbExclamation, title);
                return;
            }
        }
    }
    const SettingsSet set = settings();
    std::vector<std::string> statements = editor_.orderStatements(set);
    for (const RankList& r : editor_.ranks()) {
        for (std::string& s : editor_.rankStatements(set, r)) statements.push_back(std::move(s));
    }
    // all or nothing: a failing statement leaves the settings set as it was
    try {
        Connection& conn = sessionConnection();
        Transaction tx(conn);
        for (const std::string& sql : statements) conn.Execute(sql);
        tx.commit();
    } catch (const Error& e) {
        msgBox("保存发生错误：" + e.description(), vbExclamation, title);
        return;
    }
    frame().Close();
}

frmSz& printSettingsWindow() {
    thread_local frmSz window;
    return window;
}

void printSettingsDialog(const std::string& sReceive, const std::string& sCxm, const std::string& sCxLb,
                         const std::string& sMc, const std::string& sMustSetString) {
    frmSz& window = printSettingsWindow();
    window.sReceive = sReceive;
    window.sCxm = sCxm;
    window.sCxLb = sCxLb;
    window.sMc = sMc;
    window.sMustSetString = sMustSetString;
    try {
        showModal(window);
    } catch (...) {
        // a host that refuses (none installed, another thread) never loads the
        // window, so its Unload never runs: the next call starts clean anyway
        window.Unload(UnloadMode::Code);
        throw;
    }
}

}  // namespace Palvo::query

namespace Palvo {

Value clsSearch::sPrintSet(const std::string& sReceive, const std::string& sCxm, const std::string& sCxLb,
                           const std::string& sMc, const std::string& sMustSetString) {
    query::printSettingsDialog(sReceive, sCxm, sCxLb, sMc, sMustSetString);
    return Value();
}

}  // namespace Palvo
