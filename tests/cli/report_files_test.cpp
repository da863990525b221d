// palvo report writes its file whole or not at all: a refused or failed report
// (a missing database, an --out that is the database or a folder, a full
// disk, a signal) exits with 1 or by the signal and leaves every file as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/cli_database.h"

namespace Palvo::cli {
namespace {

namespace fs = std::filesystem;

using testing::modeOf;
using testing::readFile;

// Every file under dir with its mode, size and a hash of its bytes (a link as its target).
std::map<std::string, std::string> snapshot(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        const std::string name = fs::relative(e.path(), dir).string();
        if (e.is_symlink()) {
            files[name] = "-> " + fs::read_symlink(e.path()).string();
        } else if (e.is_regular_file()) {
            const std::string bytes = readFile(e.path());
            files[name] = std::to_string(modeOf(e.path())) + " " + std::to_string(bytes.size()) + " " +
                          std::to_string(std::hash<std::string>{}(bytes));
        } else {
            files[name] = "folder";
        }
    }
    return files;
}

class ReportFiles : public CliDatabase {
protected:
    ReportFiles() : CliDatabase("palvo_report_files") {}
    void SetUp() override {
        for (const char* sql :
             {"create table d (n int)", "insert into d values (0),(1),(2),(3),(4),(5),(6),(7),(8),(9)",
              "create table s (单号 nvarchar(20), 金额 int)",
              "insert into s select 'XS' + cast(a.n * 1000 + b.n * 100 + c.n * 10 + e.n as varchar(10)), "
              "a.n * 1000 + b.n * 100 + c.n * 10 + e.n from d a cross join d b cross join d c cross join d "
              "e"}) {
            ASSERT_EQ(this->sql(sql).status, 0) << sql;
        }
        // older reports, as an earlier run left them
        for (const char* kind : {"pdf", "xlsx"}) {
            const std::string out = (dir / (std::string("r.") + kind)).string();
            ASSERT_EQ(report(kind, out, "select top 3 * from s").status, 0);
            ::chmod(out.c_str(), 0640);
        }
    }

    Outcome report(const std::string& kind, const std::string& out, const std::string& statement,
                   const std::vector<std::string>& more = {}, const std::string& database = "") {
        return palvo(reportArgs(kind, database.empty() ? db : database, "T", out, statement, more));
    }
};

TEST_F(ReportFiles, AFailingCommandChangesNoFile) {
    fs::create_directories(dir / "folder");
    fs::create_symlink("t.db", dir / "link.db");
    fs::create_hard_link(db, dir / "hard.db");
    const std::string missing = (dir / "missing.db").string();
    struct Case {
        std::string kind, out;
        std::vector<std::string> more;
        std::string database, says;
    };
    const std::string folder =
        "Path/File access error: cannot write " + (dir / "folder").string() + ": it is a folder";
    const std::string longTop =
        "Unable to set the LeftHeader property of the PageSetup class: a header holds "
        "at most 255 characters, the top text makes it 317";
    const Case cases[] = {
        {"pdf", "r.pdf", {}, missing, "the database " + missing + " does not exist"},
        {"pdf", "link.db", {}, "", "--out " + (dir / "link.db").string() + " is the database"},
        {"xlsx", "hard.db", {}, "", "--out " + (dir / "hard.db").string() + " is the database"},
        {"pdf", "folder", {}, "", folder},
        {"xlsx", "no/r.xlsx", {}, "", "No such file or directory"},
        {"xlsx", "r.xlsx", {"--top", std::string(300, 'x')}, "", longTop},
        {"xlsx", "r.xlsx", {"--bottom", std::string(300, 'x')}, "", "LeftFooter property"},
    };
    const auto before = snapshot(dir);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind + " --out " + c.out);
        const Outcome r = report(c.kind, (dir / c.out).string(), "select * from s", c.more, c.database);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("数据已送至打印机"), std::string::npos) << r.err;
        EXPECT_EQ(snapshot(dir), before);
    }
}

TEST_F(ReportFiles, AReportsModeIsTheUmasksUnlessItReplacesAFile) {
    const mode_t previous = ::umask(027);
    for (const char* kind : {"pdf", "xlsx"}) {
        ::chmod((dir / (std::string("r.") + kind)).c_str(), 0604);
        for (const char* name : {"new.", "r."}) {
            const fs::path out = dir / (std::string(name) + kind);
            EXPECT_EQ(report(kind, out.string(), "select top 5 * from s").status, 0) << out;
            EXPECT_EQ(modeOf(out), std::string(name) == "new." ? 0640u : 0604u) << out;
        }
    }
    ::umask(previous);
}

