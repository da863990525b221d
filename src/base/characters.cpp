// Characters: UTF-8 decoding and encoding, character counts, the Like
// pattern match, and GBK code-page lengths and codes through iconv.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "palvo/error.h"
#include "src/base/conversions.h"

namespace Palvo::base {

// ---- characters ------------------------------------------------------------

namespace {
constexpr char32_t escapeBase = 0xDC00;  // U+DC80..U+DCFF stand for stray bytes 0x80..0xFF
}  // namespace

bool nextUtf8(std::string_view text, std::size_t& i, char32_t& c) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80) {
        c = b0;
        ++i;
        return true;
    }
    std::size_t len = 0;
    char32_t cp = 0, min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF)
        len = 2, cp = b0 & 0x1F, min = 0x80;
    else if (b0 >= 0xE0 && b0 <= 0xEF)
        len = 3, cp = b0 & 0x0F, min = 0x800;
    else if (b0 >= 0xF0 && b0 <= 0xF4)
        len = 4, cp = b0 & 0x07, min = 0x10000;
    bool ok = len > 0 && i + len <= text.size();
    for (std::size_t k = 1; ok && k < len; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80)
            ok = false;
        else
            cp = (cp << 6) | (b & 0x3F);
    }
    if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
    if (!ok) {
        c = b0;
        ++i;
        return false;
    }
    c = cp;
    i += len;
    return true;
}

std::u32string decodeUtf8(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    std::size_t i = 0;
    char32_t c = 0;
    while (i < text.size()) out += nextUtf8(text, i, c) ? c : escapeBase + c;
    return out;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c >= escapeBase + 0x80 && c <= escapeBase + 0xFF) {
        out += static_cast<char>(c - escapeBase);
    } else if (c < 0x80) {
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

std::string encodeUtf8(std::u32string_view chars) {
    std::string out;
    out.reserve(chars.size());
    for (char32_t c : chars) appendUtf8(out, c);
    return out;
}

std::size_t charCount(std::string_view text) {
    std::size_t n = 0;
    char32_t c = 0;
    for (std::size_t i = 0; i < text.size(); ++n) nextUtf8(text, i, c);
    return n;
}

std::string leftChars(std::string_view text, std::size_t count) { return midChars(text, 1, count); }

std::string midChars(std::string_view text, std::size_t start, std::size_t count) {
    // Walked in place: a stray byte is one character and comes out as it went in.
    if (start == 0) start = 1;
    std::size_t i = 0;
    char32_t c = 0;
    for (std::size_t skipped = 1; skipped < start && i < text.size(); ++skipped) nextUtf8(text, i, c);
    const std::size_t from = i;
    for (std::size_t taken = 0; taken < count && i < text.size(); ++taken) nextUtf8(text, i, c);
    return std::string(text.substr(from, i - from));
}

std::size_t inStr(std::string_view text, std::string_view what) {
    std::u32string t = decodeUtf8(text);
    std::u32string w = decodeUtf8(what);
    if (w.empty()) return t.empty() ? 0 : 1;
    auto pos = t.find(w);
    return pos == std::u32string::npos ? 0 : pos + 1;
}

// ---- Like ------------------------------------------------------------------

namespace {

struct PatternToken {
    enum class Kind { Literal, Any, Digit, Star, Set };
    explicit PatternToken(Kind k, char32_t ch = 0) : kind(k), c(ch) {}
    Kind kind;
    char32_t c;
    bool negate = false;
    std::vector<std::pair<char32_t, char32_t>> ranges;

    bool matches(char32_t x) const {
        switch (kind) {
            case Kind::Literal:
                return x == c;
            case Kind::Any:
                return true;
            case Kind::Digit:
                return x >= U'0' && x <= U'9';
            case Kind::Set: {
                bool in = false;
                for (const auto& [lo, hi] : ranges) {
                    if (x >= lo && x <= hi) {
                        in = true;
                        break;
                    }
                }
                return in != negate;
            }
            case Kind::Star:
                break;
        }
        return false;
    }
};

[[noreturn]] void invalidPattern() { throw Error(93, "Invalid pattern string"); }

std::vector<PatternToken> compilePattern(std::u32string_view p) {
    using Kind = PatternToken::Kind;
    std::vector<PatternToken> toks;
    std::size_t i = 0;
    while (i < p.size()) {
        char32_t c = p[i];
        if (c == U'*') {
            if (toks.empty() || toks.back().kind != Kind::Star) toks.emplace_back(Kind::Star);
            ++i;
        } else if (c == U'?') {
            toks.emplace_back(Kind::Any);
            ++i;
        } else if (c == U'#') {
            toks.emplace_back(Kind::Digit);
            ++i;
        } else if (c == U'[') {
            std::size_t close = p.find(U']', i + 1);
            if (close == std::u32string_view::npos) invalidPattern();
            std::u32string_view body = p.substr(i + 1, close - i - 1);
            i = close + 1;
            if (body.empty()) continue;  // "[]" matches the empty string
            PatternToken t(Kind::Set);
            std::size_t k = 0;
            if (body[0] == U'!') {
                t.negate = true;
                k = 1;
            }
            while (k < body.size()) {
                char32_t lo = body[k];
                if (k + 2 < body.size() && body[k + 1] == U'-') {
                    char32_t hi = body[k + 2];
                    if (hi < lo) invalidPattern();
                    t.ranges.emplace_back(lo, hi);
                    k += 3;
                } else {
                    t.ranges.emplace_back(lo, lo);
                    ++k;
                }
            }
            toks.push_back(std::move(t));
        } else {
            toks.emplace_back(Kind::Literal, c);
            ++i;
        }
    }
    return toks;
}

}  // namespace

bool like(std::string_view text, std::string_view pattern) {
    using Kind = PatternToken::Kind;
    const std::vector<PatternToken> toks = compilePattern(decodeUtf8(pattern));
    const std::u32string t = decodeUtf8(text);
    // Greedy match that backtracks to the last star: linear memory, O(n*m) time at worst.
    std::size_t ti = 0, pi = 0, starP = std::string::npos, starT = 0;
    while (ti < t.size()) {
        if (pi < toks.size() && toks[pi].kind == Kind::Star) {
            starP = pi++;
            starT = ti;
        } else if (pi < toks.size() && toks[pi].matches(t[ti])) {
            ++pi;
            ++ti;
        } else if (starP != std::string::npos) {
            pi = starP + 1;
            ti = ++starT;
        } else {
            return false;
        }
    }
    while (pi < toks.size() && toks[pi].kind == Kind::Star) ++pi;
    return pi == toks.size();
}

// ---- GBK -------------------------------------------------------------------

namespace detail {

namespace {
constexpr char32_t noChar = 0xFFFFFFFF;

// The one place this module talks to iconv. Returns the bytes written, 0 when the input has no conversion.
std::size_t convert(iconv_t cd, const char* in, std::size_t inLen, char* out, std::size_t outCap) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // reset the shift state after a failed call
    char* inp = const_cast<char*>(in);              // iconv's signature is not const-correct
    char* outp = out;
    std::size_t inLeft = inLen, outLeft = outCap;
    if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) return 0;
    return outCap - outLeft;
}

struct Iconv {
    iconv_t cd;
    Iconv(const char* to, const char* from) : cd(iconv_open(to, from)) {
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            throw Error(ErrorNumber::NotInstalled, std::string("The code page converter ") + from + " -> " +
                                                       to +
                                                       " is not available in iconv: " + std::strerror(errno));
        }
    }
    ~Iconv() { iconv_close(cd); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
};
}  // namespace

