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

}  // namespace Palvo::forms
