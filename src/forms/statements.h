// Statement pieces of an entry form: INSERT lists, the UPDATE set list, key
// conditions from the form and from a grid row, and the form's new-record state.
#pragma once

#include <string>
#include <vector>

#include "palvo/form.h"
#include "palvo/grid.h"

namespace Palvo::forms {

/// How text values enter a condition: doubled quotes for SQL, or as typed for
/// the messages that show the condition to the user. Numbers are the number
/// read from the text either way.
enum class Quoting { Sql, AsTyped };

/// The key condition of sGetKeyWord, with values quoted as asked.
std::string keyCondition(Form& frm, const std::string& X, const std::vector<std::string>& sFieldType,
                         const std::string& sKey, const std::vector<std::string>& sData, Quoting quoting);

std::string keyCondition(Form& frm, const std::string& X, const std::vector<std::string>& sFieldType,
                         const std::string& sKey, const std::vector<std::string>& sData);
std::string insertText(Form& frm, const std::vector<std::string>& sFieldType,
                       const std::string& Field_or_Value);

}  // namespace Palvo::forms
