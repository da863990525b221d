// The column, total, sort and group lists of a user's query settings set.
#pragma once

#include <string>

namespace Palvo::query {

/// The list of kind sLx ("选择" or "", "合计", "排序", "分组"), comma-separated; seeds
/// the set from the catalogue when the shown columns are asked for and the set is
/// empty (clsDatabase::sGetField). sWhere1 and sWhere2 have no effect.
std::string fieldList(const std::string& sTable, const std::string& sCxLb, const std::string& sCxm,
                      const std::string& sLx, const std::string& sWhere1, const std::string& sWhere2,
                      const std::string& sMustSetString);

}  // namespace Palvo::query
