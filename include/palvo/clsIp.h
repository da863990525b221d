// clsIp: the computer's name, its local IPv4 addresses, and a dotted-address check.
#pragma once

#include <string>

#include "palvo/export.h"
#include "palvo/value.h"

namespace Palvo {

class PALVO_API clsIp {
public:
    /// The computer's host name (up to the first '.'), or "" when the system cannot tell.
    std::string GetComputerName();
    /// The first local IPv4 address (loopback left out, one per interface, in the
    /// system's order) that matches the pattern sppIP + "*"; "" when none does.
    Value GetLocalIPAddress(const std::string& sppIP = "");
    /// True only for a well-formed dotted IPv4 address such as 192.168.0.1. Never throws.
    bool bIsIP(const std::string& sIP);
};

}  // namespace Palvo
