// Cursor port: the mouse pointer's display count and its screen position.
#pragma once

#include <cstdint>
#include <memory>

#include "palvo/export.h"

namespace Palvo {

/// A screen position in pixels, origin at the top-left corner of the primary screen.
struct PALVO_API POINTAPI {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    bool operator==(const POINTAPI&) const = default;
};

/// The pointer as the window system sees it. The pointer is visible while the
/// display count is 0 or more.
class PALVO_API CursorPort {
public:
    virtual ~CursorPort();
    /// Raises (show) or lowers the display count by one; returns the new count.
    virtual int ShowCursor(bool show) = 0;
    /// Fills pt with the pointer's position; false when it cannot be read.
    virtual bool GetCursorPos(POINTAPI& pt) = 0;
};

/// Installs the process's cursor port (nullptr removes it). The port is shared by all threads.
PALVO_API void installCursorPort(std::shared_ptr<CursorPort> port);
/// The installed cursor port, or nullptr.
PALVO_API std::shared_ptr<CursorPort> installedCursorPort();

}  // namespace Palvo
