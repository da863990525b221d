// The columns of a printed grid report that do not fit across the paper,
// worked out from the report's own column positions.
#include "palvo/print_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "palvo/error.h"
#include "src/print/print_record.h"

namespace Palvo {

namespace print {

std::vector<int> columnsBeyond(const ReportRows& grid, const TextSurface& surface, double width) {
    // the columns as the report places them (a text wider than the page counts as the page)
    const double limit = std::clamp(width, 0.0, 32767.0);
    const std::vector<std::int32_t> lefts = measureTable(grid, surface, limit).lefts;
    const int cols = static_cast<int>(lefts.size());
    const double a = surface.TextWidth("a");
    std::vector<int> beyond;
    for (int c = 0; c < cols; ++c) {
        // a column's text ends where the next column starts, less the gap of one "a"
        double right = 0;
        if (c + 1 < cols) {
            right = lefts[static_cast<std::size_t>(c + 1)] - a;
        } else {
            double widest = 0;
            for (int r = 0; r < grid.Rows(); ++r)
                widest = std::max(widest, std::min(surface.TextWidth(grid.TextMatrix(r, c)), limit));
            right = lefts[static_cast<std::size_t>(c)] + std::round(widest);
        }
        if (right > width) beyond.push_back(c);
    }
    return beyond;
}

}  // namespace print

namespace {
std::shared_ptr<PrintRecordOptions>& installedOptions() {
    thread_local std::shared_ptr<PrintRecordOptions> options;
    return options;
}
}  // namespace

std::shared_ptr<PrintRecordOptions> installPrintRecordOptions(std::shared_ptr<PrintRecordOptions> options) {
    auto previous = std::move(installedOptions());
    installedOptions() = std::move(options);
    return previous;
}

std::shared_ptr<PrintRecordOptions> installedPrintRecordOptions() { return installedOptions(); }

std::vector<int> columnsBeyondPaper(const ReportRows& flx, Printer& printer) {
    const double size = printer.FontSize();
    printer.FontSize(print::kBodyFontSize);
    std::vector<int> beyond;
    try {
        beyond = print::columnsBeyond(flx, printer, printer.ScaleWidth());
    } catch (...) {
        printer.FontSize(size);
        throw;
    }
    printer.FontSize(size);
    return beyond;
}

std::vector<int> columnsBeyondPaper(const FlexGrid& flx, Printer& printer) {
    return columnsBeyondPaper(GridReportRows(flx), printer);
}

}  // namespace Palvo
