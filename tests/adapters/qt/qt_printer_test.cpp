// The Qt printer: the report printed into a real PDF and read back with
// poppler's pdftotext, the paper codes, the abandoned job and the preview.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPageRanges>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrintEngine>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRect>
#include <QString>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "palvo/atomic_file.h"
#include "palvo/clsPrint.h"
#include "palvo/error.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/msgbox.h"
#include "palvo/print_layout.h"
#include "palvo/qt/printer.h"
#include "palvo/qt/spreadsheet.h"
#include "palvo/session.h"
#include "palvo/sheet_print.h"
#include "qt_support.h"
#include "src/base/conversions.h"
#include "support/errors.h"
#include "support/qt_print.h"

namespace Palvo {
namespace {

namespace fs = std::filesystem;

using testing::pdfPages;
using testing::salesGrid;
using testing::toPdf;

// The white of an image: the page shown in a preview.
QRect whiteOf(const QImage& image) {
    QRect white;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == qRgb(255, 255, 255)) white |= QRect(x, y, 1, 1);
    return white;
}

// The preview's view, shown and laid out.
QPrintPreviewWidget* shownView(QPrintPreviewDialog& dialog) {
    dialog.show();
    QApplication::processEvents();
    auto* view = dialog.findChild<QPrintPreviewWidget*>();
    if (view) view->updatePreview();
    QApplication::processEvents();
    return view;
}

// A grid's row as pdfLines reads it.
std::string rowOf(const FlexGrid& grid, int row) {
    std::vector<std::string> cells;
    for (int c = 0; c < grid.Cols(); ++c) cells.push_back(grid.TextMatrix(row, c));
    return testing::rowLine(cells);
}

using QtPrinter = testing::QtPrintTest;

TEST_F(QtPrinter, AReportIntoPdfHoldsEveryLineOfItsPages) {
    const fs::path pdf = file("销售.pdf");
    ScopedPrinter guard(qt::Printer::pdf(pdf.string()));
    auto grid = salesGrid(81);
    std::string top = "制表：张三 Zhang", bottom = "审核：李四 Li";
    clsPrint().mPrintRecord(grid, "销售清单 2004", top, bottom);
    ASSERT_EQ(box->last().text, "数据已送至打印机！");

    ASSERT_EQ(pdfPages(pdf), 3);
    EXPECT_EQ(testing::pdfInfo(pdf, "Title"), "销售清单 2004");
    const int firstRow[] = {1, 41, 81, 82};
    for (int p = 1; p <= 3; ++p) {
        SCOPED_TRACE("page " + std::to_string(p));
        // the whole page, line by line: every cell in its row, the rows in order
        const std::vector<std::string> lines = testing::pdfLines(pdf.string(), p);
        ASSERT_GT(lines.size(), 1u);
        EXPECT_EQ(lines[1].rfind("打印时间：", 0), 0u) << lines[1];
        std::vector<std::string> expected = {"销售清单 2004", lines[1], top, rowOf(grid, 0)};
        for (int r = firstRow[p - 1]; r < firstRow[p]; ++r) expected.push_back(rowOf(grid, r));
        if (p == 3) expected.push_back(bottom);
        expected.push_back("第 " + std::to_string(p) + "/3 页");
        EXPECT_EQ(lines, expected);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(pdf.parent_path()), fs::directory_iterator{}), 1)
        << "no temporary file is left";
}

// The 6,763 hanzi of GB2312 (rows 16 to 87: bytes B0-F7 then A1-FE), whose codes GBK keeps.
std::vector<std::string> gb2312Hanzi() {
    std::vector<std::string> hanzi;
    for (int hi = 0xB0; hi <= 0xF7; ++hi) {
        for (int lo = 0xA1; lo <= 0xFE; ++lo) {
            if (const auto c = base::charFromAnsiCode(static_cast<std::int16_t>(hi << 8 | lo)))
                hanzi.push_back(base::encodeUtf8(std::u32string(1, *c)));
        }
    }
    return hanzi;
}

