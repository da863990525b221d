// The batch engine: a batch read into steps once (each query or change as the
// T-SQL text its connection translates, its variables declared before it, so
// that the translation types them), then stepped through with the variables'
// values bound to each statement's parameters.
#include "palvo/dialect/batch.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <unordered_map>
#include <utility>

#include "batch_cursors.h"
#include "batch_errors.h"
#include "batch_modules.h"
#include "batch_procs.h"
#include "palvo/error.h"
#include "reader.h"

namespace Palvo::dialect {

BatchPort::~BatchPort() = default;
void BatchPort::print(const std::string&) {}
void BatchPort::rowsCounted(long) {}
int BatchPort::tranCount() { return 0; }
void BatchPort::beginTran(const std::string&) { unsupported("transactions in a batch"); }
void BatchPort::commitTran() { unsupported("transactions in a batch"); }
void BatchPort::rollbackTran(const std::string&) { unsupported("transactions in a batch"); }
void BatchPort::saveTran(const std::string&) { unsupported("transactions in a batch"); }
void BatchPort::statementEnded(long, long) {}
void BatchPort::catching(const Caught*) {}
void BatchPort::doomed(bool) {}
void BatchPort::setLanguage(const std::string&) { unsupported("SET LANGUAGE in a batch"); }
void BatchPort::lockTimeout(long long) { unsupported("SET LOCK_TIMEOUT in a batch"); }
void BatchPort::wait(long long) { unsupported("WAITFOR"); }
void BatchPort::setDateFirst(int) { unsupported("SET DATEFIRST in a batch"); }
int BatchPort::dateFirst() { return 7; }
void BatchPort::setDateFormat(const std::string&) { unsupported("SET DATEFORMAT in a batch"); }
std::string BatchPort::dateFormat() { return "mdy"; }
void BatchPort::setRowCount(long long) { unsupported("SET ROWCOUNT in a batch"); }
long long BatchPort::rowCount() { return 0; }
void BatchPort::setAnsiNulls(bool on) {
    if (!on) unsupported("SET ANSI_NULLS OFF in a batch");
}
bool BatchPort::ansiNulls() { return true; }
std::string BatchPort::language() { return ""; }
Error BatchPort::spoken(const Error& e) { return e; }
std::shared_ptr<CursorSet>* BatchPort::globalCursors() { return nullptr; }
void BatchPort::setFetchStatus(int) {}
int BatchPort::fetchStatus() { return -1; }
void BatchPort::setCursorRows(long) {}

namespace {

struct Variable {
    std::string name;  // as first written, for messages
    std::string key;   // lower case, as translations list it
    std::string type;
};

struct Step {
    enum class Op {
        Query,         // its rows: the first result set is the batch's
        Change,        // INSERT, UPDATE, DELETE, CREATE, ...: rows affected
        Assign,        // SET @v = x, DECLARE @v t = x: one value into `targets`
        SelectAssign,  // SELECT @a = x, @b = y ...: the last row's values into `targets`
        Print,
        NoCount,  // SET NOCOUNT ON (`on`) or OFF
        If,       // parts[0], else parts[1] when there is one
        While,    // parts[0]
        Block,
        Break,
        Continue,
        Return,
        Tran,     // BEGIN TRAN, COMMIT, ROLLBACK, SAVE TRAN (`tran`, `name`)
        Raise,    // RAISERROR: `sql` gives its message, severity, state and arguments
        Throw,    // THROW: `sql` gives its number, message and state; none: the error caught again
        Try,      // parts[0], and parts[1] when an error ends it
        Setting,  // SET XACT_ABORT, LANGUAGE, LOCK_TIMEOUT, ... (`setting`, `on`, `name`, `value`)
        Wait,     // WAITFOR DELAY: `sql` gives its time
        Exec,     // EXEC (text), sp_executesql: `sql` gives its values; `targets` its OUTPUT variables (-1:
                  // none)
        Cursor,   // DECLARE ... CURSOR (`sql` its query), OPEN, FETCH (`sql` its ABSOLUTE or RELATIVE number;
                  // `targets` its INTO variables, `parts` their conversions), CLOSE, DEALLOCATE
        Module,   // CREATE, ALTER, DROP PROCEDURE (`module`)
    };
    Op op = Op::Block;
    std::string sql;           // the T-SQL translated: the statement, or the value, condition, text asked for
    std::vector<int> targets;  // the variable each result column goes to
    std::vector<int> declared;  // the variables declared before the statement in `sql`
    bool on = false;
    TranStatement::Kind tran = TranStatement::Kind::Begin;
    Setting::Kind setting = Setting::Kind::Kept;
    long long value = 0;
    std::string name;
    int line = 1;  // where the statement begins in the batch, from 1
    std::vector<Step> parts;
    std::shared_ptr<const ExecCall> exec;
    std::shared_ptr<const CursorStatement> cursor;
    bool fetchTest = false;  // If, While: the condition is @@FETCH_STATUS = `value` (`on`) or <> `value`
    bool oneRow = false;     // Change: changes one row at most, whatever SET ROWCOUNT says
    // Change under SET ROWCOUNT n: the statement is limitedHead + n + limitedTail (TOP (n)); none when it
    // cannot take one
    std::string limitedHead, limitedTail;
    std::shared_ptr<const ModuleChange> module;
    // the variables bound to the parameters of the translation last used, by their numbers
    mutable const Translation* boundFor = nullptr;
    // a translation that reads no table's columns holds whatever the schema does: kept for the loop's next
    // round
    mutable std::shared_ptr<const Translation> kept;
    mutable bool keptAnsiNulls = true;  // the SET ANSI_NULLS it was translated under
    mutable std::vector<int> slots;
};

[[noreturn]] void refuse(const std::string& construct) { unsupported(construct); }

// Reads the statement tree into steps, in the order of the text: a variable is
// known from its DECLARE on, as SQL Server compiles a batch.
class Compiler {
public:
    Compiler(const StatementTree& tree, std::vector<Variable>& vars, std::vector<std::string>& tables)
        : t_(tree), ns_(tree.nodes), vars_(vars), tableDefinitions_(tables) {
        // a nested batch's parameters are its variables from the start
        for (std::size_t k = 0; k < vars.size(); ++k) index_.emplace(vars[k].key, static_cast<int>(k));
        for (std::size_t k = 0; k < t_.text.size(); ++k) {
            if (t_.text[k] == '\n') newlines_.push_back(k);
        }
    }

    bool procedure = false;       // a procedure's body: RETURN may give a value
    std::string returns = "int";  // of this type (a function's declared type)

    std::vector<Step> all() {
        std::vector<Step> out;
        for (const BatchStatement& s : t_.statements) add(s, out);
        return out;
    }

private:
    const StatementTree& t_;
    const Nodes& ns_;
    std::vector<Variable>& vars_;
    std::unordered_map<std::string, int> index_;
    TableVariables tables_;
    std::vector<std::string>& tableDefinitions_;  // each table variable's table, made as the batch starts
    int loops_ = 0;
    int catches_ = 0;
    std::vector<std::size_t> newlines_;

    int lineOf(std::size_t node) const {
        const std::size_t at = t_.offsetOf(node);
        return 1 +
               static_cast<int>(std::upper_bound(newlines_.begin(), newlines_.end(), at) - newlines_.begin());
    }

    std::string slice(std::size_t b, std::size_t e) const {
        // a call's `dbo.` kept: `set @v = dbo.f(1)`
        return withTableVariables(t_.text, ns_, b, e, withSchema(t_.text, t_.offsetOf(b)), t_.offsetOf(e),
                                  tables_);
    }

