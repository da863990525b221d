#include "palvo/clsFunction.h"

#include "src/util/keyfilters.h"
#include "src/util/money_text.h"
#include "src/util/period_ranges.h"

namespace Palvo {

std::int16_t clsFunction::iKeyPress_Control_Len(TextBox& TXT, std::int16_t iMax, std::int16_t KeyAscii) {
    return util::iKeyPress_Control_Len(TXT, iMax, KeyAscii);
}
std::int16_t clsFunction::iKeyPress_Control_Number(std::int16_t KeyAscii, TextBox& TXT, std::int16_t LenInt,
                                                   std::int16_t LenDec) {
    return util::iKeyPress_Control_Number(KeyAscii, TXT, LenInt, LenDec);
}
std::int16_t clsFunction::iKeyPress_Control_Date(TextBox& TXT, std::int16_t KeyAscii) {
    return util::iKeyPress_Control_Date(TXT, KeyAscii);
}
bool clsFunction::bIsNoText(TextBox& TXT) { return util::bIsNoText(TXT); }
bool clsFunction::bIsNum(TextBox& TXT) { return util::bIsNum(TXT); }
bool clsFunction::bIsInt(TextBox& TXT) { return util::bIsInt(TXT); }
bool clsFunction::bIsDay(const TextBox& TXT) { return util::bIsDay(TXT); }
bool clsFunction::bNumberBetOneAndZero(const std::string& numString) {
    return util::bNumberBetOneAndZero(numString);
}
std::string clsFunction::sUserDate(std::string& sTxt, const std::string& sFormat) {
    return util::sUserDate(sTxt, sFormat);
}

std::string clsFunction::sConvertMoneyX(double je) { return util::sConvertMoneyX(je); }
std::int32_t clsFunction::lGetLenthStr(const std::string& str) { return util::lGetLenthStr(str); }
std::string clsFunction::sSetPwd(const std::string& sPwd, bool bType) { return util::sSetPwd(sPwd, bType); }
std::int16_t clsFunction::iGetElementIndexFromArray(const std::vector<std::string>& sArray,
                                                    const std::string& sText) {
    return util::iGetElementIndexFromArray(sArray, sText);
}
void clsFunction::mExChangeListItem(ListBox& ObjLst, std::int32_t iIndex1, std::int32_t iIndex2) {
    util::mExChangeListItem(ObjLst, iIndex1, iIndex2);
}
std::int16_t clsFunction::iGetIdxFromComOrList(ListControl& ObjControl, const std::string& sText,
                                               std::int16_t iCompareType) {
    return util::iGetIdxFromComOrList(ObjControl, sText, iCompareType);
}
std::int32_t clsFunction::lGetIndexFromLV(ListView& ObjControl, const std::string& sText) {
    return util::lGetIndexFromLV(ObjControl, sText);
}

std::int16_t clsFunction::iComputeOneMonthDays(const std::string& strYear, const std::string& strMonth) {
    return util::iComputeOneMonthDays(strYear, strMonth);
}
std::int16_t clsFunction::iComputeOneYearDays(const std::string& strYear, const std::string& strMonth) {
    return util::iComputeOneYearDays(strYear, strMonth);
}
std::int16_t clsFunction::iComputeDateDelayTime(const std::string& strStartDate,
                                                const std::string& strEndDate) {
    return util::iComputeDateDelayTime(strStartDate, strEndDate);
}
std::string clsFunction::sComputeTendaysHandDateTime(const std::string& strYear, const std::string& strMonth,
                                                     const std::string& strTendays,
                                                     std::int16_t DateTimeFlag) {
    return util::sComputeTendaysHandDateTime(strYear, strMonth, strTendays, DateTimeFlag);
}
std::string clsFunction::sComputeYearHandDateTime(const std::string& strYear, const std::string& strMonth) {
    return util::sComputeYearHandDateTime(strYear, strMonth);
}
std::string clsFunction::sComputeTendaysDateClassNo(const std::string& strYear, const std::string& strMonth,
                                                    const std::string& strTendays,
                                                    std::int16_t DateTimeFlag) {
    return util::sComputeTendaysDateClassNo(strYear, strMonth, strTendays, DateTimeFlag);
}
std::string clsFunction::sHandDateTime(const std::string& strYear, const std::string& strMonth,
                                       std::int16_t StartEndFlag, std::int16_t DateTimeFlag) {
    return util::sHandDateTime(strYear, strMonth, StartEndFlag, DateTimeFlag);
}
std::string clsFunction::sComputeHandDateTime(const std::string& strYear, const std::string& strMonth,
                                              std::int16_t DateTimeFlag) {
    return util::sComputeHandDateTime(strYear, strMonth, DateTimeFlag);
}

}  // namespace Palvo