TEST_F(QtPrinter, EveryGb2312HanziReadsBackFromThePdfAsItself) {
    const std::vector<std::string> hanzi = gb2312Hanzi();
    ASSERT_EQ(hanzi.size(), 6763u);
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < hanzi.size(); i += 40) {
        std::string line;
        for (std::size_t k = i; k < std::min(i + 40, hanzi.size()); ++k) line += hanzi[k];
        lines.push_back(line);
    }
    const std::string pdf = file("gb2312.pdf").string();
    auto printer = qt::Printer::pdf(pdf);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0 && i % 60 == 0) printer->NewPage();
        printer->Print(lines[i]);
    }
    printer->EndDoc();
    EXPECT_EQ(testing::pdfLines(pdf), lines);
}

// A glyph shared by two characters (页 ⻚, 户 ⼾, 胶 㬵) reads back as the one drawn, a
// ligature as its letters; into a PDF file and through a host's QPrinter.
TEST_F(QtPrinter, GlyphsOfSeveralCharactersReadBackAsTheOneDrawn) {
    const struct {
        const char* what;
        std::vector<std::string> lines;
    } cases[] = {
        {"ideographs", {"第 1/3 页", "长沙 客户 广 户 方 文 日 金", "大 人 山 用 民 食 胶 鞋 长江"}},
        {"radicals and Extension A", {"⻚⼾⻓⻝⼴", "㬵"}},
        {"ligatures", {"office final ffl", "AVATAR fi"}},
    };
    int n = 0;
    for (const auto& c : cases) {
        for (const bool host : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (host ? ", host's QPrinter" : ", PDF printer"));
            const std::string pdf = file(std::to_string(++n) + ".pdf").string();
            QPrinter target(QPrinter::HighResolution);
            toPdf(target, pdf);
            auto printer = host ? std::make_shared<qt::Printer>(target) : qt::Printer::pdf(pdf);
            for (const auto& line : c.lines) printer->Print(line);
            printer->EndDoc();
            EXPECT_EQ(testing::pdfLines(pdf, 0, false), c.lines);
        }
    }
}

// The words of a page above its foot's line, and the top of that line, in
// points as pdftotext -bbox gives them: the foot is the line of "第".
struct FootPlace {
    double rowsBottom = 0, footTop = 0;
};
FootPlace footPlace(const fs::path& pdf, int page) {
    const std::vector<testing::PdfWord> words = testing::pdfWords(pdf.string(), page);
    const auto foot = std::find_if(words.begin(), words.end(), [](const auto& w) { return w.text == "第"; });
    if (foot == words.end()) return {};
    FootPlace place{0, foot->yMin};
    for (const auto& w : words) {
        if (w.yMin >= foot->yMin - 3)
            place.footTop = std::min(place.footTop, w.yMin);  // the foot's line
        else
            place.rowsBottom = std::max(place.rowsBottom, w.yMax);
    }
    return place;
}

// On every paper both ways, directly and through the print dialog (whose taller margins fit
// one row fewer on B5 landscape), the paper holds and no row reaches into the page foot's line.
TEST_F(QtPrinter, ThePageFootLiesBelowTheLastRowOnEveryPaper) {
    const struct {
        int paper, orientation, rows, dialogRows;
        const char* size;  // as pdfinfo gives it, in points
    } cases[] = {{9, vbPRORPortrait, 40, 40, "595 x 842"},  {9, vbPRORLandscape, 30, 30, "842 x 595"},
                 {13, vbPRORPortrait, 34, 34, "516 x 729"}, {13, vbPRORLandscape, 25, 24, "729 x 516"},
                 {45, vbPRORPortrait, 39, 39, "720 x 792"}, {45, vbPRORLandscape, 30, 30, "792 x 720"}};
    int n = 0;
    for (const auto& c : cases) {
        for (const bool host : {false, true}) {
            SCOPED_TRACE("paper " + std::to_string(c.paper) + ", orientation " +
                         std::to_string(c.orientation) + (host ? ", through the print dialog" : ""));
            const fs::path pdf = file("foot" + std::to_string(++n) + ".pdf");
            QPrinter target(QPrinter::HighResolution);
            toPdf(target, pdf);
            auto printer = host ? std::make_shared<qt::Printer>(target) : qt::Printer::pdf(pdf.string());
            printer->PaperSize(c.paper);
            printer->Orientation(c.orientation);
            if (host) {
                auto dialog = qt::printDialog(target, 2);
                QTimer::singleShot(0, dialog.get(), &QDialog::accept);
                ASSERT_EQ(dialog->exec(), QDialog::Accepted);
            }
            ScopedPrinter guard(printer);
            auto grid = salesGrid(c.rows + 1);
            clsPrint().mPrintRecord(grid, "销售清单");
            ASSERT_EQ(box->last().text, "数据已送至打印机！");
            EXPECT_EQ(printer->PaperSize(), c.paper);
            EXPECT_EQ(testing::pdfInfo(pdf, "Page size").rfind(std::string(c.size) + " pts", 0), 0u);
            ASSERT_EQ(pdfPages(pdf), 2);
            const std::vector<std::string> lines = testing::pdfLines(pdf.string(), 1);
            ASSERT_GT(lines.size(), 2u);
            EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()),
                      (std::vector<std::string>{rowOf(grid, host ? c.dialogRows : c.rows), "第 1/2 页"}))
                << "the page's last row";
            for (int page = 1; page <= 2; ++page) {
                const FootPlace place = footPlace(pdf, page);
                ASSERT_GT(place.footTop, 0) << "page " << page;
                EXPECT_LT(place.rowsBottom, place.footTop) << "page " << page;
            }
        }
    }
}

