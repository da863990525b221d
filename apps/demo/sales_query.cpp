#include "sales_query.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <cstdlib>
#include <string_view>

#include "palvo/clsDatabase.h"
#include "palvo/clsForm.h"
#include "palvo/clsFunction.h"
#include "palvo/clsGrid.h"
#include "palvo/clsPrint.h"
#include "palvo/clsSearch.h"
#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/msgbox.h"
#include "palvo/print_layout.h"
#include "palvo/qt/form.h"
#include "palvo/qt/grid.h"
#include "palvo/qt/lists.h"
#include "palvo/qt/printer.h"
#include "palvo/qt/text.h"
#include "palvo/session.h"
#include "palvo/text.h"

namespace Palvo::demo {

namespace {

constexpr const char* kView = kSalesView;
constexpr std::int32_t kBandColor = 0xF3EEE6;  // 0xBBGGRR: a pale blue-grey band
constexpr int kAlignRightCenter = 7;

QComboBox* combo(const char* name, QWidget* parent) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setMinimumWidth(130);
    return c;
}

// The condition finder offers the master values the registry names for a
// column: the customers' names for 客户名称 and the clerks for 经手人, each
// from a view of its own, so that no cascade of a customer's edit reaches the
// query. Made once in a database that lacks them.
void offerFinderValues() {
    Connection& conn = sessionConnection();
    const struct {
        const char* view;
        const char* select;
        const char* column;
    } lists[] = {
        {"客户名单", "select 名称 as 客户名称 from 客户", "客户名称"},
        {"经手人名单", "select distinct 经手人 from 销售", "经手人"},
    };
    for (const auto& l : lists) {
        try {
            conn.Query(std::string("select top 0 * from ") + l.view);
        } catch (const Error&) {
            conn.Execute(std::string("create view ") + l.view + " as " + l.select);
        }
        const std::string where = std::string(" where 主表='") + l.view + "' and 主表字段='" + l.column +
                                  "' and 附表='" + kView + "' and 附表字段='" + l.column + "'";
        if (conn.Query("select count(*) from 更新表记录" + where).at(0, 0).toInt64() == 0) {
            conn.Execute(std::string("insert into 更新表记录(主表,主表字段,附表,附表字段) values ('") +
                         l.view + "','" + l.column + "','" + kView + "','" + l.column + "')");
        }
    }
}

}  // namespace

