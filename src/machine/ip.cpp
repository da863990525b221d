#include "src/machine/ip.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "palvo/clsIp.h"
#include "palvo/value.h"
#include "src/base/conversions.h"

namespace Palvo::machine {

IpSystem realIpSystem() {
    return IpSystem{[](char* name, std::size_t len) { return ::gethostname(name, len); },
                    [](ifaddrs** list) { return ::getifaddrs(list); },
                    [](ifaddrs* list) { ::freeifaddrs(list); }};
}

IpSystem& ipSystem() {
    static IpSystem calls = realIpSystem();
    return calls;
}

std::optional<std::vector<std::string>> adapterAddresses() {
    ifaddrs* raw = nullptr;
    auto& sys = ipSystem();
    if (sys.getifaddrs(&raw) != 0) return std::nullopt;
    std::unique_ptr<ifaddrs, std::function<void(ifaddrs*)>> list(raw, [&sys](ifaddrs* p) {
        if (p) sys.freeifaddrs(p);
    });
    std::vector<std::string> names;
    std::vector<std::string> addresses;
    for (ifaddrs* it = raw; it != nullptr; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) continue;
        if ((it->ifa_flags & IFF_LOOPBACK) != 0) continue;
        std::string name = it->ifa_name ? it->ifa_name : "";
        if (std::find(names.begin(), names.end(), name) != names.end()) continue;  // first address only
        char text[INET_ADDRSTRLEN] = {};
        const auto* in = reinterpret_cast<const sockaddr_in*>(it->ifa_addr);
        if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) == nullptr) continue;
        names.push_back(std::move(name));
        addresses.emplace_back(text);
    }
    return addresses;
}

std::string firstAddressMatching(const std::vector<std::string>& addresses, std::string_view sppIP) {
    std::string pattern = std::string(sppIP) + "*";
    for (const auto& address : addresses) {
        if (address.empty()) return {};
        if (base::like(address, pattern)) return address;
    }
    return {};
}

}  // namespace Palvo::machine

namespace Palvo {

std::string clsIp::GetComputerName() {
    char buf[256] = {};
    if (machine::ipSystem().gethostname(buf, 255) != 0) return {};
    buf[255] = '\0';
    std::string name(buf);
    if (auto dot = name.find('.'); dot != std::string::npos) name.erase(dot);
    return name;
}

Value clsIp::GetLocalIPAddress(const std::string& sppIP) {
    auto addresses = machine::adapterAddresses();
    if (!addresses) return Value(std::string());
    return Value(machine::firstAddressMatching(*addresses, sppIP));
}

bool clsIp::bIsIP(const std::string& sIP) {
    const std::string_view text = sIP;
    auto length = base::charCount(text);
    if (length < 7 || length > 15) return false;
    if (text.starts_with("0.")) return false;
    const auto parts = base::split(text, '.');
    if (parts.size() != 4) return false;
    for (auto part : parts) {
        auto value = base::readNumber(part);
        if (!value || *value < 0 || *value > 255) return false;
        // Written back as a whole number it must be exactly as long as the part.
        auto whole = static_cast<long>(std::nearbyint(*value));
        if (std::to_string(whole).size() != base::charCount(part)) return false;
    }
    return true;
}

}  // namespace Palvo
