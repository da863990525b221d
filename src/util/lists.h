// The position of a text or item data in a list or combo box (clsFunction, and
// the windows that select an item by its text).
#pragma once

#include <cstdint>
#include <string>

#include "palvo/controls.h"

namespace Palvo::util {

/// The index of the first item whose text is sText (iCompareType 0) or whose item
/// data equals the number sText; -1 when none. Throws Palvo::Error 6 past 32767.
std::int16_t listIndexOf(ListControl& ObjControl, const std::string& sText, std::int16_t iCompareType = 0);

}  // namespace Palvo::util
