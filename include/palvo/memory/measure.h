// Headless text measurers: a fixed full-width/half-width rule, and the
// advance widths of a font file.
#pragma once

#include <memory>
#include <string>

#include "palvo/export.h"
#include "palvo/measure.h"

namespace Palvo::memory {

/// Widths by a fixed rule: a wide character (CJK ideographs, kana, hangul,
/// full-width forms and CJK punctuation) is one em, every other character half
/// an em, where one em is the font size in points times 20 twips. So "a" at
/// 9 points is 90 twips and "金额" 360. Deterministic, needs no font files.
class PALVO_API FixedWidthMeasurer : public Palvo::TextMeasurer {
public:
    double TextWidth(std::string_view text, double fontSize) const override;
    bool quick() const override { return true; }
    /// Whether a code point counts as a wide (one em) character.
    static bool isWide(char32_t c);
};

/// Widths from one face of a font file, read through FreeType: the sum of
/// the glyphs' design advances, scaled so that one em is the font size in
/// points times 20 twips. No kerning, no hinting. A character the face has no
/// glyph for, and a byte that is not UTF-8, counts by the fixed rule. Safe to
/// share between threads.
class PALVO_API FontFileMeasurer : public Palvo::TextMeasurer {
public:
    /// Opens the face of `path` whose family name is `family`, or the first
    /// face when `family` is empty. Throws Palvo::Error 53 naming the file
    /// when it cannot be read or holds no such face.
    explicit FontFileMeasurer(const std::string& path, const std::string& family = "");
    ~FontFileMeasurer() override;
    FontFileMeasurer(const FontFileMeasurer&) = delete;
    FontFileMeasurer& operator=(const FontFileMeasurer&) = delete;

    double TextWidth(std::string_view text, double fontSize) const override;
    bool quick() const override { return true; }
    /// The family name of the face in use.
    std::string family() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

/// Where Debian's fonts-noto-cjk puts Noto Sans CJK.
inline constexpr const char* kNotoSansCjkPath = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc";

/// The measurer a headless host installs: Noto Sans CJK SC from `path` when
/// that file can be read, the fixed rule otherwise.
PALVO_API std::shared_ptr<Palvo::TextMeasurer> headlessMeasurer(const std::string& path = kNotoSansCjkPath);

}  // namespace Palvo::memory