TEST_F(QtPrinter, ATextsOwnLinesReadBackFromThePdfEachOnItsOwn) {
    const std::string pdf = file("lines.pdf").string();
    auto printer = qt::Printer::pdf(pdf);
    printer->FontSize(11);
    printer->Print("第一行\n第二行\r\nthird line");
    EXPECT_EQ(printer->CurrentY(), 3 * 220);
    EXPECT_EQ(printer->TextWidth("第一行\nthird line"), printer->TextWidth("third line"))
        << "the widest line";
    printer->EndDoc();
    EXPECT_EQ(testing::pdfLines(pdf, 0, false), (std::vector<std::string>{"第一行", "第二行", "third line"}));
}

class FailingWrites : public FileFaults {
public:
    int fault(FileStep step) override { return step == FileStep::Write ? ENOSPC : 0; }
};

// No new file, an older one untouched.
TEST_F(QtPrinter, AnAbandonedJobLeavesTheFilesAsTheyWere) {
    const fs::path fresh = file("new.pdf");
    const fs::path older = file("old.pdf");
    std::ofstream(older) << "older report";
    auto sales = salesGrid(81);
    // every write of the PDF engine is checked: one that fails (a full disk) abandons the job
    ScopedFileFaults faults(std::make_shared<FailingWrites>());
    for (const auto& path : {fresh, older}) {
        auto printer = qt::Printer::pdf(path.string());
        ScopedPrinter guard(printer);
        clsPrint().mPrintRecord(sales, "清单");
        EXPECT_EQ(box->last().style, 16);
        EXPECT_NE(box->last().text.find("writing failed: No space left on device"), std::string::npos)
            << box->last().text;
        EXPECT_FALSE(printer->jobOpen());
        EXPECT_EQ(printer->jobsEnded(), 0);
    }
    EXPECT_FALSE(fs::exists(fresh));
    std::string kept;
    std::getline(std::ifstream(older), kept);
    EXPECT_EQ(kept, "older report");
    EXPECT_EQ(std::distance(fs::directory_iterator(older.parent_path()), fs::directory_iterator{}), 1);
}

// The three papers of the report both ways: ThePageFootLiesBelowTheLastRowOnEveryPaper.
TEST_F(QtPrinter, PaperCodesMapToQtPageSizesBothWays) {
    auto printer = qt::Printer::pdf(file("p.pdf").string());
    EXPECT_NEAR(printer->ScaleWidth(), (595.28 - 18) * 20, 20) << "A4 less an eighth of an inch each side";
    printer->PaperSize(1);
    EXPECT_EQ(printer->qprinter().pageLayout().pageSize().id(), QPageSize::Letter);
    EXPECT_EQ(printer->PaperSize(), 1);
    printer->Orientation(vbPRORLandscape);
    EXPECT_GT(printer->ScaleWidth(), printer->ScaleHeight());
    EXPECT_EQ(qt::paperCodeOf(QPageSize::Custom), 256);
    EXPECT_EQ(testing::errorNumber([&] { printer->PaperSize(14); }), 380)
        << "Qt's folio is not the platform's";
}

