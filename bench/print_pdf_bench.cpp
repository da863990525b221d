// mPrintRecord of a 10-column grid into a PDF (qt::Printer::pdf) against raw
// QPainter drawing the same texts and rules at the same places into the same
// PDF writer (a QPrinter with the same page, margins and fonts), in one run.
// Counters: pages, the seconds and pages per second of each, vs_raw the
// report's time over the raw drawing's (vs_raw_cpu the same in thread CPU time,
// steadier on a busy machine), and each one's peak resident memory above what
// the process held before it (the grid is built beforehand).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPen>
#include <QPrinter>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "palvo/clsPrint.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/msgbox.h"
#include "palvo/print_layout.h"
#include "palvo/qt/printer.h"
#include "palvo/session.h"
#include "report_grid.h"
#include "thread_clock.h"

namespace {

using bench::threadSeconds;

using Clock = std::chrono::steady_clock;

constexpr int kCols = bench::kReportCols;
constexpr int kRowsPerPage = 40;  // A4 portrait

// Resident memory of the process now, in bytes.
double residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

// The highest resident memory while it lives, sampled every 2 ms, above what it started at.
class PeakMemory {
public:
    PeakMemory() : start_(residentBytes()), peak_(start_) {
        thread_ = std::thread([this] {
            while (!stop_) {
                peak_ = std::max(peak_.load(), residentBytes());
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    }
    double stop() {
        stop_ = true;
        thread_.join();
        peak_ = std::max(peak_.load(), residentBytes());
        return (peak_ - start_) / (1024.0 * 1024.0);
    }

private:
    double start_;
    std::atomic<double> peak_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

std::unique_ptr<Palvo::memory::FlexGrid> makeGrid(int rows) { return bench::makeReportGrid(rows); }

QFont printFont(double points) {
    QFont f;
    QStringList families;
    for (const auto& name : Palvo::qt::defaultPrintFamilies()) families << QString::fromStdString(name);
    f.setFamilies(families);
    f.setPixelSize(static_cast<int>(std::lround(points * 20)));
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

double dropOf(const QFont& f) {
    QFontMetricsF m(f);
    return f.pixelSize() * m.ascent() / (m.ascent() + m.descent());
}

// The left edge of every column as the report places them: aaa, then the widest
// text of each column plus a, in the body font.
std::vector<double> columnLefts(const Palvo::FlexGrid& grid) {
    QFontMetricsF bm(printFont(11));
    std::vector<double> lefts(kCols);
    double x = bm.horizontalAdvance("aaa");
    for (int c = 0; c < kCols; ++c) {
        lefts[c] = std::round(x);
        double widest = 0;
        for (int r = 0; r < grid.Rows(); ++r) {
            widest = std::max(
                widest, std::round(bm.horizontalAdvance(QString::fromStdString(grid.TextMatrix(r, c)))));
        }
        x = lefts[c] + widest + bm.horizontalAdvance("a");
    }
    return lefts;
}

// The report's pages drawn straight at the places given: the same fonts and rules.
void drawRaw(const Palvo::FlexGrid& grid, const std::vector<double>& lefts, const std::string& path) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(9, 9, 9, 9), QPageLayout::Point);
    printer.setOutputFileName(QString::fromStdString(path));
    const QRectF area = printer.pageLayout().paintRect(QPageLayout::Point);
    const double pw = area.width() * 20;
    const double ph = area.height() * 20;

    const QFont title = printFont(18);
    const QFont body = printFont(11);
    const double titleDrop = dropOf(title);
    const double bodyDrop = dropOf(body);
    QFontMetricsF bm(body);
    const double margin = bm.horizontalAdvance("aaa");
    const int dataRows = grid.Rows() - 1;
    const int pages = (dataRows + kRowsPerPage - 1) / kRowsPerPage;
    const QString titleText = QStringLiteral("销售清单");
    const QString time = QStringLiteral("打印时间：2026/12/6  21:00:00");
    QPainter p(&printer);
    p.scale(printer.resolution() / 1440.0, printer.resolution() / 1440.0);
    QPen pen(Qt::black);
    pen.setCapStyle(Qt::FlatCap);
    pen.setWidthF(20);
    auto text = [&](double tx, double ty, double drop, const QString& s) {
        p.drawText(QPointF(tx, ty + drop), s);
    };
    auto rule = [&](double y) {
        p.setPen(pen);
        p.drawLine(QPointF(margin, y), QPointF(pw - margin, y));
    };
    for (int page = 1; page <= pages; ++page) {
        p.setFont(title);
        text((pw - QFontMetricsF(title).horizontalAdvance(titleText)) / 2, 360, titleDrop, titleText);
        p.setFont(body);
        text(std::max(0.0, (pw - bm.horizontalAdvance(time)) / 2), 820, bodyDrop, time);
        text(margin, 1140, bodyDrop, QStringLiteral("制表：张三"));
        rule(1460);
        for (int c = 0; c < kCols; ++c)
            text(lefts[c], 1560, bodyDrop, QString::fromStdString(grid.TextMatrix(0, c)));
        rule(1880);
        pen.setWidthF(10);
        double y = 1880;
        for (int i = 1; i <= kRowsPerPage; ++i) {
            const int r = (page - 1) * kRowsPerPage + i;
            if (r > dataRows) break;
            const double top = 1880 + 50 + (i - 1) * 1.4 * 220;
            for (int c = 0; c < kCols; ++c) {
                const std::string cell = grid.TextMatrix(r, c);
                if (!cell.empty()) text(lefts[c], top, bodyDrop, QString::fromStdString(cell));
            }
            y = top + 220 + 50;
            rule(y);
        }
        if (page == pages) text(margin, y + 50, bodyDrop, QStringLiteral("审核：李四"));
        const QString foot = QStringLiteral("第 %1/%2 页").arg(page).arg(pages);
        text((pw - bm.horizontalAdvance(foot)) / 2, ph - 300, bodyDrop, foot);
        if (page < pages) printer.newPage();
    }
    p.end();
}

void BM_PrintPdfVsRawQPainter(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    const auto grid = makeGrid(rows);
    const int pages = (rows + kRowsPerPage - 1) / kRowsPerPage;
    Palvo::ScopedMessageBox box(std::make_shared<Palvo::memory::ScriptedMessageBox>());
    const std::string rawPath = "/tmp/palvo_bench_raw.pdf";
    const std::string reportPath = "/tmp/palvo_bench_report.pdf";
    double rawSeconds = 0, reportSeconds = 0, rawPeak = 0, reportPeak = 0, rawCpu = 0, reportCpu = 0;
    auto printReport = [&](Palvo::FlexGrid& g) {
        auto printer = Palvo::qt::Printer::pdf(reportPath);
        Palvo::ScopedPrinter guard(printer);
        std::string top = "制表：张三", bottom = "审核：李四";
        Palvo::clsPrint().mPrintRecord(g, "销售清单", top, bottom);
        return printer->jobsEnded() == 1;
    };
    // both once on two pages first, so neither pays for loading the fonts
    const auto warmUp = makeGrid(2 * kRowsPerPage);
    drawRaw(*warmUp, columnLefts(*warmUp), rawPath);
    printReport(*warmUp);
    // the raw drawing is given the places; the report measures them itself
    const std::vector<double> lefts = columnLefts(*grid);
    for (auto _ : state) {
        malloc_trim(0);
        PeakMemory rawMemory;
        auto start = Clock::now();
        double cpu = threadSeconds();
        drawRaw(*grid, lefts, rawPath);
        rawSeconds += std::chrono::duration<double>(Clock::now() - start).count();
        rawCpu += threadSeconds() - cpu;
        rawPeak = std::max(rawPeak, rawMemory.stop());

        malloc_trim(0);
        PeakMemory reportMemory;
        start = Clock::now();
        cpu = threadSeconds();
        if (!printReport(*grid)) state.SkipWithError("the report did not print");
        reportCpu += threadSeconds() - cpu;
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        reportSeconds += seconds;
        reportPeak = std::max(reportPeak, reportMemory.stop());
        state.SetIterationTime(seconds);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["pages"] = pages;
    state.counters["report_s"] = reportSeconds / n;
    state.counters["raw_s"] = rawSeconds / n;
    state.counters["vs_raw"] = reportSeconds / rawSeconds;
    state.counters["vs_raw_cpu"] = reportCpu / rawCpu;
    state.counters["report_pages_per_s"] = pages * n / reportSeconds;
    state.counters["raw_pages_per_s"] = pages * n / rawSeconds;
    state.counters["report_peak_MB"] = reportPeak;
    state.counters["raw_peak_MB"] = rawPeak;
    if (!std::getenv("PALVO_BENCH_KEEP")) {  // set it to look at both PDFs
        std::remove(rawPath.c_str());
        std::remove(reportPath.c_str());
    }
}

BENCHMARK(BM_PrintPdfVsRawQPainter)
    ->Arg(25'000)
    ->Arg(100'000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// The same report with page totals of three columns (本页小计 and 累计 under every
// page's rows, two rows fewer a page) against without, alternately, in one run.
// Counters: vs_plain the time with totals over the time without
// (vs_plain_cpu in thread CPU time).
void BM_PrintPdfPageTotalsVsPlain(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    const auto grid = makeGrid(rows);
    Palvo::ScopedMessageBox box(std::make_shared<Palvo::memory::ScriptedMessageBox>());
    const std::string path = "/tmp/palvo_bench_totals.pdf";
    auto printReport = [&](Palvo::FlexGrid& g, bool totals) {
        Palvo::ScopedPrintRecordOptions options(
            std::make_shared<Palvo::PrintRecordOptions>(Palvo::PrintRecordOptions{
                totals ? std::vector<std::string>{"数量", "单价", "金额"} : std::vector<std::string>{}}));
        auto printer = Palvo::qt::Printer::pdf(path);
        Palvo::ScopedPrinter guard(printer);
        std::string top = "制表：张三", bottom = "审核：李四";
        Palvo::clsPrint().mPrintRecord(g, "销售清单", top, bottom);
        return printer->jobsEnded() == 1;
    };
    const auto warmUp = makeGrid(2 * kRowsPerPage);
    printReport(*warmUp, false);
    printReport(*warmUp, true);
    double seconds[2] = {0, 0}, cpu[2] = {0, 0};
    for (auto _ : state) {
        for (const bool totals : {false, true}) {
            malloc_trim(0);
            const auto start = Clock::now();
            const double cpuStart = threadSeconds();
            if (!printReport(*grid, totals)) state.SkipWithError("the report did not print");
            cpu[totals] += threadSeconds() - cpuStart;
            seconds[totals] += std::chrono::duration<double>(Clock::now() - start).count();
        }
        state.SetIterationTime(seconds[1]);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["plain_s"] = seconds[0] / n;
    state.counters["totals_s"] = seconds[1] / n;
    state.counters["vs_plain"] = seconds[1] / seconds[0];
    state.counters["vs_plain_cpu"] = cpu[1] / cpu[0];
    if (!std::getenv("PALVO_BENCH_KEEP")) std::remove(path.c_str());
}

BENCHMARK(BM_PrintPdfPageTotalsVsPlain)
    ->Arg(25'000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    Palvo::session().sMsg = "提示";
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
