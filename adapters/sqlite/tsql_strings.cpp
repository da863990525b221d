// Text: LIKE with character sets, PATINDEX, STUFF, the lists FOR XML PATH('')
// and STRING_AGG make, and the other text functions, as SQL Server answers them
// under Chinese_PRC_CI_AS (case, width and kana type ignored, accents not).
#include <unicode/uchar.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "collation.h"
#include "palvo/text.h"
#include "tsql_functions.h"
#include "tsql_support.h"

namespace Palvo::sqlite {

namespace {

using tsql::anyNull;
using tsql::resultError;
using tsql::resultText;
using tsql::textOf;

std::string textArg(sqlite3_value* v) {
    const int t = sqlite3_value_type(v);
    if (t == SQLITE_FLOAT || t == SQLITE_INTEGER) return tsql::numberText(v);
    return std::string(textOf(v));
}

std::u32string codePoints(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    std::size_t i = 0;
    char32_t c = 0;
    while (i < s.size()) {
        base::nextUtf8(s, i, c);
        out += c;
    }
    return out;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string utf8(std::u32string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char32_t c : s) appendUtf8(out, c);
    return out;
}

// One character as the collation sees it for equality: case, width and kana
// type folded away, accents kept.
char32_t fold(char32_t c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
    if (c >= 0xFF01 && c <= 0xFF5E) return fold(c - 0xFEE0);  // full-width ASCII
    if (c == 0x3000) return ' ';                              // ideographic space
    if (c >= 0x30A1 && c <= 0x30F6) return c - 0x60;          // katakana as hiragana
    if (c >= 0x4E00 && c <= 0x9FFF) return c;                 // Han: no case
    return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
}

// The collator a range [a-c] compares with, one per thread.
const ChineseCollator* collator() {
    thread_local std::unique_ptr<ChineseCollator> c = [] {
        std::string why;
        return std::unique_ptr<ChineseCollator>(ChineseCollator::open(why));
    }();
    return c.get();
}

// The collation's order of two folded characters: ASCII letters among
// themselves and digits among themselves by their code, the rest by ICU.
int collate(char32_t a, char32_t b) {
    auto letter = [](char32_t c) { return c >= 'a' && c <= 'z'; };
    auto digit = [](char32_t c) { return c >= '0' && c <= '9'; };
    if ((letter(a) && letter(b)) || (digit(a) && digit(b))) return a < b ? -1 : a > b;
    std::string x, y;
    appendUtf8(x, a);
    appendUtf8(y, b);
    const ChineseCollator* c = collator();
    return c ? c->compare(x, y) : x.compare(y);
}

// ---- LIKE patterns

struct Element {
    enum Kind { Literal, One, Any, Set, Never } kind = Literal;
    char32_t c = 0;  // folded, of a Literal
    bool negated = false;
    std::vector<std::pair<char32_t, char32_t>> ranges;  // of a Set: single characters as (c, c), folded

