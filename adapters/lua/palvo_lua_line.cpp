// palvo-lua-line: the process sandboxed lines run in. The executor starts it
// with its socket on descriptor 3, sends it one line at a time and waits for
// the reply no longer than the line's time limit; a line the interpreter's own
// checks cannot stop (a long library call, a finalizer) is ended by killing
// this process. Not meant to be run by hand.
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <exception>
#include <string>

#include "interpreter.h"
#include "line_channel.h"

namespace {

using namespace Palvo::lua;

// ASan and TSan reserve terabytes of address space for their shadow memory.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kAddressSpaceLimit = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kAddressSpaceLimit = false;
#else
constexpr bool kAddressSpaceLimit = true;
#endif
#else
constexpr bool kAddressSpaceLimit = true;
#endif

// Room for the program itself and for what lives outside the interpreter's
// count (the line's text as received, the reply).
constexpr rlim_t kAddressSpaceSlack = rlim_t{64} << 20;

void setSoftLimit(int resource, rlim_t value) {
    rlimit r{};
    if (getrlimit(resource, &r) != 0) return;
    r.rlim_cur = r.rlim_max == RLIM_INFINITY || value < r.rlim_max ? value : r.rlim_max;
    setrlimit(resource, &r);
}

// The kernel's bounds, behind the interpreter's own: processor time in whole
// seconds (SIGXCPU ends the process, also when the executor is gone and no one
// kills it), and the address space for what the allocator does not count.
void applyKernelLimits(const Limits& limits) {
    rlim_t cpu = RLIM_INFINITY;
    if (limits.time.count() > 0) {
        rusage used{};
        getrusage(RUSAGE_SELF, &used);
        const double seconds = static_cast<double>(used.ru_utime.tv_sec + used.ru_stime.tv_sec) +
                               static_cast<double>(used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1e6;
        cpu = static_cast<rlim_t>(std::ceil(seconds + static_cast<double>(limits.time.count()) / 1000.0)) + 1;
    }
    setSoftLimit(RLIMIT_CPU, cpu);
    if (kAddressSpaceLimit) {
        setSoftLimit(RLIMIT_AS, limits.memory == 0 ? RLIM_INFINITY : 2 * limits.memory + kAddressSpaceSlack);
    }
}

int serve() {
    Interpreter lua(Rights::Sandboxed, {});
    if (channel::writeAll(channel::kChildFd, std::string(1, channel::kReady)) != channel::Status::Done)
        return 0;
    for (;;) {
        channel::Request request;
        if (channel::read(channel::kChildFd, request) != channel::Status::Done) return 0;
        applyKernelLimits(request.limits);
        lua.setLimits(request.limits);
        channel::Reply reply;
        reply.ok = lua.executeLine(request.code, request.checkOnly, reply.message);
        // what the line printed comes before the caller's next output
        std::fflush(stdout);
        if (channel::writeAll(channel::kChildFd, channel::encode(reply)) != channel::Status::Done) return 0;
    }
}

}  // namespace

int main() {
    // only the socket, standard output and error: nothing else the host had open
    close_range(channel::kChildFd + 1, ~0U, 0);
    int status = 0;
    try {
        status = serve();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "palvo-lua-line: %s\n", e.what());
        status = 1;
    }
    // The executor has gone: leave without closing the state, whose
    // finalizers are a line's code and could run for ever.
    std::fflush(stdout);
    _exit(status);
}
