// The Qt host's ports in one bundle (Palvo::installHost): its message boxes,
// windows, spreadsheet desk, text measurer and mouse pointer. Include the
// headers under palvo/qt/ (target Palvo::qt); the core never does.
#pragma once

#include "palvo/export.h"
#include "palvo/host.h"

class QWidget;

namespace Palvo::qt {

/// The Qt host's ports, message boxes centred on `parent`. The printer, the
/// spreadsheet writer, the line executor and the connection factory are the
/// host's own choice (a report's printer, Palvo::xlsx::Writer, ...): add them.
PALVO_API HostPorts hostPorts(QWidget* parent = nullptr);

}  // namespace Palvo::qt
