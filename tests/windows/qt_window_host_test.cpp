// What only the Qt host shows: the dialog's widgets and layout, and a user's
// keys, clicks and close box reaching the window through real Qt events.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <thread>

#include "palvo/error.h"
#include "palvo/qt/window_host.h"
#include "palvo/window.h"
#include "support/qt_application.h"
#include "support/window_hosts.h"

namespace Palvo::testing {
namespace {

class Sample : public Window {
public:
    const WindowLayout& layout() const override {
        static const WindowLayout w = [] {
            WindowLayout l;
            l.name = "frmSample";
            l.caption = "样本窗口";
            l.pictures = {"Image1", "Image2"};
            l.pictureLooks = {"down", "up"};
            l.controls = {
                ControlDef("lbl", ControlKind::Label, "客户名称：").at(0, 0),
                ControlDef("Txt1", ControlKind::TextBox).at(0, 1),
                ControlDef("Combo1", ControlKind::ComboBox).at(1, 1),
                ControlDef("Text2", ControlKind::TextArea).at(2, 0).span(1, 2),
                ControlDef("List1", ControlKind::ListBox).at(3, 0).multiSelection(),
                ControlDef("flx", ControlKind::MSHFlexGrid).at(3, 1),
                ControlDef("cmdAdd", ControlKind::Button, "添加(&A)").at(4, 0).tip("加一行"),
                ControlDef("cmdOk", ControlKind::Button, "确定(&O)").at(4, 1).defaultButton(),
                ControlDef("cmdHidden", ControlKind::Button, "隐").at(5, 0).hidden(),
            };
            l.stretchRows = {3};
            l.stretchCols = {1};
            return l;
        }();
        return w;
    }
    void Load() override {
        combo("Combo1").AddItem("甲");
        list("List1").AddItem("一");
    }
    void Activate() override { frame().SetFocus("Txt1"); }
    void Unload(UnloadMode mode) override {
        log.emplace_back(mode == UnloadMode::Code ? "Unload" : "CloseBox");
    }
    void Click(const std::string& c) override {
        log.push_back("Click " + c);
        if (c == "cmdAdd") {
            // the window's own changes fire nothing
            text("Text2").Text("程序写的");
            text("Txt1").Text("x");
            combo("Combo1").ListIndex(0);
            list("List1").ListIndex(0);
            list("List1").Selected(0, true);
        }
        if (c == "cmdOk") frame().Close();
    }
    void Change(const std::string& c) override { log.push_back("Change " + c); }
    void GotFocus(const std::string& c) override { log.push_back("Focus " + c); }
    bool activated() const { return !log.empty(); }  // Activate gives the focus

    std::vector<std::string> log;
};

using Log = std::vector<std::string>;

// Shows the window on a host without a script and, once it is activated, acts on the dialog as its user.
template <class W>
Log actOn(W& window, const std::function<void(QDialog&)>& user, qt::WindowHost* host = nullptr) {
    qt::WindowHost own;
    std::function<void()> act = [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !window.activated()) {
            QTimer::singleShot(1, act);
            return;
        }
        user(*dialog);
        // whatever the test left open closes now, as its user would
        if (dialog->isVisible()) dialog->close();
    };
    QTimer::singleShot(0, act);
    (host ? *host : own).showModal(window);
    return window.log;
}

template <class W>
W* child(QDialog& d, const char* name) {
    auto* w = d.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

TEST(QtWindowHost, LaysEveryControlOutVisiblyInItsOwnPlace) {
    Sample window;
    actOn(window, [&window](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), QString::fromUtf8("样本窗口"));
        EXPECT_TRUE(d.isModal());
        EXPECT_EQ(d.font().family(), QString::fromLatin1("Noto Sans CJK SC"));
        std::vector<QRect> places;
        for (const ControlDef& def : window.layout().controls) {
            auto* w = d.findChild<QWidget*>(QString::fromStdString(def.name));
            ASSERT_NE(w, nullptr) << def.name;
            if (!def.visible) {
                EXPECT_FALSE(w->isVisible()) << def.name;
                continue;
            }
            EXPECT_TRUE(w->isVisible()) << def.name;
            const QRect r = w->geometry();
            EXPECT_TRUE(d.rect().contains(r)) << def.name;
            EXPECT_GT(r.width(), 4) << def.name;
            EXPECT_GT(r.height(), 4) << def.name;
            for (const QRect& other : places) EXPECT_FALSE(r.intersects(other)) << def.name;
            places.push_back(r);
        }
        auto* add = child<QPushButton>(d, "cmdAdd");
        EXPECT_EQ(add->text(), QString::fromUtf8("添加(&A)"));
        EXPECT_EQ(add->toolTip(), QString::fromUtf8("加一行"));
        EXPECT_FALSE(add->autoDefault());
        EXPECT_TRUE(child<QComboBox>(d, "Combo1")->isEditable());
        EXPECT_EQ(child<QListView>(d, "List1")->selectionMode(), QAbstractItemView::MultiSelection);
        // the stretch row takes the room: the grid row is the tallest
        EXPECT_GT(child<QTableView>(d, "flx")->height(), child<QLineEdit>(d, "Txt1")->height());
    });
}

