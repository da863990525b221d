#include "customer_form.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "palvo/clsDatabase.h"
#include "palvo/clsForm.h"
#include "palvo/clsFunction.h"
#include "palvo/clsGrid.h"
#include "palvo/error.h"
#include "palvo/msgbox.h"
#include "palvo/qt/form.h"
#include "palvo/qt/grid.h"
#include "palvo/qt/text.h"
#include "palvo/session.h"
#include "palvo/text.h"

namespace Palvo::demo {

namespace {

constexpr const char* kTable = "客户";
constexpr const char* kKey = "0,";     // 客户编号
constexpr const char* kUnique = "1,";  // 名称
constexpr int kUnitBox = 2;

// One field of the form: caption, label tag (tag code + column), text-box tag (lookup source).
struct FieldDef {
    const char* caption;
    const char* labelTag;
    const char* boxTag;
};
const FieldDef kFields[] = {
    {"客户编号", "2客户编号", ""}, {"客户名称", "2名称", ""}, {"所属单位", "1单位编号", "B_单位,单位编号"},
    {"地址", "4地址", ""},         {"电话", "4电话", ""},     {"信用额度", "2信用额度", ""},
    {"建档日期", "4建档日期", ""}, {"备注", "5备注", ""},
};
constexpr int kFieldCount = static_cast<int>(std::size(kFields));
// The boxes in the order of the layout, left to right and top down: 电话 sits beside 所属单位, 地址 under
// them.
constexpr int kLayoutOrder[kFieldCount] = {0, 1, 2, 4, 3, 5, 6, 7};

// The key code the platform hands to a KeyPress handler: the character for
// ASCII, a negative code for a double-byte (GBK) character, 0 for none.
std::int16_t keyAsciiOf(const QKeyEvent& key) {
    if (key.key() == Qt::Key_Backspace) return 8;
    if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) return 13;
    const QString text = key.text();
    if (text.isEmpty() || key.modifiers().testFlag(Qt::ControlModifier)) return 0;
    const char32_t c = text.toUcs4().value(0);
    if (c < 0x20 || c == 0x7F) return 0;
    if (c < 0x80) return static_cast<std::int16_t>(c);
    return clsFunction().lGetLenthStr(text.toStdString()) >= 2 ? std::int16_t{-1} : std::int16_t{'?'};
}

}  // namespace

