#include "interpreter.h"

#include <cstdlib>
#include <lua.hpp>
#include <new>
#include <string>
#include <utility>

namespace Palvo::lua {

namespace {

using Clock = std::chrono::steady_clock;

// The count hook runs every this many instructions: rare enough to cost
// nothing measurable, often enough to stop a runaway loop at once.
constexpr int kHookStep = 1000;

// Lets a line call load on source text only: a precompiled chunk can crash
// the interpreter. An environment argument, even nil, is passed on as given.
constexpr const char* kTextOnlyLoad = R"(
local rawload = load
load = function(chunk, name, mode, ...)
  if select('#', ...) > 0 then return rawload(chunk, name, 't', (...)) end
  return rawload(chunk, name, 't')
end
)";

}  // namespace

struct Interpreter::State {
    lua_State* L = nullptr;
    Limits limits;
    // bookkeeping of the running line and the allocator
    std::size_t bytes = 0;
    std::uint64_t steps = 0;
    Clock::time_point started;
    bool running = false;
    bool stopping = false;
    std::string stopReason;

    ~State() {
        if (L) lua_close(L);
    }

    // Every allocation of the state comes here, so that the memory limit holds
    // for library calls too. Lua treats a null result as out of memory.
    static void* allocate(void* ud, void* ptr, std::size_t oldSize, std::size_t newSize) {
        auto* s = static_cast<State*>(ud);
        const std::size_t old = ptr ? oldSize : 0;
        if (newSize == 0) {
            std::free(ptr);
            s->bytes -= old;
            return nullptr;
        }
        if (s->limits.memory != 0 && newSize > old && s->bytes - old + newSize > s->limits.memory)
            return nullptr;
        void* p = std::realloc(ptr, newSize);
        if (p) s->bytes = s->bytes - old + newSize;
        return p;
    }

    static void hook(lua_State* L, lua_Debug*) {
        void* ud = nullptr;
        lua_getallocf(L, &ud);
        auto* s = static_cast<State*>(ud);
        if (!s->running) return;
        // A line may catch the error (pcall, coroutine.resume) and go on: from
        // now on every instruction raises it again until the line has ended.
        if (s->stopping) luaL_error(L, "%s", s->stopReason.c_str());
        s->steps += static_cast<std::uint64_t>(lua_gethookcount(L));
        if (s->limits.instructions != 0 && s->steps > s->limits.instructions) {
            stop(L, *s,
                 "the line was stopped: it ran more than " + std::to_string(s->limits.instructions) +
                     " instructions, the executor's limit");
        }
        if (s->limits.time.count() != 0 && Clock::now() - s->started > s->limits.time) {
            stop(L, *s,
                 "the line was stopped: it ran longer than " + std::to_string(s->limits.time.count()) +
                     " ms, the executor's limit");
        }
    }

    [[noreturn]] static void stop(lua_State* L, State& s, std::string reason) {
        s.stopping = true;
        s.stopReason = std::move(reason);
        lua_sethook(L, &State::hook, LUA_MASKCOUNT, 1);
        luaL_error(L, "%s", s.stopReason.c_str());
        std::abort();  // luaL_error does not return
    }
};

namespace {

void openSandbox(lua_State* L) {
    const luaL_Reg libraries[] = {{LUA_GNAME, luaopen_base},       {LUA_COLIBNAME, luaopen_coroutine},
                                  {LUA_TABLIBNAME, luaopen_table}, {LUA_STRLIBNAME, luaopen_string},
                                  {LUA_MATHLIBNAME, luaopen_math}, {LUA_UTF8LIBNAME, luaopen_utf8}};
    for (const luaL_Reg& lib : libraries) {
        luaL_requiref(L, lib.name, lib.func, 1);
        lua_pop(L, 1);
    }
    for (const char* name : {"dofile", "loadfile", "require"}) {
        lua_pushnil(L);
        lua_setglobal(L, name);
    }
}

}  // namespace

Interpreter::Interpreter(Rights rights, Limits limits) : state_(std::make_unique<State>()) {
    state_->L = lua_newstate(&State::allocate, state_.get());
    if (!state_->L) throw std::bad_alloc();
    lua_State* L = state_->L;
    if (rights == Rights::Sandboxed) {
        openSandbox(L);
        if (luaL_dostring(L, kTextOnlyLoad) != LUA_OK) throw std::bad_alloc();
    } else {
        luaL_openlibs(L);
    }
    // the limits apply to the lines, not to opening the libraries
    state_->limits = limits;
    lua_sethook(L, &State::hook, LUA_MASKCOUNT, kHookStep);
}

Interpreter::~Interpreter() = default;

void Interpreter::setLimits(const Limits& limits) { state_->limits = limits; }

const Limits& Interpreter::limits() const { return state_->limits; }

bool Interpreter::executeLine(const std::string& code, bool checkOnly, std::string& message) {
    State& s = *state_;
    lua_State* L = s.L;
    // "t": a precompiled chunk can crash the interpreter, so only source text is loaded.
    int rc = luaL_loadbufferx(L, code.data(), code.size(), "=line", "t");
    if (rc == LUA_OK && !checkOnly) {
        s.steps = 0;
        s.started = Clock::now();
        s.running = true;
        rc = lua_pcall(L, 0, 0, 0);
        s.running = false;
        if (s.stopping) {
            s.stopping = false;
            lua_sethook(L, &State::hook, LUA_MASKCOUNT, kHookStep);
            // the reason, not whatever a handler of the line made of it; a
            // line that caught it and ended at once was stopped all the same
            if (rc != LUA_OK) lua_pop(L, 1);
            lua_pushstring(L, s.stopReason.c_str());
            rc = LUA_ERRRUN;
        }
    }
    if (rc == LUA_OK) {
        if (checkOnly) lua_pop(L, 1);
        message.clear();
        return true;
    }
    const char* text = lua_tostring(L, -1);
    message = text ? text : "(error object is not a string)";
    if (rc == LUA_ERRMEM && s.limits.memory != 0) {
        message += " (the executor's memory limit is " + std::to_string(s.limits.memory) + " bytes)";
    }
    lua_pop(L, 1);
    // what an interrupted line left behind goes now, not when the limit is hit again
    lua_gc(L, LUA_GCCOLLECT);
    return false;
}

}  // namespace Palvo::lua
