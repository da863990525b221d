// clsForm: session set-up and the data-entry framework.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "palvo/controls.h"
#include "palvo/data.h"
#include "palvo/export.h"
#include "palvo/form.h"
#include "palvo/grid.h"

namespace Palvo {

class PALVO_API clsForm {
public:
    /// Stores the thirteen arguments in the calling thread's SessionContext.
    void mInit_Var(const std::string& Dwbh, const std::string& DwMc, const std::string& BmBh,
                   const std::string& BmMc, std::shared_ptr<Connection> oConn, const std::string& sIconPath,
                   std::int32_t lSelectTop = 50, const std::string& sMsg = "Vantrel提示",
                   const std::string& sUser = "", const std::string& sConstStrPtcx = "普通查询",
                   const std::string& sConstStrLr = "录入", const std::string& sConstStrZdy = "自定义查询",
                   const std::string& sForTypeText = "请输入或选择查询类型");

    /// Stores the look of host forms in the calling thread's SessionContext.
    void mInit_Form(std::int32_t lF_BackColor = static_cast<std::int32_t>(0x8000000F),
                    std::int32_t lF_ForColor = static_cast<std::int32_t>(0x80000012),
                    std::int32_t lF_Width = 5910, std::int32_t lF_Height = 4515,
                    std::int32_t lT_BackColor_Notnull = static_cast<std::int32_t>(0x80000018),
                    std::int32_t lT_Appearence = 1, std::int32_t lT_FontSize = 10, bool bT_FontBold = false,
                    std::int32_t lT_ForeColor = static_cast<std::int32_t>(0x80000012),
                    std::int32_t lL_forColor_Select = 0xFF0000, std::int32_t lL_FontSize = 9,
                    bool bL_FontBold = false,
                    std::int32_t lL_ForeColor = static_cast<std::int32_t>(0x80000012));

    // ---- the look of entry forms (from the SessionContext)

    /// Colours the form, loads sIconPath as its icon, styles every text box and
    /// label of its Controls. Throws Palvo::Error (53 when the icon cannot be read).
    void mSetColor(Form& f);
    /// Disables the box and gives it the read-only background 0x80000004.
    void mCannot_edit(TextBox& TXT);
    /// Enables the box: white keeping its text, or emptied with the not-null background.
    void mTxt_Editable(TextBox& TXT, bool can_edit = true);
    /// Makes the label a lookup link: colour, underline, the link cursor beside the library.
    /// Never throws: a step that fails is skipped.
    void mCanSelect(Label& lbl);
    /// The grid look of entry forms. Never throws: a step that fails is skipped.
    void mFormatGrid(FlexGrid& flx);

    // ---- preparing an entry form (TXT, lbl with tags "<code><column>")

    /// Styles the form and puts it in browse state. Returns "" or "InitForm:" + the error.
    std::string sInitForm(Form& frm);
    /// Replaces the three arrays (one element per TXT index) from the columns of tbname.
    /// Returns "" or "InitFieldProp:" + the error; elements filled before an error stay.
    std::string sInitFieldProp(Form& frm, const std::string& tbname, std::vector<std::string>& sFieldType,
                               std::vector<std::int16_t>& iFieldlen, std::vector<std::int16_t>& iNumScale);

    // ---- validation and key filtering

    /// "" when every box and uniqueness rule holds, else the message of the first
    /// broken rule (the box is selected and focused). Throws Palvo::Error for a
    /// database error, a missing control or an index out of range.
    std::string sCheckData(Form& frm, const std::vector<std::string>& sFieldType,
                           const std::vector<std::int16_t>& iFieldlen, const std::string& sKey,
                           const std::string& sIndex, const std::string& tbname,
                           const std::vector<std::string>& sData, bool bKeyEdit,
                           const std::string& NotCheck = "", bool bNewSave = true);
    /// The key to let through for TXT(iIndex), by its column type; 0 swallows it.
    std::int16_t iReturnKeyAsc(Form& frm, std::int16_t iIndex, std::int16_t KeyAscii,
                               const std::vector<std::string>& sFieldType,
                               const std::vector<std::int16_t>& iFieldlen,
                               const std::vector<std::int16_t>& iNumScale);

    // ---- statement pieces (each throws Palvo::Error for a missing control or index)

    /// The key condition in mode "新增", "修改" ("1<>1" when no key changed) or
    /// "修改保存" (the loaded values); "" when a key box is empty. bKeyEdit has no effect.
    std::string sGetKeyWord(Form& frm, const std::string& X, const std::vector<std::string>& sFieldType,
                            bool bKeyEdit, const std::string& sKey, const std::vector<std::string>& sData);
    /// The key condition of the grid's current row, found by column headings.
    std::string sGetKeyfromFlxRow(Form& frm, FlexGrid& Grid, const std::vector<std::string>& sftype,
                                  const std::string& sKey);
    /// Empties every box, enables all but the read-only ones and focuses the first editable one.
    /// Never throws.
    void mAddNew(Form& frm);
    /// The INSERT column list ("FIELD") or value list ("VALUE"); "" for anything else.
    std::string sGetAddNewStr(Form& frm, const std::vector<std::string>& sFieldType,
                              const std::string& Field_or_Value = "FIELD");
    /// The UPDATE set list of the changed columns, each item preceded by a comma.
    std::string sGetUpdateStr(Form& frm, const std::vector<std::string>& sData,
                              const std::vector<std::string>& sFieldType);

    // ---- reference registry and statement log

    /// Registers the form's lookup columns against one dependent table, or against
    /// each of several comma-separated tables that holds the column. Throws Palvo::Error.
    void mSetKeepSql(Form& frm, std::string& tbname);
    /// Carries changed master values into the registered dependent tables and logs
    /// each statement; returns the last logging result. Throws Palvo::Error.
    std::string sExcuteSql(Form& frm, const std::string& sZb, const std::vector<std::string>& sData,
                           const std::vector<std::string>& sFieldType);
    /// "" when no registered dependent table uses the record's values, else the refusal. Throws Palvo::Error.
    std::string sCheckDelSql(Form& frm, std::string& sZb, const std::vector<std::string>& sData,
                             const std::vector<std::string>& sFieldType);
    /// Logs a statement in SendSql for the receivers (sJsDw, or 编辑权限 of the form
    /// and unit). "" when written or nobody receives it, "发送语句错误:..." on failure.
    std::string sKeepSql(const std::string& sFrmName, const std::string& sSql, const std::string& sTableName,
                         const std::string& sFsDw, const std::string& sJsDw = "",
                         const std::string& sLx = "");

    // ---- the library's windows

    /// Shows the message window: the error text sErr ("未知错误！" when blank) with the
    /// details sErrMx ("没有错误明细！" when blank) folded in; returns when it closes.
    /// Throws Palvo::Error 429 when no window host is installed on the thread.
    void mSubMsg(const std::string& sErr, const std::string& sErrMx = "");
    /// The lookup picker: lists the rows of the master table of Field ("table,column"),
    /// or of sSqlString, and returns the return column of the row chosen, the marked
    /// values each followed by a comma (bMultiSel), or "" when the user cancels.
    /// Throws Palvo::Error 5 for a Field without a comma, 429 when no window host is installed.
    std::string sPopWindow(const std::string& Field, const std::string& strWhere = "",
                           const std::string& sFormat = "YYYY-MM-DD", const std::string& sSqlString = "",
                           const bool& bMultiSel = false);
};

}  // namespace Palvo
