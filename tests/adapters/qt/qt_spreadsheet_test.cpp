// The Qt host's spreadsheet desk: where workbooks go and how many printers there are.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <thread>

#include "palvo/qt/spreadsheet.h"
#include "support/qt_application.h"

namespace Palvo::qt {
namespace {

namespace fs = std::filesystem;

// Sets (or, with nullopt, removes) an environment variable for the life of the guard.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        set(value);
    }
    ~ScopedEnv() { set(old_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void set(const std::optional<std::string>& value) {
        value ? ::setenv(name_, value->c_str(), 1) : ::unsetenv(name_);
    }
    const char* name_;
    std::optional<std::string> old_;
};

// A home of its own, without user-dirs.dirs to move the documents folder.
class QtSpreadsheetDesk : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QTemporaryDir dir;
    const fs::path home = dir.path().toStdString();
    const ScopedEnv homeVar{"HOME", home.string()};
    const ScopedEnv config{"XDG_CONFIG_HOME", std::nullopt};
    SpreadsheetDesk desk;
};

TEST_F(QtSpreadsheetDesk, SavesInHomeDocuments) {
    const fs::path inDocuments = desk.savePath("月报/三月");
    EXPECT_EQ(inDocuments.parent_path(), home / "Documents");
    EXPECT_TRUE(fs::is_directory(home / "Documents")) << "made when missing";
    EXPECT_TRUE(
        std::regex_match(inDocuments.filename().string(), std::regex("月报_三月 \\d{8}-\\d{6}\\.xlsx")))
        << inDocuments;
}

TEST_F(QtSpreadsheetDesk, SavesInHomeWhenDocumentsIsNoFolder) {
    std::ofstream(home / "Documents") << "a file, not a folder";
    EXPECT_EQ(fs::path(desk.savePath("月报")).parent_path(), home);
}

TEST_F(QtSpreadsheetDesk, APrintSystemWithoutPrintersCountsNone) {
    desk.printerCount();  // the print support is loaded on the GUI thread
    // CUPS reads its server once per thread: a fresh thread asks one that is not there
    const ScopedEnv server("CUPS_SERVER", dir.filePath("no-cupsd.sock").toStdString());
    int count = -1;
    std::thread([&] { count = desk.printerCount(); }).join();
    EXPECT_EQ(count, 0);
}

}  // namespace
}  // namespace Palvo::qt
