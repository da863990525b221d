// Database files this process may not change, on a read-only mount, or on a full
// disk: they open for reading, and a change is refused in words that say why.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "palvo/error.h"
#include "palvo/sqlite/connection.h"
#include "support/errors.h"
#include "support/processes.h"

namespace Palvo::testing {
namespace {

constexpr uid_t kOwner = 4242;    // the account that made the database
constexpr uid_t kReader = 65534;  // nobody: may read the file, not write it

// Runs `body` in a child process as account `uid` (its group of the same number);
// its exit status is the number of failures.
template <class Body>
int asAccount(uid_t uid, Body body) {
    return waitChild(runChild([&] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(uid) != 0 || ::setuid(uid) != 0) return 90;
        return body();
    }));
}

// A folder of its own for the calling test, owned by `owner` with `mode`.
std::string folder(const std::string& name, uid_t owner, mode_t mode) {
    const std::string dir = ::testing::TempDir() + "palvo_files_" + std::to_string(::getpid()) + "/" + name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    ::chmod((::testing::TempDir() + "palvo_files_" + std::to_string(::getpid())).c_str(), 0755);
    if (::chown(dir.c_str(), owner, owner) != 0 || ::chmod(dir.c_str(), mode) != 0) return {};
    return dir;
}

long long count(sqlite::Connection& c) { return c.Query("select count(*) from 客户").at(0, 0).toInt64(); }

// Makes the database with `rows` rows, as the account running it.
int makeDatabase(const std::string& file, int rows) {
    sqlite::Connection c;
    c.Open(file);
    c.Execute("create table 客户 (编号 int not null, 名称 nvarchar(40) null)");
    for (int i = 0; i < rows; ++i)
        c.ExecuteWith("insert into 客户 values (?, ?)",
                      {i, "客户" + std::to_string(i) + std::string(20, 'x')});
    return count(c) == rows ? 0 : 1;
}

bool ownedBy(const std::string& dir, uid_t uid) {
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        struct stat st {};
        if (::stat(entry.path().c_str(), &st) == 0 && st.st_uid == uid) return true;
    }
    return false;
}

void removeCompanions(const std::string& file) {
    for (const char* tail : {"-wal", "-shm"}) std::filesystem::remove(file + tail);
}

// The count a fresh connection reads, and the error a change meets ("" when it is made).
struct Outcome {
    long long rows = -1;
    std::string change;
};

TEST(SqliteFiles, AReaderThatMayNotWriteLeavesNothingThatLocksTheOwnerOut) {
    if (::geteuid() != 0) GTEST_SKIP() << "acting as two accounts needs root";
    for (const bool companions : {true, false}) {
        SCOPED_TRACE(companions ? "-wal and -shm left by the owner" : "the file alone");
        // a shared folder where every account may make files
        const std::string dir = folder(companions ? "shared" : "shared_alone", 0, 01777);
        const std::string file = dir + "/账目.db";
        ASSERT_EQ(asAccount(kOwner, [&] { return makeDatabase(file, 1); }), 0);
        if (!companions) removeCompanions(file);
        const std::string readOnly =
            "The database '" + file + "' is open for reading only: this account may not change it.";
        EXPECT_EQ(asAccount(kReader,
                            [&] {
                                sqlite::Connection c;
                                c.Open(file);
                                const std::string refused =
                                    errorDescription([&] { c.Execute("delete from 客户"); });
                                return (count(c) == 1 ? 0 : 1) + (refused == readOnly ? 0 : 2);
                            }),
                  0);
        EXPECT_FALSE(ownedBy(dir, kReader)) << "the reader made a file beside the database";
        EXPECT_EQ(asAccount(kOwner,
                            [&] {
                                sqlite::Connection c;
                                c.Open(file);
                                c.Execute("insert into 客户 values (2, N'乙')");
                                return count(c) == 2 ? 0 : 1;
                            }),
                  0);
    }
}

TEST(SqliteFiles, AFolderTheAccountMayNotWriteStillOpensForReading) {
    if (::geteuid() != 0) GTEST_SKIP() << "acting as two accounts needs root";
    const std::string dir = folder("owners", kOwner, 0755);
    const std::string file = dir + "/账目.db";
    ASSERT_EQ(asAccount(kOwner, [&] { return makeDatabase(file, 3); }), 0);
    for (const bool companions : {true, false}) {
        SCOPED_TRACE(companions ? "-wal and -shm left by the owner" : "an archived copy: the file alone");
        if (!companions) removeCompanions(file);
        EXPECT_EQ(asAccount(kReader,
                            [&] {
                                sqlite::Connection c;
                                c.Open(file);
                                return count(c) == 3 ? 0 : 1;
                            }),
                  0);
    }
}

