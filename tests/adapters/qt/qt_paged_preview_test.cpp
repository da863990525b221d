// The paged preview: its pages are the PDF's pages, printing from it sends
// them, and it says it sent the data only then.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPageLayout>
#include <QPageRanges>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "palvo/clsPrint.h"
#include "palvo/error.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/msgbox.h"
#include "palvo/memory/printer.h"
#include "palvo/print_layout.h"
#include "palvo/qt/printer.h"
#include "palvo/session.h"
#include "support/errors.h"
#include "support/qt_print.h"

namespace Palvo {
namespace {

namespace fs = std::filesystem;

using testing::ink;
using testing::pdfPages;

void report(FlexGrid& grid) {
    std::string top = "制表", bottom = "审核";
    clsPrint().mPrintRecord(grid, "销售清单", top, bottom);
}

class PagedPreview : public testing::QtPrintTest {
protected:
    // The preview on the paper and margins of qt::Printer::pdf (A4, an eighth of an inch).
    std::unique_ptr<qt::PagedPreview> preview(FlexGrid& grid) {
        auto p = std::make_unique<qt::PagedPreview>([&grid] { report(grid); });
        p->printer().setPageSize(QPageSize(QPageSize::A4));
        p->printer().setPageMargins(QMarginsF(9, 9, 9, 9), QPageLayout::Point);
        p->layOut();
        return p;
    }
};

// Printed from the preview, whole or one page alone (with page totals, drawn
// only then), the pages are those of the PDF report.
TEST_F(PagedPreview, PrintsThePagesOfThePdfReportWholeOrEachAlone) {
    auto grid = testing::salesGrid(121);  // 40, 40, 40 and 1 rows; with totals 38 a page: 4 pages either way
    const struct {
        bool totals;
        int page;  // 0: all of them
    } cases[] = {{false, 0}, {true, 4}, {true, 2}};
    const fs::path direct = file("direct.pdf");
    for (const auto& c : cases) {
        SCOPED_TRACE("page " + std::to_string(c.page));
        ScopedPrintRecordOptions options(
            c.totals ? std::make_shared<PrintRecordOptions>(PrintRecordOptions{{"金额"}}) : nullptr);
        const fs::path printed = file("page" + std::to_string(c.page) + ".pdf");
        std::string expected, actual;
        for (int attempt = 0; attempt < 4; ++attempt) {
            // start at a new second, so that both runs are likely to print the same time
            std::this_thread::sleep_until(
                std::chrono::ceil<std::chrono::seconds>(std::chrono::system_clock::now()));
            ScopedPrinter(qt::Printer::pdf(direct.string())),
                report(grid);  // the PDF ends with the statement
            auto shown = preview(grid);
            ASSERT_EQ(shown->pageCount(), 4);
            QPrinter target(QPrinter::HighResolution);
            testing::toPdf(target, printed);
            if (c.page) {
                target.setPrintRange(QPrinter::PageRange);
                target.setPageRanges(QPageRanges::fromString(QString::number(c.page)));
            }
            shown->print(target);
            expected = testing::pdfText(direct.string(), c.page, true);
            actual = testing::pdfText(printed.string(), 0, true);
            if (actual == expected) break;
        }
        EXPECT_EQ(pdfPages(printed), c.page ? 1 : pdfPages(direct));
        EXPECT_NE(actual.find("第 " + std::to_string(c.page ? c.page : 4) + "/4 页"), std::string::npos)
            << actual;
        EXPECT_EQ(actual.find("本页小计") != std::string::npos, c.totals) << actual;
        EXPECT_EQ(actual, expected);
    }
}

// The preview of 81 sales rows: 3 pages, the last of one row.
class ThreePages : public PagedPreview {
protected:
    void SetUp() override {
        PagedPreview::SetUp();
        if (IsSkipped()) return;
        shown = preview(grid);
        ASSERT_EQ(shown->pageCount(), 3);
    }
    memory::FlexGrid grid = testing::salesGrid(81);
    std::unique_ptr<qt::PagedPreview> shown;
};

TEST_F(ThreePages, LayingThePagesOutSendsNothing) {
    EXPECT_TRUE(box->messages().empty());
    EXPECT_EQ(installedPrinter(), nullptr) << "the preview's printer was the thread's only while it ran";
}

TEST_F(ThreePages, ShowsOnePageAtATime) {
    for (const auto& [asked, current] : {std::pair{2, 2}, {3, 3}, {0, 1}, {99, 3}}) {
        shown->showPage(asked);
        EXPECT_EQ(shown->currentPage(), current) << asked;
    }
    // the last page holds one row: less ink than a full one, more than none
    const double full = ink(shown->pageImage(1, 72));
    const double last = ink(shown->pageImage(3, 72));
    EXPECT_GT(last, 0.0);
    EXPECT_LT(last, full);
    EXPECT_THROW(shown->pageImage(4, 72), Error);
}

TEST_F(ThreePages, PrintsOnThePaperItWasLaidOutOn) {
    QPrinter target(QPrinter::HighResolution);
    testing::toPdf(target, file("p.pdf"));
    target.setPageSize(QPageSize(QPageSize::A5));
    shown->print(target);
    EXPECT_EQ(pdfPages(file("p.pdf")), 3);
    EXPECT_EQ(target.pageLayout().pageSize().id(), QPageSize::A4);
}

// It leaves nothing to print.
TEST_F(PagedPreview, ARefusedPaperShowsOneBlankPage) {
    auto grid = testing::salesGrid(81);
    QPrinter target(QPrinter::HighResolution);
    testing::toPdf(target, file("p.pdf"));
    qt::PagedPreview refused([&grid] { clsPrint().mPrintRecord(grid, "销售清单"); });
    refused.printer().setPageSize(QPageSize(QPageSize::A5));
    box->answerNo();
    refused.layOut();
    EXPECT_EQ(box->last().text, "打印机纸型设置错误，只支持 A4,B5,10*11(普通孔纸) 三种纸型，继续吗？");
    EXPECT_EQ(refused.pageCount(), 1);
    EXPECT_EQ(ink(refused.pageImage(1, 72)), 0.0);
    EXPECT_EQ(testing::errorNumber([&] { refused.print(target); }), 482);
}

class MeasuredInPrintFonts : public memory::RecordingPrinter {
public:
    explicit MeasuredInPrintFonts(std::shared_ptr<qt::Printer> fonts) : fonts_(std::move(fonts)) {}

protected:
    double measureWidth(std::string_view text) const override {
        fonts_->FontSize(FontSize());
        return fonts_->TextWidth(text);
    }

private:
    std::shared_ptr<qt::Printer> fonts_;
};

// In the printer's fonts, where DejaVu Sans sets "-G" and "«Æ" further apart
// than their characters alone and joins "ffi", every column is as wide as its
// widest text measured whole.
TEST_F(PagedPreview, ColumnsAreAsWideAsTheirWidestTextInThePrintFonts) {
    const std::vector<std::vector<std::string>> columns = {
        {"G-x", "-Gx"}, {"Æ«", "«Æ"}, {"ofiice", "office"}, {"Ty.ffi", "Tyffi."}, {"客户G-", "客户-G"}};
    memory::FlexGrid grid;
    grid.Cols(static_cast<int>(columns.size()));
    grid.Rows(3);
    for (std::size_t c = 0; c < columns.size(); ++c) {
        grid.TextMatrix(0, static_cast<int>(c), "h");
        for (std::size_t r = 0; r < 2; ++r)
            grid.TextMatrix(static_cast<int>(r) + 1, static_cast<int>(c), columns[c][r]);
    }
    auto fonts = qt::Printer::pdf(file("unused.pdf").string());
    auto measured = std::make_shared<MeasuredInPrintFonts>(fonts);
    ScopedPrinter guard(measured);
    report(grid);
    ASSERT_EQ(measured->jobs().size(), 1u);
    std::vector<double> headings;
    for (const auto& op : measured->jobs()[0].ops)
        if (op.page == 1 && op.text == "h") headings.push_back(op.x);
    // each column starts at the last one's left, its widest text and "a", in whole twips
    fonts->FontSize(11);
    std::vector<double> expected{std::nearbyint(fonts->TextWidth("aaa"))};
    for (const auto& texts : columns) {
        double widest = 0;
        for (const std::string& text : texts)
            widest = std::max(widest, std::nearbyint(fonts->TextWidth(text)));
        expected.push_back(std::nearbyint(expected.back() + widest + fonts->TextWidth("a")));
    }
    expected.pop_back();
    EXPECT_EQ(headings, expected);
}

// The sales grid with two more columns: 说明 fits across A4 upright, 经手人 after it does not.
memory::FlexGrid wideGrid(int dataRows) {
    auto grid = testing::salesGrid(dataRows);
    grid.Cols(6);
    grid.TextMatrix(0, 4, "说明");
    grid.TextMatrix(0, 5, "经手人");
    for (int r = 1; r <= dataRows; ++r) {
        grid.TextMatrix(r, 4, "华东地区钢材批发零售业务往来结算说明第一页");
        grid.TextMatrix(r, 5, "销售部业务主管张三丰");
    }
    return grid;
}

template <class T>
T& child(qt::PagedPreview& preview, const char* name) {
    auto* found = preview.dialog().findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) throw std::runtime_error(std::string("no ") + name + " in the preview");
    return *found;
}

// The preview's dialog is its parent window's child: whichever of the two goes
// first, the other goes after it without touching what is gone.
TEST_F(PagedPreview, EitherThePreviewOrItsParentWindowMayGoFirst) {
    auto grid = testing::salesGrid(41);
    for (const bool parentFirst : {false, true}) {
        SCOPED_TRACE(parentFirst ? "the parent first" : "the preview first");
        auto parent = std::make_unique<QWidget>();
        auto shown = std::make_unique<qt::PagedPreview>([&grid] { report(grid); }, parent.get());
        shown->layOut();
        ASSERT_EQ(shown->dialog().parentWidget(), parent.get());
        if (parentFirst) {
            parent.reset();
            EXPECT_EQ(shown->exec(), QDialog::Rejected);
            EXPECT_EQ(testing::errorNumber([&] { shown->dialog(); }), 424);
            shown.reset();
        } else {
            shown.reset();
            EXPECT_TRUE(parent->findChildren<QDialog*>().isEmpty());
            parent.reset();
        }
    }
}

// The same for Qt's preview dialog.
TEST_F(PagedPreview, EitherQtsPreviewDialogOrItsParentWindowMayGoFirst) {
    for (const bool parentFirst : {false, true}) {
        SCOPED_TRACE(parentFirst ? "the parent first" : "the preview first");
        auto parent = std::make_unique<QWidget>();
        auto dialog = qt::printPreview([] {}, parent.get());
        if (parentFirst) {
            parent.reset();
            dialog.reset();
        } else {
            dialog.reset();
            EXPECT_TRUE(parent->findChildren<QDialog*>().isEmpty());
            parent.reset();
        }
    }
}

// The preview of 161 sales rows, 5 pages, shown.
class FivePages : public PagedPreview {
protected:
    void SetUp() override {
        PagedPreview::SetUp();
        if (IsSkipped()) return;
        shown = preview(grid);
        dialog().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog()));
    }
    void TearDown() override {
        if (shown) dialog().hide();
        PagedPreview::TearDown();
    }
    QDialog& dialog() { return shown->dialog(); }
    memory::FlexGrid grid = testing::salesGrid(161);
    std::unique_ptr<qt::PagedPreview> shown;
};