SalesQuery::SalesQuery(QWidget* parent) : QWidget(parent) {
    setObjectName("frm销售查询");
    setWindowTitle("销售查询");

    auto* conditions = new QGroupBox("查询条件", this);
    auto* grid = new QGridLayout(conditions);
    cmbType_ = combo("cmbType", conditions);
    comboDw_ = combo("ComboDW", conditions);
    cmbSj_ = combo("cmbSj", conditions);
    cmbGoods_ = combo("cmbTstj", conditions);
    cmbGoods_->setProperty(qt::kTagProperty, QString("商品,品名"));
    from_ = new QDateEdit(QDate(2004, 1, 1), conditions);
    to_ = new QDateEdit(QDate(2004, 12, 31), conditions);
    for (QDateEdit* d : {from_, to_}) {
        d->setDisplayFormat("yyyy-MM-dd");
        d->setCalendarPopup(true);
    }
    cmdFind_ = new QPushButton("查询(&Q)", conditions);
    cmdFind_->setObjectName("cmdFind");
    cmdFind_->setDefault(true);
    cmdCond_ = new QPushButton("条件(&T)", conditions);
    cmdCond_->setObjectName("cmdCond");
    cmdSet_ = new QPushButton("设置(&E)", conditions);
    cmdSet_->setObjectName("cmdSet");
    cmdPreview_ = new QPushButton("打印预览", conditions);
    cmdPreview_->setObjectName("cmdPreview");
    cmdPrint_ = new QPushButton("打印", conditions);
    cmdPrint_->setObjectName("cmdPrint");
    cmdExcel_ = new QPushButton("导出 Excel", conditions);
    cmdExcel_->setObjectName("cmdExcel");
    auto* cmdExit = new QPushButton("退出(&X)", conditions);
    cmdExit->setObjectName("cmdExit");
    grid->addWidget(new QLabel("查询名称："), 0, 0);
    grid->addWidget(cmbType_, 0, 1);
    grid->addWidget(new QLabel("单位："), 0, 2);
    grid->addWidget(comboDw_, 0, 3);
    grid->addWidget(new QLabel("商品："), 0, 4);
    grid->addWidget(cmbGoods_, 0, 5);
    grid->addWidget(cmdFind_, 0, 7);
    grid->addWidget(new QLabel("日期项目："), 1, 0);
    grid->addWidget(cmbSj_, 1, 1);
    grid->addWidget(new QLabel("从："), 1, 2);
    grid->addWidget(from_, 1, 3);
    grid->addWidget(new QLabel("到："), 1, 4);
    grid->addWidget(to_, 1, 5);
    grid->addWidget(cmdCond_, 0, 8);
    grid->addWidget(cmdSet_, 1, 7);
    grid->addWidget(cmdPreview_, 0, 9);
    grid->addWidget(cmdPrint_, 1, 9);
    grid->addWidget(cmdExcel_, 0, 10);
    grid->addWidget(cmdExit, 1, 10);
    grid->setColumnStretch(6, 1);

    table_ = new QTableView(this);  // the grid starts with a heading row and a number column
    table_->setObjectName("flx");
    summary_ = new QLabel(this);
    summary_->setObjectName("lblSum");
    summary_->setTextFormat(Qt::PlainText);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(conditions);
    layout->addWidget(table_, 1);
    layout->addWidget(summary_);

    host_ = std::make_unique<qt::Form>(this);
    type_ = std::make_unique<qt::ComboBox>(cmbType_);
    dw_ = std::make_unique<qt::ComboBox>(comboDw_);
    sj_ = std::make_unique<qt::ComboBox>(cmbSj_);
    goods_ = std::make_unique<qt::ComboBox>(cmbGoods_);
    flx_ = std::make_unique<qt::FlexGrid>(table_);
    setFocusProxy(cmbType_);  // a form that opens takes the keys in its first box

    clsSearch search;
    search.mInitComboType(*host_, *type_, kView);
    search.sInitComboDw(*host_, *dw_);
    search.mInitComboSjCx(*host_, *sj_, kView);
    search.mInitComboTstj(*host_, *goods_);
    // The head unit sees every unit's sales unless it picks one.
    if (comboDw_->count() > 0 && dw_->ItemData(0) == -1) comboDw_->setCurrentIndex(0);
    clsForm().mFormatGrid(*flx_);

    connect(cmdFind_, &QPushButton::clicked, this, [this] { runQuery(); });
    connect(cmdCond_, &QPushButton::clicked, this, [this] { chooseCondition(); });
    connect(cmdSet_, &QPushButton::clicked, this, [this] { editSettings(); });
    connect(cmdPreview_, &QPushButton::clicked, this, [this] { previewReport(); });
    connect(cmdPrint_, &QPushButton::clicked, this, [this] { printOnDefaultPrinter(); });
    connect(cmdExcel_, &QPushButton::clicked, this, [this] { exportToExcel(); });
    connect(cmdExit, &QPushButton::clicked, this,
            [this] { window() == this ? close() : parentWidget()->close(); });
}

SalesQuery::~SalesQuery() = default;

