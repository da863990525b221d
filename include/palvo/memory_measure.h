// Headless text measurer: a fixed full-width/half-width rule.
#pragma once

#include "palvo/measure.h"

namespace Palvo::memory {

/// Widths by a fixed rule: a wide character (CJK ideographs, kana, hangul,
/// full-width forms and CJK punctuation) is one em, every other character half
/// an em, where one em is the font size in points times 20 twips. So "a" at
/// 9 points is 90 twips and "金额" 360. Deterministic, needs no font files.
class FixedWidthMeasurer : public Palvo::TextMeasurer {
public:
    double TextWidth(std::string_view text, double fontSize) const override;
    /// Whether a code point counts as a wide (one em) character.
    static bool isWide(char32_t c);
};

}  // namespace Palvo::memory
