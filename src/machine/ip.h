// Machine name and local IPv4 addresses, read through a replaceable system seam,
// and the dotted-address check.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "palvo/value.h"

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

/// The host name up to its first '.', or "" when the call fails.
std::string computerName();

/// The first IPv4 address text of every interface that has one, loopback left
/// out, in the system's order; nullopt when the interface list cannot be read.
std::optional<std::vector<std::string>> adapterAddresses();

/// Walks the address list: an empty text ends the walk with ""; the first text
/// matching sppIP + "*" (the platform's Like) is the result; "" at the end.
/// Throws Palvo::Error 93 when sppIP is not a valid pattern.
std::string firstAddressMatching(const std::vector<std::string>& addresses, std::string_view sppIP);

/// adapterAddresses() walked with firstAddressMatching(), as a text Value; "" when
/// the list cannot be read.
Value localIPAddress(std::string_view sppIP);

/// True only for a well-formed dotted IPv4 address. Never throws.
bool isIPAddress(std::string_view text);

}  // namespace Palvo::machine
