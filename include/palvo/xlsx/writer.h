// The xlsx adapter: writes a report's worksheet into a real .xlsx workbook
// with libxlsxwriter, row by row in its constant-memory mode, so memory does
// not grow with the number of rows.
#pragma once

#include <string>

#include "palvo/atomic_file.h"
#include "palvo/export.h"
#include "palvo/spreadsheet.h"

namespace Palvo::xlsx {

class PALVO_API Writer : public SpreadsheetWriter {
public:
    /// Writes the prepared sheet as the first worksheet "Sheet1" of a new
    /// workbook at path, whole or not at all (an AtomicFile): on a failure an
    /// older file at path stays as it was. Throws Palvo::Error 1004 for what
    /// the file format cannot hold (a header or footer over 255 characters, a
    /// text over 32767) and 75, naming what failed, when the file cannot be
    /// written.
    void save(const Worksheet& sheet, const std::string& path) override;
    /// Writes the workbook into `file` and leaves the commit to the caller, who
    /// may still decide against it. Throws as save; the uncommitted file goes
    /// with its object.
    void write(const Worksheet& sheet, AtomicFile& file);
};

}  // namespace Palvo::xlsx