    void collect(const Nodes& ns, std::size_t b, std::size_t e, std::vector<int>& used) const {
        for (std::size_t k = b; k < e; ++k) {
            const Node& n = ns[k];
            if (n.group) {
                collect(n.kids, 0, n.kids.size(), used);
                continue;
            }
            if (n.tok.kind != TokenKind::Variable || n.tok.text.starts_with("@@")) continue;
            const auto it = index_.find(asciiLower(n.tok.text));
            checkVariableUse(ns, k, it != index_.end(), tables_);
            if (it == index_.end()) continue;  // a table variable, written as its table
            if (std::find(used.begin(), used.end(), it->second) == used.end()) used.push_back(it->second);
        }
    }

    // The step's T-SQL: `body`, after the DECLAREs of the variables `used`.
    void finish(Step& s, std::vector<int> used, const std::string& body) const {
        s.sql.clear();
        if (!used.empty()) {
            s.sql = "declare ";
            for (std::size_t k = 0; k < used.size(); ++k) {
                const Variable& v = vars_[static_cast<std::size_t>(used[k])];
                s.sql += (k ? ", " : "") + v.key + " " + v.type;
            }
            s.sql += ";\n";
        }
        s.sql += body;
        s.declared = std::move(used);
    }

    // The step's T-SQL: `body`, which reads the variables of nodes [b, e).
    void finish(Step& s, std::size_t b, std::size_t e, const std::string& body) const {
        std::vector<int> used;
        collect(ns_, b, e, used);
        finish(s, std::move(used), body);
    }

    int variableAt(std::size_t k) const {
        const Node& n = ns_[k];
        const auto it = index_.find(asciiLower(n.tok.text));
        if (it == index_.end())
            throw Error(ErrorNumber::Database, "Must declare the scalar variable \"" + n.tok.text + "\".",
                        137);
        return it->second;
    }

    // The value of nodes [b, e) converted to the variable's type, as assignment converts it.
    Step assign(int var, std::size_t b, std::size_t e, const std::string& compound) const {
        const Variable& v = vars_[static_cast<std::size_t>(var)];
        std::string value = slice(b, e) + "\n";
        if (!compound.empty()) value = v.key + " " + compound + " (" + value + ")";
        Step s;
        s.op = Step::Op::Assign;
        std::vector<int> used;
        collect(ns_, b, e, used);
        if (!compound.empty() && std::find(used.begin(), used.end(), var) == used.end()) used.push_back(var);
        finish(s, std::move(used), "select cast(" + value + " as " + v.type + ")");
        s.targets = {var};
        return s;
    }

    // `op=` at k (+=, -=, ...): the operator; "" for a plain '='; k moves past it.
    std::string assignment(std::size_t& k, std::size_t e) const {
        if (k < e && ns_[k].op("=")) {
            ++k;
            return "";
        }
        static const char* const ops[] = {"+", "-", "*", "/", "%", "&", "|", "^"};
        if (k + 1 < e && ns_[k + 1].op("=")) {
            for (const char* o : ops) {
                if (ns_[k].op(o)) {
                    k += 2;
                    return o;
                }
            }
        }
        throw Error(ErrorNumber::Database,
                    "Incorrect syntax near '" + (k < e ? ns_[k].tok.text : ns_[e - 1].tok.text) + "'.", 102);
    }

    void declare(const BatchStatement& s, std::vector<Step>& out) {
        if (CursorStatement c; readCursorDeclaration(ns_, s.first, s.last, c)) {
            cursor(std::move(c), out);
            return;
        }
        if (TableVariable tv; tableVariableDeclaration(ns_, s.first, s.last, tv)) {
            if (index_.count(tv.key) || tables_.count(tv.key)) {
                throw Error(
                    ErrorNumber::Database,
                    "The variable name '" + tv.written +
                        "' has already been declared. Variable names must be unique within a query batch "
                        "or stored procedure.",
                    134);
            }
            const std::size_t at = static_cast<std::size_t>(tv.columns - ns_.data());
            tableDefinitions_.push_back(tableVariableTable(tv.key));
            tableDefinitions_.push_back(
                "create table " + tableVariableTable(tv.key) + " " +
                std::string(t_.text.substr(t_.offsetOf(at), t_.offsetOf(s.last) - t_.offsetOf(at))));
            tables_.emplace(tv.key, tv.written);
            return;
        }
        for (Declared& d : readDeclarations(ns_, s.first, s.last)) {
            const std::string& written = d.written;
            if (index_.count(d.name) || tables_.count(d.name)) {
                throw Error(
                    ErrorNumber::Database,
                    "The variable name '" + written +
                        "' has already been declared. Variable names must be unique within a query batch "
                        "or stored procedure.",
                    134);
            }
            const int var = static_cast<int>(vars_.size());
            vars_.push_back({written, d.name, d.type});
            if (d.valueFirst != d.valueLast) {
                // the value may read variables declared before this one, not this one
                Step a = assign(var, d.valueFirst, d.valueLast, "");
                index_.emplace(d.name, var);
                out.push_back(std::move(a));
            } else {
                index_.emplace(d.name, var);
            }
        }
    }

    void set(const BatchStatement& s, std::vector<Step>& out) {
        std::size_t k = s.first + 1;
        if (k >= s.last) throw Error(ErrorNumber::Database, "Incorrect syntax near 'SET'.", 102);
        const Node& what = ns_[k];
        if (!what.group && what.tok.kind == TokenKind::Variable && !what.tok.text.starts_with("@@")) {
            const int var = variableAt(k);
            ++k;
            const std::string compound = assignment(k, s.last);
            if (k >= s.last) throw Error(ErrorNumber::Database, "Incorrect syntax near '='.", 102);
            out.push_back(assign(var, k, s.last, compound));
            return;
        }
        if (what.word("nocount") && k + 2 == s.last && (ns_[k + 1].word("on") || ns_[k + 1].word("off"))) {
            Step n;
            n.op = Step::Op::NoCount;
            n.on = ns_[k + 1].word("on");
            out.push_back(std::move(n));
            return;
        }
        if (Setting setting; readSetting(ns_, s.first, s.last, setting)) {
            Step x;
            x.op = Step::Op::Setting;
            x.setting = setting.kind;
            x.on = setting.on;
            x.name = std::move(setting.name);
            x.value = setting.value;
            if (setting.from)
                finish(x, setting.from, setting.from + 1, "select " + slice(setting.from, setting.from + 1));
            out.push_back(std::move(x));
            return;
        }
        // the settings SQL Server's own scripts begin with, at the values the embedded database keeps
        // anyway; their other values would change what statements mean
        static const char* const standing[] = {"quoted_identifier", "ansi_padding", "ansi_warnings",
                                               "arithabort", "concat_null_yields_null"};
        if (k + 2 == s.last && ns_[k + 1].word("on") &&
            std::any_of(std::begin(standing), std::end(standing),
                        [&](const char* w) { return what.word(w); })) {
            Step kept;
            kept.op = Step::Op::Setting;
            out.push_back(std::move(kept));
            return;
        }
        refuse("SET " + (what.group ? std::string("(") : upper(what.tok.text)) +
               (k + 1 < s.last && ns_[k + 1].word("off") ? " OFF" : "") + " in a batch");
    }

