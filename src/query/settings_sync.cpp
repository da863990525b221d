#include "src/query/settings_sync.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "palvo/error.h"
#include "palvo/host_tables.h"
#include "palvo/text.h"
#include "src/query/condition_editor.h"
#include "src/query/settings_store.h"

namespace Palvo::query {

namespace {

// Column names compare as the database compares them: without regard to the
// case of ASCII letters, trailing blanks ignored.
std::string nameKey(std::string_view name) {
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    return base::asciiLower(name);
}

// Types and names seeding leaves out (seedStatement): a gained column of these
// is not added either.
bool seedingTakes(const std::string& name, const std::string& type) {
    static const std::set<std::string> kTypes = {"binary",      "image", "ntext",
                                                 "sql_variant", "text",  "varbinary"};
    if (kTypes.count(base::asciiLower(type))) return false;
    const std::string key = nameKey(name);
    return key != "编号" && key != "编号1" && key != "编号2";
}

std::string quoted(const Value& v) { return v.isNull() ? "NULL" : "'" + base::sqlQuote(v.toText()) + "'"; }

struct Row {
    std::string query;
    std::string name;
    double order;
    Value condition;
    Value items;
};

// What one opening of a connection last found for the sets of one (table, user,
// category) once they were in line, outside any host transaction: the schema
// stamp then (none on a backend without one) and the table's columns with
// their types. Per thread, as all module state.
struct Seen {
    std::uint64_t opening;
    std::optional<std::int64_t> version;
    std::vector<std::string> columns;
};
std::map<std::string, Seen>& seen() {
    thread_local std::map<std::string, Seen> map;
    return map;
}
// The openings that found the record table (or made it) outside a host transaction.
std::set<std::uint64_t>& recordTableFound() {
    thread_local std::set<std::uint64_t> openings;
    return openings;
}

const std::string kRecord = kColumnRecordTable;

// The sizes hold what 查询打印设置 holds; the index stays within SQL Server's 900 bytes.
const char* const kCreateRecord =
    "create table 查询打印设置表字段 (表名 nvarchar(256) not null, 用户名 nvarchar(128) not null, "
    "查询类别 nvarchar(256) not null, 查询名 nvarchar(1000) not null, 字段名 nvarchar(256) not null)";
const char* const kIndexRecord = "create index IX_查询打印设置表字段 on 查询打印设置表字段 (表名, 用户名)";

bool recordTableThere(Connection& conn) {
    if (recordTableFound().count(conn.openingNumber())) return true;
    const bool there = data::tableExists(conn, kRecord);
    // a host's transaction may still take away a table made in it
    if (there && !conn.InTransaction()) recordTableFound().insert(conn.openingNumber());
    return there;
}

// The schema stamps just before and after the record table was made, in the
// transaction that made it.
struct Made {
    std::optional<Connection::SchemaStamp> before, after;
};

// Makes the record table, unless another program made it meanwhile.
Made createRecordTable(Connection& conn) {
    Made made{conn.schemaStamp(), std::nullopt};
    try {
        conn.Execute(kCreateRecord);
    } catch (const Error&) {
        if (data::tableExists(conn, kRecord)) return made;
        throw;
    }
    conn.Execute(kIndexRecord);
    made.after = conn.schemaStamp();
    return made;
}

// Once the transaction that made the record table is committed: the sets found in
// line just before are so still, the new table being all that changed.
void madeRecordTable(Connection& conn, const Made& made) {
    recordTableFound().insert(conn.openingNumber());
    if (!made.before || !made.after) return;
    for (auto& entry : seen()) {
        Seen& s = entry.second;
        if (s.opening == conn.openingNumber() && s.version == made.before->version)
            s.version = made.after->version;
    }
}

// " where ..." of the rows of one (table, user, category), in the sets and in their records.
std::string recordWhere(const std::string& t, const std::string& u, const std::string& c) {
    return " where 表名='" + t + "' and 用户名='" + u + "' and 查询类别='" + c + "'";
}

// Deletes the record of one set; the texts are quoted already.
std::string recordDelete(const std::string& groupWhere, const std::string& q) {
    return "delete from " + kRecord + groupWhere + " and 查询名='" + q + "'";
}

// The statements that make `names` the record of one set; the texts are quoted already.
std::vector<std::string> recordStatements(const std::string& groupWhere, const std::string& t,
                                          const std::string& u, const std::string& c, const std::string& q,
                                          const std::vector<std::string>& names) {
    std::vector<std::string> out{recordDelete(groupWhere, q)};
    const std::string head = "insert into " + kRecord + " (表名,用户名,查询类别,查询名,字段名)";
    const std::string values = " select '" + t + "','" + u + "','" + c + "','" + q + "','";
    // a compound select of SQLite takes at most 500 parts
    constexpr std::size_t kPerStatement = 100;
    for (std::size_t i = 0; i < names.size(); i += kPerStatement) {
        std::string sql = head;
        for (std::size_t j = i; j < std::min(names.size(), i + kPerStatement); ++j)
            sql += (j == i ? "" : " union all") + values + base::sqlQuote(names[j]) + "'";
        out.push_back(std::move(sql));
    }
    return out;
}

}  // namespace

std::string itemsWithoutColumns(const std::string& items, const std::vector<std::string>& columns,
                                std::vector<std::string>& dropped) {
    std::set<std::string> known;
    for (const std::string& c : columns) known.insert(nameKey(c));
    std::vector<std::vector<std::string>> kept;
    bool cutHead = false;
    for (auto& row : conditionRows(items)) {
        const std::string column = row.size() > 2 ? base::trim(row[2]) : std::string();
        if (!column.empty() && !known.count(nameKey(column))) {
            if (std::find(dropped.begin(), dropped.end(), column) == dropped.end()) dropped.push_back(column);
            cutHead = cutHead || kept.empty();
            continue;
        }
        kept.push_back(std::move(row));
    }
    // the first row joins nothing before it
    if (cutHead && !kept.empty() && kept.front().size() > 1) kept.front()[1].clear();
    return conditionItems(kept);
}

std::string droppedConditionNotice(const std::vector<std::string>& columns) {
    std::string names;
    for (const std::string& c : columns) names += (names.empty() ? "“" : "、“") + c + "”";
    return "表中已没有字段" + names + "，含有" + (columns.size() > 1 ? "这些" : "该") +
           "字段的查询条件已删除，请检查查询条件后重新保存！";
}

namespace {

// A table's columns in their order, as syscolumns lists them.
struct TableColumns {
    std::vector<std::string> names;
    std::vector<std::string> types;  // type_name(xtype), which seeding looks at
    std::vector<std::string> stamp;  // name and type of each: what a later call compares
    std::set<std::string> present;   // nameKey of each
};

TableColumns readColumns(Connection& conn, const std::string& quotedTable) {
    const ResultTable r = conn.Query("select name, type_name(xtype) from syscolumns where object_name(id)='" +
                                     quotedTable + "' order by colid");
    TableColumns cols;
    for (std::size_t i = 0; i < r.rowCount(); ++i) {
        cols.names.push_back(r.at(i, 0).toText());
        cols.types.push_back(r.at(i, 1).toText());
        cols.stamp.push_back(cols.names.back() + '\x1f' + cols.types.back());
        cols.present.insert(nameKey(cols.names.back()));
    }
    return cols;
}

std::vector<Row> readRows(Connection& conn, const std::string& where) {
    const ResultTable stored = conn.Query(
        "select 查询名,字段名,排列顺序,查询条件,条件项目 from 查询打印设置" + where + " order by 排列顺序");
    std::vector<Row> rows;
    rows.reserve(stored.rowCount());
    for (std::size_t r = 0; r < stored.rowCount(); ++r) {
        rows.push_back({stored.at(r, 0).toText(), stored.at(r, 1).toText(), stored.at(r, 2).toDouble(),
                        stored.at(r, 3), stored.at(r, 4)});
    }
    return rows;
}

// The columns each set was last brought in line with, by query name. Clears
// `recordThere` when the record table went since it was found.
std::map<std::string, std::set<std::string>> readRecords(Connection& conn, const std::string& where,
                                                         bool& recordThere) {
    std::map<std::string, std::set<std::string>> recorded;
    if (!recordThere) return recorded;
    try {
        const ResultTable r = conn.Query("select 查询名, 字段名 from " + kRecord + where);
        for (std::size_t i = 0; i < r.rowCount(); ++i)
            recorded[r.at(i, 0).toText()].insert(nameKey(r.at(i, 1).toText()));
    } catch (const Error&) {
        // dropped since it was found: made again
        recordTableFound().erase(conn.openingNumber());
        if (data::tableExists(conn, kRecord)) throw;
        recordThere = false;
    }
    return recorded;
}

// What brings the sets in line: deletes, then additions, then emptied conditions,
// so that an added row takes the condition its set held and loses it with the
// others; the records last.
struct Changes {
    std::vector<std::string> deletes, updates, records;
    std::vector<std::pair<std::string, std::string>> additions;    // the row's set and name, the statement
    std::vector<std::pair<std::string, std::string>> goneRecords;  // the set's rows, the delete

