// palvo report xlsx: a query's rows written as a workbook, read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/cli_database.h"
#include "support/xlsx_read.h"

namespace Palvo::cli {
namespace {

namespace fs = std::filesystem;
using testing::xpath;
using testing::xpath1;

class ReportXlsx : public CliDatabase {
protected:
    ReportXlsx() : CliDatabase("palvo_report_xlsx") {}
    void SetUp() override {
        for (const char* statement : {"create table 收支 (项目 nvarchar(10), 金额 int, 日期 datetime)",
                                      "insert into 收支 values ('007', 12, '2024-01-05')",
                                      "insert into 收支 values ('008', 30, '2024-01-06')"})
            ASSERT_EQ(sql(statement).status, 0) << statement;
    }
    // The workbook of the statement, titled, with the options before it.
    Outcome report(const std::string& title, const std::string& statement,
                   const std::vector<std::string>& options = {}) {
        return palvo(reportArgs("xlsx", db, title, out_, statement, options));
    }
    std::string sheet() const { return testing::XlsxFile(out_).part("xl/worksheets/sheet1.xml"); }
    // The number format a cell of the sheet shows its value in: a built-in one by its number.
    std::string numberFormat(const std::string& cell) const {
        const std::string styles = testing::XlsxFile(out_).part("xl/styles.xml");
        const std::string style = xpath1(sheet(), "//x:c[@r='" + cell + "']/@s");
        const std::string id =
            xpath1(styles, "//x:cellXfs/x:xf[" + std::to_string(std::stoi(style.empty() ? "0" : style) + 1) +
                               "]/@numFmtId");
        const std::string code = xpath1(styles, "//x:numFmt[@numFmtId='" + id + "']/@formatCode");
        return code.empty() ? "built-in " + id : code;
    }

    std::string out_ = (dir / "r.xlsx").string();
};

TEST_F(ReportXlsx, WithoutHeadingsTheReportIsOneNumberedGrid) {
    const Outcome r = report("收支表", "select 项目, 金额 from 收支");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string x = sheet();
    EXPECT_EQ(xpath1(x, "//x:c[@r='A1']//x:t"), "收支表");
    EXPECT_EQ(xpath(x, "//x:row[@r='3']//x:t"), (std::vector<std::string>{"序号", "项目", "金额"}));
    EXPECT_EQ(xpath(x, "//x:row[@r='4']//x:t"), (std::vector<std::string>{"1", "007", "12"}));
    EXPECT_EQ(xpath1(x, "//x:pageSetup/@orientation"), "portrait");
}

TEST_F(ReportXlsx, HeadingsMakeTheCompositeReport) {
    const Outcome r = report("收支表", "select 项目, 金额 from 收支",
                             {"--landscape", "--heading", "序号,收支,收支", "--merge", "(1,1):(2,1);"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string x = sheet();
    std::vector<std::string> merges = xpath(x, "//x:mergeCell/@ref");
    std::sort(merges.begin(), merges.end());
    EXPECT_EQ(merges, (std::vector<std::string>{"A1:C1", "A3:A4", "B3:C3", "B5:B6"}));
    EXPECT_EQ(xpath(x, "//x:row[@r='4']//x:t"), (std::vector<std::string>{"项目", "金额"}));
    // the merged cells' top-left value, a code kept as text
    EXPECT_EQ(xpath1(x, "//x:c[@r='B5']//x:t"), "007");
    EXPECT_EQ(xpath1(x, "//x:c[@r='C6']/x:v"), "30");  // a number, as a paste makes it
    EXPECT_EQ(xpath1(x, "//x:pageSetup/@orientation"), "landscape");
}

TEST_F(ReportXlsx, ColumnsAreAsWideAsTheirTextsInTheRealFont) {
    std::string longText;
    for (int i = 0; i < 200; ++i) longText += "货";
    ASSERT_EQ(sql("create table 货品 (名称 nvarchar(20), 说明 nvarchar(400))").status, 0);
    ASSERT_EQ(sql("insert into 货品 values ('华北商行东方贸易', 'x')").status, 0);
    ASSERT_EQ(sql("insert into 货品 values ('Ab', '" + longText + "')").status, 0);
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{}, std::vector<std::string>{"--heading", "序号,货,说明,说明"}}) {
        const Outcome r = report(
            "货品",
            "select 名称, 说明, 说明 as 一二三四五六七八九十一二三四五六七八九十一二三四五六 from 货品",
            options);
        ASSERT_EQ(r.status, 0) << r.err;
        // Noto Sans CJK at 11 points: a Chinese character 220 twips, "a" 123; a column is its widest
        // text plus one "a", at 100 twips a character; the file stores whole pixels (7 a character,
        // 5 more for the padding) in whole 256ths
        EXPECT_EQ(xpath(sheet(), "//x:col/@width"),
                  (std::vector<std::string>{
                      "6.28515625",   // 序号: 440 + 123 = 5.63
                      "19.5703125",   // 8 characters: 1760 + 123 = 18.83
                      "6.28515625",   // over 5 times its heading: 说明's width
                      "255.7109375",  // 200 characters, as wide as a column can be
                  }))
            << options.size();
    }
}

TEST_F(ReportXlsx, LongNumbersShowEveryDigitInTheCompositeReport) {
    ASSERT_EQ(sql("create table 编码 (代码 bigint, 金额 decimal(14,3), 件数 int)").status, 0);
    ASSERT_EQ(sql("insert into 编码 values (123456789012345, 1234567890.125, 12)").status, 0);
    ASSERT_EQ(sql("insert into 编码 values (-123456789012, 0.5, 7)").status, 0);
    const Outcome r =
        report("编码", "select 代码, 金额, 件数 from 编码", {"--heading", "序号,代码,金额,件数"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string x = sheet();
    struct Case {
        std::string cell, value, format;
    };
    for (const Case& c : {Case{"B5", "123456789012345", "0"}, Case{"C5", "1234567890.125", "0.000"},
                          Case{"B6", "-123456789012", "0"},
                          // as the general format shows them whole
                          Case{"C6", "0.5", "built-in 0"}, Case{"D5", "12", "built-in 0"}}) {
        EXPECT_EQ(xpath1(x, "//x:c[@r='" + c.cell + "']/x:v"), c.value) << c.cell;
        EXPECT_EQ(numberFormat(c.cell), c.format) << c.cell;
    }
}

TEST_F(ReportXlsx, ADateColumnIsAsWideAsTheDateItShows) {
    ASSERT_EQ(sql("create table 登记 (项目 nvarchar(10), 日期 datetime)").status, 0);
    ASSERT_EQ(sql("insert into 登记 values ('007', '2024-01-05 08:30:00')").status, 0);
    // the cells show 2024-01-05: in Noto Sans CJK at 11 points about 1130 twips, plus "a" 123:
    // 12.5 characters, 93 pixels (the date and time the query gave made 22.29)
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{}, std::vector<std::string>{"--heading", "序号,收支,收支"}}) {
        const Outcome r = report("收支", "select 项目, 日期 from 登记", options);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(xpath1(sheet(), "//x:col[@min='3']/@width"), "13.28515625") << options.size();
    }
}

TEST_F(ReportXlsx, WrappedCellsGetRowsTallEnoughForTheirLines) {
    ASSERT_EQ(sql("create table 人员 (姓名 nvarchar(10), 部门 nvarchar(20))").status, 0);
    ASSERT_EQ(sql("insert into 人员 values ('张三', '华北区第一销售分公司财务')").status, 0);
    ASSERT_EQ(sql("insert into 人员 values ('李四', '财务')").status, 0);
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{}, std::vector<std::string>{"--heading", "序号,人员,人员"}}) {
        const Outcome r = report("人员", "select 姓名, 部门 from 人员", options);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string x = sheet();
        const std::string first = options.empty() ? "4" : "5";
        const std::string second = options.empty() ? "5" : "6";
        // 部门 is as wide as its heading, 5.63 characters: 39 pixels, 37 of them for text, two
        // characters a line; six lines of 22 pixels
        EXPECT_EQ(xpath1(x, "//x:row[@r='" + first + "']/@ht"), "99") << options.size();
        EXPECT_EQ(xpath1(x, "//x:row[@r='" + first + "']/@customHeight"), "1") << options.size();
        EXPECT_EQ(xpath(x, "//x:row[@r='" + second + "']/@ht"), std::vector<std::string>{}) << options.size();
    }
}

