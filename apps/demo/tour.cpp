#include "tour.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QPrintPreviewDialog>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <ostream>

#include "custom_query.h"
#include "customer_form.h"
#include "main_window.h"
#include "palvo/qt/printer.h"
#include "palvo/qt/spreadsheet.h"
#include "palvo/qt/window_host.h"
#include "palvo/session.h"
#include "palvo/spreadsheet.h"
#include "palvo/window.h"
#include "palvo/window_script.h"
#include "sales_query.h"

namespace Palvo::demo {

namespace {

void settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

QWidget* frameOf(QWidget* child) {
    for (QWidget* w = child; w != nullptr; w = w->parentWidget()) {
        if (qobject_cast<QMdiSubWindow*>(w)) return w;
    }
    return child;
}

QMessageBox::Icon iconOf(int style) {
    switch (style & 0x70) {
        case 16:
            return QMessageBox::Critical;
        case 32:
            return QMessageBox::Question;
        case 48:
            return QMessageBox::Warning;
        case 64:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

// A Qt window host for the library's next window: it plays the script on the
// window and hands the dialog to `shot` just before the window closes.
std::shared_ptr<qt::WindowHost> scriptedWindows(const std::string& script,
                                                std::function<void(QWidget&)> shot) {
    auto host = std::make_shared<qt::WindowHost>(std::make_shared<WindowScript>(parseWindowScript(script)));
    host->setBeforeClose(std::move(shot));
    return host;
}

// The tour's spreadsheet desk: the workbook goes to a fixed file in the tour's
// folder and no program opens it (the tour runs without a desktop). It counts
// one printer, as a host that writes files does.
class TourDesk : public SpreadsheetDesk {
public:
    explicit TourDesk(std::string path) : path_(std::move(path)) {}
    std::string savePath(const std::string&) override { return path_; }
    void open(const std::string& path) override { opened_ = path; }
    int printerCount() override { return 1; }
    const std::string& opened() const { return opened_; }

private:
    std::string path_;
    std::string opened_;
};

// Whether the file starts with the magic bytes of its kind.
bool startsWith(const QString& path, const QByteArray& magic) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(magic.size()) == magic;
}

// Calls act, from the event loop a modal window runs, once find returns a
// visible widget; tries every 50 ms for ten seconds.
void whenShown(QObject* context, std::function<QWidget*()> find, std::function<void(QWidget*)> act,
               int tries = 200) {
    QTimer::singleShot(50, context, [context, find, act, tries] {
        if (QWidget* w = find(); w != nullptr && w->isVisible()) {
            act(w);
        } else if (tries > 0) {
            whenShown(context, find, act, tries - 1);
        }
    });
}

QWidget* shownWindow(const char* objectName) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == objectName && w->isVisible()) return w;
    }
    return nullptr;
}

void clickLabel(QLabel* label) {
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), label->mapToGlobal(QPointF(2, 2)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(label, &release);
}

}  // namespace

bool saveScreenshot(QWidget* widget, const QString& path) {
    settle();
    const QPixmap shot = widget->grab();
    return !shot.isNull() && shot.save(path, "PNG");
}

void typeInto(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &release);
    }
}

int TourMessageBox::show(const std::string& text, int style, const std::string& title) {
    texts_.push_back(text);
    QMessageBox box(iconOf(style), QString::fromStdString(title), QString::fromStdString(text),
                    QMessageBox::NoButton, parent_);
    const bool question = (style & 7) == vbYesNo || (style & 7) == vbYesNoCancel;
    if (question) {
        box.addButton(QMessageBox::Yes);
        box.setDefaultButton(box.addButton(QMessageBox::No));
    } else {
        box.addButton(QMessageBox::Ok);
    }
    box.show();
    const QString file = QDir(outDir_).filePath(QString("message_%1.png").arg(texts_.size()));
    if (saveScreenshot(&box, file)) files_.push_back(file);
    box.close();
    return question ? vbNo : vbOK;
}

