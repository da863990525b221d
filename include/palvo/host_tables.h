// The tables a host database must hold (查询打印设置, 更新表记录, SendSql,
// 编辑权限 and B_单位), for tools that set up an embedded database.
#pragma once

#include <string>
#include <vector>

#include "palvo/data.h"

namespace Palvo::query {

/// Creates every host table that the database does not hold yet; returns the
/// names created. Throws Palvo::Error.
std::vector<std::string> createHostTables(Connection& conn);

/// Whether the database has a table of that name (from its catalogue).
bool tableExists(Connection& conn, const std::string& name);

}  // namespace Palvo::query
