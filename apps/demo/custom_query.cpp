#include "custom_query.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "palvo/clsDatabase.h"
#include "palvo/clsForm.h"
#include "palvo/clsGrid.h"
#include "palvo/clsSearch.h"
#include "palvo/error.h"
#include "palvo/msgbox.h"
#include "palvo/qt/form.h"
#include "palvo/qt/grid.h"
#include "palvo/qt/lists.h"
#include "palvo/session.h"
#include "palvo/text.h"
#include "sales_query.h"

namespace Palvo::demo {

namespace {

constexpr const char* kCategory = "自定义查询";
constexpr const char* kFirstQuery = "商品汇总";  // offered while the user has no custom query
constexpr std::int32_t kBandColor = 0xF3EEE6;
constexpr int kAlignRightCenter = 7;

std::vector<std::string> entries(const std::string& list) {
    std::vector<std::string> out;
    if (list.empty()) return out;
    std::size_t start = 0;
    for (std::size_t comma; (comma = list.find(',', start)) != std::string::npos; start = comma + 1) {
        out.push_back(list.substr(start, comma - start));
    }
    out.push_back(list.substr(start));
    return out;
}

std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& i : items) out += (out.empty() ? "" : ",") + i;
    return out;
}

bool contains(const std::vector<std::string>& items, const std::string& item) {
    return std::find(items.begin(), items.end(), item) != items.end();
}

// The name the recordset gives a column that sGetField listed in brackets.
std::string fieldName(const std::string& entry) {
    if (entry.size() < 2 || entry.front() != '[' || entry.back() != ']') return entry;
    std::string name;
    for (std::size_t i = 1; i + 1 < entry.size(); ++i) {
        name += entry[i];
        if (entry[i] == ']') ++i;  // "]]" stands for one "]"
    }
    return name;
}

}  // namespace

CustomQueryStatement customQueryStatement(const std::string& view, const CustomQueryParts& parts) {
    const std::vector<std::string> fields = entries(parts.fields), groups = entries(parts.groups),
                                   sums = entries(parts.sums);
    std::vector<std::string> selected, totalled;
    if (groups.empty()) {
        selected = fields;
        for (const std::string& s : sums) totalled.push_back(fieldName(s));
    } else {
        // A grouping column the user hid is still a group: it is shown first.
        for (const std::string& g : groups) {
            if (!contains(fields, g)) selected.push_back(g);
        }
        for (const std::string& f : fields) {
            if (contains(groups, f)) {
                selected.push_back(f);
            } else if (contains(sums, f)) {
                selected.push_back("sum(" + f + ") as " + f);
                totalled.push_back(fieldName(f));
            }
        }
    }
    std::string sql = "select " + joined(selected) + " from " + view;
    if (!base::trim(parts.condition).empty()) sql += " where " + parts.condition;
    if (!groups.empty()) sql += " group by " + parts.groups;
    if (!parts.order.empty()) sql += " order by " + parts.order;
    return {sql, joined(totalled)};
}

