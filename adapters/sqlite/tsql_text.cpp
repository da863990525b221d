// Text functions in characters, not bytes: LEFT, RIGHT, LEN, SUBSTRING, and
// CHARINDEX and REPLACE without regard to ASCII case, as the default collation
// compares. Characters and case are the core's (base::charCount, midChars, asciiLower).
// CHAR and ASCII speak the Chinese code page (CP936, through iconv), NCHAR and
// UNICODE UTF-16 as SQL Server's nvarchar does.
#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <optional>

#include "palvo/text.h"
#include "tsql_support.h"

namespace Palvo::sqlite::tsql {

namespace {

std::string asText(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_FLOAT || sqlite3_value_type(v) == SQLITE_INTEGER)
        return numberText(v);
    return std::string(textOf(v));
}

void fnLeftRight(sqlite3_context* ctx, int, sqlite3_value** argv, bool left) {
    if (anyNull(2, argv)) return sqlite3_result_null(ctx);
    std::int64_t n = sqlite3_value_int64(argv[1]);
    if (n < 0) {
        return resultError(ctx, std::string("Invalid length parameter passed to the ") +
                                    (left ? "left" : "right") + " function.");
    }
    std::string s = asText(argv[0]);
    std::size_t chars = base::charCount(s);
    if (static_cast<std::size_t>(n) >= chars) return resultText(ctx, s);
    if (left) return resultText(ctx, base::leftChars(s, static_cast<std::size_t>(n)));
    resultText(ctx, base::midChars(s, chars - static_cast<std::size_t>(n) + 1));
}

// Converts between UTF-8 and the Chinese code page; nullopt when a byte or
// character has no counterpart. One converter per thread and direction.
std::optional<std::string> recode(std::string_view in, bool toCodePage) {
    struct Converter {
        iconv_t cd;
        Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {}
        ~Converter() {
            if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
        }
    };
    thread_local Converter toCp("CP936", "UTF-8"), fromCp("UTF-8", "CP936");
    iconv_t cd = toCodePage ? toCp.cd : fromCp.cd;
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out(in.size() * 4 + 4, '\0');
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size(), dstLeft = out.size();
    char* dst = out.data();
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1) ||
        iconv(cd, nullptr, nullptr, &dst, &dstLeft) == static_cast<std::size_t>(-1)) {
        return std::nullopt;
    }
    out.resize(out.size() - dstLeft);
    return out;
}

// The whole-number argument of CHAR and NCHAR, converted as SQL Server converts
// to int; false after reporting an error.
bool wholeArg(sqlite3_context* ctx, sqlite3_value* v, std::int64_t& n) {
    const int t = sqlite3_value_type(v);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
        const double d = sqlite3_value_double(v);
        n = d > 9e18 ? INT64_MAX : d < -9e18 ? INT64_MIN : static_cast<std::int64_t>(d);
        return true;
    }
    if (auto w = parseWhole(textOf(v))) {
        n = *w;
        return true;
    }
    resultError(ctx,
                "Conversion failed when converting the varchar value '" + asText(v) + "' to data type int.");
    return false;
}

// The first character of a text and its code point; false for an empty text.
bool firstChar(sqlite3_value* v, std::string& text, char32_t& c) {
    text = asText(v);
    if (text.empty()) return false;
    std::size_t i = 0;
    base::nextUtf8(text, i, c);
    text.resize(i);
    return true;
}

}  // namespace

// CHAR(n): the character of the code page's single byte n; Null beyond 0 to 255
// and for a byte that is no character alone (a lead byte of a Chinese character).
void fnChar(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    std::int64_t n = 0;
    if (!wholeArg(ctx, argv[0], n)) return;
    if (n < 0 || n > 255) return sqlite3_result_null(ctx);
    const char byte = static_cast<char>(n);
    if (n < 0x80) return resultText(ctx, std::string_view(&byte, 1));
    auto c = recode(std::string_view(&byte, 1), false);
    if (!c) return sqlite3_result_null(ctx);
    resultText(ctx, *c);
}

// NCHAR(n): the character of UTF-16 code n; Null beyond 0 to 65535 (a collation
// without supplementary characters) and for a lone surrogate.
void fnNchar(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    std::int64_t n = 0;
    if (!wholeArg(ctx, argv[0], n)) return;
    if (n < 0 || n > 0xFFFF || (n >= 0xD800 && n <= 0xDFFF)) return sqlite3_result_null(ctx);
    const auto u = static_cast<unsigned>(n);
    char out[3];
    int len = 1;
    if (u < 0x80) {
        out[0] = static_cast<char>(u);
    } else if (u < 0x800) {
        out[0] = static_cast<char>(0xC0 | (u >> 6));
        out[1] = static_cast<char>(0x80 | (u & 0x3F));
        len = 2;
    } else {
        out[0] = static_cast<char>(0xE0 | (u >> 12));
        out[1] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (u & 0x3F));
        len = 3;
    }
    resultText(ctx, std::string_view(out, static_cast<std::size_t>(len)));
}

