// palvo report pdf: a query printed into a PDF, read back with poppler's pdfinfo and pdftotext.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "support/cli_database.h"
#include "support/pdf_text.h"

namespace Palvo::cli {
namespace {

namespace fs = std::filesystem;

using testing::pdfPages;

// R001 .. R999: no row's number is part of another's
std::string rowNo(int i) { return "R" + std::to_string(1000 + i).substr(1); }

class ReportCommand : public CliDatabase {
protected:
    ReportCommand() : CliDatabase("palvo_report") {}
    void SetUp() override {
        if (std::system("command -v pdfinfo >/dev/null && command -v pdftotext >/dev/null") != 0)
            GTEST_SKIP() << "poppler-utils is not installed";
        ASSERT_EQ(sql("create table 销售 (单号 nvarchar(20), 金额 money)").status, 0);
        for (int i = 1; i <= 41; ++i)
            sql("insert into 销售 values ('" + rowNo(i) + "', " + std::to_string(i) + ")");
    }

    Outcome report(const std::string& statement, const std::vector<std::string>& options = {}) {
        fs::remove(pdf);
        return palvo(reportArgs("pdf", db, "Sales 2024", pdf.string(), statement, options));
    }

    fs::path pdf = dir / "r.pdf";
};

// The options choose the paper and its orientation (the rows each paper holds
// follow the paper); the title and the top text print on every page, the
// bottom text on the last.
TEST_F(ReportCommand, EveryPaperCarriesTheTextsOnItsPages) {
    const std::tuple<std::vector<std::string>, const char*, int> cases[] = {
        {{}, "595 x 842", 40},  // A4 portrait
        {{"--landscape"}, "842 x 595", 30},
        {{"--paper", "B5"}, "516 x 729", 34},
        {{"--paper", "10x11", "--landscape"}, "792 x 720", 30},
    };
    for (const auto& [paper, size, rows] : cases) {
        std::vector<std::string> options = paper;
        options.insert(options.end(), {"--top", "Top ABC 123", "--bottom", "Bottom XYZ 789"});
        SCOPED_TRACE(size);
        const Outcome r = report("select * from 销售", options);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "[Vantrel提示] 数据已送至打印机！\n");
        EXPECT_EQ(testing::pdfInfo(pdf.string(), "Page size").rfind(std::string(size) + " pts", 0), 0u);
        ASSERT_EQ(pdfPages(pdf), 2);
        for (int page = 1; page <= 2; ++page) {
            const std::string text = testing::pdfText(pdf.string(), page);
            EXPECT_NE(text.find("Sales 2024"), std::string::npos) << text;
            EXPECT_NE(text.find("Top ABC 123"), std::string::npos) << text;
            EXPECT_EQ(text.find("Bottom XYZ 789") != std::string::npos, page == 2) << text;
            EXPECT_EQ(text.find(rowNo(rows)) != std::string::npos, page == 1) << text;
            EXPECT_EQ(text.find(rowNo(rows + 1)) != std::string::npos, page == 2) << text;
        }
    }
}

// the layout is kept
TEST_F(ReportCommand, ColumnsBeyondThePaperAreNamed) {
    ASSERT_EQ(sql("create table 宽 (单号 nvarchar(20), 说明 nvarchar(200), 金额 int)").status, 0);
    const std::string remark = "A long remark that runs across the paper " + std::string(50, 'x');
    ASSERT_EQ(sql("insert into 宽 values ('R001', '" + remark + "', 5)").status, 0);
    const std::pair<std::vector<std::string>, std::string> wide[] = {
        // A4 portrait: the remark starts on the paper and runs past it, the amount starts beyond it
        {{},
         "palvo: 2 columns do not fit the paper's width (the report is not scaled): "
         "说明 (column 3), 金额 (column 4)\n"},
        {{"--landscape"}, ""},
    };
    for (const auto& [options, note] : wide) {
        const Outcome r = report("select * from 宽", options);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "[Vantrel提示] 数据已送至打印机！\n" + note);
        EXPECT_EQ(pdfPages(pdf), 1);
        EXPECT_NE(testing::pdfText(pdf.string(), 1).find("R001"), std::string::npos);
    }
}

