#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "palvo/error.h"
#include "palvo/memory/measure.h"
#include "support/errors.h"

namespace Palvo {
namespace {

using memory::FontFileMeasurer;

const FontFileMeasurer& noto() {
    static const FontFileMeasurer m(memory::kNotoSansCjkPath, "Noto Sans CJK SC");
    return m;
}

TEST(FontFileMeasurer, WidthsComeFromTheGlyphsOfTheNamedFace) {
    const auto& m = noto();
    EXPECT_EQ(m.family(), "Noto Sans CJK SC");
    const FontFileMeasurer first(memory::kNotoSansCjkPath);
    EXPECT_NE(first.family().find("Noto Sans CJK"), std::string::npos) << "no family asked: the first face";
    EXPECT_EQ(m.TextWidth("", 9), 0);
    // Noto's ideographs and full-width forms are one em: 9 points are 180 twips.
    EXPECT_DOUBLE_EQ(m.TextWidth("金额", 9), 360);
    EXPECT_DOUBLE_EQ(m.TextWidth("，", 12), 240);
    // Latin letters keep their own proportions, unlike the fixed rule's half em.
    const double a = m.TextWidth("a", 9);
    EXPECT_GT(m.TextWidth("W", 9), a);
    EXPECT_LT(m.TextWidth("i", 9), a);
    EXPECT_NE(a, 90);
    EXPECT_DOUBLE_EQ(m.TextWidth("a金W", 9), a + 180 + m.TextWidth("W", 9))
        << "a text is the sum of its characters";
    EXPECT_DOUBLE_EQ(m.TextWidth("2004-01-01", 18), 2 * m.TextWidth("2004-01-01", 9))
        << "widths scale with the size";
}

TEST(FontFileMeasurer, TheFixedRuleMeasuresWhatTheFaceHasNoGlyphFor) {
    const auto& m = noto();
    memory::FixedWidthMeasurer fixed;
    struct Case {
        const char* text;
        const char* why;
    };
    const std::vector<Case> cases = {
        {"\xff", "a byte that starts no character"},
        {"\xe9\x87", "a cut-off character"},
        {"\xee\x80\x80", "a private-use character the face has no glyph for"},
        {"\xf3\xb0\x80\x80", "a private-use character beyond the first plane"},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(m.TextWidth(c.text, 9), fixed.TextWidth(c.text, 9)) << c.why;
    EXPECT_DOUBLE_EQ(m.TextWidth("\xff金", 9), 90 + 180) << "the text goes on after a bad byte";
}

TEST(FontFileMeasurer, AMissingOrUnreadableFileIsNamedInTheError) {
    const auto notFont = std::filesystem::temp_directory_path() / "palvo_not_a_font.ttf";
    std::ofstream(notFont) << "plain text";
    struct Case {
        std::string path;
        std::string family;
    };
    const std::vector<Case> cases = {
        {"/nonexistent/font.ttc", ""},
        {notFont.string(), ""},
        {memory::kNotoSansCjkPath, "No Such Family"},
    };
    for (const auto& c : cases) {
        const auto [number, text] = testing::errorOf([&] { const FontFileMeasurer m(c.path, c.family); });
        EXPECT_EQ(number, ErrorNumber::FileNotFound) << c.path;
        EXPECT_NE(text.find(c.path), std::string::npos) << text;
    }
    std::filesystem::remove(notFont);
}

// The fixed rule where there is none.
TEST(FontFileMeasurer, TheHeadlessMeasurerUsesTheFontWhenThereIsOne) {
    const auto withFont = memory::headlessMeasurer();
    EXPECT_NE(dynamic_cast<FontFileMeasurer*>(withFont.get()), nullptr);
    const auto without = memory::headlessMeasurer("/nonexistent/font.ttc");
    ASSERT_NE(dynamic_cast<memory::FixedWidthMeasurer*>(without.get()), nullptr);
    EXPECT_DOUBLE_EQ(without->TextWidth("a", 9), 90);
}

TEST(FontFileMeasurer, ThreadsShareOneMeasurer) {
    const auto& m = noto();
    // Characters beyond the first plane are read on first use, the rest up front.
    const std::string text = "合计 Total \xf0\xa0\x80\x80\xf0\xa0\x80\x81 12.50";
    const double expected = m.TextWidth(text, 9);
    std::vector<double> seen(4);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < seen.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int k = 0; k < 200; ++k)
                seen[t] =
                    m.TextWidth(text + std::to_string(k % 3), 9) - m.TextWidth(std::to_string(k % 3), 9);
        });
    }
    for (auto& th : threads) th.join();
    for (double w : seen) EXPECT_NEAR(w, expected, 1e-9);
}

}  // namespace
}  // namespace Palvo
