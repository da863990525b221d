// clsSearch: the query form helpers.
#pragma once

#include <string>

#include "palvo/controls.h"
#include "palvo/export.h"
#include "palvo/form.h"
#include "palvo/value.h"

namespace Palvo {

class PALVO_API clsSearch {
public:
    // ---- query combo initialisers. Each expects an empty combo box, leaves the
    // form alone, and on any failure returns quietly with the combo filled as far
    // as it came.

    /// Units: the own unit, or for the head unit ("00") 全部 and every unit of B_单位. Returns "".
    std::string sInitComboDw(Form& frm, ComboBox& ComboDW);
    /// The date-time columns of a table.
    void mInitComboSjCx(Form& frm, ComboBox& cmb, const std::string& tbname);
    /// The user's saved query names of a table and category; an empty `cxLb`
    /// becomes the ordinary-query category, also in the caller's variable.
    void mInitComboType(Form& frm, ComboBox& cmb, const std::string& tbname, std::string& cxLb);
    void mInitComboType(Form& frm, ComboBox& cmb, const std::string& tbname);
    /// 全部 and the values of the column named by "table,column" (`strTag`, or the combo's Tag when empty).
    void mInitComboTstj(Form& frm, ComboBox& cmb, std::string& strTag);
    void mInitComboTstj(Form& frm, ComboBox& cmb);

    // ---- the condition finder

    /// Shows the condition finder window on the table `sReceive` and returns the
    /// WHERE clause the user built: " where (...)", " where '1'='1' " when
    /// confirmed without conditions, "" when cancelled or closed. `sRqBjFs` is
    /// the DATEDIFF datepart for date columns. Needs a window host
    /// (Palvo::Error 429 otherwise); a failing value look-up of the reference
    /// registry raises its Palvo::Error.
    std::string sFindStr(const std::string& sReceive, const std::string& sRqBjFs = "d");

    // ---- the print settings dialog

    /// Shows the print settings dialog for the table `sReceive`, the query name
    /// `sCxm` and the category `sCxLb`: the user chooses the shown columns and
    /// their order, the sort keys and the totals, and saving writes them into
    /// the user's rows of 查询打印设置 in one transaction. `sMc` is kept unused;
    /// `sMustSetString` names columns (comma-separated) that must be shown, and
    /// when it is empty 编号, 编号1 and 编号2 are left out of a new settings set.
    /// Returns an empty value however the dialog closed. Needs a window host
    /// (Palvo::Error 429 otherwise); a failing load raises its Palvo::Error.
    Value sPrintSet(const std::string& sReceive, const std::string& sCxm, const std::string& sCxLb,
                    const std::string& sMc = "", const std::string& sMustSetString = "");

    // ---- the custom query dialog

    /// Shows the custom query dialog for the table `sReceive`, the query name
    /// `sCxm` and the category `sCxLb`: besides the print settings the user
    /// chooses grouping columns and edits a row condition in a grid; saving
    /// writes the settings, the condition text (查询条件) and the condition
    /// rows (条件项目) into the user's rows of 查询打印设置 in one transaction.
    /// `sMc` is kept unused; `sRqBjFs` is the DATEDIFF unit of date conditions
    /// ("d" when empty). Returns an empty value however the dialog closed.
    /// Needs a window host (Palvo::Error 429 otherwise); a failing load raises
    /// its Palvo::Error.
    Value sPrintSet_Zdy(const std::string& sReceive, const std::string& sCxm, const std::string& sCxLb,
                        const std::string& sMc = "", const std::string& sRqBjFs = "");
};

}  // namespace Palvo
