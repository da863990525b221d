// The printer port's movement and page rules, on the recording printer.
#include <gtest/gtest.h>

#include "palvo/memory/measure.h"
#include "palvo/memory/printer.h"

namespace Palvo {
namespace {

TEST(RecordingPrinter, PrintOrLineMovesThePosition) {
    memory::RecordingPrinter p(std::make_shared<memory::FixedWidthMeasurer>());
    p.FontSize(10);
    EXPECT_DOUBLE_EQ(p.TextHeight("a\nb"), 400) << "a line is one em";
    p.CurrentX(500);
    p.CurrentY(700);
    p.Print("甲");
    EXPECT_EQ(std::pair(p.CurrentX(), p.CurrentY()), std::pair(0.0, 900.0)) << "the next line's start";
    p.Line(10, 20, 30, 40);
    EXPECT_EQ(std::pair(p.CurrentX(), p.CurrentY()), std::pair(30.0, 40.0)) << "the rule's end";
}

TEST(RecordingPrinter, PagesBreakLazily) {
    memory::RecordingPrinter p(std::make_shared<memory::FixedWidthMeasurer>());
    p.Print("甲");
    p.NewPage();
    p.NewPage();
    p.Print("乙");
    p.NewPage();
    p.EndDoc();
    ASSERT_EQ(p.jobs().size(), 1u);
    EXPECT_EQ(p.jobs()[0].pages, 3) << "a blank page between, none after";
    EXPECT_EQ(p.jobs()[0].texts(3), std::vector<std::string>{"乙"});
}

}  // namespace
}  // namespace Palvo