// A command run in a mount namespace of its own, where it may mount a small
// tmpfs: the prefix, or "" where this system lets no test do that.
std::string mountNamespace() {
    for (std::string prefix : {"unshare -m", "unshare -rm"}) {
        const std::string probe = prefix +
                                  " sh -c 'd=$(mktemp -d) && mount -t tmpfs -o size=64k tmpfs \"$d\" && "
                                  "umount \"$d\"; r=$?; rmdir \"$d\"; exit $r' >/dev/null 2>&1";
        if (std::system(probe.c_str()) == 0) return prefix;
    }
    return "";
}

TEST_F(ReportFiles, OnAFullDiskTheOlderReportStays) {
    const std::string unshare = mountNamespace();
    if (unshare.empty())
        GTEST_SKIP() << "no mount namespace with a tmpfs may be made here (needs unshare and mount)";
    fs::create_directories(dir / "small");
    // the PDF's failed write is QtPrinter.AnAbandonedJobLeavesTheFilesAsTheyWere's
    const std::string kind = "xlsx";
    // 16 KB left on a small file system that holds the older report
    const std::string script =
        "set -e; M=\"$D/small\"; mount -t tmpfs -o size=1m tmpfs \"$M\"; cp -p \"$D/r.$K\" \"$M/r.$K\"; "
        "bs=$(stat -f -c %S \"$M\"); free=$(stat -f -c %a \"$M\"); "
        "dd if=/dev/zero of=\"$M/fill\" bs=$bs count=$((free - 16384 / bs)) 2>/dev/null; set +e; "
        "\"$P\" report $K --db \"$D/t.db\" --title T --out \"$M/r.$K\" 'select * from s' 2>\"$D/err\"; "
        "echo $? >\"$D/status\"; cp -p \"$M/r.$K\" \"$D/after.$K\"; ls -A \"$M\" >\"$D/listing\"";
    std::string quoted;
    for (char ch : script) quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    ASSERT_EQ(std::system(("D='" + dir.string() + "' K=" + kind + " P='" + PALVO_TOOL + "' " + unshare +
                           " sh -c '" + quoted + "'")
                              .c_str()),
              0);
    EXPECT_EQ(readFile(dir / "status"), "1\n");
    const std::string err = readFile(dir / "err");
    EXPECT_NE(err.find("No space left on device"), std::string::npos) << err;
    EXPECT_EQ(err.find("数据已送至打印机"), std::string::npos) << err;
    EXPECT_EQ(readFile(dir / ("after." + kind)), readFile(dir / ("r." + kind)))
        << "the older report, byte for byte";
    EXPECT_EQ(modeOf(dir / ("after." + kind)), 0640u);
    EXPECT_EQ(readFile(dir / "listing"), "fill\nr." + kind + "\n") << "no temporary file is left";
}

// Starts the tool on a large report and sends it `signal` as soon as its
// temporary file appears; gives the wait status.
int signalWhileWriting(const std::vector<std::string>& args, const fs::path& watched, int signal) {
    const int watch = inotify_init1(IN_CLOEXEC);
    if (watch < 0 || inotify_add_watch(watch, watched.c_str(), IN_CREATE) < 0) return -1;
    std::vector<char*> argv;
    std::vector<std::string> all = {PALVO_TOOL};
    all.insert(all.end(), args.begin(), args.end());
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {  // only calls a forked child may make before exec
        ::signal(signal, SIG_DFL);
        ::dup2(::open("/dev/null", O_WRONLY), 2);
        ::execv(PALVO_TOOL, argv.data());
        ::_exit(127);
    }
    if (pid < 0) return -1;
    int status = 0;
    for (bool sent = false; !sent;) {
        pollfd p{watch, POLLIN, 0};
        if (::poll(&p, 1, 100) > 0) {
            alignas(inotify_event) char buf[4096];
            const ssize_t n = ::read(watch, buf, sizeof buf);
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
                if (e->len > 0 && std::string(e->name).rfind(".r.", 0) == 0) sent = ::kill(pid, signal) == 0;
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        }
        if (!sent && ::waitpid(pid, &status, WNOHANG) == pid) {
            ::close(watch);
            return status;  // ended before it wrote: the caller sees no signal
        }
    }
    ::waitpid(pid, &status, 0);
    ::close(watch);
    return status;
}

TEST_F(ReportFiles, ASignalDuringTheReportRemovesItsTemporaryFile) {
    const std::pair<std::string, int> cases[] = {{"pdf", SIGTERM}, {"xlsx", SIGINT}, {"pdf", SIGHUP}};
    const auto before = snapshot(dir);
    for (const auto& [kind, signal] : cases) {
        SCOPED_TRACE(kind);
        const int status = signalWhileWriting(
            reportArgs(kind, db, "T", (dir / ("r." + kind)).string(), "select * from s"), dir, signal);
        ASSERT_TRUE(WIFSIGNALED(status)) << "wait status " << status;
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_EQ(snapshot(dir), before);
    }
}

}  // namespace
}  // namespace Palvo::cli
