#include <algorithm>

#include "memory_files.h"
#include "palvo/error.h"
#include "palvo/memory/window_host.h"

namespace Palvo::memory {

namespace {
constexpr long kNoSuchControl = 730;  // "Control not found"

std::unique_ptr<Control> makeControl(const ControlDef& def, const WindowLayout& layout) {
    switch (def.kind) {
        case ControlKind::Label: {
            auto label = std::make_unique<Label>(def.name);
            label->Caption(def.caption);
            label->Visible(def.visible);
            label->ToolTipText(def.toolTip);
            return label;
        }
        case ControlKind::TextBox:
        case ControlKind::TextArea: {
            auto box = std::make_unique<TextBox>(def.name, def.caption);
            box->Visible(def.visible);
            return box;
        }
        case ControlKind::ComboBox:
        case ControlKind::DropDown: {
            auto combo = std::make_unique<ComboBox>(def.name);
            if (!def.caption.empty()) combo->Text(def.caption);
            combo->Visible(def.visible);
            return combo;
        }
        case ControlKind::ListBox:
            return std::make_unique<ListBox>(def.name);
        case ControlKind::MSFlexGrid:
            return std::make_unique<FlexGrid>(GridType::MSFlexGrid, def.name);
        case ControlKind::MSHFlexGrid:
            return std::make_unique<FlexGrid>(GridType::MSHFlexGrid, def.name);
        case ControlKind::Button: {
            auto button = std::make_unique<CommandButton>(def.name, def.caption, layout.pictures);
            button->Visible(def.visible);
            button->ToolTipText(def.toolTip);
            return button;
        }
    }
    throw Error(ErrorNumber::InvalidCall, "unknown control kind of " + def.name);
}

bool takesFocus(const Control& c) {
    if (auto* box = dynamic_cast<const Palvo::TextBox*>(&c)) return box->Enabled() && box->Visible();
    if (auto* b = dynamic_cast<const Palvo::CommandButton*>(&c)) return b->Enabled() && b->Visible();
    return dynamic_cast<const Palvo::Label*>(&c) == nullptr;
}
}  // namespace

void CommandButton::Picture(const std::string& picture) {
    if (!picture.empty() && std::find(pictures_.begin(), pictures_.end(), picture) == pictures_.end()) {
        throw Error(ErrorNumber::InvalidCall, "The window has no picture " + picture);
    }
    picture_ = picture;
}

WindowFrame::WindowFrame(Window& window, const WindowLayout& layout)
    : window_(&window),
      name_(layout.name),
      caption_(layout.caption),
      width_(layout.width),
      height_(layout.height) {
    controls_.reserve(layout.controls.size());
    names_.reserve(layout.controls.size());
    for (const ControlDef& def : layout.controls) {
        controls_.push_back(makeControl(def, layout));
        names_.push_back(def.name);
        if (auto* box = dynamic_cast<TextBox*>(controls_.back().get())) textBoxes_.push_back(box);
    }
}

WindowFrame::~WindowFrame() = default;

void WindowFrame::Icon(const std::string& path) {
    detail::requireReadable(path);
    icon_ = path;
}

std::vector<Control*> WindowFrame::Controls() {
    std::vector<Control*> all;
    all.reserve(controls_.size());
    for (auto& c : controls_) all.push_back(c.get());
    return all;
}

Control& WindowFrame::control(std::string_view name) {
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (names_[i] == name) return *controls_[i];
    }
    throw Error(kNoSuchControl, "Control '" + std::string(name) + "' not found on " + name_);
}

void WindowFrame::SetFocus(std::string_view name) {
    Control& c = control(name);
    if (!takesFocus(c)) {
        throw Error(ErrorNumber::InvalidCall,
                    "Invalid procedure call: " + std::string(name) + " cannot take the focus");
    }
    if (active_ == name) return;  // focus that does not move is no focus event
    if (auto* box = dynamic_cast<TextBox*>(&c)) box->SetFocus();
    for (TextBox* box : textBoxes_) {
        if (box != &c) box->blur();
    }
    active_ = std::string(name);
    if (window_) window_->GotFocus(active_);
}

void WindowFrame::Close(UnloadMode mode) {
    if (closing_) return;
    closing_ = true;
    mode_ = mode;
}

WindowHost::WindowHost(std::shared_ptr<WindowScript> script, std::shared_ptr<ScriptedMessageBox> messages)
    : script_(script ? std::move(script) : std::make_shared<WindowScript>()),
      messages_(std::move(messages)) {}

WindowFrame& WindowHost::last() const {
    if (shown_.empty()) throw Error(ErrorNumber::SubscriptOutOfRange, "No window has been shown");
    return *shown_.back();
}

void WindowHost::queueAnswers() { queueScriptAnswers(*script_, messages_.get()); }

void WindowHost::showModal(Window& window) {
    auto owned = std::make_unique<WindowFrame>(window, window.layout());
    WindowFrame& frame = *owned;
    window.attach(&frame);
    try {
        queueAnswers();
        window.Load();
        if (!frame.closing()) window.Activate();
        while (!frame.closing()) {
            queueAnswers();
            if (script_->empty()) {
                frame.Close(UnloadMode::CloseBox);
                break;
            }
            PortHands hands(window, frame);
            playAction(window, frame, hands, script_->take());
        }
        window.Unload(frame.unloadMode());
    } catch (...) {
        // a failing handler or script line still leaves the window closed and reusable
        if (!frame.closing()) frame.Close(UnloadMode::CloseBox);
        try {
            window.Unload(frame.unloadMode());
        } catch (...) {
        }
        window.attach(nullptr);
        frame.detach();
        shown_.push_back(std::move(owned));
        throw;
    }
    window.attach(nullptr);
    frame.detach();
    shown_.push_back(std::move(owned));
}

}  // namespace Palvo::memory