// ASCII(s): the code page's code of the first character, its first byte for a
// Chinese character; Null for an empty text.
void fnAscii(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    std::string first;
    char32_t c = 0;
    if (!firstChar(argv[0], first, c)) return sqlite3_result_null(ctx);
    if (c < 0x80) return sqlite3_result_int(ctx, static_cast<int>(c));
    // a character the code page lacks is sent as '?'
    auto bytes = recode(first, true);
    sqlite3_result_int(ctx, bytes && !bytes->empty() ? static_cast<unsigned char>((*bytes)[0]) : '?');
}

// UNICODE(s): the first UTF-16 code of the text (the high surrogate of a
// character beyond U+FFFF); Null for an empty text.
void fnUnicode(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    std::string first;
    char32_t c = 0;
    if (!firstChar(argv[0], first, c)) return sqlite3_result_null(ctx);
    if (c > 0xFFFF) c = 0xD800 + ((c - 0x10000) >> 10);
    sqlite3_result_int(ctx, static_cast<int>(c));
}

// tsql_refuse('what'): a statement only the embedded database's connection makes.
void fnRefuse(sqlite3_context* ctx, int, sqlite3_value** argv) {
    resultError(ctx, "Not supported by this SQLite host: " + std::string(textOf(argv[0])) +
                         " (the embedded database's connection makes it).");
}

void fnCannotDrop(sqlite3_context* ctx, int, sqlite3_value** argv) {
    resultError(ctx, "Cannot drop the " + std::string(textOf(argv[0])) + " '" + std::string(textOf(argv[1])) +
                         "', because it does not exist or you do not have permission.");
}

bool roomForText(sqlite3_context* ctx, std::uint64_t bytes) {
    if (bytes >
        static_cast<std::uint64_t>(sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LENGTH, -1))) {
        sqlite3_result_error_toobig(ctx);
        return false;
    }
    const sqlite3_int64 bound = sqlite3_hard_heap_limit64(-1);
    if (bound > 0 &&
        static_cast<std::uint64_t>(sqlite3_memory_used()) + 2 * bytes > static_cast<std::uint64_t>(bound)) {
        sqlite3_result_error_nomem(ctx);
        return false;
    }
    return true;
}

std::string numberText(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_FLOAT) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15g", sqlite3_value_double(v));
        return buf;
    }
    return std::string(textOf(v));
}

void fnLeft(sqlite3_context* ctx, int argc, sqlite3_value** argv) { fnLeftRight(ctx, argc, argv, true); }
void fnRight(sqlite3_context* ctx, int argc, sqlite3_value** argv) { fnLeftRight(ctx, argc, argv, false); }

void fnLen(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    std::string s = asText(argv[0]);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    sqlite3_result_int64(ctx, static_cast<std::int64_t>(base::charCount(s)));
}

void fnSubstring(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(3, argv)) return sqlite3_result_null(ctx);
    std::int64_t start = sqlite3_value_int64(argv[1]);
    std::int64_t len = sqlite3_value_int64(argv[2]);
    if (len < 0) return resultError(ctx, "Invalid length parameter passed to the substring function.");
    std::string s = asText(argv[0]);
    std::int64_t endExclusive = start + len;  // in 1-based characters
    std::int64_t from = std::max<std::int64_t>(start, 1);
    std::int64_t chars = static_cast<std::int64_t>(base::charCount(s));
    std::int64_t to = std::min(endExclusive, chars + 1);
    if (to <= from) return resultText(ctx, "");
    resultText(ctx, base::midChars(s, static_cast<std::size_t>(from), static_cast<std::size_t>(to - from)));
}

void fnCharindex(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    std::string needle = asText(argv[0]);
    std::string hay = asText(argv[1]);
    std::int64_t start = argc > 2 ? std::max<std::int64_t>(sqlite3_value_int64(argv[2]), 1) : 1;
    if (needle.empty()) return sqlite3_result_int(ctx, 0);
    std::size_t from = base::leftChars(hay, static_cast<std::size_t>(start - 1)).size();
    std::size_t at = base::asciiLower(hay).find(base::asciiLower(needle), from);
    if (at == std::string::npos) return sqlite3_result_int(ctx, 0);
    sqlite3_result_int64(ctx,
                         static_cast<std::int64_t>(base::charCount(std::string_view(hay).substr(0, at))) + 1);
}

void fnReplace(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(3, argv)) return sqlite3_result_null(ctx);
    std::string s = asText(argv[0]);
    std::string find = asText(argv[1]);
    std::string rep = asText(argv[2]);
    if (find.empty()) return resultText(ctx, s);
    // ASCII case folding keeps every byte where it is, so positions carry over
    const std::string folded = base::asciiLower(s), foldedFind = base::asciiLower(find);
    if (rep.size() > find.size()) {
        // the result's size first: a short text with many matches makes a large one
        std::uint64_t matches = 0;
        for (std::size_t at = folded.find(foldedFind); at != std::string::npos;
             at = folded.find(foldedFind, at + find.size()))
            ++matches;
        if (!roomForText(ctx, s.size() + matches * (rep.size() - find.size()))) return;
    }
    std::string out;
    std::size_t pos = 0;
    while (true) {
        std::size_t at = folded.find(foldedFind, pos);
        if (at == std::string::npos) break;
        out.append(s, pos, at - pos);
        out += rep;
        pos = at + find.size();
    }
    out.append(s, pos, std::string::npos);
    resultText(ctx, out);
}

}  // namespace Palvo::sqlite::tsql
