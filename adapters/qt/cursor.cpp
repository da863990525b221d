// The mouse pointer on Qt: its display count and its place on the primary screen.
#include "palvo/qt/cursor.h"

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
#include <array>
#include <cmath>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "palvo/error.h"
#include "qt_support.h"

namespace Palvo::qt {

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