CustomerForm::CustomerForm(QWidget* parent) : QWidget(parent) {
    setObjectName("frm客户");  // the form name of 编辑权限 and of the statement log
    setWindowTitle("客户资料");

    auto* record = new QGroupBox("客户信息", this);
    auto* fields = new QGridLayout(record);
    fields->setHorizontalSpacing(10);
    fields->setVerticalSpacing(8);
    std::vector<QLabel*> labels;
    std::vector<QLineEdit*> boxes;
    // Created in index order: the Controls walk of the form follows creation order.
    for (int i = 0; i < kFieldCount; ++i) {
        auto* l = new QLabel(QString::fromUtf8(kFields[i].caption) + "：", record);
        l->setObjectName(QString("lbl_%1").arg(i));
        l->setProperty(qt::kTagProperty, QString::fromUtf8(kFields[i].labelTag));
        auto* t = new QLineEdit(record);
        t->setObjectName(QString("TXT_%1").arg(i));
        t->setProperty(qt::kTagProperty, QString::fromUtf8(kFields[i].boxTag));
        t->installEventFilter(this);
        l->setBuddy(t);
        labels.push_back(l);
        boxes.push_back(t);
    }
    unitName_ = new QLabel(record);
    unitName_->setObjectName("lblUnitName");
    unitName_->setMinimumWidth(90);
    labels[kUnitBox]->installEventFilter(this);
    labels[kUnitBox]->setToolTip("单击选择单位");
    boxes[0]->setPlaceholderText("如 C0061");
    boxes[6]->setPlaceholderText("YYYY-MM-DD");

    auto* unitRow = new QHBoxLayout;
    unitRow->addWidget(boxes[kUnitBox], 1);
    unitRow->addWidget(unitName_, 2);
    fields->addWidget(labels[0], 0, 0);
    fields->addWidget(boxes[0], 0, 1);
    fields->addWidget(labels[1], 0, 2);
    fields->addWidget(boxes[1], 0, 3);
    fields->addWidget(labels[2], 1, 0);
    fields->addLayout(unitRow, 1, 1);
    fields->addWidget(labels[4], 1, 2);
    fields->addWidget(boxes[4], 1, 3);
    fields->addWidget(labels[3], 2, 0);
    fields->addWidget(boxes[3], 2, 1, 1, 3);
    fields->addWidget(labels[5], 3, 0);
    fields->addWidget(boxes[5], 3, 1);
    fields->addWidget(labels[6], 3, 2);
    fields->addWidget(boxes[6], 3, 3);
    fields->addWidget(labels[7], 4, 0);
    fields->addWidget(boxes[7], 4, 1, 1, 3);
    fields->setColumnStretch(1, 1);
    fields->setColumnStretch(3, 2);
    // Tab and Enter go through the boxes as they are laid out, row by row.
    for (int i = 0; i + 1 < kFieldCount; ++i)
        QWidget::setTabOrder(boxes[kLayoutOrder[i]], boxes[kLayoutOrder[i + 1]]);

    auto* buttons = new QHBoxLayout;
    const std::pair<const char*, const char*> commands[] = {
        {"cmdAdd", "新增(&A)"},  {"cmdEdit", "修改(&E)"},   {"cmdDelete", "删除(&D)"},
        {"cmdSave", "保存(&S)"}, {"cmdCancel", "取消(&C)"}, {"cmdExit", "退出(&X)"}};
    for (const auto& [name, caption] : commands) {
        auto* b = new QPushButton(QString::fromUtf8(caption), this);
        b->setObjectName(name);
        b->setMinimumWidth(84);
        if (std::string(name) == "cmdExit") buttons->addStretch(1);
        buttons->addWidget(b);
    }

    table_ = new QTableView(this);  // the grid starts with a heading row and a number column
    table_->setObjectName("flx");
    auto* hint = new QLabel("蓝色带下划线的标签可单击选择；黄色底的项目必须填写。", this);
    hint->setObjectName("lblHint");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(record);
    layout->addLayout(buttons);
    layout->addWidget(table_, 1);
    layout->addWidget(hint);

    form_ = std::make_unique<qt::Form>(this);
    flx_ = std::make_unique<qt::FlexGrid>(table_);
    setFocusProxy(table_);  // a form that opens takes the keys in its list

    clsForm frm;
    initResult_ = frm.sInitForm(*form_);
    const std::string props = frm.sInitFieldProp(*form_, kTable, sFieldType_, iFieldlen_, iNumScale_);
    if (initResult_.empty()) initResult_ = props;
    std::string dependent = kTable;
    frm.mSetKeepSql(*form_, dependent);  // 所属单位 takes its values from B_单位
    frm.mFormatGrid(*flx_);
    flx_->SelectionMode(1);  // the whole row of the customer shown is highlighted
    sData_.assign(kFieldCount, "");

    connect(button("cmdAdd"), &QPushButton::clicked, this, [this] { addNew(); });
    connect(button("cmdEdit"), &QPushButton::clicked, this, [this] { edit(); });
    connect(button("cmdDelete"), &QPushButton::clicked, this, [this] { remove(); });
    connect(button("cmdSave"), &QPushButton::clicked, this, [this] { save(); });
    connect(button("cmdCancel"), &QPushButton::clicked, this, [this] { cancel(); });
    connect(button("cmdExit"), &QPushButton::clicked, this,
            [this] { parentWidget() != nullptr ? parentWidget()->close() : close(); });
    connect(boxes[kUnitBox], &QLineEdit::textChanged, this, [this] { showUnitName(); });
    // A click or an arrow key that moves the current row loads that customer.
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (showingRow_ || !current.isValid() || mode_ != Mode::Browse) return;
                if (current.row() >= flx_->FixedRows()) showRow(current.row());
            });

    setMode(Mode::Browse);
}

void CustomerForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (filled_) return;
    // Filled once the layout has given the grid its width, which the column sizing shares out.
    filled_ = true;
    refreshGrid();
    if (flx_->Rows() > 1) showRow(1);
}

CustomerForm::~CustomerForm() = default;

QLineEdit* CustomerForm::box(int index) const { return findChild<QLineEdit*>(QString("TXT_%1").arg(index)); }
QLabel* CustomerForm::label(int index) const { return findChild<QLabel*>(QString("lbl_%1").arg(index)); }
QPushButton* CustomerForm::button(const char* name) const { return findChild<QPushButton*>(name); }

