// The spreadsheet desk of a Qt host: where its users find their workbooks and
// the program that opens them. Install it on the GUI thread with
// Palvo::installSpreadsheetDesk(std::make_shared<Palvo::qt::SpreadsheetDesk>()).
#pragma once

#include <string>

#include "palvo/export.h"
#include "palvo/spreadsheet.h"

namespace Palvo::qt {

class PALVO_API SpreadsheetDesk : public Palvo::SpreadsheetDesk {
public:
    /// workbookFileName(title, now) in the user's documents folder (QStandardPaths).
    std::string savePath(const std::string& title) override;
    /// Opens the workbook with the desktop's program for it (QDesktopServices).
    /// Throws Palvo::Error 53 naming the saved file when no program takes it.
    void open(const std::string& path) override;
    /// The printers the print system offers (QPrinterInfo).
    int printerCount() override;
    /// Shows the sheet's pages as they print (printSheet) in a print preview
    /// titled "打印预览", on the sheet's paper and orientation; the user prints
    /// from it. Returns when the preview closes.
    void preview(const WorkbookPreview& request) override;
};

}  // namespace Palvo::qt