    // SELECT @a = x, @b = y [FROM ...]: false for a query that assigns nothing.
    bool selectAssign(const BatchStatement& s, std::vector<Step>& out) {
        std::size_t k = s.first + 1;
        if (k < s.last && (ns_[k].word("distinct") || ns_[k].word("all"))) ++k;
        if (k < s.last && ns_[k].word("top")) {
            k += 2;
            if (k < s.last && ns_[k].word("percent")) ++k;
            if (k + 1 < s.last && ns_[k].word("with") && ns_[k + 1].word("ties")) k += 2;
        }
        const std::size_t listAt = k;
        if (k + 1 >= s.last || ns_[k].group || ns_[k].tok.kind != TokenKind::Variable ||
            ns_[k].tok.text.starts_with("@@") ||
            !(ns_[k + 1].op("=") || (k + 2 < s.last && ns_[k + 2].op("="))))
            return false;
        const std::size_t listEnd = selectListEnd(ns_, k, s.last);
        const bool from = listEnd < s.last;
        Step step;
        step.op = Step::Op::SelectAssign;
        std::string list;
        std::vector<int> used;
        collect(ns_, s.first, s.last, used);
        std::vector<Span> values;
        bool compounds = false;
        for (const Span& item : splitCommas(ns_, listAt, listEnd)) {
            std::size_t j = item.first;
            const Node& v = ns_[j];
            if (j >= item.second || v.group || v.tok.kind != TokenKind::Variable ||
                v.tok.text.starts_with("@@")) {
                throw Error(ErrorNumber::Database,
                            "A SELECT statement that assigns a value to a variable must not be combined with "
                            "data-retrieval operations.",
                            141);
            }
            const int var = variableAt(j);
            ++j;
            const std::string compound = assignment(j, item.second);
            if (j >= item.second) throw Error(ErrorNumber::Database, "Incorrect syntax near '='.", 102);
            const Variable& target = vars_[static_cast<std::size_t>(var)];
            std::string value = slice(j, item.second) + "\n";
            if (!compound.empty()) value = target.key + " " + compound + " (" + value + ")";
            compounds = compounds || !compound.empty();
            list += (list.empty() ? "" : ", ") + std::string("cast(") + value + " as " + target.type + ")";
            step.targets.push_back(var);
            values.emplace_back(j, item.second);
            if (std::find(used.begin(), used.end(), var) == used.end()) used.push_back(var);
        }
        if (from) {
            // row by row, each row seeing what the one before assigned: not run here
            bool accumulates = compounds;
            for (const Span& v : values) {
                std::vector<int> read;
                collect(ns_, v.first, v.second, read);
                for (int r : read) {
                    accumulates = accumulates || std::find(step.targets.begin(), step.targets.end(), r) !=
                                                     step.targets.end();
                }
            }
            if (accumulates)
                refuse(
                    "SELECT @v = ... FROM ... that reads a variable it assigns (an assignment accumulated "
                    "row by row)");
        }
        finish(step, std::move(used),
               "select " + slice(s.first + 1, listAt) + list + " " + slice(listEnd, s.last));
        out.push_back(std::move(step));
        return true;
    }

    // DECLARE ... CURSOR, OPEN, FETCH, CLOSE, DEALLOCATE
    void cursor(CursorStatement c, std::vector<Step>& out) {
        Step step;
        step.op = Step::Op::Cursor;
        if (c.kind == CursorStatement::Kind::Declare) {
            finish(step, c.query.first, c.query.second, slice(c.query.first, c.query.second));
        } else if (c.amount.first != c.amount.second) {
            finish(step, c.amount.first, c.amount.second,
                   "select cast(" + slice(c.amount.first, c.amount.second) + "\nas bigint)");
        }
        for (const std::size_t at : c.targets) {
            // a value the variable's type would change goes through assignment's conversion
            const int var = variableAt(at);
            const Variable& v = vars_[static_cast<std::size_t>(var)];
            Step convert;
            convert.op = Step::Op::Assign;
            finish(convert, {var}, "select cast(" + v.key + " as " + v.type + ")");
            convert.targets = {var};
            step.targets.push_back(var);
            step.parts.push_back(std::move(convert));
        }
        step.cursor = std::make_shared<const CursorStatement>(std::move(c));
        out.push_back(std::move(step));
    }

    // `@@FETCH_STATUS = n` (or <>, !=, in parentheses): a cursor loop's test, answered without a query
    void fetchTest(const BatchStatement& s, Step& c) const {
        const Nodes* ns = &ns_;
        std::size_t b = s.first + 1, e = s.conditionEnd;
        if (e == b + 1 && ns_[b].group) {
            ns = &ns_[b].kids;
            b = 0;
            e = ns->size();
        }
        const Nodes& n = *ns;
        if (e - b < 3 || n[b].group || n[b].tok.kind != TokenKind::Variable ||
            asciiLower(n[b].tok.text) != "@@fetch_status" ||
            !(n[b + 1].op("=") || n[b + 1].op("<>") || n[b + 1].op("!=")))
            return;
        const bool minus = n[b + 2].op("-");
        const std::size_t at = b + 2 + (minus ? 1 : 0);
        if (at + 1 != e || n[at].group || n[at].tok.kind != TokenKind::Number ||
            n[at].tok.text.find_first_not_of("0123456789") != std::string::npos || n[at].tok.text.size() > 3)
            return;
        c.fetchTest = true;
        c.on = n[b + 1].op("=");
        c.value = (minus ? -1 : 1) * std::stoll(n[at].tok.text);
    }

    Step condition(const BatchStatement& s, Step::Op op) {
        Step c;
        c.op = op;
        fetchTest(s, c);
        finish(c, s.first + 1, s.conditionEnd,
               "select case when " + slice(s.first + 1, s.conditionEnd) + "\nthen 1 else 0 end");
        return c;
    }

    Step one(const BatchStatement& s) {
        std::vector<Step> out;
        add(s, out);
        if (out.size() == 1) return std::move(out[0]);
        Step block;
        block.op = Step::Op::Block;
        block.parts = std::move(out);
        return block;
    }

    bool tran(const BatchStatement& s, std::vector<Step>& out) const {
        TranStatement t;
        if (!readTran(ns_, s.first, s.last, t)) return false;
        Step step;
        step.op = Step::Op::Tran;
        step.tran = t.kind;
        step.name = std::move(t.name);
        out.push_back(std::move(step));
        return true;
    }

    // The text of a group's contents, without its parentheses.
    std::string inside(std::size_t group) const {
        std::string g = slice(group, group + 1);
        while (!g.empty() && (g.back() == ' ' || g.back() == '\n' || g.back() == '\r' || g.back() == '\t'))
            g.pop_back();
        return g.size() >= 2 ? g.substr(1, g.size() - 2) : std::string();
    }

    void raise(const BatchStatement& s, std::vector<Step>& out) const {
        readRaise(ns_, s.first, s.last);
        Step step;
        step.op = Step::Op::Raise;
        finish(step, s.first + 1, s.first + 2, "select " + inside(s.first + 1));
        out.push_back(std::move(step));
    }

    void waitFor(const BatchStatement& s, std::vector<Step>& out) const {
        if (s.first + 1 < s.last && ns_[s.first + 1].word("time")) refuse("WAITFOR TIME");
        if (s.first + 2 >= s.last || !ns_[s.first + 1].word("delay")) refuse("WAITFOR");
        Step step;
        step.op = Step::Op::Wait;
        finish(step, s.first + 2, s.last, "select cast(" + slice(s.first + 2, s.last) + "\nas varchar(30))");
        out.push_back(std::move(step));
    }

