#include "palvo/msgbox.h"

#include <algorithm>

#include "palvo/error.h"

namespace Palvo {

MessageBoxPort::~MessageBoxPort() = default;

bool MessageBoxPort::takeMessageWindow(const std::string&, const std::string&) { return false; }

namespace {
std::shared_ptr<MessageBoxPort>& installed() {
    thread_local std::shared_ptr<MessageBoxPort> port;
    return port;
}

[[noreturn]] void noMessageBox(const std::string& text) {
    throw Error(
        ErrorNumber::NotInstalled,
        "No message box is installed on this thread (Palvo::installMessageBox); message not shown: " + text);
}
}  // namespace

std::vector<int> msgBoxButtons(int style) {
    switch (style & 7) {
        case vbOKCancel:
            return {vbOK, vbCancel};
        case vbAbortRetryIgnore:
            return {vbAbort, vbRetry, vbIgnore};
        case vbYesNoCancel:
            return {vbYes, vbNo, vbCancel};
        case vbYesNo:
            return {vbYes, vbNo};
        case vbRetryCancel:
            return {vbRetry, vbCancel};
        default:
            return {vbOK};
    }
}

int msgBoxDefaultAnswer(int style) {
    const std::vector<int> buttons = msgBoxButtons(style);
    std::size_t which = static_cast<std::size_t>((style >> 8) & 3);
    if (which > 2) which = 0;
    return buttons[std::min(which, buttons.size() - 1)];
}

std::shared_ptr<MessageBoxPort> installMessageBox(std::shared_ptr<MessageBoxPort> port) {
    auto previous = std::move(installed());
    installed() = std::move(port);
    return previous;
}

std::shared_ptr<MessageBoxPort> installedMessageBox() { return installed(); }

MessageBoxPort& messageBox() {
    auto& port = installed();
    if (!port) noMessageBox("");
    return *port;
}

int msgBox(const std::string& text, int style, const std::string& title) {
    auto port = installed();  // keep it alive even if the port re-installs during show
    if (!port) noMessageBox(text);
    return port->show(text, style, title);
}

}  // namespace Palvo
