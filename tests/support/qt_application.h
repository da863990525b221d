// A QApplication for the whole test binary (QT_QPA_PLATFORM=offscreen comes
// from the test's environment). Include it in exactly one file of a binary.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace Palvo::testing {

class QtApplication : public ::testing::Environment {
public:
    void SetUp() override {
        if (QApplication::instance()) return;
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[11] = "palvo-test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

// Registered before main runs; gtest owns and deletes the environment.
[[maybe_unused]] inline ::testing::Environment* const kQtApplication =
    ::testing::AddGlobalTestEnvironment(new QtApplication);

}  // namespace Palvo::testing
