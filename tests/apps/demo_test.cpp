// The demo application's windows, driven offscreen through their real widgets
// on a fresh sample database.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>

#include "custom_query.h"
#include "customer_form.h"
#include "demo_session.h"
#include "main_window.h"
#include "palvo/clsGrid.h"
#include "palvo/memory/msgbox.h"
#include "palvo/memory/window_host.h"
#include "palvo/qt/grid.h"
#include "palvo/session.h"
#include "palvo/spreadsheet.h"
#include "palvo/window.h"
#include "palvo/window_script.h"
#include "sales_query.h"
#include "support/qt_application.h"
#include "tour.h"

namespace Palvo::demo {
namespace {

// The column of a heading in the grid's row 0; -1 when none.
int columnOf(const QAbstractItemModel* g, const QString& heading) {
    for (int c = 0; c < g->columnCount(); ++c)
        if (g->index(0, c).data().toString() == heading) return c;
    return -1;
}

class Demo : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        conn = startSession(dir.filePath("demo.db").toStdString());
        window = std::make_unique<MainWindow>();
        window->resize(1200, 780);
        window->show();
        // the demo's own ports, but scripted message boxes and no real windows of the library
        HostPorts ports = demoHost(window.get());
        ports.messageBox = messages;
        ports.windows = nullptr;
        ports.spreadsheetDesk = nullptr;
        host.emplace(installHost(std::move(ports)));
    }
    void TearDown() override {
        host.reset();
        window.reset();
        session().oConn.reset();
    }

    // Opens a window from its menu entry; a window of another kind fails the test.
    template <class W>
    W& open(QAction* action) {
        action->trigger();
        QApplication::processEvents();
        auto* w = dynamic_cast<W*>(window->mdi()->activeSubWindow()->widget());
        if (w == nullptr) throw std::runtime_error("the menu entry opened no such window");
        return *w;
    }
    CustomerForm& openCustomers() { return open<CustomerForm>(window->customersAction()); }
    static void click(CustomerForm& f, const char* button) {
        QTest::mouseClick(f.button(button), Qt::LeftButton);
    }
    ResultTable query(const std::string& sql) { return conn->Query(sql); }
    std::int64_t count(const std::string& sql) { return query(sql).at(0, 0).toInt64(); }
    std::int64_t customers(const std::string& code) {
        return count("select count(*) from 客户 where 客户编号='" + code + "'");
    }
    // Finds the sales one by one.
    static void findDetail(SalesQuery& s) {
        s.cmbType()->setCurrentText("销售明细");
        QTest::mouseClick(s.cmdFind(), Qt::LeftButton);
        EXPECT_EQ(s.lastResult(), "");
    }
    // Types a new customer C0061 with every field but the name.
    void typeNewCustomer(CustomerForm& f) {
        click(f, "cmdAdd");
        QTest::keyClicks(f.box(0), "C0061");
        QTest::keyClicks(f.box(2), "02");
        typeInto(f.box(3), "上海市淮海中路288号");  // QTest::keyClicks takes ASCII only
        QTest::keyClicks(f.box(4), "021-63218888");
        f.box(5)->clear();
        QTest::keyClicks(f.box(5), "150000");
        f.box(6)->setText("2004-06-18");
    }
    // A new customer C0061, typed whole, saved.
    void saveNewCustomer(CustomerForm& f) {
        typeNewCustomer(f);
        typeInto(f.box(1), "明光文具有限公司");
        click(f, "cmdSave");
    }

    QTemporaryDir dir;
    std::shared_ptr<Connection> conn;
    std::unique_ptr<MainWindow> window;
    std::optional<HostGuard> host;
    std::shared_ptr<memory::ScriptedMessageBox> messages = std::make_shared<memory::ScriptedMessageBox>();
};

