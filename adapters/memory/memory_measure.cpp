#include "palvo/memory/measure.h"
#include "palvo/text.h"

namespace Palvo::memory {

bool FixedWidthMeasurer::isWide(char32_t c) {
    // The East Asian wide and full-width blocks.
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

double FixedWidthMeasurer::TextWidth(std::string_view text, double fontSize) const {
    // Counted in half-ems; a byte that is not well-formed UTF-8 counts as one narrow character.
    std::size_t i = 0;
    const std::size_t n = text.size();
    // ASCII runs, the bulk of numbers and codes, are counted a byte a half-em without decoding.
    while (i < n && static_cast<unsigned char>(text[i]) < 0x80) ++i;
    auto halves = static_cast<long>(i);
    char32_t c = 0;
    while (i < n) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            ++halves;
            ++i;
            continue;
        }
        // U+5000..U+9FFF, the bulk of Chinese text, is wide: a lead byte E5..E9 and two continuation bytes
        if (b >= 0xE5 && b <= 0xE9 && i + 2 < n && (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80 &&
            (static_cast<unsigned char>(text[i + 2]) & 0xC0) == 0x80) {
            halves += 2;
            i += 3;
            continue;
        }
        halves += base::nextUtf8(text, i, c) && isWide(c) ? 2 : 1;
    }
    return static_cast<double>(halves) * fontSize * 10.0;
}

}  // namespace Palvo::memory