CustomQuery::CustomQuery(QWidget* parent) : QWidget(parent) {
    setObjectName("frm自定义查询");
    setWindowTitle("自定义查询");

    cmbType_ = new QComboBox(this);
    cmbType_->setObjectName("cmbType");
    cmbType_->setEditable(true);  // a new name starts a new custom query
    cmbType_->setMinimumWidth(180);
    cmdFind_ = new QPushButton("查询(&Q)", this);
    cmdFind_->setObjectName("cmdFind");
    cmdFind_->setDefault(true);
    cmdSet_ = new QPushButton("设置(&E)", this);
    cmdSet_->setObjectName("cmdSet");
    auto* cmdExit = new QPushButton("退出(&X)", this);
    cmdExit->setObjectName("cmdExit");
    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel("查询名称：", this));
    bar->addWidget(cmbType_);
    bar->addStretch(1);
    bar->addWidget(cmdFind_);
    bar->addWidget(cmdSet_);
    bar->addWidget(cmdExit);

    condition_ = new QLabel(this);
    condition_->setObjectName("lblCondition");
    condition_->setTextFormat(Qt::PlainText);
    condition_->setWordWrap(true);
    table_ = new QTableView(this);
    table_->setObjectName("flx");
    summary_ = new QLabel(this);
    summary_->setObjectName("lblSum");
    summary_->setTextFormat(Qt::PlainText);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(condition_);
    layout->addWidget(table_, 1);
    layout->addWidget(summary_);

    host_ = std::make_unique<qt::Form>(this);
    type_ = std::make_unique<qt::ComboBox>(cmbType_);
    flx_ = std::make_unique<qt::FlexGrid>(table_);
    setFocusProxy(cmbType_);  // a form that opens takes the keys in its first box
    std::string category = kCategory;
    clsSearch().mInitComboType(*host_, *type_, kSalesView, category);
    if (cmbType_->count() == 0) cmbType_->setEditText(kFirstQuery);
    clsForm().mFormatGrid(*flx_);

    connect(cmdFind_, &QPushButton::clicked, this, [this] { runQuery(); });
    connect(cmdSet_, &QPushButton::clicked, this, [this] { editSettings(); });
    connect(cmdExit, &QPushButton::clicked, this,
            [this] { window() == this ? close() : parentWidget()->close(); });
}

CustomQuery::~CustomQuery() = default;

void CustomQuery::keyPressEvent(QKeyEvent* event) {
    if (isEnterKey(*event) && cmdFind_->isEnabled()) {
        cmdFind_->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

std::string CustomQuery::queryName() const { return base::trim(cmbType_->currentText().toStdString()); }

void CustomQuery::editSettings() {
    const std::string cxm = queryName();
    if (cxm.empty()) {
        msgBox("请先输入查询名称！", vbExclamation, session().sMsg);
        return;
    }
    try {
        clsSearch().sPrintSet_Zdy(kSalesView, cxm, kCategory);
        // the name is listed once its settings exist
        clsDatabase().mSetCxm(*type_, kSalesView, cxm, kCategory);
    } catch (const Error& e) {
        msgBox("打开自定义查询设置失败：" + e.description(), vbExclamation, session().sMsg);
        return;
    }
    cmbType_->setCurrentText(QString::fromStdString(cxm));
    runQuery();
}

void CustomQuery::runQuery() {
    const std::string cxm = queryName();
    if (cxm.empty()) {
        msgBox("请先输入查询名称！", vbExclamation, session().sMsg);
        return;
    }
    clsDatabase db;
    CustomQueryParts parts;
    try {
        parts.fields = db.sGetField(kSalesView, kCategory, cxm);
        parts.groups = db.sGetField(kSalesView, kCategory, cxm, "分组");
        parts.sums = db.sGetField(kSalesView, kCategory, cxm, "合计");
        parts.order = db.sGetField(kSalesView, kCategory, cxm, "排序");
        // every row of the set carries the same condition
        parts.condition = db.sGetFieldValue("查询打印设置", "查询条件", "表名", kSalesView, "查询名", cxm,
                                            "查询类别", kCategory, "用户名", session().sUser);
    } catch (const Error& e) {
        msgBox("读取自定义查询设置失败：" + e.description(), vbExclamation, session().sMsg);
        return;
    }
    condition_->setText(QString::fromStdString(
        "查询条件：" + (base::trim(parts.condition).empty() ? std::string("（无）") : parts.condition)));
    if (parts.fields.empty() && parts.groups.empty()) {
        msgBox("查询 " + cxm + " 没有可显示的列！", vbInformation, session().sMsg);
        return;
    }
    const CustomQueryStatement statement = customQueryStatement(kSalesView, parts);
    lastSql_ = statement.sql;

    table_->setUpdatesEnabled(false);
    clsGrid grid;
    lastResult_ = grid.sFillTable(statement.sql, *flx_, true, 2, statement.sums, true);
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
        clsForm().mSubMsg("查询失败：" + lastResult_, statement.sql);  // the statement as the details
    }
    summary_->setText(QString::fromStdString(flx_->ToolTipText()));
}

}  // namespace Palvo::demo
