#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/cli_run.h"

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

}  // namespace
}  // namespace Palvo::cli
