#include "src/print/multiline_print.h"

#include "palvo/clsPrint.h"
#include "src/base/conversions.h"

namespace Palvo::print {

std::vector<std::string> hardLinesOf(std::string_view text) {
    std::vector<std::string> lines;
    if (text.empty()) return lines;
    std::size_t from = 0;
    while (true) {
        const std::size_t at = text.find_first_of("\r\n", from);
        if (at == std::string_view::npos) {
            lines.emplace_back(text.substr(from));
            return lines;
        }
        lines.emplace_back(text.substr(from, at - from));
        from = at + (text.compare(at, 2, "\r\n") == 0 ? 2 : 1);
    }
}

std::string shownLine(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    for (char c : line) {
        if (c != '\0') out += c;
    }
    out.erase(out.find_last_not_of(' ') + 1);
    return out;
}

namespace {

// Puts the surface's font back when printing ends, also when it fails.
class FontRestore {
public:
    explicit FontRestore(TextSurface& p) : p_(p), size_(base::cint(p.FontSize())), bold_(p.FontBold()) {}
    ~FontRestore() {
        if (!done_) {
            try {
                restore();
            } catch (...) {  // the failure that ended the printing is the one to report
            }
        }
    }
    FontRestore(const FontRestore&) = delete;
    FontRestore& operator=(const FontRestore&) = delete;
    void restore() {
        done_ = true;
        p_.FontSize(size_);
        p_.FontBold(bold_);
    }

private:
    TextSurface& p_;
    std::int16_t size_;  // kept as a whole number: 10.5 comes back as 10, 11.5 as 12
    bool bold_;
    bool done_ = false;
};

}  // namespace

}  // namespace Palvo::print

namespace Palvo {

// the methods' bodies use the module's own helpers by their names
using namespace print;

std::int32_t clsPrint::lPrint_MultiLine_TextBox(TextBox& txt, TextSurface& p, const std::int32_t& left,
                                                const std::int32_t& top, const float& fontSize,
                                                const std::int16_t& maxLines, const bool& hardLines) {
    FontRestore font(p);
    p.FontSize(fontSize);
    p.FontBold(txt.FontBold());

    // the box's lines come in one pass: asking for them one by one would lay the text out again each time
    const std::vector<std::string> parts = hardLines ? hardLinesOf(txt.Text()) : txt.Lines();
    const int count = static_cast<int>(parts.size());
    const int printed = maxLines > 0 && count > maxLines ? maxLines : count;
    const double pitch = p.TextHeight("aaa");
    for (int i = 0; i < printed; ++i) {
        p.CurrentX(left);
        p.CurrentY(top + i * pitch);
        const std::string& line = parts[static_cast<std::size_t>(i)];
        p.Print(hardLines ? line : shownLine(line));
    }
    font.restore();
    return base::clng(p.CurrentY());
}

}  // namespace Palvo