// The tour's steps in the order a user takes them: each logs what it does,
// saves its screenshots and clears `ok` on a fault; the steps that return
// false could not go on (a window did not open).
struct Tour {
    Tour(MainWindow& w, const QString& dir, std::ostream& out)
        : window(w), outDir(dir), log(out), messages(std::make_shared<TourMessageBox>(&w, dir)) {}

    MainWindow& window;
    QString outDir;
    std::ostream& log;
    std::shared_ptr<TourMessageBox> messages;
    std::vector<QString> shots;
    bool ok = true;
    CustomerForm* customers = nullptr;
    SalesQuery* sales = nullptr;

    void step(const std::string& what) { log << what << "\n"; }
    void shoot(QWidget* w, const char* name, const char* what);
    std::function<void(QWidget&)> shootWindow(const char* name, const char* what) {
        return [this, name, what](QWidget& dialog) { shoot(&dialog, name, what); };
    }

    bool enterCustomer();
    void deleteCustomerWithSales();
    bool querySales();
    void addConditions();
    void failOnDroppedColumn();
    void hideColumnInSettings();
    void printToPdf();
    void previewPrint();
    void exportWorkbook();
    void previewWorkbook();
    bool groupCustomQuery();
    void showAbout();
    void checkScreenshots();
};

void Tour::shoot(QWidget* w, const char* name, const char* what) {
    const QString file = QDir(outDir).filePath(name);
    const bool saved = saveScreenshot(w, file);
    ok = ok && saved;
    if (saved) shots.push_back(file);
    log << (saved ? "  screenshot " : "  FAILED screenshot ") << file.toStdString() << "  (" << what << ")\n";
}

bool Tour::enterCustomer() {
    step("基础资料 → 客户资料");
    window.customersAction()->trigger();
    customers = dynamic_cast<CustomerForm*>(window.mdi()->activeSubWindow()->widget());
    if (customers == nullptr || !customers->initResult().empty()) {
        log << "  the customer form did not initialise: " << (customers ? customers->initResult() : "")
            << "\n";
        return false;
    }
    shoot(frameOf(customers), "customers.png", "客户资料, browsing");

    step("新增 a customer, first without a name");
    customers->button("cmdAdd")->click();
    typeInto(customers->box(0), "C0061");
    {
        // 单位编号 through the library's lookup picker: filter on 02, Enter lists, Enter chooses
        ScopedWindowHost picker(
            scriptedWindows("Txt1 = 02\nkey Enter\nkey Enter",
                            shootWindow("picker.png", "frmGetInfor, 单位 filtered on 02")));
        clickLabel(customers->label(2));
        const std::string unit = customers->box(2)->text().toStdString();
        log << "  单位编号 picked → " << unit << "\n";
        ok = ok && unit == "02";
    }
    typeInto(customers->box(3), "上海市淮海中路288号");
    typeInto(customers->box(4), "021-63218888");
    customers->box(5)->clear();
    typeInto(customers->box(5), "15x0000");  // the key filter swallows the letter
    typeInto(customers->box(7), "文具批发，月结30天");
    shoot(frameOf(customers), "customers_new.png", "客户资料, entering");
    customers->button("cmdSave")->click();
    log << "  保存 → " << (messages->texts().empty() ? "(no message)" : messages->texts().back()) << "\n";
    typeInto(customers->box(1), "明光文具有限公司");
    customers->button("cmdSave")->click();
    const bool saved = customers->mode() == CustomerForm::Mode::Browse;
    log << "  保存 → " << (saved ? "saved" : "not saved") << "\n";
    ok = ok && saved;
    ResultTable row = sessionConnection().Query(
        "select 客户编号, 名称, 单位编号, 信用额度, 地址 from 客户 where 客户编号='C0061'");
    if (row.rowCount() == 1) {
        log << "  row: ";
        for (std::size_t c = 0; c < row.columns.size(); ++c) log << (c ? " | " : "") << row.at(0, c).toText();
        log << "\n";
    } else {
        log << "  the row C0061 is missing\n";
        ok = false;
    }
    shoot(frameOf(customers), "customers_saved.png", "客户资料, saved");
    return true;
}

