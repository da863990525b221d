#include "palvo/memory_measure.h"

namespace Palvo::memory {

bool FixedWidthMeasurer::isWide(char32_t c) {
    // The East Asian wide and full-width blocks.
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

double FixedWidthMeasurer::TextWidth(std::string_view text, double fontSize) const {
    // Counted in half-ems while walking the UTF-8 bytes; a malformed byte counts as one narrow character.
    long halves = 0;
    std::size_t i = 0;
    const std::size_t n = text.size();
    // ASCII runs, the bulk of numbers and codes, are counted a byte a half-em without decoding.
    while (i < n && static_cast<unsigned char>(text[i]) < 0x80) ++i;
    halves = static_cast<long>(i);
    while (i < n) {
        auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            ++halves;
            ++i;
            continue;
        }
        int len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        if (len == 1 || i + static_cast<std::size_t>(len) > n) {
            ++halves;
            ++i;
            continue;
        }
        char32_t c = len == 2 ? (b & 0x1Fu) : len == 3 ? (b & 0x0Fu) : (b & 0x07u);
        bool ok = true;
        for (int k = 1; k < len; ++k) {
            auto t = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((t & 0xC0u) != 0x80u) {
                ok = false;
                break;
            }
            c = (c << 6) | (t & 0x3Fu);
        }
        if (!ok) {
            ++halves;
            ++i;
            continue;
        }
        halves += isWide(c) ? 2 : 1;
        i += static_cast<std::size_t>(len);
    }
    return static_cast<double>(halves) * fontSize * 10.0;
}

}  // namespace Palvo::memory
