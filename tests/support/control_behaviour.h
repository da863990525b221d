// Behaviour tests of the control ports, written once and run on every adapter.
// A suite instantiates them with a factory type F that offers
//   Palvo::TextBox& textBox(text);  Palvo::ComboBox& comboBox();
//   Palvo::ListBox& listBox();      Palvo::ListView& listView();
//   Palvo::FlexGrid& flexGrid(bool hierarchical);   // 2 x 2, one fixed row and column
//   void settle();                  // lets a window system catch up (layout)
// Each test gets a fresh factory that owns what it made.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "palvo/controls.h"
#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/grid.h"
#include "support/errors.h"

namespace Palvo::testing {

inline std::vector<std::string> gridColumn(const FlexGrid& g, int col) {
    std::vector<std::string> out;
    for (int r = 0; r < g.Rows(); ++r) out.push_back(g.TextMatrix(r, col));
    return out;
}

inline std::vector<std::string> listEntries(const ListControl& l) {
    std::vector<std::string> out;
    for (int i = 0; i < l.ListCount(); ++i) out.push_back(l.List(i));
    return out;
}

/// A connection whose every query answers with one fixed table, for binding grids.
class TableConnection : public Connection {
public:
    explicit TableConnection(ResultTable table) : table_(std::move(table)) {}
    std::string backendName() const override { return "table"; }

protected:
    void doOpen(const std::string&, const std::string&, const std::string&) override {}
    void doClose() noexcept override {}
    long doExecute(const std::string&, const std::vector<Value>&) override { return 0; }
    ResultTable doQuery(const std::string&) override { return table_; }
    void doBegin() override {}
    void doCommit() override {}
    void doRollback() override {}

private:
    ResultTable table_;
};

template <class F>
class ControlBehaviour : public ::testing::Test {
protected:
    F make;

