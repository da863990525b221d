// The QApplication of the Qt tests (support/qt_application.h) runs offscreen.
#include "support/qt_application.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace {

TEST(QtApplication, ExistsForTheTests) {
    ASSERT_NE(QApplication::instance(), nullptr);
    EXPECT_EQ(QApplication::platformName(), "offscreen");
}

}  // namespace
