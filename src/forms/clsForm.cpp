// clsForm: each method forwards to the forms module.
#include "palvo/clsForm.h"

#include "src/forms/field_props.h"
#include "src/forms/frm_get_infor.h"
#include "src/forms/frm_msg.h"
#include "src/forms/registry.h"
#include "src/forms/session_setup.h"
#include "src/forms/statement_log.h"
#include "src/forms/statements.h"
#include "src/forms/validation.h"

namespace Palvo {

void clsForm::mInit_Var(const std::string& Dwbh, const std::string& DwMc, const std::string& BmBh,
                        const std::string& BmMc, std::shared_ptr<Connection> oConn,
                        const std::string& sIconPath, std::int32_t lSelectTop, const std::string& sMsg,
                        const std::string& sUser, const std::string& sConstStrPtcx,
                        const std::string& sConstStrLr, const std::string& sConstStrZdy,
                        const std::string& sForTypeText) {
    forms::mInit_Var(Dwbh, DwMc, BmBh, BmMc, std::move(oConn), sIconPath, lSelectTop, sMsg, sUser,
                     sConstStrPtcx, sConstStrLr, sConstStrZdy, sForTypeText);
}

void clsForm::mInit_Form(std::int32_t lF_BackColor, std::int32_t lF_ForColor, std::int32_t lF_Width,
                         std::int32_t lF_Height, std::int32_t lT_BackColor_Notnull,
                         std::int32_t lT_Appearence, std::int32_t lT_FontSize, bool bT_FontBold,
                         std::int32_t lT_ForeColor, std::int32_t lL_forColor_Select, std::int32_t lL_FontSize,
                         bool bL_FontBold, std::int32_t lL_ForeColor) {
    forms::mInit_Form(lF_BackColor, lF_ForColor, lF_Width, lF_Height, lT_BackColor_Notnull, lT_Appearence,
                      lT_FontSize, bT_FontBold, lT_ForeColor, lL_forColor_Select, lL_FontSize, bL_FontBold,
                      lL_ForeColor);
}

void clsForm::mSetColor(Form& f) { forms::mSetColor(f); }
void clsForm::mCannot_edit(TextBox& TXT) { forms::mCannot_edit(TXT); }
void clsForm::mTxt_Editable(TextBox& TXT, bool can_edit) { forms::mTxt_Editable(TXT, can_edit); }
void clsForm::mCanSelect(Label& lbl) { forms::mCanSelect(lbl); }
void clsForm::mFormatGrid(FlexGrid& flx) { forms::mFormatGrid(flx); }

std::string clsForm::sInitForm(Form& frm) { return forms::sInitForm(frm); }

std::string clsForm::sInitFieldProp(Form& frm, const std::string& tbname,
                                    std::vector<std::string>& sFieldType,
                                    std::vector<std::int16_t>& iFieldlen,
                                    std::vector<std::int16_t>& iNumScale) {
    return forms::sInitFieldProp(frm, tbname, sFieldType, iFieldlen, iNumScale);
}

std::string clsForm::sCheckData(Form& frm, const std::vector<std::string>& sFieldType,
                                const std::vector<std::int16_t>& iFieldlen, const std::string& sKey,
                                const std::string& sIndex, const std::string& tbname,
                                const std::vector<std::string>& sData, bool bKeyEdit,
                                const std::string& NotCheck, bool bNewSave) {
    return forms::sCheckData(frm, sFieldType, iFieldlen, sKey, sIndex, tbname, sData, bKeyEdit, NotCheck,
                             bNewSave);
}

std::int16_t clsForm::iReturnKeyAsc(Form& frm, std::int16_t iIndex, std::int16_t KeyAscii,
                                    const std::vector<std::string>& sFieldType,
                                    const std::vector<std::int16_t>& iFieldlen,
                                    const std::vector<std::int16_t>& iNumScale) {
    return forms::iReturnKeyAsc(frm, iIndex, KeyAscii, sFieldType, iFieldlen, iNumScale);
}

std::string clsForm::sGetKeyWord(Form& frm, const std::string& X, const std::vector<std::string>& sFieldType,
                                 bool /*bKeyEdit*/, const std::string& sKey,
                                 const std::vector<std::string>& sData) {
    return forms::sGetKeyWord(frm, X, sFieldType, sKey, sData);
}

std::string clsForm::sGetKeyfromFlxRow(Form& frm, FlexGrid& Grid, const std::vector<std::string>& sftype,
                                       const std::string& sKey) {
    return forms::sGetKeyfromFlxRow(frm, Grid, sftype, sKey);
}

void clsForm::mAddNew(Form& frm) { forms::mAddNew(frm); }

std::string clsForm::sGetAddNewStr(Form& frm, const std::vector<std::string>& sFieldType,
                                   const std::string& Field_or_Value) {
    return forms::sGetAddNewStr(frm, sFieldType, Field_or_Value);
}

std::string clsForm::sGetUpdateStr(Form& frm, const std::vector<std::string>& sData,
                                   const std::vector<std::string>& sFieldType) {
    return forms::sGetUpdateStr(frm, sData, sFieldType);
}

void clsForm::mSetKeepSql(Form& frm, std::string& tbname) { forms::mSetKeepSql(frm, tbname); }

std::string clsForm::sExcuteSql(Form& frm, const std::string& sZb, const std::vector<std::string>& sData,
                                const std::vector<std::string>& /*sFieldType*/) {
    return forms::sExcuteSql(frm, sZb, sData);
}

std::string clsForm::sCheckDelSql(Form& frm, std::string& sZb, const std::vector<std::string>& sData,
                                  const std::vector<std::string>& /*sFieldType*/) {
    return forms::sCheckDelSql(frm, sZb, sData);
}

std::string clsForm::sKeepSql(const std::string& sFrmName, const std::string& sSql,
                              const std::string& sTableName, const std::string& sFsDw,
                              const std::string& sJsDw, const std::string& sLx) {
    return forms::sKeepSql(sFrmName, sSql, sTableName, sFsDw, sJsDw, sLx);
}

void clsForm::mSubMsg(const std::string& sErr, const std::string& sErrMx) { forms::mSubMsg(sErr, sErrMx); }
std::string clsForm::sPopWindow(const std::string& Field, const std::string& strWhere,
                                const std::string& sFormat, const std::string& sSqlString,
                                const bool& bMultiSel) {
    return forms::sPopWindow(Field, strWhere, sFormat, sSqlString, bMultiSel);
}

}  // namespace Palvo
