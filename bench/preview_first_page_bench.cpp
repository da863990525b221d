// Time to the first page of the paged print preview (qt::PagedPreview) of a
// 10-column report at 100 and 10,000 pages, offscreen, against a raw baseline:
// every cell measured in the body font with QFontMetricsF (the column places
// depend on every row; no cache of texts measured before) and one page drawn
// with QPainter. Counters: first_page_s, raw_s, vs_raw,
// the peak resident memory above the start after the first page and after
// paging through 200 pages (flat: the pages are drawn one at a time from a
// file), and, at 100 pages, Qt's QPrintPreviewDialog laying out every page
// (qt_dialog_s), which the paged preview replaces where reports are long.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "palvo/clsPrint.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/msgbox.h"
#include "palvo/qt/printer.h"
#include "palvo/session.h"
#include "report_grid.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kCols = bench::kReportCols;
constexpr int kRowsPerPage = 40;

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double residentMB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

std::unique_ptr<Palvo::memory::FlexGrid> makeGrid(int rows) { return bench::makeReportGrid(rows); }

// Every cell measured, then one page of texts and rules drawn on an A4 image at 96 dpi.
void rawFirstPage(const Palvo::FlexGrid& grid) {
    QFont body;
    QStringList families;
    for (const auto& f : Palvo::qt::defaultPrintFamilies()) families << QString::fromStdString(f);
    body.setFamilies(families);
    body.setPixelSize(220);
    QFontMetricsF m(body);
    std::vector<double> widest(kCols, 0);
    for (int r = 0; r < grid.Rows(); ++r)
        for (int c = 0; c < kCols; ++c)
            widest[c] =
                std::max(widest[c], m.horizontalAdvance(QString::fromStdString(grid.TextMatrix(r, c))));
    QImage page(794, 1123, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter p(&page);
    p.scale(96.0 / 1440, 96.0 / 1440);
    p.setFont(body);
    double x0 = m.horizontalAdvance("aaa");
    for (int i = 1; i <= kRowsPerPage && i < grid.Rows(); ++i) {
        double x = x0;
        const double y = 1930 + (i - 1) * 308;
        for (int c = 0; c < kCols; ++c) {
            p.drawText(QPointF(x, y + 176), QString::fromStdString(grid.TextMatrix(i, c)));
            x += widest[c] + m.horizontalAdvance("a");
        }
        p.drawLine(QPointF(x0, y + 270), QPointF(11000, y + 270));
    }
}

void BM_PagedPreviewFirstPage(benchmark::State& state) {
    const int pages = static_cast<int>(state.range(0));
    const auto grid = makeGrid(pages * kRowsPerPage);
    Palvo::ScopedMessageBox box(std::make_shared<Palvo::memory::ScriptedMessageBox>());
    auto report = [&] {
        std::string top = "制表：张三", bottom = "审核：李四";
        Palvo::clsPrint().mPrintRecord(*grid, "销售清单", top, bottom);
    };
    {  // fonts loaded once beforehand, for both
        const auto small = makeGrid(kRowsPerPage);
        Palvo::qt::PagedPreview warm([&] { Palvo::clsPrint().mPrintRecord(*small, "销售清单"); });
        warm.layOut();
        rawFirstPage(*small);
    }
    double first = 0, raw = 0, afterFirst = 0, afterPaging = 0, dialog = 0;
    for (auto _ : state) {
        const double start = residentMB();
        auto t = Clock::now();
        Palvo::qt::PagedPreview preview(report);
        preview.layOut();  // runs the report and draws page 1
        first = seconds(t);
        afterFirst = residentMB() - start;
        for (int p = 2; p <= std::min(pages, 200); ++p) preview.showPage(p);
        afterPaging = residentMB() - start;
        t = Clock::now();
        rawFirstPage(*grid);
        raw = seconds(t);
        state.SetIterationTime(first);
        if (preview.pageCount() != pages) state.SkipWithError("the preview has another page count");
    }
    if (pages <= 100) {
        QPrintPreviewDialog old;
        QObject::connect(&old, &QPrintPreviewDialog::paintRequested, [&](QPrinter* target) {
            auto printer = std::make_shared<Palvo::qt::Printer>(*target);
            Palvo::ScopedPrinter guard(printer);
            report();
        });
        const auto t = Clock::now();
        old.show();
        if (auto* view = old.findChild<QPrintPreviewWidget*>()) view->updatePreview();
        QApplication::processEvents();
        dialog = seconds(t);
        old.close();
        state.counters["qt_dialog_s"] = dialog;
    }
    state.counters["pages"] = pages;
    state.counters["first_page_s"] = first;
    state.counters["raw_s"] = raw;
    state.counters["vs_raw"] = first / raw;
    state.counters["MB_after_first_page"] = afterFirst;
    state.counters["MB_after_paging"] = afterPaging;
}

BENCHMARK(BM_PagedPreviewFirstPage)
    ->Arg(100)
    ->Arg(10'000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Palvo::session().sMsg = "提示";
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
