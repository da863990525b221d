#include "src/machine/ip.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "palvo/clsIp.h"

namespace Palvo::machine {
namespace {

TEST(IsIP, TellsAddressesLikeThePlatformCheck) {
    struct Case {
        const char* text;
        bool expected;
    };
    const Case cases[] = {
        {"192.168.0.1", true},       {"1.1.1.1", true},     // 7 characters, the shortest
        {"255.255.255.255", true},                          // 15 characters, the longest
        {"10.0.0.0", true},          {"1.2.3.1e2", true},   // exponent whose value is as long as the part
        {"0.1.2.3", false},                                 // may not start with "0."
        {"192.168.000.1", false},                           // leading zeros
        {"192.168.01.1", false},     {"192.168.1", false},  // three parts
        {"1.2.3.4.5", false},        {"256.1.1.1", false}, {"1.2.3.-1", false},
        {"1.2.3 .4", false},                                // blank inside a part
        {"1.2.3.+4", false},                                // sign
        {"1.2.3.4.", false},         {"1..3.4567", false},  // empty part
        {"a.b.c.d.e", false},        {"1.2.3.1e1", false},  // 10 is shorter than "1e1"
        {"1.2.3.0x1", false},                               // hexadecimal
        {"1.2.3.99999", false},                             // out of range: false, never an overflow
        {"255.255.255.255 ", false},                        // 16 characters
        {"100.100.100.1000", false},                        // 16 characters fail at once
        {"1.2.3.", false},           {"", false},          {"1.2.3.nan", false},
        {"1.2.3.inf", false},        {"1.2.3.1,0", false},  // thousands separator
        {"一.二.三.四", false},
    };
    for (const auto& c : cases) EXPECT_EQ(clsIp().bIsIP(c.text), c.expected) << c.text;
    // Length counts characters, not bytes. Seven characters but 13 bytes: the length test passes, the parts
    // do not.
    EXPECT_FALSE(clsIp().bIsIP("１.１.１.１"));
    // A 16-character text of multi-byte characters is rejected by length.
    EXPECT_FALSE(clsIp().bIsIP(std::string(std::size_t{16} * 3, '\xe4')));
}

// The walk stops at an empty address.
TEST(FirstAddressMatching, TakesTheFirstMatchInOrder) {
    std::vector<std::string> list{"10.0.0.5", "192.168.1.7", "192.168.2.9"};
    EXPECT_EQ(firstAddressMatching(list, ""), "10.0.0.5");
    EXPECT_EQ(firstAddressMatching(list, "192.168."), "192.168.1.7");
    EXPECT_EQ(firstAddressMatching(list, "192.168.2"), "192.168.2.9");
    EXPECT_EQ(firstAddressMatching(list, "172."), "");
    EXPECT_EQ(firstAddressMatching({"10.0.0.5", "", "192.168.1.7"}, "192."), "");
    EXPECT_EQ(firstAddressMatching({}, ""), "");
    // sppIP may hold wildcards of its own.
    EXPECT_EQ(firstAddressMatching(list, "192.168.[2-9]"), "192.168.2.9");
    EXPECT_EQ(firstAddressMatching(list, "#.#"), "");
    EXPECT_EQ(firstAddressMatching(list, "1?.0"), "10.0.0.5");
}

// An interface list built in memory, handed out through the system seam.
class FakeInterfaces {
public:
    void add(const char* name, unsigned flags, int family, const char* address = nullptr) {
        auto& node = nodes_.emplace_back();
        std::memset(&node, 0, sizeof node);
        names_.emplace_back(name);
        node.entry.ifa_name = names_.back().data();
        node.entry.ifa_flags = flags;
        node.addr.sin_family = static_cast<sa_family_t>(family);
        if (address) ::inet_pton(AF_INET, address, &node.addr.sin_addr);
        node.entry.ifa_addr = reinterpret_cast<sockaddr*>(&node.addr);
    }
    void addWithoutAddress(const char* name) {
        add(name, IFF_UP, AF_INET);
        nodes_.back().entry.ifa_addr = nullptr;
    }
    ifaddrs* head() {
        for (std::size_t i = 0; i < nodes_.size(); ++i)
            nodes_[i].entry.ifa_next = i + 1 < nodes_.size() ? &nodes_[i + 1].entry : nullptr;
        return nodes_.empty() ? nullptr : &nodes_.front().entry;
    }

private:
    struct Node {
        ifaddrs entry;
        sockaddr_in addr;
    };
    std::deque<Node> nodes_;
    std::deque<std::string> names_;
};

class IpSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        ipSystem().getifaddrs = [this](ifaddrs** out) {
            if (failList) {
                errno = ENOMEM;
                return -1;
            }
            *out = interfaces.head();
            return 0;
        };
        ipSystem().freeifaddrs = [this](ifaddrs*) { ++freed; };
        ipSystem().gethostname = [this](char* buf, std::size_t len) {
            if (hostname.size() >= len) {
                errno = ENAMETOOLONG;
                return -1;
            }
            std::memcpy(buf, hostname.c_str(), hostname.size() + 1);
            return 0;
        };
    }
    void TearDown() override { ipSystem() = realIpSystem(); }

