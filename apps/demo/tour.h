// The scripted tour: drives the demo's windows through their real widgets
// without a display and writes a PNG screenshot of every window.
#pragma once

#include <QString>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "palvo/msgbox.h"

class QLineEdit;
class QWidget;

namespace Palvo::demo {

class MainWindow;

/// Grabs the widget (QWidget::grab) into a PNG file; true when the file was written.
bool saveScreenshot(QWidget* widget, const QString& path);

/// Types text into a line edit key by key, through its event filters.
void typeInto(QLineEdit* edit, const QString& text);

/// A message box port for the tour: shows each message as a real QMessageBox,
/// writes its screenshot (message_1.png, ...) into a folder, closes it and
/// answers OK, or No to a question. Never blocks.
class TourMessageBox : public MessageBoxPort {
public:
    TourMessageBox(QWidget* parent, QString outDir) : parent_(parent), outDir_(std::move(outDir)) {}
    int show(const std::string& text, int style, const std::string& title) override;
    const std::vector<std::string>& texts() const { return texts_; }
    const std::vector<QString>& files() const { return files_; }

private:
    QWidget* parent_;
    QString outDir_;
    std::vector<std::string> texts_;
    std::vector<QString> files_;
};

/// Runs the tour on a shown main window, writing the screenshots into outDir
/// and a line per step into log. Returns the exit status (0 when every
/// step worked and every screenshot is a valid PNG).
int runTour(MainWindow& window, const QString& outDir, std::ostream& log);

}  // namespace Palvo::demo
