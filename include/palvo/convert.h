// The core's readers and writers of numbers and dates, as the platform reads
// them, for adapters and hosts that must read a value exactly as the core
// does (the stored date form included). Defined in the core (Palvo::core).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "palvo/export.h"
#include "palvo/value.h"

namespace Palvo::base {

// ---- numbers -------------------------------------------------------------

/// The leading number of a text, as the platform's Val reads it: blanks, tabs
/// and line feeds are skipped wherever they stand, reading stops at the first
/// character that cannot continue the number, "&H"/"&O" prefixes read hex and
/// octal, and a text without a number gives 0. A number beyond the range of
/// a double (1e400) raises Palvo::Error 6 (overflow), as the platform does.
PALVO_API double val(std::string_view text);

/// The numeric test (the platform's IsNumeric): blanks and tabs around, an
/// optional sign, digits with at most one decimal point (at least one digit),
/// and an optional exponent "e"/"E" with optional sign and digits. The value
/// must fit a double. Nothing else: no thousands separators, currency signs,
/// "&H" literals or "D" exponents, because a number that passes is pasted
/// into SQL text as it stands.
PALVO_API bool isNumeric(std::string_view text);

/// The value of a text that passes isNumeric; nullopt for any other text.
PALVO_API std::optional<double> readNumber(std::string_view text);

/// The parts of a decimal number written out: its sign, the digits before the
/// point without leading zeros ("" for none) and after it without trailing zeros.
struct PALVO_API DecimalParts {
    bool negative = false;
    std::string whole;
    std::string fraction;
};

/// Reads the whole text as an optional sign, digits with at most one decimal
/// point (at least one digit) and, when `exponent` is true, an optional
/// "e"/"E" with optional sign and digits, which moves the point in the digits
/// (nothing is rounded). nullopt for any other text. Blanks are not skipped.
PALVO_API std::optional<DecimalParts> decimalParts(std::string_view text, bool exponent);

/// The parts as text: "-" unless the number is zero, "0" for an empty whole,
/// the fraction padded with zeros to at least `scale` digits.
PALVO_API std::string decimalText(const DecimalParts& parts, std::size_t scale = 0);

// ---- dates ---------------------------------------------------------------

/// The date test and parse: year-month-day with "-" or "/" (one kind per
/// text), a four-digit year, one- or two-digit month and day, and an optional
/// time of day "H:MM[:SS[.fff]]" after a blank. Impossible dates (2004-1-32,
/// 2003-2-29) are not dates. nullopt for anything else.
PALVO_API std::optional<DateTime> parseDate(std::string_view text);
PALVO_API bool isDate(std::string_view text);
/// Like parseDate, but raises Palvo::Error 13 (type mismatch) for a text that is not a date.
PALVO_API DateTime toDate(std::string_view text);

/// Days from the platform's day zero, 1899-12-30, to the date (time ignored).
PALVO_API std::int64_t daySerial(const DateTime& d);
/// The date `days` days later (earlier when negative), time of day kept.
/// Throws Palvo::Error 5 when the result leaves the years 1 to 9999.
PALVO_API DateTime addDays(const DateTime& d, std::int64_t days);

/// Formats as the platform's Format does for the date patterns in use:
/// "yyyy", "yy", "mm"/"m" (month; minutes when the last field was an hour),
/// "dd"/"d", "hh"/"h" (24-hour), "nn"/"n", "ss"/"s", any case; every other
/// character, Chinese ones included, is copied. So "YYYY-MM-DD" gives
/// 2004-03-05, "yyyy-mm" 2004-03, "YYYY年M月D日" 2004年3月5日, "hh:mm:ss" 08:05:09.
PALVO_API std::string formatDate(const DateTime& d, std::string_view pattern);

}  // namespace Palvo::base