TEST(QtWindowHost, TheUsersInputReachesTheWindowOnce) {
    Sample window;
    const Log log = actOn(window, [](QDialog& d) {
        QTest::keyClicks(child<QLineEdit>(d, "Txt1"), "ab");
        QTest::mouseClick(child<QPushButton>(d, "cmdAdd"), Qt::LeftButton);
        QTest::keyClick(child<QPushButton>(d, "cmdAdd"), Qt::Key_Return);
    });
    EXPECT_EQ(log, (Log{"Focus Txt1", "Change Txt1", "Change Txt1", "Focus cmdAdd", "Click cmdAdd",
                        "Click cmdOk", "Unload"}));
}

TEST(QtWindowHost, EnterInATextBoxPressesTheDefaultButton) {
    Sample again;
    const Log entered = actOn(again, [](QDialog& d) {
        auto* box = child<QLineEdit>(d, "Txt1");
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Enter);
    });
    EXPECT_EQ(entered, (Log{"Focus Txt1", "Click cmdOk", "Unload"}));
}

TEST(QtWindowHost, WithoutAFirstFocusNoControlHasItUntilClicked) {
    struct Unfocused : Sample {
        void Activate() override { log.emplace_back("Activate"); }
    } unfocused;
    const Log clicked = actOn(unfocused, [&unfocused](QDialog& d) {
        EXPECT_EQ(d.focusWidget(), nullptr);
        QTest::mouseClick(child<QLineEdit>(d, "Txt1"), Qt::LeftButton);
        EXPECT_EQ(unfocused.log.back(), "Focus Txt1");
    });
    EXPECT_EQ(clicked, (Log{"Activate", "Focus Txt1", "CloseBox"}));
}

TEST(QtWindowHost, PicturesGoToTheWidgetsInPlaceOfTheCaption) {
    struct Pictured : Sample {
        void Activate() override {
            Sample::Activate();
            button("cmdAdd").Picture("Image2");
        }
    } window;
    qt::WindowHost host;
    actOn(
        window,
        [&](QDialog& d) {
            auto* add = child<QPushButton>(d, "cmdAdd");
            EXPECT_TRUE(add->text().isEmpty());
            EXPECT_FALSE(add->icon().isNull());
        },
        &host);
    auto& frame = host.last();
    auto& add = dynamic_cast<CommandButton&>(frame.control("cmdAdd"));
    EXPECT_EQ(add.Caption(), "添加(&A)");
    EXPECT_THROW(add.Picture("Image9"), Error);
    add.Picture("");
    EXPECT_EQ(host.lastDialog()->findChild<QPushButton*>("cmdAdd")->text(), QString::fromUtf8("添加(&A)"));
}

// Every kind of action on every kind of control, with what the window reads
// back after each event: the Qt host plays it as the memory host does.
class Recorder : public Sample {
public:
    void Load() override {
        Sample::Load();
        combo("Combo1").AddItem("乙");
        list("List1").AddItem("二");
        grid("flx").Rows(5);
        grid("flx").Cols(3);
    }
    void Click(const std::string& c) override {
        log.push_back("Click " + c + " " + state());
        if (c == "cmdOk") frame().Close();
    }
    void DblClick(const std::string& c) override {
        log.push_back("DblClick " + c + " " + state());
        gridCol = grid("flx").Col();
    }
    int gridCol = -1;
    void Change(const std::string& c) override { log.push_back("Change " + c + " " + state()); }
    bool KeyDown(WindowKey key) override {
        log.push_back("Key " + std::string(windowKeyName(key)) + " " + frame().ActiveControl());
        return key == WindowKey::F8;
    }
    std::string state() {
        return text("Txt1").Text() + "|" + combo("Combo1").Text() + "|" +
               std::to_string(combo("Combo1").ListIndex()) + "|" + std::to_string(list("List1").ListIndex()) +
               "|" + std::to_string(grid("flx").Row()) + "|" + text("Text2").Text();
    }
};

