#include "src/query/list_editor.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/msgbox.h"
#include "palvo/session.h"
#include "src/base/conversions.h"
#include "src/data/host_tables.h"
#include "src/database/field_helpers.h"
#include "src/forms/field_props.h"

namespace Palvo::query {

namespace {

constexpr const char* kHidden = "List1";
constexpr const char* kShown = "List2";
constexpr const char* kSort = "List3";
constexpr const char* kDash = "—";  // U+2014 between a sort key's name and its direction
constexpr const char* kAscending = "升序";
constexpr const char* kDescending = "降序";
constexpr const char* kNothingSelected = "没有选择项，请选择！";

// The column name of a sort item: the text before its first dash.
std::string sortName(const std::string& item) { return item.substr(0, item.find(kDash)); }

bool endsWith(const std::string& s, std::string_view tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool isAscending(const std::string& item) { return endsWith(item, kAscending); }

// A stored 排序 n + 0.1 is a descending key.
bool storedDescending(double order) { return order > std::nearbyint(order); }

int indexOfTrimmed(const ListBox& list, const std::string& text) {
    const std::string wanted = base::trim(text);
    for (int i = 0; i < list.ListCount(); ++i) {
        if (base::trim(list.List(i)) == wanted) return i;
    }
    return -1;
}

std::vector<std::string> textsOf(const ListBox& list) {
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(list.ListCount()));
    for (int i = 0; i < list.ListCount(); ++i) out.push_back(list.entry(i).text);
    return out;
}

}  // namespace

std::string SettingsSet::where() const {
    return " where 表名='" + base::sqlQuote(table) + "' and 查询名='" + base::sqlQuote(query) +
           "' and 查询类别='" + base::sqlQuote(category) + "' and 用户名='" + base::sqlQuote(user) + "'";
}

std::string tableDisplayName(const std::string& table) {
    std::size_t at = 0;
    for (int i = 0; i < 2 && at < table.size(); ++i) {
        if (static_cast<unsigned char>(table[at]) >= 0x80) break;
        ++at;
    }
    return table.substr(at);
}

std::vector<std::string> listEditorPictures() {
    return {picture::kRight,   picture::kRightAll, picture::kLeft,
            picture::kLeftAll, picture::kUp,       picture::kDown};
}

std::vector<std::string> listEditorPictureLooks() {
    return {"right", "right-all", "left", "left-all", "up", "down"};
}

ControlDef pictureButton(const char* name, const char* tip, int row, int col) {
    constexpr std::int32_t kSide = 420;  // twips, square
    return ControlDef(name, ControlKind::Button).at(row, col).sized(kSide, kSide).tip(tip);
}

std::vector<ControlDef> listEditorControls(int listRows, int moveRow, std::initializer_list<ControlDef> own) {
    std::vector<ControlDef> controls{
        ControlDef("Frame1", ControlKind::Label, "设置查询时字段的显示顺序").at(0, 0).span(1, 7),
        ControlDef("Label1", ControlKind::Label, "隐藏的项").at(1, 0),
        ControlDef("Label2", ControlKind::Label, "显示的项").at(1, 2),
        ControlDef("Label3", ControlKind::Label, "排序").at(1, 5),
        ControlDef("List1", ControlKind::ListBox).at(2, 0).span(listRows, 1).sized(2000, 0),
        pictureButton("Command1", "显示选中的项", 3, 1),
        pictureButton("Command5", "全部显示", 4, 1),
        pictureButton("Command2", "隐藏选中的项", 5, 1),
        pictureButton("Command6", "全部隐藏", 6, 1),
        ControlDef("List2", ControlKind::ListBox).at(2, 2).span(listRows, 1).sized(2000, 0),
        pictureButton("Command11", "上移", moveRow, 3),
        pictureButton("Command9", "下移", moveRow + 1, 3),
        pictureButton("Command12", "加入排序", 2, 4),
        pictureButton("Command10", "移出排序", 3, 4),
        pictureButton("Command3", "排序项上移", 4, 4),
        pictureButton("Command4", "排序项下移", 5, 4),
        ControlDef("List3", ControlKind::ListBox).at(2, 5).span(4, 1).sized(2000, 0),
        pictureButton("cmdAsc", "切换升序或降序", 3, 6),
    };
    controls.insert(controls.end(), own);
    return controls;
}

ListEditor::ListEditor(std::vector<RankList> ranks, bool sortSetsAscEnabled)
    : ranks_(std::move(ranks)), sortSetsAscEnabled_(sortSetsAscEnabled) {}

ListBox& ListEditor::box(const std::string& name) const {
    if (!frame_) throw Error(91, "The list editor's dialog is not shown");
    return dynamic_cast<ListBox&>(frame_->control(name));
}

CommandButton& ListEditor::button(const std::string& name) const {
    if (!frame_) throw Error(91, "The list editor's dialog is not shown");
    return dynamic_cast<CommandButton&>(frame_->control(name));
}

void ListEditor::enable(std::initializer_list<const char*> names, bool enabled) const {
    for (const char* name : names) button(name).Enabled(enabled);
}

void ListEditor::warn(const std::string& text) const { msgBox(text, vbExclamation, session().sMsg); }

void ListEditor::showPictures() {
    struct Face {
        const char* button;
        const char* picture;
    };
    static const Face faces[] = {
        {"Command1", picture::kRight},   {"Command5", picture::kRightAll}, {"Command2", picture::kLeft},
        {"Command6", picture::kLeftAll}, {"Command11", picture::kUp},      {"Command9", picture::kDown},
        {"Command12", picture::kRight},  {"Command10", picture::kLeft},    {"Command3", picture::kUp},
        {"Command4", picture::kDown},
    };
    for (const Face& f : faces) button(f.button).Picture(f.picture);
    for (const RankList& r : ranks_) {
        button(r.add).Picture(picture::kRight);
        button(r.remove).Picture(picture::kLeft);
        if (!r.up.empty()) button(r.up).Picture(picture::kUp);
        if (!r.down.empty()) button(r.down).Picture(picture::kDown);
    }
    button("cmdAsc").Picture(picture::kUp);
}

// ---- loading

void ListEditor::load(const SettingsSet& set) {
    set_ = set;
    columnNames_.clear();
    columnTypes_.clear();
    ListBox& hidden = box(kHidden);
    ListBox& shown = box(kShown);
    ListBox& sort = box(kSort);
    hidden.Clear();
    shown.Clear();
    sort.Clear();
    for (const RankList& r : ranks_) box(r.list).Clear();

    Connection& conn = sessionConnection();
    const std::string where = set.where();
    {
        Recordset rs;
        rs.Open("select 字段名,选择标志 from 查询打印设置" + where + " order by 排列顺序", conn, adOpenKeyset,
                adLockOptimistic);
        for (; !rs.Eof(); rs.MoveNext()) {
            const std::string name = base::trim(rs.Fields("字段名").Value().toText());
            (rs.Fields("选择标志").Value().toDouble() == 0 ? hidden : shown).AddItem(name);
        }
    }
    {
        Recordset rs;
        // in the order of their priority, so that a save without a change writes what was there
        rs.Open("select 字段名,排序 from 查询打印设置 where 排序>0 and" +
                    where.substr(std::string(" where").size()) + " order by 排序,排列顺序",
                conn, adOpenKeyset, adLockOptimistic);
        for (; !rs.Eof(); rs.MoveNext()) {
            const std::string name = base::trim(rs.Fields("字段名").Value().toText());
            const bool descending = storedDescending(rs.Fields("排序").Value().toDouble());
            sort.AddItem(name + kDash + (descending ? kDescending : kAscending));
        }
    }
    for (const RankList& r : ranks_) {
        Recordset rs;
        rs.Open("select " + r.column + ",字段名 from 查询打印设置 where " + r.column + ">0 and" +
                    where.substr(std::string(" where").size()) + " order by " + r.column + ",排列顺序",
                conn, adOpenKeyset, adLockOptimistic);
        ListBox& list = box(r.list);
        for (; !rs.Eof(); rs.MoveNext()) {
            if (rs.Fields(r.column).Value().toDouble() > 0) {
                list.AddItem(base::trim(rs.Fields("字段名").Value().toText()));
            }
        }
    }

    enable({"Command1", "Command5"}, hidden.ListCount() > 0);
    enable({"Command2", "Command6"}, shown.ListCount() > 0);
    // no sort key disables cmdAsc in both dialogs; only the print settings dialog enables it here
    if (sortSetsAscEnabled_ || sort.ListCount() == 0) button("cmdAsc").Enabled(sort.ListCount() > 0);
    if (hidden.ListCount() > 0) hidden.ListIndex(0);
    select(kShown, shown.ListCount() > 0 ? 0 : -1);
    select(kSort, sort.ListCount() > 0 ? 0 : -1);
    for (const RankList& r : ranks_) rankClick(r);
}

void ListEditor::readColumnTypes(const std::string& table) {
    columnNames_.clear();
    columnTypes_.clear();
    // the name stands bare after "from": a name that could carry more SQL is not read
    if (!data::isObjectName(table)) return;
    try {
        Recordset rs;
        rs.CursorLocation(adUseClient);
        rs.Open("select top 0 * from " + table, sessionConnection());
        for (long i = 0; i < rs.Fields().Count(); ++i) {
            Field f = rs.Fields(i);
            columnNames_.push_back(f.Name());
            columnTypes_.push_back(forms::fieldTypeCode(f.Type()));
        }
    } catch (const Error&) {
        // only the totals check uses the types: a column not read passes it
    }
}

// ---- clicks

bool ListEditor::click(const std::string& control) {
    if (control == kShown) {
        shownClick();
    } else if (control == kSort) {
        sortClick();
    } else if (control == "Command1") {
        showOne();
    } else if (control == "Command5") {
        showAll();
    } else if (control == "Command2") {
        hideOne();
    } else if (control == "Command6") {
        hideAll();
    } else if (control == "Command11") {
        moveItem(kShown, -1);
    } else if (control == "Command9") {
        moveItem(kShown, 1);
    } else if (control == "Command12") {
        addSortKey();
    } else if (control == "Command10") {
        removeSortKey();
    } else if (control == "Command3") {
        moveItem(kSort, -1);
    } else if (control == "Command4") {
        moveItem(kSort, 1);
    } else if (control == "cmdAsc") {
        switchDirection();
    } else if (control == kHidden) {
        // a pick in the hidden list changes no button
    } else {
        for (const RankList& r : ranks_) {
            if (control == r.list) {
                rankClick(r);
            } else if (control == r.add) {
                addRank(r);
            } else if (control == r.remove) {
                removeRank(r);
            } else if (!r.up.empty() && control == r.up) {
                moveItem(r.list, -1);
            } else if (!r.down.empty() && control == r.down) {
                moveItem(r.list, 1);
            } else {
                continue;
            }
            return true;
        }
        return false;
    }
    return true;
}

bool ListEditor::dblClick(const std::string& control) {
    if (control == kHidden) {
        showOne();
    } else if (control == kShown) {
        hideOne();
    } else {
        return false;
    }
    return true;
}

// Sets the selection as the window's code does and runs the list's click logic,
// where the platform fires the list's click.
void ListEditor::select(const std::string& list, int index) {
    box(list).ListIndex(index);
    if (list == kShown) {
        shownClick();
    } else if (list == kSort) {
        sortClick();
    } else {
        for (const RankList& r : ranks_) {
            if (r.list == list) rankClick(r);
        }
    }
}

namespace {
// The move buttons of a list: up needs an item above the selected one, down one below it.
void setMoves(CommandButton& up, CommandButton& down, const ListBox& list) {
    const int n = list.ListCount(), c = list.ListIndex();
    up.Enabled(n > 1 && c > 0);
    down.Enabled(n > 1 && c >= 0 && c < n - 1);
}
}  // namespace

void ListEditor::shownClick() { setMoves(button("Command11"), button("Command9"), box(kShown)); }

void ListEditor::sortClick() {
    ListBox& sort = box(kSort);
    setMoves(button("Command3"), button("Command4"), sort);
    const bool picked = sort.ListIndex() >= 0;
    if (sortSetsAscEnabled_) enable({"cmdAsc", "Command10"}, picked);
    if (picked) button("cmdAsc").Picture(isAscending(sort.Text()) ? picture::kDown : picture::kUp);
}

void ListEditor::rankClick(const RankList& rank) {
    if (rank.up.empty() || rank.down.empty()) return;
    setMoves(button(rank.up), button(rank.down), box(rank.list));
}

void ListEditor::moveItem(const std::string& list, int by) {
    ListBox& l = box(list);
    const int n = l.ListCount(), c = l.ListIndex();
    const int other = c + by;
    if (n < 2 || c < 0 || other < 0 || other >= n) return;
    const int first = std::min(c, other);
    const std::string upper = l.List(first), lower = l.List(first + 1);
    l.RemoveItem(first + 1);
    l.RemoveItem(first);
    l.AddItem(lower, first);
    l.AddItem(upper, first + 1);
    select(list, other);
}

void ListEditor::showOne() {
    ListBox& hidden = box(kHidden);
    ListBox& shown = box(kShown);
    if (hidden.Text().empty()) {
        warn(kNothingSelected);
        return;
    }
    const int h = hidden.ListIndex();
    const int p = shown.ListCount() == 0 ? -1 : shown.ListIndex();
    shown.AddItem(hidden.Text(), p + 1);
    hidden.RemoveItem(h);
    if (h < hidden.ListCount()) {
        hidden.ListIndex(h);
    } else if (hidden.ListCount() > 0) {
        hidden.ListIndex(0);
    }
    select(kShown, p + 1);
    enable({"Command2", "Command6", "Command7"}, true);
    if (hidden.ListCount() == 0) enable({"Command1", "Command5"}, false);
}

void ListEditor::showAll() {
    ListBox& hidden = box(kHidden);
    ListBox& shown = box(kShown);
    shown.AddItems(textsOf(hidden));
    hidden.Clear();
    if (shown.ListCount() > 0) {
        shown.ListIndex(0);
        enable({"Command2", "Command6", "Command7"}, true);
    }
    enable({"Command1", "Command5"}, false);
    shownClick();
}

void ListEditor::hideOne() {
    ListBox& hidden = box(kHidden);
    ListBox& shown = box(kShown);
    const std::string item = shown.Text();
    if (item.empty()) {
        warn(kNothingSelected);
        return;
    }
    const int s = shown.ListIndex();
    for (const RankList& r : ranks_) {
        if (!r.leavesWithHidden) continue;
        ListBox& list = box(r.list);
        const int at = indexOfTrimmed(list, item);
        if (at >= 0) {
            list.RemoveItem(at);
            rankClick(r);
        }
    }
    hidden.AddItem(item);
    shown.RemoveItem(s);
    select(kShown, s < shown.ListCount() ? s : shown.ListCount() > 0 ? 0 : -1);
    hidden.ListIndex(0);
    enable({"Command1", "Command5"}, true);
    if (shown.ListCount() == 0) enable({"Command2", "Command6", "Command7"}, false);
}

void ListEditor::hideAll() {
    ListBox& hidden = box(kHidden);
    ListBox& shown = box(kShown);
    hidden.AddItems(textsOf(shown));
    shown.Clear();
    box(kSort).Clear();
    for (const RankList& r : ranks_) {
        if (r.clearedByHideAll) box(r.list).Clear();
        rankClick(r);
    }
    if (hidden.ListCount() > 0) hidden.ListIndex(0);
    enable({"Command1", "Command5"}, hidden.ListCount() > 0);
    shownClick();
    sortClick();
    enable({"Command6", "Command2", "Command3", "Command4", "Command7"}, false);
}

void ListEditor::addSortKey() {
    ListBox& shown = box(kShown);
    ListBox& sort = box(kSort);
    const std::string f = shown.Text();
    if (f.empty()) {
        warn(kNothingSelected);
        return;
    }
    for (int i = 0; i < sort.ListCount(); ++i) {
        const std::string item = base::trim(sort.List(i));
        if (item == f + kDash + kAscending || item == f + kDash + kDescending) return;
    }
    // a key removed and added again comes back with its saved direction
    const std::string stored =
        database::fieldValue("查询打印设置", "排序", "表名", set_.table, "字段名", f, "查询名", set_.query,
                             "查询类别", set_.category, "用户名", set_.user);
    const float v = static_cast<float>(base::readNumber(stored).value_or(0));
    const int p = sort.ListCount() == 0 ? -1 : sort.ListIndex();
    sort.AddItem(f + kDash + (storedDescending(v) ? kDescending : kAscending), p + 1);
    select(kSort, p + 1);
    enable({"Command10", "cmdAsc"}, true);
    const int s = shown.ListIndex();
    select(kShown, s >= 0 ? s : 0);
}

void ListEditor::removeSortKey() {
    ListBox& sort = box(kSort);
    if (sort.Text().empty()) {
        warn(kNothingSelected);
        return;
    }
    const int k = sort.ListIndex();
    sort.RemoveItem(k);
    select(kSort, k < sort.ListCount() ? k : sort.ListCount() > 0 ? 0 : -1);
    // the click logic of the custom query dialog leaves Command10 alone: removing sets it here
    button("Command10").Enabled(sort.ListCount() > 0);
    button("Command12").Enabled(true);
}

void ListEditor::switchDirection() {
    ListBox& sort = box(kSort);
    const int k = sort.ListIndex();
    if (sort.ListCount() == 0 || k < 0) return;
    const std::string t = sort.Text();
    const bool ascending = isAscending(t);
    sort.RemoveItem(k);
    sort.AddItem(sortName(t) + kDash + (ascending ? kDescending : kAscending), k);
    sort.ListIndex(k);
    button("cmdAsc").Picture(ascending ? picture::kUp : picture::kDown);
}

void ListEditor::addRank(const RankList& rank) {
    ListBox& shown = box(kShown);
    ListBox& list = box(rank.list);
    const std::string item = shown.Text();
    if (item.empty()) {
        warn(kNothingSelected);
        return;
    }
    const std::string name = base::trim(item);
    if (name == "编号") {
        warn("不能选择编号，请选择其它项目！");
        return;
    }
    if (rank.numbersOnly) {
        for (std::size_t i = 0; i < columnNames_.size(); ++i) {
            if (columnNames_[i] != name) continue;
            if (columnTypes_[i] != forms::kNumberField) {
                warn("必须选择数字类型的项目！");
                return;
            }
            break;
        }
    }
    if (indexOfTrimmed(list, item) >= 0) return;
    const int p = list.ListCount() == 0 ? -1 : list.ListIndex();
    list.AddItem(item, p + 1);
    select(kShown, shown.ListIndex());
    select(rank.list, p + 1);
    button(rank.remove).Enabled(true);
}

void ListEditor::removeRank(const RankList& rank) {
    ListBox& list = box(rank.list);
    if (list.Text().empty()) {
        warn(kNothingSelected);
        return;
    }
    const int k = list.ListIndex();
    list.RemoveItem(k);
    select(rank.list, k < list.ListCount() ? k : list.ListCount() > 0 ? 0 : -1);
    if (list.ListCount() == 0) button(rank.remove).Enabled(false);
}

// ---- saving

std::string ListEditor::singleText(float value) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

std::vector<std::string> ListEditor::orderStatements(const SettingsSet& set) const {
    const std::string where = set.where();
    const std::vector<std::string> hidden = items(kHidden), shown = items(kShown), sort = items(kSort);
    std::vector<std::string> out;
    const std::size_t n = shown.size();
    for (std::size_t j = 0; j < hidden.size(); ++j) {
        out.push_back("update 查询打印设置 set 选择标志=0,排列顺序=" + std::to_string(n + j) + where +
                      " and 字段名='" + base::sqlQuote(hidden[j]) + "'");
    }
    for (std::size_t j = 0; j < n; ++j) {
        out.push_back("update 查询打印设置 set 选择标志=1,排列顺序=" + std::to_string(j) + where +
                      "  and 字段名='" + base::sqlQuote(shown[j]) + "'");
    }
    out.push_back("update 查询打印设置 set 排序=0" + where);
    for (std::size_t j = 0; j < sort.size(); ++j) {
        float v = static_cast<float>(j + 1);
        if (!isAscending(sort[j])) v += 0.1f;
        out.push_back("update 查询打印设置 set 排序=" + singleText(v) + where + "  and 字段名='" +
                      base::sqlQuote(sortName(sort[j])) + "'");
    }
    return out;
}

std::vector<std::string> ListEditor::rankStatements(const SettingsSet& set, const RankList& rank) const {
    const std::string where = set.where();
    std::vector<std::string> out{"update 查询打印设置 set " + rank.column + "=0" + where};
    const std::vector<std::string> list = items(rank.list);
    for (std::size_t j = 0; j < list.size(); ++j) {
        out.push_back("update 查询打印设置 set " + rank.column + "=" + std::to_string(j + 1) + where +
                      "  and 字段名='" + base::sqlQuote(list[j]) + "'");
    }
    return out;
}

std::vector<std::string> ListEditor::items(const std::string& list) const {
    const ListBox& l = box(list);
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(l.ListCount()));
    for (int i = 0; i < l.ListCount(); ++i) out.push_back(l.List(i));
    return out;
}

}  // namespace Palvo::query
