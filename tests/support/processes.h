// Child processes for the tests of several users on one database file.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

namespace Palvo::testing {

/// Runs `body` in a forked child; its result (a count of failures) is the exit
/// status, capped at 99; an escaping exception exits with 100.
template <class Body>
pid_t runChild(Body body) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    int status = 100;
    try {
        const int failures = body();
        status = failures > 99 ? 99 : failures;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "child: %s\n", e.what());
    }
    std::fflush(nullptr);
    ::_exit(status);
}

/// The child's exit status, or 128 + the signal that ended it.
inline int waitChild(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

/// A database file of its own for the calling test, with no file of that name
/// (or its journals) left from an earlier run.
inline std::string freshDatabaseFile(const std::string& name) {
    const std::string dir = ::testing::TempDir() + "palvo_processes_" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    const std::string file = dir + "/" + name + ".db";
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::filesystem::remove(file + suffix);
    return file;
}

}  // namespace Palvo::testing