// Plays the script on a fresh W on the memory host, then on the Qt host, and
// returns what each window logged, as `read` collects it.
template <class W>
std::vector<Log> onBothHosts(const std::string& script, const std::function<Log(W&, WindowTestHost&)>& read) {
    std::vector<Log> logs;
    for (HostKind kind : {HostKind::Memory, HostKind::Qt}) {
        W window;
        WindowTestHost host(kind, script);
        showModal(window);
        EXPECT_EQ(host.unplayed(), 0u);
        logs.push_back(read(window, host));
    }
    return logs;
}

TEST(QtWindowHost, PlaysEveryActionAsTheMemoryHost) {
    const std::string script =
        "Txt1 = 张三\nTxt1 = 张三\nCombo1 = 乙\nCombo1 = 丙丁\nselect Combo1 0\nselect List1 1\n"
        "select List1 1\nselect flx 3\ndblclick flx\nText2 = 多行 文本\nkey F8\nkey Up\nkey Down\n"
        "key F4\ndblclick lbl\nclick lbl\ndblclick List1\nclick Combo1\nkey Enter";
    const auto logs = onBothHosts<Recorder>(script, [](Recorder& w, WindowTestHost&) { return w.log; });
    EXPECT_EQ(logs[1], logs[0]);
    EXPECT_GT(logs[0].size(), 20u);
}

// It plays on and gives back to its opener.
TEST(QtWindowHost, PlaysAWindowOpenedByAHandlerAsTheMemoryHost) {
    struct Opener : Sample {
        void Click(const std::string& c) override {
            Sample::Click(c);
            if (c != "cmdAdd") return;
            showModal(inner);
            log.push_back("back " + frame().ActiveControl() + " " + inner.log.back());
        }
        Sample inner;
    };
    const auto opened = onBothHosts<Opener>("click cmdAdd\nTxt1 = 内\nkey Esc\nTxt1 = 外\nclick cmdOk",
                                            [](Opener& w, WindowTestHost& host) {
                                                EXPECT_EQ(host.lastFrame().Name(), "frmSample");
                                                Log log = w.log;
                                                log.insert(log.end(), w.inner.log.begin(), w.inner.log.end());
                                                return log;
                                            });
    EXPECT_EQ(opened[1], opened[0]);
    EXPECT_EQ(opened[0].size(), 12u);
}