    bool matches(char32_t v) const {
        switch (kind) {
            case Literal:
                return fold(v) == c;
            case One:
                return true;
            case Set: {
                const char32_t f = fold(v);
                bool in = false;
                for (const auto& [lo, hi] : ranges) {
                    if (lo == hi ? f == lo : collate(f, lo) >= 0 && collate(f, hi) <= 0) {
                        in = true;
                        break;
                    }
                }
                return in != negated;
            }
            default:
                return false;
        }
    }
};

std::vector<Element> never() {
    Element e;
    e.kind = Element::Never;
    return {e};
}

// The pattern's elements: % any run, _ one character, [set], [^set], [a-c]; the
// escape character makes the next one literal. A pattern ending in the escape
// character, or with a '[' never closed, matches nothing.
std::vector<Element> compile(std::u32string_view p, char32_t escape, bool hasEscape) {
    std::vector<Element> out;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const char32_t c = p[i];
        Element e;
        if (hasEscape && c == escape) {
            if (++i == p.size()) return never();
            e.c = fold(p[i]);
        } else if (c == '%') {
            if (!out.empty() && out.back().kind == Element::Any) continue;
            e.kind = Element::Any;
        } else if (c == '_') {
            e.kind = Element::One;
        } else if (c == '[') {
            std::size_t k = i + 1;
            e.kind = Element::Set;
            if (k < p.size() && p[k] == '^') {
                e.negated = true;
                ++k;
            }
            bool closed = false;
            for (; k < p.size(); ++k) {
                char32_t x = p[k];
                if (x == ']') {
                    closed = true;
                    break;
                }
                if (hasEscape && x == escape && k + 1 < p.size()) x = p[++k];
                if (k + 2 < p.size() && p[k + 1] == '-' && p[k + 2] != ']') {
                    e.ranges.emplace_back(fold(x), fold(p[k + 2]));
                    k += 2;
                } else {
                    e.ranges.emplace_back(fold(x), fold(x));
                }
            }
            if (!closed) return never();
            i = k;
        } else {
            e.c = fold(c);
        }
        out.push_back(std::move(e));
    }
    return out;
}

// Whether the pattern matches the UTF-8 value; with `blanksOptional` (ASCII
// LIKE) the value's trailing blanks may stay unmatched. The last % absorbs one
// more character whenever what follows it fails.
bool matchFrom(const std::vector<Element>& pat, std::size_t p, std::string_view v,
               bool blanksOptional = true) {
    std::size_t trimmed = v.size();
    while (blanksOptional && trimmed > 0 && v[trimmed - 1] == ' ') --trimmed;
    // the byte after the character at `at`, which is read into c
    auto next = [&](std::size_t at, char32_t& c) {
        const auto b = static_cast<unsigned char>(v[at]);
        if (b < 0x80) {
            c = b;
            return at + 1;
        }
        // the three bytes of a Chinese character read here; anything else by the core's reader
        if (b >= 0xE1 && b <= 0xEC && at + 2 < v.size() &&
            (static_cast<unsigned char>(v[at + 1]) & 0xC0) == 0x80 &&
            (static_cast<unsigned char>(v[at + 2]) & 0xC0) == 0x80) {
            c = (char32_t(b & 0x0F) << 12) | (char32_t(v[at + 1] & 0x3F) << 6) | char32_t(v[at + 2] & 0x3F);
            return at + 3;
        }
        base::nextUtf8(v, at, c);
        return at;
    };
    constexpr std::size_t none = std::string_view::npos;
    std::size_t i = 0, star = none, starI = 0;
    char32_t c = 0;
    while (true) {
        if (p == pat.size()) {
            if (i >= trimmed) return true;
        } else if (pat[p].kind == Element::Any) {
            star = p++;
            starI = i;
            continue;
        } else if (pat[p].kind == Element::Never) {
            return false;
        } else if (i < v.size()) {
            const std::size_t after = next(i, c);
            if (pat[p].matches(c)) {
                i = after;
                ++p;
                continue;
            }
        }
        if (star == none || starI >= v.size()) return false;
        p = star + 1;
        starI = next(starI, c);
        i = starI;
    }
}

// A value's text without a copy: numbers are written into `held`.
std::string_view valueText(sqlite3_value* v, std::string& held) {
    const int t = sqlite3_value_type(v);
    if (t == SQLITE_FLOAT || t == SQLITE_INTEGER) {
        held = tsql::numberText(v);
        return held;
    }
    return textOf(v);
}

// The escape argument: one character, else SQL Server's 506.
bool escapeArg(sqlite3_context* ctx, int argc, sqlite3_value** argv, char32_t& escape) {
    if (argc < 3) return true;
    const std::u32string e = codePoints(textArg(argv[2]));
    if (e.size() != 1) {
        resultError(ctx, "The invalid escape character \"" + textArg(argv[2]) +
                             "\" was specified in a LIKE predicate.");
        return false;
    }
    escape = e[0];
    return true;
}

// tsql_like(value, pattern[, escape]); tsql_nlike, Unicode LIKE, counts the value's trailing blanks
void fnLike(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    char32_t escape = 0;
    if (!escapeArg(ctx, argc, argv, escape)) return;
    // a pattern written in the statement is compiled once and kept by SQLite for the next rows
    struct Compiled {
        std::vector<Element> pattern;
        char32_t escape = 0;
        bool hasEscape = false;
    };
    auto* kept = static_cast<Compiled*>(sqlite3_get_auxdata(ctx, 1));
    std::unique_ptr<Compiled> made;
    if (!kept || kept->escape != escape || kept->hasEscape != (argc > 2)) {
        made = std::make_unique<Compiled>(
            Compiled{compile(codePoints(textArg(argv[1])), escape, argc > 2), escape, argc > 2});
        kept = made.get();
    }
    const bool unicode = sqlite3_user_data(ctx) != nullptr;
    std::string held;
    sqlite3_result_int(ctx, matchFrom(kept->pattern, 0, valueText(argv[0], held), !unicode) ? 1 : 0);
    if (made) sqlite3_set_auxdata(ctx, 1, made.release(), [](void* p) { delete static_cast<Compiled*>(p); });
}

// tsql_patindex(pattern, value): the position of the first character of the first
// match of a pattern that starts with '%', 1 or 0 for one that does not.
void fnPatindex(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(2, argv)) return sqlite3_result_null(ctx);
    const std::vector<Element> pat = compile(codePoints(textArg(argv[0])), 0, false);
    std::string held;
    const std::string_view v = valueText(argv[1], held);
    if (pat.empty() || pat[0].kind != Element::Any)
        return sqlite3_result_int(ctx, matchFrom(pat, 0, v) ? 1 : 0);
    std::size_t at = 0;
    char32_t c = 0;
    for (sqlite3_int64 position = 1;; ++position) {
        if (matchFrom(pat, 1, v.substr(at))) return sqlite3_result_int64(ctx, position);
        if (at >= v.size()) break;
        base::nextUtf8(v, at, c);
    }
    sqlite3_result_int(ctx, 0);
}

