// The spreadsheet reports written by the xlsx adapter and read back from the
// file: sheet XML, styles, merges, page setup, header and footer strings.
#include <gtest/gtest.h>

#include <filesystem>

#include "palvo/clsPrint.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/msgbox.h"
#include "palvo/memory/spreadsheet.h"
#include "palvo/memory/window_host.h"
#include "palvo/session.h"
#include "palvo/xlsx/writer.h"
#include "src/base/conversions.h"
#include "support/files.h"
#include "support/xlsx_read.h"

namespace Palvo {
namespace {

namespace fs = std::filesystem;
using testing::xpath;
using testing::xpath1;
using Rows = std::vector<std::vector<std::string>>;

void fill(memory::FlexGrid& g, const Rows& rows, int fixedRows = 1) {
    g.FixedCols(0);
    g.Rows(static_cast<int>(rows.size()));
    g.Cols(static_cast<int>(rows[0].size()));
    g.FixedRows(fixedRows);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            g.TextMatrix(static_cast<int>(r), static_cast<int>(c), rows[r][c]);
        }
    }
}

class XlsxReport : public ::testing::Test {
protected:
    void SetUp() override {
        desk->saveTo = (dir / "out.xlsx").string();
        session().sMsg = "提示";
    }

    std::string part(const std::string& name) const { return testing::XlsxFile(desk->saveTo).part(name); }
    std::string sheet() const { return part("xl/worksheets/sheet1.xml"); }
    // The text or number a cell shows; "" for a cell without a value.
    static std::string value(const std::string& xml, const std::string& ref) {
        const std::string text = xpath1(xml, "//x:c[@r='" + ref + "']/x:is/x:t");
        return text.empty() ? xpath1(xml, "//x:c[@r='" + ref + "']/x:v") : text;
    }
    // An attribute of the cell's style (cellXfs entry), as "alignment/@horizontal" or "@numFmtId".
    std::string style(const std::string& xml, const std::string& ref, const std::string& what) const {
        const std::string s = xpath1(xml, "//x:c[@r='" + ref + "']/@s");
        const int index = s.empty() ? 0 : std::stoi(s);
        return xpath1(part("xl/styles.xml"), "//x:cellXfs/x:xf[" + std::to_string(index + 1) + "]/" + what);
    }
    std::string border(const std::string& xml, const std::string& ref) const {
        const std::string id = style(xml, ref, "@borderId");
        const std::string b = "//x:borders/x:border[" + std::to_string(std::stoi(id) + 1) + "]/";
        const std::string styles = part("xl/styles.xml");
        return xpath1(styles, b + "x:left/@style") + "," + xpath1(styles, b + "x:top/@style") + "," +
               xpath1(styles, b + "x:bottom/@style") + "," + xpath1(styles, b + "x:right/@style");
    }
    std::vector<std::string> merges() const { return xpath(sheet(), "//x:mergeCell/@ref"); }
    std::vector<std::string> messageWindows() const {
        std::vector<std::string> texts;
        for (const auto& f : host->shown()) {
            if (f->Name() == "frmMsg") texts.push_back(f->get<memory::TextBox>("Text1").Text());
        }
        return texts;
    }
    std::vector<std::string> filesLeft() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
        return names;
    }

    const testing::ScratchDir scratch{"palvo-xlsx-test"};
    const fs::path& dir = scratch.path;
    std::shared_ptr<memory::SpreadsheetDesk> desk = std::make_shared<memory::SpreadsheetDesk>();
    std::shared_ptr<memory::ScriptedMessageBox> messages = std::make_shared<memory::ScriptedMessageBox>();
    std::shared_ptr<memory::WindowHost> host = std::make_shared<memory::WindowHost>(nullptr, messages);
    ScopedSpreadsheetWriter writerGuard{std::make_shared<xlsx::Writer>()};
    ScopedSpreadsheetDesk deskGuard{desk};
    ScopedWindowHost hostGuard{host};
    ScopedMessageBox boxGuard{messages};
    memory::FlexGrid grid;
    clsPrint print;
};