    void throwing(const BatchStatement& s, std::vector<Step>& out) const {
        const ThrowStatement t = readThrow(ns_, s.first, s.last);
        Step step;
        step.op = Step::Op::Throw;
        if (t.values.empty()) {
            if (catches_ == 0)
                throw Error(ErrorNumber::Database,
                            "To rethrow an error, a THROW statement must be used inside a CATCH block.",
                            10704);
        } else {
            finish(step, s.first + 1, s.last, "select " + slice(s.first + 1, s.last));
        }
        out.push_back(std::move(step));
    }

    // The main statement of WITH ...: the first query or change word after the common tables.
    bool withQuery(const BatchStatement& s) const {
        for (std::size_t k = s.first + 1; k < s.last; ++k) {
            if (ns_[k].word("select")) return true;
            if (ns_[k].word("insert") || ns_[k].word("update") || ns_[k].word("delete")) return false;
        }
        return true;
    }

    void add(const BatchStatement& s, std::vector<Step>& out) {
        const std::size_t from = out.size();
        place(s, out);
        const int line = lineOf(s.first);
        for (std::size_t k = from; k < out.size(); ++k) out[k].line = line;
    }

    // EXEC: the values of its arguments, read before the call, and its OUTPUT variables
    void exec(const BatchStatement& s, std::vector<Step>& out) {
        Step step;
        auto call = std::make_shared<ExecCall>(readExec(ns_, s.first, s.last));
        step.op = Step::Op::Exec;
        std::vector<int> used;
        std::string list;
        for (const Span& v : call->values) {
            collect(ns_, v.first, v.second, used);
            list += (list.empty() ? "" : ", ") + slice(v.first, v.second) + "\n";
        }
        for (const std::size_t at : call->outputAt) {
            step.targets.push_back(at < s.last ? variableAt(at) : -1);
            call->targetTypes.emplace_back();
            if (step.targets.back() < 0) continue;
            // what comes back is converted to the caller's variable's type
            const int var = step.targets.back();
            const Variable& v = vars_[static_cast<std::size_t>(var)];
            call->targetTypes.back() = v.type;
            Step convert;
            convert.op = Step::Op::Assign;
            finish(convert, {var}, "select cast(" + v.key + " as " + v.type + ")");
            convert.targets = {var};
            step.parts.push_back(std::move(convert));
        }
        if (!list.empty()) finish(step, std::move(used), "select " + list);
        step.exec = std::move(call);
        out.push_back(std::move(step));
    }

    void place(const BatchStatement& s, std::vector<Step>& out) {
        using Form = BatchStatement::Form;
        if (s.form == Form::Try) {
            Step t;
            t.op = Step::Op::Try;
            t.parts.push_back(one(s.parts[0]));
            ++catches_;
            t.parts.push_back(one(s.parts[1]));
            --catches_;
            out.push_back(std::move(t));
            return;
        }
        if (s.form == Form::Block) {
            Step b;
            b.op = Step::Op::Block;
            for (const BatchStatement& p : s.parts) add(p, b.parts);
            out.push_back(std::move(b));
            return;
        }
        if (s.form == Form::If) {
            Step c = condition(s, Step::Op::If);
            c.parts.push_back(one(s.parts[0]));
            if (s.parts.size() > 1) c.parts.push_back(one(s.parts[1]));
            out.push_back(std::move(c));
            return;
        }
        if (s.form == Form::While) {
            Step c = condition(s, Step::Op::While);
            ++loops_;
            c.parts.push_back(one(s.parts[0]));
            --loops_;
            out.push_back(std::move(c));
            return;
        }
        const Node& first = ns_[s.first];
        if (s.kind == StatementKind::Update || s.kind == StatementKind::Delete)
            refuseCurrentOf(ns_, s.first, s.last);
        Step step;
        if (procedureStatement(ns_, s.first)) {
            step.op = Step::Op::Module;
            step.module = std::make_shared<ModuleChange>(
                readModuleChange(t_, s.first, s.last, &s == &t_.statements.front()));
            out.push_back(std::move(step));
            return;
        }
        switch (s.kind) {
            case StatementKind::Declare:
                declare(s, out);
                return;
            case StatementKind::Set:
                set(s, out);
                return;
            case StatementKind::Return:
                step.op = Step::Op::Return;
                if (s.last > s.first + 1) {
                    if (!procedure) {
                        throw Error(ErrorNumber::Database,
                                    "A RETURN statement with a return value cannot be used in this context.",
                                    178);
                    }
                    finish(step, s.first + 1, s.last,
                           "select cast(" + slice(s.first + 1, s.last) + "\nas " + returns + ")");
                }
                out.push_back(std::move(step));
                return;
            case StatementKind::Select:
                if (!first.group && selectAssign(s, out)) return;
                // SELECT ... INTO T makes and fills T: rows affected, no result set
                step.op = intoAt(ns_, s.first, s.last) < s.last ? Step::Op::Change : Step::Op::Query;
                break;
            case StatementKind::With:
                step.op = withQuery(s) ? Step::Op::Query : Step::Op::Change;
                break;
            case StatementKind::Execute:
                exec(s, out);
                return;
            case StatementKind::Begin:
                if (!tran(s, out))
                    refuse("BEGIN " + (s.first + 1 < s.last ? upper(ns_[s.first + 1].tok.text) : ""));
                return;
            default:
                if (first.word("break") || first.word("continue")) {
                    const bool brk = first.word("break");
                    if (loops_ == 0) {
                        throw Error(ErrorNumber::Database,
                                    std::string("Cannot use a ") + (brk ? "BREAK" : "CONTINUE") +
                                        " statement outside the scope of a WHILE statement.",
                                    brk ? 135 : 136);
                    }
                    step.op = brk ? Step::Op::Break : Step::Op::Continue;
                    out.push_back(std::move(step));
                    return;
                }
                if (first.word("print")) {
                    if (s.first + 1 >= s.last)
                        throw Error(ErrorNumber::Database, "Incorrect syntax near 'PRINT'.", 102);
                    step.op = Step::Op::Print;
                    finish(step, s.first + 1, s.last,
                           "select cast(" + slice(s.first + 1, s.last) + "\nas nvarchar(4000))");
                    out.push_back(std::move(step));
                    return;
                }
                if ((first.word("commit") || first.word("rollback") || first.word("save")) && tran(s, out))
                    return;
                if (first.word("goto")) refuse("GOTO");
                if (first.word("raiserror")) {
                    raise(s, out);
                    return;
                }
                if (first.word("throw")) {
                    throwing(s, out);
                    return;
                }
                if (first.word("waitfor")) {
                    waitFor(s, out);
                    return;
                }
                if (CursorStatement c; readCursorStatement(ns_, s.first, s.last, c)) {
                    cursor(std::move(c), out);
                    return;
                }
                if (s.first > 0 && (first.word("create") || first.word("alter")) && s.first + 1 < s.last &&
                    (ns_[s.first + 1].word("trigger") ||
                     (s.first + 3 < s.last && ns_[s.first + 3].word("trigger"))))
                    throw Error(ErrorNumber::Database,
                                "'" + upper(first.tok.text) +
                                    " TRIGGER' must be the first statement in a query batch.",
                                111);
                step.op = Step::Op::Change;
                break;
        }
        if (step.op == Step::Op::Change) step.oneRow = changesOneRow(ns_, s.first, s.last);
        const std::string body = slice(s.first, s.last);
        finish(step, s.first, s.last, body);
        if (const std::size_t at = rowCountTopAfter(ns_, s.first, s.last);
            step.op == Step::Op::Change && at < s.last) {
            step.limitedHead =
                step.sql.substr(0, step.sql.size() - body.size()) + slice(s.first, at + 1) + " top (";
            step.limitedTail = ") " + slice(at + 1, s.last);
        }
        out.push_back(std::move(step));
    }
};

enum class Flow { Next, Break, Continue, Return };

// An error on its way to the CATCH block of the TRY around it.
struct Raised {
    BatchPort::Caught error;
};

// The error that ended the batch, on its way past the statements' handlers to the host.
struct Stopped {
    Error error;
};

class Runner {
public:
    Runner(BatchPort& port, const std::vector<Variable>& variables)
        : port_(port), variables_(variables), values_(variables.size()) {}
    // its LOCAL cursors end with it: when one was the last opened, @@CURSOR_ROWS tells of none
    ~Runner() {
        if (cursors_.cursors.empty()) return;
        const std::shared_ptr<CursorSet>* held = port_.globalCursors();
        if (!held || !*held || !(*held)->lastOpened) return;
        for (const auto& [name, c] : cursors_.cursors) {
            if ((*held)->lastOpened == c.get()) {
                (*held)->lastOpened = nullptr;
                port_.setCursorRows(0);
            }
        }
    }
    Runner(const Runner&) = delete;
    Runner& operator=(const Runner&) = delete;

