// The batch engine's port on a server connection: each statement translated for the server, its
// variables and the batch's own values (@@TRANCOUNT, ERROR_NUMBER(), ...) bound as parameters.
#include "batch_port.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include "palvo/dialect/target.h"
#include "palvo/error.h"

namespace Palvo::odbc::detail {

namespace {

// A translation as the engine is given it: its variables only. `parameters` names every parameter in
// order, the batch's own values among them.
struct ServerTranslation : dialect::Translation {
    std::vector<std::string> parameters;
};

bool sessionValue(const std::string& name) { return name.starts_with("@@") || name.ends_with("()"); }

const std::string kRefusedHere = "Not supported on PostgreSQL: ";

[[noreturn]] void refuse(const std::string& construct) {
    throw Error(ErrorNumber::NotSupported, kRefusedHere + construct + ".");
}

bool modulesKept(ServerLink& link) {
    return !link.rows("select 1 where to_regclass('public.palvo_modules') is not null", {}).cells.empty();
}

// The user functions as the server keeps them now, asked for by name as a statement calls them: another
// connection's CREATE, ALTER or DROP is seen by the next statement.
class ServerCatalogue final : public dialect::Catalogue {
public:
    explicit ServerCatalogue(ServerLink& link) : link_(link) {}

    // only a table's existence is asked (a name followed by its hints, `dbo.T (nolock)`)
    const Columns* columns(const std::string& lowerName) override {
        asked_ = true;
        return tableExists(link_, lowerName) ? &none_ : nullptr;
    }
    const FunctionDefinition* function(const std::string& lowerName) override {
        asked_ = true;
        auto it = functions_.find(lowerName);
        if (it == functions_.end()) {
            std::optional<FunctionDefinition> found;
            if (!kept_) kept_ = modulesKept(link_);
            if (*kept_) {
                const ResultTable t = link_.rows(
                    "select type, definition from palvo_modules where lower(name) = lower(cast(? as text)) "
                    "and type in ('FN', 'IF')",
                    {Value(lowerName)});
                if (t.rowCount() > 0) found = FunctionDefinition{t.at(0, 0).toText(), t.at(0, 1).toText()};
            }
            it = functions_.emplace(lowerName, std::move(found)).first;
        }
        return it->second ? &*it->second : nullptr;
    }
    // a call is known by its shape (`dbo.f(`, `from f(`): the server is asked only at one
    bool hasFunctions() override { return true; }
    // whether the text had a call's shape, which only the server's answer tells apart
    bool asked() const { return asked_; }

private:
    ServerLink& link_;
    bool asked_ = false;
    std::optional<bool> kept_;
    std::map<std::string, std::optional<FunctionDefinition>> functions_;
    const Columns none_;
};

class Port final : public dialect::BatchPort {
public:
    Port(ServerLink& link, BatchSession& session, dialect::Translator& translator,
         const std::function<void(const Palvo::Connection::InfoMessage&)>& tell)
        : link_(link), s_(session), translator_(translator), tell_(tell) {
        if (link_.timeoutSeconds() > 0)
            deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(link_.timeoutSeconds());
    }

    std::string_view targetName() const override { return translator_.target().name(); }

    std::shared_ptr<const dialect::Translation> translate(const std::string& tsql) override {
        const auto written = withFunctions(link_, s_, tsql);
        const auto tr = translator_.translateStatements(written ? *written : tsql);
        auto out = std::make_shared<ServerTranslation>();
        static_cast<dialect::Translation&>(*out) = *tr;
        // one that calls a user function holds only while the function does: the engine keeps no other
        if (written) out->usesCatalogue = true;
        out->parameters = tr->variables;
        out->variables.clear();
        for (const std::string& name : tr->variables) {
            if (!sessionValue(name)) out->variables.push_back(name);
        }
        return out;
    }
    long execute(const std::string&, const std::shared_ptr<const dialect::Translation>& tr,
                 const std::vector<Value>& values) override {
        const auto params = bound(*tr, values);
        long affected = -1;
        for (std::size_t k = 0; k < tr->statements.size(); ++k) {
            const long n = link_.change(tr->statements[k], k == tr->parameterStatement ? params : none_);
            if (k == 0) affected = n;
        }
        return affected;
    }
    ResultTable query(const std::string&, const std::shared_ptr<const dialect::Translation>& tr,
                      const std::vector<Value>& values) override {
        const auto params = bound(*tr, values);
        for (std::size_t k = 0; k + 1 < tr->statements.size(); ++k) link_.change(tr->statements[k], none_);
        return link_.rows(tr->statements.back(), params);
    }
    void loopRound() override {
        if (deadline_ && std::chrono::steady_clock::now() >= *deadline_)
            throw Error(ErrorNumber::Database, "Query timeout expired");
    }
    void print(const std::string& text) override { tell_({text, -1}); }
    void rowsCounted(long rows) override { tell_({"", rows}); }

