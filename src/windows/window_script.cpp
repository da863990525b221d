#include "palvo/window_script.h"

#include <charconv>

#include "palvo/error.h"
#include "palvo/msgbox.h"
#include "palvo/text.h"

namespace Palvo {

namespace {
using base::trimBlanks;

// Splits off the first word; the rest keeps its leading blanks.
std::string_view firstWord(std::string_view& rest) {
    std::size_t end = 0;
    while (end < rest.size() && rest[end] != ' ' && rest[end] != '\t' && rest[end] != '=') ++end;
    std::string_view word = rest.substr(0, end);
    rest.remove_prefix(end);
    return word;
}

[[noreturn]] void badLine(int line, std::string_view source, const std::string& why) {
    throw Error(ErrorNumber::InvalidCall,
                "window script line " + std::to_string(line) + " (" + std::string(source) + "): " + why);
}

bool parseIndex(std::string_view text, int& index) {
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, index);
    return ec == std::errc() && p == end && index >= 0;
}

int parseAnswer(std::string_view word) {
    if (word == "yes") return vbYes;
    if (word == "no") return vbNo;
    if (word == "ok") return vbOK;
    if (word == "cancel") return vbCancel;
    return 0;
}

ScriptAction parseLine(std::string_view raw, int line) {
    ScriptAction a;
    a.line = line;
    a.source = std::string(trimBlanks(raw));
    std::string_view rest = raw;
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
    const std::string_view word = firstWord(rest);
    const std::string_view afterWord = trimBlanks(rest);
    if (!afterWord.empty() && afterWord.front() == '=') {
        // CONTROL = TEXT: the text is everything after "= ", blanks included
        std::string_view text = rest.substr(rest.find('=') + 1);
        if (!text.empty() && text.front() == ' ') text.remove_prefix(1);
        a.kind = ScriptAction::Kind::SetText;
        a.control = std::string(word);
        a.text = std::string(text);
        return a;
    }
    std::string_view head = afterWord;
    if (word == "grid") {
        // grid CONTROL R C [= TEXT]: the text is everything after "= ", as for CONTROL = TEXT
        if (const std::size_t eq = rest.find('='); eq != std::string_view::npos) {
            head = trimBlanks(rest.substr(0, eq));
            std::string_view text = rest.substr(eq + 1);
            if (!text.empty() && text.front() == ' ') text.remove_prefix(1);
            a.text = std::string(text);
            a.hasText = true;
        }
    }
    std::vector<std::string_view> args;
    for (std::string_view r = head; !r.empty(); r = trimBlanks(r)) {
        std::string_view arg = firstWord(r);
        if (arg.empty()) {
            // an '=' where the action takes no text: a word of its own, which the checks refuse
            arg = r.substr(0, 1);
            r.remove_prefix(1);
        }
        args.push_back(arg);
    }
    const auto want = [&](std::size_t n, const char* form) {
        if (args.size() != n) badLine(line, a.source, std::string("expected ") + form);
    };
    if (word == "select") {
        want(2, "select CONTROL N");
        a.kind = ScriptAction::Kind::Select;
        a.control = std::string(args[0]);
        if (!parseIndex(args[1], a.index)) badLine(line, a.source, "N must be a number from 0");
    } else if (word == "click" || word == "dblclick") {
        want(1, word == "click" ? "click CONTROL" : "dblclick CONTROL");
        a.kind = word == "click" ? ScriptAction::Kind::Click : ScriptAction::Kind::DblClick;
        a.control = std::string(args[0]);
    } else if (word == "grid") {
        want(3, "grid CONTROL ROW COL [= TEXT]");
        a.kind = ScriptAction::Kind::Grid;
        a.control = std::string(args[0]);
        if (!parseIndex(args[1], a.index) || !parseIndex(args[2], a.col)) {
            badLine(line, a.source, "ROW and COL must be numbers from 0");
        }
    } else if (word == "key") {
        want(1, "key NAME");
        a.kind = ScriptAction::Kind::Key;
        if (!windowKeyFromName(args[0], a.key)) {
            badLine(line, a.source, "no such key (Enter, Esc, F4, F5, F8, Up, Down)");
        }
    } else if (word == "answer") {
        want(1, "answer yes|no|ok|cancel");
        a.kind = ScriptAction::Kind::Answer;
        a.answer = parseAnswer(args[0]);
        if (a.answer == 0) badLine(line, a.source, "the answer is one of yes, no, ok, cancel");
    } else {
        badLine(line, a.source, "not an action (CONTROL = TEXT, select, click, dblclick, grid, key, answer)");
    }
    return a;
}

[[noreturn]] void refuse(const ScriptAction& a, const std::string& why) { refuseScriptAction(a, why); }

// The control the action names, checked against the open window and the action.
const ControlDef& target(const Window& window, WindowFrame& frame, const ScriptAction& a) {
    const ControlDef* def = window.layout().find(a.control);
    if (!def) refuse(a, "the window " + window.layout().name + " has no control " + a.control);
    checkScriptAction(a, frame.control(a.control));
    return *def;
}

// What a user's mouse does first: the control takes the focus.
void focus(ScriptHands& hands, const ControlDef& def, const ScriptAction& a) {
    if (def.kind == ControlKind::Label) return;
    if (!hands.focus(def)) refuse(a, def.name + " is disabled or hidden");
}

// Text into a text box; into a combo box, its entry of that text picked, else typed where it can be.
void setText(WindowFrame& frame, ScriptHands& hands, const ControlDef& def, const ScriptAction& a) {
    if (auto* combo = dynamic_cast<ComboBox*>(&frame.control(def.name))) {
        for (int i = 0; i < combo->ListCount(); ++i) {
            if (combo->List(i) == a.text) return hands.pick(def, i);
        }
        if (def.kind == ControlKind::DropDown) refuse(a, a.control + " has no entry " + a.text);
    }
    hands.type(def, a.text);
}

// A click on a cell, then the text through the editor the window shows over it.
void gridCell(Window& window, WindowFrame& frame, ScriptHands& hands, const ControlDef& def,
              const ScriptAction& a) {
    if (const std::string missed = hands.clickCell(def, a.index, a.col); !missed.empty()) refuse(a, missed);
    if (!a.hasText || frame.closing()) return;
    ScriptAction typed = a;
    typed.kind = ScriptAction::Kind::SetText;
    typed.control = cellEditor(window, frame, dynamic_cast<FlexGrid&>(frame.control(def.name)));
    if (typed.control.empty()) refuse(a, "no editor shows over the cell");
    const ControlDef& editor = target(window, frame, typed);
    focus(hands, editor, typed);
    if (!frame.closing()) setText(frame, hands, editor, typed);
}
}  // namespace

