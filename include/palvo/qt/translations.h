// The library's windows are Chinese whatever the desktop's language: Qt's own
// texts in them (message box buttons, print, preview and file dialogs) come
// from Qt's Simplified Chinese translations.
#pragma once

#include "palvo/export.h"

namespace Palvo::qt {

/// Loads Qt's zh_CN translations into the running application once. The Qt
/// message box and window host call it when they are made (so installing them
/// at start-up makes the host's own Qt dialogs Chinese from the first one) and
/// again before they show anything, so a host need not. False when the
/// translation files are missing (Debian package qt6-translations-l10n); the
/// message box buttons are Chinese regardless. Does nothing and gives false
/// without a QCoreApplication or off its thread.
PALVO_API bool useChineseTexts();

}  // namespace Palvo::qt