// One grid of four rows reported, its first column 1500 twips wide.
class OneGrid : public XlsxReport {
protected:
    void SetUp() override {
        XlsxReport::SetUp();
        fill(grid, {{"编号", "名称", "金额"},
                    {"007", "甲", "12.50"},
                    {"2", "乙", "3"},
                    {"3", "丙", "4"},
                    {"4", "丁", "5"}});
        grid.ColWidth(0, 1500);
        print.sReportGridtoExcel("销售表", grid, "R&D 部", "制表人");
        ASSERT_EQ(desk->opened, std::vector<std::string>{desk->saveTo});
        x = sheet();
    }
    std::string x;
};

// Texts kept as typed.
TEST_F(OneGrid, LaysOutTheTitleOverTheTable) {
    EXPECT_EQ(merges(), std::vector<std::string>{"A1:C1"});
    EXPECT_EQ(value(x, "A1"), "销售表");
    EXPECT_EQ(value(x, "A3") + value(x, "B3") + value(x, "C3"), "编号名称金额");
    EXPECT_EQ(value(x, "A4"), "007");  // text format: kept as it stands
    EXPECT_EQ(value(x, "C4"), "12.50");
    EXPECT_EQ(value(x, "C7"), "5");
    EXPECT_EQ(xpath1(x, "//x:c[@r='C4']/@t"), "inlineStr");
    EXPECT_TRUE(xpath(x, "//x:row[@r='8']").empty());
    EXPECT_TRUE(messageWindows().empty());
    EXPECT_EQ(filesLeft(), std::vector<std::string>{"out.xlsx"});
}

TEST_F(OneGrid, TheTitleIsBoldFifteenPointsCentred) {
    EXPECT_EQ(style(x, "A1", "x:alignment/@horizontal"), "center");
    const std::string font =
        "//x:fonts/x:font[" + std::to_string(std::stoi(style(x, "A1", "@fontId")) + 1) + "]/";
    EXPECT_EQ(xpath1(part("xl/styles.xml"), font + "x:sz/@val"), "15");
    EXPECT_EQ(xpath(part("xl/styles.xml"), font + "x:b").size(), 1u);
}

// Text format, centred both ways, wrapped, shrunk, all four borders; the heading row bold.
TEST_F(OneGrid, EveryTableCellIsBorderedCentredText) {
    for (const std::string ref : {"A3", "B5", "C7"}) {
        SCOPED_TRACE(ref);
        EXPECT_EQ(style(x, ref, "@numFmtId"), "49");
        EXPECT_EQ(style(x, ref, "x:alignment/@horizontal"), "center");
        EXPECT_EQ(style(x, ref, "x:alignment/@vertical"), "center");
        EXPECT_EQ(style(x, ref, "x:alignment/@wrapText"), "1");
        EXPECT_EQ(border(x, ref), "thin,thin,thin,thin");
    }
    EXPECT_NE(style(x, "A3", "@fontId"), style(x, "A4", "@fontId"));
}

// Twips / 100, stored as the file keeps them: w digits of 7 pixels plus 5 pixels of
// padding, in 256ths of a digit. 1500 twips: 15 → 110 px → 15.7109375; the grid's default
// 960 twips: 9.6 → 67 + 5 px → 10.28515625.
TEST_F(OneGrid, ColumnWidthsFollowTheGrid) {
    EXPECT_EQ(xpath1(x, "//x:col[@min='1']/@width"), "15.7109375");
    EXPECT_EQ(xpath1(x, "//x:col[@min='2']/@width"), "10.28515625");
}

TEST_F(OneGrid, ThePageIsSetUpForTheReport) {
    EXPECT_EQ(xpath1(x, "//x:pageSetup/@paperSize"), "9");
    EXPECT_EQ(xpath1(x, "//x:pageSetup/@orientation"), "portrait");
    EXPECT_EQ(xpath1(x, "//x:printOptions/@horizontalCentered"), "1");
    const std::pair<const char*, double> margins[] = {{"left", 0.4},   {"right", 0.4},   {"top", 0.3},
                                                      {"bottom", 0.6}, {"header", 0.56}, {"footer", 0.3}};
    for (const auto& [margin, inches] : margins) {
        EXPECT_DOUBLE_EQ(std::stod(xpath1(x, std::string("//x:pageMargins/@") + margin)), inches) << margin;
    }
    const std::string header = xpath1(x, "//x:oddHeader");
    EXPECT_EQ(header.rfind("&LR&&D 部&R时间:", 0), 0u) << header;
    EXPECT_EQ(xpath1(x, "//x:oddFooter"),
              "&L制表人&R第&\"Times New Roman,常规\" &P &\"宋体,常规\"页，共&\"Times New Roman,常规\" &N "
              "&\"宋体,常规\"页");
    EXPECT_EQ(xpath1(part("xl/workbook.xml"), "//x:definedName[@name='_xlnm.Print_Titles']"), "Sheet1!$1:$3");
}

