#include <algorithm>
#include <string_view>

#include "palvo/error.h"
#include "palvo/memory/controls.h"
#include "palvo/memory/measure.h"
#include "palvo/text.h"

namespace Palvo::memory {

namespace {
[[noreturn]] void badValue() { throw Error(ErrorNumber::InvalidPropertyValue, "Invalid property value"); }

// One character of a line: its bytes, its code point and its printed width.
struct Glyph {
    std::size_t from;
    std::size_t to;
    char32_t c;
    double width;
};

bool isBlank(char32_t c) { return c == U' ' || c == U'\t'; }

// Punctuation that never starts a line, and brackets that never end one.
bool isClosing(char32_t c) {
    static constexpr std::u32string_view kClosing =
        U",.;:!?)]}%、。，．：；？！）］｝〉》」』】〕〗〙〛’”…‥々ー％";
    return kClosing.find(c) != std::u32string_view::npos;
}
bool isOpening(char32_t c) {
    static constexpr std::u32string_view kOpening = U"([{（［｛〈《「『【〔〖〘〚‘“";
    return kOpening.find(c) != std::u32string_view::npos;
}

// Whether a line may end between two characters: after blanks, and around a
// wide (Chinese) character unless punctuation binds the two.
bool breakBetween(char32_t before, char32_t after) {
    if (isBlank(before)) return true;
    if (!FixedWidthMeasurer::isWide(before) && !FixedWidthMeasurer::isWide(after)) return false;
    return !isClosing(after) && !isOpening(before);
}

// Greedy wrapping of one hard line; blanks at the end of a line hang past the
// width and stay on it.
void wrap(std::string_view line, double width, const TextMeasurer& measurer, double fontSize,
          std::vector<std::string>& out) {
    std::vector<Glyph> glyphs;
    for (std::size_t i = 0; i < line.size();) {
        Glyph g{i, i, 0, 0};
        base::nextUtf8(line, i, g.c);
        g.to = i;
        g.width = measurer.TextWidth(line.substr(g.from, g.to - g.from), fontSize);
        glyphs.push_back(g);
    }
    if (glyphs.empty()) {
        out.emplace_back();
        return;
    }
    std::size_t start = 0;
    while (start < glyphs.size()) {
        std::size_t end = glyphs.size();
        std::size_t lastBreak = start;
        double used = 0;
        for (std::size_t i = start; i < glyphs.size(); ++i) {
            const Glyph& g = glyphs[i];
            if (isBlank(g.c)) {
                used += g.width;
                continue;
            }
            if (i > start && breakBetween(glyphs[i - 1].c, g.c)) lastBreak = i;
            if (used + g.width > width) {
                // at the last chance to break; a word alone too wide is cut where it fills
                // the line; a single character wider than the box still takes a line
                end = lastBreak > start ? lastBreak : std::max(i, start + 1);
                break;
            }
            used += g.width;
        }
        out.emplace_back(line.substr(glyphs[start].from, glyphs[end - 1].to - glyphs[start].from));
        start = end;
    }
}
}  // namespace

int TextBox::length() const { return static_cast<int>(base::charCount(text_)); }

void TextBox::Text(const std::string& text) {
    text_ = text;
    selStart_ = 0;
    selLength_ = 0;
}

void TextBox::SelStart(int start) {
    if (start < 0) badValue();
    selStart_ = std::min(start, length());
    selLength_ = 0;
}

void TextBox::SelLength(int length) {
    if (length < 0) badValue();
    selLength_ = std::min(length, this->length() - selStart_);
}

void TextBox::SetFocus() {
    if (!enabled_) throw Error(ErrorNumber::InvalidCall, "Invalid procedure call or argument");
    focused_ = true;
}

void TextBox::MaxLength(int length) {
    if (length < 0) badValue();
    maxLength_ = length;
}

void TextBox::Width(std::int32_t twips) {
    if (twips < 0) badValue();
    width_ = twips;
}

std::vector<std::string> TextBox::Lines() const {
    if (!multiLine_) return {text_};
    if (!measurer_ && !headless_) headless_ = headlessMeasurer();
    const TextMeasurer& measurer = measurer_ ? *measurer_ : *headless_;
    std::vector<std::string> out;
    const std::string_view text = text_;
    std::size_t from = 0;
    while (true) {
        const std::size_t at = text.find_first_of("\r\n", from);
        wrap(text.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from),
             static_cast<double>(width_), measurer, fontSize_, out);
        if (at == std::string_view::npos) break;
        from = at + (text.compare(at, 2, "\r\n") == 0 ? 2 : 1);
    }
    return out;
}

int TextBox::LineCount() const { return static_cast<int>(Lines().size()); }

std::string TextBox::Line(int index) const {
    const auto all = Lines();
    if (index < 0 || index >= static_cast<int>(all.size())) return {};
    return all[static_cast<std::size_t>(index)];
}

std::string TextBox::SelText() const {
    return base::midChars(text_, static_cast<std::size_t>(selStart_) + 1,
                          static_cast<std::size_t>(selLength_));
}

}  // namespace Palvo::memory