TEST_F(Demo, TheEntryFormFollowsTheConvention) {
    CustomerForm* f = &openCustomers();
    EXPECT_EQ(f->initResult(), "");
    EXPECT_EQ(f->label(0)->property("Tag").toString(), "2客户编号");
    EXPECT_EQ(f->box(2)->property("Tag").toString(), "B_单位,单位编号");
    EXPECT_TRUE(f->label(2)->font().underline()) << "a lookup label is a link";
    EXPECT_EQ(f->fieldTypes()[5], "2");
    EXPECT_EQ(f->fieldTypes()[6], "3");
    EXPECT_EQ(f->box(0)->text(), "C0001") << "the first customer is shown";
    EXPECT_FALSE(f->box(0)->isEnabled()) << "browse state";
}

TEST_F(Demo, TheEntryFormRegistersItsLookup) {
    openCustomers();
    EXPECT_EQ(
        count(
            "select count(*) from 更新表记录 where 主表='B_单位' and 主表字段='单位编号' and 附表='客户' and "
            "附表字段='单位编号'"),
        1);
}

TEST_F(Demo, KeysAreFilteredByTheColumnsType) {
    CustomerForm* f = &openCustomers();
    click(*f, "cmdAdd");
    f->box(5)->clear();
    QTest::keyClicks(f->box(5), "12a3.456");
    EXPECT_EQ(f->box(5)->text(), "123.45") << "decimal(12,2): no letters, two decimals";
    QTest::keyClicks(f->box(0), "C000123456789");
    EXPECT_EQ(f->box(0)->text(), "C000123456") << "varchar(10)";
    typeInto(f->box(1), QString(30, QChar(0x4E2D)));
    EXPECT_EQ(f->box(1)->text(), QString(25, QChar(0x4E2D))) << "nvarchar(50): 25 double-byte characters";
    f->box(6)->clear();
    QTest::keyClicks(f->box(6), "2004");
    typeInto(f->box(6), "年");
    QTest::keyClicks(f->box(6), "-06-18");
    EXPECT_EQ(f->box(6)->text(), "2004-06-18");
}

TEST_F(Demo, TabOrEnterGoesThroughTheBoxesAsTheyAreLaidOut) {
    CustomerForm* f = &openCustomers();
    click(*f, "cmdAdd");
    const std::vector<int> layout = {0, 1, 2, 4, 3, 5, 6, 7};
    for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Return}) {
        f->box(0)->setFocus();
        std::vector<int> visited = {0};
        for (int i = 1; i < 8; ++i) {
            QTest::keyClick(QApplication::focusWidget(), key);
            int index = -1;
            for (int b = 0; b < 8; ++b) index = f->box(b) == QApplication::focusWidget() ? b : index;
            visited.push_back(index);
        }
        EXPECT_EQ(visited, layout) << (key == Qt::Key_Tab ? "Tab" : "Enter");
    }
}

// Through the message box; nothing is saved.
TEST_F(Demo, ARecordEnteredThroughTheWidgetsIsValidated) {
    CustomerForm* f = &openCustomers();
    typeNewCustomer(*f);
    click(*f, "cmdSave");
    EXPECT_EQ(messages->messages(),
              (std::vector<memory::ShownMessage>{{"此处不能为空，请填入文本！", 48, kMsgTitle}}));
    EXPECT_EQ(f->mode(), CustomerForm::Mode::Add);

    typeInto(f->box(1), "明光文具有限公司");
    f->box(0)->setText("C0001");
    click(*f, "cmdSave");
    EXPECT_NE(messages->last().text.find("C0001"), std::string::npos) << messages->last().text;
    EXPECT_NE(messages->last().text.find("的记录已经存在，不能重复添加！"), std::string::npos);
    EXPECT_EQ(count("select count(*) from 客户"), 60);
}

