// Checking an entry form before it is saved, and filtering its key presses by column type.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "palvo/form.h"

namespace Palvo::forms {

/// The condition of a failed uniqueness query as the user reads it: every "and" becomes "并且".
std::string conditionForUser(const std::string& condition);

}  // namespace Palvo::forms
