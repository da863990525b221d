#include "src/print/print_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "palvo/clsPrint.h"
#include "palvo/error.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/measure.h"
#include "palvo/memory/msgbox.h"
#include "palvo/memory/printer.h"
#include "palvo/session.h"

namespace Palvo {
namespace {

using memory::PrinterOp;
using memory::ShownMessage;

// Headings 序号, 名称, 金额; data row r reads r, 货品r, r * 10.
memory::FlexGrid makeGrid(int dataRows) {
    memory::FlexGrid g;
    g.Cols(3);
    g.Rows(1);
    g.TextMatrix(0, 0, "序号");
    g.TextMatrix(0, 1, "名称");
    g.TextMatrix(0, 2, "金额");
    for (int r = 1; r <= dataRows; ++r) {
        g.AddItem(std::to_string(r) + "\t货品" + std::to_string(r) + "\t" + std::to_string(r * 10));
    }
    return g;
}

class PrintRecord : public ::testing::Test {
protected:
    void SetUp() override { session().sMsg = "提示"; }
    void TearDown() override { session().sMsg.clear(); }

    void print(FlexGrid& grid, std::string top = "制表：张三", std::string bottom = "审核：李四") {
        clsPrint().mPrintRecord(grid, "销售清单", top, bottom);
    }

