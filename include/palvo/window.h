// The library's own windows. A window is core logic over control ports: it
// describes its controls once (WindowLayout) and handles their events; a
// WindowHost builds the controls, shows the window modally and feeds it the
// user's actions. The Qt host builds a real dialog; the memory host plays a
// script of actions, which is how tests and batch hosts drive windows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "palvo/controls.h"
#include "palvo/export.h"
#include "palvo/form.h"
#include "palvo/grid.h"
#include "palvo/scoped_port.h"

namespace Palvo {

/// A command button. A button with a Picture shows the named picture of its
/// window instead of its caption.
class PALVO_API CommandButton : public Control {
public:
    std::string typeName() const override { return "CommandButton"; }
    virtual std::string Caption() const = 0;
    virtual void Caption(const std::string& caption) = 0;
    virtual bool Enabled() const = 0;
    virtual void Enabled(bool enabled) = 0;
    virtual bool Visible() const = 0;
    virtual void Visible(bool visible) = 0;
    /// One of the window's picture names (WindowLayout::pictures), or "" for the caption.
    virtual std::string Picture() const = 0;
    /// Throws Palvo::Error 5 for a name the window has no picture of.
    virtual void Picture(const std::string& picture) = 0;
    virtual std::string ToolTipText() const = 0;
    virtual void ToolTipText(const std::string& text) = 0;
};

/// The keys a window reacts to; every other key goes to the control alone.
enum class WindowKey { Enter, Esc, F4, F5, F8, Up, Down };

/// "Enter", "Esc", ... as the window scripts write them.
PALVO_API std::string_view windowKeyName(WindowKey key);
/// The key of a name; false when the name is none of them.
PALVO_API bool windowKeyFromName(std::string_view name, WindowKey& key);

enum class ControlKind {
    Label,
    TextBox,   // one line
    TextArea,  // several lines, wrapped
    ComboBox,  // typed or picked
    DropDown,  // picked only
    ListBox,
    MSFlexGrid,
    MSHFlexGrid,
    Button,
};

/// One control of a window: its name, kind, first caption or text, and its
/// cell in the window's grid of rows and columns (a host lays the controls
/// out in that grid; the memory host ignores it). Written as
///   ControlDef("cmdOk", ControlKind::Button, "确定(&O)").at(5, 1).defaultButton()
struct PALVO_API ControlDef {
    ControlDef(std::string controlName, ControlKind controlKind, std::string firstCaption = {})
        : name(std::move(controlName)), kind(controlKind), caption(std::move(firstCaption)) {}

    ControlDef& at(int r, int c) { return row = r, col = c, *this; }
    ControlDef& span(int rows, int cols) { return rowSpan = rows, colSpan = cols, *this; }
    ControlDef& sized(std::int32_t w, std::int32_t h) { return width = w, height = h, *this; }
    ControlDef& defaultButton() { return isDefault = true, *this; }
    ControlDef& cancelButton() { return isCancel = true, *this; }
    ControlDef& readOnlyText() { return readOnly = true, *this; }
    ControlDef& hidden() { return visible = false, *this; }
    ControlDef& multiSelection() { return multiSelect = true, *this; }
    ControlDef& tip(std::string text) { return toolTip = std::move(text), *this; }
    /// Out of the layout grid: the window's code places it (ComboBox::Move) over
    /// the other controls, as an editor over a grid cell.
    ControlDef& floating() { return floats = true, *this; }

    std::string name;
    ControlKind kind;
    std::string caption;  // a label's or button's caption ("添加(&A)"), a box's first text
    int row = 0;
    int col = 0;
    int rowSpan = 1;
    int colSpan = 1;
    bool isDefault = false;  // pressed by Enter when no handler takes the key
    bool isCancel = false;   // pressed by Esc
    bool readOnly = false;   // text boxes: the user may select but not type
    bool visible = true;
    bool multiSelect = false;  // list boxes
    bool floats = false;
    std::string toolTip;
    std::int32_t width = 0;  // wanted size in twips; 0 lets the host decide
    std::int32_t height = 0;
};

/// The fixed shape of a window.
struct PALVO_API WindowLayout {
    std::string name;  // "frmFind"
    std::string caption;
    std::int32_t width = 6000;  // twips
    std::int32_t height = 4000;
    std::vector<ControlDef> controls;
    /// Names of the pictures buttons may show ("Image1"); a host draws each as it sees fit.
    std::vector<std::string> pictures;
    /// How a host may draw each picture, by its place in pictures: "down", "up",
    /// "left", "right", "left-all", "right-all" (every entry across), "info",
    /// "warning", "question", "error"; "" or missing leaves it to the host.
    std::vector<std::string> pictureLooks;
    /// Rows and columns of the layout grid that take the room left over.
    std::vector<int> stretchRows;
    std::vector<int> stretchCols;

