// The text maps of a PDF Qt wrote, mended so every glyph reads back (search,
// copy, pdftotext) as the character that was drawn with it.
#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

namespace Palvo::qt {

/// The characters a job drew, by code point.
class DrawnCharacters {
public:
    void add(const QString& text);
    bool contains(char32_t c) const { return c < 0x110000 && (seen_[c >> 6] >> (c & 63) & 1) != 0; }
    void clear();

private:
    std::vector<std::uint64_t> seen_ = std::vector<std::uint64_t>(0x110000 / 64);
};

/// Rewrites, in place, every ToUnicode map of the finished PDF at `path` whose
/// glyphs Qt mapped to a character that was not drawn. Qt maps a glyph to the
/// lowest code point the font's cmap gives it, so a glyph a font shares between
/// an ideograph and its radical (页 and ⻚) or an Extension A character (胶 and 㬵)
/// reads back as the radical. Each such glyph is mapped to the character drawn
/// with it; when several were, or none (the font not found), the first of:
/// ASCII or GB2312, GBK, a unified ideograph, the lowest. A ligature's glyph (ﬃ)
/// reads back as the letters drawn (ffi). The maps are appended as an
/// incremental update; a file that is unchanged is left alone. Throws
/// Palvo::Error 482 when the file cannot be read or written.
void mendTextMaps(const std::string& path, const DrawnCharacters& drawn);

/// The incremental update mendTextMaps appends to the file at `path`, for a
/// writer that appends it itself; empty when nothing needs mending. Errors
/// name the file as `shownAs` (the destination a temporary file stands for).
std::string textMapUpdate(const std::string& path, const DrawnCharacters& drawn, const std::string& shownAs);

}  // namespace Palvo::qt
