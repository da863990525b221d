#include "palvo/msgbox.h"

#include "palvo/error.h"

namespace Palvo {

MessageBoxPort::~MessageBoxPort() = default;

namespace {
std::shared_ptr<MessageBoxPort>& installed() {
    thread_local std::shared_ptr<MessageBoxPort> port;
    return port;
}

[[noreturn]] void noMessageBox(const std::string& text) {
    throw Error(ErrorNumber::NotInstalled,
                "No message box is installed on this thread (Palvo::installMessageBox); message not shown: " + text);
}
}  // namespace

std::shared_ptr<MessageBoxPort> installMessageBox(std::shared_ptr<MessageBoxPort> port) {
    auto previous = std::move(installed());
    installed() = std::move(port);
    return previous;
}

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
