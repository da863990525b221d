#include "src/base/width_bounds.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

namespace Palvo::base {

namespace {

constexpr std::size_t kMostChars = 160;  // per column: pairs measured grow with its square

// The next character of UTF-8 text at i; U+FFFF (not set alone) for a malformed one.
char32_t decode(std::string_view text, std::size_t& i) {
    const auto b = static_cast<unsigned char>(text[i++]);
    if (b < 0x80) return b;
    int more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
    if (more < 0 || more > 2) return 0xFFFF;  // beyond the Basic Multilingual Plane: measured whole
    char32_t c = b & (more == 1 ? 0x1F : 0x0F);
    for (; more > 0; --more) {
        if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0xFFFF;
        c = (c << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    return c < (b >= 0xE0 ? 0x800u : 0x80u) ? 0xFFFF : c;  // an overlong form is malformed
}

// Characters whose glyphs stand alone: printable Latin, CJK punctuation
// (but its tone marks), kana (but its voicing marks), ideographs and full-width forms.
bool setAlone(char32_t c) {
    return (c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c < 0x300 && c != 0xAD) || (c >= 0x3000 && c < 0x302A) ||
           (c >= 0x3030 && c < 0x3099) || (c >= 0x309B && c < 0x3100) || (c >= 0x3400 && c < 0x4DC0) ||
           (c >= 0x4E00 && c < 0xA000) || (c >= 0xFF01 && c < 0xFF61) || (c >= 0xFFE0 && c < 0xFFE7);
}

std::string utf8(char32_t c) {
    std::string s;
    if (c < 0x80) {
        s += static_cast<char>(c);
    } else if (c < 0x800) {
        s += static_cast<char>(0xC0 | (c >> 6));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        s += static_cast<char>(0xE0 | (c >> 12));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    }
    return s;
}

bool seen(char32_t c, WidthBounds::Column& column) {
    if (c < 0x80) return column.ascii[c] >= 0;
    if (column.seen.empty()) column.seen.assign(0x10000 / 64, 0);
    return (column.seen[c >> 6] >> (c & 63)) & 1;
}

}  // namespace

WidthBounds::WidthBounds(std::function<double(std::string_view)> measure)
    : measure_(std::move(measure)), widths_(0x100) {}

std::optional<double> WidthBounds::otherWidth(std::string_view text, std::size_t& i, Column& column) {
    const char32_t c = decode(text, i);
    if (!setAlone(c)) return std::nullopt;
    if (!seen(c, column) && !see(c, column)) return std::nullopt;
    const double w = width(c);
    if (c < 0x80) column.ascii[c] = static_cast<std::int64_t>(std::ceil(w * kUnits));
    return w;
}

double WidthBounds::width(char32_t c) {
    auto& page = widths_[c >> 8];
    if (!page) {
        page = std::make_unique<std::array<double, 0x100>>();
        page->fill(-1.0);
    }
    double& w = (*page)[c & 0xFF];
    if (w < 0) w = measure_(utf8(c));
    return w;
}

// How much wider a and b are side by side than apart.
double WidthBounds::widening(char32_t a, char32_t b) {
    const std::uint64_t key = (static_cast<std::uint64_t>(a) << 32) | b;
    auto it = pairs_.find(key);
    if (it == pairs_.end()) it = pairs_.emplace(key, measure_(utf8(a) + utf8(b)) - width(a) - width(b)).first;
    return it->second;
}

// A character new to the column: its pairs with the column's others widen it as they may.
bool WidthBounds::see(char32_t c, Column& column) {
    if (column.chars.size() >= kMostChars) {
        column.open = false;
        return false;
    }
    if (c >= 0x80) column.seen[c >> 6] |= std::uint64_t{1} << (c & 63);
    column.chars.push_back(c);
    for (const char32_t other : column.chars)
        column.widening = std::max({column.widening, widening(c, other), widening(other, c)});
    return true;
}

}  // namespace Palvo::base
