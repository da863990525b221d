// The window tests run on the Qt host too, offscreen: one QApplication for
// the binary, made by a global test environment.
#include <QApplication>
#include <memory>

#include "palvo/qt/window_host.h"
#include "support/qt_application.h"
#include "support/window_hosts.h"

namespace Palvo::testing {

bool haveQtHost() { return true; }

QtTestHost makeQtTestHost(std::shared_ptr<WindowScript> script,
                          std::shared_ptr<memory::ScriptedMessageBox> messages) {
    auto host = std::make_shared<qt::WindowHost>(std::move(script), std::move(messages));
    return QtTestHost{host, [host]() -> Palvo::WindowFrame& { return host->last(); }};
}

}  // namespace Palvo::testing
