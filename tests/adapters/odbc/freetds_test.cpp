// SQL Server through FreeTDS, without a SQL Server: a server that is not
// there, and a listener that reads the login FreeTDS sends.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "palvo/clsDatabase.h"
#include "palvo/error.h"
#include "palvo/odbc/connection.h"
#include "src/base/conversions.h"

namespace Palvo::odbc {
namespace {

using Clock = std::chrono::steady_clock;

/// A listening socket on 127.0.0.1 with a port the system chose.
class Listener {
public:
    Listener() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd_, 1) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
            close(fd_);
            fd_ = -1;
        }
        port_ = ntohs(a.sin_port);
    }
    ~Listener() { closeNow(); }
    void closeNow() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }
    int fd() const { return fd_; }
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

double secondsToOpen(Connection& c, const std::string& cs, Error* error) {
    auto start = Clock::now();
    try {
        c.Open(cs);
    } catch (const Error& e) {
        *error = e;
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(FreeTds, UnreachableServersFailQuicklyWithAConnectionError) {
    Listener closed;  // a port that was free a moment ago and now has no listener
    ASSERT_GE(closed.fd(), 0);
    int port = closed.port();
    closed.closeNow();
    struct Case {
        std::string name;
        std::string server;
    } cases[] = {{"closed port on 127.0.0.1", "127.0.0.1," + std::to_string(port)},
                 {"unresolvable name", "palvo-no-such-host.invalid"}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        Connection c;
        c.ConnectionTimeout(5);
        Error error(0, "");
        double seconds = secondsToOpen(c, connectionStringFor(k.server, "sa", "x", "master"), &error);
        EXPECT_EQ(error.number(), ErrorNumber::ConnectionFailed) << error.description();
        EXPECT_EQ(error.sqlState().substr(0, 2), "08") << error.sqlState() << " " << error.description();
        EXPECT_FALSE(error.description().empty());
        EXPECT_EQ(c.State(), adStateClosed);
        EXPECT_LT(seconds, 5.0);
        std::printf("[ measured ] %s: Open failed after %.3f s: %s\n", k.name.c_str(), seconds,
                    error.description().c_str());
        ::testing::Test::RecordProperty(
            k.name == "unresolvable name" ? "unresolvable_seconds" : "closed_port_seconds",
            std::to_string(seconds));
    }
}

// ---- a listener that speaks just enough TDS to receive the login

std::vector<unsigned char> readPacket(int fd) {
    std::vector<unsigned char> packet;
    auto readSome = [&](std::size_t want) {
        while (packet.size() < want) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 5000) <= 0) return false;
            unsigned char buf[4096];
            ssize_t n = recv(fd, buf, std::min<std::size_t>(sizeof buf, want - packet.size()), 0);
            if (n <= 0) return false;
            packet.insert(packet.end(), buf, buf + n);
        }
        return true;
    };
    if (!readSome(8)) return {};
    std::size_t length = (static_cast<std::size_t>(packet[2]) << 8) | packet[3];
    if (length < 8 || !readSome(length)) return {};
    return packet;
}

struct Login {
    std::string user, password, database, server;
    bool received = false;
};

std::string utf8FromUtf16(const unsigned char* p, std::size_t chars) {
    std::u32string out;  // the test's texts stay in the basic plane
    for (std::size_t i = 0; i < chars; ++i) out += static_cast<char32_t>(p[2 * i] | (p[2 * i + 1] << 8));
    return base::encodeUtf8(out);
}

