// The window tests run on the Qt host too, offscreen: one QApplication for
// the binary, made by a global test environment.
#include <QApplication>
#include <memory>

#include "palvo/qt/window_host.h"
#include "support/window_hosts.h"

namespace Palvo::testing {

namespace {
class QtApplication : public ::testing::Environment {
public:
    void SetUp() override {
        if (QApplication::instance()) return;
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[13] = "windows_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

// Registered before main runs; gtest owns and deletes the environment.
[[maybe_unused]] ::testing::Environment* const kQtApplication =
    ::testing::AddGlobalTestEnvironment(new QtApplication);
}  // namespace

bool haveQtHost() { return true; }

QtTestHost makeQtTestHost(std::shared_ptr<WindowScript> script,
                          std::shared_ptr<memory::ScriptedMessageBox> messages) {
    auto host = std::make_shared<qt::WindowHost>(std::move(script), std::move(messages));
    return QtTestHost{host, [host]() -> Palvo::WindowFrame& { return host->last(); }};
}

}  // namespace Palvo::testing