TEST_F(FivePages, OpensWithinTheScreensRoom) {
    const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(dialog().width(), room.width());
    EXPECT_LE(dialog().height(), room.height());
}

TEST_F(FivePages, EnterInThePageBoxShowsThePageTyped) {
    auto& number = child<QSpinBox>(*shown, "pageNumber");
    number.setFocus();
    number.selectAll();
    QTest::keyClicks(&number, "4");
    EXPECT_EQ(shown->currentPage(), 1) << "a page number goes once typed whole";
    QTest::keyClick(&number, Qt::Key_Return);
    EXPECT_EQ(shown->currentPage(), 4);
    EXPECT_TRUE(dialog().isVisible()) << "Enter closes nothing";
}

TEST_F(FivePages, PageUpOrPageDownTurnsThePages) {
    shown->showPage(4);
    auto& page = child<QLabel>(*shown, "page");
    QTest::keyClick(&page, Qt::Key_PageDown);
    EXPECT_EQ(shown->currentPage(), 5);
    QTest::keyClick(&page, Qt::Key_PageUp);
    QTest::keyClick(&page, Qt::Key_PageUp);
    EXPECT_EQ(shown->currentPage(), 3);
}

TEST_F(FivePages, AZoomSizesThePage) {
    shown->showPage(3);
    auto& page = child<QLabel>(*shown, "page");
    const int width = page.pixmap().width();
    auto& zoom = child<QComboBox>(*shown, "zoom");
    zoom.setCurrentIndex(zoom.findData(200));
    EXPECT_EQ(shown->zoom(), 200);
    EXPECT_NEAR(page.pixmap().width(), 2 * width, 1);
    EXPECT_EQ(shown->currentPage(), 3);
}

