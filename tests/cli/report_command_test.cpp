// palvo report pdf: a query printed into a PDF, read back with poppler's pdfinfo and pdftotext.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli_database.h"
#include "support/pdf_text.h"

namespace Palvo::cli {
namespace {

namespace fs = std::filesystem;

// pdfinfo's `field` of a page, up to `end`: "Page 2 size: 729 x 516 pts" -> "729 x 516"
std::string pdfInfo(const fs::path& pdf, int page, const std::string& field, const std::string& end = "") {
    const std::string p = std::to_string(page);
    const std::string line =
        testing::commandOutput("pdfinfo -f " + p + " -l " + p + " '" + pdf.string() +
                               "' 2>/dev/null | sed -n 's/^" + field + ": *\\(.*\\)" + end + "$/\\1/p'");
    return line.empty() ? "" : line.substr(0, line.size() - 1);
}
int pageCount(const fs::path& pdf) {
    const std::string n = pdfInfo(pdf, 1, "Pages");
    return n.empty() ? -1 : std::stoi(n);
}

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

    Outcome report(const std::string& statement, std::vector<std::string> options = {}) {
        std::vector<std::string> args = {"report",  "pdf",        "--db",  db,
                                         "--title", "Sales 2024", "--out", pdf.string()};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(statement);
        fs::remove(pdf);
        return palvo(args);
    }

    fs::path pdf = dir / "r.pdf";
};

TEST_F(ReportCommand, PaperOrientationTopAndBottomTextsReachThePages) {
    struct Case {
        std::vector<std::string> options;
        const char* size;  // points, width x height
        int rowsPerPage;
    };
    const Case cases[] = {
        {{}, "595 x 842", 40},                                // A4 portrait
        {{"--landscape"}, "842 x 595", 30},                   // A4 landscape
        {{"--paper", "B5"}, "516 x 729", 34},                 // JIS B5 portrait
        {{"--paper", "B5", "--landscape"}, "729 x 516", 25},  // JIS B5 landscape
        {{"--paper", "10x11"}, "720 x 792", 39},              // 10 x 11 inch portrait
        {{"--paper", "10x11", "--landscape"}, "792 x 720", 30},
    };
    for (const Case& c : cases) {
        std::vector<std::string> options = c.options;
        options.insert(options.end(), {"--top", "Top ABC 123", "--bottom", "Bottom XYZ 789"});
        SCOPED_TRACE(c.size);
        const Outcome r = report("select * from 销售", options);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "[Vantrel提示] 数据已送至打印机！\n");
        ASSERT_EQ(pageCount(pdf), 2);
        const std::string last = rowNo(c.rowsPerPage), next = rowNo(c.rowsPerPage + 1);
        for (int page = 1; page <= 2; ++page) {
            SCOPED_TRACE("page " + std::to_string(page));
            EXPECT_EQ(pdfInfo(pdf, page, "Page *[0-9]* size", " pts.*"), c.size);
            const std::string text = testing::pdfText(pdf.string(), page);
            EXPECT_NE(text.find("Sales 2024"), std::string::npos) << text;
            EXPECT_NE(text.find("Top ABC 123"), std::string::npos) << text;
            EXPECT_EQ(text.find("Bottom XYZ 789") != std::string::npos, page == 2) << text;
            EXPECT_NE(text.find(page == 1 ? "R001" : "R041"), std::string::npos) << text;
            EXPECT_EQ(text.find(last) != std::string::npos, page == 1) << text;
            EXPECT_EQ(text.find(next) != std::string::npos, page == 2) << text;
        }
    }
}

