// The Qt host's spreadsheet desk: where workbooks go and how many printers there are.
#include <gtest/gtest.h>

#include <QPrinterInfo>
#include <QStandardPaths>
#include <filesystem>

#include "palvo/qt/spreadsheet.h"
#include "support/qt_application.h"

namespace Palvo::qt {
namespace {

TEST(QtSpreadsheetDesk, SavesInTheDocumentsFolderUnderTitleAndTimeAndCountsThePrintSystemsPrinters) {
    SpreadsheetDesk desk;
    const std::filesystem::path path = desk.savePath("月报/三月");
    EXPECT_EQ(path.parent_path().string(),
              QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString());
    const std::string name = path.filename().string();
    EXPECT_EQ(name.rfind("月报_三月 ", 0), 0u) << name;
    EXPECT_EQ(path.extension(), ".xlsx");
    EXPECT_EQ(desk.printerCount(), QPrinterInfo::availablePrinterNames().size());
}

}  // namespace
}  // namespace Palvo::qt