    BatchResult result;

    // A nested batch's parameters, given before it runs.
    void start(std::vector<Value> values, bool noCount, bool xactAbort) {
        std::move(values.begin(), values.end(), values_.begin());
        noCount_ = noCount;
        xactAbort_ = xactAbort;
    }
    const std::vector<Value>& values() const { return values_; }
    long returned() const { return returned_; }
    const Value& returnedValue() const { return returnedValue_; }

    // Translates every statement once: what is refused is refused before anything runs.
    void check(const std::vector<Step>& steps) {
        rowCounted_ = port_.rowCount() > 0;
        checkSteps(steps);
    }
    void checkSteps(const std::vector<Step>& steps) {
        for (const Step& s : steps) {
            if (s.op == Step::Op::Cursor && !port_.globalCursors())
                unsupported("cursors (DECLARE ... CURSOR)");
            // in the order of the text: a change after a SET ROWCOUNT other than 0
            if (s.op == Step::Op::Setting && s.setting == Setting::Kind::RowCount)
                rowCounted_ = !s.sql.empty() || s.value > 0;
            if (s.op == Step::Op::Change && !s.oneRow && rowCounted_) limited(s, 1);
            if (!s.sql.empty()) translation(s);
            checkSteps(s.parts);
        }
    }

    Flow steps(const std::vector<Step>& ss) {
        for (const Step& s : ss) {
            if (const Flow f = step(s); f != Flow::Next) return f;
        }
        return Flow::Next;
    }

    // After the last statement: the first error the batch went on after reaches the
    // host, as SQL Server's client sees it; a transaction that can no longer commit
    // is rolled back.
    void finish() {
        if (doomed_) {
            doomed_ = false;
            port_.doomed(false);
            rollbackAll();
            if (!first_) {
                first_ = port_.spoken(Error(ErrorNumber::Database,
                                            "Uncommittable transaction is detected at the end of the batch. "
                                            "The transaction is rolled back.",
                                            3998));
            }
        }
        if (first_) throw *first_;
    }

    // A batch stopped by an error: its first error reaches the host.
    [[noreturn]] void stopped(const Error& e) {
        if (doomed_) {
            doomed_ = false;
            port_.doomed(false);
            rollbackAll();
        }
        throw Stopped{first_ ? *first_ : e};
    }

private:
    BatchPort& port_;
    const std::vector<Variable>& variables_;
    std::vector<Value> values_;
    std::vector<Value> bound_;
    bool noCount_ = false;
    bool xactAbort_ = false;
    bool doomed_ = false;      // XACT_STATE() -1: only a ROLLBACK helps
    bool rowCounted_ = false;  // while checking: a SET ROWCOUNT other than 0 holds
    int tries_ = 0;
    std::vector<BatchPort::Caught> caught_;  // the errors the CATCH blocks running handle
    std::optional<Error> first_;
    long long rounds_ = 0;
    CursorSet cursors_;  // the batch's LOCAL cursors

    void cursor(const Step& s) {
        using Kind = CursorStatement::Kind;
        const CursorStatement& st = *s.cursor;
        std::shared_ptr<CursorSet>& held = *port_.globalCursors();
        if (!held) held = std::make_shared<CursorSet>();
        CursorSet& globals = *held;
        switch (st.kind) {
            case Kind::Declare: {
                // the variables its query reads keep their values of now
                const auto tr = translation(s);
                const std::vector<Value>& values = bind(s, *tr);
                std::vector<std::pair<std::string, Value>> named;
                for (std::size_t k = 0; k < values.size(); ++k)
                    named.emplace_back(tr->variables[k], values[k]);
                declareCursor(st.global ? globals : cursors_, st, s.sql, std::move(named));
                port_.statementEnded(0, 1);
                return;
            }
            case Kind::Open:
                openCursor(*findCursor(cursors_, &globals, st), globals, port_);
                break;
            case Kind::Fetch:
                fetch(s, *findCursor(cursors_, &globals, st));
                return;
            case Kind::Close:
                closeCursor(*findCursor(cursors_, &globals, st), globals, port_);
                break;
            case Kind::Deallocate:
                deallocateCursor(cursors_, &globals, st, port_);
                break;
        }
        port_.statementEnded(0, 0);
    }

    void fetch(const Step& s, Cursor& c) {
        const CursorStatement& st = *s.cursor;
        if (c.open && st.into && s.targets.size() != c.rows.columns.size()) {
            throw Error(ErrorNumber::Database,
                        "Cursorfetch: The number of variables declared in the INTO list must match that of "
                        "selected columns.",
                        16924);
        }
        long long amount = 0;
        if (!s.sql.empty()) {
            const ResultTable t = query(s);
            amount = t.rowCount() == 0 || t.at(0, 0).isNull() ? 0 : t.at(0, 0).toInt64();
        }
        const long row = fetchCursor(c, st.move, amount, port_);
        if (!st.into) {
            // the row as a result set of its own; none past the ends
            ResultTable t;
            t.columns = c.rows.columns;
            for (std::size_t k = 0; row >= 0 && k < t.columns.size(); ++k)
                t.cells.push_back(c.rows.at(static_cast<std::size_t>(row), k));
            counted(row >= 0 ? 1 : 0);
            if (!result.hasResult) {
                result.first = std::move(t);
                result.hasResult = true;
            } else {
                result.later.push_back(std::move(t));
            }
        } else if (row >= 0) {
            for (std::size_t k = 0; k < s.targets.size(); ++k) {
                const auto var = static_cast<std::size_t>(s.targets[k]);
                values_[var] = c.rows.at(static_cast<std::size_t>(row), k);
                if (!fitsAsIs(values_[var], variables_[var].type)) leaf(s.parts[k]);
            }
        }
        port_.statementEnded(0, 1);
    }
    long returned_ = 0;
    Value returnedValue_;

    std::shared_ptr<const Translation> translation(const Step& s) {
        const bool ansiNulls = port_.ansiNulls();
        if (s.kept && s.keptAnsiNulls == ansiNulls) return s.kept;
        auto tr = port_.translate(s.sql);
        if (tr->batch) throw Error(ErrorNumber::NotSupported, tr->refusal);
        if (!tr->usesCatalogue) {
            s.kept = tr;
            s.keptAnsiNulls = ansiNulls;
        }
        return tr;
    }

