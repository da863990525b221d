// Field value, identifier and count helpers over the session's connection.
#pragma once

#include <cstdint>
#include <string>

namespace Palvo::database {

std::string fieldValue(const std::string& tbname, const std::string& fieldName,
                       const std::string& referFieldName1, const std::string& referValue1,
                       const std::string& referFieldName2, const std::string& referValue2,
                       const std::string& referFieldName3, const std::string& referValue3,
                       const std::string& referFieldName4, const std::string& referValue4,
                       const std::string& referFieldName5, const std::string& referValue5);

}  // namespace Palvo::database