// ---- functions of one value

bool wholeArgument(sqlite3_context* ctx, sqlite3_value* v, std::int64_t& n) {
    const int t = sqlite3_value_type(v);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
        const double d = sqlite3_value_double(v);
        n = d > 9e18 ? INT64_MAX : d < -9e18 ? INT64_MIN : static_cast<std::int64_t>(d);
        return true;
    }
    if (auto w = tsql::parseWhole(textOf(v))) {
        n = *w;
        return true;
    }
    resultError(ctx,
                "Conversion failed when converting the varchar value '" + textArg(v) + "' to data type int.");
    return false;
}

// tsql_stuff(s, start, length, insert): Null for a start outside the text or a negative length.
void fnStuff(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(3, argv)) return sqlite3_result_null(ctx);
    std::int64_t start = 0, length = 0;
    if (!wholeArgument(ctx, argv[1], start) || !wholeArgument(ctx, argv[2], length)) return;
    const std::string s = textArg(argv[0]);
    if (start < 1 || length < 0) return sqlite3_result_null(ctx);
    // the byte where character `n` (0-based) starts; s.size() when the text is shorter
    char32_t c = 0;
    auto skip = [&](std::size_t from, std::int64_t n) {
        while (n-- > 0 && from < s.size()) base::nextUtf8(s, from, c);
        return from;
    };
    const std::size_t at = skip(0, start - 1);
    if (at >= s.size()) return sqlite3_result_null(ctx);  // a start beyond the text
    const std::size_t resume = skip(at, length);
    std::string out = s.substr(0, at);
    if (sqlite3_value_type(argv[3]) != SQLITE_NULL) out += textArg(argv[3]);
    out.append(s, resume, std::string::npos);
    resultText(ctx, out);
}

// tsql_replicate(s, n): Null for a negative count.
void fnReplicate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(2, argv)) return sqlite3_result_null(ctx);
    std::int64_t n = 0;
    if (!wholeArgument(ctx, argv[1], n)) return;
    if (n < 0) return sqlite3_result_null(ctx);
    const std::string s = textArg(argv[0]);
    if (!tsql::roomForText(ctx, static_cast<std::uint64_t>(n) * s.size())) return;
    std::string out;
    out.reserve(static_cast<std::size_t>(n) * s.size());
    for (std::int64_t k = 0; k < n; ++k) out += s;
    resultText(ctx, out);
}

void fnSpace(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(1, argv)) return sqlite3_result_null(ctx);
    std::int64_t n = 0;
    if (!wholeArgument(ctx, argv[0], n)) return;
    if (n < 0) return sqlite3_result_null(ctx);
    if (!tsql::roomForText(ctx, static_cast<std::uint64_t>(n))) return;
    resultText(ctx, std::string(static_cast<std::size_t>(n), ' '));
}

void fnReverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(1, argv)) return sqlite3_result_null(ctx);
    std::u32string s = codePoints(textArg(argv[0]));
    std::reverse(s.begin(), s.end());
    resultText(ctx, utf8(s));
}

