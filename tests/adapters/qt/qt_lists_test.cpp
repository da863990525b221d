// The Qt combo and list box show the core list model: the widgets follow the
// port's changes, and the user's picks and typing reach the model.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QTest>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "palvo/clsDatabase.h"
#include "palvo/error.h"
#include "palvo/qt/form.h"
#include "palvo/qt/lists.h"
#include "qt_test_support.h"
#include "support/errors.h"
#include "support/sqlite_fixture.h"

namespace Palvo::testing {
namespace {

// An editable combo with two entries made in Qt Designer, the second current.
class QtComboBox : public ::testing::Test {
protected:
    void SetUp() override {
        widget.setEditable(true);
        widget.addItem(QString::fromUtf8("甲"), 7);
        widget.addItem(QString::fromUtf8("乙"), 8);
        widget.setCurrentIndex(1);
    }
    QComboBox widget;
};

TEST_F(QtComboBox, TakesOverTheEntriesMadeInDesigner) {
    qt::ComboBox c(&widget);
    EXPECT_EQ(c.ListCount(), 2);
    EXPECT_EQ(c.ItemData(0), 7);
    EXPECT_EQ(c.ListIndex(), 1);
    EXPECT_EQ(c.Text(), "乙");
}

TEST_F(QtComboBox, KeepsTheWidgetInStep) {
    QLineEdit* line = widget.lineEdit();
    qt::ComboBox c(&widget);
    c.AddItem("丙", 0);
    EXPECT_EQ(widget.itemText(0), QString::fromUtf8("丙"));
    EXPECT_EQ(widget.currentIndex(), 2) << "the current entry moves with the model's";
    c.Text("自由");
    c.SelStart(1);
    c.SelLength(1);
    EXPECT_EQ(widget.currentIndex(), -1);
    EXPECT_EQ(line->text(), QString::fromUtf8("自由"));
    EXPECT_EQ(line->selectedText(), QString::fromUtf8("由"));

    // the user types over the selection, then picks an entry
    QTest::keyClicks(line, "X");
    EXPECT_EQ(c.Text(), "自X");
    EXPECT_EQ(c.SelStart(), 2);
    EXPECT_EQ(c.SelLength(), 0);
    EXPECT_EQ(c.ListIndex(), -1);
    widget.setCurrentIndex(0);
    EXPECT_EQ(c.ListIndex(), 0);
    EXPECT_EQ(c.Text(), "丙");

    c.RemoveItem(0);
    EXPECT_EQ(widget.count(), 2);
    EXPECT_EQ(widget.currentIndex(), -1) << "Qt would have picked a neighbour";
    EXPECT_EQ(c.Text(), "丙") << "the edit text stays";

    c.AddItems({"丁", "戊"});
    EXPECT_EQ(widget.count(), 4);
    EXPECT_EQ(widget.itemText(3), QString::fromUtf8("戊"));
    EXPECT_EQ(c.Text(), "丙") << "a bulk add leaves the edit text alone";
}

TEST_F(QtComboBox, TheWidgetKeepsTheEntriesWhenTheAdapterGoes) {
    {
        qt::ComboBox c(&widget);
        c.AddItems({"丁", "戊"});
        c.RemoveItem(3);
        c.RemoveItem(2);
    }
    EXPECT_EQ(widget.count(), 2);
    EXPECT_EQ(widget.itemData(1, Qt::UserRole).toInt(), 8);
}

TEST(QtDropDownList, RefusesATextThatIsNoEntry) {
    QComboBox listWidget;
    qt::ComboBox c(&listWidget);
    c.AddItem("甲");
    EXPECT_EQ(listWidget.currentIndex(), -1) << "adding selects nothing";
    EXPECT_EQ(errorNumber([&] { c.Text("乙"); }), 383);
    EXPECT_EQ(c.ListIndex(), -1) << "a refused text changes nothing";
    c.Text("甲");
    EXPECT_EQ(listWidget.currentIndex(), 0);
    c.SelStart(3);
    EXPECT_EQ(c.SelStart(), 0) << "no edit text, no caret";
}

// An editable combo of two cities.
class QtDroppedList : public ::testing::Test {
protected:
    void SetUp() override {
        widget.setEditable(true);
        c.AddItems({"重庆市", "长沙市"});
    }
    void dropDown() {
        widget.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
        c.DroppedDown(true);
        ASSERT_TRUE(c.DroppedDown());
    }
    QComboBox widget;
    qt::ComboBox c{&widget};
    QWidget* list = widget.view();
};

TEST_F(QtDroppedList, OffTheScreenTheBoxKeepsTheFlag) {
    EXPECT_FALSE(c.DroppedDown());
    c.DroppedDown(true);
    EXPECT_TRUE(c.DroppedDown());
}

TEST_F(QtDroppedList, PassesTypingOnToTheBox) {
    dropDown();
    QTest::keyClicks(list, "cq");
    EXPECT_EQ(widget.lineEdit()->text().toStdString(), "cq") << "typed into the box";
    EXPECT_EQ(c.Text(), "cq");
    EXPECT_TRUE(c.DroppedDown());
    QTest::keyClick(list, Qt::Key_Backspace);
    EXPECT_EQ(c.Text(), "c");
}

// The first before any move, another after a move.
TEST_F(QtDroppedList, EnterTakesTheHighlightedEntry) {
    dropDown();
    QTest::keyClicks(list, "c");
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_FALSE(c.DroppedDown());
    EXPECT_EQ(c.Text(), "重庆市");
    c.DroppedDown(true);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(c.Text(), "长沙市");
}

// A shown multiple selection list of a, b and c, c marked and b current.
class QtListBox : public ::testing::Test {
protected:
    void SetUp() override {
        view.setSelectionMode(QAbstractItemView::MultiSelection);
        for (const char* s : {"a", "b", "c"}) l.AddItem(s);
        view.show();
        QApplication::processEvents();
        l.Selected(2, true);
        l.ListIndex(1);
    }
    QModelIndex row(int r) { return view.model()->index(r, 0); }
    void click(int r) {
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(row(r)).center());
    }
    QListView view;
    qt::ListBox l{&view};
    QItemSelectionModel* selection() { return view.selectionModel(); }
};

TEST_F(QtListBox, TheViewFollowsTheModel) {
    QItemSelectionModel* selection = this->selection();
    EXPECT_EQ(view.model()->rowCount(), 3);
    EXPECT_TRUE(selection->isSelected(row(2)));
    EXPECT_EQ(selection->currentIndex(), row(1));
    EXPECT_FALSE(selection->isSelected(row(1))) << "the list index leaves the marks alone";
    l.Clear();
    EXPECT_EQ(view.model()->rowCount(), 0);
}

TEST_F(QtListBox, TheUsersClicksReachTheModel) {
    click(0);
    EXPECT_EQ(l.ListIndex(), 0);
    EXPECT_TRUE(l.Selected(0));
    click(2);
    EXPECT_FALSE(l.Selected(2)) << "a second click takes the mark off";
    EXPECT_EQ(l.ListIndex(), 2);
}

TEST_F(QtListBox, RemovingTheCurrentEntryLeavesNoneCurrent) {
    click(0);
    click(2);
    l.RemoveItem(2);
    EXPECT_FALSE(selection()->currentIndex().isValid()) << "Qt would have made a neighbour current";
    EXPECT_TRUE(selection()->isSelected(row(0)));
}

TEST(QtSingleSelectionList, HighlightsItsListIndexAlone) {
    QListView view;
    view.setSelectionMode(QAbstractItemView::SingleSelection);
    qt::ListBox l(&view);
    for (const char* s : {"a", "b", "c", "d"}) l.AddItem(s);
    view.show();
    QApplication::processEvents();
    QItemSelectionModel* selection = view.selectionModel();
    const auto row = [&view](int r) { return view.model()->index(r, 0); };

    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(row(3)).center());
    ASSERT_EQ(l.ListIndex(), 3);
    l.RemoveItem(3);  // Qt highlights a neighbour of the removed row
    EXPECT_FALSE(selection->hasSelection());
    l.ListIndex(1);
    EXPECT_EQ(selection->selectedIndexes(), QModelIndexList{row(1)});
    EXPECT_TRUE(l.Selected(1));
    EXPECT_FALSE(l.Selected(2));
    l.ListIndex(-1);
    EXPECT_FALSE(selection->hasSelection());
}

