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

TEST(TextBoxLines, QtAndMemoryBoxesWrapAlike) {
    if (!std::filesystem::exists(memory::kNotoSansCjkPath)) GTEST_SKIP() << "Noto Sans CJK is not installed";
    QPlainTextEdit edit;
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPointSizeF(12);
    edit.setFont(font);
    edit.resize(320, 400);  // no line of the texts below comes within a few pixels of the edge
    edit.show();
    QApplication::processEvents();
    qt::TextBox shown(&edit);
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
        {"Palvo 打印报表 prints the lines of a text box, 多行文本 wrapped as shown on screen.", 3},
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

    // a box sized while hidden wraps at that size, as it will show
    QPlainTextEdit hidden;
    hidden.setFont(font);
    hidden.resize(320, 400);
    qt::TextBox unshown(&hidden);
    unshown.Text(cases[1].text);
    shown.Text(cases[1].text);
    EXPECT_EQ(linesOf(unshown), linesOf(shown));
}

TEST(TextBoxLines, ALineEditShowsOneLine) {
    QLineEdit edit;
    qt::TextBox box(&edit);
    box.Text("单行 one line of text that is much wider than the box");
    EXPECT_EQ(box.LineCount(), 1);
    EXPECT_EQ(box.Line(0), box.Text());
    EXPECT_EQ(box.Line(1), "");
}

}  // namespace
}  // namespace Palvo
