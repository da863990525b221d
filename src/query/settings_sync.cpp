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
    return util::asciiLower(name);
}

// Types and names seeding leaves out (seedStatement): a gained column of these
// is not added either.
bool seedingTakes(const std::string& name, const std::string& type) {
    static const std::set<std::string> kTypes = {"binary",      "image", "ntext",
                                                 "sql_variant", "text",  "varbinary"};
    if (kTypes.count(util::asciiLower(type))) return false;
    const std::string key = nameKey(name);
    return key != "编号" && key != "编号1" && key != "编号2";
}

std::string quoted(const Value& v) { return v.isNull() ? "NULL" : "'" + util::sqlQuote(v.toText()) + "'"; }

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
    const bool there = tableExists(conn, kRecord);
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
        if (tableExists(conn, kRecord)) return made;
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
            sql += (j == i ? "" : " union all") + values + util::sqlQuote(names[j]) + "'";
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
        const std::string column = row.size() > 2 ? util::trim(row[2]) : std::string();
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

void syncSettingsSets(Connection& conn, const std::string& table, const std::string& user,
                      const std::string& category) {
    const std::string key = table + '\x1f' + user + '\x1f' + category;
    const std::uint64_t opening = conn.openingNumber();
    const std::optional<Connection::SchemaStamp> stamp = conn.schemaStamp();
    const std::optional<std::int64_t> version = stamp ? std::optional(stamp->version) : std::nullopt;
    const Seen* last = nullptr;
    if (auto it = seen().find(key); it != seen().end() && it->second.opening == opening) last = &it->second;
    if (last && version && last->version == version) return;

    const std::string t = util::sqlQuote(table), u = util::sqlQuote(user), c = util::sqlQuote(category);
    // the table's columns in their order, with the type seeding looks at
    const ResultTable columns = conn.Query(
        "select name, type_name(xtype) from syscolumns where object_name(id)='" + t + "' order by colid");
    std::vector<std::string> now;
    std::set<std::string> present;
    std::vector<std::string> names;
    for (std::size_t r = 0; r < columns.rowCount(); ++r) {
        names.push_back(columns.at(r, 0).toText());
        now.push_back(names.back() + '\x1f' + columns.at(r, 1).toText());
        present.insert(nameKey(names.back()));
    }
    const bool inHostTransaction = conn.InTransaction();
    const auto remember = [&] {
        // a host's transaction may still be rolled back: look again next time
        if (!inHostTransaction) seen()[key] = Seen{opening, version, now};
    };
    // the columns these sets were found in line with, or not a table (or one the catalogue cannot
    // see): a misspelt name must not empty the user's sets
    if ((last && last->columns == now) || names.empty()) {
        remember();
        return;
    }

    const std::string where = recordWhere(t, u, c);
    const ResultTable stored = conn.Query(
        "select 查询名,字段名,排列顺序,查询条件,条件项目 from 查询打印设置" + where + " order by 排列顺序");
    std::vector<Row> rows;
    rows.reserve(stored.rowCount());
    for (std::size_t r = 0; r < stored.rowCount(); ++r) {
        rows.push_back({stored.at(r, 0).toText(), stored.at(r, 1).toText(), stored.at(r, 2).toDouble(),
                        stored.at(r, 3), stored.at(r, 4)});
    }
    // the columns each set was last brought in line with, by query name
    bool recordThere = recordTableThere(conn);
    std::map<std::string, std::set<std::string>> recorded;
    if (recordThere) {
        try {
            const ResultTable r = conn.Query("select 查询名, 字段名 from " + kRecord + where);
            for (std::size_t i = 0; i < r.rowCount(); ++i)
                recorded[r.at(i, 0).toText()].insert(nameKey(r.at(i, 1).toText()));
        } catch (const Error&) {
            // dropped since it was found: made again below
            recordTableFound().erase(opening);
            if (tableExists(conn, kRecord)) throw;
            recordThere = false;
        }
    }

    // Sets of 录入 are read across query names: they are one set here too, recorded without a name.
    const bool entry = category == "录入";
    std::map<std::string, std::vector<const Row*>> sets;
    for (const Row& row : rows) sets[entry ? std::string() : row.query].push_back(&row);

    // deletes, then additions, then emptied conditions, so that an added row takes
    // the condition its set held and loses it with the others; the records last
    std::vector<std::string> deletes, updates, records;
    std::vector<std::pair<std::string, std::string>> additions;  // the row's set and name, the statement
    for (const auto& [query, members] : sets) {
        const std::string setWhere = entry ? where : where + " and 查询名='" + util::sqlQuote(query) + "'";
        // no record (an older version's set, or one a host wrote): the columns as they are, none gained
        const auto record = recorded.find(query);
        if (record == recorded.end() || record->second != present) {
            for (std::string& sql : recordStatements(where, t, u, c, util::sqlQuote(query), names))
                records.push_back(std::move(sql));
        }
        std::set<std::string> have, dropped;
        const Row* lastRow = nullptr;
        for (const Row* row : members) {
            const std::string k = nameKey(row->name);
            if (!present.count(k)) {
                deletes.push_back("delete from 查询打印设置" + where + " and 查询名='" +
                                  util::sqlQuote(row->query) + "' and 字段名='" + util::sqlQuote(row->name) +
                                  "'");
                dropped.insert(k);
                continue;
            }
            have.insert(k);
            if (!lastRow || row->order >= lastRow->order) lastRow = row;
        }
        if (!lastRow) lastRow = members.back();  // every column went: the new ones follow where the set ended
        auto order = static_cast<long long>(lastRow->order);
        for (std::size_t r = 0; record != recorded.end() && r < names.size(); ++r) {
            const std::string k = nameKey(names[r]);
            if (record->second.count(k) || have.count(k) ||
                !seedingTakes(names[r], columns.at(r, 1).toText()))
                continue;
            have.insert(k);
            const std::string n = util::sqlQuote(names[r]);
            additions.emplace_back(
                setWhere + " and 字段名='" + n + "'",
                "Insert Into "
                "查询打印设置(表名,字段名,选择标志,排列顺序,查询类别,查询名,用户名,查询条件,条件项目) "
                "select '" +
                    t + "','" + n + "',1," + std::to_string(++order) + ",'" + c + "','" +
                    util::sqlQuote(lastRow->query) + "','" + u + "'," + quoted(lastRow->condition) + "," +
                    quoted(lastRow->items) + " where ");
        }
        if (dropped.empty()) continue;
        // a stored condition naming a dropped column would fail every query: it goes, its items stay
        std::set<std::string> judged;
        for (const Row* row : members) {
            if (row->items.isNull() || !judged.insert(row->query).second) continue;
            bool namesDropped = false;
            for (const auto& cells : conditionRows(row->items.toText())) {
                namesDropped =
                    namesDropped || (cells.size() > 2 && dropped.count(nameKey(util::trim(cells[2]))));
            }
            if (namesDropped) {
                updates.push_back("update 查询打印设置 set 查询条件=''" + where + " and 查询名='" +
                                  util::sqlQuote(row->query) + "'");
            }
        }
    }
    // records of sets that are gone: a set seeded anew gets a record of its own. Another program
    // may have seeded the set since it was read, its record with it: the delete looks again.
    std::vector<std::pair<std::string, std::string>> goneRecords;  // the set's rows, the delete
    for (const auto& entryOfRecord : recorded) {
        if (sets.count(entryOfRecord.first)) continue;
        const std::string q = util::sqlQuote(entryOfRecord.first);
        goneRecords.emplace_back(entry ? where : where + " and 查询名='" + q + "'", recordDelete(where, q));
    }
    std::optional<Made> made;
    if (!deletes.empty() || !additions.empty() || !records.empty() || !goneRecords.empty()) {
        // all or nothing; inside the host's transaction, part of it
        std::optional<Transaction> tx;
        if (!inHostTransaction) tx.emplace(conn);
        if (!recordThere && !records.empty()) made = createRecordTable(conn);
        for (const std::string& sql : deletes) conn.Execute(sql);
        // each row only while its set lacks it, checked under the write lock: two readers add it once
        for (const auto& addition : additions) {
            seedOnce(conn, addition.first, [&](const std::string& guard) { return addition.second + guard; });
        }
        for (const std::string& sql : updates) conn.Execute(sql);
        for (const std::string& sql : records) conn.Execute(sql);
        for (const auto& gone : goneRecords)
            seedOnce(conn, gone.first,
                     [&](const std::string& guard) { return gone.second + " and " + guard; });
        if (tx) tx->commit();
    }
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
        const std::string t = util::sqlQuote(table), u = util::sqlQuote(user), c = util::sqlQuote(category),
                          q = util::sqlQuote(category == "录入" ? std::string() : query);
        conn.Execute(recordDelete(recordWhere(t, u, c), q));
        conn.Execute("insert into " + kRecord + " (表名,用户名,查询类别,查询名,字段名) select '" + t + "','" +
                     u + "','" + c + "','" + q + "',name from syscolumns where object_name(id)='" + t + "'");
    }
    if (tx) tx->commit();
    if (made && !inHostTransaction) madeRecordTable(conn, *made);
}

}  // namespace Palvo::query
