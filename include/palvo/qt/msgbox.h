// Qt 6 Widgets adapters: the message box. Only a Qt host includes the
// headers under palvo/qt/ (target Palvo::qt); the core never does. Qt classes
// are only forward-declared here.
#pragma once

#include <string>

#include "palvo/export.h"
#include "palvo/msgbox.h"

class QWidget;

namespace Palvo::qt {

/// Message boxes as modal QMessageBox dialogs: icon, buttons and default
/// button from the style, the title (the application name when empty).
class PALVO_API MessageBox : public MessageBoxPort {
public:
    /// parent may be nullptr; it is not owned. Loads Qt's Chinese texts
    /// (useChineseTexts) when the application already runs.
    explicit MessageBox(QWidget* parent = nullptr);
    int show(const std::string& text, int style, const std::string& title) override;

private:
    QWidget* parent_;
};

}  // namespace Palvo::qt
