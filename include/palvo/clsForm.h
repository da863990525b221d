// clsForm: session set-up and the data-entry framework.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "palvo/data.h"

namespace Palvo {

class clsForm {
public:
    /// Stores the thirteen arguments in the calling thread's SessionContext.
    void mInit_Var(const std::string& Dwbh, const std::string& DwMc, const std::string& BmBh, const std::string& BmMc,
                   std::shared_ptr<Connection> oConn, const std::string& sIconPath, std::int32_t lSelectTop = 50,
                   const std::string& sMsg = "Vantrel提示", const std::string& sUser = "",
                   const std::string& sConstStrPtcx = "普通查询", const std::string& sConstStrLr = "录入",
                   const std::string& sConstStrZdy = "自定义查询",
                   const std::string& sForTypeText = "请输入或选择查询类型");

    /// Stores the look of host forms in the calling thread's SessionContext.
    void mInit_Form(std::int32_t lF_BackColor = static_cast<std::int32_t>(0x8000000F),
                    std::int32_t lF_ForColor = static_cast<std::int32_t>(0x80000012), std::int32_t lF_Width = 5910,
                    std::int32_t lF_Height = 4515,
                    std::int32_t lT_BackColor_Notnull = static_cast<std::int32_t>(0x80000018),
                    std::int32_t lT_Appearence = 1, std::int32_t lT_FontSize = 10, bool bT_FontBold = false,
                    std::int32_t lT_ForeColor = static_cast<std::int32_t>(0x80000012),
                    std::int32_t lL_forColor_Select = 0xFF0000, std::int32_t lL_FontSize = 9, bool bL_FontBold = false,
                    std::int32_t lL_ForeColor = static_cast<std::int32_t>(0x80000012));
};

}  // namespace Palvo