void Tour::deleteCustomerWithSales() {
    step("删除 C0001, which has sales");
    customers->showRow(1);
    customers->button("cmdDelete")->click();
    log << "  删除 → " << (messages->texts().empty() ? "(no message)" : messages->texts().back()) << "\n";
}

bool Tour::querySales() {
    step("查询 → 销售查询");
    window.salesAction()->trigger();
    sales = dynamic_cast<SalesQuery*>(window.mdi()->activeSubWindow()->widget());
    if (sales == nullptr) return false;
    sales->cmbType()->setCurrentText("销售明细");
    sales->cmdFind()->click();
    log << "  " << sales->lastSql() << "\n  " << sales->summary()->text().toStdString() << "\n";
    shoot(frameOf(sales), "sales.png", "销售查询, 销售明细");
    sales->cmbType()->setCurrentText("客户销售");
    sales->cmbGoods()->setCurrentText("打印纸");
    sales->cmdFind()->click();
    log << "  " << sales->lastSql() << "\n  " << sales->summary()->text().toStdString() << "\n";
    sales->grid()->scrollToBottom();  // the 合计 row
    shoot(frameOf(sales), "sales_by_customer.png", "销售查询, 客户销售 of 打印纸");
    ok = ok && sales->lastResult().empty();
    return true;
}

void Tour::addConditions() {
    step("条件 through the library's condition finder");
    sales->cmbType()->setCurrentText("销售明细");
    sales->cmbGoods()->setCurrentText("全部");
    {
        ScopedWindowHost finder(scriptedWindows(
            "Combo2 = 品名\nCombo3 = 包含\nText1 = 纸\nclick cmdAdd\n"
            "Combo4 = 并且\nCombo2 = 金额\nCombo3 = >=\nText1 = 1000\nclick cmdAdd\nclick cmdOk",
            shootWindow("find.png", "frmFind, two conditions")));
        sales->cmdCond()->click();
    }
    log << "  " << sales->condition() << "\n  " << sales->lastSql() << "\n  "
        << sales->summary()->text().toStdString() << "\n";
    ok = ok && !sales->condition().empty() && sales->lastResult().empty();
    shoot(frameOf(sales), "sales_condition.png", "销售查询 with the condition");
}

void Tour::failOnDroppedColumn() {
    step("a saved query naming a dropped column fails into the message window");
    Connection& conn = sessionConnection();
    const char* setting = " where 表名='销售查询' and 查询名='销售明细' and 字段名=";
    conn.Execute(std::string("update 查询打印设置 set 字段名='折扣'") + setting + "'规格'");
    {
        ScopedWindowHost message(scriptedWindows(
            "click Command1", shootWindow("message_window.png", "frmMsg, details folded out")));
        sales->cmdFind()->click();
    }
    conn.Execute(std::string("update 查询打印设置 set 字段名='规格'") + setting + "'折扣'");
    log << "  " << sales->lastResult() << "\n";
    ok = ok && !sales->lastResult().empty() && sales->lastResult() != "0";
}

void Tour::hideColumnInSettings() {
    step("设置 through the library's print settings dialog: hide 单位 in 销售明细");
    sales->cmbType()->setCurrentText("销售明细");
    {
        ScopedWindowHost settings(scriptedWindows("select List2 5\nclick Command2\nclick Command7",
                                                  shootWindow("settings.png", "frmSz, 单位 hidden")));
        sales->cmdSet()->click();
    }
    log << "  " << sales->lastSql() << "\n";
    ok = ok && sales->lastResult().empty() && sales->lastSql().find(",单位,") == std::string::npos;
}