// A host's printer job sends the pages chosen, in order, with the copies (collated or not),
// each with its foot of the whole report.
TEST_F(QtPrinter, AJobSendsWhatThePrintDialogChose) {
    const struct {
        const char* ranges;
        int copies;
        bool collate;
        bool reverse;
        std::vector<int> feet;
    } cases[] = {
        {"", 1, true, false, {1, 2, 3, 4, 5}},
        {"2,4-5", 2, true, false, {2, 4, 5, 2, 4, 5}},
        {"1-2", 2, false, false, {1, 1, 2, 2}},
        {"4-9", 1, true, true, {5, 4}},
    };
    auto grid = salesGrid(161);  // 5 pages of 40 rows
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("pages ") + c.ranges + ", copies " + std::to_string(c.copies));
        const fs::path pdf = file("job" + std::to_string(++n) + ".pdf");
        QPrinter target(QPrinter::HighResolution);
        toPdf(target, pdf);
        target.setPageSize(QPageSize(QPageSize::A4));
        if (*c.ranges) {
            target.setPrintRange(QPrinter::PageRange);
            target.setPageRanges(QPageRanges::fromString(QString::fromLatin1(c.ranges)));
        }
        target.setCopyCount(c.copies);
        target.setCollateCopies(c.collate);
        target.setPageOrder(c.reverse ? QPrinter::LastPageFirst : QPrinter::FirstPageFirst);
        auto printer = std::make_shared<qt::Printer>(target);
        ScopedPrinter guard(printer);
        clsPrint().mPrintRecord(grid, "销售清单 2004");
        EXPECT_EQ(box->last().text, "数据已送至打印机！");
        EXPECT_EQ(target.docName(), QStringLiteral("销售清单 2004")) << "the job's name in the queue";
        ASSERT_EQ(pdfPages(pdf), static_cast<int>(c.feet.size()));
        for (std::size_t i = 0; i < c.feet.size(); ++i) {
            const std::vector<std::string> lines = testing::pdfLines(pdf.string(), static_cast<int>(i) + 1);
            ASSERT_GT(lines.size(), 1u);
            EXPECT_EQ(lines.back(), "第 " + std::to_string(c.feet[i]) + "/5 页") << "sheet " << i + 1;
            EXPECT_EQ(lines[lines.size() - 2], rowOf(grid, std::min(c.feet[i] * 40, 161)));
        }
    }
}

TEST_F(QtPrinter, ARangeBeyondTheReportIsRefused) {
    const fs::path pdf = file("beyond.pdf");
    QPrinter target(QPrinter::HighResolution);
    toPdf(target, pdf);
    target.setPrintRange(QPrinter::PageRange);
    target.setPageRanges(QPageRanges::fromString(QStringLiteral("7-9")));
    auto printer = std::make_shared<qt::Printer>(target);
    ScopedPrinter guard(printer);
    auto grid = salesGrid(161);  // 5 pages of 40 rows
    clsPrint().mPrintRecord(grid, "销售清单 2004");
    EXPECT_EQ(box->last().style, 16);
    EXPECT_EQ(box->last().text, "打印失败：所选的页（7-9）不在报表的 5 页之中");
    EXPECT_FALSE(fs::exists(pdf));
    EXPECT_FALSE(printer->jobOpen());
}

// A cups-pdf queue (Debian printer-driver-cups-pdf) the test may send jobs to, when CUPS has one.
std::optional<QPrinterInfo> cupsPdfQueue() {
    for (const QPrinterInfo& info : QPrinterInfo::availablePrinters()) {
        if (info.makeAndModel().contains(QStringLiteral("PDF"), Qt::CaseInsensitive)) return info;
    }
    return std::nullopt;
}

