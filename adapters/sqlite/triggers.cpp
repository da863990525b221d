// SQL Server's AFTER triggers on the embedded database. A trigger's text is kept in the
// file (palvo_modules), so every connection, also of another process, fires it; each
// connection reads them again when the file's schema changes. For a table with
// triggers the connection makes SQLite TEMP triggers of its own that note, per row, the
// rowid a statement inserted or updated and the row it deleted or replaced; after the
// statement each T-SQL body runs once through the batch engine, `inserted` being the
// noted rows as the table now holds them and `deleted` the rows as they were.
#include <algorithm>
#include <string>
#include <utility>

#include "connection_impl.h"
#include "modules.h"
#include "palvo/text.h"

namespace Palvo::sqlite {

namespace {

constexpr int kMaxTriggerNesting = 32;

std::string quoted(const std::string& name) {
    std::string q = "\"";
    for (char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

std::string insertedTable(int index) { return "#palvo inserted " + std::to_string(index); }
std::string deletedTable(int index) { return "#palvo deleted " + std::to_string(index); }
std::string newRowsTable(int index) { return "palvo new " + std::to_string(index); }

// The table a change names: SQLite's INSERT INTO, UPDATE or DELETE FROM as the translator writes it.
std::string changedTable(const std::string& s, char& op) {
    for (const auto& [word, kind] :
         {std::pair{"insert into ", 'I'}, {"update ", 'U'}, {"delete from ", 'D'}}) {
        if (startsWithNoCase(s, word)) {
            op = kind;
            return nameAt(s, std::char_traits<char>::length(word));
        }
    }
    return {};
}

}  // namespace

void Connection::Impl::ensureModules() {
    if (ensureModuleTable(db) != SQLITE_OK) fail();
}

int Connection::Impl::registerTriggerFunctions() {
    // per row of a table with triggers: whether to note it. Not while that table's own trigger runs
    // (SQL Server's RECURSIVE_TRIGGERS OFF); a trigger fired again further in is refused.
    return sqlite3_create_function_v2(
        db, "palvo_capture", 1, SQLITE_UTF8, this,
        [](sqlite3_context* c, int, sqlite3_value** v) {
            const Impl& impl = *static_cast<Impl*>(sqlite3_user_data(c));
            const int index = sqlite3_value_int(v[0]);
            const auto& running = impl.triggersRunning;
            if (!running.empty() && running.back() == index) return sqlite3_result_int(c, 0);
            if (std::find(running.begin(), running.end(), index) != running.end())
                return sqlite3_result_error(
                    c,
                    "Not supported by the embedded database: a trigger fired again by "
                    "the triggers it fired (indirect recursion).",
                    -1);
            sqlite3_result_int(c, 1);
        },
        nullptr, nullptr, nullptr);
}

void Connection::Impl::readTriggers() {
    for (const auto& [lower, t] : tableTriggers) {
        const std::string i = std::to_string(t.index);
        for (const char* op : {"insert", "update", "delete"})
            exec(("drop trigger if exists temp." + quoted("palvo capture " + i + " " + op)).c_str());
        for (const std::string& table :
             {insertedTable(t.index), deletedTable(t.index), newRowsTable(t.index)})
            exec(("drop table if exists temp." + quoted(table)).c_str());
    }
    tableTriggers.clear();
    if (hasObject("table", "palvo_modules")) {
        sqlite3_stmt* st =
            prepare("select parent, definition from main.palvo_modules where type = 'TR' order by rowid");
        std::vector<std::pair<std::string, std::string>> rows;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            auto text = [&](int c) {
                const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
                return p ? std::string(p) : std::string();
            };
            rows.emplace_back(text(0), text(1));
        }
        sqlite3_reset(st);
        if (rc != SQLITE_DONE) fail();
        int index = 0;
        for (auto& [parent, definition] : rows) {
            const std::string table = storedTable(parent);
            if (table.empty()) continue;
            TableTriggers& t = tableTriggers[base::asciiLower(table)];
            if (t.table.empty()) {
                t.table = table;
                t.index = ++index;
            }
            dialect::TriggerDefinition d;
            try {
                d = dialect::readTrigger(definition);
            } catch (const Error& e) {
                // a text this version cannot run (another's, or written by hand) stops only its table's
                // changes
                t.unreadable = e.description();
                continue;
            }
            if (d.onInsert) t.insert.push_back(d);
            if (d.onUpdate) t.update.push_back(d);
            if (d.onDelete) t.remove.push_back(std::move(d));
        }
    }
    for (const auto& entry : tableTriggers) {
        const TableTriggers& t = entry.second;  // a lambda below reads it: no structured binding
        const std::string i = std::to_string(t.index);
        std::string columns, olds;
        for (const std::string& c : columnsOf(t.table)) {
            const char* type = nullptr;
            const char* collation = nullptr;
            if (sqlite3_table_column_metadata(db, "main", t.table.c_str(), c.c_str(), &type, &collation,
                                              nullptr, nullptr, nullptr) != SQLITE_OK)
                fail();
            columns +=
                (columns.empty() ? "" : ", ") + quoted(c) + " " + (type ? type : "") +
                (collation && std::string_view(collation) != "BINARY" ? " collate " + std::string(collation)
                                                                      : std::string());
            olds += (olds.empty() ? "old." : ", old.") + quoted(c);
        }
        exec(("create temp table " + quoted(insertedTable(t.index)) + " (" + columns + ")").c_str());
        exec(("create temp table " + quoted(deletedTable(t.index)) + " (" + columns + ")").c_str());
        exec(("create temp table " + quoted(newRowsTable(t.index)) + " (r integer)").c_str());
        const auto capture = [&](const std::string& op, const std::string& notes) {
            exec(("create temp trigger " + quoted("palvo capture " + i + " " + op) + " after " + op + " on " +
                  quoted(t.table) + " when palvo_capture(" + i + ") begin " + notes + "end")
                     .c_str());
        };
        const std::string noteNew = "insert into " + quoted(newRowsTable(t.index)) + " values (new.rowid); ";
        const std::string noteOld =
            "insert into " + quoted(deletedTable(t.index)) + " values (" + olds + "); ";
        if (!t.insert.empty()) capture("insert", noteNew);
        if (!t.update.empty()) capture("update", noteNew + noteOld);
        if (!t.remove.empty()) capture("delete", noteOld);
    }
    // the capture objects are the connection's own: what was read of the schema holds
    catalogue.tables.clear();
    catalogue.version = schemaVersion();
    triggersVersion = catalogue.version;
}

const Connection::Impl::TableTriggers* Connection::Impl::firedBy(const dialect::Translation& tr,
                                                                 const std::string& tsql, char& op) {
    // the translation read the schema version when it asked the catalogue; otherwise it is read here
    if (!tr.usesCatalogue) {
        const long long now = schemaVersion();
        if (now != catalogue.version) {
            catalogue.tables.clear();
            catalogue.version = now;
            translator.clearCache();
        }
    }
    // not while a trigger runs: its noted rows are in the capture tables (a #t its body makes moves the
    // version)
    if (triggersRunning.empty() && (triggersVersion != catalogue.version || triggersVersion < 0))
        readTriggers();
    if (tableTriggers.empty() || tr.statements.empty()) return nullptr;
    const std::string table = changedTable(tr.statements[0], op);
    if (table.empty()) return nullptr;
    const auto it = tableTriggers.find(base::asciiLower(table));
    if (it == tableTriggers.end()) return nullptr;
    const TableTriggers& t = it->second;
    if (!t.unreadable.empty()) throw Error(ErrorNumber::NotSupported, t.unreadable);
    // TRUNCATE TABLE fires no DELETE trigger, as on SQL Server
    const std::string_view text = base::trimBlanks(tsql);
    if (startsWithNoCase(text, "truncate")) return nullptr;
    if (tr.countsEvery)
        throw Error(
            ErrorNumber::NotSupported,
            "Not supported by the embedded database: MERGE into a table with triggers (" + t.table + ").");
    // RECURSIVE_TRIGGERS OFF: a trigger's change of its own table fires it no more
    if (!triggersRunning.empty() && triggersRunning.back() == t.index) return nullptr;
    const auto& fired = op == 'I' ? t.insert : op == 'U' ? t.update : t.remove;
    return fired.empty() ? nullptr : &t;
}

std::optional<Error> Connection::Impl::fire(const TableTriggers& t, char op, const std::string& tsql,
                                            long rows) {
    if (static_cast<int>(triggersRunning.size()) >= kMaxTriggerNesting) {
        triggerEndedBatch = true;
        throw Error(ErrorNumber::Database,
                    "Maximum stored procedure, function, trigger, or view nesting level exceeded (limit 32).",
                    217);
    }
    const std::string inserted = "[" + insertedTable(t.index) + "]";
    const std::string deleted = "[" + deletedTable(t.index) + "]";
    if (op != 'D') {
        run(prepare("insert into temp." + quoted(insertedTable(t.index)) + " select * from main." +
                    quoted(t.table) + " where rowid in (select r from temp." + quoted(newRowsTable(t.index)) +
                    ")"));
    }
    dialect::UpdatedColumns updated;
    updated.all = op == 'I';
    if (op == 'U') updated.columns = dialect::updatedColumns(tsql);
    // inside a trigger @@TRANCOUNT is at least 1: the statement's own transaction
    const bool ownTransaction = syncTran() == 0;
    if (ownTransaction) {
        tranCount = 1;
        tranName.clear();
    }
    const std::optional<long long> identityBefore = identity;
    const long identitiesBefore = identitiesMade;
    std::optional<Error> failure;
    triggersRunning.push_back(t.index);
    const auto& fired = op == 'I' ? t.insert : op == 'U' ? t.update : t.remove;
    for (const dialect::TriggerDefinition& d : fired) {
        try {
            runTriggerBody(dialect::triggerBody(d.body, inserted, deleted, updated), rows);
        } catch (const Error& e) {
            failure = e;
        }
        if (failure || syncTran() == 0) break;
    }
    triggersRunning.pop_back();
    // @@IDENTITY: the triggers' when they made one, else the statement's
    if (identitiesMade == identitiesBefore) identity = identityBefore;
    const bool ended = syncTran() == 0;
    if (!ended) {
        if (ownTransaction) tranCount -= 1;
        for (const std::string& table :
             {insertedTable(t.index), deletedTable(t.index), newRowsTable(t.index)})
            run(prepare("delete from temp." + quoted(table)));
    }
    if (ended) {
        // ROLLBACK (or COMMIT) in the trigger: the statement and the transaction are over, and the batch
        triggerEndedBatch = true;
        if (failure) throw *failure;
        throw Error(ErrorNumber::Database,
                    "The transaction ended in the trigger. The batch has been aborted.", 3609);
    }
    if (!failure) return std::nullopt;
    // RAISERROR only reports; any other error undoes the statement, ends the batch and its transaction
    if (failure->number() == ErrorNumber::Database && failure->nativeCode() >= 50000) return failure;
    triggerEndedBatch = true;
    if (!ownTransaction) {
        try {
            rollbackTran("");
        } catch (const Error&) {
            // the trigger's error is what the host is told
        }
    }
    throw *failure;
}

// A trigger made or dropped changes the file's schema version (a view made anew), by which every
// connection knows to read them again.
void Connection::Impl::modulesChanged() {
    exec("drop view if exists main.palvo_modules_changed");
    exec("create view main.palvo_modules_changed as select 1 as changed");
    triggersVersion = -1;
}

void Connection::Impl::createTrigger(const dialect::SchemaChange& c) {
    const dialect::TriggerDefinition d = dialect::readTrigger(c.definition);
    const std::string table = storedTable(d.table);
    if (table.empty())
        refuse(8197, "The object '" + d.table + "' does not exist or is invalid for this operation.");
    const bool exists = hasObject("table", "palvo_modules") &&
                        !strings("select 1 from main.palvo_modules where name = ?1", d.name).empty();
    if (d.create && !d.orAlter && exists)
        refuse(2714, "There is already an object named '" + d.name + "' in the database.");
    if (!d.create && !exists) refuse(208, "Invalid object name '" + d.name + "'.");
    if (!exists && (hasObject("table", d.name) || hasObject("view", d.name)))
        refuse(2714, "There is already an object named '" + d.name + "' in the database.");
    ensureModules();
    sqlite3_stmt* st = prepare(
        "insert or replace into main.palvo_modules (name, type, parent, definition) values (?1, 'TR', ?2, "
        "?3)");
    sqlite3_bind_text(st, 1, d.name.data(), static_cast<int>(d.name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 3, c.definition.data(), static_cast<int>(c.definition.size()), SQLITE_TRANSIENT);
    run(st);
    modulesChanged();
}

void Connection::Impl::dropTrigger(const dialect::SchemaChange& c) {
    const dialect::DroppedTriggers d = dialect::readDropTrigger(c.definition);
    const bool modules = hasObject("table", "palvo_modules");
    for (const std::string& name : d.names) {
        if (!modules ||
            strings("select 1 from main.palvo_modules where name = ?1 and type = 'TR'", name).empty()) {
            if (d.ifExists) continue;
            refuse(3701, "Cannot drop the trigger '" + name +
                             "', because it does not exist or you do not have permission.");
        }
        strings("delete from main.palvo_modules where name = ?1 and type = 'TR' returning 1", name);
    }
    modulesChanged();
}

void Connection::Impl::renameTriggersParent(const std::string& table, const std::string& newName) {
    if (!hasObject("table", "palvo_modules")) return;
    if (strings("update main.palvo_modules set parent = ?2 where type = 'TR' and parent = ?1 collate nocase "
                "returning 1",
                table, newName)
            .empty())
        return;
    modulesChanged();
}

void Connection::Impl::dropTriggersOf(const std::string& table) {
    if (!hasObject("table", "palvo_modules")) return;
    if (strings("delete from main.palvo_modules where type = 'TR' and parent = ?1 collate nocase returning 1",
                table)
            .empty())
        return;
    modulesChanged();
}

}  // namespace Palvo::sqlite
