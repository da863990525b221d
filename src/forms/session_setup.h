// Setting up the calling thread's SessionContext (clsForm::mInit_Var and mInit_Form).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "palvo/data.h"

namespace Palvo::forms {}  // namespace Palvo::forms
