// The private state of a SQLite connection, shared by the files that make up
// Connection: sqlite_connection.cpp (opening, statements, execution),
// connection_errors.cpp (SQLite's errors in SQL Server's words), schema_change.cpp
// (schema changes SQLite cannot make in place) and query_read.cpp (reading results).
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "palvo/dialect/batch.h"
#include "palvo/dialect/server_errors.h"
#include "palvo/dialect/target.h"
#include "palvo/dialect/translator.h"
#include "palvo/error.h"
#include "palvo/sqlite/connection.h"

namespace Palvo::sqlite {

// SQL Server's words for the embedded database's errors
using dialect::englishText;
using dialect::isReservedWord;
using dialect::Language;
using dialect::languageNamed;
using dialect::ServerError;
using dialect::serverError;

std::string trim(std::string_view s);
bool startsWithNoCase(std::string_view s, std::string_view prefix);

// The name a translated "create ... NAME" statement gives, from `at` on: a quoted
// name without its quotes, or the plain word.
std::string nameAt(const std::string& sql, std::size_t at);

// The message of a statement stopped by the memory bound (setMemoryLimit).
std::string memoryBoundMessage();

// The message of a change refused because the disk holding `path` is full.
std::string diskFullMessage(const std::string& path);

// SQL Server's 8178 for the parameter `number` (from 1) of `sql` that has no value.
[[noreturn]] void parameterMissing(const std::string& sql, int number);

// The definitions between a CREATE TABLE's outer parentheses, split at the commas
// outside quotes and parentheses, as written.
std::vector<std::string> tableDefinitions(const std::string& createTable);

struct PALVO_LOCAL Connection::Impl {
    sqlite3* db = nullptr;
    std::string path;
    dialect::Translator translator{dialect::sqliteTarget(), 1024};
    std::unordered_map<std::string, sqlite3_stmt*> statements;
    std::deque<std::string> statementOrder;
    std::size_t statementText = 0;           // the length of the statements kept
    std::optional<long long> identity;       // @@IDENTITY: of the last INSERT, Null when it made none
    sqlite3_stmt* identityLookup = nullptr;  // whether a table has an identity (a sqlite_sequence row)
    long timeoutSeconds = 30;
    std::chrono::steady_clock::time_point deadline;
    bool timedOut = false;
    bool inBatch = false;                    // the batch's deadline holds for each of its statements
    std::optional<long long> scopeIdentity;  // SCOPE_IDENTITY(): of the batch running

    // The transaction its batches and the host's BeginTrans share (batch_port.cpp):
    // @@TRANCOUNT, the outer transaction's name, the savepoints by name (SQLite's are palvo_save_N).
    int tranCount = 0;
    std::string tranName;
    std::vector<std::string> savepoints;
    // What @@ERROR and @@ROWCOUNT give: the last statement of the batch running.
    long lastError = 0;
    long lastRowCount = 0;
    bool ansiNullsOff = false;  // SET ANSI_NULLS OFF: statements are translated after kAnsiNullsOff
    // SET ROWCOUNT: the rows each statement returns at most, 0 for all; while it holds, statements sent
    // alone run through the batch engine, which keeps it
    long long rowLimit = 0;
    // The error the batch's CATCH block handles; whether its transaction can no longer commit.
    std::optional<dialect::BatchPort::Caught> caught;
    bool uncommittable = false;
    // The GLOBAL cursors its batches declared; @@FETCH_STATUS and @@CURSOR_ROWS (batch_cursors.cpp).
    std::shared_ptr<dialect::CursorSet> cursors;
    int fetchStatus = -1;
    long cursorRows = 0;
    // @@TRANCOUNT as the file has it: SQLite ends a transaction itself after some failures.
    int syncTran();
    void beginTran(const std::string& name);
    void commitTran();
    void rollbackTran(const std::string& name);
    void saveTran(const std::string& name);
    // After a rollback: the file's schema version went back with the schema, and may come to the
    // same number again with another schema; what was read at it is read anew.
    void schemaRolledBack() {
        catalogue.version = -1;
        identitiesVersion = -1;
    }
    // The functions reading the state above (tsql_trancount(), tsql_error_number(), ...).
    int registerBatchFunctions();
    static void userFunction(sqlite3_context* c, int argc, sqlite3_value** argv);
    // The error a user function's body raised inside a statement (tsql_udf): the statement fails with it.
    std::optional<Error> functionError;
    // Prepared statements still running when a call within them (a user function's body) asked for the
    // same text anew: finalized once they are done.
    std::vector<sqlite3_stmt*> retired;
    int userFunctionsRunning = 0;
    // batches read, by their text: a host sends the same ones again and again (a batch is
    // read from its text alone, whatever the schema)
    std::unordered_map<std::string, std::shared_ptr<const dialect::Batch>> batches;
    std::shared_ptr<const dialect::Batch> batchOf(const std::string& sql);
    Language language = Language::Chinese;
    // Why the file is open for reading only ("" when it is not): what a change is told.
    std::string readOnlyWhy;
    // The last statement that failed a foreign key, its values in its text (for the message).
    std::string foreignKeyStatement;

