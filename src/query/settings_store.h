// The query-print settings table 查询打印设置: the statement that seeds a
// settings set from the server catalogue.
#pragma once

#include <functional>
#include <string>

#include "palvo/controls.h"
#include "palvo/data.h"

namespace Palvo::query {

/// The seeding statement for table T, category C, query name N and user U:
/// one shown row per eligible column of T, ordered by its catalogue ordinal.
/// Identifier columns 编号, 编号1 and 编号2 are left out unless sMustSetString
/// is not empty. The four names are plain texts: their single quotes are
/// doubled here, so a name can never end its quotes early.
std::string seedStatement(const std::string& T, const std::string& C, const std::string& N,
                          const std::string& U, const std::string& sMustSetString);

/// Runs the seeding statement `seed(guard)` builds, where `guard` is a condition
/// ("not exists (...)") the statement must add to its own: it holds while the
/// settings set that `where` (" where ...") names has no rows. The check and the
/// rows it adds are one statement, run under the database's write lock (the lock
/// hints UPDLOCK and HOLDLOCK where the connection's capabilities say the database
/// needs and understands them, as SQL Server), so a set is seeded once however many
/// users ask for it at the same moment. Inside a host's transaction it runs as
/// part of it and commits nothing. Returns the rows added (-1 when the database
/// does not say).
long seedOnce(Connection& conn, const std::string& where,
              const std::function<std::string(const std::string&)>& seed);

}  // namespace Palvo::query
