// The list editor of the settings dialogs: hidden and shown columns, sort keys
// and lists of columns ranked from the shown ones (totals, grouping), with the
// buttons that move columns between them and the statements that save them
// into 查询打印设置. A dialog owns one, names its lists and buttons in its
// layout and hands it the clicks.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "palvo/controls.h"
#include "palvo/window.h"

namespace Palvo::query {

/// The rows of one settings set of 查询打印设置.
struct SettingsSet {
    std::string table;
    std::string query;
    std::string category;
    std::string user;
    /// " where 表名='..' and 查询名='..' and 查询类别='..' and 用户名='..'", each
    /// value with its single quotes doubled.
    std::string where() const;
};

/// The table's name in a dialog's caption: without up to two leading
/// single-byte characters (B_单位 shows as 单位).
std::string tableDisplayName(const std::string& table);

/// A list of columns taken from the shown ones, saved as their 1-based rank in
/// one column of the settings table (合计 for totals, 分组 for grouping).
struct RankList {
    std::string list;    // "List4"
    std::string column;  // "合计"
    std::string add;     // the button that adds the selected shown column
    std::string remove;  // the button that removes the selected entry
    std::string up;      // move buttons; "" when the list has none
    std::string down;
    bool numbersOnly = false;       // only columns of field type code "2"
    bool leavesWithHidden = false;  // hiding a shown column drops it here
    bool clearedByHideAll = false;
};

/// Pictures of the list buttons, named in the dialog's WindowLayout::pictures.
namespace picture {
constexpr const char* kRight = "Right";
constexpr const char* kRightAll = "RightAll";
constexpr const char* kLeft = "Left";
constexpr const char* kLeftAll = "LeftAll";
constexpr const char* kUp = "Up";
constexpr const char* kDown = "Down";
}  // namespace picture
/// The pictures and the looks a host may draw them with, for a dialog's layout.
std::vector<std::string> listEditorPictures();
std::vector<std::string> listEditorPictureLooks();

/// A square picture button with its tooltip, as the list editors draw them.
ControlDef pictureButton(const char* name, const char* tip, int row, int col);
/// The controls every list editor dialog starts with: the frame caption, the
/// hidden and shown lists (listRows layout rows high, from row 2), the show
/// and hide buttons, the up and down buttons of the shown list on rows
/// moveRow and moveRow + 1, the sort buttons, the sort list and cmdAsc;
/// then the dialog's own controls.
std::vector<ControlDef> listEditorControls(int listRows, int moveRow, std::initializer_list<ControlDef> own);

/// The editor over the lists List1 (hidden), List2 (shown) and List3 (sort
/// keys, "name—升序" or "name—降序"), the buttons Command1, 5, 2, 6 (show one,
/// show all, hide one, hide all), Command11, 9 (shown up, down), Command12, 10,
/// 3, 4 and cmdAsc (sort key add, remove, up, down, direction) and the rank lists.
class ListEditor {
public:
    /// sortSetsAscEnabled: the sort list's click logic also enables and
    /// disables cmdAsc and Command10 (the print settings dialog).
    ListEditor(std::vector<RankList> ranks, bool sortSetsAscEnabled);

    /// Binds the editor to the shown dialog (nullptr when it closed).
    void attach(WindowFrame* frame) { frame_ = frame; }

    /// Fills the lists from the settings set and sets the buttons and the first
    /// selections. Database errors are raised.
    void load(const SettingsSet& set);
    /// Reads the names and field type codes of the table's columns; a failure
    /// ends the reading quietly with what was read.
    void readColumnTypes(const std::string& table);
    /// Gives the list buttons their pictures; cmdAsc follows the selected sort key.
    void showPictures();

    /// Handles a click or double click on one of the editor's controls; false
    /// when the control is not one of them.
    bool click(const std::string& control);
    bool dblClick(const std::string& control);

    /// The items of a list, top to bottom.
    std::vector<std::string> items(const std::string& list) const;

    /// The save statements of the hidden and shown columns (选择标志, 排列顺序)
    /// and the sort keys (排序), in the order they run.
    std::vector<std::string> orderStatements(const SettingsSet& set) const;
    /// The save statements of a rank list: its column reset, then each item's rank.
    std::vector<std::string> rankStatements(const SettingsSet& set, const RankList& rank) const;
    const std::vector<RankList>& ranks() const { return ranks_; }

    /// The shortest text of a single-precision number ("1", "3.1").
    static std::string singleText(float value);

private:
    ListBox& box(const std::string& name) const;
    CommandButton& button(const std::string& name) const;
    void enable(std::initializer_list<const char*> names, bool enabled) const;
    void warn(const std::string& text) const;
    void select(const std::string& list, int index);
    void shownClick();
    void sortClick();
    void rankClick(const RankList& rank);
    void moveItem(const std::string& list, int by);

    void showOne();
    void showAll();
    void hideOne();
    void hideAll();
    void addSortKey();
    void removeSortKey();
    void switchDirection();
    void addRank(const RankList& rank);
    void removeRank(const RankList& rank);

    std::vector<RankList> ranks_;
    bool sortSetsAscEnabled_;
    WindowFrame* frame_ = nullptr;
    SettingsSet set_;
    std::vector<std::string> columnNames_;
    std::vector<std::string> columnTypes_;
};

}  // namespace Palvo::query
