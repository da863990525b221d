#include "src/print/multiline_print.h"

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

using memory::PrinterOp;

// A multi-line box of five characters a line: 180 twips each at 9 points by the fixed rule.
memory::TextBox fiveWide(const std::string& text) {
    memory::TextBox box("Text1", text);
    box.MultiLine(true);
    box.Width(900);
    box.Measurer(std::make_shared<memory::FixedWidthMeasurer>());
    return box;
}

class MultiLinePrint : public ::testing::Test {
protected:
    // a line is one em: 200 twips at the default 10 points
    memory::RecordingPrinter printer{std::make_shared<memory::FixedWidthMeasurer>()};

    std::vector<PrinterOp> printed() const { return printer.pending(); }
};

TEST_F(MultiLinePrint, WrappedLinesStopAtIMaxAndReturnTheNextFreeLine) {
    auto box = fiveWide("一二三四五六七八九十甲乙丙丁戊己庚辛壬癸子丑寅卯辰");
    ASSERT_EQ(box.LineCount(), 5);
    const std::int32_t next = clsPrint().lPrint_MultiLine_TextBox(box, printer, 300, 1000, 10.0f, 3);
    EXPECT_EQ(next, 1000 + 3 * 200);
    const auto ops = printed();
    ASSERT_EQ(ops.size(), 3U);
    const char* lines[] = {"一二三四五", "六七八九十", "甲乙丙丁戊"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(ops[i].text, lines[i]);
        EXPECT_EQ(ops[i].x, 300);
        EXPECT_EQ(ops[i].y, 1000 + 200.0 * static_cast<double>(i));
        EXPECT_EQ(ops[i].fontSize, 10);
    }
}

TEST_F(MultiLinePrint, LineCountsFollowIMaxAndTheMode) {
    struct Case {
        std::string text;
        std::int16_t iMax;
        bool bSpb;
        std::vector<std::string> lines;  // as printed; "" prints nothing but takes its line
    };
    const Case cases[] = {
        {"一二三四五六七", 0, false, {"一二三四五", "六七"}},
        {"一二三四五六七", -1, false, {"一二三四五", "六七"}},
        {"一二三四五六七", 9, false, {"一二三四五", "六七"}},
        {"一二三四五六七", 0, true, {"一二三四五六七"}},
        {"甲\r\n乙丙\r\n", 0, true, {"甲", "乙丙", ""}},
        {"甲\r\n乙丙\r\n", 2, true, {"甲", "乙丙"}},
        {"a\nb\rc", 0, true, {"a", "b", "c"}},
        {"ab   \r\n\r\ncd", 0, false, {"ab", "", "cd"}},
        {std::string("a\0b ", 4), 0, false, {"ab"}},
        {"", 0, false, {""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        memory::RecordingPrinter p{std::make_shared<memory::FixedWidthMeasurer>()};
        auto box = fiveWide(c.text);
        const std::int32_t next = clsPrint().lPrint_MultiLine_TextBox(box, p, 0, 500, 10.0f, c.iMax, c.bSpb);
        EXPECT_EQ(next, 500 + 200 * static_cast<std::int32_t>(c.lines.size()));
        std::vector<std::string> drawn;
        for (const auto& op : p.pending()) drawn.push_back(op.text);
        std::vector<std::string> expected;
        for (const auto& l : c.lines) {
            if (!l.empty()) expected.push_back(l);
        }
        EXPECT_EQ(drawn, expected);
    }
}

TEST_F(MultiLinePrint, HardLinesOfAnEmptyTextPrintNothingAndReturnThePositionAsItWas) {
    auto box = fiveWide("");
    printer.CurrentY(1234.4);
    EXPECT_EQ(clsPrint().lPrint_MultiLine_TextBox(box, printer, 0, 500, 10.0f, 0, true), 1234);
    EXPECT_FALSE(printer.jobOpen());
}

TEST_F(MultiLinePrint, TheFontComesBackAsAWholeNumberAndTheBoldnessAsItWas) {
    struct Case {
        double before;
        double after;
    };
    const Case cases[] = {{10.5, 10}, {11.5, 12}, {9.4, 9}, {12, 12}};
    for (const auto& c : cases) {
        printer.FontSize(c.before);
        printer.FontBold(false);
        auto box = fiveWide("甲");
        box.FontBold(true);
        clsPrint().lPrint_MultiLine_TextBox(box, printer, 0, 0, 14.0f);
        EXPECT_EQ(printer.FontSize(), c.after) << c.before;
        EXPECT_FALSE(printer.FontBold());
        ASSERT_FALSE(printed().empty());
        EXPECT_TRUE(printed().back().fontBold) << "a bold box prints bold";
        EXPECT_EQ(printed().back().fontSize, 14);
    }
    printer.FontBold(true);
    auto plain = fiveWide("乙");
    clsPrint().lPrint_MultiLine_TextBox(plain, printer);
    EXPECT_FALSE(printed().back().fontBold) << "a plain box prints plain on a bold printer";
    EXPECT_EQ(printed().back().fontSize, 10) << "10 points by default";
    EXPECT_TRUE(printer.FontBold());
}

// A box whose third line cannot be read.
class FailingBox : public memory::TextBox {
public:
    using memory::TextBox::TextBox;
    std::string Line(int index) const override {
        if (index == 2) throw Error(5, "Invalid procedure call or argument");
        return memory::TextBox::Line(index);
    }
};

TEST_F(MultiLinePrint, AFailureLeavesTheSurfaceWithItsFont) {
    printer.FontSize(10.5);
    FailingBox box("Text1", "一二三四五六七八九十甲乙");
    box.MultiLine(true);
    box.Width(900);
    box.FontBold(true);
    box.Measurer(std::make_shared<memory::FixedWidthMeasurer>());
    EXPECT_THROW(clsPrint().lPrint_MultiLine_TextBox(box, printer, 0, 0, 12.0f), Error);
    EXPECT_EQ(printer.FontSize(), 10);
    EXPECT_FALSE(printer.FontBold());

    printer.FontSize(11);
    try {
        clsPrint().lPrint_MultiLine_TextBox(box, printer, 0, 0, 0.0f);
        FAIL() << "a font size of 0 is refused";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), ErrorNumber::InvalidPropertyValue);
    }
    EXPECT_EQ(printer.FontSize(), 11);
}

}  // namespace
}  // namespace Palvo
