// SQLite's own errors in SQL Server's words: the number and arguments SQL Server
// gives the same fault, worked out from SQLite's message and the statement.

#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "connection_impl.h"
#include "palvo/text.h"

namespace Palvo::sqlite {

std::optional<std::pair<long, Connection::Impl::Args>> Connection::Impl::serverErrorOf(const std::string& msg,
                                                                                       int code,
                                                                                       std::string_view sql) {
    auto after = [&](std::string_view prefix) -> std::optional<std::string> {
        if (!msg.starts_with(prefix)) return std::nullopt;
        return msg.substr(prefix.size());
    };
    // another connection held its lock for longer than this one waits
    if ((code & 0xff) == SQLITE_BUSY) return {{1222, {}}};
    if (code == SQLITE_CONSTRAINT_NOTNULL) {
        if (auto at = after("NOT NULL constraint failed: ")) {
            const auto dot = at->find('.');
            return {
                {515,
                 {at->substr(dot + 1), databaseName() + ".dbo." + at->substr(0, dot), statementKind(sql)}}};
        }
    }
    if (code == SQLITE_CONSTRAINT_UNIQUE || code == SQLITE_CONSTRAINT_PRIMARYKEY) {
        if (auto at = after("UNIQUE constraint failed: ")) return duplicateKey(*at, code);
    }
    if (code == SQLITE_CONSTRAINT_FOREIGNKEY) {
        const std::string statement = foreignKeyStatement.empty() ? std::string(sql) : foreignKeyStatement;
        foreignKeyStatement.clear();
        if (auto e = foreignKeyConflict(statement)) return e;
    }
    if (code == SQLITE_CONSTRAINT_CHECK) {
        if (auto at = after("CHECK constraint failed: "))
            return {{547, {statementKind(sql), *at, databaseName(), "dbo." + targetTable(sql)}}};
    }
    if (auto at = after("no such column: ")) return {{207, {at->substr(at->rfind('.') + 1)}}};
    // a computed column is given a value
    for (std::string_view kind :
         {"cannot INSERT into generated column \"", "cannot UPDATE generated column \""}) {
        if (auto at = after(kind); at && at->ends_with('"')) return {{271, {at->substr(0, at->size() - 1)}}};
    }
    if (msg.starts_with("table ")) {
        if (auto p = msg.find(" has no column named "); p != std::string::npos)
            return {{207, {msg.substr(p + 21)}}};
    }
    if (auto at = after("no such table: ")) {
        for (std::string_view schema : {"main.", "temp."}) {
            if (at->starts_with(schema)) at->erase(0, schema.size());
        }
        // DROP TABLE of a table that is not there
        if (startsWithNoCase(sql, "drop table ")) return {{3701, {*at}}};
        return {{208, {*at}}};
    }
    for (std::string_view kind : {"table ", "view "}) {
        auto at = after(kind);
        if (!at || !at->ends_with(" already exists")) continue;
        std::string name = at->substr(0, at->size() - 15);
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
            name = name.substr(1, name.size() - 2);
        return {{2714, {name}}};
    }
    if (auto at = after("near \"")) {
        if (at->ends_with("\": syntax error")) {
            std::string token = at->substr(0, at->size() - 15);
            return {{isReservedWord(token) ? 156 : 102, {token}}};
        }
    }
    if (msg == "incomplete input") {
        const std::string token = lastToken(sql);
        if (!token.empty()) return {{isReservedWord(token) ? 156 : 102, {token}}};
    }
    return std::nullopt;
}

namespace {

// One foreign key as SQLite lists it: the child's columns and the parent's, each "a,b".
struct ForeignKey {
    std::string child, parent, from, to;
    int id = 0;
};

std::string firstOf(const std::string& list) { return list.substr(0, list.find(',')); }

}  // namespace

std::vector<std::string> tableDefinitions(const std::string& sql) {
    const std::size_t open = sql.find('(');
    std::vector<std::string> defs(1);
    if (open == std::string::npos) return {};
    int depth = 0;
    char quote = 0;
    for (std::size_t i = open + 1; i + 1 < sql.size(); ++i) {
        const char ch = sql[i];
        if (quote) {
            if (ch == quote) quote = 0;
        } else if (ch == '"' || ch == '\'' || ch == '`' || ch == '[') {
            quote = ch == '[' ? ']' : ch;
        } else if (ch == '(') {
            ++depth;
        } else if (ch == ')') {
            --depth;
        } else if (ch == ',' && depth == 0) {
            defs.emplace_back();
            continue;
        }
        defs.back() += ch;
    }
    for (auto& d : defs) d = trim(d);
    return defs;
}

std::string Connection::Impl::foreignKeyName(const std::string& child, const std::string& columns) {
    auto sql = strings("select sql from sqlite_master where type = 'table' and name = ?1", child);
    auto bare = [](const std::string& list) {
        std::string out;
        for (char ch : list) {
            if (ch != ' ' && ch != '"' && ch != '[' && ch != ']') out += ch;
        }
        return out;
    };
    for (const std::string& d : tableDefinitions(sql.empty() ? std::string() : sql[0])) {
        const std::string lower = base::asciiLower(d);
        const std::size_t at = lower.starts_with("constraint ") ? 0 : lower.find(" constraint ");
        if (at == std::string::npos) continue;
        const std::size_t nameStart = lower.find_first_not_of(' ', at + (at == 0 ? 10 : 11));
        if (nameStart == std::string::npos) continue;
        std::string name = nameAt(d, nameStart);
        std::size_t p = nameStart + (d[nameStart] == '"' ? name.size() + 2 : name.size());
        p = lower.find_first_not_of(' ', p);
        if (p == std::string::npos) continue;
        std::string list;
        if (at == 0 && lower.compare(p, 11, "foreign key") == 0) {
            const std::size_t open = d.find('(', p);
            const std::size_t close = d.find(')', open);
            if (open == std::string::npos || close == std::string::npos) continue;
            list = bare(d.substr(open + 1, close - open - 1));
        } else if (at != 0 && lower.compare(p, 10, "references") == 0) {
            list = nameAt(d, 0);
        } else {
            continue;
        }
        if (base::equalsNoCase(list, columns)) return name;
    }
    return "FK__" + child + "__" + firstOf(columns);
}

std::optional<std::pair<long, Connection::Impl::Args>> Connection::Impl::foreignKeyConflict(
    const std::string& sql) {
    const std::string kind = statementKind(sql);
    const std::string table = storedTable(targetTable(sql));
    if (table.empty()) return std::nullopt;
    auto keysOf = [&](const std::string& child) {
        std::vector<ForeignKey> keys;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(
                db,
                "select id, \"table\", \"from\", coalesce(\"to\", (select group_concat(name) from "
                "(select name from pragma_table_info(\"table\") where pk > 0 order by pk))) "
                "from pragma_foreign_key_list(?1) order by id, seq",
                -1, &st, nullptr) != SQLITE_OK)
            return keys;
        sqlite3_bind_text(st, 1, child.data(), static_cast<int>(child.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(st) == SQLITE_ROW) {
            auto text = [&](int c) {
                const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
                return std::string(t ? t : "");
            };
            const int id = sqlite3_column_int(st, 0);
            if (keys.empty() || keys.back().id != id) {
                keys.push_back({child, text(1), text(2), text(3), id});
            } else {
                keys.back().from += "," + text(2);
                keys.back().to += "," + text(3);
            }
        }
        sqlite3_finalize(st);
        return keys;
    };
    // the keys the statement may have broken: its table's own (a row naming a missing
    // parent), and those naming its table (a parent row that rows still name)
    std::vector<ForeignKey> candidates;
    std::vector<bool> referencing;
    if (kind != "DELETE") {
        for (auto& k : keysOf(table)) {
            candidates.push_back(std::move(k));
            referencing.push_back(false);
        }
    }
    if (kind != "INSERT") {
        for (const auto& child : strings("select name from sqlite_master where type = 'table'")) {
            for (auto& k : keysOf(child)) {
                if (!base::equalsNoCase(k.parent, table)) continue;
                candidates.push_back(std::move(k));
                referencing.push_back(true);
            }
        }
    }
    if (candidates.empty()) return std::nullopt;
    std::size_t broken = 0;
    bool found = false;
    if (candidates.size() > 1) {
        // which one: the statement again, its keys checked at the end, then undone
        sqlite3_exec(db, "savepoint palvo_foreign_key; pragma defer_foreign_keys = on", nullptr, nullptr,
                     nullptr);
        sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
        for (std::size_t i = 0; i < candidates.size() && !found; ++i) {
            found =
                !strings(
                     "select 1 from pragma_foreign_key_check(?1) where fkid = cast(?2 as integer) limit 1",
                     candidates[i].child, std::to_string(candidates[i].id))
                     .empty();
            if (found) broken = i;
        }
        sqlite3_exec(
            db, "rollback to palvo_foreign_key; release palvo_foreign_key; pragma defer_foreign_keys = off",
            nullptr, nullptr, nullptr);
    }
    const ForeignKey& k = candidates[broken];
    const std::string name = foreignKeyName(k.child, k.from);
    if (referencing[broken])
        return {{547, {kind, "REFERENCE", name, databaseName(), "dbo." + k.child, firstOf(k.from)}}};
    return {{547, {kind, "FOREIGN KEY", name, databaseName(), "dbo." + k.parent, firstOf(k.to)}}};
}

std::pair<long, Connection::Impl::Args> Connection::Impl::duplicateKey(const std::string& columns, int code) {
    const std::string table = columns.substr(0, columns.find('.'));
    std::string wanted;  // "a,b"
    for (std::size_t start = 0; start < columns.size();) {
        std::size_t end = columns.find(", ", start);
        if (end == std::string::npos) end = columns.size();
        const std::string item = columns.substr(start, end - start);
        wanted += (wanted.empty() ? "" : ",") + item.substr(item.find('.') + 1);
        start = end + 2;
    }
    std::string index, origin = code == SQLITE_CONSTRAINT_PRIMARYKEY ? "pk" : "u";
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db,
                           "select l.name, l.origin from pragma_index_list(?1) l where l.\"unique\" and "
                           "(select group_concat(name, ',') from (select name from pragma_index_info(l.name) "
                           "order by seqno)) = ?2",
                           -1, &st, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, wanted.data(), static_cast<int>(wanted.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(st) == SQLITE_ROW) {
            index = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            origin = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
        }
    }
    sqlite3_finalize(st);
    if (origin == "c") return {2601, {"dbo." + table, index}};
    const bool primary = origin == "pk";
    std::string name = declaredConstraint(table, primary ? "primary key" : "unique", wanted);
    if (name.empty()) name = (primary ? "PK__" : "UQ__") + table;
    return {2627, {primary ? "PRIMARY KEY" : "UNIQUE KEY", name, "dbo." + table}};
}

