// A QApplication for the whole binary (QT_QPA_PLATFORM=offscreen comes from the test's environment).
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

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
    char name_[8] = "qt_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

// Registered before main runs; gtest owns and deletes the environment.
[[maybe_unused]] ::testing::Environment* const kQtApplication =
    ::testing::AddGlobalTestEnvironment(new QtApplication);

TEST(QtApplication, ExistsForTheTests) {
    ASSERT_NE(QApplication::instance(), nullptr);
    EXPECT_EQ(QApplication::platformName(), "offscreen");
}

}  // namespace
