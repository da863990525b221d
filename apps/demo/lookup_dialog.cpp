#include "lookup_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QTableView>
#include <QVBoxLayout>

#include "palvo/clsForm.h"
#include "palvo/clsGrid.h"
#include "palvo/qt/grid.h"

namespace Palvo::demo {

std::string LookupDialog::pick(QWidget* parent, const std::string& source, const std::string& title) {
    const auto comma = source.find(',');
    if (comma == std::string::npos) return {};
    const std::string table = source.substr(0, comma);
    const std::string column = source.substr(comma + 1);

    QDialog dialog(parent);
    dialog.setObjectName("frmGetInfor");
    dialog.setWindowTitle(QString::fromStdString(title));
    auto* grid = new QTableView(&dialog);
    grid->setObjectName("flx");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(grid);
    layout->addWidget(buttons);
    dialog.resize(420, 300);

    qt::FlexGrid flx(grid);
    clsForm().mFormatGrid(flx);
    clsGrid().sFillTable("select * from " + table, flx, true, 2);

    std::string chosen;
    auto choose = [&](int row) {
        if (row < flx.FixedRows()) return;
        chosen = clsGrid().sGetGridColValue(flx, static_cast<std::int16_t>(row), column);
        dialog.accept();
    };
    QObject::connect(grid, &QTableView::doubleClicked, &dialog,
                     [&](const QModelIndex& index) { choose(index.row()); });
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog,
                     [&] { choose(grid->currentIndex().row()); });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    dialog.exec();
    return chosen;
}

}  // namespace Palvo::demo
