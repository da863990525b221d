// Day counts and WHERE fragments for years, months and ten-day periods under
// the 18:00 day boundary (clsFunction).
#pragma once

#include <cstdint>
#include <string>

namespace Palvo::util {

std::int16_t monthDays(const std::string& strYear, const std::string& strMonth);
std::int16_t daysToMonthEnd(const std::string& strYear, const std::string& strMonth);
std::int16_t daysBetween(const std::string& strStartDate, const std::string& strEndDate);
std::string tendaysRange(const std::string& strYear, const std::string& strMonth,
                         const std::string& strTendays, std::int16_t DateTimeFlag);
std::string yearRange(const std::string& strYear, const std::string& strMonth);
std::string tendaysClassNo(const std::string& strYear, const std::string& strMonth,
                           const std::string& strTendays, std::int16_t DateTimeFlag);
std::string monthBoundary(const std::string& strYear, const std::string& strMonth, std::int16_t StartEndFlag,
                          std::int16_t DateTimeFlag);
std::string monthRange(const std::string& strYear, const std::string& strMonth, std::int16_t DateTimeFlag);

}  // namespace Palvo::util
