#include "main_window.h"

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>

#include "custom_query.h"
#include "customer_form.h"
#include "demo_session.h"
#include "palvo/clsDatabase.h"
#include "palvo/session.h"
#include "sales_query.h"

namespace Palvo::demo {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), mdi_(new QMdiArea(this)) {
    setObjectName("主窗口");
    setWindowTitle("Palvo 商务管理 - 主窗口");
    mdi_->setBackground(QColor(0x5A, 0x6E, 0x82));
    setCentralWidget(mdi_);

    QMenu* basic = menuBar()->addMenu("基础资料(&B)");
    customersAction_ = basic->addAction("客户资料(&C)...");
    basic->addSeparator();
    QAction* quit = basic->addAction("退出(&X)");
    // Alt+Q belongs to the 查询 button of the query forms; the menu takes R.
    QMenu* query = menuBar()->addMenu("查询(&R)");
    salesAction_ = query->addAction("销售查询(&S)...");
    customQueryAction_ = query->addAction("自定义查询(&Z)...");
    QMenu* help = menuBar()->addMenu("帮助(&H)");
    aboutAction_ = help->addAction("关于(&A)...");

    QToolBar* tools = addToolBar("常用");
    tools->setObjectName("tbMain");
    tools->setMovable(false);
    tools->setToolButtonStyle(Qt::ToolButtonTextOnly);
    tools->addAction(customersAction_);
    tools->addAction(salesAction_);
    tools->addAction(customQueryAction_);
    tools->addSeparator();
    tools->addAction(quit);

    connect(customersAction_, &QAction::triggered, this, [this] { openCustomers(); });
    connect(salesAction_, &QAction::triggered, this, [this] { openSalesQuery(); });
    connect(customQueryAction_, &QAction::triggered, this, [this] { openCustomQuery(); });
    connect(aboutAction_, &QAction::triggered, this, [this] { about()->exec(); });
    connect(quit, &QAction::triggered, this, &QWidget::close);

    const SessionContext& s = session();
    std::string clock;
    try {
        clock = clsDatabase().sServerTime("yyyy-mm-dd hh:mm");
    } catch (const std::exception&) {
        clock = "-";
    }
    statusBar()->addWidget(new QLabel(QString::fromStdString("  单位：" + s.DwMc + "（" + s.Dwbh + "）")));
    statusBar()->addWidget(new QLabel(QString::fromStdString("  部门：" + s.BmMc)));
    statusBar()->addWidget(new QLabel(QString::fromStdString("  操作员：" + s.sUser)));
    statusBar()->addPermanentWidget(new QLabel(QString::fromStdString("登录时间：" + clock + "  ")));
}

template <class T>
T* MainWindow::openChild(const QString& name, int width, int height) {
    for (QMdiSubWindow* sub : mdi_->subWindowList()) {
        if (auto* w = dynamic_cast<T*>(sub->widget()); w && w->objectName() == name) {
            mdi_->setActiveSubWindow(sub);
            w->setFocus(Qt::OtherFocusReason);
            return w;
        }
    }
    auto* w = new T;
    QMdiSubWindow* sub = mdi_->addSubWindow(w);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    const int offset = 24 * static_cast<int>(mdi_->subWindowList().size() - 1);
    // No bigger than the room left in the frame, so the form's foot (the status line) stays in sight.
    const QSize room = mdi_->viewport()->size() - QSize(offset, offset);
    sub->resize(room.isEmpty() ? QSize(width, height)
                               : QSize(std::min(width, room.width()), std::min(height, room.height())));
    sub->move(offset, offset);
    w->show();
    mdi_->setActiveSubWindow(sub);
    // The form takes the keys at once: its first key (Alt+A, an arrow) is not lost on the frame.
    w->setFocus(Qt::OtherFocusReason);
    return w;
}

void MainWindow::showFitted() {
    const QSize wanted(1200, 780);
    const QScreen* s = screen();
    const QRect room = s != nullptr ? s->availableGeometry() : QRect(QPoint(0, 0), wanted);
    // The title bar and frame take about this much around the window.
    const QSize frame(16, 48);
    if (room.width() < wanted.width() + frame.width() || room.height() < wanted.height() + frame.height()) {
        showMaximized();  // a small screen: the whole of it, so the status bar stays in sight
        return;
    }
    resize(wanted);
    show();
}

CustomerForm* MainWindow::openCustomers() { return openChild<CustomerForm>("frm客户", 900, 620); }

SalesQuery* MainWindow::openSalesQuery() { return openChild<SalesQuery>("frm销售查询", 1040, 640); }

CustomQuery* MainWindow::openCustomQuery() { return openChild<CustomQuery>("frm自定义查询", 900, 560); }

QMessageBox* MainWindow::about() {
    auto* box = new QMessageBox(this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName("frmAbout");
    box->setWindowTitle("关于 Palvo 商务管理");
    box->setIcon(QMessageBox::Information);
    box->setText("<b>Palvo 商务管理 演示版</b>");
    box->setInformativeText(
        "客户资料录入、销售查询与自定义查询的示例程序。<br>"
        "录入窗体、查询设置和表格填充<br>"
        "均由 Palvo 组件库完成；<br>"
        "数据保存在内嵌数据库中。<br><br>"
        "版本 0.1.0");
    box->setStandardButtons(QMessageBox::Ok);
    return box;
}

}  // namespace Palvo::demo