    // SET IDENTITY_INSERT: the table it is ON for, as stored; "" when none (identity_insert.cpp).
    std::string identityInsert;
    struct IdentityColumns {
        std::string table;                // as stored
        std::string column;               // the identity
        std::vector<std::string> others;  // the columns an INSERT without a list fills, in order
    };
    // of the tables asked about, for the schema version they were read at
    std::unordered_map<std::string, std::optional<IdentityColumns>> identities;
    long long identitiesVersion = -1;
    const IdentityColumns* identityOf(const std::string& table);
    // SET IDENTITY_INSERT T ON | OFF; false for any other statement.
    bool setIdentityInsert(const std::string& sql);
    // An INSERT's SQLite text checked against the identity of its table, as SQL Server
    // checks it (544, 545, 8101); without a column list it names the other columns.
    std::string identityChecked(const std::string& insert);

    // The declared types of the columns of the tables and views statements name,
    // read when the translator first asks, for the schema version they were read
    // at: any change of the schema, by this connection or another, empties it
    // and the translations made with it.
    struct TableColumns {
        dialect::Catalogue::Columns types;
        std::vector<std::string> order;
        std::vector<std::string> names;  // as declared
    };
    struct PALVO_LOCAL SchemaCatalogue final : dialect::Catalogue {
        Impl* impl = nullptr;
        long long version = -1;
        std::unordered_map<std::string, std::optional<TableColumns>> tables;
        const TableColumns* table(const std::string& lowerName) {
            auto it = tables.find(lowerName);
            if (it == tables.end()) it = tables.emplace(lowerName, impl->readColumns(lowerName)).first;
            return it->second ? &*it->second : nullptr;
        }
        const Columns* columns(const std::string& lowerName) override {
            const TableColumns* t = table(lowerName);
            return t ? &t->types : nullptr;
        }
        const std::vector<std::string>* columnOrder(const std::string& lowerName) override {
            const TableColumns* t = table(lowerName);
            return t ? &t->order : nullptr;
        }
        const std::vector<std::string>* columnNames(const std::string& lowerName) override {
            const TableColumns* t = table(lowerName);
            return t ? &t->names : nullptr;
        }
        // the user-defined functions, read for the schema version now (functions.cpp)
        std::unordered_map<std::string, std::optional<FunctionDefinition>> functions;
        std::optional<bool> anyFunction;
        long long functionsVersion = -1;
        void functionsNow();
        const FunctionDefinition* function(const std::string& lowerName) override;
        bool hasFunctions() override;
    };
    SchemaCatalogue catalogue;
    sqlite3_stmt* columnsLookup = nullptr;
    sqlite3_stmt* viewLookup = nullptr;
    sqlite3_stmt* versionLookup = nullptr;
    sqlite3_stmt* tempVersionLookup = nullptr;

    Impl() { catalogue.impl = this; }

    // A table's or view's columns as declared; for a view's expressions, the types its text records.
    std::optional<TableColumns> readColumns(const std::string& table);

    long long schemaVersion();

    // The translation of a statement, typed by the tables it names as the schema now has them
    // and by the values bound to its parameters.
    std::shared_ptr<const dialect::Translation> translate(const std::string& sql,
                                                          const std::vector<Value>& params = {});
    std::shared_ptr<const dialect::Translation> translateUnder(const std::string& sql,
                                                               const std::string& types);

    // The connection's last error, raised; `sql`: the SQLite statement that met it.
    // SQLite's own errors that SQL Server has a number for get that number and its
    // English words here; every error is put in the connection's language where it
    // leaves the connection (speak, in each do... hook).
    [[noreturn]] void fail(std::string_view sql = {});

    // The error in the connection's language, with SQL Server's number, when it is
    // one of SQL Server's; otherwise as it is.
    Error spoken(const Error& e) const;
    [[noreturn]] void speak(const Error& e) const { throw spoken(e); }

    using Args = std::vector<std::string>;

    // SQL Server's number and arguments for an error of SQLite's own.
    std::optional<std::pair<long, Args>> serverErrorOf(const std::string& msg, int code,
                                                       std::string_view sql);

    // 547 for a foreign key: the constraint the statement `sql` (SQLite's, its values
    // in its text) broke.
    std::optional<std::pair<long, Args>> foreignKeyConflict(const std::string& sql);