TEST_F(ReportXlsx, AHeadingMergeHidesNoOtherHeadingText) {
    // 日期 of the first row stands over the 日期 run of the second; merging it down would join that
    // run and hide 说明 beside it
    const Outcome r = report("收支", "select 项目, 金额, 日期 from 收支",
                             {"--heading", "收支,收支,日期,说明", "--heading", "序号,项目,日期,日期"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string x = sheet();
    EXPECT_EQ(xpath(x, "//x:row[@r='3']//x:t"), (std::vector<std::string>{"收支", "日期", "说明"}));
    EXPECT_EQ(xpath(x, "//x:row[@r='4']//x:t"), (std::vector<std::string>{"序号", "项目", "日期"}));
    std::vector<std::string> merges = xpath(x, "//x:mergeCell/@ref");
    std::sort(merges.begin(), merges.end());
    EXPECT_EQ(merges, (std::vector<std::string>{"A1:D1", "A3:B3", "A4:A5", "B4:B5", "C4:D4"}));
}

TEST_F(ReportXlsx, AFailingReportWritesNoWorkbook) {
    const Outcome heading = report("T", "select 项目, 金额 from 收支", {"--heading", "a,b"});
    EXPECT_EQ(heading.status, 2);
    EXPECT_EQ(heading.err,
              "palvo: --heading \"a,b\" has 2 cells; the report has 3 columns (running numbers included)\n");
    // an item beyond the table is refused alone (the one after it is made), and then no workbook is written
    const Outcome merge =
        report("T", "select 项目, 金额 from 收支", {"--merge", "(0,0):(1000000,16000);(1,1):(2,1);"});
    EXPECT_EQ(merge.status, 1);
    EXPECT_EQ(
        merge.err,
        "[Vantrel提示] Merge method of Range class failed: merge item (0,0):(1000000,16000) lies outside "
        "the table A1:C5\n");
    const Outcome empty = report("T", "select 项目 from 收支 where 1 = 0");
    EXPECT_EQ(empty.status, 1);
    EXPECT_NE(empty.err.find("没有数据！"), std::string::npos) << empty.err;
    EXPECT_EQ(palvo({"report", "xlsx", "--db", db, "--out", out_, "select 1"}).status, 2);  // no title
    EXPECT_FALSE(fs::exists(out_));
}

}  // namespace
}  // namespace Palvo::cli
