// Day counts and WHERE fragments for years, months and ten-day periods under
// the 18:00 day boundary (clsFunction).
#pragma once

#include <cstdint>
#include <string>

namespace Palvo::util {

std::int16_t iComputeOneMonthDays(const std::string& strYear, const std::string& strMonth);
std::int16_t iComputeOneYearDays(const std::string& strYear, const std::string& strMonth);
std::int16_t iComputeDateDelayTime(const std::string& strStartDate, const std::string& strEndDate);
std::string sComputeTendaysHandDateTime(const std::string& strYear, const std::string& strMonth,
                                        const std::string& strTendays, std::int16_t DateTimeFlag);
std::string sComputeYearHandDateTime(const std::string& strYear, const std::string& strMonth);
std::string sComputeTendaysDateClassNo(const std::string& strYear, const std::string& strMonth,
                                       const std::string& strTendays, std::int16_t DateTimeFlag);
std::string sHandDateTime(const std::string& strYear, const std::string& strMonth, std::int16_t StartEndFlag,
                          std::int16_t DateTimeFlag);
std::string sComputeHandDateTime(const std::string& strYear, const std::string& strMonth,
                                 std::int16_t DateTimeFlag);

}  // namespace Palvo::util
