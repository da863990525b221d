// The printer port's movement and page rules, on the recording printer.
#include <gtest/gtest.h>

#include "palvo/memory/measure.h"
#include "palvo/memory/printer.h"
#include "support/errors.h"

namespace Palvo {
namespace {

TEST(RecordingPrinter, PrintAndLineMoveThePositionAndPagesBreakLazily) {
    memory::RecordingPrinter p(std::make_shared<memory::FixedWidthMeasurer>());
    p.FontSize(10);
    EXPECT_DOUBLE_EQ(p.TextWidth("a金"), 100 + 200);
    EXPECT_DOUBLE_EQ(p.TextHeight("a"), 200) << "a line is one em";
    EXPECT_DOUBLE_EQ(p.TextHeight("a\nb"), 400);

    p.CurrentX(500);
    p.CurrentY(700);
    p.Print("甲");
    EXPECT_DOUBLE_EQ(p.CurrentX(), 0);
    EXPECT_DOUBLE_EQ(p.CurrentY(), 900) << "the start of the next line";
    p.Line(10, 20, 30, 40);
    EXPECT_DOUBLE_EQ(p.CurrentX(), 30);
    EXPECT_DOUBLE_EQ(p.CurrentY(), 40) << "the end of the rule";

    p.NewPage();
    EXPECT_DOUBLE_EQ(p.CurrentY(), 0);
    EXPECT_EQ(p.page(), 1) << "the next page starts with what is drawn next";
    p.Print("乙");
    EXPECT_EQ(p.page(), 2);
    p.NewPage();
    p.NewPage();
    p.EndDoc();
    ASSERT_EQ(p.jobs().size(), 1u);
    EXPECT_EQ(p.jobs()[0].pages, 3) << "two breaks before the end: one blank page, not two";
    EXPECT_EQ(p.jobs()[0].texts(1), std::vector<std::string>{"甲"});
    EXPECT_EQ(p.jobs()[0].texts(2), std::vector<std::string>{"乙"});
    EXPECT_FALSE(p.jobOpen());

    p.Print("丙");
    p.KillDoc();
    p.EndDoc();
    EXPECT_EQ(p.jobs().size(), 1u) << "an abandoned job never ends";
    EXPECT_EQ(p.abandoned(), 1);
    EXPECT_EQ(p.jobsEnded(), 1);
    EXPECT_EQ(testing::errorNumber([&] { p.FontSize(0); }), 380);
    EXPECT_EQ(testing::errorNumber([&] { p.DrawWidth(0); }), 380);
}

}  // namespace
}  // namespace Palvo
