// clsElse: mouse pointer helpers and the one-line code executor.
#pragma once

#include <string>

#include "palvo/cursor.h"
#include "palvo/executor.h"
#include "palvo/export.h"

namespace Palvo {

class PALVO_API clsElse {
public:
    /// Forces the pointer visible: the display count ends at 2 or higher.
    /// Does nothing when no cursor port is installed.
    void ShowMouse();
    /// Forces the pointer hidden: the display count ends at -1 or lower.
    /// Does nothing when no cursor port is installed.
    void HideMouse();
    /// The pointer's screen position; (0, 0) when it cannot be read or no port is installed.
    POINTAPI lSreenCoordinate();
    /// Runs stCode through the installed line executor, or only checks it when
    /// fCheckOnly is True. Returns True when the executor reports success.
    /// Throws Palvo::Error 429 when no line executor is installed.
    bool bExecuteCode(std::string& stCode);
    bool bExecuteCode(std::string& stCode, bool& fCheckOnly);
};

}  // namespace Palvo
