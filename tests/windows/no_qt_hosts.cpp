// Until the Qt window host is built, the window tests run on the memory host alone.
#include "support/window_hosts.h"

namespace Palvo::testing {

bool haveQtHost() { return false; }

QtTestHost makeQtTestHost(std::shared_ptr<WindowScript>, std::shared_ptr<memory::ScriptedMessageBox>) {
    throw Error(ErrorNumber::NotInstalled, "no Qt window host in this build");
}

}  // namespace Palvo::testing