void CustomerForm::refreshGrid(const std::string& select) {
    clsGrid grid;
    const std::string result =
        grid.sFillTable(select.empty() ? "select 客户编号, 名称 as 客户名称, 单位编号 as 所属单位, 地址 as "
                                         "客户地址, 电话, 信用额度, 建档日期 from 客户"
                                       : select,
                        *flx_, true, 2);
    if (!result.empty() && result != "0")
        msgBox("客户列表读取失败：" + result, vbExclamation, session().sMsg);
    grid.mSetGridRowColor(*flx_, 0xF3EEE6);
}

void CustomerForm::loadRecord(const std::string& condition) {
    if (condition.empty()) return;
    ResultTable t = sessionConnection().Query("select * from 客户 where " + condition);
    if (t.rowCount() == 0) return;
    auto& txt = form_->TXT();
    auto& lbl = form_->lbl();
    for (int i = 0; i < kFieldCount; ++i) {
        const std::string column = lbl(i).Tag().substr(1);
        std::string text;
        for (std::size_t c = 0; c < t.columns.size(); ++c) {
            if (t.columns[c].name == column) text = t.at(0, c).toText();
        }
        if (sFieldType_.size() > static_cast<std::size_t>(i) && sFieldType_[i] == "3" && text.size() > 10) {
            text = text.substr(0, 10);  // the day is what the form edits
        }
        if (text.rfind("1900-01-01", 0) == 0) text.clear();
        txt(i).Text(text);
        sData_[static_cast<std::size_t>(i)] = base::trim(text);
    }
}

void CustomerForm::showRow(int row) {
    if (row < flx_->FixedRows() || row >= flx_->Rows()) return;
    flx_->Row(row);
    const std::string key = clsForm().sGetKeyfromFlxRow(*form_, *flx_, sFieldType_, kKey);
    loadRecord(key);
    showingRow_ = true;
    table_->selectRow(row);
    showingRow_ = false;
}

void CustomerForm::setMode(Mode mode) {
    mode_ = mode;
    const bool editing = mode != Mode::Browse;
    button("cmdAdd")->setEnabled(!editing);
    button("cmdEdit")->setEnabled(!editing);
    button("cmdDelete")->setEnabled(!editing);
    button("cmdExit")->setEnabled(!editing);
    button("cmdSave")->setEnabled(editing);
    button("cmdCancel")->setEnabled(editing);
    table_->setEnabled(!editing);
    if (editing) return;
    auto& txt = form_->TXT();
    for (int i = 0; i <= txt.UBound(); ++i) txt(i).Enabled(false);
    form_->lbl()(kUnitBox).Enabled(false);
}

void CustomerForm::addNew() {
    clsForm().mAddNew(*form_);
    sData_.assign(kFieldCount, "");
    auto& txt = form_->TXT();
    txt(5).Text("0");
    try {
        txt(6).Text(clsDatabase().sServerTime("yyyy-mm-dd"));
    } catch (const Error&) {
    }
    setMode(Mode::Add);
    box(0)->setFocus();
}

void CustomerForm::edit() {
    if (sData_[0].empty()) {
        msgBox("请先在列表中选择要修改的客户！", vbInformation, session().sMsg);
        return;
    }
    clsForm frm;
    auto& txt = form_->TXT();
    auto& lbl = form_->lbl();
    for (int i = 0; i <= txt.UBound(); ++i) {
        frm.mTxt_Editable(txt(i));
        const char code = lbl(i).Tag().empty() ? ' ' : lbl(i).Tag()[0];
        if (code == '1' || code == '2') txt(i).BackColor(session().lT_BackColor_Notnull);
    }
    lbl(kUnitBox).Enabled(true);
    setMode(Mode::Edit);
    box(1)->setFocus();
}