    FakeInterfaces interfaces;
    bool failList = false;
    int freed = 0;
    std::string hostname;
};

// Loopback and packet ones, a second address and IPv6 among them.
void addTypicalInterfaces(FakeInterfaces& interfaces) {
    interfaces.add("lo", IFF_UP | IFF_LOOPBACK, AF_PACKET);
    interfaces.add("eth0", IFF_UP, AF_PACKET);
    interfaces.add("lo", IFF_UP | IFF_LOOPBACK, AF_INET, "127.0.0.1");
    interfaces.add("eth0", IFF_UP, AF_INET, "10.1.2.3");
    interfaces.add("eth0", IFF_UP, AF_INET, "10.1.2.4");  // a second address of eth0
    interfaces.addWithoutAddress("tun0");
    interfaces.add("wlan0", IFF_UP, AF_INET, "192.168.5.20");
    interfaces.add("eth0", IFF_UP, AF_INET6);
}

TEST_F(IpSystemTest, ListsTheFirstIPv4AddressOfEachInterfaceButLoopback) {
    addTypicalInterfaces(interfaces);
    auto list = adapterAddresses();
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(*list, (std::vector<std::string>{"10.1.2.3", "192.168.5.20"}));
    EXPECT_EQ(freed, 1);
}

TEST_F(IpSystemTest, TheLocalAddressIsTheFirstMatching) {
    addTypicalInterfaces(interfaces);
    clsIp ip;
    EXPECT_EQ(ip.GetLocalIPAddress(), Value("10.1.2.3"));
    EXPECT_EQ(ip.GetLocalIPAddress("192.168."), Value("192.168.5.20"));
    EXPECT_EQ(ip.GetLocalIPAddress("172.16."), Value(""));
    EXPECT_EQ(freed, 3);
}

// Nothing to free.
TEST_F(IpSystemTest, AFailingInterfaceListGivesAnEmptyAddress) {
    failList = true;
    EXPECT_FALSE(adapterAddresses().has_value());
    EXPECT_EQ(clsIp().GetLocalIPAddress(), Value(""));
    EXPECT_EQ(freed, 0);
}

// Empty when the call fails.
TEST_F(IpSystemTest, TheComputerNameIsTheHostNameUpToTheFirstDot) {
    hostname = "ws-finance01";
    EXPECT_EQ(clsIp().GetComputerName(), "ws-finance01");
    hostname = "ws-finance01.corp.example";
    EXPECT_EQ(clsIp().GetComputerName(), "ws-finance01");
    hostname = std::string(300, 'x');  // the call fails
    EXPECT_EQ(clsIp().GetComputerName(), "");
}

TEST(RealSystem, TheComputerNameIsReadable) { EXPECT_FALSE(clsIp().GetComputerName().empty()); }

TEST(RealSystem, TheAddressesAreReadable) {
    auto list = adapterAddresses();
    ASSERT_TRUE(list.has_value());
    for (const auto& a : *list) {
        EXPECT_TRUE(clsIp().bIsIP(a) || a.starts_with("0.")) << a;
        EXPECT_FALSE(a.starts_with("127.")) << a;
    }
}

}  // namespace
}  // namespace Palvo::machine
