// installHost: a host's ports in for the guard's life, the earlier ones back after.
#include <gtest/gtest.h>

#include <optional>

#include "palvo/host.h"
#include "palvo/memory/cursor.h"
#include "palvo/memory/measure.h"
#include "palvo/memory/msgbox.h"
#include "palvo/memory/printer.h"
#include "palvo/memory/spreadsheet.h"
#include "palvo/memory/window_host.h"

namespace Palvo {
namespace {

class NullWriter : public SpreadsheetWriter {
public:
    void save(const Worksheet&, const std::string&) override {}
};

class NullExecutor : public LineExecutor {
public:
    bool executeLine(const std::string&, bool, std::string&) override { return true; }
};

// One of each port, and a factory that counts the connections asked of it.
struct Ports {
    HostPorts ports;
    std::shared_ptr<int> asked = std::make_shared<int>(0);
};

Ports someHost() {
    Ports p;
    p.ports.messageBox = std::make_shared<memory::ScriptedMessageBox>();
    p.ports.windows = std::make_shared<memory::WindowHost>();
    p.ports.printer =
        std::make_shared<memory::RecordingPrinter>(std::make_shared<memory::FixedWidthMeasurer>());
    p.ports.spreadsheetWriter = std::make_shared<NullWriter>();
    p.ports.spreadsheetDesk = std::make_shared<memory::SpreadsheetDesk>();
    p.ports.measurer = std::make_shared<memory::FixedWidthMeasurer>();
    p.ports.lineExecutor = std::make_shared<NullExecutor>();
    p.ports.cursor = std::make_shared<memory::Cursor>();
    p.ports.connections = [asked = p.asked] {
        ++*asked;
        return std::shared_ptr<Connection>();
    };
    return p;
}

// Which port of `expected` is not the one installed now; "" when all are.
std::string portNotInstalled(const HostPorts& expected, const std::shared_ptr<int>& asked) {
    if (installedMessageBox() != expected.messageBox) return "messageBox";
    if (installedWindowHost() != expected.windows) return "windows";
    if (installedPrinter() != expected.printer) return "printer";
    if (&spreadsheetWriter() != expected.spreadsheetWriter.get()) return "spreadsheetWriter";
    if (&spreadsheetDesk() != expected.spreadsheetDesk.get()) return "spreadsheetDesk";
    if (installedTextMeasurer() != expected.measurer) return "measurer";
    if (installedLineExecutor() != expected.lineExecutor) return "lineExecutor";
    if (installedCursorPort() != expected.cursor) return "cursor";
    const int before = *asked;
    newConnection();
    if (*asked != before + 1) return "connections";
    return "";
}

class InstallHost : public ::testing::Test {
protected:
    void SetUp() override {
        before = someHost();
        outer.emplace(installHost(before.ports));
        host = someHost();
    }
    void TearDown() override { outer.reset(); }

    Ports before, host;
    std::optional<HostGuard> outer;
};

TEST_F(InstallHost, EveryPortIsInstalledForTheGuardsLife) {
    {
        const HostGuard guard = installHost(host.ports);
        EXPECT_EQ(portNotInstalled(host.ports, host.asked), "");
    }
    EXPECT_EQ(portNotInstalled(before.ports, before.asked), "");
}

TEST_F(InstallHost, KeepsTheInstalledPortWhereAMemberIsEmpty) {
    HostPorts some;
    some.messageBox = host.ports.messageBox;
    const HostGuard guard = installHost(some);
    HostPorts expected = before.ports;
    expected.messageBox = host.ports.messageBox;
    EXPECT_EQ(portNotInstalled(expected, before.asked), "");
}

TEST_F(InstallHost, AMovedGuardPutsThePortsBackOnlyWhenItsLastHolderGoes) {
    std::optional<HostGuard> first(installHost(host.ports));
    const HostGuard second(std::move(*first));
    first.reset();
    EXPECT_EQ(portNotInstalled(host.ports, host.asked), "");
}

}  // namespace
}  // namespace Palvo
