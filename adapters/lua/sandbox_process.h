// The parent's side of the sandbox program (palvo-lua-line): starts it, hands
// it lines, ends a line the program does not finish in time by killing it, and
// reaps it.
#pragma once

#include <sys/types.h>

#include <string>

#include "palvo/lua/executor.h"

namespace Palvo::lua {

class SandboxProcess {
public:
    /// Starts the program and waits until its interpreter is ready. Throws
    /// Palvo::Error 429 naming the program when it cannot be started.
    explicit SandboxProcess(const std::string& program);
    /// Kills the program and reaps it; its state is not worth a clean exit.
    ~SandboxProcess();
    SandboxProcess(const SandboxProcess&) = delete;
    SandboxProcess& operator=(const SandboxProcess&) = delete;

    /// Runs or checks one line under the limits. The result and message are the
    /// interpreter's; when the program had to be killed or ended by itself,
    /// the message says so and alive() is false from then on.
    bool executeLine(const std::string& code, bool checkOnly, const Limits& limits, std::string& message);
    bool alive() const { return pid_ > 0; }

private:
    void end();
    // waits for the ended program and says how it ended
    std::string reap();

    pid_t pid_ = -1;
    int fd_ = -1;
};

}  // namespace Palvo::lua
