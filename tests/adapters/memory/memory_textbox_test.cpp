#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "palvo/memory/controls.h"
#include "palvo/memory/measure.h"

namespace Palvo {
namespace {

// The rest of the selection and focus rules: ControlBehaviour (control_behaviour_test.cpp).
TEST(MemoryTextBox, SelTextIsTheSelectedCharacters) {
    memory::TextBox t("TXT", "中文ab");
    t.SelStart(1);
    t.SelLength(10);
    EXPECT_EQ(t.SelText(), "文ab");
}

TEST(MemoryTextBox, ASingleLineBoxShowsItsWholeText) {
    memory::TextBox box("Text1", "一二三四五六七八九十 and more");
    box.Width(200);
    EXPECT_EQ(box.LineCount(), 1);
    EXPECT_EQ(box.Line(0), box.Text());
}

TEST(MemoryTextBox, AMultiLineBoxWrapsAtItsWidthAsAnEditControlDoes) {
    struct Case {
        const char* text;
        std::int32_t width;  // at 9 points by the fixed rule: 90 twips a Latin character, 180 a Chinese one
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"一二三四五六七", 900, {"一二三四五", "六七"}},
        {"一二三四五，六", 900, {"一二三四", "五，六"}},  // a comma does not start a line
        {"一二三四（五六", 900, {"一二三四", "（五六"}},  // nor does a bracket end one
        {"ab cd ef", 450, {"ab cd ", "ef"}},              // blanks hang at the end
        {"abcdefghijk", 450, {"abcde", "fghij", "k"}},    // a word wider than the box is cut
        {"ab中文cd", 450, {"ab中", "文cd"}},
        {"中", 100, {"中"}},  // a character wider than the box still takes a line
        {"a\r\nb\nc\rd", 450, {"a", "b", "c", "d"}},
        {"", 450, {""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        memory::TextBox box("Text1", c.text);
        box.MultiLine(true);
        box.Width(c.width);
        box.Measurer(std::make_shared<memory::FixedWidthMeasurer>());
        std::vector<std::string> lines;
        for (int i = 0; i < box.LineCount(); ++i) lines.push_back(box.Line(i));
        EXPECT_EQ(lines, c.lines);
        EXPECT_EQ(box.Lines(), c.lines);
        EXPECT_EQ(box.Line(box.LineCount()), "");
    }
}

}  // namespace
}  // namespace Palvo
