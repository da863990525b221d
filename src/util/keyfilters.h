// Key filters and value checks of text boxes (clsFunction).
#pragma once

#include <cstdint>
#include <string>

#include "palvo/controls.h"

namespace Palvo::util {

std::int16_t iKeyPress_Control_Len(TextBox& TXT, std::int16_t iMax, std::int16_t KeyAscii);
std::int16_t iKeyPress_Control_Number(std::int16_t KeyAscii, TextBox& TXT, std::int16_t LenInt,
                                      std::int16_t LenDec);
std::int16_t iKeyPress_Control_Date(TextBox& TXT, std::int16_t KeyAscii);
bool bIsNoText(TextBox& TXT);
bool bIsNum(TextBox& TXT);
bool bIsInt(TextBox& TXT);
bool bIsDay(const TextBox& TXT);
bool bIsDay(const std::string& s);
bool bNumberBetOneAndZero(const std::string& numString);
std::string sUserDate(std::string& sTxt, const std::string& sFormat = "YYYY-MM-DD");

}  // namespace Palvo::util
