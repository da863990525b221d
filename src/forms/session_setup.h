// Setting up the calling thread's SessionContext (clsForm::mInit_Var and mInit_Form).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "palvo/data.h"

namespace Palvo::forms {

/// Stores the thirteen arguments in the calling thread's SessionContext.
void initSession(const std::string& Dwbh, const std::string& DwMc, const std::string& BmBh,
                 const std::string& BmMc, std::shared_ptr<Connection> oConn, const std::string& sIconPath,
                 std::int32_t lSelectTop, const std::string& sMsg, const std::string& sUser,
                 const std::string& sConstStrPtcx, const std::string& sConstStrLr,
                 const std::string& sConstStrZdy, const std::string& sForTypeText);

/// Stores the look of host forms in the calling thread's SessionContext.
void initLook(std::int32_t lF_BackColor, std::int32_t lF_ForColor, std::int32_t lF_Width,
              std::int32_t lF_Height, std::int32_t lT_BackColor_Notnull, std::int32_t lT_Appearence,
              std::int32_t lT_FontSize, bool bT_FontBold, std::int32_t lT_ForeColor,
              std::int32_t lL_forColor_Select, std::int32_t lL_FontSize, bool bL_FontBold,
              std::int32_t lL_ForeColor);

}  // namespace Palvo::forms