std::string Connection::Impl::declaredConstraint(const std::string& table, std::string_view kind,
                                                 const std::string& wanted) {
    sqlite3_stmt* st = nullptr;
    std::string sql;
    if (sqlite3_prepare_v2(db, "select sql from sqlite_master where type = 'table' and name = ?1", -1, &st,
                           nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(st) == SQLITE_ROW) sql = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    }
    sqlite3_finalize(st);
    const std::string lower = base::asciiLower(sql);
    for (std::size_t at = lower.find("constraint "); at != std::string::npos;
         at = lower.find("constraint ", at + 1)) {
        const std::size_t nameAtPos = at + 11;
        std::string name = nameAt(sql, nameAtPos);
        std::size_t p = nameAtPos + (sql[nameAtPos] == '"' ? name.size() + 2 : name.size());
        while (p < lower.size() && lower[p] == ' ') ++p;
        if (lower.compare(p, kind.size(), kind) != 0) continue;
        p += kind.size();
        while (p < lower.size() && lower[p] == ' ') ++p;
        if (p >= sql.size() || sql[p] != '(') continue;
        const std::size_t close = sql.find(')', p);
        std::string list;
        for (char ch : sql.substr(p + 1, close - p - 1)) {
            if (ch != ' ' && ch != '"' && ch != '[' && ch != ']') list += ch;
        }
        if (base::equalsNoCase(list, wanted)) return name;
    }
    return {};
}

