#include "src/util/conversions.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace Palvo::util {

namespace {
bool skippable(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
}  // namespace

double val(std::string_view text) {
    // Keep only the characters that matter: Val ignores blanks, tabs and line feeds anywhere.
    std::string s;
    s.reserve(text.size());
    for (char c : text) {
        if (!skippable(c)) s += c;
    }
    std::size_t i = 0;
    if (s.size() >= 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
        int base = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
        std::uint64_t v = 0;
        std::size_t digits = 0;
        for (i = 2; i < s.size(); ++i) {
            char c = s[i];
            int d = -1;
            if (c >= '0' && c <= '7') d = c - '0';
            else if (base == 16 && c >= '8' && c <= '9') d = c - '0';
            else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
            else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
            if (d < 0) break;
            v = v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
            ++digits;
            if (digits > 16) break;
        }
        // Short hex and octal literals are 16- or 32-bit signed on the platform: &HFFFF is -1.
        if (v <= 0xFFFF && digits <= 4 && base == 16) return static_cast<double>(static_cast<std::int16_t>(v));
        if (v <= 0xFFFFFFFFull) return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
        return static_cast<double>(v);
    }
    std::string num;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) num += s[i++];
    bool digits = false, dot = false;
    while (i < s.size()) {
        char c = s[i];
        if (c >= '0' && c <= '9') {
            digits = true;
            num += c;
        } else if (c == '.' && !dot) {
            dot = true;
            num += c;
        } else {
            break;
        }
        ++i;
    }
    if (!digits) return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        std::size_t j = i + 1;
        std::string e = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) e += s[j++];
        bool expDigits = false;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
            e += s[j++];
            expDigits = true;
        }
        if (expDigits) num += e;
    }
    double r = std::strtod(num.c_str(), nullptr);
    return std::isfinite(r) ? r : 0;
}

std::string ltrim(std::string_view text) {
    std::size_t b = 0;
    while (b < text.size() && text[b] == ' ') ++b;
    return std::string(text.substr(b));
}

std::string rtrim(std::string_view text) {
    std::size_t e = text.size();
    while (e > 0 && text[e - 1] == ' ') --e;
    return std::string(text.substr(0, e));
}

std::string trim(std::string_view text) { return rtrim(ltrim(text)); }

std::string sqlQuote(std::string_view text) {
    std::string r;
    r.reserve(text.size());
    for (char c : text) {
        r += c;
        if (c == '\'') r += '\'';
    }
    return r;
}

}  // namespace Palvo::util
