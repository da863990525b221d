#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QPrinterInfo>
#include <QStandardPaths>
#include <QUrl>

#include "palvo/error.h"
#include "palvo/qt/spreadsheet.h"

namespace Palvo::qt {

std::string SpreadsheetDesk::savePath(const std::string& title) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty()) folder = QDir::homePath();
    QDir().mkpath(folder);
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

int SpreadsheetDesk::printerCount() { return static_cast<int>(QPrinterInfo::availablePrinterNames().size()); }

}  // namespace Palvo::qt
