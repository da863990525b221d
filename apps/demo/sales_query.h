// 销售查询: the sales query form. The user's saved queries (查询打印设置)
// give the shown columns, the sort order and the totals; the combos narrow the
// rows; the grid is filled by clsGrid::sFillTable.
#pragma once

#include <QWidget>
#include <memory>
#include <string>

class QComboBox;
class QDateEdit;
class QKeyEvent;
class QLabel;
class QPushButton;
class QTableView;

namespace Palvo::qt {
class ComboBox;
class FlexGrid;
class Form;
class Printer;
}  // namespace Palvo::qt

namespace Palvo::demo {

/// The sales view both query forms read.
inline constexpr const char* kSalesView = "销售查询";

class SalesQuery : public QWidget {
public:
    explicit SalesQuery(QWidget* parent = nullptr);
    ~SalesQuery() override;

    /// The statement the last query ran ("" before the first).
    const std::string& lastSql() const { return lastSql_; }
    /// What sFillTable returned for the last query.
    const std::string& lastResult() const { return lastResult_; }

    QComboBox* cmbType() const { return cmbType_; }
    QComboBox* comboDw() const { return comboDw_; }
    QComboBox* cmbGoods() const { return cmbGoods_; }
    QPushButton* cmdFind() const { return cmdFind_; }
    QPushButton* cmdCond() const { return cmdCond_; }
    QPushButton* cmdSet() const { return cmdSet_; }
    QPushButton* cmdPreview() const { return cmdPreview_; }
    QPushButton* cmdPrint() const { return cmdPrint_; }
    QPushButton* cmdExcel() const { return cmdExcel_; }
    /// The WHERE clause the condition finder gave last (" where (...)"), "" for none.
    const std::string& condition() const { return condition_; }
    QTableView* grid() const { return table_; }
    QLabel* summary() const { return summary_; }

    /// 条件: the library's condition finder on the view; a confirmed clause replaces the
    /// one before and the query runs again, a cancelled one changes nothing.
    void chooseCondition();
    /// 设置: the library's print settings dialog for the chosen saved query; the
    /// query runs again with what was saved.
    void editSettings();
    /// 查询: builds the statement from the saved query and the conditions and fills the grid.
    void runQuery();
    /// 打印预览: the grid's report (printReport) in the Qt print preview, from which the user prints.
    void previewReport();
    /// 打印: the grid's report on the system's default printer.
    void printOnDefaultPrinter();
    /// The grid as a paged report (clsPrint::mPrintRecord) on the thread's printer.
    void printReport();
    /// Turns `printer` to landscape when the report's columns do not all fit
    /// across its paper upright (销售明细 is wider than A4 portrait).
    void fitOrientation(qt::Printer& printer) const;
    /// 导出 Excel: the grid as an editable workbook (clsPrint::sReportGridtoExcel),
    /// saved and opened by the thread's spreadsheet desk; not editable, the
    /// workbook's pages in the desk's print preview instead.
    void exportToExcel(bool editable = true);
    /// The report's title, and the line under it: the query name and the conditions.
    std::string reportTitle() const;
    std::string reportTopLine() const;

protected:
    /// Enter that no control took runs 查询, the default button, as in a dialog.
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::string whereClause() const;
    void showSummary();

    std::unique_ptr<qt::Form> host_;  // the query initialisers take the form and leave it alone
    QComboBox* cmbType_;
    QComboBox* comboDw_;
    QComboBox* cmbSj_;
    QComboBox* cmbGoods_;
    QDateEdit* from_;
    QDateEdit* to_;
    QPushButton* cmdFind_;
    QPushButton* cmdCond_;
    QPushButton* cmdSet_;
    QPushButton* cmdPreview_;
    QPushButton* cmdPrint_;
    QPushButton* cmdExcel_;
    QTableView* table_;
    QLabel* summary_;
    std::unique_ptr<qt::ComboBox> type_, dw_, sj_, goods_;
    std::unique_ptr<qt::FlexGrid> flx_;
    std::string condition_;
    std::string lastSql_;
    std::string lastResult_;
};

/// Whether a key is Enter (either key, no modifier but the keypad's).
bool isEnterKey(const QKeyEvent& event);

/// An exact total as the status line shows it: thousands separated, two
/// decimals rounded half away from zero on the digits ("342205235.2" gives
/// "342,205,235.20", "-0.005" gives "-0.01").
std::string groupedAmount(const std::string& total);

}  // namespace Palvo::demo