    // The change as SET ROWCOUNT n stops it: with TOP (n); refused by name where it takes none.
    static std::string limitedText(const Step& s, long long n) {
        return s.limitedHead + std::to_string(n) + s.limitedTail;
    }
    std::shared_ptr<const Translation> limited(const Step& s, long long n) {
        if (s.limitedHead.empty()) refuseUnderRowCount();
        auto tr = port_.translate(limitedText(s, n));
        if (tr->batch) throw Error(ErrorNumber::NotSupported, tr->refusal);
        return tr;
    }
    const std::vector<Value>& bindEach(const Step& s, const Translation& tr) {
        bound_.clear();
        for (const std::string& name : tr.variables)
            bound_.push_back(values_[static_cast<std::size_t>(slotOf(s, name))]);
        return bound_;
    }

    // The values of the statement's variables, in the order of its parameters.
    const std::vector<Value>& bind(const Step& s, const Translation& tr) {
        if (s.boundFor != &tr) {
            s.slots.clear();
            for (const std::string& name : tr.variables) s.slots.push_back(slotOf(s, name));
            s.boundFor = &tr;
        }
        bound_.clear();
        for (int k : s.slots) bound_.push_back(values_[static_cast<std::size_t>(k)]);
        return bound_;
    }

    int slotOf(const Step& s, const std::string& name) const {
        for (int k : s.declared) {
            if (variables_[static_cast<std::size_t>(k)].key == name) return k;
        }
        throw Error(ErrorNumber::Database, "Must declare the scalar variable \"" + name + "\".", 137);
    }

    ResultTable query(const Step& s) {
        const auto tr = translation(s);
        return port_.query(s.sql, tr, bind(s, *tr));
    }

    bool truth(const Step& s) {
        if (s.fetchTest) {
            port_.statementEnded(0, 0);
            return (port_.fetchStatus() == s.value) == s.on;
        }
        const ResultTable t = query(s);
        port_.statementEnded(0, 0);
        return t.rowCount() > 0 && !t.at(0, 0).isNull() && t.at(0, 0).toDouble() != 0;
    }

    // An IF's or WHILE's condition: -1 when its error ended only it.
    int condition(const Step& s) {
        try {
            return truth(s) ? 1 : 0;
        } catch (const Error& e) {
            failed(s, e);
            return -1;
        }
    }

    void counted(long rows) {
        if (!noCount_) port_.rowsCounted(rows);
    }

    void rollbackAll() {
        try {
            if (port_.tranCount() > 0) port_.rollbackTran("");
        } catch (const Error&) {
            // the error that ended the batch is what the host is told
        }
    }

    // A statement's error: to the CATCH block around it, or, outside TRY, ends the
    // statement or the batch as SQL Server's rules say.
    void failed(const Step& s, const Error& raw, bool raised = false, int severity = 0, int state = 1) {
        // what is no error of the database's (a refusal, the timeout) ends the batch untouched
        const Error e = port_.spoken(raw);
        if (e.number() != ErrorNumber::Database || e.nativeCode() < 100 ||
            raw.description() == "Query timeout expired") {
            // as SQL Server's client's timeout does under XACT_ABORT ON
            if (xactAbort_) rollbackAll();
            stopped(e);
        }
        const long number = e.nativeCode();
        const ErrorEnds ends = raised ? ErrorEnds::Statement : errorEnds(number);
        if (tries_ > 0) {
            if (!raised && (xactAbort_ || ends == ErrorEnds::BatchAndTransaction) && port_.tranCount() > 0) {
                doomed_ = true;
                port_.doomed(true);
            }
            throw Raised{{number, e.description(), raised ? severity : severityOf(number), state, s.line,
                          errorProcedure()}};
        }
        port_.statementEnded(number, 0);
        if (port_.batchEnded()) stopped(e);
        if (ends == ErrorEnds::Statement && (raised || !xactAbort_)) {
            if (!first_) first_ = e;
            forgetErrorProcedure();  // it ended here, not in a CATCH
            return;
        }
        if (xactAbort_ || ends == ErrorEnds::BatchAndTransaction) rollbackAll();
        stopped(e);
    }

    Flow tryCatch(const Step& s) {
        ++tries_;
        try {
            const Flow f = step(s.parts[0]);
            --tries_;
            return f;
        } catch (const Raised& r) {
            --tries_;
            caught_.push_back(r.error);
        } catch (...) {
            --tries_;
            throw;
        }
        port_.catching(&caught_.back());
        port_.statementEnded(caught_.back().number, 0);
        struct Done {
            Runner& r;
            ~Done() {
                r.caught_.pop_back();
                r.port_.catching(r.caught_.empty() ? nullptr : &r.caught_.back());
            }
        } done{*this};
        return step(s.parts[1]);
    }

    void tran(const Step& s) {
        using Kind = TranStatement::Kind;
        if (doomed_ && s.tran != Kind::Rollback) {
            throw Error(
                ErrorNumber::Database,
                "The current transaction cannot be committed and cannot support operations that write to "
                "the log file. Roll back the transaction.",
                3930);
        }
        switch (s.tran) {
            case Kind::Begin:
                // one that cannot begin (another connection holds the file past the lock's wait) ends
                // the batch: what follows never runs outside the transaction it was written for
                try {
                    port_.beginTran(s.name);
                } catch (const Error& e) {
                    stopped(port_.spoken(e));
                }
                break;
            case Kind::Commit:
                port_.commitTran();
                break;
            case Kind::Rollback:
                port_.rollbackTran(s.name);
                if (doomed_ && port_.tranCount() == 0) {
                    doomed_ = false;
                    port_.doomed(false);
                }
                break;
            case Kind::Save:
                port_.saveTran(s.name);
                break;
        }
    }

    void raise(const Step& s) {
        const ResultTable t = query(s);
        std::vector<Value> args;
        for (std::size_t c = 3; c < t.columns.size(); ++c) args.push_back(t.at(0, c));
        const std::string message =
            raiseMessage(t.at(0, 0).isNull() ? std::string() : t.at(0, 0).toText(), args);
        const long long severity =
            t.at(0, 1).isNull() ? 0 : std::clamp<long long>(t.at(0, 1).toInt64(), 0, 25);
        const long long state = t.at(0, 2).isNull() ? 1 : std::clamp<long long>(t.at(0, 2).toInt64(), 0, 255);
        if (severity > 18) {
            throw Error(
                ErrorNumber::Database,
                "Error severity levels greater than 18 can only be specified by members of the sysadmin "
                "role, using the WITH LOG option.",
                2754);
        }
        if (severity <= 10) {
            // informational: a message, as PRINT's, and no error
            port_.print(message);
            port_.statementEnded(0, 0);
            return;
        }
        failed(s, Error(ErrorNumber::Database, message, 50000), true, static_cast<int>(severity),
               static_cast<int>(state));
    }