// It stays on the form, logged.
TEST_F(Demo, AValidRecordEnteredThroughTheWidgetsIsSaved) {
    CustomerForm* f = &openCustomers();
    saveNewCustomer(*f);
    EXPECT_TRUE(messages->messages().empty()) << messages->last().text;
    EXPECT_EQ(f->mode(), CustomerForm::Mode::Browse);

    ResultTable row =
        query("select 名称, 单位编号, 地址, 电话, 信用额度, 建档日期 from 客户 where 客户编号='C0061'");
    ASSERT_EQ(row.rowCount(), 1u);
    std::vector<std::string> texts;
    for (std::size_t c : {0u, 1u, 2u, 3u, 5u}) texts.push_back(row.at(0, c).toText());
    EXPECT_EQ(texts, (std::vector<std::string>{"明光文具有限公司", "02", "上海市淮海中路288号",
                                               "021-63218888", "2004-06-18"}));
    EXPECT_EQ(row.at(0, 4).toDouble(), 150000.0);

    ResultTable log = query("select 语句, 接收单位, 发送单位 from SendSql");
    ASSERT_EQ(log.rowCount(), 1u);
    EXPECT_EQ(log.at(0, 0).toText().rfind("insert into 客户(", 0), 0u) << log.at(0, 0).toText();
    EXPECT_EQ(log.at(0, 1).toText(), ",01,02,03,") << "the receivers of frm客户 at the head unit";
    EXPECT_EQ(log.at(0, 2).toText(), "00");

    EXPECT_EQ(f->box(0)->text(), "C0061") << "the saved record stays on the form";
}

TEST_F(Demo, ACustomerWithoutSalesIsDeletedOnceConfirmed) {
    CustomerForm* f = &openCustomers();
    saveNewCustomer(*f);
    messages->answerYes();
    click(*f, "cmdDelete");
    EXPECT_EQ(messages->last().style, vbYesNo + vbQuestion + vbDefaultButton2);
    EXPECT_EQ(customers("C0061"), 0);
}

// Arrow keys in the customer list load the customer of the new row and
// highlight the whole row, so 修改 changes the customer that is highlighted.
TEST_F(Demo, ArrowKeysLoadTheHighlightedCustomerForEditing) {
    CustomerForm* f = &openCustomers();
    QTableView* t = f->grid();
    const int code = columnOf(t->model(), "客户编号");
    ASSERT_GT(code, 0);
    ASSERT_EQ(f->box(0)->text(), "C0001");
    QTest::keyClick(t, Qt::Key_Down);
    QTest::keyClick(t, Qt::Key_Down);
    EXPECT_EQ(t->currentIndex().row(), 3);
    const QString third = t->model()->index(3, code).data().toString();
    EXPECT_EQ(f->box(0)->text(), third);
    EXPECT_TRUE(t->selectionModel()->isRowSelected(3, QModelIndex())) << "the whole row";
    QTest::keyClick(t, Qt::Key_Up);
    EXPECT_EQ(f->box(0)->text(), t->model()->index(2, code).data().toString());
    QTest::keyClick(t, Qt::Key_Down);

    const std::string before = query("select 名称 from 客户 where 客户编号='C0001'").at(0, 0).toText();
    click(*f, "cmdEdit");
    f->box(1)->setText("改名商行");
    click(*f, "cmdSave");
    EXPECT_TRUE(messages->messages().empty()) << messages->last().text;
    EXPECT_EQ(query("select 名称 from 客户 where 客户编号='" + third.toStdString() + "'").at(0, 0).toText(),
              "改名商行");
    EXPECT_EQ(query("select 名称 from 客户 where 客户编号='C0001'").at(0, 0).toText(), before);
}

TEST_F(Demo, ACustomerWithSalesCannotBeDeleted) {
    CustomerForm* f = &openCustomers();
    const std::int64_t sales = count("select count(*) from 销售 where 客户编号='C0001'");
    ASSERT_GT(sales, 0);
    f->showRow(1);
    click(*f, "cmdDelete");
    ASSERT_EQ(messages->messages().size(), 1u);
    EXPECT_EQ(messages->last().text, "销售 表中用到了字段 客户编号 的值，不能删除！");
    EXPECT_EQ(customers("C0001"), 1);
}

