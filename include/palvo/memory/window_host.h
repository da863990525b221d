// The headless window host: builds a window's controls as memory controls
// and plays a script of user actions on it. Tests and batch hosts drive the
// library's windows with it; a window it shows stays readable after it closed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "palvo/error.h"
#include "palvo/export.h"
#include "palvo/memory/controls.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/msgbox.h"
#include "palvo/window.h"
#include "palvo/window_script.h"

namespace Palvo::memory {

class PALVO_API CommandButton : public Palvo::CommandButton {
public:
    CommandButton(std::string name, std::string caption, std::vector<std::string> pictures = {})
        : name_(std::move(name)), caption_(std::move(caption)), pictures_(std::move(pictures)) {}
    std::string Name() const override { return name_; }
    std::string Caption() const override { return caption_; }
    void Caption(const std::string& caption) override { caption_ = caption; }
    bool Enabled() const override { return enabled_; }
    void Enabled(bool enabled) override { enabled_ = enabled; }
    bool Visible() const override { return visible_; }
    void Visible(bool visible) override { visible_ = visible; }
    std::string Picture() const override { return picture_; }
    void Picture(const std::string& picture) override;
    std::string ToolTipText() const override { return toolTip_; }
    void ToolTipText(const std::string& text) override { toolTip_ = text; }

private:
    std::string name_;
    std::string caption_;
    std::vector<std::string> pictures_;
    bool enabled_ = true;
    bool visible_ = true;
    std::string picture_;
    std::string toolTip_;
};

/// A window as the memory host shows it: the layout's controls as memory
/// controls, in layout order.
class PALVO_API WindowFrame : public Palvo::WindowFrame {
public:
    WindowFrame(Window& window, const WindowLayout& layout);
    ~WindowFrame() override;

    std::string Name() const override { return name_; }
    std::int32_t BackColor() const override { return backColor_; }
    void BackColor(std::int32_t color) override { backColor_ = color; }
    std::int32_t ForeColor() const override { return foreColor_; }
    void ForeColor(std::int32_t color) override { foreColor_ = color; }
    std::string Icon() const override { return icon_; }
    /// Throws Palvo::Error 53 when the file cannot be read.
    void Icon(const std::string& path) override;
    std::vector<Control*> Controls() override;

    std::string Caption() const override { return caption_; }
    void Caption(const std::string& caption) override { caption_ = caption; }
    std::int32_t Height() const override { return height_; }
    void Height(std::int32_t twips) override { height_ = twips; }
    std::int32_t Width() const override { return width_; }
    Control& control(std::string_view name) override;
    void SetFocus(std::string_view name) override;
    std::string ActiveControl() const override { return active_; }
    void Close(UnloadMode mode = UnloadMode::Code) override;

    // ---- for the host and for reading back
    bool closing() const override { return closing_; }
    UnloadMode unloadMode() const { return mode_; }
    /// Stops handing events to the window (it has closed); the controls stay.
    void detach() { window_ = nullptr; }
    /// The control of that name as its memory type; Palvo::Error 730 / 13 as control() and a mismatch.
    template <class T>
    T& get(std::string_view name) {
        Control& c = control(name);
        if (auto* t = dynamic_cast<T*>(&c)) return *t;
        throw Error(ErrorNumber::TypeMismatch,
                    "Type mismatch: control " + std::string(name) + " is a " + c.typeName());
    }

private:
    Window* window_;
    std::string name_;
    std::string caption_;
    std::int32_t width_;
    std::int32_t height_;
    std::int32_t backColor_ = static_cast<std::int32_t>(0x8000000F);  // button face
    std::int32_t foreColor_ = static_cast<std::int32_t>(0x80000012);  // button text
    std::string icon_;
    std::vector<std::unique_ptr<Control>> controls_;
    std::vector<std::string> names_;   // controls_[i]'s name, looked up without asking it
    std::vector<TextBox*> textBoxes_;  // the ones a focus change blurs
    std::string active_;
    bool closing_ = false;
    UnloadMode mode_ = UnloadMode::Code;
};

/// Shows each window headless and plays the script on it, one action after
/// another, until the window closes; a script that runs out while a window is
/// open closes it as its close box would, so a window never waits. Answer
/// actions are handed to the message box as soon as they come up, before the
/// window's next event runs.
class PALVO_API WindowHost : public Palvo::WindowHost {
public:
    /// Either may be nullptr: no script closes every window at once; without
    /// a message box an answer action is refused.
    explicit WindowHost(std::shared_ptr<WindowScript> script = nullptr,
                        std::shared_ptr<ScriptedMessageBox> messages = nullptr);
    void showModal(Window& window) override;

    /// The windows shown so far, as they were when they closed.
    const std::vector<std::unique_ptr<WindowFrame>>& shown() const { return shown_; }
    /// The last window shown. Throws Palvo::Error 9 when none was.
    WindowFrame& last() const;
    WindowScript& script() { return *script_; }

private:
    void queueAnswers();

    std::shared_ptr<WindowScript> script_;
    std::shared_ptr<ScriptedMessageBox> messages_;
    std::vector<std::unique_ptr<WindowFrame>> shown_;
};

}  // namespace Palvo::memory
