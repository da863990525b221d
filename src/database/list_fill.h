// Filling list views, list boxes and combo boxes from a query (clsDatabase forwards here).
#pragma once

#include <cstdint>
#include <string>

#include "palvo/controls.h"

namespace Palvo::database {

std::int16_t iFillDataToListview(const std::string& sSql, ListView& lv, std::int16_t iIdindex, bool bCheck);

void mFillDataToListOrComb(const bool& bClear, const std::string& sSql, const std::int16_t& iDataIndex,
                           const std::int16_t& iIdindex, ListControl& ObjControl, float iDefaultIndex,
                           const std::string& sOtherString);

}  // namespace Palvo::database
