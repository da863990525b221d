#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "palvo/clsElse.h"
#include "palvo/error.h"
#include "palvo/lua/executor.h"
#include "support/errors.h"

namespace Palvo::lua {
namespace {

const Limits kSteps{200000, std::chrono::milliseconds(0), 0},
    kMemory{0, std::chrono::milliseconds(0), 4 << 20};

TEST(LuaExecutor, CheckOnlyCompilesWithoutRunning) {
    Executor lua;
    std::string msg;
    EXPECT_TRUE(lua.executeLine("counter = 41", true, msg));
    // Had the check run the line, counter would exist now.
    EXPECT_TRUE(lua.executeLine("assert(counter == nil)", false, msg)) << msg;
    EXPECT_FALSE(lua.executeLine("counter = = 1", true, msg));
    EXPECT_NE(msg.find("line"), std::string::npos) << msg;
}

TEST(LuaExecutor, ExecuteRunsKeepingTheGlobals) {
    Executor lua;
    std::string msg;
    EXPECT_TRUE(lua.executeLine("counter = 41", false, msg)) << msg;
    EXPECT_TRUE(lua.executeLine("counter = counter + 1", false, msg)) << msg;
    EXPECT_TRUE(lua.executeLine("assert(counter == 42)", false, msg)) << msg;
    EXPECT_FALSE(lua.executeLine("assert(counter == 41, 'counter is ' .. counter)", false, msg));
    EXPECT_NE(msg.find("counter is 42"), std::string::npos) << msg;
}

TEST(LuaExecutor, CallsFromSeveralThreadsAreSerialised) {
    Executor lua;
    std::string msg;
    ASSERT_TRUE(lua.executeLine("n = 0", false, msg));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&lua] {
            std::string m;
            for (int i = 0; i < 250; ++i) lua.executeLine("n = n + 1", false, m);
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_TRUE(lua.executeLine("assert(n == 1000)", false, msg)) << msg;
}

// The state goes on: the next line runs under the same limits from a fresh count.
TEST(LuaExecutor, ALimitStopsTheLineWithAMessageNamingIt) {
    struct Case {
        const char* what;
        Limits limits;
        std::string code;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"time", {0, std::chrono::milliseconds(50), 0}, "while true do end", "longer than 50 ms"},
        {"instructions", kSteps, "while true do end", "more than 200000 instructions"},
        {"caught by pcall", kSteps, "while true do pcall(function() while true do end end) end", "200000"},
        {"caught by an error handler", kSteps,
         "while true do xpcall(function() while true do end end, function() return 'ok' end) end", "200000"},
        {"caught in a coroutine", kSteps,
         "while true do coroutine.resume(coroutine.create(function() while true do end end)) end", "200000"},
        {"caught at the very end", kSteps, "return pcall(function() while true do end end)", "200000"},
        {"memory", kMemory, "local t = {} for i = 1, 1e8 do t[i] = i end", "memory limit is 4194304 bytes"},
        {"one huge library call", kMemory, "x = string.rep('x', 1e9)", "not enough memory"},
    };
    for (const auto& c : cases) {
        Executor lua(Rights::Full, c.limits);
        std::string msg;
        EXPECT_FALSE(lua.executeLine(c.code, false, msg)) << c.what;
        EXPECT_NE(msg.find(c.says), std::string::npos) << c.what << ": " << msg;
        EXPECT_TRUE(lua.executeLine("local n = 0 for i = 1, 10000 do n = n + i end assert(n == 50005000)",
                                    false, msg))
            << c.what << ": " << msg;
    }
}

// The live and unreaped (zombie) children this thread started.
std::set<pid_t> childrenOfThisThread() {
    std::ifstream in("/proc/self/task/" + std::to_string(::gettid()) + "/children");
    std::set<pid_t> pids;
    for (pid_t p; in >> p;) pids.insert(p);
    return pids;
}

// Failures are reported, not thrown, and a sandboxed line reports what the same line does in process.
TEST(LuaExecutor, ASandboxedLineGivesWhatTheSameLineGivesInProcess) {
    struct Case {
        std::string code;
        bool checkOnly;
        bool ok;
        Limits limits = {};
    };
    const std::vector<Case> cases = {
        {"x = 1", false, true},
        {"", false, true},
        {"x = = 1", true, false},
        {"x = = 1", false, false},
        {"local t = {}; t.x.y = 1", true, true},  // a runtime fault compiles fine
        {"local t = {}; t.x.y = 1", false, false},
        {"error({})", false, false},                                 // an error object that is not a text
        {"error('中\t' .. string.rep('y', 100000))", false, false},  // a long message, whole
        {"\x1bLua\x54", false, false},                               // precompiled chunks are refused
        {"\x1bLua\x54", true, false},
        {std::string("x = 1\0", 6), true, false},  // a NUL inside the text
        {"while true do end", false, false, kSteps},
        {"local t = {} for i = 1, 1e8 do t[i] = i end", false, false, kMemory},
        {"x = string.rep('x', 1e9)", false, false, kMemory},
    };
    for (const auto& c : cases) {
        Executor inProcess(Rights::Full, c.limits);
        Executor sandboxed(Rights::Sandboxed, c.limits);
        std::string expected, got;
        EXPECT_EQ(inProcess.executeLine(c.code, c.checkOnly, expected), c.ok) << c.code.substr(0, 60);
        EXPECT_EQ(expected.empty(), c.ok) << c.code.substr(0, 60);
        EXPECT_EQ(sandboxed.executeLine(c.code, c.checkOnly, got), c.ok) << c.code.substr(0, 60);
        EXPECT_EQ(got, expected) << c.code.substr(0, 60);
        EXPECT_TRUE(inProcess.executeLine("return 1", false, expected)) << expected;  // still usable
    }
}

const Limits sandboxLimits{0, std::chrono::milliseconds(200), 64 << 20};

// What earlier lines defined stays.
TEST(LuaExecutor, ASandboxedLineIsStoppedByTheInterpretersOwnChecks) {
    const Limits& limits = sandboxLimits;
    Executor lua(Rights::Sandboxed, limits);
    std::string msg;
    ASSERT_TRUE(lua.executeLine("kept = 1", false, msg)) << msg;
    lua.setLimits({200000, limits.time, limits.memory});
    EXPECT_FALSE(lua.executeLine("while true do end", false, msg));
    EXPECT_EQ(msg, "the line was stopped: it ran more than 200000 instructions, the executor's limit");
    EXPECT_TRUE(lua.executeLine("assert(kept == 1)", false, msg)) << msg;
}

// Library calls and finalizers no instruction count sees: the process is killed, and the next line
// starts afresh.
TEST(LuaExecutor, ASandboxedLineEndsWithinItsTimeWhateverItCalls) {
    Executor lua(Rights::Sandboxed, sandboxLimits);
    const std::set<pid_t> before = childrenOfThisThread();
    std::string msg;
    for (const char* line : {
             "string.rep('a', 100000):find('.-.-.-b')",
             "table.move({}, 1, 1e14, 1)",
             "string.rep('', 1e15)",
             "setmetatable({}, {__gc = function() while true do end end}) collectgarbage()",
             "pcall(string.find, string.rep('a', 100000), '.-.-.-b')",
         }) {
        ASSERT_TRUE(lua.executeLine("kept = 1", false, msg)) << msg;
        EXPECT_FALSE(lua.executeLine(line, false, msg)) << line;
        EXPECT_EQ(msg,
                  "the line was stopped: it ran longer than 200 ms, the executor's limit; the next line "
                  "starts afresh, without what earlier lines defined")
            << line;
        // the killed process is reaped at once, not left a zombie
        EXPECT_EQ(childrenOfThisThread().size(), before.size() - 1) << line;
        EXPECT_TRUE(lua.executeLine("assert(kept == nil)", false, msg)) << line << ": " << msg;
    }
}

TEST(LuaExecutor, AKilledSandboxProcessIsReported) {
    const std::set<pid_t> before = childrenOfThisThread();
    {
        Executor lua(Rights::Sandboxed);
        std::set<pid_t> started = childrenOfThisThread();
        ASSERT_EQ(started.size(), before.size() + 1);
        for (pid_t p : before) started.erase(p);
        const pid_t child = *started.begin();
        // without a time limit only the executor's owner can end the line; here someone else does
        std::string msg;
        bool ok = true;
        std::thread line([&] { ok = lua.executeLine("while true do end", false, msg); });
        ::kill(child, SIGTERM);
        line.join();
        EXPECT_FALSE(ok);
        EXPECT_EQ(msg,
                  "the line was stopped: the sandbox process was ended by signal 15 (SIGTERM); the next line "
                  "starts afresh, without what earlier lines defined");
        EXPECT_EQ(childrenOfThisThread(), before);
        EXPECT_TRUE(lua.executeLine("x = 1", false, msg)) << msg;
    }
}

// Even with a finalizer behind, left by a line that returned, that would never end.
TEST(LuaExecutor, TheSandboxProcessGoesWithTheExecutor) {
    const std::set<pid_t> before = childrenOfThisThread();
    {
        Executor lua(Rights::Sandboxed);
        std::string msg;
        EXPECT_TRUE(
            lua.executeLine("setmetatable({}, {__gc = function() while true do end end})", false, msg));
    }
    EXPECT_EQ(childrenOfThisThread(), before);
}

TEST(LuaExecutor, ASandboxProgramThatCannotStartIsNamed) {
    for (const auto& [program, why] : std::vector<std::pair<std::string, std::string>>{
             {"/nonexistent/palvo-lua-line", "No such file or directory"},
             {"/bin/true", "it ended with exit status 0"},
             {"/dev/null", "Permission denied"}}) {
        const std::string& path = program;
        EXPECT_EQ(testing::errorOf([&] { const Executor lua(Rights::Sandboxed, {}, path); }),
                  std::make_pair(429L, "The sandboxed line executor could not start its program " + program +
                                           ": " + why));
    }
}

TEST(LuaExecutor, ASandboxedLineComputesButReachesNothingOutside) {
    EXPECT_EQ(::access(sandboxProgram().c_str(), X_OK), 0) << sandboxProgram();
    Executor lua(Rights::Sandboxed);
    std::string msg;
    for (const char* absent : {"os", "io", "package", "debug", "require", "dofile", "loadfile"})
        EXPECT_TRUE(lua.executeLine(std::string("assert(") + absent + " == nil)", false, msg))
            << absent << msg;
    for (const char* line : {
             "assert(string.upper('a') == 'A' and math.max(1, 2) == 2 and #table.pack(1, 2) == 2 and "
             "utf8.len('中文') == 2)",
             "assert(load('return 7')() == 7 and load('return x', 'n', 't', {x = 3})() == 3)",
             "local f, e = load(string.dump(function() end)) assert(f == nil and e:find('binary'))",
         })
        EXPECT_TRUE(lua.executeLine(line, false, msg)) << line << msg;
    Executor full;
    EXPECT_TRUE(full.executeLine("assert(os.time and io.open and require)", false, msg)) << msg;
}

TEST(LuaExecutor, InstalledItServesClsElse) {
    install();
    clsElse e;
    bool check = true;
    // a checked line leaves no global behind, a run one does
    for (auto [line, checkOnly, ok] :
         std::vector<std::tuple<std::string, bool, bool>>{{"palvo_seen = true", true, true},
                                                          {"assert(palvo_seen == nil)", false, true},
                                                          {"palvo_seen = true", false, true},
                                                          {"assert(palvo_seen == nil)", false, false},
                                                          {"this is not lua", true, false}}) {
        std::string code = line;
        EXPECT_EQ(checkOnly ? e.bExecuteCode(code, check) : e.bExecuteCode(code), ok) << line;
    }
    installLineExecutor(nullptr);
}

}  // namespace
}  // namespace Palvo::lua
