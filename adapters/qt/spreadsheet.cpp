#include "palvo/qt/spreadsheet.h"

#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>
#include <QUrl>

#include "palvo/error.h"
#include "palvo/qt/printer.h"
#include "palvo/sheet_print.h"

namespace Palvo::qt {

std::string SpreadsheetDesk::savePath(const std::string& title) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    // made when missing; where it cannot be a folder the workbook goes into the home folder
    if (folder.isEmpty() || !QDir().mkpath(folder)) folder = QDir::homePath();
    const QDateTime now = QDateTime::currentDateTime();
    const std::string name = workbookFileName(title, now.date().year(), now.date().month(), now.date().day(),
                                              now.time().hour(), now.time().minute(), now.time().second());
    return QDir(folder).filePath(QString::fromStdString(name)).toStdString();
}

void SpreadsheetDesk::open(const std::string& path) {
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)))) {
        throw Error(ErrorNumber::FileNotFound, "报表已保存在 " + path + "，但没有可以打开它的程序");
    }
}

void SpreadsheetDesk::preview(const WorkbookPreview& request) {
    if (request.sheet == nullptr)
        throw Error(ErrorNumber::ObjectRequired, "Object required: no worksheet to preview");
    const Worksheet& sheet = *request.sheet;
    const std::string title = request.title;
    auto dialog = printPreview([&sheet, title] { printSheet(*installedPrinter(), sheet, title); },
                               QApplication::activeWindow());
    QPrinter& printer = *dialog->printer();
    const int id = pageSizeIdOf(request.page.PaperSize);
    printer.setPageSize(QPageSize(id < 0 ? QPageSize::A4 : static_cast<QPageSize::PageSizeId>(id)));
    printer.setPageOrientation(request.page.Orientation == xl::Landscape ? QPageLayout::Landscape
                                                                         : QPageLayout::Portrait);
    // the sheet's own margins place its pages; the paper is drawn on whole
    printer.setFullPage(true);
    printer.setDocName(QString::fromStdString(title));
    dialog->exec();
}

int SpreadsheetDesk::printerCount() { return static_cast<int>(QPrinterInfo::availablePrinterNames().size()); }

}  // namespace Palvo::qt
