// Amounts in capital numerals, code-page lengths, the password transform and
// small list look-ups (clsFunction).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "palvo/controls.h"

namespace Palvo::util {

/// The capitals of an amount; throws Palvo::Error 6 at one thousand million and more.
std::string moneyInCapitals(double je);
std::string amountInCapitals(double je);
std::int32_t codePageLength(const std::string& str);
std::string transformPassword(const std::string& sPwd, bool bType);
std::int16_t indexInArray(const std::vector<std::string>& sArray, const std::string& sText);
void swapListItems(ListBox& ObjLst, std::int32_t iIndex1, std::int32_t iIndex2);
std::int16_t listIndexOf(ListControl& ObjControl, const std::string& sText, std::int16_t iCompareType = 0);
std::int32_t listViewIndexOf(ListView& ObjControl, const std::string& sText);

}  // namespace Palvo::util