    // Three rows, "x" in cell (2, 1), cell (2, 0) coloured 0xFF and current.
    FlexGrid& gridWithACellColoured() {
        FlexGrid& g = make.flexGrid(false);
        g.Rows(3);
        g.TextMatrix(2, 1, "x");
        g.Row(2);
        g.Col(0);
        g.CellBackColor(0xFF);
        return g;
    }
};

TYPED_TEST_SUITE_P(ControlBehaviour);

TYPED_TEST_P(ControlBehaviour, TextBoxSelectionCountsCharacters) {
    // 𠀀 lies outside the BMP: one character, two UTF-16 units, four UTF-8 bytes.
    TextBox& t = this->make.textBox("中𠀀ab");
    EXPECT_EQ(t.typeName(), "TextBox");
    t.SelStart(2);
    t.SelLength(10);
    EXPECT_EQ(t.SelStart(), 2);
    EXPECT_EQ(t.SelLength(), 2) << "cut at the end of the text";
    t.SelStart(1);
    t.SelLength(1);
    EXPECT_EQ(t.SelStart(), 1);
    EXPECT_EQ(t.SelLength(), 1);
    t.SelStart(99);
    EXPECT_EQ(t.SelStart(), 4);
    EXPECT_EQ(t.SelLength(), 0) << "moving the caret drops the selection";
    t.SelStart(1);
    t.SelLength(2);
    t.Text("新文本");
    EXPECT_EQ(t.SelStart(), 0) << "new text puts the caret at the start";
    EXPECT_EQ(t.SelLength(), 0);
}

TYPED_TEST_P(ControlBehaviour, TextBoxMaxLengthZeroIsNoLimit) {
    TextBox& t = this->make.textBox("");
    EXPECT_EQ(t.MaxLength(), 0) << "no limit";
    t.MaxLength(12);
    t.MaxLength(0);
    EXPECT_EQ(t.MaxLength(), 0);
}

TYPED_TEST_P(ControlBehaviour, TextBoxRefusesNegativePlacesOrLengths) {
    TextBox& t = this->make.textBox("ab");
    EXPECT_EQ(errorNumber([&] { t.SelStart(-1); }), 380);
    EXPECT_EQ(errorNumber([&] { t.SelLength(-1); }), 380);
    EXPECT_EQ(errorNumber([&] { t.MaxLength(-1); }), 380);
}

TYPED_TEST_P(ControlBehaviour, ADisabledTextBoxRefusesTheFocus) {
    TextBox& t = this->make.textBox("ab");
    EXPECT_EQ(errorNumber([&] { t.SetFocus(); }), 0);
    t.Enabled(false);
    EXPECT_EQ(errorNumber([&] { t.SetFocus(); }), 5);
}

template <class L>
void checkListEntries(L& l) {
    EXPECT_EQ(l.ListIndex(), -1);
    l.AddItem("乙");
    l.AddItem("丁");
    EXPECT_EQ(l.ListIndex(), -1) << "adding selects nothing";
    l.AddItem("甲", 0);
    l.AddItem("丙", 2);
    EXPECT_EQ(listEntries(l), (std::vector<std::string>{"甲", "乙", "丙", "丁"}));
    EXPECT_EQ(errorNumber([&] { l.AddItem("x", 5); }), 5);
    EXPECT_EQ(errorNumber([&] { (void)l.List(4); }), 381);
    EXPECT_EQ(errorNumber([&] { (void)l.List(-1); }), 381);

    EXPECT_EQ(l.ItemData(1), 0) << "item data starts at 0";
    l.ItemData(1, std::numeric_limits<std::int32_t>::min());
    l.ItemData(3, 2147483647);
    EXPECT_EQ(l.ItemData(1), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(l.ItemData(3), 2147483647);
    EXPECT_EQ(errorNumber([&] { l.ItemData(4, 1); }), 381);

    l.ListIndex(2);
    EXPECT_EQ(l.Text(), "丙");
    l.AddItem("前", 0);
    EXPECT_EQ(l.ListIndex(), 3) << "the selection moves with its entry";
    EXPECT_EQ(l.ItemData(2), std::numeric_limits<std::int32_t>::min()) << "item data moves too";
    l.RemoveItem(0);
    EXPECT_EQ(l.ListIndex(), 2);
    l.RemoveItem(2);
    EXPECT_EQ(l.ListIndex(), -1) << "removing the selected entry selects nothing";
    EXPECT_EQ(errorNumber([&] { l.RemoveItem(3); }), 5);
    EXPECT_EQ(errorNumber([&] { l.ListIndex(3); }), 380);
    EXPECT_EQ(errorNumber([&] { l.ListIndex(-2); }), 380);
    l.ListIndex(0);
    l.AddItems({"戊", "己"}, {7});
    EXPECT_EQ(listEntries(l), (std::vector<std::string>{"甲", "乙", "丁", "戊", "己"}));
    EXPECT_EQ(l.ItemData(3), 7);
    EXPECT_EQ(l.ItemData(4), 0) << "an item without a value gets 0";
    EXPECT_EQ(l.ListIndex(), 0) << "a bulk add keeps the selection";
    l.List(1, "庚");
    EXPECT_EQ(listEntries(l), (std::vector<std::string>{"甲", "庚", "丁", "戊", "己"}));
    EXPECT_EQ(l.ItemData(1), std::numeric_limits<std::int32_t>::min()) << "a new text keeps the item data";
    EXPECT_EQ(l.ListIndex(), 0);
    EXPECT_EQ(errorNumber([&] { l.List(5, "x"); }), 381);
    EXPECT_EQ(errorNumber([&] { l.List(-1, "x"); }), 381);
    l.Clear();
    EXPECT_EQ(l.ListCount(), 0);
    EXPECT_EQ(l.ListIndex(), -1);
    EXPECT_EQ(l.Text(), "");
}

TYPED_TEST_P(ControlBehaviour, ListControlsKeepTheirEntriesWithTheirItemData) {
    ComboBox& c = this->make.comboBox();
    ListBox& l = this->make.listBox();
    EXPECT_EQ(c.typeName(), "ComboBox");
    EXPECT_EQ(l.typeName(), "ListBox");
    checkListEntries(c);
    checkListEntries(l);
}

TYPED_TEST_P(ControlBehaviour, ListBoxMarksAreIndependentOfTheCurrentEntry) {
    ListBox& l = this->make.listBox();
    for (const char* s : {"a", "b", "c"}) l.AddItem(s);
    l.Selected(0, true);
    l.Selected(2, true);
    EXPECT_EQ(l.ListIndex(), -1);
    l.ListIndex(1);
    EXPECT_TRUE(l.Selected(0));
    EXPECT_FALSE(l.Selected(1));
    EXPECT_TRUE(l.Selected(2));
    l.Selected(0, false);
    EXPECT_FALSE(l.Selected(0));
    EXPECT_EQ(l.Text(), "b");
    EXPECT_EQ(errorNumber([&] { (void)l.Selected(3); }), 381);
}

TYPED_TEST_P(ControlBehaviour, ComboBoxTextSelectsAMatchingEntryOrNone) {
    ComboBox& c = this->make.comboBox();
    c.AddItem("全部");
    c.AddItem("总部");
    c.Text("总部");
    EXPECT_EQ(c.ListIndex(), 1);
    c.Text("分部");
    EXPECT_EQ(c.ListIndex(), -1);
    EXPECT_EQ(c.Text(), "分部") << "a free text stays";
    c.ListIndex(0);
    EXPECT_EQ(c.Text(), "全部");
    c.ListIndex(-1);
    EXPECT_EQ(c.Text(), "");
}

TYPED_TEST_P(ControlBehaviour, ComboBoxSelectionCountsCharacters) {
    ComboBox& c = this->make.comboBox();
    c.Text("中𠀀ab");
    c.SelStart(1);
    c.SelLength(10);
    EXPECT_EQ(c.SelStart(), 1);
    EXPECT_EQ(c.SelLength(), 3) << "cut at the end of the text";
    c.SelStart(0);
    EXPECT_EQ(c.SelLength(), 0) << "moving the caret drops the selection";
    EXPECT_EQ(errorNumber([&] { c.SelStart(-1); }), 380);
    EXPECT_EQ(errorNumber([&] { c.SelLength(-1); }), 380);
}

TYPED_TEST_P(ControlBehaviour, ListViewColumnHeadersTakeUniqueKeys) {
    ListView& lv = this->make.listView();
    EXPECT_EQ(lv.typeName(), "ListView");
    lv.View(3);
    lv.ColumnHeadersAdd(1, "Head1", "名称");
    lv.ColumnHeadersAdd(2, "Head3", "地址");
    lv.ColumnHeadersAdd(2, "Head2", "编号");
    ASSERT_EQ(lv.ColumnHeadersCount(), 3);
    EXPECT_EQ(lv.ColumnHeaderText(2), "编号");
    EXPECT_EQ(lv.ColumnHeaderKey(3), "Head3");
    EXPECT_EQ(errorNumber([&] { lv.ColumnHeadersAdd(4, "Head1", "x"); }), 35602);
    EXPECT_EQ(errorNumber([&] { lv.ColumnHeadersAdd(6, "Head9", "x"); }), 381);
    EXPECT_EQ(errorNumber([&] { (void)lv.ColumnHeaderText(0); }), 381);
    lv.ColumnHeadersClear();
    EXPECT_EQ(lv.ColumnHeadersCount(), 0);
    lv.ColumnHeadersAdd(1, "Head1", "新");
    EXPECT_EQ(lv.ColumnHeaderKey(1), "Head1") << "a cleared key can be used again";
}

TYPED_TEST_P(ControlBehaviour, ListViewItemsTakeUniqueKeysWithTheirSubItems) {
    ListView& lv = this->make.listView();
    lv.View(3);
    for (short i = 1; i <= 3; ++i) lv.ColumnHeadersAdd(i, "Head" + std::to_string(i), "列");
    ListItem& second = lv.ListItemsAdd(1, "K2", "乙");
    second.SubItems(1, "9");
    ListItem& first = lv.ListItemsAdd(1, "K1", "甲");
    first.SubItems(2, "北京");
    first.SubItems(5, "past the headers");
    EXPECT_EQ(errorNumber([&] { lv.ListItemsAdd(3, "K1", "丙"); }), 35602);
    EXPECT_EQ(errorNumber([&] { lv.ListItemsAdd(4, "K4", "丁"); }), 381);
    ASSERT_EQ(lv.ListItemsCount(), 2);
    EXPECT_EQ(lv.ListItems(1).Key(), "K1");
    EXPECT_EQ(lv.ListItems(1).Text(), "甲");
    EXPECT_EQ(lv.ListItems(1).SubItems(2), "北京");
    EXPECT_EQ(lv.ListItems(1).SubItems(5), "past the headers");
    EXPECT_EQ(lv.ListItems(1).SubItems(1), "") << "never set";
    EXPECT_EQ(lv.ListItems(2).SubItems(1), "9");
    EXPECT_EQ(errorNumber([&] { (void)lv.ListItems(1).SubItems(0); }), 381);
    EXPECT_EQ(errorNumber([&] { (void)lv.ListItems(3); }), 381);

    lv.ListItemsClear();
    EXPECT_EQ(lv.ListItemsCount(), 0);
    EXPECT_EQ(lv.ColumnHeadersCount(), 3) << "headers stay";
}

TYPED_TEST_P(ControlBehaviour, GridStartsWithItsTypesShape) {
    FlexGrid& flex = this->make.flexGrid(false);
    FlexGrid& hier = this->make.flexGrid(true);
    EXPECT_EQ(flex.typeName(), "MSFlexGrid");
    EXPECT_EQ(hier.typeName(), "MSHFlexGrid");
    EXPECT_EQ((std::vector<int>{flex.Rows(), flex.Cols(), flex.FixedRows(), flex.FixedCols(), flex.Row(),
                                flex.Col()}),
              (std::vector<int>{2, 2, 1, 1, 1, 1}))
        << "rows, cols, fixed rows, fixed cols, row, col";
}

TYPED_TEST_P(ControlBehaviour, ReshapingAGridKeepsTheCellsThatStay) {
    FlexGrid& g = this->make.flexGrid(false);
    g.Rows(3);
    g.Cols(3);
    g.TextMatrix(2, 2, "c");
    g.TextMatrix(1, 0, "a");
    g.Cols(5);
    EXPECT_EQ(g.TextMatrix(2, 2), "c");
    EXPECT_EQ(g.TextMatrix(1, 0), "a");
    EXPECT_EQ(g.TextMatrix(2, 4), "");
    EXPECT_EQ(g.ColWidth(4), 960) << "new columns get the default width";
    EXPECT_EQ(g.ColAlignment(4), 9);
    g.Cols(2);
    g.Rows(2);
    EXPECT_EQ(g.TextMatrix(1, 0), "a");
    g.FixedRows(2);
    g.Rows(1);
    EXPECT_EQ(g.FixedRows(), 1) << "fixed rows shrink with the grid";
}

TYPED_TEST_P(ControlBehaviour, GridIndicesOutsideRaiseThePlatformNumbers) {
    FlexGrid& g = this->make.flexGrid(false);  // 2 x 2
    struct Case {
        const char* what;
        std::function<void()> call;
        long number;
    };
    const std::vector<Case> cases = {
        {"read row", [&] { (void)g.TextMatrix(2, 0); }, 381},
        {"read col -1", [&] { (void)g.TextMatrix(0, -1); }, 381},
        {"write", [&] { g.TextMatrix(0, 2, "x"); }, 381},
        {"width", [&] { g.ColWidth(5, 100); }, 381},
        {"negative width", [&] { g.ColWidth(0, -2); }, 380},
        {"alignment", [&] { (void)g.ColAlignment(-1); }, 381},
        {"row", [&] { g.Row(2); }, 30009},
        {"col", [&] { g.Col(-1); }, 30010},
        {"top row", [&] { g.TopRow(2); }, 30009},
        {"col sel", [&] { g.ColSel(2); }, 30010},
        {"visible", [&] { (void)g.RowIsVisible(2); }, 381},
        {"add at", [&] { g.AddItem("x", 5); }, 381},
        {"remove fixed row", [&] { g.RemoveItem(0); }, 381},
        {"remove last data row", [&] { g.RemoveItem(1); }, 30015},
        {"rows", [&] { g.Rows(-1); }, 380},
        {"fixed rows", [&] { g.FixedRows(3); }, 380},
        {"fixed cols", [&] { g.FixedCols(-1); }, 380},
        {"sort 3", [&] { g.Sort(3); }, 380},
        {"bind on MSFlexGrid",
         [&] {
             Recordset rs;
             g.Recordset(rs);
         },
         438},
    };
    for (const auto& c : cases) EXPECT_EQ(errorNumber(c.call), c.number) << c.what;
    EXPECT_EQ(g.Rows(), 2) << "failed calls leave the shape";
    EXPECT_EQ(g.Cols(), 2);
}

TYPED_TEST_P(ControlBehaviour, GridAddItemFillsARowAtTheIndexFromTabbedText) {
    FlexGrid& g = this->make.flexGrid(false);
    g.Cols(3);
    g.Rows(1);
    g.AddItem("a\tb\tc\textra");
    g.AddItem("x", 1);
    g.AddItem("\t\tz");
    ASSERT_EQ(g.Rows(), 4);
    EXPECT_EQ(gridColumn(g, 0), (std::vector<std::string>{"", "x", "a", ""}));
    EXPECT_EQ(gridColumn(g, 2), (std::vector<std::string>{"", "", "c", "z"}));
    g.RemoveItem(1);
    EXPECT_EQ(gridColumn(g, 0), (std::vector<std::string>{"", "a", ""}));
}

// with their colours, keeping the order of equal keys
TYPED_TEST_P(ControlBehaviour, GridSortMovesWholeRows) {
    FlexGrid& g = this->make.flexGrid(false);
    g.Cols(3);
    g.Rows(1);
    g.TextMatrix(0, 1, "heading");
    g.AddItem("r1\t2\tfirst two");
    g.AddItem("r2\t1\tone");
    g.AddItem("r3\t2\tsecond two");
    g.Row(2);
    g.Col(2);
    g.CellBackColor(99);
    g.Col(1);
    g.Sort(1);
    EXPECT_EQ(gridColumn(g, 0), (std::vector<std::string>{"", "r2", "r1", "r3"}));
    EXPECT_EQ(g.TextMatrix(0, 1), "heading") << "fixed rows stay";
    g.Row(1);
    g.Col(2);
    EXPECT_EQ(g.CellBackColor(), 99) << "the colour went with r2";
    g.Row(2);
    EXPECT_EQ(g.CellBackColor(), 0);
    g.Col(1);
    g.Sort(2);
    EXPECT_EQ(gridColumn(g, 0), (std::vector<std::string>{"", "r1", "r3", "r2"}));
}

TYPED_TEST_P(ControlBehaviour, GridColumnWidthsReadBackAsSet) {
    FlexGrid& g = this->make.flexGrid(false);
    for (std::int32_t twips : {0, 1, 15, 600, 1000, 1234, 9000}) {
        g.ColWidth(1, twips);
        EXPECT_EQ(g.ColWidth(1), twips);
    }
    g.ColWidth(1, -1);
    EXPECT_EQ(g.ColWidth(1), 960) << "-1 restores the default";
    g.Col(1);
    g.ColWidth(1, 1500);
    EXPECT_EQ(g.CellWidth(), 1500);
    g.ColWidth(0, 700);
    EXPECT_GE(g.CellLeft(), 690) << "the current cell starts after column 0";
}

TYPED_TEST_P(ControlBehaviour, GridColumnAlignmentsReadBackAsSet) {
    FlexGrid& g = this->make.flexGrid(false);
    for (int a : {1, 3, 9, 4, 0}) {
        g.ColAlignment(0, a);
        EXPECT_EQ(g.ColAlignment(0), a);
    }
}

TYPED_TEST_P(ControlBehaviour, GridCellColourFollowsTheCurrentCell) {
    FlexGrid& g = this->gridWithACellColoured();
    g.Col(1);
    EXPECT_EQ(g.CellBackColor(), 0) << "another cell";
    g.CellBackColor(static_cast<std::int32_t>(0x80000005u));
    g.Row(1);
    EXPECT_EQ(g.CellBackColor(), 0);
    g.Row(2);
    EXPECT_EQ(g.CellBackColor(), static_cast<std::int32_t>(0x80000005u)) << "system colours read back as set";
    g.Col(0);
    EXPECT_EQ(g.CellBackColor(), 0xFF);
}

TYPED_TEST_P(ControlBehaviour, GridClearEmptiesTheCellsKeepingTheShape) {
    FlexGrid& g = this->gridWithACellColoured();
    g.Clear();
    EXPECT_EQ(g.Rows(), 3);
    EXPECT_EQ(g.TextMatrix(2, 1), "");
    EXPECT_EQ(g.CellBackColor(), 0);
}

struct SortCase {
    std::vector<std::string> cells;
    int how;
    std::vector<std::string> sorted;
};

TYPED_TEST_P(ControlBehaviour, GridSortIsGenericNumbersAsNumbersTextsAsTexts) {
    const std::vector<SortCase> cases = {
        {{"10", "9", "100", "-1.5"}, 1, {"-1.5", "9", "10", "100"}},
        {{"10", "9", "100", "-1.5"}, 2, {"100", "10", "9", "-1.5"}},
        {{"b", "B", "a", "乙", "甲"}, 1, {"B", "a", "b", "乙", "甲"}},
        {{"x", "2", "", "1"}, 1, {"", "1", "2", "x"}},
        {{"x", "2", "", "1"}, 2, {"x", "2", "1", ""}},
        {{" 7", "12"}, 1, {" 7", "12"}},
    };
    for (const auto& c : cases) {
        FlexGrid& g = this->make.flexGrid(false);
        g.Rows(1);
        for (const auto& cell : c.cells) g.AddItem("k\t" + cell);
        g.Col(1);
        g.Sort(c.how);
        std::vector<std::string> got = gridColumn(g, 1);
        got.erase(got.begin());
        EXPECT_EQ(got, c.sorted) << c.cells.front() << " how " << c.how;
    }
}

TYPED_TEST_P(ControlBehaviour, GridScrollsARowIntoView) {
    FlexGrid& g = this->make.flexGrid(false);
    g.Rows(101);
    this->make.settle();
    EXPECT_TRUE(g.RowIsVisible(1));
    EXPECT_FALSE(g.RowIsVisible(60));
    g.TopRow(50);
    this->make.settle();
    EXPECT_EQ(g.TopRow(), 50);
    EXPECT_TRUE(g.RowIsVisible(50));
    EXPECT_TRUE(g.RowIsVisible(52));
    EXPECT_FALSE(g.RowIsVisible(100));
    EXPECT_FALSE(g.RowIsVisible(10));
    g.TopRow(0);
    EXPECT_EQ(g.TopRow(), 1) << "the first scrollable row is below the fixed ones";
}

TYPED_TEST_P(ControlBehaviour, HierarchicalGridLaysOutABoundRecordset) {
    ResultTable table;
    for (const char* name : {"名称", "金额"}) table.columns.emplace_back().name = name;
    table.cells = {Value("钢管"), Value(0.2), Value(), Value(10)};
    auto conn = std::make_shared<TableConnection>(table);
    conn->Open("");
    Recordset rs;
    rs.Open("select", conn);
    FlexGrid& g = this->make.flexGrid(true);
    g.Rows(7);
    g.TextMatrix(5, 0, "old");
    g.Recordset(rs);
    g.Refresh();
    EXPECT_EQ(g.Cols(), 3);
    EXPECT_EQ(g.FixedCols(), 1);
    EXPECT_EQ(gridColumn(g, 1), (std::vector<std::string>{"名称", "钢管", ""}));
    EXPECT_EQ(gridColumn(g, 2), (std::vector<std::string>{"金额", "0.2", "10"}));
    EXPECT_EQ(gridColumn(g, 0), (std::vector<std::string>{"", "", ""}))
        << "the grid's own copy, nothing left over";
}

REGISTER_TYPED_TEST_SUITE_P(ControlBehaviour, TextBoxSelectionCountsCharacters, TextBoxMaxLengthZeroIsNoLimit,
                            TextBoxRefusesNegativePlacesOrLengths, ADisabledTextBoxRefusesTheFocus,
                            ListControlsKeepTheirEntriesWithTheirItemData,
                            ListBoxMarksAreIndependentOfTheCurrentEntry,
                            ComboBoxTextSelectsAMatchingEntryOrNone, ComboBoxSelectionCountsCharacters,
                            ListViewColumnHeadersTakeUniqueKeys, ListViewItemsTakeUniqueKeysWithTheirSubItems,
                            GridStartsWithItsTypesShape, ReshapingAGridKeepsTheCellsThatStay,
                            GridIndicesOutsideRaiseThePlatformNumbers,
                            GridAddItemFillsARowAtTheIndexFromTabbedText, GridSortMovesWholeRows,
                            GridColumnWidthsReadBackAsSet, GridColumnAlignmentsReadBackAsSet,
                            GridCellColourFollowsTheCurrentCell, GridClearEmptiesTheCellsKeepingTheShape,
                            GridSortIsGenericNumbersAsNumbersTextsAsTexts, GridScrollsARowIntoView,
                            HierarchicalGridLaysOutABoundRecordset);

}  // namespace Palvo::testing
