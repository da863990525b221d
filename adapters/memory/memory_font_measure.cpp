#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H

#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "palvo/error.h"
#include "palvo/memory/measure.h"
#include "palvo/text.h"

namespace Palvo::memory {

namespace {

constexpr std::uint16_t kNoGlyph = 0xFFFF;
constexpr std::size_t kBmp = 0x10000;

[[noreturn]] void unreadable(const std::string& path, const std::string& why) {
    throw Error(ErrorNumber::FileNotFound, "Cannot read the font file " + path + ": " + why);
}

}  // namespace

struct FontFileMeasurer::Impl {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    double unitsPerEm = 1000;
    // Design advances of the Basic Multilingual Plane, read once: lookups need no lock.
    std::vector<std::uint16_t> bmp;
    // Characters beyond it are read on first use.
    mutable std::mutex otherLock;
    mutable std::unordered_map<char32_t, std::uint16_t> other;

    ~Impl() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }

    // The design advance of a character, or kNoGlyph when the face lacks it. FreeType
    // is not safe across threads on one face: callers hold otherLock or are the constructor.
    std::uint16_t readAdvance(char32_t c) const {
        const FT_UInt glyph = FT_Get_Char_Index(face, c);
        if (glyph == 0) return kNoGlyph;
        FT_Fixed advance = 0;
        if (FT_Get_Advance(face, glyph, FT_LOAD_NO_SCALE, &advance) != 0) return kNoGlyph;
        return advance < 0 || advance >= kNoGlyph ? kNoGlyph : static_cast<std::uint16_t>(advance);
    }

    std::uint16_t advance(char32_t c) const {
        if (c < kBmp) return bmp[c];
        const std::lock_guard lock(otherLock);
        auto it = other.find(c);
        if (it == other.end()) it = other.emplace(c, readAdvance(c)).first;
        return it->second;
    }
};

FontFileMeasurer::FontFileMeasurer(const std::string& path, const std::string& family)
    : impl_(std::make_unique<Impl>()) {
    if (FT_Init_FreeType(&impl_->library) != 0) unreadable(path, "FreeType did not start");
    FT_Long faces = 1;
    for (FT_Long index = 0; index < faces; ++index) {
        FT_Face face = nullptr;
        if (FT_New_Face(impl_->library, path.c_str(), index, &face) != 0) {
            unreadable(path, "not a font FreeType can open");
        }
        faces = face->num_faces;
        if (family.empty() || (face->family_name && family == face->family_name)) {
            impl_->face = face;
            break;
        }
        FT_Done_Face(face);
    }
    if (!impl_->face) unreadable(path, "no face of the family " + family);
    if (FT_Select_Charmap(impl_->face, FT_ENCODING_UNICODE) != 0)
        unreadable(path, "no Unicode character map");
    if (impl_->face->units_per_EM == 0) unreadable(path, "no design units (a bitmap font)");
    impl_->unitsPerEm = impl_->face->units_per_EM;
    impl_->bmp.resize(kBmp);
    for (char32_t c = 0; c < kBmp; ++c) impl_->bmp[c] = impl_->readAdvance(c);
}

FontFileMeasurer::~FontFileMeasurer() = default;

double FontFileMeasurer::TextWidth(std::string_view text, double fontSize) const {
    // Summed in design units, and in the fixed rule's half ems for what the face cannot show.
    const std::uint16_t* bmp = impl_->bmp.data();
    std::uint64_t units = 0;
    long halves = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        std::uint16_t a;
        char32_t c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            a = bmp[c];
            ++i;
        } else if (!base::nextUtf8(text, i, c)) {
            ++halves;
            continue;
        } else {
            a = impl_->advance(c);
        }
        if (a != kNoGlyph)
            units += a;
        else
            halves += FixedWidthMeasurer::isWide(c) ? 2 : 1;
    }
    return (static_cast<double>(units) / impl_->unitsPerEm + static_cast<double>(halves) / 2) * fontSize *
           20.0;
}

std::string FontFileMeasurer::family() const {
    return impl_->face->family_name ? impl_->face->family_name : "";
}

std::shared_ptr<Palvo::TextMeasurer> headlessMeasurer(const std::string& path) {
    try {
        return std::make_shared<FontFileMeasurer>(path, "Noto Sans CJK SC");
    } catch (const Error&) {
        return std::make_shared<FixedWidthMeasurer>();
    }
}

}  // namespace Palvo::memory
