#include <utility>

#include "palvo/host.h"

namespace Palvo {

HostGuard::~HostGuard() {
    for (auto it = undo_.rbegin(); it != undo_.rend(); ++it) (*it)();
}

namespace {

// Installs `port` through `install`, which returns the port it replaced, and
// keeps the way back.
template <class Port>
void swapIn(std::vector<std::function<void()>>& undo, std::shared_ptr<Port> port,
            std::shared_ptr<Port> (*install)(std::shared_ptr<Port>)) {
    if (!port) return;
    undo.emplace_back(
        [install, previous = install(std::move(port))]() mutable { install(std::move(previous)); });
}

// The same for a port whose install returns nothing: `installed` reads the one replaced.
template <class Port>
void swapIn(std::vector<std::function<void()>>& undo, std::shared_ptr<Port> port,
            void (*install)(std::shared_ptr<Port>), std::shared_ptr<Port> (*installed)()) {
    if (!port) return;
    auto previous = installed();
    install(std::move(port));
    undo.emplace_back([install, previous = std::move(previous)]() mutable { install(std::move(previous)); });
}

}  // namespace

HostGuard installHost(HostPorts ports) {
    HostGuard g;
    swapIn(g.undo_, std::move(ports.messageBox), installMessageBox);
    swapIn(g.undo_, std::move(ports.windows), installWindowHost);
    swapIn(g.undo_, std::move(ports.printer), installPrinter);
    swapIn(g.undo_, std::move(ports.spreadsheetWriter), installSpreadsheetWriter);
    swapIn(g.undo_, std::move(ports.spreadsheetDesk), installSpreadsheetDesk);
    swapIn(g.undo_, std::move(ports.measurer), installTextMeasurer, installedTextMeasurer);
    swapIn(g.undo_, std::move(ports.lineExecutor), installLineExecutor, installedLineExecutor);
    swapIn(g.undo_, std::move(ports.cursor), installCursorPort, installedCursorPort);
    if (ports.connections) {
        g.undo_.emplace_back([previous = installedConnectionFactory()]() mutable {
            installConnectionFactory(std::move(previous));
        });
        installConnectionFactory(std::move(ports.connections));
    }
    return g;
}

}  // namespace Palvo
