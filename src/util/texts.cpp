// clsFunction's text helpers: code-page lengths and the password transform.
#include <optional>

#include "palvo/clsFunction.h"
#include "src/base/conversions.h"

namespace Palvo {

std::int32_t clsFunction::lGetLenthStr(const std::string& str) { return base::gbkLength(str); }

namespace {
constexpr std::int32_t pwdOffset = 17321;
// A transformed code that names no GBK character is kept as U+F0000 + code (private use plane 15).
constexpr char32_t codeCarrier = 0xF0000;
}  // namespace

std::string clsFunction::sSetPwd(const std::string& sPwd, bool /*bType*/) {
    std::string out;
    out.reserve(sPwd.size() * 2);
    for (char32_t ch : base::decodeUtf8(sPwd)) {
        std::optional<std::int16_t> code = base::ansiCode(ch);
        if (!code && ch >= codeCarrier && ch <= codeCarrier + 0xFFFF) {
            const auto carried = static_cast<std::int16_t>(static_cast<std::uint16_t>(ch - codeCarrier));
            if (!base::charFromAnsiCode(carried)) code = carried;
        }
        if (!code) {
            base::appendUtf8(out, ch);  // no code in GBK: the character stays as it is
            continue;
        }
        // -c - K taken as a 16-bit value; applying it twice gives c back.
        const auto bits = static_cast<std::uint16_t>(-static_cast<std::int32_t>(*code) - pwdOffset);
        const auto next = static_cast<std::int16_t>(bits);
        if (auto c = base::charFromAnsiCode(next))
            base::appendUtf8(out, *c);
        else
            base::appendUtf8(out, codeCarrier + bits);
    }
    return out;
}

}  // namespace Palvo