// Anywhere the report wrote.
TEST_F(OneGrid, CodesStoredAsTextAreNotMarkedAsNumbersStoredAsText) {
    EXPECT_EQ(xpath(x, "//x:ignoredErrors/x:ignoredError/@sqref"), std::vector<std::string>{"A1:C7"});
    EXPECT_EQ(xpath1(x, "//x:ignoredError/@numberStoredAsText"), "1");
}

// So that the workbook opens.
TEST_F(XlsxReport, TextsTheXmlCannotHoldAreMended) {
    fill(grid, {{"名称"},
                {"a\xff"
                 "b"},
                {"x\x01y"},
                {std::string("n\0ul", 4)},
                {"客\xe5\xae"},
                {"\xef\xbf\xbf"}});
    print.sReportGridtoExcel("表\x02", grid, "上\x03", "下\xfe");
    const std::string mended = sheet();  // a part that is no well-formed XML throws here
    for (const auto& [ref, shown] : std::vector<std::pair<std::string, std::string>>{
             {"A1", "表_x0002_"},  // the application's escape of a control, as libxlsxwriter writes it
             {"A4", "a\uFFFDb"},
             {"A5", "x_x0001_y"},
             {"A6", "n_x0000_ul"},
             {"A7", "客\uFFFD\uFFFD"},
             {"A8", "\uFFFD"}}) {
        EXPECT_EQ(value(mended, ref), shown) << ref;
    }
    EXPECT_EQ(xpath1(mended, "//x:oddHeader").rfind("&L上_x0003_&R", 0), 0u);
    EXPECT_EQ(xpath1(mended, "//x:oddFooter").rfind("&L下\uFFFD&R", 0), 0u);
    EXPECT_NO_THROW(xpath(part("xl/styles.xml"), "//x:xf"));
    EXPECT_TRUE(messageWindows().empty());
}

// Shown once.
TEST_F(XlsxReport, RepeatedHeadingsMergeAcrossThenDown) {
    fill(grid, {{"收入", "收入", "支出"}, {"现金", "转账", "支出"}, {"1", "2", "3"}}, 2);
    print.sPrintComFlxData(grid, "收支");
    const std::string x = sheet();
    EXPECT_EQ(merges(), (std::vector<std::string>{"A1:C1", "A3:B3", "C3:C4"}));
    EXPECT_EQ(value(x, "A3") + "|" + value(x, "B3") + "|" + value(x, "C3"), "收入||支出");
    EXPECT_EQ(value(x, "A4") + "|" + value(x, "B4") + "|" + value(x, "C4"), "现金|转账|");
    EXPECT_EQ(value(x, "A5"), "1");
    EXPECT_EQ(xpath1(x, "//x:c[@r='A5']/@t"), "");  // a number, as a paste makes it
    EXPECT_EQ(xpath1(x, "//x:pageSetup/@orientation"), "landscape");
    EXPECT_EQ(xpath1(part("xl/workbook.xml"), "//x:definedName[@name='_xlnm.Print_Titles']"), "Sheet1!$1:$4");
    EXPECT_EQ(border(x, "C5"), "thin,thin,thin,thin");
    EXPECT_EQ(border(x, "A3"), "thin,thin,thin,thin");
}

// More than a hundred and one.
TEST_F(XlsxReport, ManyMergesAreAllMade) {
    Rows rows(2);
    for (int c = 0; c < 300; ++c) {
        rows[0].push_back("h" + std::to_string(c / 2));
        rows[1].push_back(std::to_string(c));
    }
    fill(grid, rows);
    print.sPrintComFlxData(grid, "宽");
    EXPECT_EQ(merges().size(), 151u);
    EXPECT_TRUE(messageWindows().empty());
}

// A heading of two rows, a 2 x 2 block of one text in it.
class HeadingBlock : public XlsxReport {
protected:
    void SetUp() override {
        XlsxReport::SetUp();
        fill(grid, {{"合计", "合计", "备注"}, {"合计", "合计", "甲"}, {"1", "2", "3"}, {"4", "5", "6"}}, 2);
    }
};