CodePageTables buildCodePageTables(const char* charset) {
    Iconv toCp(charset, "UTF-32LE");
    Iconv fromCp("UTF-32LE", charset);
    CodePageTables t;
    t.encode.assign(0x10000, CodePageTables::none);
    t.decode.assign(0x10000, noChar);
    char in[4], out[16];
    for (char32_t cp = 0; cp < 0x10000; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        for (int k = 0; k < 4; ++k) in[k] = static_cast<char>((cp >> (8 * k)) & 0xFF);
        std::size_t n = convert(toCp.cd, in, 4, out, sizeof out);
        if (n == 1)
            t.encode[cp] = static_cast<unsigned char>(out[0]);
        else if (n == 2)
            t.encode[cp] = static_cast<std::uint16_t>((static_cast<unsigned char>(out[0]) << 8) |
                                                      static_cast<unsigned char>(out[1]));
    }
    auto decodeBytes = [&](const char* bytes, std::size_t len) -> char32_t {
        std::size_t n = convert(fromCp.cd, bytes, len, out, sizeof out);
        if (n != 4) return noChar;
        char32_t r = 0;
        for (int k = 3; k >= 0; --k) r = (r << 8) | static_cast<unsigned char>(out[k]);
        return r;
    };
    for (unsigned b = 0; b < 0x100; ++b) {
        char one = static_cast<char>(b);
        t.decode[b] = decodeBytes(&one, 1);
    }
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            char two[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            t.decode[(lead << 8) | trail] = decodeBytes(two, 2);
        }
    }
    return t;
}

}  // namespace detail

namespace {
const detail::CodePageTables& gbk() {
    static const detail::CodePageTables tables = detail::buildCodePageTables("CP936");
    return tables;
}
}  // namespace

std::int32_t gbkLength(std::string_view text) {
    const auto& t = gbk();
    std::int32_t n = 0;
    for (char32_t c : decodeUtf8(text)) {
        if (c < 0x80)
            n += 1;
        else if (c > 0xFFFF)
            n += 2;  // a surrogate pair, each half written as "?"
        else if (t.encode[c] != detail::CodePageTables::none && t.encode[c] > 0xFF)
            n += 2;
        else
            n += 1;
    }
    return n;
}

std::optional<std::int16_t> ansiCode(char32_t c) {
    if (c > 0xFFFF) return std::nullopt;
    const auto& t = gbk();
    std::uint16_t code = t.encode[c];
    if (code == detail::CodePageTables::none || t.decode[code] != c) return std::nullopt;
    return static_cast<std::int16_t>(code);
}

std::optional<char32_t> charFromAnsiCode(std::int16_t code) {
    const auto& t = gbk();
    const auto u = static_cast<std::uint16_t>(code);
    char32_t c = t.decode[u];
    if (c > 0xFFFF || t.encode[c] != u) return std::nullopt;
    return c;
}

}  // namespace Palvo::base
