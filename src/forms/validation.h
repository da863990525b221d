// Checking an entry form before it is saved, and filtering its key presses by column type.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "palvo/form.h"

namespace Palvo::forms {

std::string checkData(Form& frm, const std::vector<std::string>& sFieldType,
                      const std::vector<std::int16_t>& iFieldlen, const std::string& sKey,
                      const std::string& sIndex, const std::string& tbname,
                      const std::vector<std::string>& sData, bool bKeyEdit, const std::string& NotCheck,
                      bool bNewSave);

std::int16_t filterEntryKey(Form& frm, std::int16_t iIndex, std::int16_t KeyAscii,
                            const std::vector<std::string>& sFieldType,
                            const std::vector<std::int16_t>& iFieldlen,
                            const std::vector<std::int16_t>& iNumScale);

/// The condition of a failed uniqueness query as the user reads it: every "and" becomes "并且".
std::string conditionForUser(const std::string& condition);

}  // namespace Palvo::forms
