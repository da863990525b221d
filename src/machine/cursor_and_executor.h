// The pointer helpers and the line executor behind clsElse, over the cursor
// and line executor ports.
#pragma once

#include <string>

#include "palvo/cursor.h"
#include "palvo/executor.h"

namespace Palvo::machine {

/// Raises the display count until it is at least 1, then once more.
void showMouse(CursorPort& port);
/// Lowers the display count until it is at most 0, then once more.
void hideMouse(CursorPort& port);
/// One position read into a zeroed record; (0, 0) when the read fails.
POINTAPI screenCoordinate(CursorPort& port);

// The same over the installed ports (clsElse).

/// showMouse() on the installed cursor port; nothing without one.
void showInstalledMouse();
/// hideMouse() on the installed cursor port; nothing without one.
void hideInstalledMouse();
/// screenCoordinate() on the installed cursor port; (0, 0) without one.
POINTAPI installedCursorPosition();
/// Hands the line to the installed executor; throws Palvo::Error 429 when none is installed.
bool executeLine(const std::string& code, bool checkOnly);

}  // namespace Palvo::machine
