// The system calls behind clsIp (replaceable by tests) and the steps of its
// address look-up.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ifaddrs;

namespace Palvo::machine {

/// The system calls this module makes. Tests swap them to feed interface lists
/// and failures; everything else uses the real calls.
struct IpSystem {
    std::function<int(char* name, std::size_t len)> gethostname;
    std::function<int(ifaddrs** list)> getifaddrs;
    std::function<void(ifaddrs* list)> freeifaddrs;
};

/// The calls in use (the real ones unless a test replaced them).
IpSystem& ipSystem();
/// The real system calls.
IpSystem realIpSystem();

/// The first IPv4 address text of every interface that has one, loopback left
/// out, in the system's order; nullopt when the interface list cannot be read.
std::optional<std::vector<std::string>> adapterAddresses();

/// Walks the address list: an empty text ends the walk with ""; the first text
/// matching sppIP + "*" (the platform's Like) is the result; "" at the end.
/// Throws Palvo::Error 93 when sppIP is not a valid pattern.
std::string firstAddressMatching(const std::vector<std::string>& addresses, std::string_view sppIP);

}  // namespace Palvo::machine