    /// The control of that name; nullptr when there is none.
    const ControlDef* find(std::string_view control) const;
};

/// Why a window unloads.
enum class UnloadMode { Code, CloseBox };

/// The window as it is shown, handed to the window by its host. It is a Form,
/// so the look of the entry forms (colours, icon) applies to it through
/// Controls(). Every control of the layout exists while the window is shown.
class PALVO_API WindowFrame : public Form {
public:
    std::string typeName() const override { return "Form"; }
    virtual std::string Caption() const = 0;
    virtual void Caption(const std::string& caption) = 0;
    /// Twips.
    virtual std::int32_t Height() const = 0;
    virtual void Height(std::int32_t twips) = 0;
    virtual std::int32_t Width() const = 0;
    /// The control of that name. Throws Palvo::Error 730 when there is none.
    virtual Control& control(std::string_view name) = 0;
    /// Moves the focus; the window's GotFocus handler runs. Throws Palvo::Error
    /// 5 when the control is disabled or hidden, 730 when there is none.
    virtual void SetFocus(std::string_view name) = 0;
    /// The control that has the focus; "" when none has.
    virtual std::string ActiveControl() const = 0;
    /// Closes the window once the running handler returns; the window's
    /// Unload handler runs with the mode (Code: the window's own Unload Me,
    /// CloseBox: the user closed it by its close box).
    virtual void Close(UnloadMode mode = UnloadMode::Code) = 0;
    /// Whether Close was called: the window closes once the running handler returns.
    virtual bool closing() const = 0;
    /// Lets the host handle what is pending (painting, moving the window, its
    /// close box) while window code runs long; no handler of the window runs
    /// meanwhile. The default does nothing (a host without events).
    virtual void DoEvents() {}
};

/// A library window. Handlers run on the thread that shows the window; the
/// same instance serves every call on that thread.
class PALVO_API Window {
public:
    virtual ~Window();

    virtual const WindowLayout& layout() const = 0;

    // ---- handlers; a host calls them, the defaults do nothing
    virtual void Load() {}
    /// The window has been shown (the place to give the first focus).
    virtual void Activate() {}
    virtual void Unload(UnloadMode) {}
    /// A button was pressed, a list or combo entry or a grid cell picked.
    virtual void Click(const std::string&) {}
    virtual void DblClick(const std::string&) {}
    /// The current cell of a grid moved: the user clicked another cell or
    /// moved with the keys (the grid's Row and Col already tell where).
    virtual void RowColChange(const std::string&) {}
    /// The text of a text or combo box changed.
    virtual void Change(const std::string&) {}
    virtual void GotFocus(const std::string&) {}
    /// Every window key comes here first; true when the window used it.
    virtual bool KeyDown(WindowKey) { return false; }
    /// Then to the control that has the focus; true when it used the key.
    virtual bool KeyPress(const std::string&, WindowKey) { return false; }

    // ---- for hosts
    /// Binds the window to the frame it is shown in (nullptr when it closed).
    void attach(WindowFrame* frame) { frame_ = frame; }
    bool shown() const { return frame_ != nullptr; }
    /// The window key after the handlers: Enter presses the default button and
    /// Esc the cancel button when the window has one and no handler took the
    /// key; Esc without a cancel button closes the window as its close box.
    /// Returns false when nothing used the key.
    bool pressKey(WindowKey key);

protected:
    /// Throws Palvo::Error 91 when the window is not shown.
    WindowFrame& frame() const;
    ComboBox& combo(std::string_view name) const;
    ListBox& list(std::string_view name) const;
    TextBox& text(std::string_view name) const;
    Label& label(std::string_view name) const;
    CommandButton& button(std::string_view name) const;
    FlexGrid& grid(std::string_view name) const;

private:
    WindowFrame* frame_ = nullptr;
};

/// Shows windows modally.
class PALVO_API WindowHost {
public:
    virtual ~WindowHost();
    /// Shows the window and returns when it has closed and its Unload handler has run.
    virtual void showModal(Window& window) = 0;
};

/// Installs the calling thread's window host and returns the one it replaces.
PALVO_API std::shared_ptr<WindowHost> installWindowHost(std::shared_ptr<WindowHost> host);
/// The calling thread's window host; nullptr when none is installed.
PALVO_API std::shared_ptr<WindowHost> installedWindowHost();
/// Shows the window through the calling thread's host. Throws Palvo::Error 429
/// (naming the window) when none is installed: it never blocks instead.
PALVO_API void showModal(Window& window);

/// Installs a window host for the life of the guard and restores the previous one.
using ScopedWindowHost = ScopedPort<WindowHost, installWindowHost>;

}  // namespace Palvo
