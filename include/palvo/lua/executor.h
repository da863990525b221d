// A line executor on embedded Lua 5.4: one interpreter state that lives as long
// as the executor, so a line can use what earlier lines defined. A host chooses
// the rights its lines get and the limits that stop a line that would run for
// ever or take all memory. Sandboxed lines run in a process of their own
// (the program palvo-lua-line), which is killed when a line outruns its time.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "palvo/executor.h"
#include "palvo/export.h"

namespace Palvo::lua {

/// What a line may reach.
enum class Rights {
    /// Every standard library: a line can do what the process can (os, io,
    /// require, loading files), like code typed into the host's development
    /// environment.
    Full,
    /// Only computation: base functions without dofile, loadfile and require,
    /// load of source text only, and the coroutine, table, string, math and
    /// utf8 libraries. No os, io, package or debug. The lines run in a
    /// separate process, so the limits hold whatever a line calls.
    Sandboxed,
};

/// Bounds of one line; 0 leaves that bound off.
struct PALVO_API Limits {
    /// Virtual machine instructions a line may run, counted in steps of a
    /// thousand (a line may overrun by less than one step).
    std::uint64_t instructions = 0;
    /// Wall time a line may take, checked every thousand instructions. In
    /// process (full rights) a single long library call or a finalizer runs on
    /// unchecked; a sandboxed line is ended at most half a second after it.
    std::chrono::milliseconds time{0};
    /// Bytes the interpreter state may hold, the globals of earlier lines included.
    std::size_t memory = 0;
};

class PALVO_API Executor : public Palvo::LineExecutor {
public:
    /// Opens a Lua state with the libraries of the rights: in this process for
    /// full rights, in the sandbox program for sandboxed lines (`program`, by
    /// default sandboxProgram()). Throws Palvo::Error 7 when out of memory, 429
    /// naming the program when it cannot be started.
    explicit Executor(Rights rights = Rights::Full, Limits limits = {}, const std::string& program = {});
    ~Executor() override;
    Executor(const Executor&) = delete;
    Executor& operator=(const Executor&) = delete;

    /// Check only compiles the line; otherwise it is compiled and run. Only
    /// source text is accepted, never precompiled chunks. Calls are
    /// serialised. A line stopped by a limit fails with a message that names
    /// the limit; the state stays usable. A sandboxed line that had to be
    /// killed takes the state with it: the next line starts a fresh one.
    bool executeLine(const std::string& code, bool checkOnly, std::string& message) override;

    /// Applies to the lines that start after the call.
    void setLimits(const Limits& limits);
    Limits limits() const;
    Rights rights() const { return rights_; }

private:
    struct State;
    std::unique_ptr<State> state_;
    Rights rights_;
    mutable std::mutex mutex_;
};

/// Where the sandbox program is: beside the shared library (a build tree), in
/// its palvo/ folder (installed), else where this build installs or built it.
PALVO_API std::string sandboxProgram();

/// Installs a new Lua executor as the process's line executor.
PALVO_API void install(Rights rights = Rights::Full, Limits limits = {});

}  // namespace Palvo::lua
