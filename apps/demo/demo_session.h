// The demo's start-up: the sample database, the library session and the look
// of the application.
#pragma once

#include <memory>
#include <string>

#include "palvo/data.h"
#include "palvo/host.h"

class QWidget;

namespace Palvo::demo {

/// Title of every message box of the demo (the session's sMsg).
inline constexpr const char* kMsgTitle = "Palvo 商务管理";
/// The unit, department and user the demo logs in as.
inline constexpr const char* kUnitCode = "00";
inline constexpr const char* kUnitName = "总公司";

/// Opens the database (a file, or over ODBC for an ODBC connection string; the
/// sample is written on first start),
/// fills the calling thread's session (mInit_Var, mInit_Form) and installs the
/// Fusion look and the Noto CJK font. Needs a QApplication.
/// Throws Palvo::Error.
std::shared_ptr<Connection> startSession(const std::string& database);

/// The demo's ports (Palvo::installHost): Qt's, with message boxes parented to
/// window, and the xlsx writer for the spreadsheet reports.
HostPorts demoHost(QWidget* window);

/// The application font: Noto Sans CJK SC at 10 points (fontconfig substitutes when missing).
void applyApplicationLook();

}  // namespace Palvo::demo