TEST_F(Demo, ACustomersCodeChangeCascadesToItsSales) {
    CustomerForm* f = &openCustomers();
    const std::int64_t sales = count("select count(*) from 销售 where 客户编号='C0001'");
    f->showRow(1);
    click(*f, "cmdEdit");
    f->box(0)->setText("C0901");
    click(*f, "cmdSave");
    EXPECT_TRUE(messages->messages().empty()) << messages->last().text;
    EXPECT_EQ(customers("C0901"), 1);
    EXPECT_EQ(count("select count(*) from 销售 where 客户编号='C0001'"), 0);
    EXPECT_EQ(count("select count(*) from 销售 where 客户编号='C0901'"), sales);
    EXPECT_EQ(count("select count(*) from SendSql where 语句 like 'update 销售 set 客户编号=%'"), 1);
}

// A form opened from the menu or the tool bar has the keys at once: its first
// Alt+A, Enter or Alt+Q reaches it. The keys go in through the main window, as
// a user's do.
TEST_F(Demo, FormsOpenWithTheKeysAtOnce) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QWindow* keys = window->windowHandle();

    CustomerForm* f = &openCustomers();
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_TRUE(f->isAncestorOf(QApplication::focusWidget())) << "the customer form has the focus";
    QTest::keyClick(keys, Qt::Key_A, Qt::AltModifier);
    // a mnemonic clicks its button as an animation does, a moment later
    EXPECT_TRUE(QTest::qWaitFor([f] { return f->mode() == CustomerForm::Mode::Add; }, 2000))
        << "Alt+A is 新增";

    auto* tools = window->findChild<QToolBar*>("tbMain");
    ASSERT_NE(tools, nullptr);
    QTest::mouseClick(tools->widgetForAction(window->salesAction()),
                      Qt::LeftButton);  // 销售查询 on the tool bar
    QApplication::processEvents();
    auto* s = dynamic_cast<SalesQuery*>(window->mdi()->activeSubWindow()->widget());
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->isAncestorOf(QApplication::focusWidget())) << "the sales query has the focus";
    s->cmbType()->setCurrentText("销售明细");
    QTest::keyClick(keys, Qt::Key_Return);
    EXPECT_NE(s->lastSql().find("from 销售查询"), std::string::npos) << "Enter runs 查询, the default button";
    EXPECT_EQ(s->grid()->model()->rowCount(), 302);

    s->comboDw()->setCurrentText("上海分公司");
    QTest::keyClick(keys, Qt::Key_Q, Qt::AltModifier);
    const int shanghai = static_cast<int>(count("select count(*) from 销售查询 where 单位编号='02'")) + 2;
    EXPECT_TRUE(QTest::qWaitFor([s, shanghai] { return s->grid()->model()->rowCount() == shanghai; }, 2000))
        << "Alt+Q is 查询";
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "no menu opened";
}

TEST_F(Demo, TheConditionFinderOffersValueListsToFindByPinyin) {
    SalesQuery& s = open<SalesQuery>(window->salesAction());
    findDetail(s);
    const std::string first = query("select 名称 from 客户 where 客户编号='C0001'").at(0, 0).toText();
    const struct {
        const char* script;
        std::string clause;
    } cases[] = {
        {"Combo2 = 经手人\nText1 = ly\nkey Enter\nclick cmdOk", " where ( 经手人='刘洋' )"},
        {"Combo2 = 客户名称\nText1 = dzyxgs\nkey Enter\nclick cmdOk", " where ( 客户名称='" + first + "' )"},
    };
    for (const auto& c : cases) {
        auto script = std::make_shared<WindowScript>(parseWindowScript(c.script));
        {
            ScopedWindowHost finder(std::make_shared<memory::WindowHost>(script));
            s.chooseCondition();
        }
        EXPECT_EQ(script->size(), 0u) << c.script;
        EXPECT_TRUE(messages->messages().empty()) << c.script;
        EXPECT_EQ(s.condition(), c.clause);
        EXPECT_EQ(s.lastResult(), "");
        EXPECT_GT(s.grid()->model()->rowCount(), 2) << c.clause;
    }
}

