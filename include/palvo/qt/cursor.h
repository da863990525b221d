// Qt 6 Widgets adapters: the mouse pointer. Only a Qt host includes the
// headers under palvo/qt/ (target Palvo::qt); the core never does. Qt classes
// are only forward-declared here.
#pragma once

#include "palvo/cursor.h"
#include "palvo/export.h"

namespace Palvo::qt {

/// The pointer through Qt: a display count like the platform's (hidden below
/// 0, shown as a blank override cursor) and QCursor::pos relative to the
/// primary screen's top-left corner. Needs a QGuiApplication.
class PALVO_API Cursor : public CursorPort {
public:
    Cursor() = default;
    ~Cursor() override;
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;
    int ShowCursor(bool show) override;
    bool GetCursorPos(POINTAPI& pt) override;
    int displayCount() const { return count_; }

private:
    int count_ = 0;
};

}  // namespace Palvo::qt
