// Schema changes SQLite cannot make in place (ALTER TABLE ... DROP COLUMN / ALTER
// COLUMN, sp_rename), and the completion of a created table's schema.

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "connection_impl.h"
#include "palvo/text.h"

namespace Palvo::sqlite {

namespace {

std::string quoted(std::string_view name) {
    std::string q = "\"";
    for (char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

// Where the name after `word` (e.g. "index ", " on ") starts in a translated statement.
std::size_t after(const std::string& sql, std::string_view word) {
    const auto p = sql.find(word);
    return p == std::string::npos ? sql.size() : p + word.size();
}

}  // namespace

void Connection::Impl::checkStoredRows(const std::string& table) {
    const std::string target = quoted(table);
    std::string sets;
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "select name from pragma_table_info(?1)", -1, &st, nullptr) != SQLITE_OK)
            fail();
        sqlite3_bind_text(st, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(st) == SQLITE_ROW) {
            const std::string c = quoted(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
            sets += (sets.empty() ? "" : ", ") + c + " = " + c;
        }
        sqlite3_finalize(st);
    }
    if (sets.empty()) return;
    const sqlite3_int64 before = sqlite3_total_changes64(db);
    runOnce("update " + target + " set " + sets);
    const sqlite3_int64 rewritten = sqlite3_total_changes64(db) - before - sqlite3_changes64(db);
    if (rewritten > 0) {
        throw Error(ErrorNumber::Database,
                    std::to_string(rewritten) + " stored values are not in the form its triggers keep");
    }
}

std::vector<std::string> Connection::Impl::strings(const std::string& sql, std::string_view a,
                                                   std::string_view b) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) fail();
    sqlite3_bind_text(st, 1, a.data(), static_cast<int>(a.size()), SQLITE_TRANSIENT);
    if (sqlite3_bind_parameter_count(st) > 1)
        sqlite3_bind_text(st, 2, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
    std::vector<std::string> out;
    while (sqlite3_step(st) == SQLITE_ROW) {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        out.emplace_back(t ? t : "");
    }
    sqlite3_finalize(st);
    return out;
}

std::string Connection::Impl::storedTable(const std::string& name) {
    auto t =
        strings("select name from sqlite_master where type = 'table' and name = ?1 collate nocase", name);
    return t.empty() ? std::string() : t[0];
}

std::vector<std::string> Connection::Impl::columnsOf(const std::string& table) {
    return strings("select name from pragma_table_info(?1)", table);
}

namespace {

// The check of a column declared decimal(19..38,0) before such numbers were kept as
// text, as the translator now writes it (its digits as text); "" for any other.
std::string integerCheck(std::string_view column, const std::string& type) {
    const std::string lower = base::asciiLower(type);
    const auto open = lower.find('(');
    const std::string_view base = std::string_view(lower).substr(0, open);
    if (open == std::string::npos || (base != "decimal" && base != "numeric" && base != "dec")) return {};
    const long precision = std::strtol(lower.c_str() + open + 1, nullptr, 10);
    const auto comma = lower.find(',');
    if (precision <= 18 ||
        (comma != std::string::npos && std::strtol(lower.c_str() + comma + 1, nullptr, 10)))
        return {};
    std::string name = "\"";
    for (char c : column) name += c == '"' ? std::string("\"\"") : std::string(1, c);
    return "tsql_check_decimal(new." + name + "\", " + std::to_string(precision) + ", 0, 1)";
}

}  // namespace

std::vector<std::string> Connection::Impl::checkTriggers(dialect::Translator& tr, const std::string& table) {
    const bool hasIdentity =
        base::asciiLower(
            strings("select sql from sqlite_master where type = 'table' and name = ?1", table).at(0))
            .find(" autoincrement") != std::string::npos;
    std::string defs;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "select name, type, pk from pragma_table_info(?1)", -1, &st, nullptr) !=
        SQLITE_OK)
        fail();
    sqlite3_bind_text(st, 1, table.c_str(), -1, SQLITE_TRANSIENT);
    auto bracket = [](std::string_view n) {
        std::string q = "[";
        for (char c : n) q += c == ']' ? std::string("]]") : std::string(1, c);
        return q + "]";
    };
    // columns of decimal(19..38,0) made before such numbers were kept as text: their
    // affinity makes numbers, so their checks keep the integers they were made with
    std::vector<std::string> integerChecks;
    while (sqlite3_step(st) == SQLITE_ROW) {
        std::string type = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
        if (auto p = type.find(" real"); p != std::string::npos) type.erase(p, 5);  // decimal real(18,2)
        if (auto p = type.find(" text("); p != std::string::npos) {
            type.erase(p, 5);  // decimal text(38,0)
        } else if (auto check = integerCheck(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), type);
                   !check.empty()) {
            integerChecks.push_back(std::move(check));
        }
        if (hasIdentity && sqlite3_column_int(st, 2) == 1) type = "int identity(1,1)";
        if (type.empty()) type = "varchar(max)";
        defs += (defs.empty() ? "" : ", ") +
                bracket(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) + " " + type;
    }
    sqlite3_finalize(st);
    auto t = tr.translateStatements("create table " + bracket(table) + " (" + defs + ")");
    std::vector<std::string> triggers(t->statements.begin() + 1, t->statements.end());
    for (auto& trigger : triggers) {
        for (const auto& check : integerChecks) {
            for (auto p = trigger.find(check); p != std::string::npos; p = trigger.find(check, p))
                trigger.replace(p + check.size() - 4, 4, ")");
        }
    }
    return triggers;
}

