// The host platform's conversions, in one place: every module reads numbers,
// dates and patterns through these functions and nowhere else. The ones that
// adapters and hosts use too are declared in palvo/convert.h and palvo/text.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "palvo/convert.h"
#include "palvo/text.h"
#include "palvo/value.h"

namespace Palvo::base {

/// Room for DateTime::toText's longest text.
using DateTimeBuffer = std::array<char, 24>;
/// DateTime::toText written into `buffer`, without a string of its own.
std::string_view dateTimeText(const DateTime& d, DateTimeBuffer& buffer);

/// Hands `put` the text a value shows in a cell: a text as it stands (not
/// copied), Null as empty, anything else as its toText.
template <class Put>
void withCellText(const Value& v, Put&& put) {
    if (const std::string* s = v.text()) {
        put(std::string_view(*s));
    } else if (v.isNull()) {
        put(std::string_view());
    } else if (const DateTime* d = v.dateTime()) {
        DateTimeBuffer buffer;
        put(dateTimeText(*d, buffer));
    } else {
        put(std::string_view(v.toText()));
    }
}

// ---- numbers -------------------------------------------------------------

/// The number val reads from a text, written for SQL text: in shortest form as
/// formatNumber writes it ("7.50" gives 7.5, "0 or 1=1" gives 0, "" gives 0),
/// except that a plain number of more than fifteen significant digits, which a
/// double cannot carry, keeps all its digits (2024010100000124).
std::string sqlNumber(std::string_view text);

/// The leading number val reads from a text, exactly: its digits with an
/// exponent applied and nothing rounded ("2e1" gives 20, "1.5D-2" 0.015), an
/// "&H"/"&O" form as the whole number val gives. nullopt where val finds no
/// number (val gives 0); zero parts for a number val reads as 0 (1e-400).
/// Raises Palvo::Error 6 where val does (a number beyond a double).
std::optional<DecimalParts> valDecimal(std::string_view text);

/// Like readNumber, but raises Palvo::Error 13 (type mismatch) for a text that
/// is not a number, as the platform's CDbl does.
double toNumber(std::string_view text);

/// A plain decimal number plus one, exactly on its digits: the text is an
/// optional sign, digits with at most one decimal point (at least one digit)
/// and blanks or tabs around, of any length. The result is in shortest form,
/// without leading or trailing zeros: "0007" gives "8", "99.50" gives "100.5",
/// "-0.25" gives "0.75", "9223372036854775807" gives "9223372036854775808".
/// nullopt for any other text (an exponent included).
std::optional<std::string> plusOneExact(std::string_view text);

/// Rounds half to even and checks the 16-bit range, as the platform's CInt
/// does. Throws Palvo::Error 13 for a text that is not a number, 6 on overflow.
std::int16_t toInt16(std::string_view text);

/// A number rounded half to even into 16 or 32 bits, as the platform's CInt
/// and CLng do. Throws Palvo::Error 6 when it does not fit (NaN included).
std::int16_t cint(double value);
std::int32_t clng(double value);

/// The value with `decimals` digits after the point (pattern "0.00"), rounded
/// half away from zero on the number's 15-significant-digit decimal form, so
/// 2.675 gives "2.68" as a user reading 2.675 expects. No thousands
/// separators; "-" only when the rounded value is not zero.
/// Throws Palvo::Error 6 (overflow) for infinities and NaN.
std::string formatFixed(double value, int decimals);

// ---- dates ---------------------------------------------------------------

/// The platform's date number: daySerial plus the time of day as a fraction.
double dateSerial(const DateTime& d);

/// A date isDate accepts that SQL Server's datetime also takes as text:
/// 1753-01-01 to 9999-12-31, at most three digits after the seconds' point,
/// and nothing that datetime's 1/300 s rounding carries past the last day
/// (23:59:59.999 on 9999-12-31). A date outside this range pasted into a
/// statement is refused by the database.
bool isSqlDateTime(std::string_view text);

// ---- text ----------------------------------------------------------------

/// The part of `text` that trim keeps, without a copy.
std::string_view trimmedView(std::string_view text);
/// Whether the text is nothing but the digits 0-9 ("" is not).
inline bool allDigits(std::string_view text) {
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return !text.empty();
}
/// The parts between separators, empty ones kept, as the platform's Split:
/// "a,,b" gives "a", "", "b", and "" gives one empty part.
std::vector<std::string_view> split(std::string_view text, char separator);

/// The code points of a UTF-8 text. A byte that is not part of a well-formed
/// sequence becomes U+DC80 + (byte - 0x80), so that encodeUtf8 gives it back.
std::u32string decodeUtf8(std::string_view text);
/// The UTF-8 text of code points; U+DC80..U+DCFF are written as the single byte they stand for.
std::string encodeUtf8(std::u32string_view chars);
void appendUtf8(std::string& out, char32_t c);

// ---- the ANSI code page (GBK, CP936) --------------------------------------

/// Bytes the text takes in GBK: 1 for ASCII and the single-byte "€", 2 for
/// every Chinese (double-byte) character. A character GBK cannot encode is
/// written as "?" by the platform, so it counts 1 per UTF-16 unit (2 for a
/// character beyond U+FFFF).
/// Throws Palvo::Error 429 when iconv has no CP936 converter.
std::int32_t gbkLength(std::string_view text);

/// The platform's Asc: the character's code in GBK as a 16-bit signed value
/// (double-byte characters are negative); nullopt when GBK has no code for it
/// that reads back as the same character.
std::optional<std::int16_t> ansiCode(char32_t c);
/// The platform's Chr: the character of a GBK code; nullopt when the code is
/// not a character of GBK.
std::optional<char32_t> charFromAnsiCode(std::int16_t code);

namespace detail {
/// The GBK tables, built through iconv with the named character set.
/// Throws Palvo::Error 429 when iconv cannot open it. Exposed for tests.
struct CodePageTables {
    static constexpr std::uint16_t none = 0xFFFF;  // never a GBK code: 0xFF is neither lead nor trail byte
    std::vector<std::uint16_t> encode;             // BMP code point -> code (single byte b as b), or none
    std::vector<char32_t> decode;                  // code -> code point, or 0xFFFFFFFF
};
CodePageTables buildCodePageTables(const char* charset);
}  // namespace detail

}  // namespace Palvo::base
