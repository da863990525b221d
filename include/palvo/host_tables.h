// The tables a host database must hold (查询打印设置, 更新表记录, SendSql,
// 编辑权限 and B_单位), for tools that set up an embedded database.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "palvo/data.h"
#include "palvo/export.h"

namespace Palvo::data {

/// Called with each statement (the CREATE TABLE, then its indexes) of a host
/// table the database already holds, for a tool that checks it is whole.
using ExistingTableStatement = std::function<void(const std::string& statement)>;

/// Creates every host table that the database does not hold yet; returns the
/// names created. The statements of the tables already there go to `existing`
/// when given. Throws Palvo::Error.
PALVO_API std::vector<std::string> createHostTables(Connection& conn,
                                                    const ExistingTableStatement& existing = {});

/// A column that one settings set of 查询打印设置 holds more than once.
struct PALVO_API RepeatedSetting {
    std::string table, user, category, query, column;
    long rows = 0;  // how many rows it has
};

/// Every column held more than once by a settings set (表名, 用户名, 查询类别,
/// 查询名 compared as the table's columns compare), by set and column.
PALVO_API std::vector<RepeatedSetting> repeatedSettings(Connection& conn);

/// Deletes every row of 查询打印设置 that repeats a column of its set but the
/// first stored (the embedded database's row order); returns the rows deleted.
PALVO_API long removeRepeatedSettings(Connection& conn);

/// Whether the database has a table of that name (from its catalogue).
PALVO_API bool tableExists(Connection& conn, const std::string& name);

}  // namespace Palvo::data
