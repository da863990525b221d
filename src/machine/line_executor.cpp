// The installed line executor and clsElse's bExecuteCode over it.
#include <memory>
#include <mutex>

#include "palvo/clsElse.h"
#include "palvo/error.h"
#include "palvo/executor.h"

namespace Palvo {

LineExecutor::~LineExecutor() = default;

namespace {

std::mutex& executorMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<LineExecutor>& executorSlot() {
    static std::shared_ptr<LineExecutor> executor;
    return executor;
}

}  // namespace

void installLineExecutor(std::shared_ptr<LineExecutor> executor) {
    std::lock_guard lock(executorMutex());
    executorSlot() = std::move(executor);
}

std::shared_ptr<LineExecutor> installedLineExecutor() {
    std::lock_guard lock(executorMutex());
    return executorSlot();
}

bool clsElse::bExecuteCode(std::string& stCode, bool& fCheckOnly) {
    auto executor = installedLineExecutor();
    if (!executor) {
        throw Error(ErrorNumber::NotInstalled,
                    "No line executor is installed: bExecuteCode needs one (Palvo::installLineExecutor).");
    }
    std::string message;
    return executor->executeLine(stCode, fCheckOnly, message);
}

bool clsElse::bExecuteCode(std::string& stCode) {
    bool checkOnly = false;
    return bExecuteCode(stCode, checkOnly);
}

}  // namespace Palvo
