// The demo's start-up: the sample database, the library session and the look
// of the application.
#pragma once

#include <memory>
#include <string>

#include "palvo/data.h"

class QWidget;

namespace Palvo::demo {

/// Title of every message box of the demo (the session's sMsg).
inline constexpr const char* kMsgTitle = "Palvo 商务管理";
/// The unit, department and user the demo logs in as.
inline constexpr const char* kUnitCode = "00";
inline constexpr const char* kUnitName = "总公司";

/// Opens the embedded database at dbPath (the sample is written on first start),
/// fills the calling thread's session (mInit_Var, mInit_Form) and installs the
/// Fusion look, the Noto CJK font, the text measurer and the xlsx writer.
/// Needs a QApplication.
/// Throws Palvo::Error.
std::shared_ptr<Connection> startSession(const std::string& dbPath);

/// Installs Qt message boxes parented to window, the Qt window host that shows
/// the library's own windows and the Qt spreadsheet desk (documents folder,
/// the desktop's program), on the calling thread.
void installQtDialogs(QWidget* window);

/// The application font: Noto Sans CJK SC at 10 points (fontconfig substitutes when missing).
void applyApplicationLook();

}  // namespace Palvo::demo