// The paper and orientation boxes lay the report out again on what they say.
TEST_F(PagedPreview, ChangingThePaperOrOrientationLaysTheReportOutAgain) {
    auto grid = testing::salesGrid(61);
    auto shown = preview(grid);
    ASSERT_EQ(shown->pageCount(), 2);  // 40 rows a page
    auto& orientation = child<QComboBox>(*shown, "orientation");
    auto& paper = child<QComboBox>(*shown, "paper");
    EXPECT_EQ(orientation.currentText(), QStringLiteral("纵向"));
    EXPECT_EQ(paper.currentText(), QStringLiteral("A4"));

    orientation.setCurrentIndex(orientation.findText(QStringLiteral("横向")));
    EXPECT_EQ(shown->printer().pageLayout().orientation(), QPageLayout::Landscape);
    EXPECT_EQ(shown->pageCount(), 3) << "30 rows a page";
    paper.setCurrentIndex(paper.findText(QStringLiteral("B5")));
    EXPECT_EQ(shown->printer().pageLayout().pageSize().windowsId(), PaperCode::B5);
    EXPECT_EQ(shown->printer().pageLayout().orientation(), QPageLayout::Landscape);
    EXPECT_EQ(shown->pageCount(), 3) << "25 rows a page";
    EXPECT_TRUE(box->messages().empty()) << "the report asked nothing";
}

