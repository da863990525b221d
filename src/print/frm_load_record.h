// The progress window frmLoadRecord: it runs a spreadsheet job once it is
// shown, while a busy animation moves and Label1 follows the thread's
// progress text, and shows what went wrong in the message window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "palvo/window.h"
#include "src/print/excel_report.h"

namespace Palvo::print {

class frmLoadRecord : public Window {
public:
    const WindowLayout& layout() const override;
    void Load() override;
    void Activate() override;
    void Unload(UnloadMode mode) override;

    // ---- handed in before the window is shown; Unload resets the title,
    // grid, texts, orientation and centring
    ExcelJob job;

    /// The progress texts Label1 showed during the last job, in order.
    const std::vector<std::string>& shownTexts() const { return shown_; }

private:
    void follow();

    std::vector<std::string> shown_;
    int frame_ = 0;
    std::int64_t lastFrame_ = 0;
};

/// The calling thread's progress window.
frmLoadRecord& frmLoadRecordWindow();

}  // namespace Palvo::print