// Through a real queue: the queue's default paper first; a job keeps its paper and title
// whatever driver options a print dialog left (the queue's default PageSize).
TEST_F(QtPrinter, AJobThroughACupsQueueKeepsItsOwnSettings) {
    const std::optional<QPrinterInfo> queue = cupsPdfQueue();
    if (!queue) GTEST_SKIP() << "no CUPS queue of cups-pdf is reachable (cups, printer-driver-cups-pdf)";
    if (QPrinterInfo::defaultPrinter().printerName() == queue->printerName()) {
        EXPECT_EQ(qt::Printer().PaperSize(), qt::paperCodeOf(queue->defaultPageSize().id()));
    }
    QPrinter target(*queue, QPrinter::HighResolution);
    ASSERT_EQ(target.outputFormat(), QPrinter::NativeFormat);
    constexpr auto cupsOptions = static_cast<QPrintEngine::PrintEnginePropertyKey>(0xfe00);
    target.printEngine()->setProperty(cupsOptions, QStringList{"PageSize", "Letter", "Collate", "True"});
    auto printer = std::make_shared<qt::Printer>(target);
    printer->PaperSize(PaperCode::B5);
    printer->Orientation(vbPRORLandscape);
    ScopedPrinter guard(printer);
    auto grid = salesGrid(3);
    clsPrint().mPrintRecord(grid, "销售清单 B5");
    EXPECT_EQ(box->last().text, "数据已送至打印机！");
    EXPECT_EQ(target.docName(), QStringLiteral("销售清单 B5"));
    EXPECT_EQ(target.pageLayout().pageSize().id(), QPageSize::JisB5);
    EXPECT_EQ(target.printEngine()->property(cupsOptions).toStringList(), (QStringList{"Collate", "True"}))
        << "the driver's paper no longer overrides the job's";
}

// The CUPS driver options lose every one choosing or turning the paper, in any case, and
// keep the rest (MediaType is the kind of paper, not its size).
TEST(QtPrinterPaper, ACupsJobKeepsNoDriverOptionThatChoosesThePaper) {
    const std::pair<QStringList, QStringList> cases[] = {
        {{"PageSize", "Letter", "Collate", "True"}, {"Collate", "True"}},
        {{"media", "na_letter_8.5x11in", "orientation-requested", "4", "number-up", "2"}, {"number-up", "2"}},
        {{"pagesize", "A4", "PageRegion", "A4", "landscape", "true", "media-col", "{media-size={}}", "Duplex",
          "DuplexNoTumble"},
         {"Duplex", "DuplexNoTumble"}},
        {{"MediaType", "Plain", "Collate", "False"}, {"MediaType", "Plain", "Collate", "False"}},
        {{}, {}},
    };
    for (const auto& [options, kept] : cases)
        EXPECT_EQ(qt::withoutPaperOptions(options), kept) << options.join(' ').toStdString();
}

TEST_F(QtPrinter, TheSystemPrinterCountsOnlyThePrintersCupsKnows) {
    auto system = std::make_shared<qt::Printer>();
    if (system->PrinterCount() > 0) GTEST_SKIP() << "this machine has a system printer";
    ScopedPrinter guard(system);
    auto grid = salesGrid(3);
    clsPrint().mPrintRecord(grid, "清单");
    EXPECT_EQ(box->last().text, "检测不到打印机！请安装打印机！");
    EXPECT_EQ(system->jobsEnded(), 0);
}

// A preview of 81 sales rows on A4, shown.
class QtPreview : public QtPrinter {
protected:
    void SetUp() override {
        QtPrinter::SetUp();
        if (IsSkipped()) return;
        dialog = qt::printPreview([this] { clsPrint().mPrintRecord(grid, "销售清单"); });
        dialog->printer()->setPageSize(QPageSize(QPageSize::A4));
        view = shownView(*dialog);
        ASSERT_NE(view, nullptr);
        ASSERT_EQ(view->pageCount(), 3);
    }
    void TearDown() override {
        if (dialog) dialog->close();
        QtPrinter::TearDown();
    }
    memory::FlexGrid grid = salesGrid(81);
    qt::PreviewDialogPtr dialog;
    QPrintPreviewWidget* view = nullptr;
};

