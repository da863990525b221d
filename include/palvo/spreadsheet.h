// The spreadsheet port. A Worksheet keeps what a report does to the first
// sheet of a new workbook, with the operations of the spreadsheet
// application (ranges by address text, merges, values, formats, borders,
// column widths, page setup); a SpreadsheetWriter (the xlsx adapter) writes it
// into a file. A SpreadsheetDesk is the host's side: where a workbook is
// saved, opening it for the user, and the print preview of its pages.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "palvo/export.h"
#include "palvo/scoped_port.h"

namespace Palvo {

/// The spreadsheet application's published constants the reports use.
namespace xl {
inline constexpr int Center = -4108;  // horizontal and vertical alignment
inline constexpr int Left = -4131;
inline constexpr int Right = -4152;
inline constexpr int Top = -4160;
inline constexpr int Bottom = -4107;
inline constexpr int Continuous = 1;  // border line style
inline constexpr int LineStyleNone = -4142;
inline constexpr int EdgeLeft = 7;
inline constexpr int EdgeTop = 8;
inline constexpr int EdgeBottom = 9;
inline constexpr int EdgeRight = 10;
inline constexpr int InsideVertical = 11;
inline constexpr int InsideHorizontal = 12;
inline constexpr int Portrait = 1;
inline constexpr int Landscape = 2;
inline constexpr int PrintNoComments = -4142;
inline constexpr int AutomaticPageNumber = -4105;
inline constexpr int PaperA4 = 9;
inline constexpr int DownThenOver = 1;
inline constexpr int OverThenDown = 2;
}  // namespace xl

/// A rectangle of cells, 0-based and inclusive.
struct PALVO_API CellRange {
    int firstRow = 0;
    int firstCol = 0;
    int lastRow = 0;
    int lastCol = 0;
    bool operator==(const CellRange&) const = default;
    bool contains(int row, int col) const {
        return row >= firstRow && row <= lastRow && col >= firstCol && col <= lastCol;
    }
    bool overlaps(const CellRange& o) const {
        return firstRow <= o.lastRow && o.firstRow <= lastRow && firstCol <= o.lastCol &&
               o.firstCol <= lastCol;
    }
};

/// Error number of a range operation the sheet refuses (the application's
/// "Application-defined or object-defined error").
inline constexpr long kRangeError = 1004;

/// Reads "A1", "B3:C7" or "$A$1:$C$7" (column letters A..XFD, rows 1..1048576).
/// Throws Palvo::Error 1004 for any other text, "" included.
PALVO_API CellRange parseRange(std::string_view address);
/// Reads a column address "B" or "B:D" into its first and last 0-based column.
/// Throws Palvo::Error 1004 for any other text.
PALVO_API CellRange parseColumns(std::string_view address);
/// Reads a row address "3", "1:3" or "$1:$3" into its first and last 0-based row.
/// Throws Palvo::Error 1004 for any other text.
PALVO_API CellRange parseRows(std::string_view address);

/// Points from inches, as the application's InchesToPoints.
inline double InchesToPoints(double inches) { return inches * 72.0; }

/// What a cell looks like once every format given to a range over it applied.
struct PALVO_API CellFormat {
    bool bold = false;
    double size = 0;     // points; 0 keeps the sheet's default font size
    int horizontal = 0;  // 0 general, or xl::Center, xl::Left, xl::Right
    int vertical = 0;    // 0 the default (bottom), or xl::Center, xl::Top, xl::Bottom
    bool wrap = false;
    bool shrink = false;
    bool indent = false;
    int orientation = 0;       // text rotation in degrees
    std::string numberFormat;  // "" general, "@" text, or a date format
    int borderLeft = 0;        // line styles: 0 none, xl::Continuous
    int borderTop = 0;
    int borderBottom = 0;
    int borderRight = 0;
    bool operator==(const CellFormat&) const = default;
};

/// A cell's value. Dates are day serials from 1899-12-30 with the time of day as a fraction.
struct PALVO_API SheetValue {
    enum class Kind { Empty, Text, Number, Date, DateTime };
    Kind kind = Kind::Empty;
    std::string text;
    double number = 0;
};

/// Rows pasted into the sheet, one sheet row per source row, cells from the
/// paste's column on. The sheet reads them only when it is written, so a
/// source must outlive the save and may not change meanwhile.
class PALVO_API RowSource {
public:
    virtual ~RowSource();
    virtual int rows() const = 0;
    virtual int cols() const = 0;
    /// Fills cells (already sized cols()) with row `row`; reuse their text buffers.
    virtual void row(int row, std::vector<SheetValue>& cells) const = 0;
};

/// The page setup members of the application with its defaults; margins in points.
struct PALVO_API PageSetup {
    std::string PrintTitleRows;  // "$1:$3"
    std::string PrintTitleColumns;
    // header and footer texts with the application's codes (&P, &N, &"font,style", && for &)
    std::string LeftHeader, CenterHeader, RightHeader;
    std::string LeftFooter, CenterFooter, RightFooter;
    double LeftMargin = 54, RightMargin = 54, TopMargin = 72, BottomMargin = 72;
    double HeaderMargin = 21.6, FooterMargin = 21.6;
    bool PrintHeadings = false;
    bool PrintGridlines = false;
    int PrintComments = xl::PrintNoComments;
    bool CenterHorizontally = false;
    bool CenterVertically = false;
    int Orientation = xl::Portrait;
    bool Draft = false;
    int PaperSize = xl::PaperA4;
    int FirstPageNumber = xl::AutomaticPageNumber;
    int Order = xl::DownThenOver;
    bool BlackAndWhite = false;
    int Zoom = 100;
};

/// One cell as a writer gets it: its column, value (nullptr when empty) and
/// format (an index into Worksheet::formats(); 0 is the default format).
struct PALVO_API SheetCell {
    int col = 0;
    const SheetValue* value = nullptr;
    int format = 0;
};

/// The first worksheet of a new workbook. Formats given to ranges compose:
/// a cell ends with every format given to any range over it, the later one
/// winning where two set the same thing. Merges that overlap become the one
/// rectangle that covers them, so the sheet never holds two that overlap. A
/// merged area shows the value of its top-left cell only. Range operations
/// throw Palvo::Error 1004 for an address parseRange refuses.
class PALVO_API Worksheet {
public:
    Worksheet();
    ~Worksheet();
    Worksheet(const Worksheet&) = delete;
    Worksheet& operator=(const Worksheet&) = delete;

