#include "demo_session.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QStyle>
#include <QStyleFactory>

#include "palvo/clsForm.h"
#include "palvo/odbc/connection.h"
#include "palvo/qt/host.h"
#include "palvo/xlsx/writer.h"
#include "sample_data.h"

namespace Palvo::demo {

void applyApplicationLook() {
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QFont font("Noto Sans CJK SC", 10);
    QApplication::setFont(font);
    QPalette palette = QApplication::style()->standardPalette();
    palette.setColor(QPalette::Window, QColor(0xEE, 0xEB, 0xE4));
    palette.setColor(QPalette::Button, QColor(0xEE, 0xEB, 0xE4));
    palette.setColor(QPalette::Highlight, QColor(0x2F, 0x5C, 0x8F));
    palette.setColor(QPalette::ToolTipBase, QColor(0xFF, 0xF8, 0xDC));
    QApplication::setPalette(palette);
}

namespace {

// The application icon, drawn once beside the database file (for a server's
// database, in the temporary folder); the session hands its path to the library.
std::string writeIcon(const std::string& database) {
    const QDir dir = odbc::namesOdbcDriver(database)
                         ? QDir::temp()
                         : QFileInfo(QString::fromStdString(database)).absoluteDir();
    const QString path = dir.filePath("palvo-demo-icon.png");
    if (!QFileInfo::exists(path)) {
        QPixmap icon(32, 32);
        icon.fill(Qt::transparent);
        QPainter p(&icon);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(0x2F, 0x5C, 0x8F));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(1, 1, 30, 30, 6, 6);
        p.setPen(Qt::white);
        p.setFont(QFont("Noto Sans CJK SC", 15, QFont::Bold));
        p.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, "账");
        p.end();
        icon.save(path, "PNG");
    }
    return path.toStdString();
}

}  // namespace

std::shared_ptr<Connection> startSession(const std::string& database) {
    applyApplicationLook();
    auto conn = sample::openSampleDatabase(database);
    const std::string icon = writeIcon(database);
    QApplication::setWindowIcon(QIcon(QString::fromStdString(icon)));
    clsForm frm;
    // Entry forms get the icon through the library (mSetColor loads sIconPath).
    frm.mInit_Var(kUnitCode, kUnitName, "01", "销售部", conn, icon, 50, kMsgTitle, sample::kSampleUser);
    // The platform defaults, with the entry boxes a point larger than the labels.
    frm.mInit_Form();
    return conn;
}

HostPorts demoHost(QWidget* window) {
    HostPorts ports = qt::hostPorts(window);
    ports.spreadsheetWriter = std::make_shared<xlsx::Writer>();  // the spreadsheet reports write .xlsx
    return ports;
}

}  // namespace Palvo::demo