    int tranCount() override { return s_.tranCount; }
    void beginTran(const std::string& name) override { detail::beginTran(link_, s_, name); }
    void commitTran() override { detail::commitTran(link_, s_); }
    void rollbackTran(const std::string& name) override { detail::rollbackTran(link_, s_, name); }
    void saveTran(const std::string& name) override {
        if (s_.tranCount == 0)
            throw Error(ErrorNumber::Database,
                        "Cannot issue SAVE TRANSACTION when there is no active transaction.", 628);
        link_.change("savepoint palvo_save_" + std::to_string(s_.savepoints.size()), {});
        s_.savepoints.push_back(name);
    }
    void statementEnded(long error, long rows) override {
        s_.lastError = error;
        s_.lastRowCount = rows;
    }
    void catching(const Caught* error) override {
        if (error) {
            s_.caught = *error;
        } else {
            s_.caught.reset();
        }
    }
    void doomed(bool cannotCommit) override { s_.uncommittable = cannotCommit; }

    void setLanguage(const std::string&) override { refuse("SET LANGUAGE in a batch"); }
    void lockTimeout(long long) override { refuse("SET LOCK_TIMEOUT in a batch"); }
    void setDateFirst(int) override { refuse("SET DATEFIRST in a batch"); }
    void setDateFormat(const std::string&) override { refuse("SET DATEFORMAT in a batch"); }
    void setAnsiNulls(bool on) override {
        if (!on) refuse("SET ANSI_NULLS OFF in a batch");
    }
    void setRowCount(long long rows) override { s_.rowLimit = rows; }
    long long rowCount() override { return s_.rowLimit; }
    void wait(long long milliseconds) override {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        if (deadline_ && *deadline_ < until) {
            std::this_thread::sleep_until(*deadline_);
            throw Error(ErrorNumber::Database, "Query timeout expired");
        }
        std::this_thread::sleep_until(until);
    }

    std::shared_ptr<dialect::CursorSet>* globalCursors() override { return &s_.cursors; }
    void setFetchStatus(int status) override { s_.fetchStatus = status; }
    int fetchStatus() override { return s_.fetchStatus; }
    void setCursorRows(long rows) override { s_.cursorRows = rows; }

    // Procedures are kept in the library's own table on the server, made when the first is stored; their
    // names compare without regard to case, as SQL Server's do.
    std::optional<Module> module(const std::string& name) override {
        if (!modulesKept(link_)) return std::nullopt;
        const ResultTable t = link_.rows(
            "select name, type, coalesce(parent, ''), definition from palvo_modules where lower(name) = "
            "lower(cast(? as text))",
            {Value(name)});
        if (t.rowCount() == 0) return std::nullopt;
        return Module{t.at(0, 0).toText(), t.at(0, 1).toText(), t.at(0, 2).toText(), t.at(0, 3).toText()};
    }
    // A scalar function whose body is statements is a PL/pgSQL function on the server as well, made,
    // replaced and dropped in one transaction with its text.
    void storeModule(const Module& m) override {
        if (m.type == "TR") refuse("triggers");
        std::string server;
        if (m.type == "FN" && dialect::functionRunsStatements(m.definition)) {
            ServerCatalogue calls(link_);
            server = dialect::postgresFunction(m.definition, calls);
        }
        atomically([&] {
            link_.change(
                "create table if not exists palvo_modules (name varchar(128) not null, type varchar(2) not "
                "null, parent varchar(128), definition text not null)",
                {});
            // one statement: the old definition goes only when the new one comes
            link_.change(
                "with gone as (delete from palvo_modules where lower(name) = lower(cast(? as text))) insert "
                "into palvo_modules (name, type, parent, definition) values (?, ?, nullif(?, ''), ?)",
                {Value(m.name), Value(m.name), Value(m.type), Value(m.parent), Value(m.definition)});
            dropServerFunction(m.name);
            if (server.empty()) return;
            link_.change(server, {});
        });
    }
    void dropModule(const std::string& name) override {
        if (!modulesKept(link_)) return;
        atomically([&] {
            link_.change("delete from palvo_modules where lower(name) = lower(cast(? as text))",
                         {Value(name)});
            dropServerFunction(name);
        });
    }
    bool tableExists(const std::string& name) override { return detail::tableExists(link_, name); }