    // ---- Range(address).…
    void Merge(std::string_view range);
    /// MergeCells False: unmerges every merged area the range touches.
    void UnMerge(std::string_view range);
    /// Gives every cell of the range the text. Each cell is kept on its own, so
    /// a range of more than kMaxValueCells cells (one whole column) fails with
    /// error 1004 and sets nothing.
    void Value(std::string_view range, const std::string& text);
    static constexpr long long kMaxValueCells = 1048576;
    void Bold(std::string_view range, bool bold);
    void FontSize(std::string_view range, double points);
    void HorizontalAlignment(std::string_view range, int alignment);
    void VerticalAlignment(std::string_view range, int alignment);
    void WrapText(std::string_view range, bool wrap);
    void ShrinkToFit(std::string_view range, bool shrink);
    void AddIndent(std::string_view range, bool indent);
    void Orientation(std::string_view range, int degrees);
    void NumberFormatLocal(std::string_view range, const std::string& format);
    /// Borders(which).LineStyle: which is xl::EdgeLeft .. xl::InsideHorizontal.
    /// Throws Palvo::Error 1004 for another border index.
    void BorderLineStyle(std::string_view range, int which, int lineStyle);
    /// Columns(address).ColumnWidth in characters; throws 1004 for a bad address or a width outside 0..255.
    void ColumnWidth(std::string_view columns, double width);
    /// Pastes the source's rows with their top-left cell at `cell`.
    void Paste(std::string_view cell, std::shared_ptr<const RowSource> source);
    /// Errors(xlNumberAsText).Ignore = True: the application marks no cell of
    /// the range as "a number stored as text".
    void IgnoreNumberAsText(std::string_view range);
    ::Palvo::PageSetup& PageSetup() { return page_; }
    const ::Palvo::PageSetup& PageSetup() const { return page_; }