TEST_F(Demo, TheSalesQueryFillsTheGridFromTheSavedQueryWithExactTotals) {
    SalesQuery* s = &open<SalesQuery>(window->salesAction());
    EXPECT_GE(s->cmbType()->findText("销售明细"), 0);
    EXPECT_EQ(s->comboDw()->currentText(), "全部");
    EXPECT_EQ(s->cmbGoods()->count(), 13) << "全部 and the twelve goods";
    findDetail(*s);
    const QAbstractItemModel* g = s->grid()->model();
    const auto text = [&g](int row, int col) { return g->index(row, col).data().toString(); };
    ASSERT_EQ(g->rowCount(), 302) << "heading, 300 sales, 合计";
    EXPECT_EQ(text(0, 0), "序号");
    EXPECT_EQ(text(0, 1), "单据号");
    EXPECT_EQ(text(300, 0), "300");
    EXPECT_EQ(text(301, 0), "合计");
    const int amount = columnOf(g, "金额");
    ASSERT_GT(amount, 0);
    // the sample's 300 amounts add up to 668369.60 exactly
    EXPECT_EQ(text(301, amount), "668369.6");
    EXPECT_EQ(s->summary()->text(),
              "共有 300 条记录！    金额合计：668,369.60 元    大写：陆拾陆万捌仟叁佰陆拾玖元陆角整");
    EXPECT_NE(s->lastSql().find("order by 日期 asc"), std::string::npos) << s->lastSql();

    // The sample's 300 sales 512 times over: 153,600 rows, more than 16 bits
    // count, whose amounts added as doubles carry noise. The 合计 row, the
    // library's column sum and the status line show the exact total.
    const std::string columns =
        "单据号, 日期, 客户编号, 商品编号, 数量, 单价, 金额, 经手人, Hand_Date, Hand_Time";
    for (int i = 0; i < 9; ++i)
        conn->Execute("insert into 销售 (" + columns + ") select " + columns + " from 销售");
    ASSERT_EQ(count("select count(*) from 销售查询"), 153600);
    findDetail(*s);
    g = s->grid()->model();
    ASSERT_EQ(g->rowCount(), 153602);
    ASSERT_EQ(columnOf(g, "金额"), amount);
    EXPECT_EQ(g->index(153601, amount).data().toString(), "342205235.2");
    EXPECT_EQ(s->summary()->text(),
              "共有 153600 条记录！    金额合计：342,205,235.20 元    "
              "大写：叁亿肆仟贰佰贰拾万伍仟贰佰叁拾伍元贰角整");
    auto* flx = qt::FlexGrid::shownIn(s->grid());
    ASSERT_NE(flx, nullptr);
    // every row from 1 on, the 合计 row included
    EXPECT_EQ(clsGrid().dGetColSum(*flx, "金额"), 684410470.4);
}

TEST(DemoAmount, IsGroupedWithTwoDecimalsRoundedOnTheDigits) {
    for (auto [amount, grouped] : std::vector<std::pair<std::string, std::string>>{
             {"0", "0.00"},
             {"-1234.5", "-1,234.50"},
             {"999.995", "1,000.00"},
             {"-0.004", "0.00"},
             {"-0.005", "-0.01"},
             {"123456789012345678.91", "123,456,789,012,345,678.91"}})
        EXPECT_EQ(groupedAmount(amount), grouped) << amount;
}

