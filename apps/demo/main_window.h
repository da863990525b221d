// 主窗口: the demo's main window, an MDI frame with the menus 基础资料, 查询 and 帮助.
#pragma once

#include <QMainWindow>

class QAction;
class QMdiArea;
class QMessageBox;

namespace Palvo::demo {

class CustomerForm;
class CustomQuery;
class SalesQuery;

class MainWindow : public QMainWindow {
public:
    explicit MainWindow(QWidget* parent = nullptr);

    /// 基础资料 → 客户资料: opens the customer entry form, or brings it to the front.
    CustomerForm* openCustomers();
    /// 查询 → 销售查询: opens the sales query form, or brings it to the front.
    SalesQuery* openSalesQuery();
    /// 查询 → 自定义查询: opens the custom query form, or brings it to the front.
    CustomQuery* openCustomQuery();
    /// 帮助 → 关于: the about box, shown without blocking; the caller may exec() it.
    QMessageBox* about();

    /// Shows the window 1200 x 780, or maximized on a screen with less room.
    void showFitted();

    QMdiArea* mdi() const { return mdi_; }
    QAction* customersAction() const { return customersAction_; }
    QAction* salesAction() const { return salesAction_; }
    QAction* customQueryAction() const { return customQueryAction_; }
    QAction* aboutAction() const { return aboutAction_; }

private:
    template <class T>
    T* openChild(const QString& name, int width, int height);
    QMdiArea* mdi_;
    QAction* customersAction_;
    QAction* salesAction_;
    QAction* customQueryAction_;
    QAction* aboutAction_;
};

}  // namespace Palvo::demo
