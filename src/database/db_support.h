// Small helpers shared by the database modules.
#pragma once

#include <cstdint>
#include <string>

#include "palvo/value.h"

namespace Palvo::database {

/// A value as a 32-bit whole number, as the platform's CLng converts it
/// (half to even; type mismatch, Null and overflow raise).
std::int32_t toInt32(const Value& v);

}  // namespace Palvo::database
