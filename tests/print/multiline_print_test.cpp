#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "palvo/clsPrint.h"
#include "palvo/error.h"
#include "palvo/memory/controls.h"
#include "palvo/memory/measure.h"
#include "palvo/memory/printer.h"

namespace Palvo {
namespace {

// Five Chinese characters a line (180 twips each at 9 points by the fixed rule);
// reading the lines fails when the box shows a line numbered failAt.
class Box : public memory::TextBox {
public:
    explicit Box(const std::string& text, int failAt = -1) : memory::TextBox("Text1", text), failAt_(failAt) {
        MultiLine(true);
        Width(900);
        Measurer(std::make_shared<memory::FixedWidthMeasurer>());
    }
    std::vector<std::string> Lines() const override {
        auto lines = memory::TextBox::Lines();
        if (failAt_ >= 0 && failAt_ < static_cast<int>(lines.size()))
            throw Error(5, "Invalid procedure call or argument");
        return lines;
    }

private:
    int failAt_;
};

memory::RecordingPrinter printer() {
    return memory::RecordingPrinter(std::make_shared<memory::FixedWidthMeasurer>());
}

// The lines follow the mode and iMax; the next line comes back.
TEST(MultiLinePrint, PrintsTheBoxsLinesAsAsked) {
    struct Case {
        std::string text;
        std::int16_t iMax;
        bool bSpb;
        std::vector<std::string> drawn;  // "top text"; an empty line takes its place but draws nothing
        std::int32_t next;
    };
    // from (300, 500), a line is 200 twips at 10 points
    const Case cases[] = {
        // clang-format off
        {"一二三四五六七八九十甲乙丙丁戊己庚辛壬癸子", 3, false, {"500 一二三四五", "700 六七八九十", "900 甲乙丙丁戊"}, 1100},
        // clang-format on
        {"一二三四五六七", -1, false, {"500 一二三四五", "700 六七"}, 900},
        {"一二三四五六七", 0, true, {"500 一二三四五六七"}, 700},
        {"甲\r\n乙丙\r\n", 0, true, {"500 甲", "700 乙丙"}, 1100},
        {"a\nb\rc", 2, true, {"500 a", "700 b"}, 900},
        {"ab   \r\n\r\ncd", 0, false, {"500 ab", "900 cd"}, 1100},
        {std::string("a\0b ", 4), 9, false, {"500 ab"}, 700},
        {"", 0, false, {}, 700},
        {"", 0, true, {}, 1234},  // nothing printed: CurrentY as it was
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto p = printer();
        p.CurrentY(1234.4);
        Box box(c.text);
        EXPECT_EQ(clsPrint().lPrint_MultiLine_TextBox(box, p, 300, 500, 10.0f, c.iMax, c.bSpb), c.next);
        std::vector<std::string> drawn;
        for (const auto& op : p.pending()) {
            EXPECT_EQ(op.x, 300);
            drawn.push_back(std::to_string(static_cast<int>(op.y)) + " " + op.text);
        }
        EXPECT_EQ(drawn, c.drawn);
    }
}

// The box's boldness prints; the printer gets its boldness back and its size as a whole number, after
// a failure reading the box's lines too.
TEST(MultiLinePrint, TheBoxSetsTheFontThePrinterGetsItsOwnBack) {
    const struct {
        double before;
        double after;
        bool bold, failing;
    } fonts[] = {{10.5, 10, true, false}, {11.5, 12, false, false}, {10.5, 10, true, true}};
    for (const auto& c : fonts) {
        SCOPED_TRACE(c.before);
        auto p = printer();
        p.FontSize(c.before);
        p.FontBold(!c.bold);
        Box box(c.failing ? "一二三四五六七八九十甲乙" : "甲", c.failing ? 2 : -1);
        box.FontBold(c.bold);
        if (c.failing) {
            EXPECT_THROW(clsPrint().lPrint_MultiLine_TextBox(box, p, 0, 0, 12.0f), Error);
        } else {
            clsPrint().lPrint_MultiLine_TextBox(box, p, 0, 0, 14.0f);
            ASSERT_EQ(p.pending().size(), 1U);
            EXPECT_EQ(p.pending()[0].fontSize, 14);
            EXPECT_EQ(p.pending()[0].fontBold, c.bold);
        }
        EXPECT_EQ(p.FontSize(), c.after);
        EXPECT_EQ(p.FontBold(), !c.bold);
    }
}

}  // namespace
}  // namespace Palvo