// It would merge A3:C5 and blank C3 (备注) and C4 (甲).
TEST_F(HeadingBlock, AnExtraMergeCrossingTheBlockIsRefusedAlone) {
    print.sPrintComFlxData(grid, "块", "", "", 2, -1, true, -1, nullptr, -1, "(1,1):(2,2);(2,0):(3,1);");
    EXPECT_EQ(merges(), (std::vector<std::string>{"A1:C1", "A3:B4", "A5:B6"}));
    std::string x = sheet();
    EXPECT_EQ(value(x, "C3") + value(x, "C4") + value(x, "C5"), "备注甲3");
    EXPECT_EQ(value(x, "A5") + "|" + value(x, "B5") + "|" + value(x, "A6") + "|" + value(x, "B6"), "1|||");
    EXPECT_EQ(messageWindows(), std::vector<std::string>{"Merge method of Range class failed: merge item "
                                                         "(1,1):(2,2): with the merged area A3:B4 it would "
                                                         "merge A3:C5, cells no item names"});
}

// The block's text stays on top.
TEST_F(HeadingBlock, AnExtraMergeThatFillsARectangleWithTheBlockIsMade) {
    print.sPrintComFlxData(grid, "块", "", "", 2, -1, true, -1, nullptr, -1, "(1,0):(2,1);");
    EXPECT_EQ(merges(), (std::vector<std::string>{"A1:C1", "A3:B5"}));
    const std::string x = sheet();
    EXPECT_EQ(value(x, "A3") + "|" + value(x, "A5") + "|" + value(x, "C5"), "合计||3");
    EXPECT_TRUE(messageWindows().empty());
}

TEST_F(XlsxReport, OverlappingExtraMergesNeverBlankTheTable) {
    // six small items, each overlapping the one before, once joined into A3:H9
    Rows rows = {{"a", "b", "c", "d", "e", "f", "g", "h"}};
    for (int r = 1; r <= 6; ++r) {
        rows.emplace_back();
        for (int c = 0; c < 8; ++c)
            rows.back().push_back(std::string(1, static_cast<char>('a' + c)) + std::to_string(r));
    }
    fill(grid, rows);
    print.sPrintComFlxData(grid, "T", "", "", 2, -1, true, -1, nullptr, -1,
                           "(1,0):(2,1);(2,1):(3,2);(3,2):(4,3);(4,3):(5,4);(5,4):(6,5);(6,5):(6,7);");
    EXPECT_EQ(merges(), (std::vector<std::string>{"A1:H1", "A4:B5", "C6:D7", "E8:F9"}));
    const std::string x = sheet();
    // every cell outside the items made keeps its value
    for (int r = 1; r <= 6; ++r) {
        for (int c = 0; c < 8; ++c) {
            const std::string ref = std::string(1, static_cast<char>('A' + c)) + std::to_string(r + 3);
            const bool hidden = (r == 1 && c == 1) || (r == 2 && c <= 1) || (r == 3 && c == 3) ||
                                (r == 4 && (c == 2 || c == 3)) || (r == 5 && c == 5) ||
                                (r == 6 && (c == 4 || c == 5));
            EXPECT_EQ(value(x, ref),
                      hidden ? "" : rows[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)])
                << ref;
        }
    }
    EXPECT_EQ(
        messageWindows(),
        std::vector<std::string>{
            "Merge method of Range class failed: "
            "merge item (2,1):(3,2): with the merged area A4:B5 it would merge A4:C6, cells no item names; "
            "merge item (4,3):(5,4): with the merged area C6:D7 it would merge C6:E8, cells no item names; "
            "merge item (6,5):(6,7): with the merged area E8:F9 it would merge E8:H9, cells no item names"});
}