    // The name of the foreign key of `child` on `columns` ("a,b"): declared, or SQL Server's kind of default.
    std::string foreignKeyName(const std::string& child, const std::string& columns);

    // 2627 for a primary key or unique constraint, 2601 for a unique index;
    // `columns`: SQLite's "T.a, T.b".
    std::pair<long, Args> duplicateKey(const std::string& columns, int code);

    // The name a table's "constraint NAME primary key (a, b)" (or "unique") gives the
    // columns `wanted` ("a,b"); "" when they have none of that kind.
    std::string declaredConstraint(const std::string& table, std::string_view kind,
                                   const std::string& wanted);

    // What SQL Server names the database in its messages: the file's name without its folder and extension.
    std::string databaseName() const;

    // INSERT, UPDATE or DELETE: what the statement does to its table (the first of them it names).
    static std::string statementKind(std::string_view sql);

    // The table an INSERT, UPDATE or DELETE changes.
    static std::string targetTable(std::string_view sql);

    // The statement's last word, or its last character when that is no part of a word.
    static std::string lastToken(std::string_view sql);

    sqlite3_stmt* prepare(const std::string& sql);

    // A translated statement run (of the host's `sql`), `params` bound to its first: the rows it changed.
    long execute(const std::string& sql, std::shared_ptr<const dialect::Translation> tr,
                 const std::vector<Value>& params);
    // A translated query run, every row read.
    ResultTable query(const std::string& sql, std::shared_ptr<const dialect::Translation> tr,
                      const std::vector<Value>& params);
    class Port;         // the batch engine's port on this connection (batch_port.cpp)
    struct BatchScope;  // one batch's state, and a trigger body's inside it
    // A batch (Translation::batch, or a statement reading variables) run by the batch engine;
    // `params` are refused (a batch binds its own variables).
    // Its PRINT texts and counts go to `tell`.
    // `triggerRows`: the body of a trigger, fired by a statement of that many rows.
    dialect::BatchResult runBatch(const std::string& sql, const std::vector<Value>& params,
                                  const std::function<void(const Palvo::Connection::InfoMessage&)>& tell,
                                  const long* triggerRows = nullptr);

    void finalizeAll() noexcept;

    void startClock();

    static int progress(void* self);

    void bind(sqlite3_stmt* st, const std::vector<Value>& params);

    // Steps to the end, discarding rows; resets the statement whatever happens.
    void run(sqlite3_stmt* st);

    // Steps a statement that returns the rowids of the rows it changes (INSERT or UPDATE with
    // OUTPUT) to its end: them as a JSON array, in their order.
    std::string changedRows(sqlite3_stmt* st);

    // After statements[0] of `tr` ran: the rows it changed, and the identity an INSERT made.
    long noteChanges(const dialect::Translation& tr);
    long deleteInto(sqlite3_stmt* st, const dialect::Translation& tr);

    // DELETE with OUTPUT: the columns of the table its rows come from, as stored.
    const dialect::Catalogue::Columns* returningColumns(const dialect::Translation& tr);

    // Runs the statements of the query `tr` (of the host's `sql`) before its last, and
    // returns the last, prepared, to be read.
    sqlite3_stmt* startQuery(const std::string& sql, const dialect::Translation& tr,
                             const std::vector<Value>& params = {});

    // Refuses DROP TABLE (SQLite's `drop`) of a table another table's foreign key names: SQL Server's 3726.
    void refuseDropOfReferenced(const std::string& drop);

    // Refuses a statement with a `?` that has no value (`given`: the values bound).
    static void requireValues(sqlite3_stmt* st, const std::string& tsql, std::size_t given);

    // Runs `body` under one read of the schema: outside a host's transaction, the
    // statement's own transaction (holding the write lock when the statement writes)
    // begins before the schema version is read, and the translation is made anew when
    // another connection changed the schema since `tr` was made. Returns what body returns.
    template <class Body>
    auto underOneSchema(const std::string& sql, const std::vector<Value>& params,
                        std::shared_ptr<const dialect::Translation> tr, Body body);

    void exec(const char* sql);

    bool hasObject(const char* type, const std::string& name);

    // Runs SQLite text once, without keeping it among the prepared statements.
    void runOnce(const std::string& sql);

    // After an INSERT into `table` that made `rows` rows: the identity it made, as
    // SQL Server keeps it for @@IDENTITY (the triggers here never insert, so no
    // nested scope changes it).
    void noteInsert(const std::string& table, long rows);

    static void lastIdentity(sqlite3_context* ctx, int, sqlite3_value**);

    // Puts every stored row of the table through its triggers by writing each
    // column back unchanged. Throws when a value fails a check, and when one
    // would be stored otherwise than it is (a trigger rewrote it).
    void checkStoredRows(const std::string& table);

