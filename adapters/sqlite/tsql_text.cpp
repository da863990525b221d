// Text functions in characters, not bytes: LEFT, RIGHT, LEN, SUBSTRING, and
// CHARINDEX and REPLACE without regard to ASCII case, as the default collation
// compares. Characters and case are the core's (util::charCount, midChars, asciiLower).
#include <algorithm>
#include <cstdio>

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
    std::size_t chars = util::charCount(s);
    if (static_cast<std::size_t>(n) >= chars) return resultText(ctx, s);
    if (left) return resultText(ctx, util::leftChars(s, static_cast<std::size_t>(n)));
    resultText(ctx, util::midChars(s, chars - static_cast<std::size_t>(n) + 1));
}

}  // namespace

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
    sqlite3_result_int64(ctx, static_cast<std::int64_t>(util::charCount(s)));
}

void fnSubstring(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(3, argv)) return sqlite3_result_null(ctx);
    std::int64_t start = sqlite3_value_int64(argv[1]);
    std::int64_t len = sqlite3_value_int64(argv[2]);
    if (len < 0) return resultError(ctx, "Invalid length parameter passed to the substring function.");
    std::string s = asText(argv[0]);
    std::int64_t endExclusive = start + len;  // in 1-based characters
    std::int64_t from = std::max<std::int64_t>(start, 1);
    std::int64_t chars = static_cast<std::int64_t>(util::charCount(s));
    std::int64_t to = std::min(endExclusive, chars + 1);
    if (to <= from) return resultText(ctx, "");
    resultText(ctx, util::midChars(s, static_cast<std::size_t>(from), static_cast<std::size_t>(to - from)));
}

void fnCharindex(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    std::string needle = asText(argv[0]);
    std::string hay = asText(argv[1]);
    std::int64_t start = argc > 2 ? std::max<std::int64_t>(sqlite3_value_int64(argv[2]), 1) : 1;
    if (needle.empty()) return sqlite3_result_int(ctx, 0);
    std::size_t from = util::leftChars(hay, static_cast<std::size_t>(start - 1)).size();
    std::size_t at = util::asciiLower(hay).find(util::asciiLower(needle), from);
    if (at == std::string::npos) return sqlite3_result_int(ctx, 0);
    sqlite3_result_int64(ctx,
                         static_cast<std::int64_t>(util::charCount(std::string_view(hay).substr(0, at))) + 1);
}

void fnReplace(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(3, argv)) return sqlite3_result_null(ctx);
    std::string s = asText(argv[0]);
    std::string find = asText(argv[1]);
    std::string rep = asText(argv[2]);
    if (find.empty()) return resultText(ctx, s);
    // ASCII case folding keeps every byte where it is, so positions carry over
    const std::string folded = util::asciiLower(s), foldedFind = util::asciiLower(find);
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