// tsql_quotename(s[, q]): s between the delimiters, the closing one doubled inside;
// Null beyond 128 characters or for a character that delimits nothing.
void fnQuotename(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    const std::string s = textArg(argv[0]);
    const std::string q = argc > 1 ? textArg(argv[1]) : "[";
    if (base::charCount(s) > 128 || q.size() != 1) return sqlite3_result_null(ctx);
    static const char* const pairs[] = {"[]", "][", "\"\"", "''", "()", ")(", "<>", "><", "{}", "}{", "``"};
    const char* pair = nullptr;
    for (const char* p : pairs) {
        if (p[0] == q[0]) pair = p;
    }
    if (!pair) return sqlite3_result_null(ctx);
    const char open =
        pair[0] == ']' || pair[0] == ')' || pair[0] == '>' || pair[0] == '}' ? pair[1] : pair[0];
    const char close = open == '[' ? ']' : open == '(' ? ')' : open == '<' ? '>' : open == '{' ? '}' : open;
    std::string out(1, open);
    for (char c : s) {
        out += c;
        if (c == close) out += c;
    }
    out += close;
    resultText(ctx, out);
}

// x as STR rounds it to `decimals`: the float's own value to the nearest (123.35,
// a float just below it, gives 123.3), an exact half away from zero. printf
// rounds to the nearest; a half is moved one step outward first.
double roundedAt(double x, int decimals) {
    char digits[400];
    std::snprintf(digits, sizeof digits, "%.*f", decimals + 40, x);  // the float's exact digits
    const std::string_view rest =
        std::string_view(digits).substr(std::string_view(digits).find('.') + 1 + decimals);
    const bool half =
        rest.size() > 1 && rest[0] == '5' && rest.find_first_not_of('0', 1) == std::string_view::npos;
    return half ? std::nextafter(x, x < 0 ? -HUGE_VAL : HUGE_VAL) : x;
}

// tsql_str(x[, length[, decimals]]): right-aligned in `length` (10), rounded to
// `decimals` (0, at most 16), fewer decimals when the whole part needs the
// room; asterisks when even that does not fit.
void fnStr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    double x = 0;
    const int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
        x = sqlite3_value_double(argv[0]);
    } else {
        const std::string s = textArg(argv[0]);
        char* end = nullptr;
        x = std::strtod(s.c_str(), &end);
        while (end && *end == ' ') ++end;
        if (s.empty() || !end || *end)
            return resultError(ctx, "Error converting data type varchar to float.");
    }
    std::int64_t length = 10, decimals = 0;
    if (argc > 1 && !wholeArgument(ctx, argv[1], length)) return;
    if (argc > 2 && !wholeArgument(ctx, argv[2], decimals)) return;
    if (length <= 0 || length > 8000 || decimals < 0) return sqlite3_result_null(ctx);
    decimals = std::min<std::int64_t>(decimals, 16);
    for (auto d = static_cast<int>(decimals); d >= 0; --d) {
        char buf[400];
        std::snprintf(buf, sizeof buf, "%.*f", d, roundedAt(x, d));
        const std::string text = buf;
        if (static_cast<std::int64_t>(text.size()) <= length)
            return resultText(ctx, std::string(static_cast<std::size_t>(length) - text.size(), ' ') + text);
    }
    resultText(ctx, std::string(static_cast<std::size_t>(length), '*'));
}

// tsql_concat(a, b, ...): Null is ''.
void fnConcat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::string out;
    for (int k = 0; k < argc; ++k) {
        if (sqlite3_value_type(argv[k]) != SQLITE_NULL) out += textArg(argv[k]);
    }
    resultText(ctx, out);
}

// tsql_concat_ws(separator, a, b, ...): Nulls are left out with their separator.
void fnConcatWs(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const std::string sep = sqlite3_value_type(argv[0]) == SQLITE_NULL ? "" : textArg(argv[0]);
    std::string out;
    bool first = true;
    for (int k = 1; k < argc; ++k) {
        if (sqlite3_value_type(argv[k]) == SQLITE_NULL) continue;
        if (!first) out += sep;
        out += textArg(argv[k]);
        first = false;
    }
    resultText(ctx, out);
}