    bool any() const {
        return !deletes.empty() || !additions.empty() || !records.empty() || !goneRecords.empty();
    }
};

// The quoted texts of one (table, user, category) and its " where ...".
struct Group {
    std::string t, u, c, where;
    bool entry;  // 录入: one set across query names, recorded without a name
};

// Adds the columns gained since the set's record, after the set's last row.
void addGained(const Group& g, const TableColumns& cols, const std::set<std::string>& record,
               std::set<std::string>& have, const std::string& setWhere, const Row& lastRow, Changes& out) {
    auto order = static_cast<long long>(lastRow.order);
    for (std::size_t r = 0; r < cols.names.size(); ++r) {
        const std::string k = nameKey(cols.names[r]);
        if (record.count(k) || have.count(k) || !seedingTakes(cols.names[r], cols.types[r])) continue;
        have.insert(k);
        const std::string n = base::sqlQuote(cols.names[r]);
        out.additions.emplace_back(
            setWhere + " and 字段名='" + n + "'",
            "Insert Into "
            "查询打印设置(表名,字段名,选择标志,排列顺序,查询类别,查询名,用户名,查询条件,条件项目) "
            "select '" +
                g.t + "','" + n + "',1," + std::to_string(++order) + ",'" + g.c + "','" +
                base::sqlQuote(lastRow.query) + "','" + g.u + "'," + quoted(lastRow.condition) + "," +
                quoted(lastRow.items) + " where ");
    }
}

// A stored condition naming a dropped column would fail every query: it goes, its items stay.
void clearConditionsNaming(const Group& g, const std::vector<const Row*>& members,
                           const std::set<std::string>& dropped, Changes& out) {
    std::set<std::string> judged;
    for (const Row* row : members) {
        if (row->items.isNull() || !judged.insert(row->query).second) continue;
        bool namesDropped = false;
        for (const auto& cells : conditionRows(row->items.toText())) {
            namesDropped = namesDropped || (cells.size() > 2 && dropped.count(nameKey(base::trim(cells[2]))));
        }
        if (namesDropped) {
            out.updates.push_back("update 查询打印设置 set 查询条件=''" + g.where + " and 查询名='" +
                                  base::sqlQuote(row->query) + "'");
        }
    }
}

Changes planChanges(const Group& g, const TableColumns& cols, const std::vector<Row>& rows,
                    const std::map<std::string, std::set<std::string>>& recorded) {
    std::map<std::string, std::vector<const Row*>> sets;
    for (const Row& row : rows) sets[g.entry ? std::string() : row.query].push_back(&row);
    Changes out;
    for (const auto& [query, members] : sets) {
        const std::string setWhere =
            g.entry ? g.where : g.where + " and 查询名='" + base::sqlQuote(query) + "'";
        // no record (an older version's set, or one a host wrote): the columns as they are, none gained
        const auto record = recorded.find(query);
        if (record == recorded.end() || record->second != cols.present) {
            for (std::string& sql :
                 recordStatements(g.where, g.t, g.u, g.c, base::sqlQuote(query), cols.names))
                out.records.push_back(std::move(sql));
        }
        std::set<std::string> have, dropped;
        const Row* lastRow = nullptr;
        for (const Row* row : members) {
            const std::string k = nameKey(row->name);
            if (!cols.present.count(k)) {
                out.deletes.push_back("delete from 查询打印设置" + g.where + " and 查询名='" +
                                      base::sqlQuote(row->query) + "' and 字段名='" +
                                      base::sqlQuote(row->name) + "'");
                dropped.insert(k);
                continue;
            }
            have.insert(k);
            if (!lastRow || row->order >= lastRow->order) lastRow = row;
        }
        if (!lastRow) lastRow = members.back();  // every column went: the new ones follow where the set ended
        if (record != recorded.end()) addGained(g, cols, record->second, have, setWhere, *lastRow, out);
        if (!dropped.empty()) clearConditionsNaming(g, members, dropped, out);
    }
    // records of sets that are gone: a set seeded anew gets a record of its own. Another program
    // may have seeded the set since it was read, its record with it: the delete looks again.
    for (const auto& entryOfRecord : recorded) {
        if (sets.count(entryOfRecord.first)) continue;
        const std::string q = base::sqlQuote(entryOfRecord.first);
        out.goneRecords.emplace_back(g.entry ? g.where : g.where + " and 查询名='" + q + "'",
                                     recordDelete(g.where, q));
    }
    return out;
}

// Runs the changes all or nothing; inside the host's transaction, as part of it.
std::optional<Made> applyChanges(Connection& conn, const Changes& ch, bool recordThere,
                                 bool inHostTransaction) {
    std::optional<Made> made;
    std::optional<Transaction> tx;
    if (!inHostTransaction) tx.emplace(conn);
    if (!recordThere && !ch.records.empty()) made = createRecordTable(conn);
    for (const std::string& sql : ch.deletes) conn.Execute(sql);
    // each row only while its set lacks it, checked under the write lock: two readers add it once
    for (const auto& addition : ch.additions) {
        seedOnce(conn, addition.first, [&](const std::string& guard) { return addition.second + guard; });
    }
    for (const std::string& sql : ch.updates) conn.Execute(sql);
    for (const std::string& sql : ch.records) conn.Execute(sql);
    for (const auto& gone : ch.goneRecords)
        seedOnce(conn, gone.first, [&](const std::string& guard) { return gone.second + " and " + guard; });
    if (tx) tx->commit();
    return made;
}

}  // namespace

void syncSettingsSets(Connection& conn, const std::string& table, const std::string& user,
                      const std::string& category) {
    const std::string key = table + '\x1f' + user + '\x1f' + category;
    const std::uint64_t opening = conn.openingNumber();
    const std::optional<Connection::SchemaStamp> stamp = conn.schemaStamp();
    const std::optional<std::int64_t> version = stamp ? std::optional(stamp->version) : std::nullopt;
    const Seen* last = nullptr;
    if (auto it = seen().find(key); it != seen().end() && it->second.opening == opening) last = &it->second;
    if (last && version && last->version == version) return;

    const std::string t = base::sqlQuote(table), u = base::sqlQuote(user), c = base::sqlQuote(category);
    const Group g{t, u, c, recordWhere(t, u, c), category == "录入"};
    const TableColumns cols = readColumns(conn, g.t);
    const bool inHostTransaction = conn.InTransaction();
    const auto remember = [&] {
        // a host's transaction may still be rolled back: look again next time
        if (!inHostTransaction) seen()[key] = Seen{opening, version, cols.stamp};
    };
    // the columns these sets were found in line with, or not a table (or one the catalogue cannot
    // see): a misspelt name must not empty the user's sets
    if ((last && last->columns == cols.stamp) || cols.names.empty()) {
        remember();
        return;
    }
    const std::vector<Row> rows = readRows(conn, g.where);
    bool recordThere = recordTableThere(conn);
    const auto recorded = readRecords(conn, g.where, recordThere);
    const Changes changes = planChanges(g, cols, rows, recorded);
    std::optional<Made> made;
    if (changes.any()) made = applyChanges(conn, changes, recordThere, inHostTransaction);
    remember();
    if (made && !inHostTransaction) madeRecordTable(conn, *made);
}

void seedSet(Connection& conn, const std::string& table, const std::string& user, const std::string& category,
             const std::string& query, const std::string& where,
             const std::function<std::string(const std::string&)>& seed) {
    const bool inHostTransaction = conn.InTransaction();
    std::optional<Transaction> tx;
    if (!inHostTransaction) tx.emplace(conn);
    std::optional<Made> made;
    // -1: the database did not say; the record is written all the same
    if (seedOnce(conn, where, seed) != 0) {
        if (!recordTableThere(conn)) made = createRecordTable(conn);
        const std::string t = base::sqlQuote(table), u = base::sqlQuote(user), c = base::sqlQuote(category),
                          q = base::sqlQuote(category == "录入" ? std::string() : query);
        conn.Execute(recordDelete(recordWhere(t, u, c), q));
        conn.Execute("insert into " + kRecord + " (表名,用户名,查询类别,查询名,字段名) select '" + t + "','" +
                     u + "','" + c + "','" + q + "',name from syscolumns where object_name(id)='" + t + "'");
    }
    if (tx) tx->commit();
    if (made && !inHostTransaction) madeRecordTable(conn, *made);
}

}  // namespace Palvo::query
