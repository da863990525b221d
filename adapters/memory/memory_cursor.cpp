#include "palvo/memory/cursor.h"

namespace Palvo::memory {

int Cursor::ShowCursor(bool show) {
    ++calls_;
    count_ += show ? 1 : -1;
    return count_;
}

bool Cursor::GetCursorPos(POINTAPI& pt) {
    if (failPosition_) return false;
    pt = pos_;
    return true;
}

}  // namespace Palvo::memory