// tsql_trim(s[, characters]): the characters (blanks by default) off both ends.
void fnTrim(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    const std::u32string s = codePoints(textArg(argv[0]));
    const std::u32string set = argc > 1 ? codePoints(textArg(argv[1])) : U" ";
    auto trims = [&](char32_t c) { return set.find(c) != std::u32string::npos; };
    std::size_t b = 0, e = s.size();
    while (b < e && trims(s[b])) ++b;
    while (e > b && trims(s[e - 1])) --e;
    resultText(ctx, utf8(std::u32string_view(s).substr(b, e - b)));
}

// tsql_translate(s, from, to): each character of `from` becomes the one at its
// place in `to`, once; the two must be as long.
void fnTranslate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(3, argv)) return sqlite3_result_null(ctx);
    std::u32string s = codePoints(textArg(argv[0]));
    const std::u32string from = codePoints(textArg(argv[1])), to = codePoints(textArg(argv[2]));
    if (from.size() != to.size()) {
        return resultError(
            ctx,
            "The second and third arguments of the TRANSLATE built-in function must contain an "
            "equal number of characters.");
    }
    for (char32_t& c : s) {
        const char32_t f = fold(c);
        for (std::size_t k = 0; k < from.size(); ++k) {
            if (fold(from[k]) == f) {
                c = to[k];
                break;
            }
        }
    }
    resultText(ctx, utf8(s));
}

// ---- lists

// The text FOR XML PATH('') makes of a value: &, <, > and the control characters
// XML cannot hold bare as entities; tab and line feed stay.
void appendXml(std::string& out, std::string_view s) {
    const bool plain = std::none_of(s.begin(), s.end(), [](char c) {
        return c == '&' || c == '<' || c == '>' ||
               (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n');
    });
    if (plain) return (void)out.append(s);
    for (char c : s) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "&#x%02X;", static_cast<unsigned>(c));
                    out += buf;
                } else {
                    out += c;
                }
        }
    }
}

struct XmlList {
    std::string* text;  // null until the first row
};

// tsql_xml_path(value, entities): the rows' values one after the other in the
// order they come (a subquery's ORDER BY), Null values left out; Null without rows.
void xmlStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* list = static_cast<XmlList*>(sqlite3_aggregate_context(ctx, sizeof(XmlList)));
    if (!list) return sqlite3_result_error_nomem(ctx);
    if (!list->text) list->text = new std::string;
    const int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_NULL) return;
    if (type == SQLITE_FLOAT) {
        // SQL Server writes a float (1.500000000000000e+000) or a decimal (1.50) in forms of its own
        return resultError(
            ctx, "Not supported by the embedded database: FOR XML PATH('') of a number with a fraction.");
    }
    if (type == SQLITE_INTEGER) {
        *list->text += tsql::numberText(argv[0]);  // digits need no entities
        return;
    }
    const std::string_view v = textOf(argv[0]);
    if (sqlite3_value_int(argv[1]))
        appendXml(*list->text, v);
    else
        list->text->append(v);
}

void xmlFinal(sqlite3_context* ctx) {
    auto* list = static_cast<XmlList*>(sqlite3_aggregate_context(ctx, 0));
    if (!list || !list->text) return sqlite3_result_null(ctx);
    std::unique_ptr<std::string> text(list->text);
    list->text = nullptr;
    if (tsql::roomForText(ctx, text->size())) resultText(ctx, *text);
}

// A sort key of STRING_AGG ... WITHIN GROUP.
struct Key {
    int type = SQLITE_NULL;
    double number = 0;
    std::int64_t whole = 0;
    std::string text;
};

struct Item {
    std::string value;
    std::vector<Key> keys;
};

struct AggList {
    std::vector<Item> items;
    std::string separator;
    std::string directions;  // 'a' or 'd' per key
};

struct AggState {
    AggList* list;
};

int compareKeys(const Key& a, const Key& b) {
    // Null first, then numbers, then text in the collation's order
    auto rank = [](const Key& k) {
        return k.type == SQLITE_NULL ? 0 : k.type == SQLITE_TEXT || k.type == SQLITE_BLOB ? 2 : 1;
    };
    if (rank(a) != rank(b)) return rank(a) < rank(b) ? -1 : 1;
    if (rank(a) == 0) return 0;
    if (rank(a) == 1) {
        if (a.type == SQLITE_INTEGER && b.type == SQLITE_INTEGER)
            return a.whole < b.whole ? -1 : a.whole > b.whole;
        return a.number < b.number ? -1 : a.number > b.number;
    }
    const ChineseCollator* c = collator();
    if (!c) return a.text.compare(b.text);
    return c->compare(a.text, b.text);
}

