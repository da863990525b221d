// The message box port: every message the library shows goes through the
// instance installed on the calling thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "palvo/export.h"
#include "palvo/scoped_port.h"

namespace Palvo {

/// Buttons, icons and default button of a message box; add them up.
enum VbMsgBoxStyle : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbAbortRetryIgnore = 2,
    vbYesNoCancel = 3,
    vbYesNo = 4,
    vbRetryCancel = 5,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
    vbDefaultButton1 = 0,
    vbDefaultButton2 = 256,
    vbDefaultButton3 = 512,
};

/// The button the user pressed.
enum VbMsgBoxResult : int {
    vbOK = 1,
    vbCancel = 2,
    vbAbort = 3,
    vbRetry = 4,
    vbIgnore = 5,
    vbYes = 6,
    vbNo = 7
};

/// Shows a message and waits for the answer. Implemented by the windows host
/// (a real dialog) and by the memory adapter (recorded, answered from a script).
class PALVO_API MessageBoxPort {
public:
    virtual ~MessageBoxPort();
    /// Returns the button pressed (a VbMsgBoxResult).
    virtual int show(const std::string& text, int style, const std::string& title) = 0;
    /// The texts of the library's message window (clsForm.mSubMsg): a batch host
    /// without windows takes them here and returns true, and the window is not
    /// shown. By default false: the window shows them.
    virtual bool takeMessageWindow(const std::string& text, const std::string& details);
};

/// The answers a box of this style offers, in the order it shows its buttons
/// (an unknown button set is OK alone).
PALVO_API std::vector<int> msgBoxButtons(int style);
/// The answer of the style's default button (vbDefaultButton2/3 pick the
/// second or third button, the last one when there are fewer).
PALVO_API int msgBoxDefaultAnswer(int style);

/// Installs the calling thread's message box and returns the one it replaces
/// (nullptr to uninstall). The thread shares ownership with the caller.
PALVO_API std::shared_ptr<MessageBoxPort> installMessageBox(std::shared_ptr<MessageBoxPort> port);

/// The calling thread's message box; nullptr when none is installed.
PALVO_API std::shared_ptr<MessageBoxPort> installedMessageBox();

/// The calling thread's message box. Throws Palvo::Error 429 when none is installed.
PALVO_API MessageBoxPort& messageBox();

/// Shows a message through the calling thread's message box. Throws Palvo::Error
/// 429 (naming the text) when none is installed: it never blocks or prints instead.
PALVO_API int msgBox(const std::string& text, int style = vbOKOnly, const std::string& title = {});

/// Installs a message box for the life of the guard and restores the previous one.
using ScopedMessageBox = ScopedPort<MessageBoxPort, installMessageBox>;

}  // namespace Palvo
