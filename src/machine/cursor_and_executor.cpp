#include "src/machine/cursor_and_executor.h"

#include <mutex>

#include "palvo/clsElse.h"
#include "palvo/error.h"

namespace Palvo {

CursorPort::~CursorPort() = default;
LineExecutor::~LineExecutor() = default;

namespace {

std::mutex& portMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<CursorPort>& cursorSlot() {
    static std::shared_ptr<CursorPort> port;
    return port;
}

std::shared_ptr<LineExecutor>& executorSlot() {
    static std::shared_ptr<LineExecutor> executor;
    return executor;
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

void installLineExecutor(std::shared_ptr<LineExecutor> executor) {
    std::lock_guard lock(portMutex());
    executorSlot() = std::move(executor);
}

std::shared_ptr<LineExecutor> installedLineExecutor() {
    std::lock_guard lock(portMutex());
    return executorSlot();
}

}  // namespace Palvo

namespace Palvo::machine {

// A port whose count does not move in the asked direction would keep these
// loops going for ever; they stop as soon as a call makes no progress.
void showMouse(CursorPort& port) {
    int count = port.ShowCursor(true);
    while (count < 1) {
        int next = port.ShowCursor(true);
        if (next <= count) return;
        count = next;
    }
    port.ShowCursor(true);
}

void hideMouse(CursorPort& port) {
    int count = port.ShowCursor(false);
    while (count > 0) {
        int next = port.ShowCursor(false);
        if (next >= count) return;
        count = next;
    }
    port.ShowCursor(false);
}

POINTAPI screenCoordinate(CursorPort& port) {
    POINTAPI pt{};
    if (!port.GetCursorPos(pt)) return {};
    return pt;
}

void showInstalledMouse() {
    if (auto port = installedCursorPort()) showMouse(*port);
}

void hideInstalledMouse() {
    if (auto port = installedCursorPort()) hideMouse(*port);
}

POINTAPI installedCursorPosition() {
    auto port = installedCursorPort();
    return port ? screenCoordinate(*port) : POINTAPI{};
}

bool executeLine(const std::string& code, bool checkOnly) {
    auto executor = installedLineExecutor();
    if (!executor) {
        throw Error(ErrorNumber::NotInstalled,
                    "No line executor is installed: bExecuteCode needs one (Palvo::installLineExecutor).");
    }
    std::string message;
    return executor->executeLine(code, checkOnly, message);
}

}  // namespace Palvo::machine

namespace Palvo {

void clsElse::ShowMouse() { machine::showInstalledMouse(); }

void clsElse::HideMouse() { machine::hideInstalledMouse(); }

POINTAPI clsElse::lSreenCoordinate() { return machine::installedCursorPosition(); }

bool clsElse::bExecuteCode(std::string& stCode) { return machine::executeLine(stCode, false); }

bool clsElse::bExecuteCode(std::string& stCode, bool& fCheckOnly) {
    return machine::executeLine(stCode, fCheckOnly);
}

}  // namespace Palvo