// tsql_string_agg(value, separator, 'ad...', key...): the values that are not
// Null joined by the separator, sorted by the keys (a: ascending, d: descending).
void aggStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    auto* state = static_cast<AggState*>(sqlite3_aggregate_context(ctx, sizeof(AggState)));
    if (!state) return sqlite3_result_error_nomem(ctx);
    if (!state->list) {
        state->list = new AggList;
        if (sqlite3_value_type(argv[1]) != SQLITE_NULL) state->list->separator = textArg(argv[1]);
        if (argc > 2) state->list->directions = std::string(textOf(argv[2]));
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
    Item item{textArg(argv[0]), {}};
    for (int k = 3; k < argc; ++k) {
        Key key;
        key.type = sqlite3_value_type(argv[k]);
        if (key.type == SQLITE_INTEGER) key.whole = sqlite3_value_int64(argv[k]);
        if (key.type == SQLITE_INTEGER || key.type == SQLITE_FLOAT)
            key.number = sqlite3_value_double(argv[k]);
        if (key.type == SQLITE_TEXT || key.type == SQLITE_BLOB) key.text = std::string(textOf(argv[k]));
        item.keys.push_back(std::move(key));
    }
    state->list->items.push_back(std::move(item));
}

void aggFinal(sqlite3_context* ctx) {
    auto* state = static_cast<AggState*>(sqlite3_aggregate_context(ctx, 0));
    if (!state || !state->list) return sqlite3_result_null(ctx);
    std::unique_ptr<AggList> list(state->list);
    state->list = nullptr;
    if (list->items.empty()) return sqlite3_result_null(ctx);
    const std::string& dirs = list->directions;
    std::stable_sort(list->items.begin(), list->items.end(), [&](const Item& a, const Item& b) {
        for (std::size_t k = 0; k < a.keys.size() && k < b.keys.size(); ++k) {
            const int c = compareKeys(a.keys[k], b.keys[k]);
            if (c != 0) return k < dirs.size() && dirs[k] == 'd' ? c > 0 : c < 0;
        }
        return false;
    });
    std::string out;
    bool first = true;
    for (const Item& it : list->items) {
        if (!first) out += list->separator;
        out += it.value;
        first = false;
    }
    if (tsql::roomForText(ctx, out.size())) resultText(ctx, out);
}

}  // namespace

int registerStringFunctions(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_INNOCUOUS | SQLITE_DETERMINISTIC;
    const struct {
        const char* name;
        int args;
        tsql::Fn fn;
    } scalars[] = {
        {"tsql_like", 2, fnLike},
        {"tsql_like", 3, fnLike},
        {"tsql_patindex", 2, fnPatindex},
        {"tsql_stuff", 4, fnStuff},
        {"tsql_replicate", 2, fnReplicate},
        {"tsql_space", 1, fnSpace},
        {"tsql_reverse", 1, fnReverse},
        {"tsql_quotename", 1, fnQuotename},
        {"tsql_quotename", 2, fnQuotename},
        {"tsql_str", 1, fnStr},
        {"tsql_str", 2, fnStr},
        {"tsql_str", 3, fnStr},
        {"tsql_concat", -1, fnConcat},
        {"tsql_concat_ws", -1, fnConcatWs},
        {"tsql_trim", 1, fnTrim},
        {"tsql_trim", 2, fnTrim},
        {"tsql_translate", 3, fnTranslate},
    };
    for (const auto& f : scalars) {
        int rc =
            sqlite3_create_function_v2(db, f.name, f.args, flags, nullptr, f.fn, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) return rc;
    }
    // Unicode LIKE: the same function told by its user data
    static int unicodeLike = 1;
    for (int args : {2, 3}) {
        int rc = sqlite3_create_function_v2(db, "tsql_nlike", args, flags, &unicodeLike, fnLike, nullptr,
                                            nullptr, nullptr);
        if (rc != SQLITE_OK) return rc;
    }
    int rc = sqlite3_create_function_v2(db, "tsql_xml_path", 2, flags, nullptr, nullptr, xmlStep, xmlFinal,
                                        nullptr);
    if (rc != SQLITE_OK) return rc;
    return sqlite3_create_function_v2(db, "tsql_string_agg", -1, flags, nullptr, nullptr, aggStep, aggFinal,
                                      nullptr);
}

}  // namespace Palvo::sqlite
