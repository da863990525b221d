#include "src/query/settings_sync.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

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

// Each (table, user, category): the stamp its sets were last found in line at,
// and the table's columns then; per thread as all module state.
struct Seen {
    Connection::SchemaStamp stamp;
    std::set<std::string> columns;
};
using Synced = std::map<std::string, Seen>;
Synced& synced() {
    thread_local Synced map;
    return map;
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
    const std::optional<Connection::SchemaStamp> stamp = conn.schemaStamp();
    if (stamp) {
        auto it = synced().find(key);
        if (it != synced().end() && it->second.stamp == *stamp) return;
    }
    // a column is gained only when these sets were read before it came: a set a host
    // wrote with some of the columns on purpose keeps to them
    std::optional<std::set<std::string>> before;
    if (auto it = synced().find(key);
        stamp && it != synced().end() && it->second.stamp.opening == stamp->opening)
        before = it->second.columns;

    const std::string t = util::sqlQuote(table), u = util::sqlQuote(user), c = util::sqlQuote(category);
    // the table's columns in their order, with the type seeding looks at
    const ResultTable columns = conn.Query(
        "select name, type_name(xtype) from syscolumns where object_name(id)='" + t + "' order by colid");
    const bool inHostTransaction = conn.InTransaction();
    std::set<std::string> present;
    for (std::size_t r = 0; r < columns.rowCount(); ++r) present.insert(nameKey(columns.at(r, 0).toText()));
    const auto remember = [&] {
        // a host's transaction may still be rolled back: look again next time
        if (stamp && !inHostTransaction) synced()[key] = Seen{*stamp, present};
    };
    // not a table (or one the catalogue cannot see): a misspelt name must not empty the user's sets
    if (columns.rowCount() == 0) {
        remember();
        return;
    }

    const std::string where = " where 表名='" + t + "' and 用户名='" + u + "' and 查询类别='" + c + "'";
    const ResultTable stored = conn.Query(
        "select 查询名,字段名,排列顺序,查询条件,条件项目 from 查询打印设置" + where + " order by 排列顺序");
    std::vector<Row> rows;
    rows.reserve(stored.rowCount());
    for (std::size_t r = 0; r < stored.rowCount(); ++r) {
        rows.push_back({stored.at(r, 0).toText(), stored.at(r, 1).toText(), stored.at(r, 2).toDouble(),
                        stored.at(r, 3), stored.at(r, 4)});
    }

    // Sets of 录入 are read across query names: they are one set here too.
    const bool entry = category == "录入";
    std::map<std::string, std::vector<const Row*>> sets;
    for (const Row& row : rows) sets[entry ? std::string() : row.query].push_back(&row);

    // deletes, then additions, then emptied conditions, so that an added row takes
    // the condition its set held and loses it with the others
    std::vector<std::string> deletes, updates;
    std::vector<std::pair<std::string, std::string>> additions;  // the row's set and name, the statement
    for (const auto& [query, members] : sets) {
        const std::string setWhere = entry ? where : where + " and 查询名='" + util::sqlQuote(query) + "'";
        std::set<std::string> have, dropped;
        const Row* last = nullptr;
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
            if (!last || row->order >= last->order) last = row;
        }
        if (!last) last = members.back();  // every column went: the new ones follow where the set ended
        auto order = static_cast<long long>(last->order);
        for (std::size_t r = 0; r < columns.rowCount(); ++r) {
            const std::string name = columns.at(r, 0).toText();
            if (!before || before->count(nameKey(name)) || have.count(nameKey(name)) ||
                !seedingTakes(name, columns.at(r, 1).toText()))
                continue;
            have.insert(nameKey(name));
            const std::string n = util::sqlQuote(name);
            additions.emplace_back(
                setWhere + " and 字段名='" + n + "'",
                "Insert Into "
                "查询打印设置(表名,字段名,选择标志,排列顺序,查询类别,查询名,用户名,查询条件,条件项目) "
                "select '" +
                    t + "','" + n + "',1," + std::to_string(++order) + ",'" + c + "','" +
                    util::sqlQuote(last->query) + "','" + u + "'," + quoted(last->condition) + "," +
                    quoted(last->items) + " where ");
        }
        if (dropped.empty()) continue;
        // a stored condition naming a dropped column would fail every query: it goes, its items stay
        std::set<std::string> judged;
        for (const Row* row : members) {
            if (row->items.isNull() || !judged.insert(row->query).second) continue;
            bool names = false;
            for (const auto& cells : conditionRows(row->items.toText())) {
                names = names || (cells.size() > 2 && dropped.count(nameKey(util::trim(cells[2]))));
            }
            if (names) {
                updates.push_back("update 查询打印设置 set 查询条件=''" + where + " and 查询名='" +
                                  util::sqlQuote(row->query) + "'");
            }
        }
    }
    if (!deletes.empty() || !additions.empty()) {
        // all or nothing; inside the host's transaction, part of it
        std::optional<Transaction> tx;
        if (!inHostTransaction) tx.emplace(conn);
        for (const std::string& sql : deletes) conn.Execute(sql);
        // each row only while its set lacks it, checked under the write lock: two readers add it once
        for (const auto& addition : additions) {
            seedOnce(conn, addition.first, [&](const std::string& guard) { return addition.second + guard; });
        }
        for (const std::string& sql : updates) conn.Execute(sql);
        if (tx) tx->commit();
    }
    remember();
}

}  // namespace Palvo::query
