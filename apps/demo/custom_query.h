// 自定义查询: the custom query form. The user's custom queries on the sales
// view are edited in the library's custom query dialog (columns, grouping,
// totals, order and a row condition); the form runs the query those saved
// rows describe and fills the grid with clsGrid::sFillTable.
#pragma once

#include <QWidget>
#include <memory>
#include <string>

class QComboBox;
class QKeyEvent;
class QLabel;
class QPushButton;
class QTableView;

namespace Palvo::qt {
class ComboBox;
class FlexGrid;
class Form;
}  // namespace Palvo::qt

namespace Palvo::demo {

/// The pieces of a saved custom query, as sGetField lists them (comma-separated).
struct CustomQueryParts {
    std::string fields;     // shown columns, in display order
    std::string groups;     // grouping columns, in grouping order
    std::string sums;       // totalled shown columns
    std::string order;      // sort keys with asc or desc
    std::string condition;  // the saved condition, ready to follow " where "
};

/// The statement of a saved custom query on `view`, and the columns the grid
/// totals. With grouping columns only they and the sums are selected (a
/// column both grouped and totalled is grouped); without, the shown columns.
struct CustomQueryStatement {
    std::string sql;
    std::string sums;
};
CustomQueryStatement customQueryStatement(const std::string& view, const CustomQueryParts& parts);

class CustomQuery : public QWidget {
public:
    explicit CustomQuery(QWidget* parent = nullptr);
    ~CustomQuery() override;

    /// The statement the last query ran ("" before the first).
    const std::string& lastSql() const { return lastSql_; }
    /// What sFillTable returned for the last query.
    const std::string& lastResult() const { return lastResult_; }

    QComboBox* cmbType() const { return cmbType_; }
    QPushButton* cmdFind() const { return cmdFind_; }
    QPushButton* cmdSet() const { return cmdSet_; }
    QTableView* grid() const { return table_; }
    QLabel* conditionLabel() const { return condition_; }
    QLabel* summary() const { return summary_; }

    /// 设置: the library's custom query dialog for the named query; the query
    /// then runs with what was saved, and a new name joins the list.
    void editSettings();
    /// 查询: runs the saved custom query into the grid.
    void runQuery();

protected:
    /// Enter that no control took runs 查询, the default button, as in a dialog.
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::string queryName() const;

    std::unique_ptr<qt::Form> host_;
    QComboBox* cmbType_;
    QPushButton* cmdFind_;
    QPushButton* cmdSet_;
    QTableView* table_;
    QLabel* condition_;
    QLabel* summary_;
    std::unique_ptr<qt::ComboBox> type_;
    std::unique_ptr<qt::FlexGrid> flx_;
    std::string lastSql_;
    std::string lastResult_;
};

}  // namespace Palvo::demo
