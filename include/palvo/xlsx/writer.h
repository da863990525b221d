// The xlsx adapter: writes a report's worksheet into a real .xlsx workbook
// with libxlsxwriter, row by row in its constant-memory mode, so memory does
// not grow with the number of rows.
#pragma once

#include <string>

#include "palvo/spreadsheet.h"

namespace Palvo::xlsx {

class Writer : public SpreadsheetWriter {
public:
    /// Writes the prepared sheet as the first worksheet "Sheet1" of a new
    /// workbook. The file is written beside path under a temporary name and
    /// renamed over path at the end, so a failure leaves nothing at path.
    /// Throws Palvo::Error 1004 for what the file format cannot hold (a
    /// header or footer over 255 characters, a text over 32767) and 75 when
    /// the file cannot be written.
    void save(const Worksheet& sheet, const std::string& path) override;
};

}  // namespace Palvo::xlsx
