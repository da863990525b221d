// Text helpers of the core that adapters and hosts share: trimming, case
// folding, SQL quoting, and character counts on UTF-8 text. Defined in the
// core (Palvo::core).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "palvo/export.h"

namespace Palvo::base {

/// Removes blanks (spaces only, as the platform's Trim does) at both ends.
PALVO_API std::string trim(std::string_view text);
/// The part of `text` without spaces and tabs at either end, as numbers and
/// dates are read.
PALVO_API std::string_view trimBlanks(std::string_view text);
/// ASCII letters folded to lower case; other bytes as they are.
PALVO_API std::string asciiLower(std::string_view text);
/// Equal when ASCII letters are folded to one case; other bytes must match.
PALVO_API bool equalsNoCase(std::string_view a, std::string_view b);

/// Doubles every single quote, for a value pasted between quotes in SQL text.
PALVO_API std::string sqlQuote(std::string_view text);

/// Where the quoted part of T-SQL text that opens at byte `at` ends, for a scan
/// that looks for words or signs outside quotes: a text ('it''s', N'...'), a
/// quoted or bracketed name ("a""b", [a]]b]), a comment to the end of its line
/// (--, the line break with it) or a block comment (/* */, nested as T-SQL nests
/// them). `at` itself when nothing quoted opens there; an unclosed one runs to
/// the end of the text.
PALVO_API std::size_t skipSqlQuoted(std::string_view sql, std::size_t at);

/// Reads the character at byte `i` of a UTF-8 text and moves `i` past it. A
/// byte that does not start a well-formed sequence (overlong forms, surrogates
/// and code points past U+10FFFF are not well-formed) is passed alone: `c` is
/// that byte, `i` moves one on, and the result is false.
PALVO_API bool nextUtf8(std::string_view text, std::size_t& i, char32_t& c);

/// Length, Left, Mid and InStr of the platform, counted in characters (code points).
PALVO_API std::size_t charCount(std::string_view text);
PALVO_API std::string leftChars(std::string_view text, std::size_t count);
/// Characters from the 1-based position `start` on, at most `count` of them.
PALVO_API std::string midChars(std::string_view text, std::size_t start,
                               std::size_t count = std::string::npos);
/// 1-based character position of the first `what` in `text`, 0 when absent.
PALVO_API std::size_t inStr(std::string_view text, std::string_view what);

/// The platform's Like with binary (case-sensitive) comparison, character by
/// character on UTF-8 text: "*" any run, "?" any one character, "#" one digit
/// 0-9, "[abc]", "[a-z]" and "[!a-z]" one character in or not in the list.
/// Throws Palvo::Error 93 (invalid pattern string) for an unclosed "[" or a
/// descending range such as "[z-a]".
PALVO_API bool like(std::string_view text, std::string_view pattern);

}  // namespace Palvo::base
