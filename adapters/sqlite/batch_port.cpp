// Batches on the embedded database: the batch engine (palvo/dialect/batch.h)
// steps through them, each statement translated, prepared and run as the
// connection runs its own.
#include <algorithm>
#include <chrono>
#include <climits>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "connection_impl.h"
#include "modules.h"
#include "tsql_functions.h"

namespace Palvo::sqlite {

std::shared_ptr<const dialect::Batch> Connection::Impl::batchOf(const std::string& sql) {
    constexpr std::size_t kBatchesKept = 64;
    if (const auto it = batches.find(sql); it != batches.end()) return it->second;
    auto batch = std::make_shared<const dialect::Batch>(sql);
    if (batches.size() >= kBatchesKept) batches.clear();
    batches.emplace(sql, batch);
    return batch;
}

// The engine's port on this connection: its statements, transactions, settings and modules.
class Connection::Impl::Port final : public dialect::BatchPort {
public:
    Port(Impl& impl, const std::function<void(const Palvo::Connection::InfoMessage&)>& tell)
        : impl_(impl), tell_(tell) {}
    std::shared_ptr<const dialect::Translation> translate(const std::string& tsql) override {
        return impl_.translate(tsql);
    }
    std::string_view targetName() const override { return dialect::sqliteTarget().name(); }
    long execute(const std::string& tsql, const std::shared_ptr<const dialect::Translation>& tr,
                 const std::vector<Value>& values) override {
        return impl_.execute(tsql, tr, values);
    }
    ResultTable query(const std::string& tsql, const std::shared_ptr<const dialect::Translation>& tr,
                      const std::vector<Value>& values) override {
        return impl_.query(tsql, tr, values);
    }
    // CommandTimeout bounds the whole batch, as it does on SQL Server's clients
    void loopRound() override {
        if (impl_.timeoutSeconds > 0 && std::chrono::steady_clock::now() >= impl_.deadline)
            throw Error(ErrorNumber::Database, "Query timeout expired");
    }

    void print(const std::string& text) override { tell_({text, -1}); }
    void rowsCounted(long rows) override { tell_({"", rows}); }

    int tranCount() override { return impl_.syncTran(); }
    void beginTran(const std::string& name) override { impl_.beginTran(name); }
    void commitTran() override { impl_.commitTran(); }
    void rollbackTran(const std::string& name) override { impl_.rollbackTran(name); }
    void saveTran(const std::string& name) override { impl_.saveTran(name); }
    void statementEnded(long error, long rows) override {
        impl_.lastError = error;
        impl_.lastRowCount = rows;
    }
    void catching(const Caught* error) override {
        if (error) {
            impl_.caught = *error;
        } else {
            impl_.caught.reset();
        }
    }
    void doomed(bool cannotCommit) override { impl_.uncommittable = cannotCommit; }
    std::shared_ptr<dialect::CursorSet>* globalCursors() override { return &impl_.cursors; }
    void setDateFirst(int day) override { sqlite::setDateFirst(impl_.db, day); }
    int dateFirst() override { return dateFirstOf(impl_.db); }
    void setDateFormat(const std::string& order) override { sqlite::setDateFormat(impl_.db, order); }
    std::string dateFormat() override { return dateFormatOf(impl_.db); }
    void setRowCount(long long rows) override { impl_.rowLimit = rows; }
    long long rowCount() override { return impl_.rowLimit; }
    void setAnsiNulls(bool on) override { impl_.ansiNullsOff = !on; }
    bool ansiNulls() override { return !impl_.ansiNullsOff; }
    void setFetchStatus(int status) override { impl_.fetchStatus = status; }
    int fetchStatus() override { return impl_.fetchStatus; }
    void setCursorRows(long rows) override { impl_.cursorRows = rows; }
    Error spoken(const Error& e) override { return impl_.spoken(e); }
    void setLanguage(const std::string& name) override {
        const auto named = languageNamed(name);
        if (!named)
            throw Error(ErrorNumber::Database,
                        "Language must be 简体中文 or us_english, not '" + name + "'.");
        impl_.language = *named;
        setDateLanguage(impl_.db, *named == Language::English);
        // a language brings its first day of the week: Sunday for both
        sqlite::setDateFirst(impl_.db, 7);
    }
    std::string language() override {
        return impl_.language == Language::English ? "us_english" : "简体中文";
    }
    // SQLite waits for another connection's lock by its busy timeout
    void lockTimeout(long long milliseconds) override {
        const long long busy = milliseconds < 0
                                   ? (impl_.timeoutSeconds > 0 ? impl_.timeoutSeconds * 1000LL : INT_MAX)
                                   : std::min<long long>(milliseconds, INT_MAX);
        sqlite3_busy_timeout(impl_.db, static_cast<int>(busy));
    }
    bool batchEnded() override { return std::exchange(impl_.triggerEndedBatch, false); }
    void wait(long long milliseconds) override {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        for (;;) {
            const auto now = std::chrono::steady_clock::now();
            if (impl_.timeoutSeconds > 0 && now >= impl_.deadline)
                throw Error(ErrorNumber::Database, "Query timeout expired");
            if (now >= until) return;
            auto next = std::min(until, now + std::chrono::milliseconds(50));
            if (impl_.timeoutSeconds > 0) next = std::min(next, impl_.deadline);
            std::this_thread::sleep_until(next);
        }
    }

