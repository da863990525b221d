// The Qt window host: shows a library window as a modal QDialog built from
// its layout, with real widgets wired to the window's handlers. With a window
// script it plays the user's actions on the shown dialog through the widgets,
// one per turn of the event loop, as the memory host plays them headless.
// Use it on the GUI thread of a QApplication.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "palvo/export.h"
#include "palvo/window.h"
#include "palvo/window_script.h"

class QPushButton;
class QWidget;

namespace Palvo::qt {

/// A command button over a QPushButton. A picture replaces the caption by the
/// icon the host drew for it; the caption is kept and comes back with Picture("").
class PALVO_API CommandButton : public Palvo::CommandButton {
public:
    /// pictures: the window's picture names; icons: how the host draws each.
    CommandButton(QPushButton* button, std::vector<std::string> pictures, std::vector<std::string> looks);
    std::string Name() const override;
    std::string Caption() const override;
    void Caption(const std::string& caption) override;
    bool Enabled() const override;
    void Enabled(bool enabled) override;
    /// Whether the host shows the button (QWidget::isHidden, so an unshown window counts).
    bool Visible() const override;
    void Visible(bool visible) override;
    std::string Picture() const override;
    /// Throws Palvo::Error 5 for a name the window has no picture of.
    void Picture(const std::string& picture) override;
    std::string ToolTipText() const override;
    void ToolTipText(const std::string& text) override;

private:
    void show();
    QPushButton* button_;
    std::vector<std::string> pictures_;
    std::vector<std::string> looks_;
    std::string caption_;
    std::string picture_;
};

class WindowFrame;

/// Shows each window as a modal QDialog and returns when it closed and its
/// Unload handler ran. Without a script the dialog waits for its user; with
/// one, the actions are played after the dialog is shown and a script that
/// runs out closes the window as its close box would. An error of a handler
/// or a script line closes the dialog (Unload runs with the close box) and is
/// thrown from showModal. The last dialog and its frame stay alive, hidden,
/// until the next window is shown, the host goes or the QApplication goes
/// (its destructor releases them while Qt still stands, so a host installed
/// for good needs no clean-up of its own), so they can be read.
class PALVO_API WindowHost : public Palvo::WindowHost {
public:
    /// Either may be nullptr; answer actions go to the message box before the
    /// window's next event (without one an answer action is refused). Loads
    /// Qt's Chinese texts (useChineseTexts) when the application already runs.
    explicit WindowHost(std::shared_ptr<WindowScript> script = nullptr,
                        std::shared_ptr<ScriptAnswers> messages = nullptr);
    ~WindowHost() override;
    WindowHost(const WindowHost&) = delete;
    WindowHost& operator=(const WindowHost&) = delete;

    void showModal(Window& window) override;

    /// The frame of the last window shown. Throws Palvo::Error 9 when none was.
    Palvo::WindowFrame& last() const;
    /// The dialog of the last window shown; nullptr when none was.
    QWidget* lastDialog() const;
    /// Called with the dialog when a script has run out or the window is about
    /// to close (the dialog still shows its content), e.g. to take a screenshot.
    void setBeforeClose(std::function<void(QWidget&)> hook) { beforeClose_ = std::move(hook); }
    /// Destroys the last dialog and its frame now (the application's destructor
    /// calls it for every host that keeps one). Not while a window is shown.
    void releaseWindow();

private:
    friend class WindowFrame;
    std::shared_ptr<WindowScript> script_;
    std::shared_ptr<ScriptAnswers> messages_;
    std::function<void(QWidget&)> beforeClose_;
    std::unique_ptr<WindowFrame> last_;
};

}  // namespace Palvo::qt