// Laid out silently (the preview's printer the thread's only while it drew, as the desk's preview
// checks), printing from it says so once.
TEST_F(QtPreview, PrintingFromAPreviewSaysItSentTheData) {
    const fs::path pdf = file("preview.pdf");
    toPdf(*dialog->printer(), pdf);
    view->print();  // what the preview's print button does once its print dialog is accepted
    EXPECT_EQ(box->messages(), (std::vector<memory::ShownMessage>{{"数据已送至打印机！", 48, "提示"}}));
    EXPECT_EQ(pdfPages(pdf), 3);
    EXPECT_EQ(dialog->printer()->docName(), QStringLiteral("销售清单"));
}

// Not the pages laid out before.
TEST_F(QtPreview, APaperRefusedAtThePaperQuestionShowsOneBlankPage) {
    dialog->printer()->setPageSize(QPageSize(QPageSize::A5));
    box->answerNo();
    view->updatePreview();
    EXPECT_EQ(box->last().text, "打印机纸型设置错误，只支持 A4,B5,10*11(普通孔纸) 三种纸型，继续吗？");
    EXPECT_EQ(view->pageCount(), 1);
    // the page is the white of the view; nothing may be drawn within it
    const QImage shown = view->grab().toImage();
    const QRect page = whiteOf(shown);
    ASSERT_GT(page.width(), 100);
    EXPECT_EQ(testing::ink(shown.copy(page)), 0.0) << "no text nor rule of the A4 pages";
}

// The Chinese ink's top, bottom and left from the Latin's to its left, and its height,
// in Latin heights.
struct InkShape {
    double top, bottom, left, height;
};
InkShape inkShape(const QImage& image) {
    std::vector<int> columns;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (qGray(image.pixel(x, y)) < 100) {
                columns.push_back(x);
                break;
            }
        }
    }
    if (columns.size() < 2) return {0, 0, 0, 0};
    std::size_t gap = 1;  // the widest gap parts the two texts
    for (std::size_t i = 1; i < columns.size(); ++i)
        if (columns[i] - columns[i - 1] > columns[gap] - columns[gap - 1]) gap = i;
    const auto bounds = [&](int x0, int x1) {
        int top = image.height(), bottom = -1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = x0; x <= x1; ++x)
                if (qGray(image.pixel(x, y)) < 100) top = std::min(top, y), bottom = std::max(bottom, y);
        return std::pair{top, bottom};
    };
    const auto [latinTop, latinBottom] = bounds(columns.front(), columns[gap - 1]);
    const auto [hanTop, hanBottom] = bounds(columns[gap], columns.back());
    const double h = latinBottom - latinTop + 1;
    return {(hanTop - latinTop) / h, (hanBottom - latinBottom) / h, (columns[gap] - columns.front()) / h,
            (hanBottom - hanTop + 1) / h};
}

void latinAndChinese(Printer& p) {
    p.FontSize(24);
    p.Print("HHHH    中国中国");
    p.EndDoc();
}

// The preview sets Chinese beside Latin as the printed page (pdftoppm) does.
TEST_F(QtPrinter, ThePreviewSetsChineseBesideLatinAsThePageDoes) {
    if (testing::commandOutput("command -v pdftoppm").empty()) GTEST_SKIP() << "pdftoppm is not installed";
    const fs::path pdf = file("glyphs.pdf");
    latinAndChinese(*qt::Printer::pdf(pdf.string()));
    testing::commandOutput("pdftoppm -r 144 -png -singlefile '" + pdf.string() + "' '" +
                           file("glyphs").string() + "'");
    QImage page(QString::fromStdString(file("glyphs.png").string()));
    ASSERT_FALSE(page.isNull());

    auto dialog = qt::printPreview([] { latinAndChinese(*installedPrinter()); });
    dialog->printer()->setPageOrientation(QPageLayout::Landscape);  // the whole page in view, large
    dialog->resize(1400, 1000);
    auto* view = shownView(*dialog);
    ASSERT_NE(view, nullptr);
    view->setZoomMode(QPrintPreviewWidget::FitInView);
    view->updatePreview();
    QApplication::processEvents();
    QImage shown = view->grab().toImage();
    // the page's white alone: the view's edges and the page's shadow are no ink
    shown = shown.copy(whiteOf(shown).adjusted(2, 2, -2, -2));
    dialog->close();

    const InkShape printed = inkShape(page), previewed = inkShape(shown);
    ASSERT_GT(printed.height, 0.5);
    EXPECT_NEAR(previewed.top, printed.top, 0.08);
    EXPECT_NEAR(previewed.bottom, printed.bottom, 0.08);
    EXPECT_NEAR(previewed.left, printed.left, 0.08);
    EXPECT_NEAR(previewed.height, printed.height, 0.08);
}

