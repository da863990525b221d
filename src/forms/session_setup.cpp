// mInit_Var and mInit_Form: the session fields a host sets before using the library.
#include "src/forms/session_setup.h"

#include "palvo/clsForm.h"
#include "palvo/session.h"

namespace Palvo::forms {}  // namespace Palvo::forms

namespace Palvo {

// the methods' bodies use the module's own helpers by their names
using namespace forms;

void clsForm::mInit_Var(const std::string& Dwbh, const std::string& DwMc, const std::string& BmBh,
                        const std::string& BmMc, std::shared_ptr<Connection> oConn,
                        const std::string& sIconPath, std::int32_t lSelectTop, const std::string& sMsg,
                        const std::string& sUser, const std::string& sConstStrPtcx,
                        const std::string& sConstStrLr, const std::string& sConstStrZdy,
                        const std::string& sForTypeText) {
    auto& s = session();
    s.Dwbh = Dwbh;
    s.DwMc = DwMc;
    s.BmBh = BmBh;
    s.BmMc = BmMc;
    s.oConn = std::move(oConn);
    s.sIconPath = sIconPath;
    s.lSelectTop = lSelectTop;
    s.sMsg = sMsg;
    s.sUser = sUser;
    s.sConstStrPtcx = sConstStrPtcx;
    s.sConstStrLr = sConstStrLr;
    s.sConstStrZdy = sConstStrZdy;
    s.sForTypeText = sForTypeText;
}

void clsForm::mInit_Form(std::int32_t lF_BackColor, std::int32_t lF_ForColor, std::int32_t lF_Width,
                         std::int32_t lF_Height, std::int32_t lT_BackColor_Notnull,
                         std::int32_t lT_Appearence, std::int32_t lT_FontSize, bool bT_FontBold,
                         std::int32_t lT_ForeColor, std::int32_t lL_forColor_Select, std::int32_t lL_FontSize,
                         bool bL_FontBold, std::int32_t lL_ForeColor) {
    auto& s = session();
    s.lF_BackColor = lF_BackColor;
    s.lF_ForColor = lF_ForColor;
    s.lF_Width = lF_Width;
    s.lF_Height = lF_Height;
    s.lT_BackColor_Notnull = lT_BackColor_Notnull;
    s.lT_Appearence = lT_Appearence;
    s.lT_FontSize = lT_FontSize;
    s.bT_FontBold = bT_FontBold;
    s.lT_ForeColor = lT_ForeColor;
    s.lL_forColor_Select = lL_forColor_Select;
    s.lL_FontSize = lL_FontSize;
    s.bL_FontBold = bL_FontBold;
    s.lL_ForeColor = lL_ForeColor;
}

}  // namespace Palvo