void refuseScriptAction(const ScriptAction& a, const std::string& why) { badLine(a.line, a.source, why); }

void checkScriptAction(const ScriptAction& a, Control& c) {
    switch (a.kind) {
        case ScriptAction::Kind::SetText:
            if (!dynamic_cast<TextBox*>(&c) && !dynamic_cast<ComboBox*>(&c)) {
                refuse(a, a.control + " is a " + c.typeName() + ", which takes no text");
            }
            break;
        case ScriptAction::Kind::Select: {
            if (auto* list = dynamic_cast<ListControl*>(&c)) {
                if (a.index >= list->ListCount()) {
                    refuse(a, a.control + " has " + std::to_string(list->ListCount()) + " entries");
                }
                break;
            }
            auto* grid = dynamic_cast<FlexGrid*>(&c);
            if (!grid) refuse(a, a.control + " is a " + c.typeName() + ", which has no entries");
            if (a.index < grid->FixedRows() || a.index >= grid->Rows()) {
                refuse(a, a.control + " has data rows " + std::to_string(grid->FixedRows()) + " to " +
                              std::to_string(grid->Rows() - 1));
            }
            break;
        }
        case ScriptAction::Kind::Grid: {
            auto* grid = dynamic_cast<FlexGrid*>(&c);
            if (!grid) refuse(a, a.control + " is a " + c.typeName() + ", which has no cells");
            if (a.index < grid->FixedRows() || a.index >= grid->Rows() || a.col < grid->FixedCols() ||
                a.col >= grid->Cols()) {
                refuse(a, a.control + " has data cells in rows " + std::to_string(grid->FixedRows()) +
                              " to " + std::to_string(grid->Rows() - 1) + ", columns " +
                              std::to_string(grid->FixedCols()) + " to " + std::to_string(grid->Cols() - 1));
            }
            break;
        }
        case ScriptAction::Kind::Click:
        case ScriptAction::Kind::DblClick:
            if (auto* b = dynamic_cast<CommandButton*>(&c)) {
                if (!b->Enabled() || !b->Visible()) refuse(a, a.control + " is disabled or hidden");
            }
            if (auto* l = dynamic_cast<Label*>(&c)) {
                if (!l->Enabled() || !l->Visible()) refuse(a, a.control + " is disabled or hidden");
            }
            break;
        case ScriptAction::Kind::Key:
            break;
        case ScriptAction::Kind::Answer:
            refuse(a, "an answer is for a message box");
    }
}

