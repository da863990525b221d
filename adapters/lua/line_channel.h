// The frames the executor and its sandbox program (palvo-lua-line) exchange
// over a stream socket, and the reads and writes that carry them. All numbers
// are 64-bit in the machine's own order: both ends are the same build.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "palvo/lua/executor.h"

namespace Palvo::lua::channel {

/// The sandbox program's end of the socket.
inline constexpr int kChildFd = 3;
/// The one byte the program sends once its interpreter is ready.
inline constexpr char kReady = 'R';

struct Request {
    bool checkOnly = false;
    Limits limits;
    std::string code;
};

struct Reply {
    bool ok = false;
    std::string message;
};

using Deadline = std::optional<std::chrono::steady_clock::time_point>;

enum class Status {
    Done,
    Closed,    // the other end went away (end of file, reset)
    TimedOut,  // the deadline passed first
};

/// Writes all of data; never raises SIGPIPE.
Status writeAll(int fd, const std::string& data, Deadline deadline = std::nullopt);
/// Reads exactly size bytes into out.
Status readExactly(int fd, std::size_t size, std::string& out, Deadline deadline = std::nullopt);

std::string encode(const Request& request);
std::string encode(const Reply& reply);
Status read(int fd, Request& request, Deadline deadline = std::nullopt);
Status read(int fd, Reply& reply, Deadline deadline = std::nullopt);

}  // namespace Palvo::lua::channel
