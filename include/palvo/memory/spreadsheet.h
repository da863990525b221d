// The headless desk of the spreadsheet reports: saves where it is told and
// records what a report asked of it (the workbooks opened, the previews).
#pragma once

#include <string>
#include <vector>

#include "palvo/export.h"
#include "palvo/spreadsheet.h"

namespace Palvo::memory {

class PALVO_API SpreadsheetDesk : public Palvo::SpreadsheetDesk {
public:
    /// Where editable workbooks go; "" keeps the default (the documents folder).
    std::string saveTo;
    /// What printerCount answers.
    int printers = 1;

    struct Preview {
        WorkbookPreview request;  // its sheet cleared: it lives only during the call
        bool hadSheet = false;
        bool fileThere = false;   // whether the workbook existed while it was previewed
        std::string fileContent;  // its bytes then, for reading it back
    };

    std::string savePath(const std::string& title) override;
    void open(const std::string& path) override { opened.push_back(path); }
    /// Records the request and returns at once, as a user closing the preview.
    void preview(const WorkbookPreview& request) override;
    int printerCount() override { return printers; }

    std::vector<std::string> saved;   // the paths savePath gave
    std::vector<std::string> opened;  // the workbooks opened for the user
    std::vector<Preview> previews;
};

}  // namespace Palvo::memory