    std::vector<std::string> temporaryTables() override {
        const ResultTable t = link_.rows(
            "select relname::text from pg_catalog.pg_class where relnamespace = "
            "pg_catalog.pg_my_temp_schema() "
            "and relkind = 'r' and relname like '#%' order by relname",
            {});
        std::vector<std::string> out;
        for (std::size_t k = 0; k < t.rowCount(); ++k) out.push_back(t.at(k, 0).toText());
        return out;
    }

private:
    // Runs `f` in the connection's transaction, or in one of its own.
    template <typename F>
    void atomically(F&& f) {
        if (s_.tranCount > 0) {
            f();
            return;
        }
        link_.begin();
        try {
            f();
        } catch (...) {
            link_.end(false);
            throw;
        }
        link_.end(true);
    }
    void dropServerFunction(const std::string& name) {
        const std::string server = dialect::postgresFunctionName(name);
        if (link_.rows("select 1 where to_regproc(cast(? as text)) is not null", {Value(server)}).rowCount() >
            0)
            link_.change("drop function " + server, {});
    }

    // The values of the translation's parameters: the variables' as the engine gives them, the
    // batch's own from the session.
    std::vector<Value> bound(const dialect::Translation& tr, const std::vector<Value>& values) const {
        const auto& names = static_cast<const ServerTranslation&>(tr).parameters;
        std::vector<Value> out;
        out.reserve(names.size());
        std::size_t next = 0;
        for (const std::string& name : names) {
            if (!sessionValue(name)) {
                out.push_back(next < values.size() ? values[next] : Value());
                ++next;
                continue;
            }
            out.push_back(own(name));
        }
        return out;
    }

    Value own(const std::string& name) const {
        const auto number = [](long long n) { return Value(n); };
        if (name == "@@trancount") return number(s_.tranCount);
        if (name == "@@error") return number(s_.lastError);
        if (name == "@@rowcount") return number(s_.lastRowCount);
        if (name == "@@fetch_status") return number(s_.fetchStatus);
        if (name == "@@cursor_rows") return number(s_.cursorRows);
        if (name == "@@nestlevel") return number(dialect::nestLevel());
        if (name == "xact_state()") return number(s_.tranCount == 0 ? 0 : s_.uncommittable ? -1 : 1);
        // ERROR_NUMBER() and the like: Null outside a CATCH block
        if (!s_.caught) return {};
        const Caught& e = *s_.caught;
        if (name == "error_number()") return number(e.number);
        if (name == "error_severity()") return number(e.severity);
        if (name == "error_state()") return number(e.state);
        if (name == "error_line()") return number(e.line);
        if (name == "error_message()") return Value(e.message);
        if (name == "error_procedure()") return e.procedure.empty() ? Value() : Value(e.procedure);
        return {};
    }

