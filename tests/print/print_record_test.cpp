#include "src/print/print_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "palvo/clsPrint.h"
#include "palvo/error.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/measure.h"
#include "palvo/memory/msgbox.h"
#include "palvo/memory/printer.h"
#include "palvo/print_layout.h"
#include "palvo/session.h"
#include "support/errors.h"
#include "support/kerning_measurer.h"

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

// Places by the fixed rule, the body at 11 points: column 1 after the margin
// aaa, 序号 and a; the top of the first data row's band; the row pitch.
constexpr double kCol1 = 330 + 440 + 110, kBody = 1560 + 220 + 100, kPitch = 1.4 * 220;

constexpr double kEighthInch = 180, kQuarterInch = 360;
struct PaperCase {
    int dataRows, paper, orientation;
    double margin;
    float gridFont;  // the title is twice as large
    std::vector<int> rowsPerPage;
};

class PrintRecord : public ::testing::Test {
protected:
    void SetUp() override { session().sMsg = "提示"; }
    void TearDown() override { session().sMsg.clear(); }

    void print(FlexGrid& grid, std::string top = "制表：张三", std::string bottom = "审核：李四") {
        clsPrint().mPrintRecord(grid, "销售清单", top, bottom);
    }
    // The job of the n-th print; throws (failing the test) when there are not n jobs.
    const memory::PrintedJob& printed(std::size_t n = 1) {
        EXPECT_EQ(printer->jobs().size(), n);
        return printer->jobs().at(n - 1);
    }
    // The case's grid printed on its paper, the paper less a quarter inch on every side.
    const memory::PrintedJob& printOn(const PaperCase& c) {
        freshPrinter();
        box->clear();
        printer->paper(c.paper, c.orientation);
        printer->printableSize(printer->ScaleWidth() + 2 * (kQuarterInch - c.margin),
                               printer->ScaleHeight() + 2 * (kQuarterInch - c.margin));
        auto grid = makeGrid(c.dataRows);
        grid.CellFontSize(c.gridFont);
        print(grid);
        return printed();
    }
    void freshPrinter() {
        printer = std::make_shared<memory::RecordingPrinter>(std::make_shared<memory::FixedWidthMeasurer>());
        installPrinter(printer);
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

// Where the text prints (on the page, 0 for any); -1, -1 when nowhere.
std::pair<double, double> at(const memory::PrintedJob& job, const std::string& text, int page = 0) {
    const auto it = std::find_if(job.ops.begin(), job.ops.end(), [&](const PrinterOp& op) {
        return (page == 0 || (op.page == page && op.kind == PrinterOp::Kind::Text)) && op.text == text;
    });
    return it == job.ops.end() ? std::pair{-1.0, -1.0} : std::pair{it->x, it->y};
}

// The page's last rule lies a thin rule's thickness or more above its foot.
void expectLastRuleAboveFoot(const memory::PrintedJob& job, int page) {
    EXPECT_LE(job.lines(page).back().y + 10, at(job, job.texts(page).back(), page).second) << "page " << page;
}

// The paper's table of rows over several pages and filling one exactly, and fewer rows where they would
// not stay above the foot: a printable area a quarter inch short on every side, a larger font. (Every paper
// both ways prints into a PDF in QtPrinter.ThePageFootLiesBelowTheLastRowOnEveryPaper.)
const PaperCase paperCases[] = {
    {40, PaperCode::A4, vbPRORPortrait, kEighthInch, 9, {40}},
    {31, PaperCode::A4, vbPRORLandscape, kQuarterInch, 9, {29, 2}},
    {26, PaperCode::B5, vbPRORLandscape, kEighthInch, 12, {24, 2}},
};

// On every page the last row's rule lies a thin rule's thickness or more above the foot.
TEST_F(PrintRecord, RowsPerPageFollowThePaperAboveTheFoot) {
    for (const auto& c : paperCases) {
        SCOPED_TRACE(std::to_string(c.dataRows) + " rows on paper " + std::to_string(c.paper) +
                     ", orientation " + std::to_string(c.orientation) + ", margin " +
                     std::to_string(c.margin));
        const auto& job = printOn(c);
        const int pages = static_cast<int>(c.rowsPerPage.size());
        ASSERT_EQ(job.pages, pages) << "a page break right before the end adds no blank page";
        for (int p = 1; p <= pages; ++p) {
            EXPECT_EQ(rowsOn(job, p), c.rowsPerPage[static_cast<std::size_t>(p - 1)]);
            expectLastRuleAboveFoot(job, p);
        }
        EXPECT_EQ(box->messages(), (std::vector<ShownMessage>{{"数据已送至打印机！", 48, "提示"}}));
    }
}

// Headings 序号, 名称, 金额 with amounts of tenths: row r reads r, 货品r, r / 10.
memory::FlexGrid tenthsGrid(int dataRows) {
    memory::FlexGrid g = makeGrid(dataRows);
    for (int r = 1; r <= dataRows; ++r)
        g.TextMatrix(r, 2, std::to_string(r / 10) + (r % 10 ? "." + std::to_string(r % 10) : ""));
    return g;
}

// The texts of a page from the first "本页小计" on.
std::vector<std::string> totalsOn(const memory::PrintedJob& job, int page) {
    const auto texts = job.texts(page);
    const auto from = std::find(texts.begin(), texts.end(), "本页小计");
    return {from, texts.end() - (from == texts.end() ? 0 : 1)};  // the foot left out
}

// Each page's table ends with the sums of its rows and those carried up to it,
// in two more ruled rows of the page's table: the data rows a page shrink by two.
// The last carried total is the grid's.
TEST_F(PrintRecord, PageTotalsEndEveryPagesTable) {
    auto options = std::make_shared<PrintRecordOptions>(PrintRecordOptions{{"金额"}});
    ScopedPrintRecordOptions guard(options);
    auto grid = tenthsGrid(81);
    print(grid, "制表：张三", "");
    const auto& job = printed();
    ASSERT_EQ(job.pages, 3);
    const std::vector<std::vector<std::string>> totals = {{"本页小计", "74.1", "累计", "74.1"},
                                                          {"本页小计", "218.5", "累计", "292.6"},
                                                          {"本页小计", "39.5", "累计", "332.1"}};
    const int rows[] = {38, 38, 5};
    for (int p = 1; p <= 3; ++p) {
        SCOPED_TRACE("page " + std::to_string(p));
        EXPECT_EQ(rowsOn(job, p), rows[p - 1] + 2);
        EXPECT_EQ(totalsOn(job, p), totals[static_cast<std::size_t>(p - 1)]);
        expectLastRuleAboveFoot(job, p);
    }
    // the label in column 0, widened to hold it; the sums in their column, a row under the page's rows
    const double x1 = 330 + 4 * 220 + 110, x2 = x1 + 2 * 220 + 2 * 110 + 110;  // 名称 as wide as 货品81
    EXPECT_EQ(at(job, "货品1", 1), std::pair(x1, kBody + 50));
    EXPECT_EQ(at(job, "本页小计", 1), std::pair(330.0, kBody + 50 + 38 * kPitch));
    EXPECT_EQ(at(job, "74.1", 1), std::pair(x2, kBody + 50 + 38 * kPitch));
    EXPECT_EQ(at(job, "累计", 1).second, kBody + 50 + 39 * kPitch);
    EXPECT_EQ(job.lines(1).back().y, kBody + 50 + 39 * kPitch + 220 + 50);
}

// That row (sFillTable's 合计) prints; the label goes to the first column not
// totalled, a column named twice is summed once.
TEST_F(PrintRecord, AGridsOwnTotalsRowIsNotSummedAgain) {
    ScopedPrintRecordOptions guard(
        std::make_shared<PrintRecordOptions>(PrintRecordOptions{{"金额", "序号", "金额"}}));
    auto filled = tenthsGrid(5);
    filled.AddItem("合计\t\t1.5");
    print(filled, "制表：张三", "");
    EXPECT_EQ(totalsOn(printed(), 1),
              (std::vector<std::string>{"本页小计", "1.5", "15", "累计", "1.5", "15"}));
    EXPECT_EQ(at(printed(), "本页小计", 1).first, kCol1) << "in 名称";
}

// As a long cell does.
TEST_F(PrintRecord, ASumWiderThanThePageCountsAsThePagesWidthPrintingWhole) {
    ScopedPrintRecordOptions guard(std::make_shared<PrintRecordOptions>(PrintRecordOptions{{"金额"}}));
    auto huge = makeGrid(2);
    huge.TextMatrix(1, 2, "1e300");
    huge.TextMatrix(2, 2, "1E+300");
    print(huge, "制表：张三", "");
    EXPECT_EQ(totalsOn(printed(), 1), (std::vector<std::string>{"本页小计", "2" + std::string(300, '0'),
                                                                "累计", "2" + std::string(300, '0')}));
}

// Every text and rule, the foot with them.
TEST_F(PrintRecord, AnOffsetMovesEverythingPrinted) {
    auto grid = makeGrid(41);
    print(grid);
    printer->Offset(200, -300);
    print(grid);
    ASSERT_EQ(printer->jobs().size(), 2u);
    const auto &plain = printer->jobs()[0].ops, &moved = printer->jobs()[1].ops;
    ASSERT_EQ(plain.size(), moved.size());
    for (std::size_t i = 0; i < plain.size(); ++i) {
        SCOPED_TRACE(plain[i].text);
        EXPECT_EQ(std::tuple(moved[i].page, moved[i].x, moved[i].y),
                  std::tuple(plain[i].page, plain[i].x + 200, plain[i].y - 300));
        if (plain[i].kind == PrinterOp::Kind::Line) {
            EXPECT_EQ(std::pair(moved[i].x2, moved[i].y2), std::pair(plain[i].x2 + 200, plain[i].y2 - 300));
        }
    }
}

// The table: its rules from the margin to the right, from the rule over the heading to the lowest.
TEST_F(PrintRecord, AnOffsetMovingTheTableOffThePrintableAreaIsRefused) {
    auto grid = makeGrid(41);
    // the margin is aaa (330 twips), the rule over the heading at 1460, page 1's lowest rule at 14212 of
    // 16118
    const struct {
        double x, y;
        bool refused;
    } cases[] = {{330, 0, false},   {331, 0, true},   {-330, 0, false}, {-331, 0, true},
                 {0, -1460, false}, {0, -1461, true}, {0, 1906, false}, {0, 1907, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + ", " + std::to_string(c.y));
        printer->Offset(c.x, c.y);
        box->clear();
        const std::size_t jobs = printer->jobs().size();
        print(grid);
        EXPECT_EQ(printer->jobs().size(), jobs + (c.refused ? 0 : 1));
        EXPECT_EQ(box->last().text,
                  c.refused ? "打印偏移使表格超出纸张，请减小偏移！" : "数据已送至打印机！");
    }
    EXPECT_EQ(testing::errorNumber([&] { printer->Offset(std::nan(""), 0); }), 380);
}

TEST_F(PrintRecord, PlacesEveryPartWhereTheLayoutSays) {
    auto grid = makeGrid(41);
    grid.TextMatrix(7, 1, "很长的货品名称");  // the widest text of column 1
    print(grid);
    const auto& job = printed();
    const double pw = printer->ScaleWidth();
    // title at 18 points (twice the grid's 9) one line from the top; body at 11, "a" 110 twips
    EXPECT_EQ(at(job, "销售清单", 1), std::pair((pw - 4 * 360) / 2, 360.0));
    EXPECT_EQ(job.ops[1].text.rfind("打印时间：", 0), 0u);
    EXPECT_DOUBLE_EQ(job.ops[1].y, 720 + 100);
    EXPECT_EQ(at(job, "制表：张三", 1), std::pair(330.0, 820.0 + 220 + 100)) << "the margin is aaa";
    // columns: aaa, then the widest text of each column plus a
    const double x2 = kCol1 + 7 * 220 + 110;
    EXPECT_EQ(at(job, "名称", 1), std::pair(kCol1, 1460.0 + 100));
    EXPECT_EQ(at(job, "金额", 1).first, x2);
    EXPECT_EQ(at(job, "货品1", 1), std::pair(kCol1, kBody + 50));
    EXPECT_EQ(at(job, "货品40", 1), std::pair(kCol1, kBody + 50 + 39 * kPitch));
    EXPECT_EQ(at(job, "第 1/2 页", 1),
              std::pair((pw - (2 * 220 + 5 * 110)) / 2, printer->ScaleHeight() - 300));

    const auto rules = job.lines(1);
    ASSERT_EQ(rules.size(), 42u);
    EXPECT_EQ(std::tuple(rules[0].x, rules[0].y, rules[0].x2, rules[0].drawWidth),
              std::tuple(330.0, 1460.0, pw - 330, 2));
    EXPECT_EQ(std::pair(rules[1].y, rules[1].drawWidth), std::pair(kBody, 2));
    EXPECT_EQ(std::pair(rules[41].y, rules[41].drawWidth), std::pair(kBody + 50 + 39 * kPitch + 220 + 50, 1));
    // page 2: the heading rules are thin now; BotStr under the last rule
    const auto rules2 = job.lines(2);
    ASSERT_EQ(rules2.size(), 3u);
    EXPECT_EQ(rules2[0].drawWidth + rules2[1].drawWidth, 2);
    EXPECT_EQ(at(job, "审核：李四", 2), std::pair(330.0, rules2[2].y + 50));

    // a title wider than the page starts left of it, a time line that wide at its edge
    printer->printableSize(1000, 16000);
    print(grid);
    EXPECT_DOUBLE_EQ(printed(2).ops[0].x, (1000 - 4 * 360) / 2.0);
    EXPECT_DOUBLE_EQ(printed(2).ops[1].x, 0);
}

// Its row is as much taller, its rule under the tallest cell, and the column as wide as the widest line.
TEST_F(PrintRecord, ACellsLinesPrintOneUnderAnother) {
    auto grid = makeGrid(40);
    grid.TextMatrix(2, 1, "第一行\n第二行");        // a middle column
    grid.TextMatrix(3, 2, "甲\r\n乙\n丙丙丙丙丙");  // the last column, CR LF too
    print(grid);
    const auto& job = printed();
    const double top2 = kBody + 50 + kPitch, x2 = kCol1 + 3 * 220 + 110;  // 名称 as wide as 第一行
    EXPECT_EQ(at(job, "第一行"), std::pair(kCol1, top2));
    EXPECT_EQ(at(job, "第二行"), std::pair(kCol1, top2 + 220));
    const double top3 = top2 + kPitch + 220;
    EXPECT_EQ(at(job, "甲"), std::pair(x2, top3));
    EXPECT_EQ(at(job, "丙丙丙丙丙"), std::pair(x2, top3 + 440));
    EXPECT_EQ(at(job, "4"), std::pair(330.0, top3 + kPitch + 440)) << "the next row under the three lines";
    const auto rules = job.lines(1);
    EXPECT_EQ(rules[3].y, top2 + 2 * 220 + 50);
    EXPECT_EQ(rules[4].y, top3 + 3 * 220 + 50);
}

// Each page's last rule above its foot.
TEST_F(PrintRecord, RowsOfManyLinesLeaveFewerAPage) {
    auto tall = makeGrid(40);
    for (int r = 1; r <= 40; ++r) tall.TextMatrix(r, 1, "货品\n规格\n产地");
    print(tall);
    const auto& tallJob = printed();
    int printed = 0;
    for (int p = 1; p <= tallJob.pages; ++p) {
        expectLastRuleAboveFoot(tallJob, p);
        printed += rowsOn(tallJob, p);
    }
    EXPECT_EQ(printed, 40);
    EXPECT_EQ(rowsOn(tallJob, 1), 18) << "(16120 - 300 - 10 - 2200 - 440) / (308 + 440) + 1";
}

// A row taller than a page goes on over the pages its lines need, in order,
// every page's last rule above its foot; the next row follows under its last
// lines. Nothing blames an offset no one gave.
TEST_F(PrintRecord, ARowTallerThanAPageGoesOnOverThePagesItsLinesNeed) {
    auto grid = makeGrid(3);
    std::string tall;
    std::vector<std::string> expected;
    for (int n = 1; n <= 70; ++n) {
        expected.push_back("第" + std::to_string(n) + "行");
        tall += (n > 1 ? "\n" : "") + expected.back();
    }
    grid.TextMatrix(2, 1, tall);
    print(grid);
    EXPECT_EQ(box->messages(), (std::vector<ShownMessage>{{"数据已送至打印机！", 48, "提示"}}));
    const auto& job = printed();
    ASSERT_EQ(job.pages, 3);
    std::vector<std::string> lines;
    for (int p = 1; p <= job.pages; ++p) {
        expectLastRuleAboveFoot(job, p);
        for (const std::string& text : job.texts(p))
            if (text.rfind("第", 0) == 0 && text.find("行") != std::string::npos) lines.push_back(text);
    }
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(at(job, "2", 2).second, kBody + 50) << "the tall row starts a page";
    // (16120 - 300 - 10 - 50 - 1930) / 220: 62 lines on page 2, the last 8 on page 3
    EXPECT_EQ(at(job, "第63行", 3).second, kBody + 50);
    EXPECT_EQ(at(job, "3", 3).second, kBody + 50 + kPitch + 7 * 220)
        << "row 3 under the tall row's last lines";
    EXPECT_EQ(rowsOn(job, 3), 2);
}

const std::string otherPaper = "打印机纸型设置错误，只支持 A4,B5,10*11(普通孔纸) 三种纸型，继续吗？";

TEST_F(PrintRecord, OtherPaperAsksBeforePrinting) {
    auto grid = makeGrid(81);
    printer->paper(PaperCode::Letter);
    box->answerNo();
    print(grid);
    EXPECT_TRUE(printer->jobs().empty());
    EXPECT_EQ(box->messages(), (std::vector<ShownMessage>{{otherPaper, 52, "提示"}}));
}

TEST_F(PrintRecord, OtherPaperComputesTheRowsAPage) {
    auto grid = makeGrid(81);
    printer->paper(PaperCode::Letter);
    box->answerYes();
    print(grid);
    // (15120 - 2000) / (220 x 1.4 + 50) = 36.6, so 37 rows a page
    EXPECT_EQ(rowsOn(printed(), 1), 37);
    EXPECT_EQ(printed().pages, 3);
}

TEST_F(PrintRecord, OtherPaperTooShortIsRefused) {
    auto grid = makeGrid(81);
    printer->paper(PaperCode::Letter);
    printer->printableSize(11000, 1999);
    box->answerYes();
    print(grid);
    EXPECT_TRUE(printer->jobs().empty());
    EXPECT_EQ(box->messages(),
              (std::vector<ShownMessage>{{otherPaper, 52, "提示"}, {"打印纸高度太小！", 48, "提示"}}));
}

// No printer, or page totals of a column not in the report, holding other text than numbers or
// leaving none for the label: each stops before anything prints, says why, and leaves the font as it was.
TEST_F(PrintRecord, AStopSaysWhyLeavingThePrinterAsItWas) {
    auto grid = tenthsGrid(5), numbers = makeGrid(1);
    grid.TextMatrix(3, 2, "12元");
    numbers.Cols(2);  // 序号 and 金额 alone: 1, 2.5
    numbers.TextMatrix(0, 1, "金额");
    numbers.TextMatrix(1, 1, "2.5");
    const struct {
        int printers;
        bool installed;
        memory::FlexGrid* grid;
        std::vector<std::string> pageTotals;
        ShownMessage message;
    } cases[] = {
        {0, true, &grid, {}, {"检测不到打印机！请安装打印机！", 64, "提示"}},
        {1, false, &grid, {}, {"检测不到打印机！请安装打印机！", 64, "提示"}},
        {1, true, &grid, {"数量"}, {"本页小计的列不在报表中：数量", 48, "提示"}},
        {1, true, &grid, {"金额 "}, {"本页小计的列不在报表中：金额 ", 48, "提示"}},
        {1, true, &grid, {"金额"}, {"本页小计的列不是数字：金额（第 3 行为“12元”）", 48, "提示"}},
        {1, true, &numbers, {"序号", "金额"}, {"本页小计不能合计全部的列：需留一列写“本页小计”", 48, "提示"}},
    };
    printer->FontSize(10.5);
    printer->FontBold(true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.text);
        ScopedPrintRecordOptions guard(
            c.pageTotals.empty() ? nullptr
                                 : std::make_shared<PrintRecordOptions>(PrintRecordOptions{c.pageTotals}));
        box->clear();
        printer->printers(c.printers);
        installPrinter(c.installed ? printer : nullptr);
        print(*c.grid);
        EXPECT_EQ(box->messages(), std::vector<ShownMessage>{c.message});
        EXPECT_TRUE(printer->jobs().empty() && !printer->jobOpen());
        EXPECT_TRUE(printer->FontSize() == 10.5 && printer->FontBold());
    }
}

// A printer that fails drawing the text "50" (row 50, on page 2), as one that
// lost its connection midway; or, with failMeasuring, measuring any text (the
// columns are measured before any page).
class FailingPrinter : public memory::RecordingPrinter {
public:
    FailingPrinter() : RecordingPrinter(std::make_shared<memory::FixedWidthMeasurer>()) {}
    bool failMeasuring = false;

protected:
    double measureWidth(std::string_view text) const override {
        if (failMeasuring) fail();
        return RecordingPrinter::measureWidth(text);
    }
    void drawText(double x, double y, std::string_view text) override {
        if (text == "50") fail();
        RecordingPrinter::drawText(x, y, text);
    }

private:
    [[noreturn]] static void fail() { throw Error(381, "Subscript out of range"); }
};

TEST_F(PrintRecord, AFailureWhilePrintingAbandonsTheJobRestoresTheFontThenSaysWhy) {
    auto failing = std::make_shared<FailingPrinter>();
    installPrinter(failing);
    memory::FlexGrid grid;
    grid.Cols(2);
    grid.Rows(1);
    for (int r = 1; r <= 60; ++r) grid.AddItem(std::to_string(r) + "\tx");
    failing->FontSize(10.5);
    failing->FontBold(true);
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
    EXPECT_TRUE(failing->jobs().empty()) << "nothing reaches the printer";
    EXPECT_EQ(failing->abandoned(), 1);

    // a failure measuring the columns, before any page, abandons nothing but still restores
    failing->failMeasuring = true;
    watching->clear();
    clsPrint().mPrintRecord(grid, "清单");
    EXPECT_EQ(watching->last().style, 16);
    EXPECT_TRUE(watching->seen && failing->jobs().empty());
    EXPECT_EQ(failing->abandoned(), 1);
}

// Past 16 bits of twips too: it prints whole, and the next column starts a page's width after it.
TEST_F(PrintRecord, ACellWiderThanThePageCountsAsThePagesWidth) {
    std::string chinese;
    for (int i = 0; i < 149; ++i) chinese += "长";  // 32780 twips by the fixed rule
    for (const std::string& cell : {std::string(3000, 'w'), chinese}) {
        SCOPED_TRACE(cell.size());
        auto grid = makeGrid(2);
        grid.TextMatrix(1, 1, cell);
        print(grid);
        EXPECT_EQ(at(printed(), cell).first, kCol1) << "printed whole";
        EXPECT_EQ(at(printed(), "金额").first, kCol1 + std::round(printer->ScaleWidth()) + 110);
        EXPECT_EQ(box->last().text, "数据已送至打印机！");
        freshPrinter();
    }
}

// At 11 points "a" is 110 twips and a Chinese character 220: 序号 ends at 330 + 440 = 770,
// 货品甲乙 starts at 770 + 110 = 880 and ends at 1760, 金额 starts at 1870 and ends at 2310.
TEST_F(PrintRecord, ColumnsWhoseTextEndsPastTheWidthAreBeyondThePaper) {
    auto g = makeGrid(1);
    g.TextMatrix(1, 1, "货品甲乙");
    g.TextMatrix(1, 2, "100");
    printer->FontSize(9);
    const std::vector<std::pair<double, std::vector<int>>> cases = {
        {2310, {}}, {2309, {2}}, {1870, {2}}, {1760, {2}}, {1759, {1, 2}}, {770, {1, 2}}, {769, {0, 1, 2}},
    };
    for (const auto& [width, beyond] : cases) {
        printer->printableSize(width, 16000);
        EXPECT_EQ(columnsBeyondPaper(g, *printer), beyond) << width;
        EXPECT_EQ(printer->FontSize(), 9) << "the printer's font is put back";
    }
}

TEST(PrintLayout, TimeLineInTheFormsOfAChineseDesktop) {
    EXPECT_EQ(print::timeLine(DateTime{2024, 3, 5, 9, 5, 7, 0}), "打印时间：2024/3/5  9:05:07");
    EXPECT_EQ(print::timeLine(DateTime{2024, 12, 25, 23, 59, 0, 0}), "打印时间：2024/12/25  23:59:00");
}

// A printer that keeps a report's laid-out pages, as a paged preview's does.
class KeepingPrinter : public memory::RecordingPrinter {
public:
    using RecordingPrinter::RecordingPrinter;
    bool takePages(std::shared_ptr<const LaidOutPages> laidOut) override {
        pages = std::move(laidOut);
        return true;
    }
    std::shared_ptr<const LaidOutPages> pages;
};

TEST_F(PrintRecord, LayingOutForAPrinterThatKeepsThePagesDrawsNothing) {
    auto grid = makeGrid(95);
    auto keeping = std::make_shared<KeepingPrinter>(std::make_shared<memory::FixedWidthMeasurer>());
    keeping->FontSize(10.5);
    installPrinter(keeping);
    print(grid);
    ASSERT_NE(keeping->pages, nullptr);
    EXPECT_TRUE(keeping->jobs().empty() && keeping->pending().empty() && !keeping->jobOpen());
    EXPECT_EQ(keeping->FontSize(), 10.5);
    EXPECT_TRUE(box->messages().empty());
}

// The pages drawn as printed are the paged preview's
// (PagedPreview.PrintsThePagesOfThePdfReportWholeOrEachAlone).
TEST_F(PrintRecord, AKeptPageOutsideTheReportIsRefused) {
    auto grid = makeGrid(95);
    auto keeping = std::make_shared<KeepingPrinter>(std::make_shared<memory::FixedWidthMeasurer>());
    installPrinter(keeping);
    print(grid);
    ASSERT_NE(keeping->pages, nullptr);
    ASSERT_EQ(keeping->pages->pageCount(), 3);
    for (const int outside : {0, 4})
        EXPECT_EQ(testing::errorNumber([&] { keeping->pages->drawPage(*keeping, outside); }), 380) << outside;
}

// Only a cell that may be wider than its column's widest is measured whole,
// yet every column is as wide as its widest cell measured whole: a pair set
// further apart, a mark that widens its text, a line of several, a
// text past the page.
TEST_F(PrintRecord, ColumnsAreAsWideAsTheirWidestCellMeasuredWhole) {
    auto kerning = std::make_shared<memory::RecordingPrinter>(std::make_shared<testing::KerningMeasurer>());
    kerning->FontSize(print::kBodyFontSize);
    for (const auto& texts : testing::kerningColumns()) {
        SCOPED_TRACE(texts[1]);
        memory::FlexGrid grid;  // the texts in column 0, under an empty heading; column 1 empty
        grid.Cols(2);
        grid.Rows(static_cast<int>(texts.size()) + 1);
        double widest = 0;  // rounded half to even, as the report keeps widths
        for (std::size_t r = 0; r < texts.size(); ++r) {
            grid.TextMatrix(static_cast<int>(r) + 1, 0, texts[r]);
            widest = std::max(widest,
                              std::nearbyint(std::min(kerning->TextWidth(texts[r]), kerning->ScaleWidth())));
        }
        const print::TableMeasure table =
            print::measureTable(GridReportRows(grid), *kerning, kerning->ScaleWidth());
        EXPECT_EQ(table.lefts[1], table.lefts[0] + widest + kerning->TextWidth("a"));
    }
}

}  // namespace
}  // namespace Palvo