// The user clicks the second entry of the list, then clicks and double clicks a cell of the grid.
Log clickListAndGrid(Recorder& window) {
    return actOn(window, [](QDialog& d) {
        auto* list = child<QListView>(d, "List1");
        const QPoint second = list->visualRect(list->model()->index(1, 0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second);
        auto* view = child<QTableView>(d, "flx");
        view->scrollTo(view->model()->index(3, 2));
        const QPoint cell = view->visualRect(view->model()->index(3, 2)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell);
    });
}

TEST(QtWindowHost, TheUsersClickReachesTheWindowAfterTheSelectionMoved) {
    Recorder window;
    const Log log = clickListAndGrid(window);
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(Log(log.begin() + 1, log.begin() + 5),
              (Log{"Focus List1", "Click List1 ||-1|1|1|", "Focus flx", "Click flx ||-1|1|3|"}));
}

TEST(QtWindowHost, ADoubleClickOnACellIsAClickThenOneDoubleClick) {
    Recorder window;
    const Log log = clickListAndGrid(window);
    EXPECT_EQ(std::count(log.begin(), log.end(), "DblClick flx ||-1|1|3|"), 1);
    EXPECT_EQ(window.gridCol, 2);
}

// A grid whose current cell gets an editor laid over it, as the condition grid of the custom query dialog.
class CellEditing : public Window {
public:
    const WindowLayout& layout() const override {
        static const WindowLayout w = [] {
            WindowLayout l;
            l.name = "frmCells";
            l.controls = {
                ControlDef("MS", ControlKind::MSFlexGrid).at(0, 0),
                ControlDef("cmbEdit", ControlKind::ComboBox).floating().hidden(),
            };
            return l;
        }();
        return w;
    }
    void Load() override {
        grid("MS").Rows(3);
        grid("MS").Cols(3);
    }
    void Activate() override { active = true; }
    bool activated() const { return active; }
    void Click(const std::string& c) override {
        if (c == "MS") showEditor();
    }
    void RowColChange(const std::string&) override { showEditor(); }
    void Change(const std::string& c) override {
        if (c == "cmbEdit")
            grid("MS").TextMatrix(grid("MS").Row(), grid("MS").Col(), combo("cmbEdit").Text());
    }
    void GotFocus(const std::string& c) override { log.push_back(c); }
    std::string cell(int row, int col) const { return grid("MS").TextMatrix(row, col); }
    void showEditor() {
        FlexGrid& g = grid("MS");
        ComboBox& box = combo("cmbEdit");
        box.Move(g.Left() + g.CellLeft(), g.Top() + g.CellTop(), g.CellWidth());
        box.Text(g.TextMatrix(g.Row(), g.Col()));
        box.Visible(true);
    }
    Log log;  // the focus
    bool active = false;
};

// The user clicks cell (1, 1), types 500 straight away, then moves right with a key on the grid.
struct CellEdit {
    Log focus;
    std::string typed, afterKeys;
    bool focusStaysOnTheGrid = false;
};

CellEdit editACell() {
    CellEditing window;
    qt::WindowHost host;
    std::string typed, afterKeys;
    QWidget* focusAfterKeys = nullptr;
    const Log focus = actOn(
        window,
        [&](QDialog& d) {
            auto* view = child<QTableView>(d, "MS");
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                              view->visualRect(view->model()->index(1, 1)).center());
            // the user types straight away: the keys go where the focus is
            QTest::keyClicks(d.focusWidget(), "500");
            typed = window.cell(1, 1);
            view->setFocus();
            QTest::keyClick(view, Qt::Key_Right);
            focusAfterKeys = d.focusWidget();
            afterKeys = window.cell(1, 2);
        },
        &host);
    return {focus, typed, afterKeys, focusAfterKeys == host.lastDialog()->findChild<QTableView*>("MS")};
}

TEST(QtWindowHost, AClickedCellsEditorTakesTheKeyboard) {
    const CellEdit edit = editACell();
    EXPECT_EQ(edit.typed, "500");
    EXPECT_EQ(edit.focus, (Log{"MS", "cmbEdit", "MS"}));
}

TEST(QtWindowHost, AKeyMoveLeavesTheFocusOnTheGrid) {
    const CellEdit edit = editACell();
    EXPECT_TRUE(edit.focusStaysOnTheGrid) << "keys that move the cell keep moving it";
    EXPECT_EQ(edit.afterKeys, "");
}

TEST(QtWindowHost, TheHookSeesTheDialogWithItsContentBeforeItCloses) {
    auto script = std::make_shared<WindowScript>(parseWindowScript("Txt1 = 张三"));
    qt::WindowHost host(script);
    int calls = 0;
    host.setBeforeClose([&](QWidget& dialog) {
        ++calls;
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.findChild<QLineEdit*>("Txt1")->text(), QString::fromUtf8("张三"));
    });
    Sample hooked;
    host.showModal(hooked);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(hooked.log.back(), "CloseBox");
    EXPECT_FALSE(host.lastDialog()->isVisible());
}

struct Failing : Sample {
    void Click(const std::string& c) override {
        Sample::Click(c);
        throw Error(ErrorNumber::InvalidCall, "handler failed");
    }
};

TEST(QtWindowHost, OffTheGuiThreadTheHostRefusesInsteadOfTouchingWidgets) {
    Failing window;
    qt::WindowHost failing(std::make_shared<WindowScript>(parseWindowScript("click cmdAdd\nclick cmdOk")));
    long number = 0;
    std::thread other([&] {
        try {
            failing.showModal(window);
        } catch (const Error& e) {
            number = e.number();
        }
    });
    other.join();
    EXPECT_EQ(number, ErrorNumber::NotInstalled);
}

}  // namespace
}  // namespace Palvo::testing