// A report sheet as the spreadsheet reports make it: the merged title, the
// heading, bordered data rows, the title rows and page n of N in the footer.
void reportSheet(Worksheet& w, int dataRows) {
    w.Merge("A1:C1");
    w.Value("A1", "销售清单 2004");
    w.Bold("A1", true);
    w.FontSize("A1", 15);
    w.HorizontalAlignment("A1", xl::Center);
    const memory::FlexGrid g = salesGrid(dataRows);  // its columns but 序号, the heading in row 3
    for (int r = 0; r <= dataRows; ++r)
        for (int c = 0; c < 3; ++c)
            w.Value(std::string(1, static_cast<char>('A' + c)) + std::to_string(r + 3),
                    g.TextMatrix(r, c + 1));
    const std::string table = "A3:C" + std::to_string(dataRows + 3);
    for (int b = xl::EdgeLeft; b <= xl::InsideHorizontal; ++b) w.BorderLineStyle(table, b, xl::Continuous);
    w.WrapText(table, true);
    w.HorizontalAlignment(table, xl::Center);
    w.ColumnWidth("A:B", 15);
    PageSetup& p = w.PageSetup();
    p.PrintTitleRows = "$1:$3";
    p.LeftHeader = "制表：张三 R&&D";
    p.RightFooter =
        "第&\"Times New Roman,常规\" &P &\"宋体,常规\"页，共&\"Times New Roman,常规\" &N &\"宋体,常规\"页";
    p.TopMargin = InchesToPoints(0.3);
    p.BottomMargin = InchesToPoints(0.6);
    w.prepare();
}

TEST_F(QtPrinter, EachSheetPageIntoPdfCarriesItsMarginTextsOverItsOwnRows) {
    const fs::path pdf = file("sheet.pdf");
    Worksheet sheet;
    reportSheet(sheet, 100);  // 48 data rows a page under the title rows
    auto printer = qt::Printer::pdf(pdf.string());
    EXPECT_EQ(printSheet(*printer, sheet, "销售清单"), 3);
    ASSERT_EQ(pdfPages(pdf), 3);
    // a middle page: its header, footer and the title rows over its own rows
    const std::string text = testing::pdfText(pdf.string(), 2);
    for (const char* s : {"第 2 页，共 3 页", "制表：张三 R&D", "销售清单 2004", "客户名称", "XS200400049"})
        EXPECT_NE(text.find(s), std::string::npos) << s << " in\n" << text;
    EXPECT_EQ(text.find("XS200400048"), std::string::npos);
}

TEST_F(QtPrinter, TheDeskPreviewShowsTheSheetOnItsPaper) {
    Worksheet sheet;
    reportSheet(sheet, 100);
    sheet.PageSetup().Orientation = xl::Landscape;  // 31 data rows a page
    WorkbookPreview request{
        "", &sheet, "销售清单", sheet.PageSetup(), sheet.lastRow() + 1, sheet.lastCol() + 1};
    int pages = -1;
    QString title;
    bool landscape = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        title = dialog->windowTitle();
        landscape = dialog->printer()->pageLayout().orientation() == QPageLayout::Landscape;
        if (auto* view = dialog->findChild<QPrintPreviewWidget*>()) {
            view->updatePreview();
            pages = view->pageCount();
        }
        dialog->reject();
    });
    qt::SpreadsheetDesk().preview(request);
    EXPECT_EQ(title, QStringLiteral("打印预览"));
    EXPECT_TRUE(landscape);
    EXPECT_EQ(pages, 4);
    EXPECT_EQ(installedPrinter(), nullptr);
}

}  // namespace
}  // namespace Palvo