TEST_F(XlsxReport, AnExtraMergeBeyondTheTableOrNotInWholeNumbersIsRefusedAlone) {
    fill(grid, {{"类", "项"}, {"a", "1"}, {"b", "2"}});  // the table is A1:B5
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"(1,0):(3,0);", "merge item (1,0):(3,0) lies outside the table A1:B5"},
        {"(1,0):(1,2);", "merge item (1,0):(1,2) lies outside the table A1:B5"},
        {"(x,0):(1,0);", "merge item (x,0):(1,0) does not hold whole numbers"},
    };
    std::size_t shown = 0;
    for (const auto& [item, why] : cases) {
        SCOPED_TRACE(item);
        print.sPrintComFlxData(grid, "T", "", "", 2, -1, true, -1, nullptr, -1,
                               "(1,0):(2,0);" + item + "(0,1):(1,1);");
        // the items before and after it are made
        EXPECT_EQ(merges(), (std::vector<std::string>{"A1:B1", "B3:B4", "A4:A5"}));
        const std::vector<std::string> texts = messageWindows();
        ASSERT_EQ(texts.size(), ++shown);
        EXPECT_EQ(texts.back(), "Merge method of Range class failed: " + why);
        const std::string x = sheet();
        EXPECT_EQ(value(x, "A4") + "|" + value(x, "A5") + "|" + value(x, "B5"),
                  "a||2");  // A5 blanked, as asked
    }
    print.sPrintComFlxData(grid, "T", "", "", 2, -1, true, -1, nullptr, -1, "(0,0):(2,1);");
    EXPECT_EQ(merges(), (std::vector<std::string>{"A1:B1", "A3:B5"}));  // the heading row is in reach
    EXPECT_EQ(messageWindows().size(), shown);
}

// Codes stay text.
TEST_F(XlsxReport, CompositeDataBecomeNumbersOnlyInTheirPlainForm) {
    // plain numbers become numbers (15 digits a double holds), stored in the file's own form; the rest,
    // codes among them, stay text as typed
    const auto numbers = base::split("12|-3.25|0|0.5|123456789012345|0.00001|-0.000000000000012345", '|');
    const auto stored = base::split("12|-3.25|0|0.5|123456789012345|1E-05|-1.2345E-14", '|');
    const auto texts = base::split(
        "007|0012|1E5|1e-3|+5|12.50|-0|.5| 12|1234567890123456|0.1234567890123456|5.|1,200|"
        "110101199001011234|x",
        '|');
    Rows rows(2);
    rows[1].assign(numbers.begin(), numbers.end());
    rows[1].insert(rows[1].end(), texts.begin(), texts.end());
    rows[0].assign(rows[1].size(), "h");
    rows[0].insert(rows[0].end(), {"d", "t"});
    rows[1].insert(rows[1].end(), {"2024-01-05", "2024-01-05 08:30:00"});
    fill(grid, rows);
    print.sPrintComFlxData(grid, "T");
    const std::string x = sheet();
    auto letter = [](std::size_t col) { return std::string(1, static_cast<char>('A' + col)); };  // < 26
    const std::size_t n = numbers.size() + texts.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::string ref = letter(i) + "4";
        const bool number = i < numbers.size();
        const std::string text(number ? numbers[i] : texts[i - numbers.size()]);
        EXPECT_EQ(xpath1(x, "//x:c[@r='" + ref + "']/@t"), number ? "" : "inlineStr") << text;
        EXPECT_EQ(value(x, ref), number ? std::string(stored[i]) : text) << text;
    }
    const std::string date = letter(n) + "4";
    EXPECT_EQ(value(x, date), "45296");
    auto formatCode = [&](const std::string& ref) {
        return xpath1(part("xl/styles.xml"),
                      "//x:numFmt[@numFmtId='" + style(x, ref, "@numFmtId") + "']/@formatCode");
    };
    EXPECT_EQ(formatCode(date), "yyyy-mm-dd");
    // numbers longer than the general format shows whole get a format of their own digits
    EXPECT_EQ(formatCode("G4"), "0.000000000000000000");  // -0.000000000000012345
    EXPECT_EQ(value(x, letter(n + 1) + "4").substr(0, 9), "45296.354");
    // the codes kept as text are not marked as numbers stored as text
    EXPECT_EQ(xpath(x, "//x:ignoredErrors/x:ignoredError/@sqref"),
              std::vector<std::string>{"A1:" + letter(n + 1) + "4"});
}

