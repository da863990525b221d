// Filling list views, list boxes and combo boxes from a query.
#pragma once

#include <cstdint>
#include <string>

#include "palvo/controls.h"

namespace Palvo::database {

std::int16_t fillListView(const std::string& sSql, ListView& lv, std::int16_t iIdindex, bool bCheck);

void fillList(const bool& bClear, const std::string& sSql, const std::int16_t& iDataIndex,
              const std::int16_t& iIdindex, ListControl& ObjControl, float iDefaultIndex,
              const std::string& sOtherString);

}  // namespace Palvo::database
