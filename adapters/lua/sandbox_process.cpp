#include "sandbox_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <system_error>

#include "line_channel.h"
#include "palvo/error.h"

extern char** environ;

namespace Palvo::lua {

namespace {

using Clock = std::chrono::steady_clock;

// What the program gets beyond a line's time limit to stop the line itself,
// which keeps its state; past it, the program is killed.
constexpr auto kGrace = std::chrono::milliseconds(500);
// Starting the program: an ASan build on a busy machine takes its time.
constexpr auto kStartTime = std::chrono::seconds(30);

constexpr const char* kAfresh = "; the next line starts afresh, without what earlier lines defined";

Error startError(const std::string& program, const std::string& why) {
    return Error(ErrorNumber::NotInstalled,
                 "The sandboxed line executor could not start its program " + program + ": " + why);
}

std::string errorText(int code) { return std::generic_category().message(code); }

}  // namespace

SandboxProcess::SandboxProcess(const std::string& program) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        throw startError(program, errorText(errno));
    fd_ = ends[0];
    int child = ends[1];
    // dup2 onto the same number would leave close-on-exec set
    if (child <= channel::kChildFd) {
        const int moved = ::fcntl(child, F_DUPFD_CLOEXEC, channel::kChildFd + 1);
        const int error = errno;
        ::close(child);
        if (moved < 0) {
            end();
            throw startError(program, errorText(error));
        }
        child = moved;
    }
    // posix_spawn (clone and exec at once, nothing run in between) is safe in a
    // process with threads and under the sanitizers, which fork is not.
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, child, channel::kChildFd);
    // signals as a fresh program has them, whatever the host ignores or blocks
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    const int spawned = ::posix_spawn(&pid_, program.c_str(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(child);
    if (spawned != 0) {
        pid_ = -1;
        end();
        throw startError(program, errorText(spawned));
    }
    std::string ready;
    const channel::Status s = channel::readExactly(fd_, 1, ready, Clock::now() + kStartTime);
    if (s != channel::Status::Done || ready[0] != channel::kReady) {
        const std::string why = s == channel::Status::TimedOut ? "it was not ready after 30 seconds"
                                : s == channel::Status::Closed ? "it " + reap()
                                                               : "it answered what it should not";
        end();
        throw startError(program, why);
    }
}

SandboxProcess::~SandboxProcess() { end(); }

void SandboxProcess::end() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        reap();
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::string SandboxProcess::reap() {
    if (pid_ <= 0) return "ended";
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(pid_, &status, 0);
    } while (r < 0 && errno == EINTR);
    pid_ = -1;
    // a host that ignores SIGCHLD has its children reaped by the system
    if (r < 0) return "ended";
    if (WIFEXITED(status)) return "ended with exit status " + std::to_string(WEXITSTATUS(status));
    if (!WIFSIGNALED(status)) return "ended";
    const int sig = WTERMSIG(status);
    const char* name = ::sigabbrev_np(sig);
    return "was ended by signal " + std::to_string(sig) + (name ? std::string(" (SIG") + name + ")" : "");
}

bool SandboxProcess::executeLine(const std::string& code, bool checkOnly, const Limits& limits,
                                 std::string& message) {
    channel::Deadline deadline;
    if (limits.time.count() > 0) deadline = Clock::now() + limits.time + kGrace;
    // what the line prints comes after what the host printed before it
    std::fflush(stdout);
    channel::Status s =
        channel::writeAll(fd_, channel::encode(channel::Request{checkOnly, limits, code}), deadline);
    channel::Reply reply;
    if (s == channel::Status::Done) s = channel::read(fd_, reply, deadline);
    if (s == channel::Status::Done) {
        message = std::move(reply.message);
        return reply.ok;
    }
    if (s == channel::Status::TimedOut) {
        end();
        message = "the line was stopped: it ran longer than " + std::to_string(limits.time.count()) +
                  " ms, the executor's limit" + kAfresh;
    } else {
        message = "the line was stopped: the sandbox process " + reap() + kAfresh;
        end();
    }
    return false;
}

}  // namespace Palvo::lua
