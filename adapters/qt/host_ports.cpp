#include "palvo/qt/cursor.h"
#include "palvo/qt/host.h"
#include "palvo/qt/measure.h"
#include "palvo/qt/msgbox.h"
#include "palvo/qt/spreadsheet.h"
#include "palvo/qt/window_host.h"

namespace Palvo::qt {

HostPorts hostPorts(QWidget* parent) {
    HostPorts p;
    p.messageBox = std::make_shared<MessageBox>(parent);
    p.windows = std::make_shared<WindowHost>();
    p.spreadsheetDesk = std::make_shared<SpreadsheetDesk>();
    p.measurer = std::make_shared<FontMeasurer>();
    p.cursor = std::make_shared<Cursor>();
    return p;
}

}  // namespace Palvo::qt