/// Answers the pre-login (no encryption) and decodes the LOGIN7 record.
Login receiveLogin(int listenFd) {
    Login login;
    pollfd p{listenFd, POLLIN, 0};
    if (poll(&p, 1, 10000) <= 0) return login;
    int fd = accept(listenFd, nullptr, nullptr);
    if (fd < 0) return login;
    auto packet = readPacket(fd);
    if (!packet.empty() && packet[0] == 0x12) {
        // options VERSION and ENCRYPTION (not supported), then the terminator
        const unsigned char body[] = {0x00, 0,    11,   0,    6,    0x01, 0, 17, 0,
                                      1,    0xFF, 0x0F, 0x00, 0x07, 0xD0, 0, 0,  0x02};
        std::vector<unsigned char> reply = {0x04, 0x01, 0, static_cast<unsigned char>(8 + sizeof body),
                                            0,    0,    1, 0};
        reply.insert(reply.end(), body, body + sizeof body);
        if (send(fd, reply.data(), reply.size(), MSG_NOSIGNAL) < 0) {
            close(fd);
            return login;
        }
        packet = readPacket(fd);
    }
    if (packet.size() > 8 + 94 && packet[0] == 0x10) {
        const unsigned char* rec = packet.data() + 8;
        const std::size_t size = packet.size() - 8;
        auto field = [&](std::size_t at, bool scrambled) {
            std::size_t off = rec[at] | (rec[at + 1] << 8);
            std::size_t chars = rec[at + 2] | (rec[at + 3] << 8);
            if (off + 2 * chars > size) return std::string("<out of range>");
            std::vector<unsigned char> bytes(rec + off, rec + off + 2 * chars);
            if (scrambled) {
                for (auto& b : bytes) {
                    b ^= 0xA5;
                    b = static_cast<unsigned char>(((b & 0x0F) << 4) | (b >> 4));
                }
            }
            return utf8FromUtf16(bytes.data(), chars);
        };
        login.user = field(40, false);
        login.password = field(44, true);
        login.server = field(52, false);
        login.database = field(68, false);
        login.received = true;
    }
    close(fd);
    return login;
}

TEST(FreeTds, LoginReachesTheServerAsTypedAlsoThroughTheFactorysConnectTest) {
    struct Case {
        const char* user;
        const char* password;
        const char* database;
    } cases[] = {
        {"sa", "plain", "master"}, {"sa", "p;w=d", "master"}, {"sa", "a}b", "master"},
        {"sa", "}a}}", "master"},  {"sa", " {x", "master"},   {"操作员", "{密码}", "账套2004"},
        {"sa", "{x}", "master"},   {"sa", "x;}", "master"},   {"sa", "", "master"},
        {"sa", " x", "master"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.password);
        Listener server;
        ASSERT_GE(server.fd(), 0);
        Login login;
        std::thread t([&] { login = receiveLogin(server.fd()); });
        Connection c;
        c.ConnectionTimeout(5);
        Error error(0, "");
        secondsToOpen(
            c,
            connectionStringFor("127.0.0.1," + std::to_string(server.port()), k.user, k.password, k.database),
            &error);
        t.join();
        EXPECT_EQ(error.number(), ErrorNumber::ConnectionFailed);  // the listener hangs up after the login
        ASSERT_TRUE(login.received);
        EXPECT_EQ(login.user, k.user);
        EXPECT_EQ(login.password, k.password);
        EXPECT_EQ(login.database, k.database);
    }
    // The default factory reaches FreeTDS; how bConnect_Test fails and passes its timeouts is
    // ConnectTest's (database_test), how fast an unreachable server fails UnreachableServers'.
    installConnectionFactory();
    clsDatabase db;
    Listener server;
    ASSERT_GE(server.fd(), 0);
    Login login;
    std::thread t([&] { login = receiveLogin(server.fd()); });
    EXPECT_FALSE(
        db.bConnect_Test("127.0.0.1," + std::to_string(server.port()), "sa", "p;w}d", "账套", true, 5, 60));
    t.join();
    ASSERT_TRUE(login.received);
    EXPECT_EQ(login.password, "p;w}d");
    EXPECT_EQ(login.database, "账套");
    Palvo::installConnectionFactory({});
}

}  // namespace
}  // namespace Palvo::odbc
