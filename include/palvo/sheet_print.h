// A worksheet's pages as the spreadsheet application prints them: which rows
// and columns go on which page (title rows repeated, zoom, page order), and
// the pages drawn on a printer with their header and footer texts. The print
// preview of a report workbook draws through it.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "palvo/export.h"
#include "palvo/printer.h"
#include "palvo/spreadsheet.h"
#include "palvo/value.h"

namespace Palvo {

/// The rows and columns of one printed page (0-based, inclusive); the title
/// rows are printed above them when the page starts below them.
struct PALVO_API SheetPage {
    int firstRow = 0;
    int lastRow = 0;
    int firstCol = 0;
    int lastCol = 0;
    bool operator==(const SheetPage&) const = default;
};

/// The sheet cut into pages. Sizes in twips before the zoom.
struct PALVO_API SheetLayout {
    double scale = 1;                     // Zoom / 100
    int titleFirst = -1, titleLast = -1;  // PrintTitleRows, -1 without
    std::vector<double> rowHeights;
    std::vector<double> colWidths;
    std::vector<SheetPage> pages;  // in print order (PageSetup::Order)
    int firstPageNumber = 1;
};

/// The width in twips of a text at a font size in points, bold or not.
using SheetMeasure = std::function<double(std::string_view text, double points, bool bold)>;

/// The lines a wrapped cell's text takes in `width` twips at a font size: it
/// breaks at a blank where there is one, else between characters, and always
/// at a line break.
PALVO_API int sheetTextLines(const std::string& text, double width, double points, bool bold,
                             const SheetMeasure& measure);

/// Lays the prepared sheet (rows 0..lastRow, columns 0..lastCol) out on paper
/// of paperWidth x paperHeight twips (in its orientation) with the sheet's
/// page setup. Wrapped cells make their row as high as their lines.
PALVO_API SheetLayout layoutSheet(const Worksheet& sheet, double paperWidth, double paperHeight,
                                  const SheetMeasure& measure);

/// A piece of a header or footer line in one font.
struct PALVO_API HeaderRun {
    std::string text;
    double size = 11;
    bool bold = false;
    bool lineBreak = false;  // the run starts a new line
};

/// A header or footer section with its codes worked out: &P the page number,
/// &N the page count, &D the date, &T the time, &A the sheet's name, &F the
/// title, &"font,style" (a bold style makes the text bold; the family is the
/// printer's), &nn the font size, &B bold on and off, && an "&". Other codes
/// are dropped.
PALVO_API std::vector<HeaderRun> headerRuns(std::string_view section, int page, int pages,
                                            const DateTime& now, const std::string& title, double size = 11);

/// Prints the prepared sheet as one job (EndDoc included) on the printer, its
/// pages placed on the paper the printer has (the printable area is taken as
/// centred on it). Returns the number of pages.
PALVO_API int printSheet(Printer& printer, const Worksheet& sheet, const std::string& title);

}  // namespace Palvo