// Saved rows of a custom query (as the custom query dialog writes them) make
// a grouped statement: grouping columns and sums only, the condition, the
// order; without grouping the shown columns.
TEST_F(Demo, TheCustomQueryRunsTheGroupedStatementItsSavedRowsDescribe) {
    const std::string condition = "(品名 like '%纸%' OR 品名 like '%笔%') AND 金额 >= 100";
    struct Row {
        const char* field;
        int order, sum;
        const char* sort;
        int group;
    };
    for (const Row& r : {Row{"日期", 0, 0, "0", 0}, Row{"品名", 1, 0, "1.1", 1}, Row{"数量", 2, 0, "0", 0},
                         Row{"金额", 3, 1, "0", 0}}) {
        conn->ExecuteWith(
            "insert into 查询打印设置(表名,字段名,选择标志,排列顺序,查询类别,查询名,用户名,合计,排序,分组,"
            "查询条件) values ('销售查询',?,1,?,'自定义查询','王''s 纸品','张伟',?,?,?,?)",
            {r.field, r.order, r.sum, Value(Decimal{r.sort}), r.group, condition});
    }
    CustomQuery* q = &open<CustomQuery>(window->customQueryAction());
    ASSERT_GE(q->cmbType()->findText("王's 纸品"), 0) << "the saved name is offered";
    q->cmbType()->setCurrentText("王's 纸品");

    const std::string where = " from 销售查询 where " + condition;
    struct Case {
        const char* what;
        const char* grouping;  // 分组 of 品名
        std::string sql, expected;
    };
    for (const Case& c :
         {Case{"grouped", "1", "select 品名,sum(金额) as 金额" + where + " group by 品名 order by 品名 desc",
               "select 品名, sum(金额)" + where + " group by 品名 order by 品名 desc"},
          Case{"plain", "0", "select 日期,品名,数量,金额" + where + " order by 品名 desc",
               "select 品名, 金额" + where + " order by 品名 desc"}}) {
        SCOPED_TRACE(c.what);
        conn->Execute(std::string("update 查询打印设置 set 分组=") + c.grouping + " where 字段名='品名'");
        QTest::mouseClick(q->cmdFind(), Qt::LeftButton);
        EXPECT_EQ(q->lastResult(), "");
        EXPECT_EQ(q->lastSql(), c.sql);
        const ResultTable expected = query(c.expected);
        ASSERT_GT(expected.rowCount(), 1u);
        const QAbstractItemModel* g = q->grid()->model();
        ASSERT_EQ(g->rowCount(), static_cast<int>(expected.rowCount()) + 2) << "heading, rows, 合计";
        const int amount = g->columnCount() - 1;
        EXPECT_EQ(g->index(0, amount).data().toString(), "金额");
        // the order of the names, and the rows (in any order within a name)
        std::vector<std::string> shownNames, wantedNames;
        std::vector<std::pair<std::string, long long>> shown, wanted;
        for (std::size_t r = 0; r < expected.rowCount(); ++r) {
            const int row = static_cast<int>(r) + 1;
            shownNames.push_back(g->index(row, amount == 2 ? 1 : 2).data().toString().toStdString());
            wantedNames.push_back(expected.at(r, 0).toText());
            shown.emplace_back(shownNames.back(),
                               std::llround(g->index(row, amount).data().toString().toDouble() * 100));
            wanted.emplace_back(wantedNames.back(), std::llround(expected.at(r, 1).toDouble() * 100));
        }
        EXPECT_EQ(shownNames, wantedNames);
        std::sort(shown.begin(), shown.end());
        std::sort(wanted.begin(), wanted.end());
        EXPECT_EQ(shown, wanted);
        EXPECT_EQ(g->index(g->rowCount() - 1, 0).data().toString(), "合计");
        // the 61 sales of paper and pens from 100 on add up to 77669.50, grouped or not
        EXPECT_EQ(g->index(g->rowCount() - 1, amount).data().toString(), "77669.5");
    }
}

