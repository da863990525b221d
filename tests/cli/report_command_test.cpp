#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli_run.h"
#include "support/pdf_text.h"

namespace Palvo::cli {
namespace {

namespace fs = std::filesystem;

int pdfPages(const fs::path& pdf) {
    std::string info(256, '\0');
    FILE* p = popen(("pdfinfo '" + pdf.string() + "' 2>/dev/null | grep Pages:").c_str(), "r");
    info.resize(p ? fread(info.data(), 1, info.size(), p) : 0);
    if (p) pclose(p);
    return info.size() > 6 ? std::stoi(info.substr(6)) : -1;
}

TEST(ReportCommand, PrintsAQueryIntoAPdfOrExitsWithOneAndNoFile) {
    if (std::system("command -v pdfinfo >/dev/null") != 0) GTEST_SKIP() << "poppler-utils is not installed";
    const fs::path dir = fs::temp_directory_path() / ("palvo_report_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string db = (dir / "t.db").string(), pdf = (dir / "r.pdf").string();
    ASSERT_EQ(palvo({"sql", "--db", db, "create table 销售 (单号 nvarchar(20), 金额 money)"}).status, 0);
    for (int i = 1; i <= 41; ++i) {
        palvo({"sql", "--db", db,
               "insert into 销售 values ('XS" + std::to_string(i) + "', " + std::to_string(i) + ")"});
    }
    const auto report = [&](const std::string& statement, std::vector<std::string> options = {}) {
        std::vector<std::string> args = {"report", "pdf", "--db", db, "--title", "销售", "--out", pdf};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(statement);
        fs::remove(pdf);
        return palvo(args);
    };
    struct Case {
        std::string statement;
        std::vector<std::string> options;
        int status;
        std::string message;
        int pages;
    };
    const Case cases[] = {
        {"select * from 销售", {}, 0, "[Vantrel提示] 数据已送至打印机！\n", 2},  // 40 rows a page
        {"select top 25 * from 销售", {"--paper", "B5", "--landscape"}, 0, "数据已送至打印机！", 1},
        {"select * from 销售",
         {"--paper", "10x11", "--top", "甲", "--bottom", "乙"},
         0,
         "数据已送至打印机！",
         2},
        {"select * from 销售 where 金额 > 100", {}, 1, "[Vantrel提示] 没有数据！\n", -1},
        {"select * from 无此表", {}, 1, "无此表", -1},
    };
    for (const auto& c : cases) {
        const Outcome r = report(c.statement, c.options);
        EXPECT_EQ(r.status, c.status) << c.statement;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(pdfPages(pdf), c.pages) << c.statement;
    }
    for (const auto& options :
         {std::vector<std::string>{"--paper", "A3"}, std::vector<std::string>{"--title"}}) {
        EXPECT_EQ(report("select 1", options).status, 2);
    }
    fs::remove_all(dir);
}

// Every text of the sample data comes back from the PDF as it was printed: each row
// of the report is its running number and the query's cells, in order, under the heading.
TEST(ReportCommand, TheSampleDataReadsBackFromThePdfRowByRow) {
    if (!testing::havePdfToText()) GTEST_SKIP() << "poppler-utils is not installed";
    const fs::path dir = fs::temp_directory_path() / ("palvo_report_sample_" + std::to_string(::getpid()));
    fs::create_directories(dir);
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
            for (std::size_t at = 0;;) {
                const auto tab = line.find('\t', at);
                cells.push_back(line.substr(at, tab - at));
                if (tab == std::string::npos) break;
                at = tab + 1;
            }
            table.push_back(testing::rowLine(cells));
        }
        ASSERT_GT(n, 40);
        const int pages = pdfPages(pdf);
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
    fs::remove_all(dir);
}

}  // namespace
}  // namespace Palvo::cli
