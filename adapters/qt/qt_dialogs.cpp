#include <QAbstractButton>
#include <QCoreApplication>
#include <QCursor>
#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>

#include "adapters/qt/qt_support.h"
#include "palvo/error.h"
#include "palvo/qt.h"

namespace Palvo::qt {

// ---------------------------------------------------------------- MessageBox

int MessageBox::show(const std::string& text, int style, const std::string& title) {
    if (!QCoreApplication::instance()) {
        throw Error(ErrorNumber::NotInstalled, "No QApplication to show the message \"" + text + "\"");
    }
    const BoxLayout layout = boxLayout(style);
    QMessageBox box(parent_);
    box.setIcon(layout.icon);
    box.setText(toQString(text));
    box.setTextFormat(Qt::PlainText);
    box.setWindowTitle(title.empty() ? QCoreApplication::applicationName() : toQString(title));
    QMessageBox::StandardButtons buttons;
    for (auto b : layout.buttons) buttons |= b;
    box.setStandardButtons(buttons);
    box.setDefaultButton(layout.defaultButton);
    box.exec();
    if (QAbstractButton* clicked = box.clickedButton()) return resultOf(box.standardButton(clicked));
    // Escape or closing the window: Cancel when there is one, else No, else the last button.
    const auto& b = layout.buttons;
    for (auto escape : {QMessageBox::Cancel, QMessageBox::No}) {
        if (std::find(b.begin(), b.end(), escape) != b.end()) return resultOf(escape);
    }
    return resultOf(b.back());
}

// ---------------------------------------------------------------- FontMeasurer

namespace {
QFont fontOf(const std::string& family, double size) {
    QFont font(toQString(family));
    font.setPointSizeF(size > 0 ? size : 1.0);
    // Unhinted outlines: widths scale with the size instead of snapping to pixels.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}
}  // namespace

double FontMeasurer::TextWidth(std::string_view text, double fontSize) const {
    if (text.empty() || fontSize <= 0) return 0;
    const QFontMetricsF metrics(fontOf(family_, fontSize));
    const double dpi = metrics.fontDpi() > 0 ? metrics.fontDpi() : 96.0;
    return metrics.horizontalAdvance(toQString(text)) * 1440.0 / dpi;
}

std::string FontMeasurer::resolvedFamily() const { return toStd(QFontInfo(fontOf(family_, 9)).family()); }

// ---------------------------------------------------------------- Cursor

Cursor::~Cursor() {
    if (count_ < 0 && QGuiApplication::instance()) QGuiApplication::restoreOverrideCursor();
}

int Cursor::ShowCursor(bool show) {
    const bool hiddenBefore = count_ < 0;
    count_ += show ? 1 : -1;
    const bool hiddenNow = count_ < 0;
    if (hiddenBefore != hiddenNow && QGuiApplication::instance()) {
        if (hiddenNow) {
            QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
        } else {
            QGuiApplication::restoreOverrideCursor();
        }
    }
    return count_;
}

bool Cursor::GetCursorPos(POINTAPI& pt) {
    if (!QGuiApplication::instance()) return false;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary) return false;
    const QPoint p = QCursor::pos(primary) - primary->geometry().topLeft();
    pt.X = p.x();
    pt.Y = p.y();
    return true;
}

}  // namespace Palvo::qt
