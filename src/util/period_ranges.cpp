#include <cmath>

#include "palvo/clsFunction.h"
#include "palvo/error.h"
#include "palvo/msgbox.h"
#include "palvo/session.h"
#include "src/base/conversions.h"

namespace Palvo::util {

namespace {
const std::string upper = "上旬";
const std::string middle = "中旬";
const std::string lower = "下旬";

std::string dayText(const DateTime& d) { return base::formatDate(d, "yyyy-mm-dd"); }

// Year and month texts end up between quotes in SQL text: only numbers may pass.
void requireNumbers(const std::string& strYear, const std::string& strMonth) {
    base::toNumber(strYear);
    base::toNumber(strMonth);
}

// The month written with two digits: the last two characters of "00" & month.
std::string twoDigitMonth(const std::string& strMonth) {
    const std::string s = "00" + strMonth;
    return s.substr(s.size() - 2);
}

DateTime firstOfMonth(const std::string& year, const std::string& month) {
    return base::toDate(year + "-" + month + "-1");
}

// The first day of the month after the given one; December wraps to January.
DateTime firstOfNextMonth(const std::string& strYear, const std::string& strMonth, bool textDecember) {
    int y = base::toInt16(strYear);
    int m = base::toInt16(strMonth);
    const bool december = textDecember ? strMonth == "12" : m == 12;
    if (december) {
        ++y;
        m = 1;
    } else {
        ++m;
    }
    return base::toDate(std::to_string(y) + "-" + std::to_string(m) + "-01");
}

std::string dayBeforeMonth(const std::string& strYear, const std::string& strMonth) {
    return dayText(base::addDays(firstOfMonth(strYear, strMonth), -1));
}

std::string lastDayOfMonth(const std::string& strYear, const std::string& strMonth) {
    return dayText(base::addDays(firstOfNextMonth(strYear, strMonth, false), -1));
}

std::string lastDayOfPreviousYear(const std::string& strYear) {
    return formatNumber(base::toNumber(strYear) - 1) + "-12-31";
}

std::string tendaysEnd(const std::string& strYear, const std::string& mm, const std::string& strTendays) {
    std::string e = strYear + "-" + mm + "-";
    if (strTendays == upper)
        e += "10";
    else if (strTendays == middle)
        e += "20";
    else if (strTendays == lower)
        e += "31";
    return e;
}

std::string handRange(const std::string& s, const std::string& e) {
    return "Hand_Date +Hand_Time>'" + s + "18:00' AND Hand_Date +Hand_Time<'" + e + "18:01'";
}

}  // namespace

}  // namespace Palvo::util

namespace Palvo {

// the methods' bodies use the period helpers above by their own names
using namespace util;

std::int16_t clsFunction::iComputeOneMonthDays(const std::string& strYear, const std::string& strMonth) {
    const DateTime first = base::toDate(strYear + "-" + strMonth + "-01");
    return base::cint(static_cast<double>(base::daySerial(firstOfNextMonth(strYear, strMonth, true)) -
                                          base::daySerial(first)));
}

std::int16_t clsFunction::iComputeOneYearDays(const std::string& strYear, const std::string& strMonth) {
    const DateTime newYear = base::toDate(strYear + "-01-01");
    return base::cint(static_cast<double>(base::daySerial(firstOfNextMonth(strYear, strMonth, false)) -
                                          base::daySerial(newYear)));
}

std::int16_t clsFunction::iComputeDateDelayTime(const std::string& strStartDate,
                                                const std::string& strEndDate) {
    try {
        const double days =
            base::dateSerial(base::toDate(strEndDate)) - base::dateSerial(base::toDate(strStartDate)) + 1;
        return base::cint(days);  // halves to even
    } catch (...) {
        msgBox("日期输入错误!", vbOKOnly, session().sMsg);
        return -1;
    }
}

std::string clsFunction::sComputeTendaysHandDateTime(const std::string& strYear, const std::string& strMonth,
                                                     const std::string& strTendays,
                                                     std::int16_t DateTimeFlag) {
    requireNumbers(strYear, strMonth);
    const std::string mm = twoDigitMonth(strMonth);
    std::string s;
    if (DateTimeFlag == 0) {
        s = dayBeforeMonth(strYear, "1");
    } else if (DateTimeFlag == 1) {
        s = dayBeforeMonth(strYear, strMonth);
    } else if (DateTimeFlag == 2) {
        if (strTendays == upper)
            s = dayBeforeMonth(strYear, strMonth);
        else if (strTendays == middle)
            s = strYear + "-" + mm + "-10";
        else if (strTendays == lower)
            s = strYear + "-" + mm + "-20";
    }
    return handRange(s, tendaysEnd(strYear, mm, strTendays));
}

std::string clsFunction::sComputeYearHandDateTime(const std::string& strYear, const std::string& strMonth) {
    requireNumbers(strYear, strMonth);
    return handRange(dayBeforeMonth(strYear, "1"), strYear + "-" + twoDigitMonth(strMonth) + "-00");
}

std::string clsFunction::sComputeTendaysDateClassNo(const std::string& strYear, const std::string& strMonth,
                                                    const std::string& strTendays,
                                                    std::int16_t DateTimeFlag) {
    requireNumbers(strYear, strMonth);
    const std::string mm = twoDigitMonth(strMonth);
    std::string s;
    if (DateTimeFlag == 0) {
        s = strYear + "-01-01";
    } else if (DateTimeFlag == 1) {
        s = strYear + "-" + mm + "-01";
    } else if (DateTimeFlag == 2) {
        if (strTendays == upper)
            s = strYear + "-" + mm + "-01";
        else if (strTendays == middle)
            s = strYear + "-" + mm + "-11";
        else if (strTendays == lower)
            s = strYear + "-" + mm + "-21";
    }
    return "Date_Class_No>'" + s + "_00' AND Date_Class_No<'" + tendaysEnd(strYear, mm, strTendays) + "_55'";
}

std::string clsFunction::sHandDateTime(const std::string& strYear, const std::string& strMonth,
                                       std::int16_t StartEndFlag, std::int16_t DateTimeFlag) {
    requireNumbers(strYear, strMonth);
    if (StartEndFlag == 0) {
        const std::string d =
            DateTimeFlag == 1 ? dayBeforeMonth(strYear, strMonth) : lastDayOfPreviousYear(strYear);
        return "'" + d + "18:00' ";
    }
    if (StartEndFlag == 1) return "'" + dayBeforeMonth(strYear, strMonth) + "18:01'";
    return "'" + lastDayOfMonth(strYear, strMonth) + "18:01' ";
}

std::string clsFunction::sComputeHandDateTime(const std::string& strYear, const std::string& strMonth,
                                              std::int16_t DateTimeFlag) {
    requireNumbers(strYear, strMonth);
    if (DateTimeFlag != 1)
        return handRange(lastDayOfPreviousYear(strYear), dayBeforeMonth(strYear, strMonth));
    return handRange(dayBeforeMonth(strYear, strMonth), lastDayOfMonth(strYear, strMonth)) + " ";
}

}  // namespace Palvo