    std::optional<Module> module(const std::string& name) override {
        if (!impl_.hasObject("table", kModuleTable)) return std::nullopt;
        sqlite3_stmt* st = impl_.prepare(
            "select name, type, coalesce(parent, ''), definition from main.palvo_modules where name = "
            "?1");
        impl_.bind(st, {Value(name)});
        std::optional<Module> m;
        if (sqlite3_step(st) == SQLITE_ROW) {
            const auto text = [st](int c) {
                const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
                return std::string(t ? t : "");
            };
            m = Module{text(0), text(1), text(2), text(3)};
        }
        sqlite3_reset(st);
        return m;
    }
    void storeModule(const Module& m) override {
        if (ensureModuleTable(impl_.db) != SQLITE_OK) impl_.fail();
        sqlite3_stmt* st = impl_.prepare(
            "insert or replace into main.palvo_modules (name, type, parent, definition) "
            "values (?1, ?2, nullif(?3, ''), ?4)");
        impl_.bind(st, {Value(m.name), Value(m.type), Value(m.parent), Value(m.definition)});
        impl_.run(st);
        // the statements that call a function are translated again, here and on every connection
        if (m.type != "P") impl_.modulesChanged();
    }
    void dropModule(const std::string& name) override {
        const auto m = module(name);
        sqlite3_stmt* st = impl_.prepare("delete from main.palvo_modules where name = ?1");
        impl_.bind(st, {Value(name)});
        impl_.run(st);
        if (m && m->type != "P") impl_.modulesChanged();
    }
    bool tableExists(const std::string& name) override {
        return impl_.hasObject("table", name) || impl_.hasObject("view", name);
    }
    std::vector<std::string> temporaryTables() override {
        return impl_.strings("select name from temp.sqlite_master where type = 'table' and name like '#%'");
    }

private:
    Impl& impl_;
    const std::function<void(const Palvo::Connection::InfoMessage&)>& tell_;
};

// one deadline for all the batch's statements; a trigger's body is a scope of its own inside
// the batch that fired it, which gets its state back after it
struct Connection::Impl::BatchScope {
    Impl& impl;
    bool outer;
    std::optional<long long> scopeIdentity;
    long lastError, lastRowCount;
    std::optional<dialect::BatchPort::Caught> caught;
    bool uncommittable;
    BatchScope(Impl& i, const long* triggerRows)
        : impl(i),
          outer(!i.inBatch),
          scopeIdentity(i.scopeIdentity),
          lastError(i.lastError),
          lastRowCount(i.lastRowCount),
          caught(i.caught),
          uncommittable(i.uncommittable) {
        if (outer) {
            impl.startClock();
            impl.triggerEndedBatch = false;
        }
        impl.inBatch = true;
        reset();
        // @@ROWCOUNT at a trigger's start: the rows of the statement that fired it
        if (triggerRows) impl.lastRowCount = *triggerRows;
    }
    // a statement sent alone is a batch of its own: it reads none of these
    ~BatchScope() {
        impl.inBatch = !outer;
        if (outer) {
            reset();
            return;
        }
        impl.scopeIdentity = scopeIdentity;
        impl.lastError = lastError;
        impl.lastRowCount = lastRowCount;
        impl.caught = caught;
        impl.uncommittable = uncommittable;
    }
    void reset() {
        impl.scopeIdentity.reset();
        impl.lastError = 0;
        impl.lastRowCount = 0;
        impl.caught.reset();
        impl.uncommittable = false;
    }
    BatchScope(const BatchScope&) = delete;
    BatchScope& operator=(const BatchScope&) = delete;
};

dialect::BatchResult Connection::Impl::runBatch(
    const std::string& sql, const std::vector<Value>& params,
    const std::function<void(const Palvo::Connection::InfoMessage&)>& tell, const long* triggerRows) {
    if (!params.empty()) {
        throw Error(ErrorNumber::NotSupported,
                    rowLimit > 0 && !dialect::isBatch(sql)
                        ? "Not supported by the embedded database: parameters (?) in a statement under SET "
                          "ROWCOUNT other than 0."
                        : "Not supported by the embedded database: parameters (?) in a batch (its variables "
                          "take its values).");
    }
    const std::shared_ptr<const dialect::Batch> batch = batchOf(sql);
    Port port(*this, tell);
    const BatchScope scope(*this, triggerRows);
    return batch->run(port);
}

dialect::BatchResult Connection::Impl::runTriggerBody(const std::string& body, long rows) {
    static const std::function<void(const Palvo::Connection::InfoMessage&)> silent =
        [](const Palvo::Connection::InfoMessage&) {};
    return runBatch(body, {}, infoTell ? infoTell : silent, &rows);
}

int Connection::Impl::syncTran() {
    // SQLite ends a transaction itself after some failures (a full disk, no memory)
    if (tranCount > 0 && db && sqlite3_get_autocommit(db)) {
        tranCount = 0;
        savepoints.clear();
        schemaRolledBack();
    }
    return tranCount;
}

void Connection::Impl::beginTran(const std::string& name) {
    if (syncTran() == 0) {
        // immediate, as the host's BeginTrans always was: reads in it never turn stale before its writes
        exec("begin immediate");
        tranName = name;
        savepoints.clear();
    }
    ++tranCount;
}

void Connection::Impl::commitTran() {
    if (syncTran() == 0)
        throw Error(ErrorNumber::Database,
                    "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.", 3902);
    if (tranCount == 1) {
        exec("commit");
        savepoints.clear();
    }
    --tranCount;
}

void Connection::Impl::rollbackTran(const std::string& name) {
    if (syncTran() == 0) {
        throw Error(ErrorNumber::Database,
                    "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.", 3903);
    }
    // names match as written, as SQL Server's transaction and savepoint names do
    if (name.empty() || name == tranName) {
        schemaRolledBack();
        exec("rollback");
        tranCount = 0;
        savepoints.clear();
        return;
    }
    for (std::size_t k = savepoints.size(); k-- > 0;) {
        if (savepoints[k] == name) {
            schemaRolledBack();
            exec(("rollback to palvo_save_" + std::to_string(k)).c_str());
            savepoints.resize(k + 1);
            return;
        }
    }
    throw Error(ErrorNumber::Database,
                "Cannot roll back " + name + ". No transaction or savepoint of that name was found.", 6401);
}

void Connection::Impl::saveTran(const std::string& name) {
    if (syncTran() == 0)
        throw Error(ErrorNumber::Database,
                    "Cannot issue SAVE TRANSACTION when there is no active transaction.", 628);
    exec(("savepoint palvo_save_" + std::to_string(savepoints.size())).c_str());
    savepoints.push_back(name);
}

int Connection::Impl::registerBatchFunctions() {
    static constexpr auto implOf = [](sqlite3_context* c) -> Impl& {
        return *static_cast<Impl*>(sqlite3_user_data(c));
    };
    // ERROR_NUMBER() and the like: Null outside a CATCH block
    using Caught = dialect::BatchPort::Caught;
    static constexpr auto caughtNumber = [](sqlite3_context* c, long long (*field)(const Caught&)) {
        const auto& error = implOf(c).caught;
        if (!error) return sqlite3_result_null(c);
        sqlite3_result_int64(c, field(*error));
    };
    using Fn = void (*)(sqlite3_context*, int, sqlite3_value**);
    struct Named {
        const char* name;
        Fn fn;
    };
    const Named functions[] = {
        {"tsql_trancount",
         [](sqlite3_context* c, int, sqlite3_value**) { sqlite3_result_int(c, implOf(c).syncTran()); }},
        {"tsql_error",
         [](sqlite3_context* c, int, sqlite3_value**) { sqlite3_result_int64(c, implOf(c).lastError); }},
        {"tsql_rowcount",
         [](sqlite3_context* c, int, sqlite3_value**) { sqlite3_result_int64(c, implOf(c).lastRowCount); }},
        {"tsql_fetch_status",
         [](sqlite3_context* c, int, sqlite3_value**) { sqlite3_result_int(c, implOf(c).fetchStatus); }},
        {"tsql_cursor_rows",
         [](sqlite3_context* c, int, sqlite3_value**) { sqlite3_result_int64(c, implOf(c).cursorRows); }},
        {"tsql_scope_identity",
         [](sqlite3_context* c, int, sqlite3_value**) {
             const auto& id = implOf(c).scopeIdentity;
             if (!id) return sqlite3_result_null(c);
             sqlite3_result_int64(c, *id);
         }},
        {"tsql_xact_state",
         [](sqlite3_context* c, int, sqlite3_value**) {
             Impl& impl = implOf(c);
             sqlite3_result_int(c, impl.syncTran() == 0 ? 0 : impl.uncommittable ? -1 : 1);
         }},
        {"tsql_error_number",
         [](sqlite3_context* c, int, sqlite3_value**) {
             caughtNumber(c, [](const Caught& e) -> long long { return e.number; });
         }},
        {"tsql_error_severity",
         [](sqlite3_context* c, int, sqlite3_value**) {
             caughtNumber(c, [](const Caught& e) -> long long { return e.severity; });
         }},
        {"tsql_error_state",
         [](sqlite3_context* c, int, sqlite3_value**) {
             caughtNumber(c, [](const Caught& e) -> long long { return e.state; });
         }},
        {"tsql_error_line",
         [](sqlite3_context* c, int, sqlite3_value**) {
             caughtNumber(c, [](const Caught& e) -> long long { return e.line; });
         }},
        {"tsql_error_message",
         [](sqlite3_context* c, int, sqlite3_value**) {
             const Impl& impl = implOf(c);
             if (!impl.caught) return sqlite3_result_null(c);
             const std::string& m = impl.caught->message;
             sqlite3_result_text(c, m.data(), static_cast<int>(m.size()), SQLITE_TRANSIENT);
         }},
        // Null for an error raised in a batch, which is no procedure
        {"tsql_error_procedure",
         [](sqlite3_context* c, int, sqlite3_value**) {
             const auto& error = implOf(c).caught;
             if (!error || error->procedure.empty()) return sqlite3_result_null(c);
             const std::string& p = error->procedure;
             sqlite3_result_text(c, p.data(), static_cast<int>(p.size()), SQLITE_TRANSIENT);
         }},
        {"tsql_nestlevel",
         [](sqlite3_context* c, int, sqlite3_value**) { sqlite3_result_int(c, dialect::nestLevel()); }},
    };
    for (const Named& f : functions) {
        const int rc = sqlite3_create_function_v2(db, f.name, 0, SQLITE_UTF8 | SQLITE_DIRECTONLY, this, f.fn,
                                                  nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) return rc;
    }
    // a user function whose body is statements: the engine runs it per call, on this connection
    return sqlite3_create_function_v2(db, "tsql_udf", -1, SQLITE_UTF8 | SQLITE_DIRECTONLY, this, userFunction,
                                      nullptr, nullptr, nullptr);
}

void Connection::Impl::userFunction(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Impl& impl = *static_cast<Impl*>(sqlite3_user_data(c));
    struct Running {
        int& n;
        explicit Running(int& k) : n(++k) {}
        ~Running() { --n; }
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;
    } running(impl.userFunctionsRunning);
    try {
        const auto text = [](sqlite3_value* v) {
            const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
            return std::string(t ? t : "", static_cast<std::size_t>(sqlite3_value_bytes(v)));
        };
        std::vector<Value> args;
        for (int k = 1; k < argc; ++k) {
            switch (sqlite3_value_type(argv[k])) {
                case SQLITE_NULL:
                    args.emplace_back();
                    break;
                case SQLITE_INTEGER:
                    args.emplace_back(static_cast<long long>(sqlite3_value_int64(argv[k])));
                    break;
                case SQLITE_FLOAT:
                    args.emplace_back(sqlite3_value_double(argv[k]));
                    break;
                default:
                    args.emplace_back(text(argv[k]));
                    break;
            }
        }
        static const std::function<void(const Palvo::Connection::InfoMessage&)> silent =
            [](const Palvo::Connection::InfoMessage&) {};
        Port port(impl, silent);
        const BatchScope scope(impl, nullptr);
        const Value v = dialect::runFunction(port, argc > 0 ? text(argv[0]) : std::string(), std::move(args));
        switch (v.kind()) {
            case Value::Kind::Null:
                return sqlite3_result_null(c);
            case Value::Kind::Boolean:
                return sqlite3_result_int(c, *v.boolean() ? 1 : 0);
            case Value::Kind::Integer:
                return sqlite3_result_int64(c, *v.integer());
            case Value::Kind::Double:
                return sqlite3_result_double(c, *v.real());
            case Value::Kind::DateTime: {
                const std::string iso = v.dateTime()->toIso();
                return sqlite3_result_text(c, iso.data(), static_cast<int>(iso.size()), SQLITE_TRANSIENT);
            }
            default: {
                const std::string t = v.kind() == Value::Kind::Decimal ? v.decimal()->text : v.toText();
                return sqlite3_result_text(c, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
            }
        }
    } catch (const Error& e) {
        impl.functionError = e;
        sqlite3_result_error(c, e.description().data(), static_cast<int>(e.description().size()));
    } catch (const std::exception& e) {
        sqlite3_result_error(c, e.what(), -1);
    }
}

}  // namespace Palvo::sqlite