std::string SalesQuery::whereClause() const {
    std::string where;
    auto add = [&where](const std::string& condition) {
        where += (where.empty() ? "" : " and ") + condition;
    };
    const std::string dateColumn = cmbSj_->currentText().toStdString();
    if (!dateColumn.empty()) {
        add(dateColumn + " between '" + from_->date().toString("yyyy-MM-dd").toStdString() + "' and '" +
            to_->date().toString("yyyy-MM-dd").toStdString() + " 23:59:59'");
    }
    const int unit = comboDw_->currentIndex();
    if (unit >= 0 && dw_->ItemData(unit) != -1) {
        const std::string code =
            clsDatabase().sGetFieldValue("B_单位", "单位编号", "名称", comboDw_->currentText().toStdString());
        if (!code.empty()) add("单位编号='" + base::sqlQuote(code) + "'");
    }
    const std::string goods = cmbGoods_->currentText().toStdString();
    if (!goods.empty() && goods != "全部") add("品名='" + base::sqlQuote(goods) + "'");
    return where;
}

void SalesQuery::chooseCondition() {
    try {
        offerFinderValues();
    } catch (const Error& e) {
        msgBox("准备查询条件的取值失败：" + e.description(), vbExclamation, session().sMsg);
    }
    const std::string clause = clsSearch().sFindStr(kView);
    if (clause.empty()) return;  // cancelled
    condition_ = clause;
    runQuery();
}

void SalesQuery::editSettings() {
    const std::string cxm = cmbType_->currentText().toStdString();
    if (cxm.empty()) return;
    try {
        clsSearch().sPrintSet(kView, cxm, "普通查询");
    } catch (const Error& e) {
        msgBox("打开查询设置失败：" + e.description(), vbExclamation, session().sMsg);
        return;
    }
    runQuery();  // the columns, order and totals as saved
}

void SalesQuery::runQuery() {
    clsDatabase db;
    const std::string cxm = cmbType_->currentText().toStdString();
    std::string fields, order, sum;
    try {
        fields = db.sGetField(kView, "普通查询", cxm);
        order = db.sGetField(kView, "普通查询", cxm, "排序");
        sum = db.sGetField(kView, "普通查询", cxm, "合计");
    } catch (const Error& e) {
        msgBox("读取查询设置失败：" + e.description(), vbExclamation, session().sMsg);
        return;
    }
    if (fields.empty()) {
        msgBox("查询 " + cxm + " 没有可显示的列！", vbInformation, session().sMsg);
        return;
    }
    std::string sql = "select " + fields + " from " + kView + condition_;
    if (const std::string where = whereClause(); !where.empty()) {
        sql += (condition_.empty() ? " where " : " and ") + where;
    }
    if (!order.empty()) sql += " order by " + order;
    lastSql_ = sql;

    table_->setUpdatesEnabled(false);
    clsGrid grid;
    lastResult_ = grid.sFillTable(sql, *flx_, true, 2, sum, true);
    if (lastResult_.empty()) {
        grid.mSetGridRowColor(*flx_, kBandColor);
        for (const char* numeric : {"数量", "单价", "金额"}) {
            const std::int16_t c = grid.iGetFieldCol(*flx_, numeric);
            if (c >= 0) flx_->ColAlignment(c, kAlignRightCenter);
        }
        flx_->ColAlignment(0, kAlignRightCenter);
    }
    table_->setUpdatesEnabled(true);
    if (!lastResult_.empty() && lastResult_ != "0") {
        clsForm().mSubMsg("查询失败：" + lastResult_, sql);  // the statement as the details
    }
    showSummary();
}

std::string SalesQuery::reportTitle() const {
    const QString cxm = cmbType_->currentText();
    return cxm.isEmpty() ? std::string("销售查询") : cxm.toStdString();
}

std::string SalesQuery::reportTopLine() const {
    std::string line = "单位：" + comboDw_->currentText().toStdString();
    const std::string goods = cmbGoods_->currentText().toStdString();
    if (!goods.empty() && goods != "全部") line += "    商品：" + goods;
    if (!cmbSj_->currentText().isEmpty()) {
        line += "    " + cmbSj_->currentText().toStdString() + "：" +
                from_->date().toString("yyyy-MM-dd").toStdString() + " 至 " +
                to_->date().toString("yyyy-MM-dd").toStdString();
    }
    if (!condition_.empty()) {  // the finder's clause narrows the rows too: the report says so
        QString clause = QString::fromStdString(condition_).simplified();
        if (clause.startsWith("where ")) clause.remove(0, 6);
        line += "    条件：" + clause.toStdString();
    }
    return line;
}

