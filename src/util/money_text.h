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
std::string sConvertMoneyX(double je);
std::int32_t lGetLenthStr(const std::string& str);
std::string sSetPwd(const std::string& sPwd, bool bType);
std::int16_t iGetElementIndexFromArray(const std::vector<std::string>& sArray, const std::string& sText);
void mExChangeListItem(ListBox& ObjLst, std::int32_t iIndex1, std::int32_t iIndex2);
std::int16_t iGetIdxFromComOrList(ListControl& ObjControl, const std::string& sText,
                                  std::int16_t iCompareType = 0);
std::int32_t lGetIndexFromLV(ListView& ObjControl, const std::string& sText);

}  // namespace Palvo::util
