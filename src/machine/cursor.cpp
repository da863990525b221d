// The installed cursor port and clsElse's pointer methods over it.
#include "palvo/cursor.h"

#include <memory>
#include <mutex>

#include "palvo/clsElse.h"

namespace Palvo {

CursorPort::~CursorPort() = default;

namespace {

std::mutex& portMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<CursorPort>& cursorSlot() {
    static std::shared_ptr<CursorPort> port;
    return port;
}

}  // namespace

void installCursorPort(std::shared_ptr<CursorPort> port) {
    std::lock_guard lock(portMutex());
    cursorSlot() = std::move(port);
}

std::shared_ptr<CursorPort> installedCursorPort() {
    std::lock_guard lock(portMutex());
    return cursorSlot();
}

// A port whose count does not move in the asked direction would keep these
// loops going for ever; they stop as soon as a call makes no progress.

void clsElse::ShowMouse() {
    const auto port = installedCursorPort();
    if (!port) return;
    // raises the display count until it is at least 1, then once more
    int count = port->ShowCursor(true);
    while (count < 1) {
        const int next = port->ShowCursor(true);
        if (next <= count) return;
        count = next;
    }
    port->ShowCursor(true);
}

void clsElse::HideMouse() {
    const auto port = installedCursorPort();
    if (!port) return;
    // lowers the display count until it is at most 0, then once more
    int count = port->ShowCursor(false);
    while (count > 0) {
        const int next = port->ShowCursor(false);
        if (next >= count) return;
        count = next;
    }
    port->ShowCursor(false);
}

POINTAPI clsElse::lSreenCoordinate() {
    // one read into a zeroed record; (0, 0) without a port or when the read fails
    POINTAPI pt{};
    const auto port = installedCursorPort();
    if (!port || !port->GetCursorPos(pt)) return {};
    return pt;
}

}  // namespace Palvo