TEST_F(Demo, TheMainWindowFitsASmallScreen) {
    // On a screen smaller than 1200 x 780 and its frame the main window takes the
    // screen's room, so the status bar stays in sight.
    MainWindow w;
    w.showFitted();
    QApplication::processEvents();
    const QRect room = w.screen()->availableGeometry();
    ASSERT_LT(room.height(), 780 + 48) << "the offscreen screen is small";
    EXPECT_TRUE(room.contains(w.geometry())) << "window " << w.geometry().height() << " in " << room.height();
    const QRect bar(w.statusBar()->mapTo(&w, QPoint(0, 0)), w.statusBar()->size());
    EXPECT_TRUE(w.statusBar()->isVisible());
    EXPECT_TRUE(w.rect().contains(bar)) << "the status bar inside the window";
    w.openSalesQuery();
    const QMdiSubWindow* sub = w.mdi()->activeSubWindow();
    EXPECT_TRUE(w.mdi()->viewport()->rect().contains(sub->geometry()))
        << "the form and its status line in sight";
}

// 销售明细 is wider than A4 upright: its preview opens in landscape, with no
// column named as beyond the paper.
TEST_F(Demo, TheSalesDetailPreviewOpensInAnOrientationThatFitsItsColumns) {
    SalesQuery& s = open<SalesQuery>(window->salesAction());
    findDetail(s);
    QString orientation, beyond = "not shown";
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal->windowTitle() != "打印预览") return;
        if (auto* box = modal->findChild<QComboBox*>("orientation")) orientation = box->currentText();
        if (auto* note = modal->findChild<QLabel*>("columnsBeyondPaper"))
            beyond = note->isHidden() ? QString() : note->text();
        modal->close();
    });
    s.cmdPreview()->click();
    EXPECT_EQ(orientation.toStdString(), "横向");
    EXPECT_EQ(beyond.toStdString(), "");
}

TEST_F(Demo, TheTourWritesAValidScreenshotOfEveryWindow) {
    installMessageBox(nullptr);
    std::ostringstream log;
    const QString out = dir.filePath("tour");
    EXPECT_EQ(runTour(*window, out, log), 0) << log.str();
    for (const char* name :
         {"main.png", "customers.png", "customers_saved.png", "sales.png", "about.png", "message_1.png",
          "picker.png", "find.png", "message_window.png", "settings.png", "custom_settings.png",
          "custom_query.png", "print_preview.png", "progress.png", "sheet_preview.png"}) {
        const QImage image(QDir(out).filePath(name));
        EXPECT_FALSE(image.isNull()) << name;
        EXPECT_GT(image.width() * image.height(), 0) << name;
    }
    EXPECT_NE(log.str().find("row: C0061 | 明光文具有限公司"), std::string::npos) << log.str();
    // the unit came from the library's picker, the clause from its condition finder
    EXPECT_NE(log.str().find("单位编号 picked → 02"), std::string::npos) << log.str();
    EXPECT_NE(log.str().find(" where ( 品名 Like  '%纸%'  And  金额>=1000 )"), std::string::npos)
        << log.str();

    // the report printed into a PDF with pages, and the workbook written and handed to the desk
    QFile xlsx(QDir(out).filePath("sales.xlsx"));
    ASSERT_TRUE(xlsx.open(QIODevice::ReadOnly));
    EXPECT_EQ(xlsx.read(4), QByteArray("PK\x03\x04", 4)) << "an xlsx is a zip";
    EXPECT_NE(log.str().find("handed to the desk to open: " + xlsx.fileName().toStdString()),
              std::string::npos);
    QProcess pdfinfo;
    pdfinfo.start("pdfinfo", {QDir(out).filePath("sales.pdf")});
    if (!pdfinfo.waitForFinished()) GTEST_SKIP() << "pdfinfo (poppler-utils) is not installed";
    const QString info = QString::fromUtf8(pdfinfo.readAllStandardOutput());
    const QString pages = info.section("Pages:", 1).section('\n', 0, 0).trimmed();
    EXPECT_GT(pages.toInt(), 0) << info.toStdString();
}

}  // namespace
}  // namespace Palvo::demo
