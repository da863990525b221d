#include "palvo/window.h"

#include <array>
#include <utility>

#include "palvo/error.h"

namespace Palvo {

namespace {
constexpr std::array<std::pair<WindowKey, std::string_view>, 7> kKeyNames{{
    {WindowKey::Enter, "Enter"},
    {WindowKey::Esc, "Esc"},
    {WindowKey::F4, "F4"},
    {WindowKey::F5, "F5"},
    {WindowKey::F8, "F8"},
    {WindowKey::Up, "Up"},
    {WindowKey::Down, "Down"},
}};

std::shared_ptr<WindowHost>& installed() {
    thread_local std::shared_ptr<WindowHost> host;
    return host;
}

template <class T>
T& as(WindowFrame& frame, std::string_view name, const char* kind) {
    Control& c = frame.control(name);
    if (auto* typed = dynamic_cast<T*>(&c)) return *typed;
    throw Error(ErrorNumber::TypeMismatch, "Type mismatch: control '" + std::string(name) + "' is a " +
                                               c.typeName() + ", not a " + kind);
}

// The first button of the layout with the flag, if any.
const ControlDef* buttonWith(const WindowLayout& layout, bool ControlDef::*flag) {
    for (const ControlDef& c : layout.controls) {
        if (c.kind == ControlKind::Button && c.*flag) return &c;
    }
    return nullptr;
}
}  // namespace

std::string_view windowKeyName(WindowKey key) {
    for (const auto& [k, name] : kKeyNames) {
        if (k == key) return name;
    }
    return {};
}

bool windowKeyFromName(std::string_view name, WindowKey& key) {
    for (const auto& [k, n] : kKeyNames) {
        if (n == name) {
            key = k;
            return true;
        }
    }
    return false;
}

const ControlDef* WindowLayout::find(std::string_view control) const {
    for (const ControlDef& c : controls) {
        if (c.name == control) return &c;
    }
    return nullptr;
}

Window::~Window() = default;
WindowHost::~WindowHost() = default;

WindowFrame& Window::frame() const {
    if (!frame_) {
        throw Error(91, "Object variable not set: the window " + layout().name + " is not shown");
    }
    return *frame_;
}

ComboBox& Window::combo(std::string_view name) const { return as<ComboBox>(frame(), name, "ComboBox"); }
ListBox& Window::list(std::string_view name) const { return as<ListBox>(frame(), name, "ListBox"); }
TextBox& Window::text(std::string_view name) const { return as<TextBox>(frame(), name, "TextBox"); }
Label& Window::label(std::string_view name) const { return as<Label>(frame(), name, "Label"); }
CommandButton& Window::button(std::string_view name) const {
    return as<CommandButton>(frame(), name, "CommandButton");
}
FlexGrid& Window::grid(std::string_view name) const { return as<FlexGrid>(frame(), name, "FlexGrid"); }

bool Window::pressKey(WindowKey key) {
    WindowFrame& f = frame();
    if (KeyDown(key)) return true;
    if (!shown()) return true;  // the handler closed the window
    const std::string active = f.ActiveControl();
    if (!active.empty() && KeyPress(active, key)) return true;
    if (key != WindowKey::Enter && key != WindowKey::Esc) return false;
    const ControlDef* def =
        buttonWith(layout(), key == WindowKey::Enter ? &ControlDef::isDefault : &ControlDef::isCancel);
    if (def) {
        auto& b = button(def->name);
        if (!b.Enabled() || !b.Visible()) return false;
        Click(def->name);
        return true;
    }
    if (key == WindowKey::Esc) {
        f.Close(UnloadMode::CloseBox);
        return true;
    }
    return false;
}

std::shared_ptr<WindowHost> installWindowHost(std::shared_ptr<WindowHost> host) {
    auto previous = std::move(installed());
    installed() = std::move(host);
    return previous;
}

std::shared_ptr<WindowHost> installedWindowHost() { return installed(); }

void showModal(Window& window) {
    // keep the host alive while it shows the window, even if a handler replaces it
    std::shared_ptr<WindowHost> host = installed();
    if (!host) {
        throw Error(ErrorNumber::NotInstalled,
                    "No window host is installed on this thread "
                    "(Palvo::installWindowHost); window not shown: " +
                        window.layout().name);
    }
    host->showModal(window);
}

}  // namespace Palvo
