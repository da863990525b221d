// The reference registry 更新表记录: which column of which table takes its
// values from a master column; cascading master key changes and guarding deletes.
#pragma once

#include <string>
#include <vector>

#include "palvo/form.h"

namespace Palvo::forms {

/// Adds the row (主表, 主表字段, 附表, 附表字段) unless it is there already.
void registerReference(const std::string& master, const std::string& masterColumn, const std::string& table,
                       const std::string& column);

}  // namespace Palvo::forms
