// The per-thread session state that mInit_Var and mInit_Form fill and every
// module reads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "palvo/data.h"
#include "palvo/export.h"

namespace Palvo {

struct PALVO_API SessionContext {
    // Set by clsForm::mInit_Var.
    std::string Dwbh;  // unit code; "00" is the head unit
    std::string DwMc;  // unit name
    std::string BmBh;  // department code
    std::string BmMc;  // department name
    std::shared_ptr<Connection> oConn;
    std::string sIconPath;
    std::int32_t lSelectTop = 0;
    std::string sMsg;  // title of every message box
    std::string sUser;
    std::string sConstStrPtcx;
    std::string sConstStrLr;
    std::string sConstStrZdy;
    std::string sForTypeText;

    // Set by clsForm::mInit_Form. Colours are 0xBBGGRR, or 0x80000000 + n for system colour n.
    std::int32_t lF_BackColor = 0;
    std::int32_t lF_ForColor = 0;
    std::int32_t lF_Width = 0;
    std::int32_t lF_Height = 0;
    std::int32_t lT_BackColor_Notnull = 0;
    std::int32_t lT_Appearence = 0;
    std::int32_t lT_FontSize = 0;
    bool bT_FontBold = false;
    std::int32_t lT_ForeColor = 0;
    std::int32_t lL_forColor_Select = 0;
    std::int32_t lL_FontSize = 0;
    bool bL_FontBold = false;
    std::int32_t lL_ForeColor = 0;
};

/// The calling thread's session.
PALVO_API SessionContext& session();

/// The session's connection; throws Palvo::Error 424 when mInit_Var has not given one.
PALVO_API Connection& sessionConnection();

}  // namespace Palvo
