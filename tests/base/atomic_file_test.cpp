// AtomicFile: a file is put in place whole or not at all.
#include "palvo/atomic_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "palvo/error.h"
#include "support/files.h"

namespace Palvo {
namespace {

namespace fs = std::filesystem;

using testing::fileNames;
using testing::readFile;

class FailAt : public FileFaults {
public:
    FailAt(FileStep step, int error) : step_(step), error_(error) {}
    int fault(FileStep step) override { return step == step_ ? error_ : 0; }

private:
    FileStep step_;
    int error_;
};

class AtomicFileTest : public ::testing::Test {
protected:
    testing::ScratchDir scratch_{"palvo_atomic"};
    fs::path dir = scratch_.path;
};

TEST_F(AtomicFileTest, TheDestinationIsAsItWasUntilTheCommit) {
    const fs::path fresh = dir / "new.pdf", older = dir / "old.pdf";
    std::ofstream(older) << "older";
    for (const auto& [path, before] : {std::pair{fresh, false}, std::pair{older, true}}) {
        AtomicFile f(path.string());
        EXPECT_EQ(fs::path(f.temporaryPath()).parent_path(), dir);
        ASSERT_TRUE(f.write("whole", 5));
        EXPECT_EQ(fs::exists(path), before) << "the destination is as it was until the commit";
        EXPECT_EQ(readFile(older), "older");
        f.commit();
    }
    EXPECT_EQ(readFile(fresh), "whole");
    EXPECT_EQ(readFile(older), "whole");
    EXPECT_EQ(fileNames(dir), (std::set<std::string>{"new.pdf", "old.pdf"}));
}

TEST_F(AtomicFileTest, ALinkStaysALink) {
    std::ofstream(dir / "target.xlsx") << "older";
    fs::create_symlink("target.xlsx", dir / "link.xlsx");
    AtomicFile f((dir / "link.xlsx").string());
    f.write("newer", 5);
    f.commit();
    EXPECT_TRUE(fs::is_symlink(dir / "link.xlsx"));
    EXPECT_EQ(readFile(dir / "target.xlsx"), "newer");
}

TEST_F(AtomicFileTest, TemporaryNamesAreHiddenDifferingEachTime) {
    AtomicFile a((dir / "r.pdf").string()), b((dir / "r.pdf").string());
    EXPECT_NE(a.temporaryPath(), b.temporaryPath());
    EXPECT_EQ(fs::path(a.temporaryPath()).filename().string().rfind(".r.pdf.", 0), 0u);
    EXPECT_EQ(readFile(a.openPath()), "");  // the name a library opens reaches the same file
}

// The older file kept, no temporary file left.
TEST_F(AtomicFileTest, AFailingStepLeavesTheFolderAsItWas) {
    struct Case {
        FileStep step;
        int error;
        const char* says;
    };
    const Case cases[] = {
        {FileStep::Create, EACCES, "creating it failed: Permission denied"},
        {FileStep::Write, ENOSPC, "writing failed: No space left on device"},
        {FileStep::Sync, EIO, "syncing it failed: Input/output error"},
        {FileStep::Close, EDQUOT, "closing it failed: Disk quota exceeded"},
        {FileStep::Rename, EXDEV, "putting it in place failed: Invalid cross-device link"},
    };
    const fs::path older = dir / "r.xlsx";
    std::ofstream(older) << "older report";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        ScopedFileFaults faults(std::make_shared<FailAt>(c.step, c.error));
        try {
            AtomicFile f(older.string());
            f.write("newer", 5);
            f.commit();
            ADD_FAILURE() << "no failure";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), 75);
            EXPECT_NE(e.description().find("cannot write " + older.string() + ": " + c.says),
                      std::string::npos)
                << e.description();
        }
        EXPECT_EQ(readFile(older), "older report");
        EXPECT_EQ(fileNames(dir), std::set<std::string>{"r.xlsx"});
    }
}

TEST_F(AtomicFileTest, AnUncommittedFileGoesWithTheObjectOrOnASignal) {
    {
        AtomicFile f((dir / "a.pdf").string());
        f.write("part", 4);
    }
    AtomicFile g((dir / "b.pdf").string());
    ASSERT_TRUE(fs::exists(g.temporaryPath()));
    removeUncommittedFiles();  // what a signal handler calls
    EXPECT_TRUE(fs::is_empty(dir));
}

}  // namespace
}  // namespace Palvo
