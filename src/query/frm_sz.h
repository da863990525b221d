// frmSz: the print settings dialog. The user chooses, for one table and one
// named query, which columns are shown and in which order, the sort keys and
// the totals; saving writes them into the user's settings set of 查询打印设置.
#pragma once

#include <string>

#include "palvo/window.h"
#include "src/query/list_editor.h"

namespace Palvo::query {

class frmSz : public Window {
public:
    frmSz();
    const WindowLayout& layout() const override;
    void Load() override;
    void Unload(UnloadMode mode) override;
    void Click(const std::string& control) override;
    void DblClick(const std::string& control) override;

    // Handed in by sPrintSet and cleared when the dialog unloads.
    std::string sReceive;        // the table
    std::string sCxm;            // the query name
    std::string sCxLb;           // the query category
    std::string sMc;             // kept, not used
    std::string sMustSetString;  // columns that must be shown, comma-separated

private:
    SettingsSet settings() const;
    void save();
    ListEditor editor_;
};

/// The calling thread's print settings dialog.
frmSz& printSettingsWindow();

/// Shows the print settings dialog; what it saves is its outcome.
/// Throws what the dialog's host or its loading throws.
void printSettingsDialog(const std::string& sReceive, const std::string& sCxm, const std::string& sCxLb,
                         const std::string& sMc = "", const std::string& sMustSetString = "");

}  // namespace Palvo::query
