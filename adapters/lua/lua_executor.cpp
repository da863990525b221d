#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "interpreter.h"
#include "palvo/error.h"
#include "palvo/lua/executor.h"
#include "sandbox_process.h"

namespace Palvo::lua {

namespace {

constexpr const char* kProgramName = "palvo-lua-line";

bool isProgram(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::is_regular_file(p, ec) && ::access(p.c_str(), X_OK) == 0;
}

}  // namespace

struct Executor::State {
    Limits limits;
    std::string program;
    std::unique_ptr<Interpreter> inProcess;  // full rights
    std::unique_ptr<SandboxProcess> sandbox;
};

std::string sandboxProgram() {
    std::vector<std::filesystem::path> places;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&sandboxProgram), &info) != 0 && info.dli_fname != nullptr) {
        const std::filesystem::path library(info.dli_fname);
        const std::string name = library.filename().string();
        if (library.is_absolute() && name.find(".so") != std::string::npos) {
            places.push_back(library.parent_path() / "palvo" / kProgramName);
            places.push_back(library.parent_path() / kProgramName);
        }
    }
    places.emplace_back(PALVO_LUA_LINE_INSTALLED);
    places.emplace_back(PALVO_LUA_LINE_BUILT);
    for (const auto& p : places) {
        if (isProgram(p)) return p.string();
    }
    return places.front().string();  // where it belongs, for the error that names it
}

Executor::Executor(Rights rights, Limits limits, const std::string& program)
    : state_(std::make_unique<State>()), rights_(rights) {
    state_->limits = limits;
    if (rights == Rights::Full) {
        try {
            state_->inProcess = std::make_unique<Interpreter>(rights, limits);
        } catch (const std::bad_alloc&) {
            throw Error(7, "Out of memory: the Lua state could not be created.");
        }
        return;
    }
    state_->program = program.empty() ? sandboxProgram() : program;
    state_->sandbox = std::make_unique<SandboxProcess>(state_->program);
}

Executor::~Executor() = default;

void Executor::setLimits(const Limits& limits) {
    std::lock_guard lock(mutex_);
    state_->limits = limits;
    if (state_->inProcess) state_->inProcess->setLimits(limits);
}

Limits Executor::limits() const {
    std::lock_guard lock(mutex_);
    return state_->limits;
}

bool Executor::executeLine(const std::string& code, bool checkOnly, std::string& message) {
    std::lock_guard lock(mutex_);
    State& s = *state_;
    if (s.inProcess) return s.inProcess->executeLine(code, checkOnly, message);
    if (!s.sandbox || !s.sandbox->alive()) {
        s.sandbox.reset();
        try {
            s.sandbox = std::make_unique<SandboxProcess>(s.program);
        } catch (const Error& e) {
            message = e.description();
            return false;
        }
    }
    return s.sandbox->executeLine(code, checkOnly, s.limits, message);
}

void install(Rights rights, Limits limits) {
    installLineExecutor(std::make_shared<Executor>(rights, limits));
}

}  // namespace Palvo::lua
