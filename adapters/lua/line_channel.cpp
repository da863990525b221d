#include "line_channel.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace Palvo::lua::channel {

namespace {

using Clock = std::chrono::steady_clock;

// Waits until fd is ready for events or the deadline has passed.
Status await(int fd, short events, Deadline deadline) {
    for (;;) {
        int timeout = -1;
        if (deadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
            if (left <= 0) return Status::TimedOut;
            timeout = left > 60000 ? 60000 : static_cast<int>(left);
        }
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, timeout);
        if (n > 0) return Status::Done;  // ready, or an error the read or write then reports
        if (n < 0 && errno != EINTR) return Status::Closed;
    }
}

void put(std::string& out, std::uint64_t n) { out.append(reinterpret_cast<const char*>(&n), sizeof n); }

std::uint64_t take(const std::string& in, std::size_t index) {
    std::uint64_t n = 0;
    std::memcpy(&n, in.data() + index * sizeof n, sizeof n);
    return n;
}

}  // namespace

Status writeAll(int fd, const std::string& data, Deadline deadline) {
    std::size_t done = 0;
    while (done < data.size()) {
        if (Status s = await(fd, POLLOUT, deadline); s != Status::Done) return s;
        const ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            return Status::Closed;
        }
    }
    return Status::Done;
}

Status readExactly(int fd, std::size_t size, std::string& out, Deadline deadline) {
    out.resize(size);
    std::size_t done = 0;
    while (done < size) {
        if (Status s = await(fd, POLLIN, deadline); s != Status::Done) return s;
        const ssize_t n = ::recv(fd, out.data() + done, size - done, MSG_DONTWAIT);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
            return Status::Closed;
        }
    }
    return Status::Done;
}

std::string encode(const Request& request) {
    std::string out;
    put(out, request.checkOnly ? 1 : 0);
    put(out, request.limits.instructions);
    put(out, static_cast<std::uint64_t>(request.limits.time.count()));
    put(out, request.limits.memory);
    put(out, request.code.size());
    return out + request.code;
}

std::string encode(const Reply& reply) {
    std::string out;
    put(out, reply.ok ? 1 : 0);
    put(out, reply.message.size());
    return out + reply.message;
}

Status read(int fd, Request& request, Deadline deadline) {
    std::string head;
    if (Status s = readExactly(fd, 5 * sizeof(std::uint64_t), head, deadline); s != Status::Done) return s;
    request.checkOnly = take(head, 0) != 0;
    request.limits.instructions = take(head, 1);
    request.limits.time = std::chrono::milliseconds(take(head, 2));
    request.limits.memory = take(head, 3);
    return readExactly(fd, take(head, 4), request.code, deadline);
}

Status read(int fd, Reply& reply, Deadline deadline) {
    std::string head;
    if (Status s = readExactly(fd, 2 * sizeof(std::uint64_t), head, deadline); s != Status::Done) return s;
    reply.ok = take(head, 0) != 0;
    return readExactly(fd, take(head, 1), reply.message, deadline);
}

}  // namespace Palvo::lua::channel
