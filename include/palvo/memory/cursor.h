// Headless cursor: a display count and a position that tests and batch hosts set.
#pragma once

#include "palvo/cursor.h"
#include "palvo/export.h"

namespace Palvo::memory {

class PALVO_API Cursor : public Palvo::CursorPort {
public:
    explicit Cursor(int displayCount = 0, POINTAPI position = {}) : count_(displayCount), pos_(position) {}
    int ShowCursor(bool show) override;
    bool GetCursorPos(POINTAPI& pt) override;

    int displayCount() const { return count_; }
    /// How many ShowCursor calls were made.
    int showCursorCalls() const { return calls_; }
    void position(POINTAPI pt) { pos_ = pt; }
    /// When set, GetCursorPos fails and leaves the record as it was.
    void failPosition(bool fail) { failPosition_ = fail; }

private:
    int count_;
    POINTAPI pos_;
    int calls_ = 0;
    bool failPosition_ = false;
};

}  // namespace Palvo::memory
