// frmZdySz: the custom query dialog. The print settings dialog's lists with a
// grouping list and a totals list, and a grid of condition rows; saving writes
// the whole settings set of 查询打印设置 in one transaction.
#pragma once

#include <string>

#include "palvo/window.h"
#include "src/query/condition_editor.h"
#include "src/query/list_editor.h"

namespace Palvo::query {

class frmZdySz : public Window {
public:
    frmZdySz();
    const WindowLayout& layout() const override;
    void Load() override;
    void Unload(UnloadMode mode) override;
    void Click(const std::string& control) override;
    void DblClick(const std::string& control) override;
    void Change(const std::string& control) override;
    void RowColChange(const std::string& control) override;

    // Handed in by sPrintSet_Zdy and cleared when the dialog unloads.
    std::string sReceive;  // the table
    std::string sCxm;      // the query name
    std::string sCxLb;     // the query category
    std::string sMc;       // kept, not used
    std::string sRqBjFs;   // the DATEDIFF unit of date conditions ("d" when empty)

private:
    SettingsSet settings() const;
    void seed(const SettingsSet& set);
    void save();
    ListEditor editor_;
    ConditionEditor condition_;
};

/// The calling thread's custom query dialog.
frmZdySz& customQueryWindow();

/// Shows the custom query dialog; what it saves is its outcome.
/// Throws what the dialog's host or its loading throws.
void customQueryDialog(const std::string& sReceive, const std::string& sCxm, const std::string& sCxLb,
                       const std::string& sMc = "", const std::string& sRqBjFs = "");

}  // namespace Palvo::query