[[noreturn]] void Connection::Impl::refuse(long number, const std::string& message) {
    throw Error(ErrorNumber::Database, message, number);
}

void Connection::Impl::changeSchema(const dialect::SchemaChange& c) {
    using Kind = dialect::SchemaChange::Kind;
    const std::string table = storedTable(c.table);
    if (table.empty()) {
        if (c.kind == Kind::RenameTable || c.kind == Kind::RenameColumn)
            refuse(15248,
                   std::string("Either the parameter @objname is ambiguous or the claimed @objtype (") +
                       (c.kind == Kind::RenameColumn ? "COLUMN" : "OBJECT") + ") is wrong.");
        refuse(4902, "Cannot find the object \"" + c.table +
                         "\" because it does not exist or you do not have permissions.");
    }
    const std::vector<std::string> columns = columnsOf(table);
    std::string column;
    for (const auto& n : columns) {
        if (!c.column.empty() && base::equalsNoCase(n, c.column)) column = n;
    }
    if (!c.column.empty() && column.empty()) {
        if (c.kind == Kind::RenameColumn)
            refuse(15248,
                   "Either the parameter @objname is ambiguous or the claimed @objtype (COLUMN) is wrong.");
        refuse(4924, std::string("ALTER TABLE ") + (c.kind == Kind::DropColumn ? "DROP" : "ALTER") +
                         " COLUMN failed because column '" + c.column + "' does not exist in table '" +
                         c.table + "'.");
    }
    if (c.kind == Kind::RenameTable && !storedTable(c.newName).empty())
        refuse(15335, "Error: The new name '" + c.newName +
                          "' is already in use as a object name and would cause a duplicate that is not "
                          "permitted.");
    if (c.kind == Kind::RenameColumn) {
        for (const auto& n : columns) {
            if (base::equalsNoCase(n, c.newName) && !base::equalsNoCase(n, column))
                refuse(15335, "Error: The new name '" + c.newName +
                                  "' is already in use as a COLUMN name and would cause a duplicate that is "
                                  "not permitted.");
        }
    }
    const std::string indexesSql =
        "select name from pragma_index_list(?1) i where exists (select 1 from pragma_index_info(i.name) "
        "where name = ?2 collate nocase)";
    if (c.kind == Kind::DropColumn) {
        auto dependent = strings(indexesSql, table, column);
        if (!dependent.empty())
            refuse(5074, "The index '" + dependent[0] + "' is dependent on column '" + column +
                             "'. ALTER TABLE DROP COLUMN " + column +
                             " failed because one or more objects access this column.");
    }
    // Made anew, the table is dropped and created again: the foreign keys naming it would
    // act on that (delete the rows naming it, or refuse) and follow its old name. They are
    // set aside while it is made anew, which SQLite allows only outside a transaction.
    const bool remade = c.kind == Kind::DropColumn || c.kind == Kind::AlterColumn;
    if (remade && !sqlite3_get_autocommit(db) &&
        !strings("select m.name from sqlite_master m, pragma_foreign_key_list(m.name) f "
                 "where m.type = 'table' and f.\"table\" = ?1 collate nocase",
                 table)
             .empty())
        throw Error(ErrorNumber::NotSupported,
                    "Not supported by the embedded database: ALTER TABLE ... " +
                        std::string(c.kind == Kind::DropColumn ? "DROP" : "ALTER") +
                        " COLUMN of a table that foreign keys name, inside a transaction.");
    const bool keysAside = remade && sqlite3_get_autocommit(db);
    if (keysAside) exec("pragma foreign_keys = off");
    struct KeysBack {
        Impl* impl;
        bool on;
        ~KeysBack() {
            if (on) sqlite3_exec(impl->db, "pragma foreign_keys = on", nullptr, nullptr, nullptr);
        }
    } keysBack{this, keysAside};
    exec("savepoint palvo_schema");
    try {
        for (const auto& t :
             strings("select name from sqlite_master where type = 'trigger' and tbl_name = ?1 "
                     "and substr(name, 1, length(?1) + 2) = ?1 || '__'",
                     table))
            runOnce("drop trigger " + quoted(t));
        std::string now = table;
        if (c.kind == Kind::RenameTable) {
            runOnce("alter table " + quoted(table) + " rename to " + quoted(c.newName));
            now = c.newName;
            renameTriggersParent(table, c.newName);
        } else if (c.kind == Kind::RenameColumn) {
            runOnce("alter table " + quoted(table) + " rename column " + quoted(column) + " to " +
                    quoted(c.newName));
        }
        if (c.kind == Kind::RenameTable || c.kind == Kind::RenameColumn) {
            for (const auto& t : checkTriggers(translator, now)) runOnce(t);
        } else {
            rebuild(table, column, c);
        }
        exec("release palvo_schema");
    } catch (...) {
        undo("palvo_schema");
        throw;
    }
}

