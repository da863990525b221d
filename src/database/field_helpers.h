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

/// "" on success, the error description otherwise.
std::string setFieldValue(const std::string& tbname, const std::string& fieldName,
                          const std::string& fieldValue, const std::string& referFieldName1,
                          const std::string& referValue1, const std::string& referFieldName2,
                          const std::string& referValue2);

std::string nextId(const std::string& tbname, std::int16_t lenId, const std::string& IncField);

std::int32_t searchCount(const std::string& sSearchStr);

std::string someInfo(const std::string& sSql, const std::int16_t& iReturnIndex, const std::string& sDefault);

}  // namespace Palvo::database
