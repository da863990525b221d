#include "report_xlsx.h"

#include <algorithm>
#include <memory>
#include <ostream>

#include "call_command.h"
#include "cli.h"
#include "palvo/atomic_file.h"
#include "palvo/error.h"
#include "palvo/measure.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/measure.h"
#include "palvo/memory/spreadsheet.h"
#include "palvo/memory/window_host.h"
#include "palvo/report_rows.h"
#include "palvo/session.h"
#include "palvo/spooled_grid.h"
#include "palvo/xlsx/writer.h"
#include "report_args.h"
#include "usage.h"

namespace Palvo::cli {

namespace {

struct Options {
    std::string db;
    std::string title;
    std::string top;
    std::string bottom;
    bool landscape = false;
    bool titled = false;
    std::vector<std::string> headings;
    std::string merges;
    bool merged = false;
    std::string out;
    std::string statement;
};

bool parse(const std::vector<std::string>& args, Options& o) {
    ReportArgs r;
    if (!parseReportArgs(args, "xlsx", syntaxOf("report xlsx"), r)) {
        return false;
    }
    o.db = r.last("--db");
    o.title = r.last("--title");
    o.titled = r.has("--title");
    o.top = r.last("--top");
    o.bottom = r.last("--bottom");
    if (r.has("--heading")) o.headings = r.values.at("--heading");
    o.merges = r.last("--merge");
    o.merged = r.has("--merge");
    o.out = r.last("--out");
    o.landscape = r.flag("--landscape");
    o.statement = r.statement;
    return o.titled && !o.db.empty() && !o.out.empty() && !o.statement.empty();
}

std::vector<std::string> cells(const std::string& row) {
    std::vector<std::string> parts(1);
    for (char ch : row) {
        if (ch == ',') {
            parts.emplace_back();
        } else {
            parts.back() += ch;
        }
    }
    return parts;
}

// Writes the workbook into its temporary file and leaves it there: the command
// puts it in place only when the report showed no message, so a report that
// failed in part leaves --out as it was.
class StagedWriter : public SpreadsheetWriter {
public:
    void save(const Worksheet& sheet, const std::string& path) override {
        auto file = std::make_unique<AtomicFile>(path);
        writer_.write(sheet, *file);
        staged = std::move(file);
    }
    std::unique_ptr<AtomicFile> staged;

private:
    xlsx::Writer writer_;
};

// The size the workbook's cells are written in, points.
constexpr float kSheetFontSize = 11;
// The widest column a sheet holds, 255 characters, at the reports' 100 twips a character.
constexpr double kWidestColumn = 25500;

// The workbook's column widths, measured as sFillTable measures a grid on
// screen, with the real font (Noto Sans CJK). A text wider than the widest
// column counts as that wide, so no column asks for more than the sheet
// gives (nor for more than a grid's 16-bit width).
class SheetWidthMeasurer : public TextMeasurer {
public:
    explicit SheetWidthMeasurer(std::shared_ptr<TextMeasurer> font) : font_(std::move(font)) {}
    double TextWidth(std::string_view text, double fontSize) const override {
        return std::min(font_->TextWidth(text, fontSize), kWidestColumn - font_->TextWidth("a", fontSize));
    }

private:
    std::shared_ptr<TextMeasurer> font_;
};

// Installs a text measurer for the command and puts the thread's own back.
class MeasurerGuard {
public:
    explicit MeasurerGuard(std::shared_ptr<TextMeasurer> measurer) : previous_(installedTextMeasurer()) {
        installTextMeasurer(std::move(measurer));
    }
    ~MeasurerGuard() { installTextMeasurer(previous_); }
    MeasurerGuard(const MeasurerGuard&) = delete;
    MeasurerGuard& operator=(const MeasurerGuard&) = delete;

private:
    std::shared_ptr<TextMeasurer> previous_;
};

}  // namespace

int runReportXlsx(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
    Options o;
    if (!parse(args, o)) {
        err << usageOf("report xlsx");
        return 2;
    }
    if (const std::string refused = refusedFiles(o.db, o.out); !refused.empty()) {
        err << refused << "\n";
        return 1;
    }
    const SignalCleanup cleanup;
    return runGuarded(err, [&] {
        auto box = std::make_shared<PrintingMessageBox>(err, nullptr, MessageWindows::Print);
        ScopedMessageBox boxGuard(box);
        auto host = std::make_shared<memory::WindowHost>(nullptr, box);
        ScopedWindowHost hostGuard(host);
        auto writer = std::make_shared<StagedWriter>();
        ScopedSpreadsheetWriter writerGuard(writer);
        auto desk = std::make_shared<memory::SpreadsheetDesk>();
        desk->saveTo = o.out;
        ScopedSpreadsheetDesk deskGuard(desk);
        const MeasurerGuard measurerGuard(std::make_shared<SheetWidthMeasurer>(memory::headlessMeasurer()));
        SpooledGrid grid;
        // a workbook has no window width to share out: each column gets what its texts need
        grid.Width(0);
        grid.CellFontSize(kSheetFontSize);
        // a date cell shows no time the grid trims: its column is as wide as the date
        grid.SizeTidiedDates(true);
        if (!fillReportGrid(o.db, o.statement, grid, err, true)) return 1;
        const int orientation = o.landscape ? 2 : 1;
        if (o.headings.empty() && !o.merged) {
            rowsWorkbook(o.title, grid, o.top, o.bottom, orientation, -1, true);
        } else {
            // the heading rows, then the grid's column titles, above the data from grid row 1
            memory::FlexGrid heading;
            const int rows = static_cast<int>(o.headings.size()) + 1;
            heading.FixedCols(0);
            heading.Cols(grid.Cols());
            heading.Rows(rows);
            heading.FixedRows(rows);
            for (int r = 0; r + 1 < rows; ++r) {
                const std::vector<std::string> row = cells(o.headings[static_cast<std::size_t>(r)]);
                if (static_cast<int>(row.size()) != grid.Cols()) {
                    err << "palvo: --heading \"" << o.headings[static_cast<std::size_t>(r)] << "\" has "
                        << row.size() << " cells; the report has " << grid.Cols()
                        << " columns (running numbers included)\n";
                    return 2;
                }
                for (int c = 0; c < grid.Cols(); ++c)
                    heading.TextMatrix(r, c, row[static_cast<std::size_t>(c)]);
            }
            for (int c = 0; c < grid.Cols(); ++c) heading.TextMatrix(rows - 1, c, grid.TextMatrix(0, c));
            const GridReportRows headingRows(heading);
            titledRowsWorkbook(grid, o.title, o.top, o.bottom, orientation, -1, true, 1, &headingRows, -1,
                               o.merges);
        }
        if (box->printed() > 0 || !writer->staged) return 1;  // the staged file goes with the writer
        writer->staged->commit();
        return 0;
    });
}

}  // namespace Palvo::cli
