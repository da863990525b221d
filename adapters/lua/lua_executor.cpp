#include <lua.hpp>

#include "palvo/error.h"
#include "palvo/lua/executor.h"

namespace Palvo::lua {

struct Executor::State {
    lua_State* L = nullptr;
    ~State() {
        if (L) lua_close(L);
    }
};

Executor::Executor() : state_(std::make_unique<State>()) {
    state_->L = luaL_newstate();
    if (!state_->L) throw Error(7, "Out of memory: the Lua state could not be created.");
    luaL_openlibs(state_->L);
}

Executor::~Executor() = default;

bool Executor::executeLine(const std::string& code, bool checkOnly, std::string& message) {
    std::lock_guard lock(mutex_);
    lua_State* L = state_->L;
    // "t": a precompiled chunk can crash the interpreter, so only source text is loaded.
    int rc = luaL_loadbufferx(L, code.data(), code.size(), "=line", "t");
    if (rc == LUA_OK && !checkOnly) rc = lua_pcall(L, 0, 0, 0);
    if (rc == LUA_OK) {
        if (checkOnly) lua_pop(L, 1);
        message.clear();
        return true;
    }
    const char* text = lua_tostring(L, -1);
    message = text ? text : "(error object is not a string)";
    lua_pop(L, 1);
    return false;
}

void install() { installLineExecutor(std::make_shared<Executor>()); }

}  // namespace Palvo::lua
