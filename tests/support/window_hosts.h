// The window hosts the window tests run on: each test is written once and
// runs on every host (memory, and Qt offscreen). A WindowTestHost installs
// its host and a scripted message box on the thread for its lifetime; after
// a window closed, lastFrame() still reads it.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "palvo/memory/msgbox.h"
#include "palvo/memory/window_host.h"
#include "palvo/msgbox.h"
#include "palvo/qt/window_host.h"
#include "palvo/window.h"
#include "palvo/window_script.h"

namespace Palvo::testing {

enum class HostKind { Memory, Qt };

inline std::string hostName(const ::testing::TestParamInfo<HostKind>& info) {
    return info.param == HostKind::Memory ? "Memory" : "Qt";
}

inline std::vector<HostKind> windowHostKinds() { return {HostKind::Memory, HostKind::Qt}; }

class WindowTestHost {
public:
    WindowTestHost(HostKind kind, const std::string& script)
        : script_(std::make_shared<WindowScript>(parseWindowScript(script))),
          messages_(std::make_shared<memory::ScriptedMessageBox>()),
          messageGuard_(messages_) {
        if (kind == HostKind::Qt)
            use(std::make_shared<qt::WindowHost>(script_, messages_));
        else
            use(std::make_shared<memory::WindowHost>(script_, messages_));
        previous_ = installWindowHost(host_);
    }
    ~WindowTestHost() { installWindowHost(std::move(previous_)); }
    WindowTestHost(const WindowTestHost&) = delete;
    WindowTestHost& operator=(const WindowTestHost&) = delete;

    memory::ScriptedMessageBox& messages() { return *messages_; }
    Palvo::WindowFrame& lastFrame() { return lastFrame_(); }
    /// Actions the windows left unplayed.
    std::size_t unplayed() const { return script_->size(); }

private:
    template <class H>
    void use(std::shared_ptr<H> host) {
        host_ = host;
        lastFrame_ = [host]() -> Palvo::WindowFrame& { return host->last(); };
    }

    std::shared_ptr<WindowScript> script_;
    std::shared_ptr<memory::ScriptedMessageBox> messages_;
    ScopedMessageBox messageGuard_;
    std::shared_ptr<WindowHost> host_;
    std::shared_ptr<WindowHost> previous_;
    std::function<Palvo::WindowFrame&()> lastFrame_;
};

}  // namespace Palvo::testing