TEST(SqliteFiles, ACopyPutInPlaceOfAClosedDatabaseReadsNothingFromTheCompanionsKept) {
    const std::string dir = folder("restored", 0, 0755);
    const std::string file = dir + "/账目.db", backup = dir + "/备份.db";
    ASSERT_EQ(makeDatabase(backup, 2), 0);
    ASSERT_EQ(makeDatabase(file, 5), 0);
    ASSERT_TRUE(std::filesystem::exists(file + "-wal")) << "the companions are kept";
    // restored from a backup while no one has it open: the companions stay behind
    std::filesystem::copy_file(backup, file, std::filesystem::copy_options::overwrite_existing);
    sqlite::Connection c;
    c.Open(file);
    EXPECT_EQ(count(c), 2);
}

// A folder mounted over itself, read-only; unmounted at the end.
struct ReadOnlyMount {
    std::string dir;
    bool mounted = false;
    explicit ReadOnlyMount(const std::string& d) : dir(d) {
        mounted = ::mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) == 0;
        if (mounted &&
            ::mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
            ::umount(dir.c_str());
            mounted = false;
        }
    }
    ~ReadOnlyMount() {
        if (mounted) ::umount(dir.c_str());
    }
};

TEST(SqliteFiles, ADatabaseOnAReadOnlyMountOpensForReading) {
    const std::string dir = folder("mounted", 0, 0755);
    const std::string file = dir + "/账目.db";
    ASSERT_EQ(makeDatabase(file, 2), 0);
    removeCompanions(file);
    const ReadOnlyMount mount(dir);
    if (!mount.mounted) GTEST_SKIP() << "cannot mount here: " << std::strerror(errno);
    sqlite::Connection c;
    ASSERT_EQ(errorDescription([&] { c.Open(file); }), "");
    EXPECT_EQ(count(c), 2);
    EXPECT_EQ(errorNumber([&] { c.Execute("delete from 客户"); }), ErrorNumber::Database);
    EXPECT_EQ(count(c), 2);
}

// A small file system of its own, filled to the last byte by a file beside the database.
struct FullDisk {
    std::string dir;
    bool mounted = false;
    explicit FullDisk(const std::string& d) : dir(d) {
        mounted = ::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=1m") == 0;
    }
    void fill() const {
        std::FILE* f = std::fopen((dir + "/filler" + std::to_string(fills++)).c_str(), "wb");
        if (!f) return;
        const std::vector<char> block(512, 'x');
        while (std::fwrite(block.data(), 1, block.size(), f) == block.size() && std::fflush(f) == 0) {
        }
        std::fclose(f);
    }
    ~FullDisk() {
        if (mounted) ::umount(dir.c_str());
    }
    mutable int fills = 0;
};

TEST(SqliteFiles, OnAFullDiskAChangeThatFindsNoRoomSaysTheDiskIsFull) {
    const std::string dir = folder("full", 0, 0755);
    const FullDisk disk(dir);
    if (!disk.mounted) GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
    const std::string file = dir + "/账目.db";
    ASSERT_EQ(makeDatabase(file, 40), 0);
    const std::string full =
        "The disk holding the database '" + file + "' is full: free space on it to change the database.";
    auto outcome = [&] {
        Outcome o;
        sqlite::Connection c;
        const std::string opened = errorDescription([&] { c.Open(file); });
        if (!opened.empty()) {
            o.change = opened;
            return o;
        }
        o.rows = count(c);
        o.change = errorDescription(
            [&] { c.Execute("delete from 客户 where 编号 < (select min(编号) from 客户) + 10"); });
        return o;
    };
    {
        // while another connection has it open: the log it wrote is the room a deletion takes
        sqlite::Connection keeper;
        keeper.Open(file);
        keeper.Execute("update 客户 set 名称 = 名称 + N'乙'");
        disk.fill();
        const Outcome o = outcome();
        EXPECT_EQ(o.rows, 40);
        EXPECT_EQ(o.change, "");
        EXPECT_EQ(count(keeper), 30);
    }
    // after the writers closed (its -wal and -shm there), and copied there alone
    for (const bool companions : {true, false}) {
        SCOPED_TRACE(companions ? "-wal and -shm left by the writer" : "the file alone");
        if (!companions) removeCompanions(file);
        disk.fill();  // what the closing writer emptied, or the companions took
        const Outcome o = outcome();
        EXPECT_EQ(o.rows, 30);
        EXPECT_EQ(o.change, full);
    }
}

}  // namespace
}  // namespace Palvo::testing