TEST(QtListView, AQListWidgetIsRefused) {
    QListWidget widget;
    EXPECT_THROW(qt::ListBox{&widget}, std::invalid_argument);
}

TEST(QtListView, ANewerAdapterTakesTheViewOver) {
    QListView view;
    auto first = std::make_unique<qt::ListBox>(&view);
    first->AddItem("甲");
    first->ItemData(0, 5);
    qt::ListBox second(&view);
    EXPECT_EQ(qt::ListBox::shownIn(&view), &second);
    EXPECT_EQ(second.ItemData(0), 5) << "the entries the view showed are taken over";
    first->AddItem("乙");
    first.reset();
    EXPECT_EQ(view.model()->rowCount(), 1) << "the older adapter leaves the view alone";
}

TEST(QtListView, AFormHandsOutTheListThatShowsNeverACombosPopup) {
    QWidget window;
    auto* combo = new QComboBox(&window);
    combo->setObjectName("cmb");
    ASSERT_NE(combo->view(), nullptr);  // the popup's list view, made when first asked for
    auto* list = new QListView(&window);
    list->setObjectName("lst");
    (new QListWidget(&window))->setObjectName("old");
    qt::Form form(&window);
    const auto walk = [&form] {
        std::vector<std::string> out;
        for (Control* c : form.Controls()) out.push_back(c->typeName() + ":" + c->Name());
        return out;
    };
    const std::vector<std::string> expected{"ComboBox:cmb", "ListBox:lst", "QListWidget:old"};
    EXPECT_EQ(walk(), expected) << "a QListWidget is no list box; the combo's popup is no control";
    {
        qt::ComboBox mine(combo);
        mine.AddItem("甲");
        EXPECT_EQ(form.Controls()[0], &mine) << "the host's adapter shows the combo";
    }
    EXPECT_EQ(walk(), expected) << "a new adapter of the form's; the popup still is no control";
    EXPECT_EQ(static_cast<ComboBox*>(form.Controls()[0])->List(0), "甲");
}

