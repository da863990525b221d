// clsFunction's amount in capital numerals.
#include <cmath>

#include "palvo/clsFunction.h"
#include "palvo/error.h"
#include "palvo/msgbox.h"
#include "src/base/conversions.h"

namespace Palvo {

namespace {
// Position i (1..12) of the working field holds a digit of this unit; position 10 is the point.
constexpr std::u32string_view units = U"亿仟佰拾万仟佰拾元 角分";
constexpr std::u32string_view digitChars = U"零壹贰叁肆伍陆柒捌玖";

// The capitals of an amount; throws Palvo::Error 6 at one thousand million and more.
std::string moneyInCapitals(double je) {
    const std::string s = base::formatFixed(std::fabs(je), 2);  // "###0.00"; throws for NaN and infinities
    if (s.size() > 12) throw Error(ErrorNumber::Overflow, "Overflow");
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
    return base::encodeUtf8(result);
}

}  // namespace

std::string clsFunction::sConvertMoneyX(double je) {
    try {
        return moneyInCapitals(je);
    } catch (...) {
        msgBox("最大只能处理小于十亿", vbInformation, "提示信息");
        return {};
    }
}

}  // namespace Palvo