    // ---- for writers
    /// The distinct formats of the sheet's cells; index 0 is the default one.
    /// Valid once prepare() ran; walk() adds the formats of long numbers as it
    /// meets them, so a writer reads those by the index a cell names.
    const std::vector<CellFormat>& formats() const { return formats_; }
    /// The merged areas, none overlapping another, in row order.
    const std::vector<CellRange>& merges() const { return merges_; }
    /// The ranges whose numbers stored as text are not marked, in the order given.
    const std::vector<CellRange>& numberAsTextIgnored() const { return numberAsText_; }
    /// Column widths set, as (0-based column, width) in column order.
    std::vector<std::pair<int, double>> columnWidths() const;
    /// The last row and column holding a value or a format; -1 for an empty sheet.
    int lastRow() const;
    int lastCol() const;
    /// Works out the formats of every cell; call once after the last change
    /// and before walk().
    void prepare();
    /// Calls `visit` for each row 0..lastRow() in order with the row's cells
    /// that have a value or a format other than 0, in column order. Pasted
    /// rows are read from their source here, one row at a time.
    void walk(const std::function<void(int row, const std::vector<SheetCell>& cells)>& visit) const;

private:
    // `format` as it shows a number of `decimals` decimals whole (-1: as it is)
    int exactFormat(int format, int decimals) const;

    struct Impl;
    std::unique_ptr<Impl> impl_;
    ::Palvo::PageSetup page_;
    mutable std::vector<CellFormat> formats_;  // walk() adds to it
    std::vector<CellRange> merges_;
    std::vector<CellRange> numberAsText_;
};

/// Writes a worksheet into a workbook file: the xlsx adapter.
class PALVO_API SpreadsheetWriter {
public:
    virtual ~SpreadsheetWriter();
    /// Writes the prepared sheet into a new workbook at path, replacing a file
    /// there. Throws Palvo::Error when it cannot; then nothing of it is left at path.
    virtual void save(const Worksheet& sheet, const std::string& path) = 0;
};

/// Installs the calling thread's spreadsheet writer and returns the one it replaces.
PALVO_API std::shared_ptr<SpreadsheetWriter> installSpreadsheetWriter(
    std::shared_ptr<SpreadsheetWriter> writer);
/// The calling thread's writer. Throws Palvo::Error 429 when none is installed.
PALVO_API SpreadsheetWriter& spreadsheetWriter();

/// What the print preview of a report workbook is handed.
struct PALVO_API WorkbookPreview {
    std::string path;  // the workbook, a private temporary file removed once the preview returns
    /// The sheet as written (cells and formats by walk(), merges, widths),
    /// so the pages can be drawn without reading the file back; valid during the call.
    const Worksheet* sheet = nullptr;
    std::string title;
    ::Palvo::PageSetup page;
    int rows = 0;  // the sheet's extent
    int cols = 0;
};

/// The host's side of a spreadsheet report. The defaults serve a host without
/// a desktop: the documents folder, no program opened, no preview.
class PALVO_API SpreadsheetDesk {
public:
    virtual ~SpreadsheetDesk();
    /// Where an editable workbook with that title is saved: by default
    /// workbookFileName(title, now) in the user's documents folder ($HOME/Documents
    /// when it exists, else $HOME).
    virtual std::string savePath(const std::string& title);
    /// Opens the saved workbook for the user; by default nothing (no desktop).
    virtual void open(const std::string& path);
    /// Shows the workbook's pages as they print and returns when the user
    /// closed the preview. By default throws Palvo::Error 429: no preview.
    virtual void preview(const WorkbookPreview& request);
    /// How many printers are installed; by default 1 (a headless host writes files).
    virtual int printerCount();
};

/// "<title> <YYYYMMDD-HHMMSS>.xlsx", the title's characters that a file name
/// cannot hold ("/", "\", ":", "*", "?", "\"", "<", ">", "|", controls) as "_",
/// "报表" for a blank title.
PALVO_API std::string workbookFileName(const std::string& title, int year, int month, int day, int hour,
                                       int minute, int second);

/// Installs a writer for the life of the guard and restores the previous one.
using ScopedSpreadsheetWriter = ScopedPort<SpreadsheetWriter, installSpreadsheetWriter>;

/// Installs the calling thread's desk and returns the one it replaces (nullptr: the defaults).
PALVO_API std::shared_ptr<SpreadsheetDesk> installSpreadsheetDesk(std::shared_ptr<SpreadsheetDesk> desk);
/// The calling thread's desk, or one with the defaults when none is installed.
PALVO_API SpreadsheetDesk& spreadsheetDesk();

/// Installs a desk for the life of the guard and restores the previous one.
using ScopedSpreadsheetDesk = ScopedPort<SpreadsheetDesk, installSpreadsheetDesk>;

}  // namespace Palvo
