// The lines a multi-line box shows: the Qt box's own layout and the memory
// box's wrapping agree for the same text, font and width.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "palvo/memory/controls.h"
#include "palvo/memory/measure.h"
#include "palvo/qt/text.h"
#include "qt_test_support.h"

namespace Palvo {
namespace {

std::vector<std::string> linesOf(const Palvo::TextBox& box) {
    std::vector<std::string> lines;
    for (int i = 0; i < box.LineCount(); ++i) lines.push_back(box.Line(i));
    EXPECT_EQ(box.Lines(), lines) << "the lines in one pass are the lines one by one";
    return lines;
}

// A shown box in the CJK font, 320 pixels wide: no line of the texts below
// comes within a few pixels of its edge.
class TextBoxLines : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(memory::kNotoSansCjkPath))
            GTEST_SKIP() << "Noto Sans CJK is not installed";
        font.setPointSizeF(12);
        edit.setFont(font);
        edit.resize(320, 400);
        edit.show();
        QApplication::processEvents();
    }
    QFont font{QStringLiteral("Noto Sans CJK SC")};
    QPlainTextEdit edit;
    qt::TextBox shown{&edit};
};

const char* const mixedText =
    "Palvo 打印报表 prints the lines of a text box, 多行文本 wrapped as shown on screen.";

TEST_F(TextBoxLines, TheQtBoxWrapsAsTheMemoryBox) {
    const double wrapPixels = edit.viewport()->width() - 2 * edit.document()->documentMargin();
    memory::TextBox wrapped;
    wrapped.MultiLine(true);
    wrapped.FontSize(12);
    wrapped.Width(static_cast<std::int32_t>(wrapPixels * 1440 / edit.logicalDpiX()));
    wrapped.Measurer(
        std::make_shared<memory::FontFileMeasurer>(memory::kNotoSansCjkPath, "Noto Sans CJK SC"));

    struct Case {
        const char* text;
        std::size_t lines;
    };
    const Case cases[] = {
        {"多行文本框打印测试，这是一段比较长的中文文字，用来检查换行是否与屏幕上一致。", 2},
        {mixedText, 3},
        {"第一行\r\n第二行 second line\r\n", 3},
        {"", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        shown.Text(c.text);
        wrapped.Text(c.text);
        const auto lines = linesOf(shown);
        EXPECT_EQ(lines.size(), c.lines);
        EXPECT_EQ(lines, linesOf(wrapped));
    }
}

// As it will show.
TEST_F(TextBoxLines, ABoxSizedWhileHiddenWrapsAtThatSize) {
    QPlainTextEdit hidden;
    hidden.setFont(font);
    hidden.resize(320, 400);
    qt::TextBox unshown(&hidden);
    unshown.Text(mixedText);
    shown.Text(mixedText);
    EXPECT_EQ(linesOf(unshown), linesOf(shown));
}

TEST(LineEditLines, ALineEditShowsOneLine) {
    QLineEdit edit;
    qt::TextBox box(&edit);
    box.Text("单行 one line of text that is much wider than the box");
    EXPECT_EQ(box.LineCount(), 1);
    EXPECT_EQ(box.Line(0), box.Text());
    EXPECT_EQ(box.Line(1), "");
}

}  // namespace
}  // namespace Palvo
