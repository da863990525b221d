// Upper bounds of texts' widths from their characters': a text is at most its
// characters' own widths side by side plus, between each two, the most any two
// characters of its column widen each other (kerning; none or negative in
// most fonts). Characters are measured once, and so is each pair in a column.
// That holds for characters set one by one (Latin, Chinese); a text with any
// other character (marks, scripts that join, controls, a line break) gets no
// bound and is measured whole, as is every text of a column of very many
// different characters.
//
// Sizing a column to its widest cell then measures whole only the cells whose
// bound could beat the widest so far: with a font's own shaping that was most
// of the time of sizing a long table.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Palvo::base {

class WidthBounds {
public:
    /// What one column has seen.
    struct Column {
        Column() { ascii.fill(-1); }
        std::vector<char32_t> chars;
        // the widths of the ASCII characters seen in 1/1024 twips, rounded up
        // (whole numbers add up quicker); -1 not seen
        std::array<std::int64_t, 0x80> ascii{};
        std::vector<std::uint64_t> seen;  // the others, a bit each; made at the first
        double widening = 0;
        bool open = true;  // bounds are given
    };

    /// `measure` gives a text's width as the texts bounded are measured.
    explicit WidthBounds(std::function<double(std::string_view)> measure);

    /// A width the text's own measure does not exceed; nullopt when it must be measured.
    std::optional<double> bound(std::string_view text, Column& column) {
        if (!column.open) return std::nullopt;
        std::int64_t asciiUnits = 0;
        double others = 0;
        std::size_t count = 0;
        std::size_t i = 0;
        while (i < text.size()) {
            // the usual case, kept short: a run of ASCII characters the column has seen
            while (i < text.size()) {
                const auto b = static_cast<unsigned char>(text[i]);
                if (b >= 0x80 || column.ascii[b] < 0) break;
                asciiUnits += column.ascii[b];
                ++i;
                ++count;
            }
            if (i == text.size()) break;
            const auto w = otherWidth(text, i, column);
            if (!w) return std::nullopt;
            others += *w;
            ++count;
        }
        const double sum = static_cast<double>(asciiUnits) / kUnits + others;
        // a little over, so that rounding in the sums never puts the bound under the width
        return sum + static_cast<double>(count > 1 ? count - 1 : 0) * column.widening +
               1e-6 * static_cast<double>(count);
    }

    static constexpr double kUnits = 1024;

private:
    // The width of the character at i, moving i past it, when it may be bounded.
    std::optional<double> otherWidth(std::string_view text, std::size_t& i, Column& column);
    double width(char32_t c);
    double widening(char32_t a, char32_t b);
    bool see(char32_t c, Column& column);

    std::function<double(std::string_view)> measure_;
    // per character of the Basic Multilingual Plane, in pages of 256 made when
    // first needed; -1 not yet measured
    std::vector<std::unique_ptr<std::array<double, 0x100>>> widths_;
    std::unordered_map<std::uint64_t, double> pairs_;
};

}  // namespace Palvo::base
