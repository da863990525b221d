// Window scripts: the user's actions on the library's windows, one a line, as
// `palvo call --script` reads them and the hosts play them.
//
//   CONTROL = TEXT        types TEXT into a text box or combo box
//   select CONTROL N      picks entry N of a list or combo box, row N of a grid
//   grid CONTROL R C      clicks cell (R, C) of a grid, as a user does
//   grid CONTROL R C = TEXT   clicks it, then sets TEXT through the editor the
//                         window shows over the cell (a floating combo box):
//                         picks the entry of that text, or types it
//   click CONTROL         dblclick CONTROL
//   key NAME              Enter, Esc, F4, F5, F8, Up, Down
//   answer yes|no|ok|cancel   answers the next message box
//
// Blank lines and lines starting with # are skipped.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "palvo/export.h"
#include "palvo/window.h"

namespace Palvo {

struct PALVO_API ScriptAction {
    enum class Kind { SetText, Select, Click, DblClick, Key, Answer, Grid };
    Kind kind = Kind::Click;
    std::string control;   // SetText, Select, Click, DblClick, Grid
    std::string text;      // SetText, Grid
    int index = 0;         // Select; the row of Grid
    int col = 0;           // Grid
    bool hasText = false;  // Grid: "= TEXT" follows the cell
    WindowKey key = WindowKey::Enter;
    int answer = 0;  // a VbMsgBoxResult
    int line = 0;    // 1-based line of the script
    /// The line as written, for messages.
    std::string source;
};

/// Reads a script. Throws Palvo::Error 5 naming the line ("window script line
/// 3: ...") for a line that is none of the actions.
PALVO_API std::vector<ScriptAction> parseWindowScript(std::string_view text);

/// The actions still to play, shared by the host and the message box that
/// takes the answers.
class PALVO_API WindowScript {
public:
    WindowScript() = default;
    explicit WindowScript(std::vector<ScriptAction> actions) : actions_(actions.begin(), actions.end()) {}
    bool empty() const { return actions_.empty(); }
    std::size_t size() const { return actions_.size(); }
    const ScriptAction& front() const { return actions_.front(); }
    ScriptAction take();

private:
    std::deque<ScriptAction> actions_;
};

/// Where a host hands the script's answer lines: the message box that will
/// answer the next messages with them.
class PALVO_API ScriptAnswers {
public:
    virtual ~ScriptAnswers();
    /// Queues the answer (a VbMsgBoxResult) to a later message.
    virtual void answer(int result) = 0;
};

/// Throws Palvo::Error 5 naming the script line: "window script line 3 (click
/// cmdOk): why".
[[noreturn]] PALVO_API void refuseScriptAction(const ScriptAction& action, const std::string& why);

/// The checks both hosts make before they play an action on a control: text
/// only into a text box or combo box, an entry or row that exists, a cell among
/// the data cells, a click only on an enabled and shown button or label.
/// Throws as refuseScriptAction does.
PALVO_API void checkScriptAction(const ScriptAction& action, Control& control);

/// A host's hands on a shown window's controls: the primitive events a played
/// action is made of. The player (playAction) finds the control, checks the
/// action and refuses it in the script's words; the hands only act.
class PALVO_API ScriptHands {
public:
    virtual ~ScriptHands();
    /// The mouse gives the control the focus; false when it cannot take it
    /// (disabled or hidden).
    virtual bool focus(const ControlDef& control) = 0;
    /// Types text over the whole text of a text box or an editable combo box.
    virtual void type(const ControlDef& control, const std::string& text) = 0;
    /// Picks entry `index` of a list or combo box; moves a grid to row `index`.
    virtual void pick(const ControlDef& control, int index) = 0;
    /// Clicks the control, or double-clicks it.
    virtual void click(const ControlDef& control, bool twice) = 0;
    /// Clicks the cell (row, col) of a grid; "" when the click reached it, else
    /// why it did not ("the cell is not shown").
    virtual std::string clickCell(const ControlDef& control, int row, int col) = 0;
    /// Presses a key on the control that has the focus.
    virtual void press(WindowKey key) = 0;
};

/// Hands that act through the window's control ports and raise its events as
/// the platform would: how a host without real widgets plays a script.
class PALVO_API PortHands : public ScriptHands {
public:
    PortHands(Window& window, WindowFrame& frame) : window_(window), frame_(frame) {}
    bool focus(const ControlDef& control) override;
    void type(const ControlDef& control, const std::string& text) override;
    void pick(const ControlDef& control, int index) override;
    void click(const ControlDef& control, bool twice) override;
    std::string clickCell(const ControlDef& control, int row, int col) override;
    void press(WindowKey key) override;

private:
    Window& window_;
    WindowFrame& frame_;
};

/// Plays one action on a shown window, as a user would: the control gets the
/// focus, then its text, entry, row, click or key, through the host's hands.
/// Throws Palvo::Error 5 naming the script line when the window has no such
/// control, the control does not take the action, or it is disabled. Answer
/// actions are the message box's business and are refused here.
PALVO_API void playAction(Window& window, WindowFrame& frame, ScriptHands& hands, const ScriptAction& action);

/// Hands the answer lines at the head of the script to the message box that
/// takes them; refuses one when there is none.
PALVO_API void queueScriptAnswers(WindowScript& script, ScriptAnswers* answers);

/// The editor a window shows over the current cell of a grid: the first
/// visible floating combo box whose width spans the middle of the cell; ""
/// when there is none.
PALVO_API std::string cellEditor(const Window& window, WindowFrame& frame, const FlexGrid& grid);

}  // namespace Palvo