void Tour::printToPdf() {
    step("打印: 销售明细 printed by mPrintRecord into a PDF");
    {
        const QString pdf = QDir(outDir).filePath("sales.pdf");
        QFile::remove(pdf);
        const std::size_t before = messages->texts().size();
        {
            auto printer = qt::Printer::pdf(pdf.toStdString());
            sales->fitOrientation(*printer);
            ScopedPrinter guard(printer);
            sales->printReport();
        }
        if (messages->texts().size() > before) log << "  → " << messages->texts().back() << "\n";
        const bool printed = startsWith(pdf, "%PDF-");
        log << (printed ? "  written " : "  FAILED, no PDF written: ") << pdf.toStdString() << "  ("
            << QFileInfo(pdf).size() << " bytes)\n";
        ok = ok && printed;
    }
}

void Tour::previewPrint() {
    step("打印预览: the same report in the Qt print preview");
    whenShown(
        &window,
        [] {
            QWidget* modal = QApplication::activeModalWidget();
            return modal != nullptr && modal->windowTitle() == "打印预览" ? modal : nullptr;
        },
        [this](QWidget* preview) {
            preview->resize(1100, 820);
            shoot(preview, "print_preview.png", "打印预览 of 销售明细 with the condition");
            preview->close();
        });
    sales->cmdPreview()->click();
}

void Tour::exportWorkbook() {
    step("导出 Excel: 销售明细 as a workbook, written while the progress window runs");
    {
        const QString xlsx = QDir(outDir).filePath("sales.xlsx");
        QFile::remove(xlsx);
        auto desk = std::make_shared<TourDesk>(xlsx.toStdString());
        ScopedSpreadsheetDesk scopedDesk(desk);
        ScopedWindowHost host(scriptedWindows("", {}));  // a failed job's window closes by its close box
        // The job lets the window's events run while it works: grab the window each time.
        QPixmap running;
        QString label;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&running, &label] {
            if (QWidget* w = shownWindow("frmLoadRecord")) {
                running = w->grab();
                if (auto* l = w->findChild<QLabel*>("Label1")) label = l->text();
            }
        });
        watch.start(0);
        const std::size_t before = messages->texts().size();
        sales->cmdExcel()->click();
        watch.stop();
        if (messages->texts().size() > before) log << "  → " << messages->texts().back() << "\n";
        const QString file = QDir(outDir).filePath("progress.png");
        const bool grabbed = !running.isNull() && running.save(file, "PNG");
        if (grabbed) shots.push_back(file);
        log << (grabbed ? "  screenshot " : "  FAILED screenshot ") << file.toStdString()
            << "  (frmLoadRecord while the job runs: " << label.toStdString() << ")\n";
        const bool written = startsWith(xlsx, QByteArray("PK\x03\x04", 4));
        log << (written ? "  written " : "  FAILED, no workbook written: ") << xlsx.toStdString() << "  ("
            << QFileInfo(xlsx).size() << " bytes)\n";
        log << "  handed to the desk to open: " << (desk->opened().empty() ? "nothing" : desk->opened())
            << "\n";
        ok = ok && grabbed && written && desk->opened() == xlsx.toStdString();
    }
}

void Tour::previewWorkbook() {
    step("Excel 预览: the same workbook's pages in the print preview, as they would print");
    {
        bool previewed = false;
        whenShown(
            &window, [] { return qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget()); },
            [this, &previewed](QWidget* preview) {
                preview->resize(1100, 820);
                previewed = true;
                shoot(preview, "sheet_preview.png", "the workbook's pages, A4 landscape, header and footer");
                preview->close();
            });
        // the Qt desk's preview; it counts one printer, so that the tour does
        // not depend on a CUPS printer
        struct PreviewDesk : qt::SpreadsheetDesk {
            int printerCount() override { return 1; }
        };
        ScopedSpreadsheetDesk scopedDesk(std::make_shared<PreviewDesk>());
        ScopedWindowHost host(scriptedWindows("", {}));
        const std::size_t before = messages->texts().size();
        sales->exportToExcel(false);
        if (messages->texts().size() > before) log << "  → " << messages->texts().back() << "\n";
        if (!previewed) log << "  FAILED, no print preview of the workbook was shown\n";
        ok = ok && previewed;
    }
}

