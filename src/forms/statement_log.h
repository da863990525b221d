// The outgoing statement log SendSql: statements other units must receive.
#pragma once

#include <string>

namespace Palvo::forms {

std::string keepStatement(const std::string& sFrmName, const std::string& sSql, const std::string& sTableName,
                          const std::string& sFsDw, const std::string& sJsDw, const std::string& sLx);

}  // namespace Palvo::forms