using Shown = std::vector<std::pair<QString, int>>;

// Text and item data of every row a model gives its view.
Shown rowsOf(const QAbstractItemModel* model) {
    Shown out;
    for (int r = 0; r < model->rowCount(); ++r) {
        const QModelIndex at = model->index(r, 0);
        out.emplace_back(at.data(Qt::DisplayRole).toString(), at.data(Qt::UserRole).toInt());
    }
    return out;
}

// 300 names, 品1 to 品300.
class QtListFill : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        std::vector<std::string> rows{"create table 品名 (编号 int, 名称 nvarchar(20))"};
        for (int i = 1; i <= 300; ++i) {
            const std::string n = std::to_string(i);
            rows.push_back("insert into 品名 values (" + n + ", N'品" + n + "')");
            named.emplace_back(QString::fromStdString("品" + n), i);
        }
        exec(rows);
    }
    Shown named;
    QListView listWidget;
    qt::ListBox list{&listWidget};
    clsDatabase db;
    const std::string sql = "select 编号, 名称 from 品名 order by 编号";
};

TEST_F(QtListFill, AFilledComboShowsEveryEntry) {
    QComboBox comboWidget;
    comboWidget.setEditable(true);
    comboWidget.addItem(QString::fromUtf8("设计"), 3);  // an entry from Qt Designer
    qt::ComboBox combo(&comboWidget);
    db.mFillDataToListOrComb(false, sql, 1, 0, combo, 1, "全部");
    Shown inCombo{{QString::fromUtf8("设计"), 3}, {QString::fromUtf8("全部"), 0}};
    inCombo.insert(inCombo.end(), named.begin(), named.end());
    EXPECT_EQ(rowsOf(comboWidget.model()), inCombo);
    EXPECT_EQ(comboWidget.currentIndex(), 1);
    EXPECT_EQ(comboWidget.currentText(), QString::fromUtf8("全部"));
}

TEST_F(QtListFill, AFilledListShowsEveryEntry) {
    db.mFillDataToListOrComb(true, sql, 1, 0, list, 0, "");
    Shown inList{{QString(), 0}};
    inList.insert(inList.end(), named.begin(), named.end());
    EXPECT_EQ(rowsOf(listWidget.model()), inList);
    EXPECT_EQ(listWidget.selectionModel()->currentIndex().row(), 0);

    list.List(5, "改");
    EXPECT_EQ(listWidget.model()->index(5, 0).data().toString(), QString::fromUtf8("改"))
        << "a new text shows";
}

// The 100th row has no name: the list keeps and shows the rows before it.
TEST_F(QtListFill, AFailedFillShowsWhatItRead) {
    EXPECT_THROW(db.mFillDataToListOrComb(true, "select 编号, nullif(名称, N'品100') from 品名 order by 编号",
                                          1, 0, list, 0, "全部"),
                 Error);
    Shown partly{{QString::fromUtf8("全部"), 0}};
    partly.insert(partly.end(), named.begin(), named.begin() + 99);
    EXPECT_EQ(rowsOf(listWidget.model()), partly);
    EXPECT_EQ(list.ListCount(), 100);
}

}  // namespace
}  // namespace Palvo::testing
