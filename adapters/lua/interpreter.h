// The Lua interpreter behind the executor: one state, the libraries of the
// rights, the limits enforced by an instruction hook and the allocator. It runs
// in the host's process for full rights and in the sandbox program
// (palvo-lua-line) for sandboxed lines. Not thread-safe: its owner serialises.
#pragma once

#include <memory>
#include <string>

#include "palvo/lua/executor.h"

namespace Palvo::lua {

class Interpreter {
public:
    /// Throws std::bad_alloc when the state cannot be made.
    Interpreter(Rights rights, Limits limits);
    ~Interpreter();
    Interpreter(const Interpreter&) = delete;
    Interpreter& operator=(const Interpreter&) = delete;

    /// As LineExecutor::executeLine.
    bool executeLine(const std::string& code, bool checkOnly, std::string& message);

    void setLimits(const Limits& limits);
    const Limits& limits() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace Palvo::lua
