// clsFunction: key filters, value checks, amounts in capitals, text and list
// helpers, and period date-time ranges. Messages go through the calling
// thread's message box (palvo/msgbox.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "palvo/controls.h"
#include "palvo/export.h"

namespace Palvo {

class PALVO_API clsFunction {
public:
    // ---- key filters: the key code to let through, or 0 -------------------

    /// Accepts a key while the text, with the selection replaced by it, fits iMax GBK bytes.
    std::int16_t iKeyPress_Control_Len(TextBox& TXT, std::int16_t iMax, std::int16_t KeyAscii);
    /// Accepts digits, one "." and a leading "-" within LenInt integer and LenDec decimal digits.
    std::int16_t iKeyPress_Control_Number(std::int16_t KeyAscii, TextBox& TXT, std::int16_t LenInt,
                                          std::int16_t LenDec);
    /// Accepts digits, and "-" and ":" once the box holds something.
    std::int16_t iKeyPress_Control_Date(TextBox& TXT, std::int16_t KeyAscii);

    // ---- value checks: tell the user in a message box titled "提示" ---------

    /// True (after a message and focusing the box) when the trimmed text is empty.
    bool bIsNoText(TextBox& TXT);
    /// False (after a message, emptying and focusing the box) when the text is not a number.
    bool bIsNum(TextBox& TXT);
    /// False (after a message, emptying and focusing the box) when the text is not a whole number.
    bool bIsInt(TextBox& TXT);
    /// Whether the text is a full year-month-day date with "-", not before 1900-01-01. No message.
    bool bIsDay(const TextBox& TXT);
    /// Whether the text is a number from 0 to 1, both included (compared in single precision).
    bool bNumberBetOneAndZero(const std::string& numString);
    /// Trims sTxt in place; returns it as a date in the form chosen by the number of
    /// "-"-separated parts of sFormat (1: as typed, 2: yyyy-mm, 3: YYYY-MM-DD), or "-1".
    std::string sUserDate(std::string& sTxt, const std::string& sFormat = "YYYY-MM-DD");

    // ---- amounts, text and lists -------------------------------------------

    /// The amount in Chinese capital numerals (壹佰零壹元整); negative amounts start with 负.
    /// At one thousand million and more shows "最大只能处理小于十亿" and returns "".
    std::string sConvertMoneyX(double je);
    /// The length of the text in GBK bytes (two for every Chinese character).
    std::int32_t lGetLenthStr(const std::string& str);
    /// The reversible password transform: applying it twice gives the text back. bType is not used.
    std::string sSetPwd(const std::string& sPwd, bool bType);
    /// Index of the first element equal to sText, or -1.
    std::int16_t iGetElementIndexFromArray(const std::vector<std::string>& sArray, const std::string& sText);
    /// Swaps the texts and selection marks of two entries and selects iIndex2; item data stays in place.
    /// Does nothing when an index is past the last entry; a negative index raises the control's error.
    void mExChangeListItem(ListBox& ObjLst, std::int32_t iIndex1, std::int32_t iIndex2);
    /// Index of the first entry whose text (iCompareType 0) or item data (any other value) equals sText, or
    /// -1.
    std::int16_t iGetIdxFromComOrList(ListControl& ObjControl, const std::string& sText,
                                      std::int16_t iCompareType = 0);
    /// 1-based index of the first list item whose text equals sText, or 0.
    std::int32_t lGetIndexFromLV(ListView& ObjControl, const std::string& sText);

    // ---- day counts and period ranges under the 18:00 day boundary ---------
    // Year and month texts that are not numbers or dates raise Palvo::Error 13.

    std::int16_t iComputeOneMonthDays(const std::string& strYear, const std::string& strMonth);
    /// Days from 1 January through the end of the month.
    std::int16_t iComputeOneYearDays(const std::string& strYear, const std::string& strMonth);
    /// Days from start to end, both counted; -1 after the message "日期输入错误!" for a bad date.
    std::int16_t iComputeDateDelayTime(const std::string& strStartDate, const std::string& strEndDate);
    std::string sComputeTendaysHandDateTime(const std::string& strYear, const std::string& strMonth,
                                            const std::string& strTendays, std::int16_t DateTimeFlag);
    std::string sComputeYearHandDateTime(const std::string& strYear, const std::string& strMonth);
    std::string sComputeTendaysDateClassNo(const std::string& strYear, const std::string& strMonth,
                                           const std::string& strTendays, std::int16_t DateTimeFlag);
    std::string sHandDateTime(const std::string& strYear, const std::string& strMonth,
                              std::int16_t StartEndFlag, std::int16_t DateTimeFlag);
    std::string sComputeHandDateTime(const std::string& strYear, const std::string& strMonth,
                                     std::int16_t DateTimeFlag);
};

}  // namespace Palvo