    void throwing(const Step& s) {
        BatchPort::Caught c;
        if (s.sql.empty()) {
            c = caught_.back();
        } else {
            const ResultTable t = query(s);
            const long long number = t.at(0, 0).isNull() ? 0 : t.at(0, 0).toInt64();
            if (number < 50000 || number > 2147483647) {
                throw Error(ErrorNumber::Database,
                            "Error number " + std::to_string(number) +
                                " in the THROW statement is outside the valid range. Specify an error number "
                                "in the valid range of 50000 to 2147483647.",
                            35100);
            }
            c.number = static_cast<long>(number);
            c.message = t.at(0, 1).isNull() ? std::string() : t.at(0, 1).toText();
            c.severity = 16;
            c.state = t.at(0, 2).isNull() ? 1 : static_cast<int>(t.at(0, 2).toInt64());
            c.line = s.line;
            c.procedure = errorProcedure();
        }
        if (tries_ > 0) {
            if (xactAbort_ && port_.tranCount() > 0) {
                doomed_ = true;
                port_.doomed(true);
            }
            throw Raised{c};
        }
        // outside TRY, THROW ends the batch
        port_.statementEnded(c.number, 0);
        if (xactAbort_) rollbackAll();
        stopped(Error(ErrorNumber::Database, c.message, c.number));
    }

    // A statement that runs SQL or changes the state: its error goes through failed().
    Flow leaf(const Step& s) {
        switch (s.op) {
            case Step::Op::Query: {
                ResultTable t = query(s);
                keepRows(t, port_.rowCount());
                const long n = static_cast<long>(t.rowCount());
                port_.statementEnded(0, n);
                counted(n);
                if (!result.hasResult) {
                    result.first = std::move(t);
                    result.hasResult = true;
                } else {
                    result.later.push_back(std::move(t));
                }
                return Flow::Next;
            }
            case Step::Op::Change: {
                if (doomed_) {
                    throw Error(
                        ErrorNumber::Database,
                        "The current transaction cannot be committed and cannot support operations that "
                        "write to the log file. Roll back the transaction.",
                        3930);
                }
                const long long limit = s.oneRow ? 0 : port_.rowCount();
                const auto tr = limit > 0 ? limited(s, limit) : translation(s);
                const long n = port_.execute(limit > 0 ? limitedText(s, limit) : s.sql, tr,
                                             limit > 0 ? bindEach(s, *tr) : bind(s, *tr));
                port_.statementEnded(0, n < 0 ? 0 : n);
                if (n >= 0) {
                    result.affected = (result.affected < 0 ? 0 : result.affected) + n;
                    counted(n);
                }
                return Flow::Next;
            }
            case Step::Op::Assign: {
                const ResultTable t = query(s);
                values_[static_cast<std::size_t>(s.targets[0])] = t.rowCount() > 0 ? t.at(0, 0) : Value();
                port_.statementEnded(0, 1);
                return Flow::Next;
            }
            case Step::Op::SelectAssign: {
                ResultTable t = query(s);
                keepRows(t, port_.rowCount());
                if (const std::size_t n = t.rowCount(); n > 0) {
                    for (std::size_t c = 0; c < s.targets.size(); ++c)
                        values_[static_cast<std::size_t>(s.targets[c])] = t.at(n - 1, c);
                }
                port_.statementEnded(0, static_cast<long>(t.rowCount()));
                counted(static_cast<long>(t.rowCount()));
                return Flow::Next;
            }
            case Step::Op::Print: {
                const ResultTable t = query(s);
                port_.print(t.rowCount() > 0 && !t.at(0, 0).isNull() ? t.at(0, 0).toText() : std::string());
                port_.statementEnded(0, 0);
                return Flow::Next;
            }
            case Step::Op::Tran:
                tran(s);
                port_.statementEnded(0, 0);
                return Flow::Next;
            case Step::Op::Raise:
                raise(s);
                return Flow::Next;
            case Step::Op::Throw:
                throwing(s);
                return Flow::Next;
            case Step::Op::Setting:
                if (s.setting == Setting::Kind::Language) port_.setLanguage(s.name);
                if (s.setting == Setting::Kind::LockTimeout) port_.lockTimeout(s.value);
                if (s.setting == Setting::Kind::DateFirst) port_.setDateFirst(static_cast<int>(s.value));
                if (s.setting == Setting::Kind::AnsiNulls) port_.setAnsiNulls(s.on);
                if (s.setting == Setting::Kind::DateFormat || s.setting == Setting::Kind::RowCount) {
                    const Value given = s.sql.empty() ? Value() : query(s).at(0, 0);
                    if (s.setting == Setting::Kind::DateFormat)
                        port_.setDateFormat(s.sql.empty() ? s.name : dateOrderNamed(given.toText()));
                    else
                        port_.setRowCount(s.sql.empty() ? s.value : rowCountOf(given));
                }
                port_.statementEnded(0, 0);
                return Flow::Next;
            case Step::Op::Wait: {
                const ResultTable t = query(s);
                port_.wait(waitMilliseconds(t.at(0, 0).isNull() ? std::string() : t.at(0, 0).toText()));
                port_.statementEnded(0, 0);
                return Flow::Next;
            }
            case Step::Op::Cursor:
                if (s.cursor->kind == CursorStatement::Kind::Open && port_.rowCount() > 0)
                    unsupported("OPEN of a cursor under SET ROWCOUNT");
                cursor(s);
                return Flow::Next;
            case Step::Op::Exec: {
                const ResultTable t = s.sql.empty() ? ResultTable() : query(s);
                std::vector<Value> args;
                for (std::size_t c = 0; c < t.columns.size() && t.rowCount() > 0; ++c)
                    args.push_back(t.at(0, c));
                std::vector<Value> outputs;
                runExec(*s.exec, args, port_, result, noCount_, outputs, xactAbort_);
                for (std::size_t k = 0; k < s.targets.size(); ++k) {
                    if (s.targets[k] >= 0)
                        values_[static_cast<std::size_t>(s.targets[k])] = std::move(outputs[k]);
                }
                for (const Step& convert : s.parts) leaf(convert);
                return Flow::Next;
            }
            case Step::Op::Module:
                runModuleChange(*s.module, port_);
                port_.statementEnded(0, 0);
                return Flow::Next;
            default:
                return Flow::Next;
        }
    }