TEST_F(ReportCommand, ColumnsBeyondThePaperAreNamedAndTheLayoutKept) {
    ASSERT_EQ(sql("create table 宽 (单号 nvarchar(20), 说明 nvarchar(200), 金额 int)").status, 0);
    const std::string wide = "A long remark that runs across the paper " + std::string(50, 'x');
    ASSERT_EQ(sql("insert into 宽 values ('R001', '" + wide + "', 5)").status, 0);
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        // A4 portrait: the remark starts on the paper and runs past it, the amount starts beyond it
        {{},
         "palvo: 2 columns do not fit the paper's width (the report is not scaled): "
         "说明 (column 3), 金额 (column 4)\n"},
        {{"--landscape"}, ""},
    };
    for (const auto& [options, note] : cases) {
        const Outcome r = report("select * from 宽", options);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "[Vantrel提示] 数据已送至打印机！\n" + note);
        EXPECT_EQ(pageCount(pdf), 1);
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
TEST_F(ReportCommand, PageTotalsAndAnOffsetFromTheCommandLine) {
    const Outcome r = report("select * from 销售", {"--page-totals", "金额"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(pageCount(pdf), 2);
    // 1 + .. + 38 = 741, 39 + 40 + 41 = 120, 1 + .. + 41 = 861
    const char* totals[][2] = {{"本页小计 741", "累计 741"}, {"本页小计 120", "累计 861"}};
    for (int page = 1; page <= 2; ++page) {
        const std::vector<std::string> lines = testing::pdfLines(pdf.string(), page);
        ASSERT_GT(lines.size(), 3u);
        EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end() - 1),
                  (std::vector<std::string>{totals[page - 1][0], totals[page - 1][1]}));
        EXPECT_NE(lines[lines.size() - 4].find(rowNo(page == 1 ? 38 : 41)), std::string::npos);
    }

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
        {all, {"--page-totals", "数量"}, "[Vantrel提示] 本页小计的列不在报表中：数量\n"},
        {all,
         {"--page-totals", "金额,单号"},
         "[Vantrel提示] 本页小计的列不是数字：单号（第 1 行为“R001”）\n"},
        {all, {"--offset", "10,0"}, offPaper},
        {all, {"--offset", "0,-30", "--landscape"}, offPaper},
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

// Every text of the sample data comes back from the PDF as it was printed: each row
// of the report is its running number and the query's cells, in order, under the heading.
TEST(ReportSampleData, ReadsBackFromThePdfRowByRow) {
    if (!testing::havePdfToText()) GTEST_SKIP() << "poppler-utils is not installed";
    const testing::ScratchDir scratch("palvo_report_sample");
    const fs::path& dir = scratch.path;
    const std::string db = (dir / "sample.db").string(), pdf = (dir / "r.pdf").string();
    ASSERT_EQ(palvo({"init", "--db", db, "--sample"}).status, 0);
    for (const std::string statement :
         {"select 客户编号, 名称, 地址, 电话 from 客户",
          "select 单据号, 客户名称, 品名, 规格, 单位, 数量, 金额, 经手人 from 销售查询"}) {
        SCOPED_TRACE(statement);
        const Outcome rows = palvo({"sql", "--db", db, statement});
        ASSERT_EQ(rows.status, 0) << rows.err;
        ASSERT_EQ(palvo({"report", "pdf", "--db", db, "--title", "样例", "--out", pdf, statement}).status, 0);
        // the query's lines with the running number before each row: "序号" on the heading
        std::vector<std::string> table;
        std::istringstream in(rows.out);
        int n = 0;
        for (std::string line; std::getline(in, line); ++n) {
            std::vector<std::string> cells = {n == 0 ? "序号" : std::to_string(n)};
            std::istringstream cellsIn(line + '\t');  // a last empty cell read too
            for (std::string cell; std::getline(cellsIn, cell, '\t');) cells.push_back(cell);
            table.push_back(testing::rowLine(cells));
        }
        ASSERT_GT(n, 40);
        const int pages = pageCount(pdf);
        std::vector<std::string> expected, read;
        for (int p = 1; p <= pages; ++p) {
            expected.push_back(table[0]);
            for (int r = (p - 1) * 40 + 1; r <= std::min(p * 40, n - 1); ++r) expected.push_back(table[r]);
            const std::vector<std::string> lines = testing::pdfLines(pdf, p);
            ASSERT_GT(lines.size(), 3u);
            EXPECT_EQ(lines.front(), "样例");
            EXPECT_EQ(lines[1].rfind("打印时间：", 0), 0u) << lines[1];
            EXPECT_EQ(lines.back(), "第 " + std::to_string(p) + "/" + std::to_string(pages) + " 页");
            read.insert(read.end(), lines.begin() + 2, lines.end() - 1);
        }
        EXPECT_EQ(read, expected);
    }
}

}  // namespace
}  // namespace Palvo::cli
