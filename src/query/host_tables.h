// The tables a host database must hold, for the embedded database.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "palvo/data.h"

namespace Palvo::query {

/// The statements of a script, split at lines holding only "GO" (any case).
std::vector<std::string> splitScript(std::string_view script);

/// The script that creates 查询打印设置, 更新表记录, SendSql, 编辑权限 and B_单位
/// in the embedded database.
std::string_view hostTablesScript();

/// Creates every host table that the database does not hold yet; returns the
/// names created. Throws Palvo::Error.
std::vector<std::string> createHostTables(Connection& conn);

/// Whether a table name can stand unbracketed after "from": one to four
/// dot-separated parts, each a plain name (letters, digits, _ @ # $) or a
/// [bracketed] or "quoted" one with its closing mark doubled inside. Blanks
/// around the whole are allowed. Anything else could carry more SQL.
bool isObjectName(std::string_view name);

/// Whether the database has a table of that name (from its catalogue).
bool tableExists(Connection& conn, const std::string& name);

}  // namespace Palvo::query
