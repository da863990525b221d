// The tables a host database must hold, for the embedded database; what tools
// call is public in palvo/host_tables.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "palvo/data.h"
#include "palvo/host_tables.h"

namespace Palvo::data {

/// The statements of a script, split at lines holding only "GO" (any case).
std::vector<std::string> splitScript(std::string_view script);

/// The script that creates 查询打印设置, 更新表记录, SendSql, 编辑权限 and B_单位
/// in the embedded database.
std::string_view hostTablesScript();

/// Whether a table name can stand unbracketed after "from": one to four
/// dot-separated parts, each a plain name (letters, digits, _ @ # $) or a
/// [bracketed] or "quoted" one with its closing mark doubled inside. Blanks
/// around the whole are allowed. Anything else could carry more SQL.
bool isObjectName(std::string_view name);

/// A column name as built statements write it: unchanged when it is a plain
/// identifier (a letter or "_", then letters, digits or "_", and no reserved
/// word of T-SQL), so 名称 and Amount_2 stay as they are; any other name in
/// square brackets with each "]" doubled ([单价(元)], [单 价], [a]]b], [order],
/// [a#1]). Letters are those of ASCII, the Latin, Greek and Cyrillic
/// alphabets, CJK ideographs, kana and Hangul; a name with any other
/// character is bracketed, which a database always reads as the same name.
/// An empty name is returned empty.
std::string sqlColumnName(std::string_view name);

}  // namespace Palvo::data