// The columns that do not fit across the paper are named above the page, in
// Chinese; upright A4 loses 经手人, landscape keeps every column.
TEST_F(PagedPreview, NamesTheColumnsThatDoNotFitThePaper) {
    auto grid = wideGrid(3);
    auto shown = preview(grid);
    qt::Printer upright(shown->printer());
    ASSERT_EQ(columnsBeyondPaper(grid, upright), std::vector<int>{5});
    EXPECT_EQ(shown->columnsBeyondPaper(), std::vector<std::string>{"经手人"});
    auto& note = child<QLabel>(*shown, "columnsBeyondPaper");
    EXPECT_FALSE(note.isHidden());
    EXPECT_EQ(note.text(), QStringLiteral("纸张宽度不够，1 列打印不出来：经手人。请改用横向或较大的纸张。"));

    auto& orientation = child<QComboBox>(*shown, "orientation");
    orientation.setCurrentIndex(orientation.findText(QStringLiteral("横向")));
    EXPECT_TRUE(shown->columnsBeyondPaper().empty());
    EXPECT_TRUE(note.isHidden());
}

// Landscape chosen in the print dialog lays the report out again and prints it so.
TEST_F(PagedPreview, AnOrientationChosenInThePrintDialogIsUsed) {
    auto grid = testing::salesGrid(61);
    auto shown = preview(grid);
    ASSERT_EQ(shown->pageCount(), 2);
    QPrinter target(QPrinter::HighResolution);
    target.setPageLayout(shown->printer().pageLayout());
    testing::toPdf(target, file("landscape.pdf"));
    target.setPageOrientation(QPageLayout::Landscape);
    shown->print(target);
    EXPECT_EQ(pdfPages(file("landscape.pdf")), 3);
    EXPECT_EQ(testing::pdfInfo(file("landscape.pdf"), "Page size").rfind("842 x 595 pts", 0), 0u);
    EXPECT_EQ(shown->printer().pageLayout().orientation(), QPageLayout::Landscape);
    EXPECT_EQ(child<QComboBox>(*shown, "orientation").currentText(), QStringLiteral("横向"));
}

// 打印 asks for a printer in a dialog whose page range stays among the report's pages.
TEST_F(PagedPreview, ThePrintDialogOffersOnlyTheReportsPages) {
    auto grid = testing::salesGrid(161);  // 5 pages
    auto shown = preview(grid);
    int least = 0, most = 0;
    QTimer::singleShot(0, [&] {
        if (auto* asked = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) {
            least = asked->minPage();
            most = asked->maxPage();
            asked->reject();
        }
    });
    for (auto* button : shown->dialog().findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("打印")) button->click();
    EXPECT_EQ(std::pair(least, most), std::pair(1, 5));
}

}  // namespace
}  // namespace Palvo
