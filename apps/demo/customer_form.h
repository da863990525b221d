// 客户资料: the customer entry form. Its text boxes TXT_0 .. TXT_7 and labels
// lbl_0 .. lbl_7 follow the entry-form convention (label tag: tag code and
// column; text-box tag: lookup source), so the library styles, filters,
// validates and writes the statements of the form.
#pragma once

#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace Palvo::qt {
class FlexGrid;
class Form;
}  // namespace Palvo::qt

namespace Palvo::demo {

class CustomerForm : public QWidget {
public:
    enum class Mode { Browse, Add, Edit };

    explicit CustomerForm(QWidget* parent = nullptr);
    ~CustomerForm() override;

    /// What sInitForm and sInitFieldProp returned ("" when they succeeded).
    const std::string& initResult() const { return initResult_; }
    Mode mode() const { return mode_; }

    QLineEdit* box(int index) const;
    QLabel* label(int index) const;
    QPushButton* button(const char* name) const;
    QTableView* grid() const { return table_; }
    const std::vector<std::string>& fieldTypes() const { return sFieldType_; }

    /// 新增: an empty record.
    void addNew();
    /// 修改: the shown record becomes editable.
    void edit();
    /// 保存: validates, then inserts or updates (cascading a changed code). True when saved.
    bool save();
    /// 删除: refuses a customer still in use, else asks and deletes. True when deleted.
    bool remove();
    /// 取消: back to the record as loaded.
    void cancel();
    /// Shows the record of grid row `row` (from 1).
    void showRow(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void refreshGrid(const std::string& select = "");
    void loadRecord(const std::string& condition);
    void setMode(Mode mode);
    void pickUnit();
    void showUnitName();

    std::unique_ptr<qt::Form> form_;
    std::unique_ptr<qt::FlexGrid> flx_;
    QTableView* table_ = nullptr;
    QLabel* unitName_ = nullptr;
    std::string initResult_;
    std::vector<std::string> sFieldType_;
    std::vector<std::int16_t> iFieldlen_;
    std::vector<std::int16_t> iNumScale_;
    std::vector<std::string> sData_;  // the record as loaded
    Mode mode_ = Mode::Browse;
    bool filled_ = false;
    bool showingRow_ = false;  // showRow moves the current row itself
};

}  // namespace Palvo::demo