    std::shared_ptr<memory::ScriptedMessageBox> box = std::make_shared<memory::ScriptedMessageBox>();
    ScopedMessageBox boxGuard{box};
    // widths by the fixed rule: "a" is 110 twips at 11 points, a Chinese character 220
    std::shared_ptr<memory::RecordingPrinter> printer =
        std::make_shared<memory::RecordingPrinter>(std::make_shared<memory::FixedWidthMeasurer>());
    ScopedPrinter printerGuard{printer};
};

int rowsOn(const memory::PrintedJob& job, int page) {
    return static_cast<int>(job.lines(page).size()) - 2;  // two heading rules, then one under each row
}

bool has(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST_F(PrintRecord, RowsPerPageFollowPaperAndOrientation) {
    struct Case {
        int dataRows;
        int paper;
        int orientation;
        std::vector<int> rowsPerPage;
    };
    const Case cases[] = {
        {81, PaperCode::A4, vbPRORPortrait, {40, 40, 1}},
        {40, PaperCode::A4, vbPRORPortrait, {40}},
        {31, PaperCode::A4, vbPRORLandscape, {30, 1}},
        {35, PaperCode::B5, vbPRORPortrait, {34, 1}},
        {26, PaperCode::B5, vbPRORLandscape, {25, 1}},
        {40, PaperCode::Fanfold10x11, vbPRORPortrait, {39, 1}},
        {31, PaperCode::Fanfold10x11, vbPRORLandscape, {30, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.dataRows) + " rows on paper " + std::to_string(c.paper));
        printer = std::make_shared<memory::RecordingPrinter>(std::make_shared<memory::FixedWidthMeasurer>());
        printer->paper(c.paper, c.orientation);
        installPrinter(printer);
        auto grid = makeGrid(c.dataRows);
        print(grid);
        ASSERT_EQ(printer->jobs().size(), 1u);
        const auto& job = printer->jobs()[0];
        const int pages = static_cast<int>(c.rowsPerPage.size());
        ASSERT_EQ(job.pages, pages) << "a page break right before the end adds no blank page";
        int firstRow = 1;
        for (int p = 1; p <= pages; ++p) {
            const auto texts = job.texts(p);
            EXPECT_EQ(rowsOn(job, p), c.rowsPerPage[static_cast<std::size_t>(p - 1)]);
            EXPECT_TRUE(has(texts, "货品" + std::to_string(firstRow))) << "page " << p;
            firstRow += c.rowsPerPage[static_cast<std::size_t>(p - 1)];
            EXPECT_EQ(texts.back(), "第 " + std::to_string(p) + "/" + std::to_string(pages) + " 页");
            EXPECT_TRUE(has(texts, "制表：张三")) << "Topstr on every page";
            EXPECT_EQ(has(texts, "审核：李四"), p == pages) << "BotStr on the last page only";
            EXPECT_TRUE(has(texts, "销售清单") && has(texts, "序号")) << "title and heading on every page";
        }
        EXPECT_EQ(box->messages(), (std::vector<ShownMessage>{{"数据已送至打印机！", 48, "提示"}}));
        box->clear();
    }
}

TEST_F(PrintRecord, PlacesEveryPartWhereTheLayoutSays) {
    auto grid = makeGrid(41);
    grid.TextMatrix(7, 1, "很长的货品名称");  // the widest text of column 1
    print(grid);
    ASSERT_EQ(printer->jobs().size(), 1u);
    const auto& job = printer->jobs()[0];
    const double pw = printer->ScaleWidth();
    const double ph = printer->ScaleHeight();
    auto textOp = [&](int page, const std::string& text) {
        for (const auto& op : job.ops)
            if (op.page == page && op.kind == PrinterOp::Kind::Text && op.text == text) return op;
        ADD_FAILURE() << text << " not on page " << page;
        return PrinterOp{};
    };

    // the title at twice the grid's font (9), centred, one line of it from the top
    const PrinterOp title = textOp(1, "销售清单");
    EXPECT_EQ(title.fontSize, 18);
    EXPECT_DOUBLE_EQ(title.x, (pw - 4 * 360) / 2);
    EXPECT_DOUBLE_EQ(title.y, 360);
    const PrinterOp time = job.ops[1];
    EXPECT_EQ(time.text.rfind("打印时间：", 0), 0u);
    EXPECT_EQ(time.fontSize, 11);
    EXPECT_DOUBLE_EQ(time.y, 720 + 100);
    const PrinterOp top = textOp(1, "制表：张三");
    EXPECT_DOUBLE_EQ(top.x, 330) << "the margin is the width of aaa";
    EXPECT_DOUBLE_EQ(top.y, 820 + 220 + 100);

    // columns: aaa, then the widest text of each column plus a
    const double x1 = 330 + 440 + 110;  // "序号" is wider than any number up to 41
    const double x2 = x1 + 7 * 220 + 110;
    const PrinterOp heading = textOp(1, "名称");
    EXPECT_DOUBLE_EQ(heading.x, x1);
    EXPECT_DOUBLE_EQ(textOp(1, "金额").x, x2);
    EXPECT_DOUBLE_EQ(textOp(1, "货品2").x, x1);

    const auto rules = job.lines(1);
    ASSERT_EQ(rules.size(), 42u);
    const double firstRule = top.y + 220 + 100;
    EXPECT_DOUBLE_EQ(rules[0].y, firstRule);
    EXPECT_DOUBLE_EQ(rules[0].x, 330);
    EXPECT_DOUBLE_EQ(rules[0].x2, pw - 330);
    EXPECT_DOUBLE_EQ(heading.y, firstRule + 100);
    const double body = heading.y + 220 + 100;
    EXPECT_DOUBLE_EQ(rules[1].y, body);
    EXPECT_EQ(rules[0].drawWidth, 2);
    EXPECT_EQ(rules[1].drawWidth, 2);
    for (int i = 1; i <= 40; ++i) {
        const double rowTop = body + 50 + (i - 1) * 1.4 * 220;
        EXPECT_DOUBLE_EQ(textOp(1, i == 7 ? "很长的货品名称" : "货品" + std::to_string(i)).y, rowTop);
        EXPECT_DOUBLE_EQ(rules[static_cast<std::size_t>(i + 1)].y, rowTop + 220 + 50);
        EXPECT_EQ(rules[static_cast<std::size_t>(i + 1)].drawWidth, 1);
    }
    const PrinterOp foot = textOp(1, "第 1/2 页");
    EXPECT_DOUBLE_EQ(foot.x, (pw - (2 * 220 + 5 * 110)) / 2);
    EXPECT_DOUBLE_EQ(foot.y, ph - 300);

    // page 2: the heading rules are thin now; BotStr under the last rule
    const auto rules2 = job.lines(2);
    ASSERT_EQ(rules2.size(), 3u);
    EXPECT_EQ(rules2[0].drawWidth, 1);
    EXPECT_EQ(rules2[1].drawWidth, 1);
    const PrinterOp bottom = textOp(2, "审核：李四");
    EXPECT_DOUBLE_EQ(bottom.x, 330);
    EXPECT_DOUBLE_EQ(bottom.y, rules2[2].y + 50);
}

TEST_F(PrintRecord, TitleStartsLeftOfANarrowPageAndTheTimeLineAtItsEdge) {
    printer->printableSize(1000, 16000);
    auto grid = makeGrid(1);
    print(grid);
    ASSERT_EQ(printer->jobs().size(), 1u);
    const auto& ops = printer->jobs()[0].ops;
    EXPECT_DOUBLE_EQ(ops[0].x, (1000 - 4 * 360) / 2.0) << "the title is not clamped";
    EXPECT_DOUBLE_EQ(ops[1].x, 0) << "the time line is";
}

TEST_F(PrintRecord, OtherPaperAsksAndComputesTheRows) {
    auto grid = makeGrid(81);
    const std::string question = "打印机纸型设置错误，只支持 A4,B5,10*11(普通孔纸) 三种纸型，继续吗？";

    printer->paper(PaperCode::Letter);
    box->answerNo();
    print(grid);
    EXPECT_TRUE(printer->jobs().empty());
    EXPECT_EQ(box->messages(), (std::vector<ShownMessage>{{question, 52, "提示"}}));

    box->clear();
    box->answerYes();
    print(grid);
    ASSERT_EQ(printer->jobs().size(), 1u);
    // (15120 - 2000) / (220 x 1.4 + 50) = 36.6, so 37 rows a page
    EXPECT_EQ(rowsOn(printer->jobs()[0], 1), 37);
    EXPECT_EQ(printer->jobs()[0].pages, 3);

    box->clear();
    printer->printableSize(11000, 1999);
    box->answerYes();
    print(grid);
    EXPECT_EQ(printer->jobs().size(), 1u) << "nothing more printed";
    EXPECT_EQ(box->messages(),
              (std::vector<ShownMessage>{{question, 52, "提示"}, {"打印纸高度太小！", 48, "提示"}}));
}

TEST_F(PrintRecord, StopsWithItsMessageAndLeavesThePrinterAsItWas) {
    struct Case {
        const char* what;
        int printers;
        bool installed;
        int dataRows;
        ShownMessage message;
    };
    const Case cases[] = {
        {"no printer", 0, true, 3, {"检测不到打印机！请安装打印机！", 64, "提示"}},
        {"no printer port", 1, false, 3, {"检测不到打印机！请安装打印机！", 64, "提示"}},
        {"no data", 1, true, 0, {"没有数据！", 48, "提示"}},
    };
    printer->FontSize(10.5);
    printer->FontBold(true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        box->clear();
        printer->printers(c.printers);
        installPrinter(c.installed ? printer : nullptr);
        auto grid = makeGrid(c.dataRows);
        print(grid);
        EXPECT_EQ(box->messages(), std::vector<ShownMessage>{c.message});
        EXPECT_TRUE(printer->jobs().empty());
        EXPECT_FALSE(printer->jobOpen());
        EXPECT_EQ(printer->FontSize(), 10.5);
        EXPECT_TRUE(printer->FontBold());
    }
}

// A grid whose row 50 reads once (when the columns are measured), then fails
// on page 2, as a grid that lost a member midway.
class FailingGrid : public memory::FlexGrid {
public:
    using memory::FlexGrid::TextMatrix;
    std::string TextMatrix(int row, int col) const override {
        if (row == 50 && armed && ++reads > 2) throw Error(381, "Subscript out of range");
        return memory::FlexGrid::TextMatrix(row, col);
    }
    bool armed = false;
    mutable int reads = 0;
};

TEST_F(PrintRecord, AFailureWhilePrintingAbandonsTheJobRestoresTheFontThenSaysWhy) {
    FailingGrid grid;
    grid.Cols(2);
    grid.Rows(1);
    for (int r = 1; r <= 60; ++r) grid.AddItem(std::to_string(r) + "\tx");
    grid.armed = true;
    printer->FontSize(10.5);
    printer->FontBold(true);
    // the port's font at the moment the message shows
    struct FontAtMessage : memory::ScriptedMessageBox {
        int show(const std::string& text, int style, const std::string& title) override {
            seen = installedPrinter()->FontSize() == 10.5 && installedPrinter()->FontBold() &&
                   !installedPrinter()->jobOpen();
            return ScriptedMessageBox::show(text, style, title);
        }
        bool seen = false;
    };
    auto watching = std::make_shared<FontAtMessage>();
    ScopedMessageBox guard(watching);
    clsPrint().mPrintRecord(grid, "清单");
    EXPECT_EQ(watching->messages(), (std::vector<ShownMessage>{{"Subscript out of range", 16, "提示"}}));
    EXPECT_TRUE(watching->seen) << "job abandoned and font restored before the message";
    EXPECT_TRUE(printer->jobs().empty()) << "nothing reaches the printer";
    EXPECT_EQ(printer->abandoned(), 1);

    // a failure measuring the columns, before any page, abandons nothing but still restores
    grid.armed = false;
    auto wide = makeGrid(1);
    wide.TextMatrix(1, 1, std::string(3000, 'w'));  // 330000 twips: past 16 bits
    watching->clear();
    clsPrint().mPrintRecord(wide, "清单");
    ASSERT_EQ(watching->messages().size(), 1u);
    EXPECT_EQ(watching->messages()[0].style, 16);
    EXPECT_TRUE(watching->seen);
    EXPECT_TRUE(printer->jobs().empty());
}

TEST(PrintLayout, TimeLineAndPageFootTexts) {
    EXPECT_EQ(print::timeLine(DateTime{2024, 3, 5, 9, 5, 7, 0}), "打印时间：2024/3/5  9:05:07");
    EXPECT_EQ(print::timeLine(DateTime{2024, 12, 25, 23, 59, 0, 0}), "打印时间：2024/12/25  23:59:00");
    EXPECT_EQ(print::pageFoot(12, 130), "第 12/130 页");
}

}  // namespace
}  // namespace Palvo
