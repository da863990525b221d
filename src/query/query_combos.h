// The combo boxes of a host query form (clsSearch). Each leaves
// the form alone and on any failure returns quietly with the combo filled as
// far as it came.
#pragma once

#include <string>

#include "palvo/controls.h"
#include "palvo/form.h"

namespace Palvo::query {

/// An empty cxLb becomes the ordinary-query category, also in the caller's variable.
void fillTypeCombo(Form& frm, ComboBox& cmb, const std::string& tbname, std::string& cxLb);
/// strTag "table,column", or the combo's Tag when empty.
void fillConditionCombo(Form& frm, ComboBox& cmb, std::string& strTag);

}  // namespace Palvo::query