std::vector<ScriptAction> parseWindowScript(std::string_view text) {
    std::vector<ScriptAction> actions;
    int line = 0;
    while (!text.empty()) {
        ++line;
        const std::size_t end = text.find('\n');
        std::string_view raw = text.substr(0, end);
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);  // a file written on Windows
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const std::string_view t = trimBlanks(raw);
        if (t.empty() || t.front() == '#') continue;
        actions.push_back(parseLine(raw, line));
    }
    return actions;
}

ScriptAnswers::~ScriptAnswers() = default;

ScriptAction WindowScript::take() {
    ScriptAction a = std::move(actions_.front());
    actions_.pop_front();
    return a;
}

ScriptHands::~ScriptHands() = default;

void playAction(Window& window, WindowFrame& frame, ScriptHands& hands, const ScriptAction& a) {
    if (a.kind == ScriptAction::Kind::Answer) refuse(a, "an answer is for a message box");
    if (a.kind == ScriptAction::Kind::Key) return hands.press(a.key);
    const ControlDef& def = target(window, frame, a);
    focus(hands, def, a);
    if (frame.closing()) return;  // the focus moving closed it
    switch (a.kind) {
        case ScriptAction::Kind::SetText:
            setText(frame, hands, def, a);
            break;
        case ScriptAction::Kind::Select:
            hands.pick(def, a.index);
            break;
        case ScriptAction::Kind::Click:
        case ScriptAction::Kind::DblClick:
            hands.click(def, a.kind == ScriptAction::Kind::DblClick);
            break;
        case ScriptAction::Kind::Grid:
            gridCell(window, frame, hands, def, a);
            break;
        case ScriptAction::Kind::Key:
        case ScriptAction::Kind::Answer:
            break;
    }
}

void queueScriptAnswers(WindowScript& script, ScriptAnswers* answers) {
    while (!script.empty() && script.front().kind == ScriptAction::Kind::Answer) {
        const ScriptAction a = script.take();
        if (!answers) refuse(a, "no message box takes answers here");
        answers->answer(a.answer);
    }
}

bool PortHands::focus(const ControlDef& control) {
    try {
        frame_.SetFocus(control.name);
        return true;
    } catch (const Error&) {
        return false;
    }
}

void PortHands::type(const ControlDef& control, const std::string& text) {
    Control& c = frame_.control(control.name);
    if (auto* box = dynamic_cast<TextBox*>(&c)) {
        box->Text(text);
    } else {
        dynamic_cast<ComboBox&>(c).Text(text);
    }
    window_.Change(control.name);
}

void PortHands::pick(const ControlDef& control, int index) {
    Control& c = frame_.control(control.name);
    if (auto* list = dynamic_cast<ListControl*>(&c)) {
        list->ListIndex(index);
        window_.Click(control.name);
        return;
    }
    auto& grid = dynamic_cast<FlexGrid&>(c);
    const bool moved = grid.Row() != index;
    grid.Row(index);
    if (moved) window_.RowColChange(control.name);
}

void PortHands::click(const ControlDef& control, bool twice) {
    if (twice) {
        window_.DblClick(control.name);
    } else {
        window_.Click(control.name);
    }
}

std::string PortHands::clickCell(const ControlDef& control, int row, int col) {
    auto& grid = dynamic_cast<FlexGrid&>(frame_.control(control.name));
    const bool moved = grid.Row() != row || grid.Col() != col;
    grid.Row(row);
    grid.Col(col);
    if (moved) window_.RowColChange(control.name);
    if (!frame_.closing()) window_.Click(control.name);
    return {};
}

void PortHands::press(WindowKey key) { window_.pressKey(key); }

std::string cellEditor(const Window& window, WindowFrame& frame, const FlexGrid& grid) {
    const std::int32_t middle = grid.Left() + grid.CellLeft() + grid.CellWidth() / 2;
    for (const ControlDef& def : window.layout().controls) {
        if (!def.floats) continue;
        auto* box = dynamic_cast<ComboBox*>(&frame.control(def.name));
        if (box && box->Visible() && box->Left() <= middle && middle < box->Left() + box->Width()) {
            return def.name;
        }
    }
    return {};
}

}  // namespace Palvo