void Connection::Impl::rebuild(const std::string& table, const std::string& column,
                               const dialect::SchemaChange& c) {
    const std::string sql =
        strings("select sql from sqlite_master where type = 'table' and name = ?1", table).at(0);
    const auto indexes = strings(
        "select sql from sqlite_master where type = 'index' and tbl_name = ?1 and sql is not null", table);
    const std::vector<std::string> defs = tableDefinitions(sql);
    std::string body;
    const std::string q = quoted(column);
    for (const auto& t : defs) {
        const bool isColumn = startsWithNoCase(t, q + " ") || startsWithNoCase(t, column + " ");
        if (isColumn && c.kind == dialect::SchemaChange::Kind::DropColumn) continue;
        body += (body.empty() ? "" : ", ") + (isColumn ? c.definition : t);
    }
    const std::string old = table + "__palvo_old";
    exec("pragma legacy_alter_table = on");  // views keep naming the table, which comes back
    try {
        runOnce("alter table " + quoted(table) + " rename to " + quoted(old));
    } catch (...) {
        exec("pragma legacy_alter_table = off");
        throw;
    }
    exec("pragma legacy_alter_table = off");
    runOnce("create table " + quoted(table) + " (" + body + ")");
    for (const auto& t : checkTriggers(translator, table)) runOnce(t);
    std::string kept;
    for (const auto& n : columnsOf(table)) kept += (kept.empty() ? "" : ", ") + quoted(n);
    runOnce("insert into " + quoted(table) + " (" + kept + ") select " + kept + " from " + quoted(old));
    // the identity goes on from where it was
    if (!strings("select name from sqlite_master where name = 'sqlite_sequence'").empty()) {
        runOnce("delete from sqlite_sequence where name = " + quotedText(table) +
                " and exists (select 1 from sqlite_sequence where name = " + quotedText(old) + ")");
        runOnce("update sqlite_sequence set name = " + quotedText(table) +
                " where name = " + quotedText(old));
    }
    runOnce("drop table " + quoted(old));
    for (const auto& i : indexes) runOnce(i);
}

std::string Connection::Impl::quotedText(std::string_view s) {
    std::string q = "'";
    for (char ch : s) q += ch == '\'' ? std::string("''") : std::string(1, ch);
    return q + "'";
}

void Connection::Impl::undo(const std::string& savepoint) noexcept {
    const std::string sql = "rollback to " + savepoint + "; release " + savepoint;
    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    schemaRolledBack();
}

std::vector<std::string> Connection::completeSchema(const std::string& tsql) {
    if (!impl_->db)
        throw Error(ErrorNumber::ObjectClosed, "Operation is not allowed when the object is closed.");
    auto tr = impl_->translator.translateStatements(tsql);
    const std::string& first = tr->statements.front();
    std::vector<std::string> made;
    if (startsWithNoCase(first, "create index ") || startsWithNoCase(first, "create unique index ")) {
        const std::string index = nameAt(first, after(first, "index "));
        if (impl_->hasObject("table", nameAt(first, after(first, " on "))) &&
            !impl_->hasObject("index", index)) {
            impl_->runOnce(first);
            made.push_back(index);
        }
        return made;
    }
    if (!startsWithNoCase(first, "create table ")) return made;
    const std::string table = nameAt(first, after(first, "table "));
    if (!impl_->hasObject("table", table)) return made;
    std::vector<const std::string*> missing;
    for (std::size_t i = 1; i < tr->statements.size(); ++i) {
        const std::string& st = tr->statements[i];
        std::string name = nameAt(st, after(st, "trigger "));
        if (impl_->hasObject("trigger", name)) continue;
        missing.push_back(&st);
        made.push_back(std::move(name));
    }
    if (missing.empty()) return made;
    impl_->exec("savepoint palvo_complete");
    try {
        for (const std::string* st : missing) impl_->runOnce(*st);
        impl_->checkStoredRows(table);
        impl_->exec("release palvo_complete");
    } catch (const Error& failure) {
        impl_->undo("palvo_complete");
        const Error e = impl_->spoken(failure);
        throw Error(e.number(),
                    "The table " + table +
                        " lacks some of its value checks, and its rows do not pass them: " + e.description(),
                    e.nativeCode());
    }
    return made;
}

}  // namespace Palvo::sqlite
