#include "src/util/keyfilters.h"

#include <algorithm>
#include <cmath>

#include "palvo/clsFunction.h"
#include "palvo/error.h"
#include "palvo/msgbox.h"
#include "src/base/conversions.h"

namespace Palvo::util {

namespace {
constexpr std::int16_t keyBack = 8;
constexpr std::int16_t keyEnter = 13;
constexpr std::int16_t keyApostrophe = 39;
constexpr std::int16_t keyMinus = 45;
constexpr std::int16_t keyPoint = 46;
constexpr std::int16_t keyColon = 58;

bool isDigitKey(std::int16_t k) { return k >= '0' && k <= '9'; }

// Bytes of the character a key code stands for: double-byte codes are negative.
std::int32_t keyBytes(std::int16_t k) { return k < 0 || k > 0xFF ? 2 : 1; }

// The checks never raise: a box that refuses the focus (disabled) simply keeps it where it was.
void focus(TextBox& box) {
    try {
        box.SetFocus();
    } catch (const Error&) {
    }
}

void complain(TextBox& box, const char* message, bool empty) {
    msgBox(message, vbExclamation, "提示");
    if (empty) box.Text("");
    focus(box);
}
}  // namespace

std::int16_t filterLengthKey(TextBox& TXT, std::int16_t iMax, std::int16_t KeyAscii) {
    if (KeyAscii == keyApostrophe) return 0;
    if (KeyAscii == keyBack || KeyAscii == keyEnter) return KeyAscii;
    const std::string text = base::trim(TXT.Text());
    const auto start = static_cast<std::size_t>(std::max(TXT.SelStart(), 0));
    const auto length = static_cast<std::size_t>(std::max(TXT.SelLength(), 0));
    const std::int32_t after = base::gbkLength(base::leftChars(text, start)) + keyBytes(KeyAscii) +
                               base::gbkLength(base::midChars(text, start + length + 1));
    return after <= iMax ? KeyAscii : 0;
}

std::int16_t filterNumberKey(std::int16_t KeyAscii, TextBox& TXT, std::int16_t LenInt, std::int16_t LenDec) {
    const std::string text = TXT.Text();
    if (KeyAscii == keyMinus) {
        return text.find('-') == std::string::npos && TXT.SelStart() == 0 ? KeyAscii : 0;
    }
    if (KeyAscii == keyPoint) return text.find('.') == std::string::npos ? KeyAscii : 0;
    if (isDigitKey(KeyAscii)) {
        const auto p = static_cast<long>(base::inStr(text, "."));
        const auto len = static_cast<long>(base::charCount(text));
        bool ok;
        if (p > 0 && TXT.SelStart() >= p)
            ok = len - p < LenDec;
        else if (p > 0)
            ok = p <= LenInt;
        else
            ok = len < LenInt;
        return ok ? KeyAscii : 0;
    }
    if (KeyAscii == keyBack || KeyAscii == keyEnter) return KeyAscii;
    return 0;
}

std::int16_t filterDateKey(TextBox& TXT, std::int16_t KeyAscii) {
    if (KeyAscii == keyApostrophe) return 0;
    if (KeyAscii == keyColon || KeyAscii == keyMinus) return TXT.Text().empty() ? 0 : KeyAscii;
    if (KeyAscii == keyEnter || KeyAscii == keyBack || isDigitKey(KeyAscii)) return KeyAscii;
    return 0;
}

bool isDayBox(const std::string& s) {
    if (s.find('.') != std::string::npos) return false;
    if (std::count(s.begin(), s.end(), '-') != 2) return false;
    auto d = base::parseDate(s);
    if (!d) return false;
    return base::daySerial(*d) >= base::daySerial(DateTime{1900, 1, 1, 0, 0, 0, 0});
}

bool isDayBox(const TextBox& TXT) { return isDayBox(TXT.Text()); }

}  // namespace Palvo::util

namespace Palvo {

// the methods' bodies use the checks above by their own names
using namespace util;

std::int16_t clsFunction::iKeyPress_Control_Len(TextBox& TXT, std::int16_t iMax, std::int16_t KeyAscii) {
    return util::filterLengthKey(TXT, iMax, KeyAscii);
}

std::int16_t clsFunction::iKeyPress_Control_Number(std::int16_t KeyAscii, TextBox& TXT, std::int16_t LenInt,
                                                   std::int16_t LenDec) {
    return util::filterNumberKey(KeyAscii, TXT, LenInt, LenDec);
}

std::int16_t clsFunction::iKeyPress_Control_Date(TextBox& TXT, std::int16_t KeyAscii) {
    return util::filterDateKey(TXT, KeyAscii);
}

bool clsFunction::bIsNoText(TextBox& TXT) {
    if (!base::trim(TXT.Text()).empty()) return false;
    complain(TXT, "请把必填项填充完整！", false);
    return true;
}

bool clsFunction::bIsNum(TextBox& TXT) {
    if (base::isNumeric(TXT.Text())) return true;
    complain(TXT, "请填入数字！", true);
    return false;
}

bool clsFunction::bIsInt(TextBox& TXT) {
    const std::string text = TXT.Text();
    // "1e-5" has no point but is no whole number: the value itself must be whole.
    auto v = base::readNumber(text);
    if (v && text.find('.') == std::string::npos && std::trunc(*v) == *v) return true;
    complain(TXT, "请填入整数！", true);
    return false;
}

bool clsFunction::bIsDay(const TextBox& TXT) { return util::isDayBox(TXT); }

bool clsFunction::bNumberBetOneAndZero(const std::string& numString) {
    auto v = base::readNumber(numString);
    if (!v || std::fabs(*v) > 2.0) return false;  // also keeps the narrowing below defined
    const auto single = static_cast<float>(*v);   // the value is compared in single precision
    return single >= 0.0f && single <= 1.0f;
}

std::string clsFunction::sUserDate(std::string& sTxt, const std::string& sFormat) {
    std::size_t parts = 0;
    if (!sFormat.empty())
        parts = static_cast<std::size_t>(std::count(sFormat.begin(), sFormat.end(), '-')) + 1;
    sTxt = base::trim(sTxt);
    auto d = base::parseDate(sTxt);
    if (!d) return "-1";
    switch (parts) {
        case 1:
            return sTxt;
        case 2:
            return base::formatDate(*d, "yyyy-mm");
        case 3:
            return base::formatDate(*d, "YYYY-MM-DD");
        default:
            return "-1";
    }
}

}  // namespace Palvo
