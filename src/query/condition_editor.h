// The condition editor of the custom query dialog: the grid MS of condition
// rows (bracket, connector, column, comparison, value), the five drop-down
// editors cmb0..cmb4 laid over its current cell, and the two texts saved from
// it: the condition (查询条件, ready to follow " where ") and the condition
// items (条件项目, the cells from which the grid is rebuilt).
#pragma once

#include <array>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "palvo/window.h"

namespace Palvo::query {

/// One condition row: its five cells as they stand in the grid.
using ConditionRow = std::array<std::string, 5>;

/// How a column is compared: by its data access type (text is every type
/// that is none of the others).
enum class ColumnKind { Text, Number, Date, Image };
ColumnKind columnKind(int adoType);

/// The build refused the rows with a message of its own (包含 on a number or a
/// date column), shown as it stands.
class ConditionRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The rows do not make a condition (a value that is no number in a number
/// row, no date in a date row, a value without a column, a cell that is none
/// of its editor's entries): the dialog's condition error.
class ConditionInvalid : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct BuiltCondition {
    std::string text;   // 查询条件
    std::string items;  // 条件项目
};

/// The entries of the drop-down editors 0, 1 and 3 (bracket, connector, comparison).
const std::vector<std::string>& conditionEditorItems(int col);

/// Builds the condition and the items from the rows below the heading, up to
/// the first empty row. `kindOf` gives the kind of a (trimmed) column name and
/// throws for a column it does not know; `dateUnit` is the DATEDIFF unit ("d"
/// when empty). Throws ConditionRefused or ConditionInvalid.
BuiltCondition buildCondition(const std::vector<ConditionRow>& rows,
                              const std::function<ColumnKind(const std::string&)>& kindOf,
                              std::string dateUnit);

/// The rows stored in condition items: five cells a row, the last row cut
/// where the items end; none for an empty text. The items join the cells with
/// commas; a comma inside a cell is stored as U+001F and read back as a comma.
std::vector<std::vector<std::string>> conditionRows(std::string_view items);
/// The condition items of rows, as conditionRows reads them back.
std::string conditionItems(const std::vector<std::vector<std::string>>& rows);

/// The editor over a dialog's grid MS, editors cmb0..cmb4 (floating in its
/// layout) and text box TXT; the dialog hands it the events of those
/// controls and of Command16 (add a row) and Command15 (delete the current row).
class ConditionEditor {
public:
    /// The layout's controls of the editor, at the given place of the dialog.
    static std::vector<ControlDef> controls(int row, int col, int colSpan);

    void attach(WindowFrame* frame) { frame_ = frame; }
    /// The grid as it starts: the heading row and one empty condition row.
    void reset();
    /// Fills the grid from the stored items (Null or "" leave it as it is).
    void load(const std::string& items);
    /// Headings, widths, and the entries of the drop-down editors; `columns`
    /// are the names offered in the column editor after its empty entry.
    void setUp(const std::vector<std::string>& columns);
    /// The table whose registry rows give the value lists.
    void table(const std::string& name) { table_ = name; }

    bool click(const std::string& control);
    bool change(const std::string& control);
    bool rowColChange(const std::string& control);

    /// The rows below the heading, as they stand.
    std::vector<ConditionRow> rows() const;
    /// Builds the condition from the grid; a column is known when the column
    /// editor offers it, and its kind is read from the table. Throws
    /// ConditionRefused, ConditionInvalid or the database's error.
    BuiltCondition build(const std::string& dateUnit) const;

private:
    FlexGrid& grid() const;
    ComboBox& editor(int col) const;
    void showEditor();
    void fillValues(const std::string& column);
    void addRow();
    void deleteRow();

    WindowFrame* frame_ = nullptr;
    std::string table_;
    int shownRow_ = -1;  // the cell the shown editor lies over
    int shownCol_ = -1;
};

}  // namespace Palvo::query
