// The host platform's conversions, in one place: every module reads numbers,
// dates and patterns through these functions and nowhere else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "palvo/value.h"

namespace Palvo::util {

// ---- numbers -------------------------------------------------------------

/// The leading number of a text, as the platform's Val reads it: blanks, tabs
/// and line feeds are skipped wherever they stand, reading stops at the first
/// character that cannot continue the number, "&H"/"&O" prefixes read hex and
/// octal, and a text without a number gives 0. A number beyond the range of
/// a double (1e400) raises Palvo::Error 6 (overflow), as the platform does.
double val(std::string_view text);

/// The number val reads from a text, written for SQL text: in shortest form as
/// formatNumber writes it ("7.50" gives 7.5, "0 or 1=1" gives 0, "" gives 0),
/// except that a plain number of more than fifteen significant digits, which a
/// double cannot carry, keeps all its digits (2024010100000124).
std::string sqlNumber(std::string_view text);

/// The numeric test (the platform's IsNumeric): blanks and tabs around, an
/// optional sign, digits with at most one decimal point (at least one digit),
/// and an optional exponent "e"/"E" with optional sign and digits. The value
/// must fit a double. Nothing else: no thousands separators, currency signs,
/// "&H" literals or "D" exponents, because a number that passes is pasted
/// into SQL text as it stands.
bool isNumeric(std::string_view text);

/// The value of a text that passes isNumeric; nullopt for any other text.
std::optional<double> readNumber(std::string_view text);

/// Like readNumber, but raises Palvo::Error 13 (type mismatch) for a text that
/// is not a number, as the platform's CDbl does.
double toNumber(std::string_view text);

/// The parts of a decimal number written out: its sign, the digits before the
/// point without leading zeros ("" for none) and after it without trailing zeros.
struct DecimalParts {
    bool negative = false;
    std::string whole;
    std::string fraction;
};

/// Reads the whole text as an optional sign, digits with at most one decimal
/// point (at least one digit) and, when `exponent` is true, an optional
/// "e"/"E" with optional sign and digits, which moves the point in the digits
/// (nothing is rounded). nullopt for any other text. Blanks are not skipped.
std::optional<DecimalParts> decimalParts(std::string_view text, bool exponent);

/// The parts as text: "-" unless the number is zero, "0" for an empty whole,
/// the fraction padded with zeros to at least `scale` digits.
std::string decimalText(const DecimalParts& parts, std::size_t scale = 0);

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

/// The date test and parse: year-month-day with "-" or "/" (one kind per
/// text), a four-digit year, one- or two-digit month and day, and an optional
/// time of day "H:MM[:SS[.fff]]" after a blank. Impossible dates (2004-1-32,
/// 2003-2-29) are not dates. nullopt for anything else.
std::optional<DateTime> parseDate(std::string_view text);
bool isDate(std::string_view text);
/// Like parseDate, but raises Palvo::Error 13 (type mismatch) for a text that is not a date.
DateTime toDate(std::string_view text);

/// Days from the platform's day zero, 1899-12-30, to the date (time ignored).
std::int64_t daySerial(const DateTime& d);
/// The platform's date number: daySerial plus the time of day as a fraction.
double dateSerial(const DateTime& d);
/// The date `days` days later (earlier when negative), time of day kept.
/// Throws Palvo::Error 5 when the result leaves the years 1 to 9999.
DateTime addDays(const DateTime& d, std::int64_t days);

/// Formats as the platform's Format does for the date patterns in use:
/// "yyyy", "yy", "mm"/"m" (month; minutes when the last field was an hour),
/// "dd"/"d", "hh"/"h" (24-hour), "nn"/"n", "ss"/"s", any case; every other
/// character, Chinese ones included, is copied. So "YYYY-MM-DD" gives
/// 2004-03-05, "yyyy-mm" 2004-03, "YYYY年M月D日" 2004年3月5日, "hh:mm:ss" 08:05:09.
std::string formatDate(const DateTime& d, std::string_view pattern);

// ---- text ----------------------------------------------------------------

/// Removes blanks (spaces only, as the platform's Trim does) at both ends.
std::string trim(std::string_view text);
/// The part of `text` that trim keeps, without a copy.
std::string_view trimmedView(std::string_view text);
/// The part of `text` without spaces and tabs at either end, as numbers and
/// dates are read.
std::string_view trimBlanks(std::string_view text);
/// ASCII letters folded to lower case; other bytes as they are.
std::string asciiLower(std::string_view text);
/// Equal when ASCII letters are folded to one case; other bytes must match.
bool equalsNoCase(std::string_view a, std::string_view b);
/// The parts between separators, empty ones kept, as the platform's Split:
/// "a,,b" gives "a", "", "b", and "" gives one empty part.
std::vector<std::string_view> split(std::string_view text, char separator);

/// Doubles every single quote, for a value pasted between quotes in SQL text.
std::string sqlQuote(std::string_view text);

/// Reads the character at byte `i` of a UTF-8 text and moves `i` past it. A
/// byte that does not start a well-formed sequence (overlong forms, surrogates
/// and code points past U+10FFFF are not well-formed) is passed alone: `c` is
/// that byte, `i` moves one on, and the result is false.
bool nextUtf8(std::string_view text, std::size_t& i, char32_t& c);
/// The code points of a UTF-8 text. A byte that is not part of a well-formed
/// sequence becomes U+DC80 + (byte - 0x80), so that encodeUtf8 gives it back.
std::u32string decodeUtf8(std::string_view text);
/// The UTF-8 text of code points; U+DC80..U+DCFF are written as the single byte they stand for.
std::string encodeUtf8(std::u32string_view chars);
void appendUtf8(std::string& out, char32_t c);

/// Length, Left, Mid and InStr of the platform, counted in characters (code points).
std::size_t charCount(std::string_view text);
std::string leftChars(std::string_view text, std::size_t count);
/// Characters from the 1-based position `start` on, at most `count` of them.
std::string midChars(std::string_view text, std::size_t start, std::size_t count = std::string::npos);
/// 1-based character position of the first `what` in `text`, 0 when absent.
std::size_t inStr(std::string_view text, std::string_view what);

/// The platform's Like with binary (case-sensitive) comparison, character by
/// character on UTF-8 text: "*" any run, "?" any one character, "#" one digit
/// 0-9, "[abc]", "[a-z]" and "[!a-z]" one character in or not in the list.
/// Throws Palvo::Error 93 (invalid pattern string) for an unclosed "[" or a
/// descending range such as "[z-a]".
bool like(std::string_view text, std::string_view pattern);

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

}  // namespace Palvo::util