    // The first column of each row `sql` gives, its ?1 and ?2 bound to texts.
    std::vector<std::string> strings(const std::string& sql, std::string_view a = {},
                                     std::string_view b = {});

    // The table's name as stored ("" when there is none) and its columns as stored.
    std::string storedTable(const std::string& name);
    std::vector<std::string> columnsOf(const std::string& table);

    // The triggers the translator makes for a table, made anew from its columns'
    // declared types: a CREATE TABLE of them, translated, gives them.
    std::vector<std::string> checkTriggers(dialect::Translator& tr, const std::string& table);

    [[noreturn]] static void refuse(long number, const std::string& message);

    // ALTER TABLE ... DROP COLUMN / ALTER COLUMN and sp_rename, inside a savepoint:
    // the table is made anew where SQLite cannot change it in place, and its
    // value checks, date triggers and indexes with it. A change that cannot be
    // made leaves the table as it was.
    void changeSchema(const dialect::SchemaChange& c);

    // The table made anew without the column, or with its new definition; the
    // rows go through the new table's checks on their way over.
    void rebuild(const std::string& table, const std::string& column, const dialect::SchemaChange& c);

    static std::string quotedText(std::string_view s);

    // Undoes and ends a savepoint after a failure; the failure is what the caller reports.
    void undo(const std::string& savepoint) noexcept;

    // Triggers (triggers.cpp): their definitions are in the file's palvo_modules; each table
    // with any gets the connection's own SQLite TEMP triggers that keep the rowids a statement
    // made or changed and the rows it deleted or replaced, and after the statement the
    // connection runs each T-SQL body through the batch engine once, reading them as
    // `inserted` and `deleted`.
    struct TableTriggers {
        std::string table;  // as stored
        int index = 0;      // names its capture tables
        std::vector<dialect::TriggerDefinition> insert, update, remove;
        std::string unreadable;  // why a trigger of it cannot run: its changes are refused
    };
    std::unordered_map<std::string, TableTriggers> tableTriggers;  // by the table's name, lower case
    long long triggersVersion = -1;                                // the schema version they were read at
    std::vector<int> triggersRunning;                              // their tables' indexes, innermost last
    bool triggerEndedBatch = false;                                // the batch running is to end
    long identitiesMade = 0;                                       // counts the inserts that made an identity
    std::function<void(const Palvo::Connection::InfoMessage&)> infoTell;
    // Reads the triggers again when the schema changed since they were read.
    void readTriggers();
    // The triggers a change (SQLite's statement) fires, nullptr when none; `op` gets its kind.
    const TableTriggers* firedBy(const dialect::Translation& tr, const std::string& tsql, char& op);
    // Runs the triggers after their statement (its T-SQL `tsql`, its `rows`): throws an error that
    // undoes the statement; returns one that only reports (a RAISERROR in the body).
    std::optional<Error> fire(const TableTriggers& t, char op, const std::string& tsql, long rows);
    void createTrigger(const dialect::SchemaChange& c);
    void dropTrigger(const dialect::SchemaChange& c);
    // DROP TABLE: its triggers go with it.
    void dropTriggersOf(const std::string& table);
    // sp_rename of a table: its triggers stay its own.
    void renameTriggersParent(const std::string& table, const std::string& newName);
    void ensureModules();
    void modulesChanged();
    int registerTriggerFunctions();

    // Global temporary tables (global_temps.cpp): this connection as the maker of the ##t it makes
    // (tsql_global_maker()); those it made are dropped when it closes, those whose maker is gone when a
    // connection opens the file.
    std::string maker;
    int registerGlobalTemps();
    void dropGlobalTemps(bool own) noexcept;
    void forgetMaker() noexcept;
    // A batch's state (SCOPE_IDENTITY(), @@ROWCOUNT, ...) while a trigger's body runs inside it.
    dialect::BatchResult runTriggerBody(const std::string& body, long rows);
};

template <class Body>
auto Connection::Impl::underOneSchema(const std::string& sql, const std::vector<Value>& params,
                                      std::shared_ptr<const dialect::Translation> tr, Body body) {
    // Inside a host's transaction the schema holds already: it holds the write lock.
    if (!tr->usesCatalogue || tr->statements.empty() || !sqlite3_get_autocommit(db)) return body(tr);
    const bool writes = tr->statements.size() > 1 || !sqlite3_stmt_readonly(prepare(tr->statements.front()));
    run(prepare(writes ? "begin immediate" : "begin"));
    try {
        tr = translate(sql, params);
        auto result = body(tr);
        run(prepare("commit"));
        return result;
    } catch (...) {
        if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
        throw;
    }
}

}  // namespace Palvo::sqlite
