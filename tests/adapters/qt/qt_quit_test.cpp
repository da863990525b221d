// A host that keeps a window host installed for good quits cleanly: the
// library window the host kept goes before the application object does.
// Each case runs qt_quit_host (quit_host.cpp) in a process of its own.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <string>

namespace {

struct QuitCase {
    const char* window;
    const char* quit;
};

class QuitWithWindowKept : public ::testing::TestWithParam<QuitCase> {};

TEST_P(QuitWithWindowKept, ExitsZeroWithNothingOnStandardError) {
    const QuitCase c = GetParam();
    QTemporaryDir dir;
    QTemporaryDir runtime;  // 0700, so Qt has nothing to say about XDG_RUNTIME_DIR
    ASSERT_TRUE(dir.isValid() && runtime.isValid());
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    child.setProcessEnvironment(env);
    child.start(PALVO_QT_QUIT_HOST, {c.window, c.quit, dir.path()});
    ASSERT_TRUE(child.waitForFinished(120000)) << "the host did not quit";
    const QString err = QString::fromUtf8(child.readAllStandardError());
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << err.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << err.toStdString();
    // the offscreen platform notes every size hint of a dialog; anything else is a fault
    for (const QString& line : err.split('\n', Qt::SkipEmptyParts)) {
        EXPECT_EQ(line, "This plugin does not support propagateSizeHints()");
    }
}

std::string caseName(const ::testing::TestParamInfo<QuitCase>& info) {
    return std::string(info.param.window) + "_" + info.param.quit;
}

INSTANTIATE_TEST_SUITE_P(LibraryWindows, QuitWithWindowKept,
                         ::testing::Values(QuitCase{"picker", "exec"}, QuitCase{"picker", "return"},
                                           QuitCase{"finder", "exec"}, QuitCase{"finder", "return"},
                                           QuitCase{"message", "exec"}, QuitCase{"settings", "exec"},
                                           QuitCase{"settings", "return"}, QuitCase{"custom", "exec"},
                                           QuitCase{"custom", "return"}, QuitCase{"progress", "return"}),
                         caseName);

}  // namespace