    Flow step(const Step& s) {
        switch (s.op) {
            case Step::Op::NoCount:
                noCount_ = s.on;
                port_.statementEnded(0, 0);
                return Flow::Next;
            case Step::Op::Setting:
                if (s.setting == Setting::Kind::XactAbort) {
                    xactAbort_ = s.on;
                    port_.statementEnded(0, 0);
                    return Flow::Next;
                }
                break;
            case Step::Op::If: {
                const int c = condition(s);
                if (c < 0) return Flow::Next;
                if (c) return step(s.parts[0]);
                return s.parts.size() > 1 ? step(s.parts[1]) : Flow::Next;
            }
            case Step::Op::While:
                for (;;) {
                    try {
                        port_.loopRound();
                        if (++rounds_ > kMaxLoopRounds) {
                            throw Error(ErrorNumber::Database,
                                        "The batch's WHILE loops went round " +
                                            std::to_string(kMaxLoopRounds) +
                                            " times: the batch was stopped (the connection has no timeout to "
                                            "stop it).");
                        }
                    } catch (const Error& e) {
                        failed(s, e);
                    }
                    if (condition(s) <= 0) return Flow::Next;
                    const Flow f = step(s.parts[0]);
                    if (f == Flow::Break) return Flow::Next;
                    if (f == Flow::Return) return f;
                }
            case Step::Op::Block:
                return steps(s.parts);
            case Step::Op::Try:
                return tryCatch(s);
            case Step::Op::Break:
                return Flow::Break;
            case Step::Op::Continue:
                return Flow::Continue;
            case Step::Op::Return:
                if (!s.sql.empty()) {
                    try {
                        const ResultTable t = query(s);
                        returnedValue_ = t.rowCount() > 0 ? t.at(0, 0) : Value();
                        returned_ =
                            returnedValue_.kind() == Value::Kind::Integer ? returnedValue_.toInt64() : 0;
                    } catch (const Error& e) {
                        failed(s, e);
                    }
                }
                return Flow::Return;
            default:
                break;
        }
        try {
            return leaf(s);
        } catch (const Error& e) {
            failed(s, e);
            return Flow::Next;
        }
    }
};

// The batch's table variables: their tables made before its first statement is
// translated (which types their columns), dropped when it ends, also when it fails.
class TableVariablesHeld {
public:
    TableVariablesHeld(BatchPort& port, const std::vector<std::string>& tables)
        : port_(port), tables_(tables) {
        try {
            for (std::size_t k = 0; k + 1 < tables_.size(); k += 2) {
                run("drop table if exists " + tables_[k]);
                made_ = k + 2;
                run(tables_[k + 1]);
            }
        } catch (...) {
            drop();
            throw;
        }
    }
    ~TableVariablesHeld() { drop(); }
    TableVariablesHeld(const TableVariablesHeld&) = delete;
    TableVariablesHeld& operator=(const TableVariablesHeld&) = delete;

private:
    void run(const std::string& tsql) { port_.execute(tsql, port_.translate(tsql), {}); }
    void drop() noexcept {
        for (std::size_t k = 0; k < made_; k += 2) {
            try {
                run("drop table if exists " + tables_[k]);
            } catch (...) {
                // made again, and so emptied, before the next batch that declares it runs
            }
        }
        made_ = 0;
    }
    BatchPort& port_;
    const std::vector<std::string>& tables_;
    std::size_t made_ = 0;
};

}  // namespace

struct Batch::Impl {
    std::vector<Variable> variables;
    std::vector<Step> steps;
    std::vector<std::string> tables;  // of each table variable: its table's name, then its CREATE TABLE
};

Batch::Batch(std::string_view tsql) : impl_(std::make_unique<Impl>()) {
    const StatementTree tree = readStatementTree(tsql);
    impl_->steps = Compiler(tree, impl_->variables, impl_->tables).all();
}

Batch::~Batch() = default;
Batch::Batch(Batch&&) noexcept = default;
Batch& Batch::operator=(Batch&&) noexcept = default;

BatchResult Batch::run(BatchPort& port) const {
    if (callNesting() == 0) forgetErrorProcedure();
    Runner runner(port, impl_->variables);
    const auto go = [&] {
        runner.check(impl_->steps);
        try {
            runner.steps(impl_->steps);
        } catch (const Stopped& s) {
            throw s.error;
        }
        runner.finish();
    };
    if (impl_->tables.empty()) {
        go();
        return std::move(runner.result);
    }
    try {
        const TableVariablesHeld held(port, impl_->tables);
        go();
    } catch (const Error& e) {
        throw namingTableVariables(e);
    }
    return std::move(runner.result);
}

struct CompiledNested {
    std::vector<Variable> variables;
    std::vector<Step> steps;
    std::vector<std::string> tables;
    std::size_t params = 0;
};

std::shared_ptr<const CompiledNested> compileNested(std::string_view text,
                                                    const std::vector<Declared>& params, bool procedure,
                                                    const std::string& returns) {
    const StatementTree tree = readStatementTree(text);
    auto out = std::make_shared<CompiledNested>();
    out->params = params.size();
    for (const Declared& d : params) {
        // the value given, converted to the parameter's type as assignment converts it
        Step convert;
        convert.op = Step::Op::Assign;
        convert.sql = "declare " + d.name + " " + d.type + ";\nselect cast(" + d.name + " as " + d.type + ")";
        convert.declared = {static_cast<int>(out->variables.size())};
        convert.targets = convert.declared;
        out->steps.push_back(std::move(convert));
        out->variables.push_back({d.written, d.name, d.type});
    }
    Compiler compiler(tree, out->variables, out->tables);
    compiler.procedure = procedure;
    compiler.returns = returns;
    for (Step& s : compiler.all()) out->steps.push_back(std::move(s));
    return out;
}

BatchResult runCompiled(const CompiledNested& c, std::vector<Value>& values, BatchPort& port, bool noCount,
                        bool xactAbort, ProcedureRun* procedure) {
    Runner runner(port, c.variables);
    runner.start(std::move(values), noCount, xactAbort);
    // the session's SET options it changes are restored when it returns, as after SQL Server's dynamic SQL
    // and procedures
    struct Restored {
        BatchPort& port;
        int dateFirst = port.dateFirst();
        std::string language = port.language();
        std::string dateFormat = port.dateFormat();
        long long rowCount = port.rowCount();
        bool ansiNulls = port.ansiNulls();
        ~Restored() {
            try {
                // the language first: it brings its own DATEFIRST
                if (port.language() != language) port.setLanguage(language);
                if (port.dateFirst() != dateFirst) port.setDateFirst(dateFirst);
                if (port.dateFormat() != dateFormat) port.setDateFormat(dateFormat);
                if (port.rowCount() != rowCount) port.setRowCount(rowCount);
                if (port.ansiNulls() != ansiNulls) port.setAnsiNulls(ansiNulls);
            } catch (const Error&) {
                // the port keeps no such setting of its own
            }
        }
    } restored{port};
    std::optional<TableVariablesHeld> held;
    if (!c.tables.empty()) held.emplace(port, c.tables);
    runner.check(c.steps);
    // what ends the nested batch ends the statement that ran it, by the caller's rules
    try {
        runner.steps(c.steps);
    } catch (const Stopped& s) {
        throw s.error;
    }
    runner.finish();
    values.assign(runner.values().begin(), runner.values().begin() + static_cast<std::ptrdiff_t>(c.params));
    if (procedure) {
        procedure->returned = runner.returned();
        procedure->value = runner.returnedValue();
    }
    return std::move(runner.result);
}

BatchResult runNested(std::string_view text, const std::vector<Declared>& params, std::vector<Value>& values,
                      BatchPort& port, bool noCount, bool xactAbort) {
    return runCompiled(*compileNested(text, params, false), values, port, noCount, xactAbort, nullptr);
}

std::size_t statementCount(std::string_view tsql) { return readStatementTree(tsql).statements.size(); }

bool isBatch(std::string_view tsql) {
    const StatementTree tree = readStatementTree(tsql);
    if (tree.statements.size() != 1) return tree.statements.size() > 1;
    const BatchStatement& s = tree.statements[0];
    if (s.form != BatchStatement::Form::Plain || procedureStatement(tree.nodes, s.first)) return true;
    switch (s.kind) {
        case StatementKind::Declare:
        case StatementKind::Set:
        case StatementKind::Return:
        case StatementKind::Begin:  // BEGIN TRAN
        case StatementKind::Execute:
            return true;
        default:
            break;
    }
    const Node& first = tree.nodes[s.first];
    if (first.word("print") || first.word("break") || first.word("continue") || first.word("commit") ||
        first.word("rollback") || first.word("save") || first.word("raiserror") || first.word("throw") ||
        first.word("waitfor") || first.word("open") || first.word("fetch") || first.word("close") ||
        first.word("deallocate"))
        return true;
    // a trigger's body is its text, whatever variables it declares
    if ((first.word("create") || first.word("alter")) && s.first + 1 < s.last &&
        (tree.nodes[s.first + 1].word("trigger") ||
         (s.first + 3 < s.last && tree.nodes[s.first + 3].word("trigger"))))
        return false;
    return readsVariables(tree.nodes);
}

}  // namespace Palvo::dialect
