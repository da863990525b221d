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
    std::string info;
    if (FILE* p = popen(("pdfinfo '" + pdf.string() + "' 2>/dev/null").c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) info.append(buf, n);
        pclose(p);
    }
    const auto at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::stoi(info.substr(at + 6));
}

class ReportCommand : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("palvo_report_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        db_ = (dir_ / "t.db").string();
        ASSERT_EQ(palvo({"sql", "--db", db_, "create table 销售 (单号 nvarchar(20), 金额 money)"}).status, 0);
        for (int i = 1; i <= 41; ++i) {
            ASSERT_EQ(palvo({"sql", "--db", db_,
                             "insert into 销售 values ('XS" + std::to_string(2004000 + i) + "', " +
                                 std::to_string(i) + ")"})
                          .status,
                      0);
        }
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    Outcome report(const std::string& statement, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"report", "pdf", "--db", db_, "--title", "销售", "--out", pdf()};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(statement);
        return palvo(args);
    }
    std::string pdf() const { return (dir_ / "r.pdf").string(); }
    fs::path dir_;
    std::string db_;
};

TEST_F(ReportCommand, PrintsTheRowsIntoAPdfOnThePaperAsked) {
    if (std::system("command -v pdfinfo >/dev/null") != 0)
        GTEST_SKIP() << "pdfinfo (poppler-utils) is not installed";
    struct Case {
        std::vector<std::string> options;
        int pages;
    };
    const Case cases[] = {
        {{}, 2},                                   // A4 portrait: 40 rows a page
        {{"--paper", "B5", "--landscape"}, 2},     // 25 rows a page
        {{"--paper", "10x11", "--top", "甲"}, 2},  // 39 rows a page
    };
    for (const auto& c : cases) {
        fs::remove(pdf());
        const Outcome r = report("select * from 销售", c.options);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("[Vantrel提示] 数据已送至打印机！\n"), std::string::npos) << r.err;
        EXPECT_EQ(pdfPages(pdf()), c.pages);
    }
    fs::remove(pdf());
    EXPECT_EQ(report("select top 25 * from 销售", {"--paper", "B5", "--landscape"}).status, 0);
    EXPECT_EQ(pdfPages(pdf()), 1);
}

TEST_F(ReportCommand, AReportThatDidNotPrintExitsWithOneAndLeavesNoFile) {
    const Outcome none = report("select * from 销售 where 金额 > 100");
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("[Vantrel提示] 没有数据！\n"), std::string::npos) << none.err;
    const Outcome bad = report("select * from 无此表");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("无此表"), std::string::npos) << bad.err;
    EXPECT_FALSE(fs::exists(pdf()));

    for (const auto& args : std::vector<std::vector<std::string>>{
             {"report", "pdf", "--db", db_, "--out", pdf(), "select 1"},  // no title
             {"report", "pdf", "--db", db_, "--title", "t", "--out", pdf(), "--paper", "A3", "select 1"},
             {"report", "xlsx", "--db", db_, "--title", "t", "--out", pdf(), "select 1"},
         }) {
        const Outcome usage = palvo(args);
        EXPECT_EQ(usage.status, 2);
        EXPECT_NE(usage.err.find("usage: palvo report pdf"), std::string::npos);
    }
}

}  // namespace
}  // namespace Palvo::cli
