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
#include "palvo/error.h"
#include "palvo/value.h"

namespace Palvo::machine {

namespace {

// Code points of a UTF-8 text; a stray byte counts as one character of its own.
std::vector<char32_t> codePoints(std::string_view s) {
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
        if (i + n > s.size()) n = 1;
        char32_t cp = n == 1 ? c : (c & (0x7F >> n));
        for (std::size_t k = 1; k < n; ++k) {
            auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) {
                n = 1;
                cp = c;
                break;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        out.push_back(cp);
        i += n;
    }
    return out;
}

bool likeFrom(const std::vector<char32_t>& t, std::size_t ti, const std::vector<char32_t>& p, std::size_t pi) {
    while (pi < p.size()) {
        char32_t pc = p[pi];
        if (pc == U'*') {
            while (pi < p.size() && p[pi] == U'*') ++pi;
            if (pi == p.size()) return true;
            for (std::size_t k = ti; k <= t.size(); ++k) {
                if (likeFrom(t, k, p, pi)) return true;
            }
            return false;
        }
        if (ti >= t.size()) return false;
        char32_t tc = t[ti];
        if (pc == U'?') {
        } else if (pc == U'#') {
            if (tc < U'0' || tc > U'9') return false;
        } else if (pc == U'[') {
            std::size_t close = pi + 1;
            while (close < p.size() && p[close] != U']') ++close;
            if (close == p.size()) return false;  // an unclosed list matches nothing
            std::size_t k = pi + 1;
            bool negate = k < close && p[k] == U'!';
            if (negate) ++k;
            bool found = false;
            for (; k < close; ++k) {
                if (k + 2 < close && p[k + 1] == U'-') {
                    if (tc >= p[k] && tc <= p[k + 2]) found = true;
                    k += 2;
                } else if (p[k] == tc) {
                    found = true;
                }
            }
            if (found == negate) return false;
            pi = close;
        } else if (pc != tc) {
            return false;
        }
        ++ti;
        ++pi;
    }
    return ti == t.size();
}

// The value of a text that the shared number reader accepts; nullopt otherwise.
std::optional<double> numericValue(std::string_view part) {
    try {
        return Value(part).toDouble();
    } catch (const Error&) {
        return std::nullopt;
    }
}

}  // namespace

IpSystem realIpSystem() {
    return IpSystem{[](char* name, std::size_t len) { return ::gethostname(name, len); },
                    [](ifaddrs** list) { return ::getifaddrs(list); }, [](ifaddrs* list) { ::freeifaddrs(list); }};
}

IpSystem& ipSystem() {
    static IpSystem calls = realIpSystem();
    return calls;
}

bool like(std::string_view text, std::string_view pattern) {
    return likeFrom(codePoints(text), 0, codePoints(pattern), 0);
}

std::string computerName() {
    char buf[256] = {};
    if (ipSystem().gethostname(buf, 255) != 0) return {};
    buf[255] = '\0';
    std::string name(buf);
    if (auto dot = name.find('.'); dot != std::string::npos) name.erase(dot);
    return name;
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
        if (like(address, pattern)) return address;
    }
    return {};
}

std::string localIPAddress(std::string_view sppIP) {
    auto addresses = adapterAddresses();
    if (!addresses) return {};
    return firstAddressMatching(*addresses, sppIP);
}

bool isIP(std::string_view text) {
    auto length = codePoints(text).size();
    if (length < 7 || length > 15) return false;
    if (text.starts_with("0.")) return false;
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        auto dot = text.find('.', start);
        parts.push_back(text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    if (parts.size() != 4) return false;
    for (auto part : parts) {
        auto value = numericValue(part);
        if (!value || *value < 0 || *value > 255) return false;
        // Written back as a whole number it must be exactly as long as the part.
        auto whole = static_cast<long>(std::nearbyint(*value));
        if (std::to_string(whole).size() != codePoints(part).size()) return false;
    }
    return true;
}

}  // namespace Palvo::machine

namespace Palvo {

std::string clsIp::GetComputerName() { return machine::computerName(); }

Value clsIp::GetLocalIPAddress(const std::string& sppIP) { return Value(machine::localIPAddress(sppIP)); }

bool clsIp::bIsIP(const std::string& sIP) { return machine::isIP(sIP); }

}  // namespace Palvo
