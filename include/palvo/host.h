// What a host application gives the library: its platform's ports, in one
// bundle installed by one call. The Qt host makes its bundle with
// Palvo::qt::hostPorts; a batch host (the palvo tool, a test) fills the members
// it has. A host that swaps one port for a while (a test's printer) still has
// that port's own install call and guard.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "palvo/cursor.h"
#include "palvo/data.h"
#include "palvo/executor.h"
#include "palvo/export.h"
#include "palvo/measure.h"
#include "palvo/msgbox.h"
#include "palvo/printer.h"
#include "palvo/spreadsheet.h"
#include "palvo/window.h"

namespace Palvo {

/// The ports of a host. A member left empty keeps the port installed before.
struct PALVO_API HostPorts {
    // the installing thread's: each thread that shows windows or prints installs its own
    std::shared_ptr<MessageBoxPort> messageBox;
    std::shared_ptr<WindowHost> windows;
    std::shared_ptr<Printer> printer;
    std::shared_ptr<SpreadsheetWriter> spreadsheetWriter;
    std::shared_ptr<SpreadsheetDesk> spreadsheetDesk;
    std::shared_ptr<TextMeasurer> measurer;
    // the process's, shared by every thread
    std::shared_ptr<LineExecutor> lineExecutor;
    std::shared_ptr<CursorPort> cursor;
    ConnectionFactory connections;
};

/// Holds a host's ports installed; when it goes, the ports installed before
/// come back (on the thread that installed them). A host application that keeps
/// its ports for good keeps the guard for as long as it runs.
class PALVO_API HostGuard {
public:
    HostGuard(HostGuard&& other) noexcept : undo_(std::move(other.undo_)) { other.undo_.clear(); }
    HostGuard& operator=(HostGuard&&) = delete;
    HostGuard(const HostGuard&) = delete;
    HostGuard& operator=(const HostGuard&) = delete;
    ~HostGuard();

private:
    friend HostGuard installHost(HostPorts ports);
    HostGuard() = default;
    std::vector<std::function<void()>> undo_;  // puts back what each install replaced, last first
};

/// Installs the members of `ports` that are set, on the calling thread and the process.
[[nodiscard]] PALVO_API HostGuard installHost(HostPorts ports);

}  // namespace Palvo
