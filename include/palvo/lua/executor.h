// A line executor on embedded Lua 5.4: one interpreter state that lives as long
// as the executor, so a line can use what earlier lines defined.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "palvo/executor.h"

namespace Palvo::lua {

class Executor : public Palvo::LineExecutor {
public:
    /// Opens a Lua state with the standard libraries. Throws Palvo::Error 7 when out of memory.
    Executor();
    ~Executor() override;
    Executor(const Executor&) = delete;
    Executor& operator=(const Executor&) = delete;

    /// Check only compiles the line; otherwise it is compiled and run. Only
    /// source text is accepted, never precompiled chunks. Calls are serialised.
    bool executeLine(const std::string& code, bool checkOnly, std::string& message) override;

private:
    struct State;
    std::unique_ptr<State> state_;
    std::mutex mutex_;
};

/// Installs a new Lua executor as the process's line executor.
void install();

}  // namespace Palvo::lua
