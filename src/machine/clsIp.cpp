// clsIp: each method forwards to the machine module.
#include "palvo/clsIp.h"

#include "src/machine/ip.h"

namespace Palvo {

std::string clsIp::GetComputerName() { return machine::GetComputerName(); }

Value clsIp::GetLocalIPAddress(const std::string& sppIP) { return machine::GetLocalIPAddress(sppIP); }

bool clsIp::bIsIP(const std::string& sIP) { return machine::bIsIP(sIP); }

}  // namespace Palvo