bool CustomerForm::save() {
    if (mode_ == Mode::Browse) return false;
    clsForm frm;
    const bool isNew = mode_ == Mode::Add;
    const std::string message =
        frm.sCheckData(*form_, sFieldType_, iFieldlen_, kKey, kUnique, kTable, sData_, true, "", isNew);
    if (!message.empty()) {
        msgBox(message, vbExclamation, session().sMsg);
        return false;
    }
    Connection& conn = sessionConnection();
    const SessionContext& ctx = session();
    std::string sql;  // shown as the details when saving fails
    try {
        Transaction tx(conn);
        if (isNew) {
            sql = std::string("insert into ") + kTable + "(" +
                  frm.sGetAddNewStr(*form_, sFieldType_, "FIELD") + ") values (" +
                  frm.sGetAddNewStr(*form_, sFieldType_, "VALUE") + ")";
        } else {
            const std::string set = frm.sGetUpdateStr(*form_, sData_, sFieldType_);
            if (!set.empty()) {
                sql = std::string("update ") + kTable + " set " + set.substr(1) + " where " +
                      frm.sGetKeyWord(*form_, "修改保存", sFieldType_, true, kKey, sData_);
            }
        }
        if (!sql.empty()) {
            conn.Execute(sql);
            frm.sKeepSql(form_->Name(), sql, kTable, ctx.Dwbh);
            // A changed 客户编号 is carried into every registered dependent table (销售).
            if (!isNew) frm.sExcuteSql(*form_, kTable, sData_, sFieldType_);
        }
        tx.commit();
    } catch (const Error& e) {
        clsForm().mSubMsg("保存失败：" + e.description(), sql);
        return false;
    }
    const std::string key = frm.sGetKeyWord(*form_, "新增", sFieldType_, true, kKey, sData_);
    refreshGrid();
    setMode(Mode::Browse);
    loadRecord(key);
    clsGrid grid;
    const float keyCol = grid.iGetFieldCol(*flx_, "客户编号");
    const std::int32_t row = grid.lGetRowNo(*flx_, keyCol, sData_[0]);
    if (row > 0) {
        flx_->Row(row);
        table_->selectRow(row);
        table_->scrollTo(table_->model()->index(row, flx_->FixedCols()));
    }
    return true;
}

bool CustomerForm::remove() {
    if (sData_[0].empty()) {
        msgBox("请先在列表中选择要删除的客户！", vbInformation, session().sMsg);
        return false;
    }
    clsForm frm;
    std::string master = kTable;
    const std::string refusal = frm.sCheckDelSql(*form_, master, sData_, sFieldType_);
    if (!refusal.empty()) {
        msgBox(refusal, vbExclamation, session().sMsg);
        return false;
    }
    if (msgBox("确定要删除客户 " + sData_[0] + "（" + sData_[1] + "）吗？",
               vbYesNo + vbQuestion + vbDefaultButton2, session().sMsg) != vbYes) {
        return false;
    }
    const std::string sql = std::string("delete from ") + kTable + " where " +
                            frm.sGetKeyWord(*form_, "修改保存", sFieldType_, true, kKey, sData_);
    try {
        sessionConnection().Execute(sql);
        frm.sKeepSql(form_->Name(), sql, kTable, session().Dwbh);
    } catch (const Error& e) {
        frm.mSubMsg("删除失败：" + e.description(), sql);
        return false;
    }
    auto& txt = form_->TXT();
    for (int i = 0; i <= txt.UBound(); ++i) txt(i).Text("");
    sData_.assign(kFieldCount, "");
    refreshGrid();
    if (flx_->Rows() > 1) showRow(1);
    return true;
}

void CustomerForm::cancel() {
    const std::string key = sData_[0].empty() ? "" : "客户编号='" + sData_[0] + "'";
    setMode(Mode::Browse);
    if (key.empty()) {
        auto& txt = form_->TXT();
        for (int i = 0; i <= txt.UBound(); ++i) txt(i).Text("");
        if (flx_->Rows() > 1) showRow(1);
        return;
    }
    loadRecord(key);
}

void CustomerForm::pickUnit() {
    // the lookup source of the box, as the form's convention keeps it in its Tag
    const std::string code = clsForm().sPopWindow("B_单位,单位编号");
    if (!code.empty()) box(kUnitBox)->setText(QString::fromStdString(code));
}

void CustomerForm::showUnitName() {
    const std::string code = base::trim(box(kUnitBox)->text().toStdString());
    std::string name;
    if (!code.empty()) {
        try {
            name = clsDatabase().sGetFieldValue("B_单位", "名称", "单位编号", code);
        } catch (const Error&) {
        }
    }
    unitName_->setText(QString::fromStdString(name));
}

bool CustomerForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease && watched == label(kUnitBox)) {
        if (label(kUnitBox)->isEnabled()) pickUnit();
        return false;
    }
    if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (edit == nullptr) return false;
    const auto& key = static_cast<const QKeyEvent&>(*event);
    const std::int16_t ascii = keyAsciiOf(key);
    if (ascii == 0) return false;  // navigation and editing keys are not filtered
    const int index = edit->objectName().mid(4).toInt();
    const std::int16_t allowed = clsForm().iReturnKeyAsc(*form_, static_cast<std::int16_t>(index), ascii,
                                                         sFieldType_, iFieldlen_, iNumScale_);
    if (allowed == 0) return true;  // swallowed
    if (allowed == 13) {
        focusNextChild();  // Enter moves on to the next box
        return true;
    }
    return false;
}

}  // namespace Palvo::demo