bool Tour::groupCustomQuery() {
    step("查询 → 自定义查询: the library's custom query dialog groups 销售查询 by 品名 and 规格");
    window.customQueryAction()->trigger();
    auto* custom = dynamic_cast<CustomQuery*>(window.mdi()->activeSubWindow()->widget());
    if (custom == nullptr) return false;
    custom->cmbType()->setEditText("商品汇总");
    {
        // a new set lists the view's columns in table order: 品名 5, 规格 6, 数量 8, 金额 10
        ScopedWindowHost settings(scriptedWindows(
            "select List2 5\nclick Command14\nselect List2 6\nclick Command14\n"
            "select List2 8\nclick Command18\nselect List2 10\nclick Command18\n"
            "select List2 5\nclick Command12\n"
            "grid MS 1 2 = 日期\ngrid MS 1 3 =  >= \ngrid MS 1 4 = 2004-07-01\nclick Command16\n"
            "grid MS 2 1 =  AND \ngrid MS 2 2 = 金额\ngrid MS 2 3 =  >= \ngrid MS 2 4 = 500\n"
            "click Command7",
            shootWindow("custom_settings.png", "frmZdySz, grouping, totals and two condition rows")));
        custom->cmdSet()->click();
    }
    log << "  " << custom->conditionLabel()->text().toStdString() << "\n  " << custom->lastSql() << "\n  "
        << custom->summary()->text().toStdString() << "\n";
    const QAbstractItemModel* grouped = custom->grid()->model();
    const bool totalled =
        grouped->rowCount() > 2 && grouped->index(grouped->rowCount() - 1, 0).data().toString() == "合计";
    log << "  " << (totalled ? "合计 row present" : "no 合计 row") << "\n";
    ok = ok && custom->lastResult().empty() && totalled &&
         custom->lastSql().find(" group by 品名,规格") != std::string::npos;
    shoot(frameOf(custom), "custom_query.png", "自定义查询, 商品汇总 grouped with totals");
    return true;
}

void Tour::showAbout() {
    step("帮助 → 关于");
    QMessageBox* about = window.about();
    about->show();
    shoot(about, "about.png", "关于");
    about->close();
}

void Tour::checkScreenshots() {
    // each of the library's windows was shown with its content
    for (const char* name :
         {"picker.png", "find.png", "message_window.png", "settings.png", "print_preview.png", "progress.png",
          "sheet_preview.png", "custom_settings.png"}) {
        const QString file = QDir(outDir).filePath(name);
        if (std::find(shots.begin(), shots.end(), file) == shots.end()) {
            log << "  no screenshot of " << name << "\n";
            ok = false;
        }
    }
    for (const QString& f : messages->files()) shots.push_back(f);
    for (const QString& f : shots) {
        const QImage image(f);
        if (image.isNull() || image.width() == 0 || image.height() == 0) {
            log << "  not a valid PNG: " << f.toStdString() << "\n";
            ok = false;
        }
    }
    log << shots.size() << " screenshots in " << outDir.toStdString() << "; " << messages->texts().size()
        << " message boxes\n";
}

int runTour(MainWindow& window, const QString& outDir, std::ostream& log) {
    QDir().mkpath(outDir);
    Tour tour(window, outDir, log);
    ScopedMessageBox scoped(tour.messages);
    tour.step("主窗口");
    tour.shoot(&window, "main.png", "主窗口");
    if (!tour.enterCustomer()) return 1;
    tour.deleteCustomerWithSales();
    if (!tour.querySales()) return 1;
    tour.addConditions();
    tour.failOnDroppedColumn();
    tour.shoot(&window, "main_windows.png", "主窗口 with both windows");
    tour.hideColumnInSettings();
    tour.printToPdf();
    tour.previewPrint();
    tour.exportWorkbook();
    tour.previewWorkbook();
    if (!tour.groupCustomQuery()) return 1;
    tour.showAbout();
    tour.checkScreenshots();
    return tour.ok ? 0 : 1;
}

}  // namespace Palvo::demo
