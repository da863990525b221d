#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "palvo/clsElse.h"
#include "palvo/lua/executor.h"

namespace Palvo::lua {
namespace {

TEST(LuaExecutor, CheckOnlyCompilesWithoutRunning) {
    Executor lua;
    std::string msg;
    EXPECT_TRUE(lua.executeLine("counter = 41", true, msg));
    // Had the check run the line, counter would exist now.
    EXPECT_TRUE(lua.executeLine("assert(counter == nil)", false, msg)) << msg;
    EXPECT_FALSE(lua.executeLine("counter = = 1", true, msg));
    EXPECT_NE(msg.find("line"), std::string::npos) << msg;
}

TEST(LuaExecutor, ExecuteRunsTheLineAndKeepsItsGlobals) {
    Executor lua;
    std::string msg;
    EXPECT_TRUE(lua.executeLine("counter = 41", false, msg)) << msg;
    EXPECT_TRUE(lua.executeLine("counter = counter + 1", false, msg)) << msg;
    EXPECT_TRUE(lua.executeLine("assert(counter == 42)", false, msg)) << msg;
    EXPECT_FALSE(lua.executeLine("assert(counter == 41, 'counter is ' .. counter)", false, msg));
    EXPECT_NE(msg.find("counter is 42"), std::string::npos) << msg;
}

TEST(LuaExecutor, FailuresAreReportedNotThrown) {
    Executor lua;
    std::string msg;
    struct Case {
        std::string code;
        bool checkOnly;
        bool ok;
    };
    const std::vector<Case> cases = {
        {"", false, true},
        {"local t = {}; t.x.y = 1", true, true},  // a runtime fault compiles fine
        {"local t = {}; t.x.y = 1", false, false},
        {"error({})", false, false},  // error object that is not a text
        {"if x then", true, false},
        {std::string("x = 1\0", 6), true, false},  // a NUL inside the text
        {"\x1bLua\x54", false, false},             // precompiled chunks are refused
        {"\x1bLua\x54", true, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lua.executeLine(c.code, c.checkOnly, msg), c.ok) << c.code;
        if (!c.ok) {
            EXPECT_FALSE(msg.empty()) << c.code;
        }
    }
    EXPECT_TRUE(lua.executeLine("return 1", false, msg)) << msg;  // still usable
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

TEST(LuaExecutor, InstalledItServesClsElse) {
    install();
    clsElse e;
    std::string code = "palvo_seen = true";
    bool check = true;
    EXPECT_TRUE(e.bExecuteCode(code, check));
    code = "assert(palvo_seen == nil)";
    EXPECT_TRUE(e.bExecuteCode(code));
    code = "palvo_seen = true";
    EXPECT_TRUE(e.bExecuteCode(code));
    code = "assert(palvo_seen == nil)";
    EXPECT_FALSE(e.bExecuteCode(code));
    code = "this is not lua";
    EXPECT_FALSE(e.bExecuteCode(code, check));
    installLineExecutor(nullptr);
}

}  // namespace
}  // namespace Palvo::lua