std::string Connection::Impl::databaseName() const {
    if (path.empty() || path == ":memory:") return "main";
    const std::size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (const auto dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

std::string Connection::Impl::statementKind(std::string_view sql) {
    const std::string lower = base::asciiLower(sql);
    std::size_t first = std::string::npos;
    std::string kind = "INSERT";
    for (const auto& [word, name] :
         {std::pair{"insert", "INSERT"}, {"update", "UPDATE"}, {"delete", "DELETE"}}) {
        if (const std::size_t p = lower.find(word); p < first) {
            first = p;
            kind = name;
        }
    }
    return kind;
}

std::string Connection::Impl::targetTable(std::string_view sql) {
    const std::string s(sql);
    const std::string lower = base::asciiLower(s);
    for (std::string_view word : {"insert into ", "update ", "delete from "}) {
        if (const std::size_t p = lower.find(word); p != std::string::npos) return nameAt(s, p + word.size());
    }
    return {};
}

std::string Connection::Impl::lastToken(std::string_view sql) {
    while (!sql.empty() && (sql.back() == ' ' || sql.back() == '\n' || sql.back() == ';'))
        sql.remove_suffix(1);
    std::size_t start = sql.size();
    auto wordChar = [](char ch) {
        return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') ||
               ch == '_' || static_cast<unsigned char>(ch) >= 0x80;
    };
    while (start > 0 && wordChar(sql[start - 1])) --start;
    if (start == sql.size() && !sql.empty()) --start;
    return std::string(sql.substr(start));
}

}  // namespace Palvo::sqlite