void SalesQuery::printReport() {
    std::string top = reportTopLine();
    std::string bottom = "制表：" + session().sUser;
    clsPrint().mPrintRecord(*flx_, reportTitle(), top, bottom);
}

void SalesQuery::previewReport() {
    // laid out once, a page drawn when shown: a long sales list shows its first page at once
    qt::PagedPreview preview([this] { printReport(); }, this);
    qt::Printer paper(preview.printer());
    fitOrientation(paper);
    preview.exec();
}

void SalesQuery::printOnDefaultPrinter() {
    auto printer = std::make_shared<qt::Printer>();
    fitOrientation(*printer);
    ScopedPrinter guard(printer);
    printReport();
}

void SalesQuery::fitOrientation(qt::Printer& printer) const {
    if (printer.Orientation() == vbPRORPortrait && !columnsBeyondPaper(*flx_, printer).empty())
        printer.Orientation(vbPRORLandscape);
}

void SalesQuery::exportToExcel(bool editable) {
    try {
        clsPrint().sReportGridtoExcel(reportTitle(), *flx_, reportTopLine(), "制表：" + session().sUser, 2,
                                      -1, editable);
    } catch (const Error& e) {  // no window host to run the job in
        msgBox("导出 Excel 失败：" + e.description(), vbExclamation, session().sMsg);
    }
}

void SalesQuery::keyPressEvent(QKeyEvent* event) {
    if (isEnterKey(*event) && cmdFind_->isEnabled()) {
        cmdFind_->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool isEnterKey(const QKeyEvent& event) {
    return (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter) &&
           (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

void SalesQuery::showSummary() {
    std::string text = flx_->ToolTipText();
    const int last = flx_->Rows() - 1;
    // The library's own total, from its 合计 row: exact, whatever the number of rows.
    if (lastResult_.empty() && last >= 1 && flx_->TextMatrix(last, 0) == "合计") {
        const std::int16_t col = clsGrid().iGetFieldCol(*flx_, "金额");
        const std::string amount = col >= 0 ? flx_->TextMatrix(last, col) : std::string();
        if (!amount.empty()) {
            text += "    金额合计：" + groupedAmount(amount) + " 元    大写：" +
                    clsFunction().sConvertMoneyX(std::strtod(amount.c_str(), nullptr));
        }
    }
    summary_->setText(QString::fromStdString(text));
}

std::string groupedAmount(const std::string& total) {
    std::string_view t = total;
    const bool negative = !t.empty() && t[0] == '-';
    if (negative) t.remove_prefix(1);
    const std::size_t point = t.find('.');
    std::string whole(t.substr(0, point));
    std::string fraction(point == std::string_view::npos ? std::string_view() : t.substr(point + 1));
    fraction.append(fraction.size() < 3 ? 3 - fraction.size() : 0, '0');
    std::string cents = whole + fraction.substr(0, 2);
    if (fraction[2] >= '5') {  // half away from zero, on the digits
        std::size_t i = cents.size();
        while (i > 0 && cents[i - 1] == '9') cents[--i] = '0';
        if (i == 0)
            cents.insert(0, 1, '1');
        else
            ++cents[i - 1];
    }
    whole = cents.substr(0, cents.size() - 2);
    if (whole.empty()) whole = "0";
    std::string grouped;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0) grouped += ',';
        grouped += whole[i];
    }
    const bool zero = cents.find_first_not_of('0') == std::string::npos;
    return (negative && !zero ? "-" : "") + grouped + "." + cents.substr(cents.size() - 2);
}

}  // namespace Palvo::demo
