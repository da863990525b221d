#include "src/util/amounts_and_lists.h"

#include <cmath>

#include "palvo/clsFunction.h"
#include "palvo/error.h"
#include "palvo/msgbox.h"
#include "src/base/conversions.h"

namespace Palvo::util {

namespace {
// Position i (1..12) of the working field holds a digit of this unit; position 10 is the point.
constexpr std::u32string_view units = U"亿仟佰拾万仟佰拾元 角分";
constexpr std::u32string_view digitChars = U"零壹贰叁肆伍陆柒捌玖";

[[noreturn]] void overflow() { throw Error(ErrorNumber::Overflow, "Overflow"); }
}  // namespace

std::string moneyInCapitals(double je) {
    const std::string s = formatFixed(std::fabs(je), 2);  // "###0.00"; throws for NaN and infinities
    if (s.size() > 12) overflow();
    const std::string field = std::string(12 - s.size(), ' ') + s;
    auto at = [&](int pos) { return field[static_cast<std::size_t>(pos - 1)]; };

    std::u32string result;
    bool lastZero = false;
    for (int i = 12; i >= 1; --i) {
        const char c = at(i);
        if (c == ' ' || c == '.') continue;
        std::u32string piece;
        if (c != '0') {
            piece += digitChars[static_cast<std::size_t>(c - '0')];
            piece += units[static_cast<std::size_t>(i - 1)];
        } else if (i == 12) {
            piece = U"整";
        } else if (i == 9) {
            piece = U"元";
        } else if (i == 5) {
            // A zero 万 digit still closes the 万 group (1001000: 壹佰万壹仟元整). When the whole
            // group is zero under a 亿 digit and 仟 follows, a 零 stands for it (壹亿零壹仟元整);
            // otherwise "万" is written and the 亿万 clean-up below removes it.
            const bool groupEmpty = (at(2) == '0' || at(2) == ' ') && (at(3) == '0' || at(3) == ' ') &&
                                    (at(4) == '0' || at(4) == ' ');
            piece = groupEmpty && at(6) != '0' ? U"零" : U"万";
        } else {
            piece = U"零";
        }
        if (piece != U"零") {
            result.insert(0, piece);
            lastZero = false;
        } else if (!lastZero && !result.starts_with(U'元') && !result.starts_with(U'万')) {
            result.insert(0, piece);
            lastZero = true;
        }
    }
    if (at(11) == '0' && at(12) == '0') result.erase(result.size() - 2, 1);  // the 零 before 整
    if (auto p = result.find(U"亿万"); p != std::u32string::npos) result.erase(p + 1, 1);
    if (je < 0 && s != "0.00") result.insert(0, U"负");
    return encodeUtf8(result);
}

std::string amountInCapitals(double je) {
    try {
        return moneyInCapitals(je);
    } catch (...) {
        msgBox("最大只能处理小于十亿", vbInformation, "提示信息");
        return {};
    }
}

std::int32_t codePageLength(const std::string& str) { return gbkLength(str); }

namespace {
constexpr std::int32_t pwdOffset = 17321;
// A transformed code that names no GBK character is kept as U+F0000 + code (private use plane 15).
constexpr char32_t codeCarrier = 0xF0000;
}  // namespace

std::string transformPassword(const std::string& sPwd, bool /*bType*/) {
    std::string out;
    out.reserve(sPwd.size() * 2);
    for (char32_t ch : decodeUtf8(sPwd)) {
        std::optional<std::int16_t> code = ansiCode(ch);
        if (!code && ch >= codeCarrier && ch <= codeCarrier + 0xFFFF) {
            const auto carried = static_cast<std::int16_t>(static_cast<std::uint16_t>(ch - codeCarrier));
            if (!charFromAnsiCode(carried)) code = carried;
        }
        if (!code) {
            appendUtf8(out, ch);  // no code in GBK: the character stays as it is
            continue;
        }
        // -c - K taken as a 16-bit value; applying it twice gives c back.
        const auto bits = static_cast<std::uint16_t>(-static_cast<std::int32_t>(*code) - pwdOffset);
        const auto next = static_cast<std::int16_t>(bits);
        if (auto c = charFromAnsiCode(next))
            appendUtf8(out, *c);
        else
            appendUtf8(out, codeCarrier + bits);
    }
    return out;
}

std::int16_t indexInArray(const std::vector<std::string>& sArray, const std::string& sText) {
    for (std::size_t i = 0; i < sArray.size(); ++i) {
        if (sArray[i] != sText) continue;
        if (i > 32767) overflow();
        return static_cast<std::int16_t>(i);
    }
    return -1;
}

namespace {
// The port has no text setter: re-insert the entry, keeping the item data at its position.
void replaceEntry(ListBox& list, int index, const std::string& text) {
    const std::int32_t data = list.ItemData(index);
    list.RemoveItem(index);
    list.AddItem(text, index);
    list.ItemData(index, data);
}
}  // namespace

void swapListItems(ListBox& ObjLst, std::int32_t iIndex1, std::int32_t iIndex2) {
    const std::int32_t last = ObjLst.ListCount() - 1;
    if (iIndex1 > last || iIndex2 > last) return;
    const std::string text1 = ObjLst.List(iIndex1);
    const std::string text2 = ObjLst.List(iIndex2);
    const bool sel1 = ObjLst.Selected(iIndex1);
    const bool sel2 = ObjLst.Selected(iIndex2);
    if (iIndex1 != iIndex2) {
        replaceEntry(ObjLst, iIndex1, text2);
        replaceEntry(ObjLst, iIndex2, text1);
    }
    ObjLst.Selected(iIndex1, sel2);
    ObjLst.Selected(iIndex2, sel1);
    ObjLst.ListIndex(iIndex2);
}

std::int16_t listIndexOf(ListControl& ObjControl, const std::string& sText, std::int16_t iCompareType) {
    // A text that is not a number equals no item data.
    const std::optional<double> number = iCompareType != 0 ? readNumber(sText) : std::nullopt;
    if (iCompareType != 0 && !number) return -1;
    const int count = ObjControl.ListCount();
    for (int i = 0; i < count; ++i) {
        const bool match = iCompareType == 0 ? ObjControl.List(i) == sText
                                             : static_cast<double>(ObjControl.ItemData(i)) == *number;
        if (!match) continue;
        if (i > 32767) overflow();
        return static_cast<std::int16_t>(i);
    }
    return -1;
}

std::int32_t listViewIndexOf(ListView& ObjControl, const std::string& sText) {
    const int count = ObjControl.ListItemsCount();
    for (int i = 1; i <= count; ++i) {
        if (ObjControl.ListItems(i).Text() == sText) return i;
    }
    return 0;
}

}  // namespace Palvo::util

namespace Palvo {

std::string clsFunction::sConvertMoneyX(double je) { return util::amountInCapitals(je); }

std::int32_t clsFunction::lGetLenthStr(const std::string& str) { return util::codePageLength(str); }

std::string clsFunction::sSetPwd(const std::string& sPwd, bool bType) {
    return util::transformPassword(sPwd, bType);
}

std::int16_t clsFunction::iGetElementIndexFromArray(const std::vector<std::string>& sArray,
                                                    const std::string& sText) {
    return util::indexInArray(sArray, sText);
}

void clsFunction::mExChangeListItem(ListBox& ObjLst, std::int32_t iIndex1, std::int32_t iIndex2) {
    util::swapListItems(ObjLst, iIndex1, iIndex2);
}

std::int16_t clsFunction::iGetIdxFromComOrList(ListControl& ObjControl, const std::string& sText,
                                               std::int16_t iCompareType) {
    return util::listIndexOf(ObjControl, sText, iCompareType);
}

std::int32_t clsFunction::lGetIndexFromLV(ListView& ObjControl, const std::string& sText) {
    return util::listViewIndexOf(ObjControl, sText);
}

}  // namespace Palvo
