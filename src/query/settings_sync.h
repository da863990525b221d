// Keeping the settings sets of 查询打印设置 in line with their table: a set
// stored before the table gained or lost columns is brought up to date when it
// is read, so that its lists name only columns the table has.
#pragma once

#include <string>
#include <vector>

#include "palvo/data.h"

namespace Palvo::query {

/// Brings every settings set of `user` on `table` in `category` into line with
/// the table's current columns. Rows of columns the table no longer has go;
/// columns it has gained since these sets were last read on this connection,
/// that seeding would take (not of the long or binary types, not 编号, 编号1
/// or 编号2), are added after the set's last row, shown,
/// with no sort, total or grouping, in table order. A set whose condition
/// items name a dropped column loses its condition (查询条件 emptied; the
/// items stay, so that the custom query dialog can say what went). Sets of
/// category 录入 are one set across their query names, as sGetField reads
/// them. All changes run in one transaction (the host's, when one is open).
/// Nothing is read again while the database's table definitions have not
/// changed (Connection::schemaStamp); a name the catalogue does not know
/// changes nothing.
void syncSettingsSets(Connection& conn, const std::string& table, const std::string& user,
                      const std::string& category);

/// The condition items without the rows whose column (trimmed) is not one of
/// `columns` (compared as the database compares column names); `dropped`
/// receives each such column once, in the order met. When leading rows go,
/// the new first row loses its connective.
std::string itemsWithoutColumns(const std::string& items, const std::vector<std::string>& columns,
                                std::vector<std::string>& dropped);

/// The notice of the custom query dialog for condition rows that named
/// columns the table no longer has.
std::string droppedConditionNotice(const std::vector<std::string>& columns);

}  // namespace Palvo::query