TEST_F(XlsxReport, NotEditableIsPreviewedFromAPrivateFile) {
    fill(grid, {{"a"}, {"1"}});
    print.sReportGridtoExcel("预览", grid, "", "", 2, 0, false);
    ASSERT_EQ(desk->previews.size(), 1u);
    const auto& p = desk->previews[0];
    EXPECT_TRUE(p.fileThere);
    EXPECT_EQ(p.request.title, "预览");
    EXPECT_EQ(p.request.page.Orientation, xl::Landscape);
    EXPECT_FALSE(p.request.page.CenterHorizontally);
    EXPECT_EQ(p.request.rows, 4);
    EXPECT_TRUE(p.hadSheet);
    EXPECT_EQ(p.fileContent.substr(0, 2), "PK");
    EXPECT_FALSE(fs::exists(p.request.path));
    EXPECT_FALSE(fs::exists(fs::path(p.request.path).parent_path()));
    EXPECT_EQ(p.request.path.find(dir.string()), std::string::npos);
    EXPECT_TRUE(desk->opened.empty());
    EXPECT_TRUE(desk->saved.empty());
}

TEST_F(XlsxReport, NothingToReportOrNoPrinterWritesNothing) {
    fill(grid, {{"a", "b"}});
    print.sReportGridtoExcel("空", grid);
    fill(grid, {{"a"}, {"1"}});
    desk->printers = 0;
    print.sReportGridtoExcel("无打印机", grid);
    EXPECT_EQ(messageWindows(), (std::vector<std::string>{"没有数据！", "检测不到打印机！请安装打印机！"}));
    EXPECT_TRUE(filesLeft().empty());
    EXPECT_TRUE(desk->saved.empty());
}

TEST_F(XlsxReport, AFailureIsShownLeavingNoFileBehind) {
    fill(grid, {{"a"}, {"1"}});
    desk->saveTo = (dir / "missing" / "out.xlsx").string();
    print.sReportGridtoExcel("T", grid);
    ASSERT_EQ(messages->messages().size(), 1u);
    EXPECT_EQ(messages->last().style, vbExclamation);
    EXPECT_EQ(messages->last().title, "提示");
    EXPECT_TRUE(filesLeft().empty());
    EXPECT_TRUE(desk->opened.empty());
    EXPECT_EQ(host->shown().back()->Name(), "frmLoadRecord");
    EXPECT_EQ(host->shown().back()->unloadMode(), UnloadMode::Code);
}

// The rest is written.
TEST_F(XlsxReport, CompositeStepsThatFailAreShownTogether) {
    fill(grid, {{"a", "b"}, {"1", "2"}});
    grid.ColWidth(1, 30000);  // wider than a sheet column can be
    print.sPrintComFlxData(grid, "T", std::string(300, 'x'), "", 2, -1, true, -1, nullptr, -1,
                           "(x,0):(1,0);");
    ASSERT_EQ(messageWindows().size(), 1u);
    const std::string shown = messageWindows()[0];
    const auto merge = shown.find("merge item (x,0):(1,0)");
    const auto width = shown.find("ColumnWidth");
    const auto header = shown.find("LeftHeader");
    EXPECT_TRUE(merge != std::string::npos && width != std::string::npos && header != std::string::npos)
        << shown;
    EXPECT_TRUE(merge < width && width < header) << shown;
    EXPECT_EQ(shown.find("LeftFooter"), std::string::npos) << "only the part refused is named";
    const std::string x = sheet();
    EXPECT_EQ(value(x, "B4"), "2");
    // the header's top text alone is refused: the date, the footer, margins and centring stay
    const std::string pageHeader = xpath1(x, "//x:oddHeader");
    EXPECT_EQ(pageHeader.rfind("&R时间:", 0), 0u) << pageHeader;
    EXPECT_NE(xpath1(x, "//x:oddFooter").find("&P"), std::string::npos);
    EXPECT_EQ(xpath1(x, "//x:pageMargins/@left"), "0.4");
    EXPECT_EQ(xpath1(x, "//x:pageMargins/@bottom"), "0.6");
    EXPECT_EQ(xpath1(x, "//x:printOptions/@horizontalCentered"), "1");
    EXPECT_EQ(xpath1(x, "//x:pageSetup/@orientation"), "landscape");
}

// Nothing is written.
TEST_F(XlsxReport, MoreThan677ColumnsShowTheLetterMessage) {
    Rows rows(2, std::vector<std::string>(678, "v"));
    fill(grid, rows);
    print.sReportGridtoExcel("宽", grid);
    ASSERT_GE(messages->messages().size(), 2u);
    EXPECT_EQ(messages->messages()[0].text, "超出允许的范围，最大支持 676 列");
    EXPECT_TRUE(filesLeft().empty());
}

}  // namespace
}  // namespace Palvo
