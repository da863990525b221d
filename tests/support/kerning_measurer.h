// A measurer that sets text as a font with kerning does: some pairs closer or
// further apart than their characters alone, and a mark (U+0301) that widens
// its text by 30 x the square of the e's before it, as no pair of characters
// foretells. Column sizing that measures only the cells that may be widest
// must size as measuring every cell does, with this measurer too.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "palvo/measure.h"
#include "palvo/memory/measure.h"

namespace Palvo::testing {

class KerningMeasurer : public TextMeasurer {
public:
    explicit KerningMeasurer(bool quick = false) : quick_(quick) {}

    double TextWidth(std::string_view text, double fontSize) const override {
        double width = fixed_.TextWidth(text, fontSize);
        for (const auto& [pair, by] : kKerning) {
            for (auto at = text.find(pair); at != std::string_view::npos; at = text.find(pair, at + 1))
                width += by;
        }
        for (auto at = text.find(kMark); at != std::string_view::npos; at = text.find(kMark, at + 1)) {
            const auto letters = static_cast<double>(std::count(text.begin(), text.begin() + at, 'e'));
            width += 30 * letters * letters;
        }
        return width;
    }
    // As quick, the same widths are measured cell by cell.
    bool quick() const override { return quick_; }

private:
    static constexpr std::string_view kMark = "\u0301";
    static constexpr std::pair<std::string_view, double> kKerning[] = {
        {"AV", -30}, {"-G", 40}, {"fi", 5}, {"ff", -15}, {"长-", 25}};
    bool quick_;
    memory::FixedWidthMeasurer fixed_;
};

/// Columns of texts that a bound from characters' widths must not underrate:
/// a pair set further apart, closer together, a mark, lines, a text past a
/// page, malformed and astral characters, and many texts of a few characters.
inline std::vector<std::vector<std::string>> kerningColumns() {
    std::vector<std::vector<std::string>> columns = {
        {"G-x", "-Gx"},                             // the same characters, the second set wider
        {"AVAV", "VAVA", "AAVV"},                   // closer together
        {"office", "ofiice", "offfce"},             // wider and narrower pairs
        {"xé", "eeeeeee", "eeee\u0301"},            // a mark that widens its text
        {"ab", "a\n-G-G", "abc"},                   // lines of a cell
        {"长长-", "长-长"},                         // Chinese beside Latin
        {std::string(3000, 'w'), "w"},              // past the page
        {"x\xC1\x81", "xAB", "x\xF0\xA0\xAE\xB7"},  // malformed, and beyond the Basic Multilingual Plane
    };
    // many texts of the same few characters, in an order that seldom starts with the widest
    std::vector<std::string> mixed(400);
    unsigned seed = 7;
    const std::string_view alphabet[] = {"A", "V", "-", "G", "f", "i", "长", "1"};
    for (std::string& text : mixed) {
        seed = seed * 1103515245u + 12345u;
        for (unsigned n = 1 + (seed >> 16) % 6; n > 0; --n) {
            seed = seed * 1103515245u + 12345u;
            text += alphabet[(seed >> 16) % std::size(alphabet)];
        }
    }
    columns.push_back(std::move(mixed));
    return columns;
}

}  // namespace Palvo::testing
