// Key filters and value checks of text boxes (clsFunction).
#pragma once

#include <cstdint>
#include <string>

#include "palvo/controls.h"

namespace Palvo::util {

std::int16_t filterLengthKey(TextBox& TXT, std::int16_t iMax, std::int16_t KeyAscii);
std::int16_t filterNumberKey(std::int16_t KeyAscii, TextBox& TXT, std::int16_t LenInt, std::int16_t LenDec);
std::int16_t filterDateKey(TextBox& TXT, std::int16_t KeyAscii);
bool isDayBox(const TextBox& TXT);
bool isDayBox(const std::string& s);

}  // namespace Palvo::util