// The word's box on the page, in points (pdftotext -bbox); xMin -1 when it is not there.
testing::PdfWord wordOn(const fs::path& pdf, int page, const std::string& text) {
    for (const auto& w : testing::pdfWords(pdf.string(), page))
        if (w.text == text) return w;
    return {-1, -1, -1, -1, text};
}

// --page-totals ends every page with 本页小计 and 累计 of the columns named (38 rows
// a page on A4 portrait), the last 累计 the whole column's sum; --offset moves the
// page by millimetres, the foot too.
TEST_F(ReportCommand, PageTotalsEndEveryPage) {
    const Outcome r = report("select * from 销售", {"--page-totals", "金额"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(pdfPages(pdf), 2);
    // page 2 under its rows 39 to 41: 39 + 40 + 41 = 120, and 1 + .. + 41 = 861 carried
    const std::vector<std::string> lines = testing::pdfLines(pdf.string(), 2);
    ASSERT_GT(lines.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end() - 1),
              (std::vector<std::string>{"41 R041 41", "本页小计 120", "累计 861"}));
}

TEST_F(ReportCommand, AnOffsetMovesThePageWithItsFoot) {
    ASSERT_EQ(report("select * from 销售", {"--page-totals", "金额"}).status, 0);
    const testing::PdfWord row = wordOn(pdf, 1, "R001"), foot = wordOn(pdf, 1, "第");
    ASSERT_EQ(report("select * from 销售", {"--page-totals", "金额", "--offset", "3,-2.5"}).status, 0);
    // 3 mm = 8.50 pt right, 2.5 mm = 7.09 pt up
    for (const auto& [before, word] : {std::pair{row, "R001"}, std::pair{foot, "第"}}) {
        const testing::PdfWord after = wordOn(pdf, 1, word);
        ASSERT_GT(before.xMin, 0) << word;
        EXPECT_NEAR(after.xMin - before.xMin, 8.50, 0.02) << word;
        EXPECT_NEAR(after.yMin - before.yMin, -7.09, 0.02) << word;
    }
}

// No rows, a failed query, columns not in the report or holding text, and an offset
// moving the table off the paper are refused before anything prints (status 1, no
// file); what the options cannot say at all is a usage error (status 2).
TEST_F(ReportCommand, BadReportsAreRefusedBeforePrinting) {
    const std::string all = "select * from 销售",
                      offPaper = "[Vantrel提示] 打印偏移使表格超出纸张，请减小偏移！\n";
    const struct {
        std::string statement;
        std::vector<std::string> options;
        std::string message;
    } refused[] = {
        {"select * from 销售 where 金额 > 100", {}, "[Vantrel提示] 没有数据！\n"},
        {"select * from 无此表", {}, "palvo: 对象名 '无此表' 无效。\n"},
        {all,
         {"--page-totals", "金额,单号"},
         "[Vantrel提示] 本页小计的列不是数字：单号（第 1 行为“R001”）\n"},
        {all, {"--offset", "10,0"}, offPaper},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.statement + (c.options.empty() ? "" : " " + c.options.back()));
        const Outcome r = report(c.statement, c.options);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.message);
        EXPECT_FALSE(fs::exists(pdf));
    }
    std::vector<std::vector<std::string>> usage = {{"--paper", "A3"}, {"--title"}};
    for (const char* o : {"3", "3;2", "a,1", "1,", ",1", "1,2,3", "1e999,0"})
        usage.push_back({"--offset", o});
    for (const char* c : {"", "金额,", ",金额", "金额,,单号"}) usage.push_back({"--page-totals", c});
    for (const auto& options : usage) EXPECT_EQ(report(all, options).status, 2) << options.back();
}

}  // namespace
}  // namespace Palvo::cli