    ServerLink& link_;
    BatchSession& s_;
    dialect::Translator& translator_;
    const std::function<void(const Palvo::Connection::InfoMessage&)>& tell_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    const std::vector<Value> none_;
};

// A batch sent alone reads none of the last one's @@ERROR, @@ROWCOUNT or caught error; a batch within
// one (dynamic SQL, a procedure) is the engine's to scope.
struct Scope {
    BatchSession& s;
    bool outer;
    explicit Scope(BatchSession& session) : s(session), outer(!session.inBatch) {
        if (outer) reset();
        s.inBatch = true;
    }
    ~Scope() {
        if (!outer) return;
        s.inBatch = false;
        reset();
    }
    void reset() {
        s.lastError = 0;
        s.lastRowCount = 0;
        s.caught.reset();
        s.uncommittable = false;
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
};

}  // namespace

bool tableExists(ServerLink& link, const std::string& name) {
    return link.rows(
                   "select 1 from pg_catalog.pg_class c join pg_catalog.pg_namespace n on n.oid = "
                   "c.relnamespace "
                   "where c.relkind in ('r', 'v', 'p') and lower(c.relname) = lower(cast(? as text)) and "
                   "(n.nspname = 'public' or c.relnamespace = pg_catalog.pg_my_temp_schema())",
                   {Value(name)})
               .rowCount() > 0;
}

std::optional<std::string> withFunctions(ServerLink& link, BatchSession& session, const std::string& sql) {
    if (session.callFree.contains(sql)) return std::nullopt;
    ServerCatalogue catalogue(link);
    auto written = dialect::expandFunctions(sql, catalogue);
    if (!catalogue.asked()) {
        constexpr std::size_t kTextsKept = 256;
        if (session.callFree.size() >= kTextsKept) session.callFree.clear();
        session.callFree.insert(sql);
    }
    return written;
}

void beginTran(ServerLink& link, BatchSession& s, const std::string& name) {
    if (s.tranCount == 0) {
        link.begin();
        s.tranName = name;
        s.savepoints.clear();
    }
    ++s.tranCount;
}

void commitTran(ServerLink& link, BatchSession& s) {
    if (s.tranCount == 0)
        throw Error(ErrorNumber::Database,
                    "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.", 3902);
    if (s.tranCount == 1) {
        link.end(true);
        s.savepoints.clear();
    }
    --s.tranCount;
}

void rollbackTran(ServerLink& link, BatchSession& s, const std::string& name) {
    if (s.tranCount == 0)
        throw Error(ErrorNumber::Database,
                    "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.", 3903);
    // names match as written, as SQL Server's transaction and savepoint names do
    if (name.empty() || name == s.tranName) {
        s.tranCount = 0;
        s.savepoints.clear();
        link.end(false);
        return;
    }
    for (std::size_t k = s.savepoints.size(); k-- > 0;) {
        if (s.savepoints[k] == name) {
            link.change("rollback to savepoint palvo_save_" + std::to_string(k), {});
            s.savepoints.resize(k + 1);
            return;
        }
    }
    throw Error(ErrorNumber::Database,
                "Cannot roll back " + name + ". No transaction or savepoint of that name was found.", 6401);
}

bool runsAsBatch(const dialect::Translation& tr, const BatchSession& session) {
    return tr.batch || !tr.variables.empty() || session.rowLimit > 0;
}

dialect::BatchResult runServerBatch(ServerLink& link, BatchSession& session, dialect::Translator& translator,
                                    const std::string& sql, const std::vector<Value>& params,
                                    const std::function<void(const Palvo::Connection::InfoMessage&)>& tell) {
    if (!params.empty())
        refuse(session.rowLimit > 0 && !dialect::isBatch(sql)
                   ? "parameters (?) in a statement under SET ROWCOUNT other than 0"
                   : "parameters (?) in a batch (its variables take its values)");
    try {
        constexpr std::size_t kBatchesKept = 64;
        std::shared_ptr<const dialect::Batch> batch;
        if (const auto it = session.batches.find(sql); it != session.batches.end()) {
            batch = it->second;
        } else {
            batch = std::make_shared<const dialect::Batch>(sql);
            if (session.batches.size() >= kBatchesKept) session.batches.clear();
            session.batches.emplace(sql, batch);
        }
        Port port(link, session, translator, tell);
        const Scope scope(session);
        return batch->run(port);
    } catch (const Error& e) {
        // the engine's refusals name the embedded database, whose port it was written for
        static const std::string embedded = "Not supported by the embedded database: ";
        if (e.number() != ErrorNumber::NotSupported || !e.description().starts_with(embedded)) throw;
        throw Error(ErrorNumber::NotSupported, kRefusedHere + e.description().substr(embedded.size()),
                    e.nativeCode(), e.sqlState());
    }
}

}  // namespace Palvo::odbc::detail
