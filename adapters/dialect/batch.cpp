// The batch engine: a batch read into steps once (each query or change as the
// T-SQL text its connection translates, its variables declared before it, so
// that the translation types them), then stepped through with the variables'
// values bound to each statement's parameters.
#include "palvo/dialect/batch.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>
#include <utility>

#include "palvo/error.h"
#include "reader.h"

namespace Palvo::dialect {

BatchPort::~BatchPort() = default;
void BatchPort::print(const std::string&) {}
void BatchPort::rowsCounted(long) {}

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
    };
    Op op = Op::Block;
    std::string sql;           // the T-SQL translated: the statement, or the value, condition, text asked for
    std::vector<int> targets;  // the variable each result column goes to
    std::vector<int> declared;  // the variables declared before the statement in `sql`
    bool on = false;
    std::vector<Step> parts;
    // the variables bound to the parameters of the translation last used, by their numbers
    mutable const Translation* boundFor = nullptr;
    // a translation that reads no table's columns holds whatever the schema does: kept for the loop's next
    // round
    mutable std::shared_ptr<const Translation> kept;
    mutable std::vector<int> slots;
};

[[noreturn]] void refuse(const std::string& construct) { unsupported(construct); }

// Reads the statement tree into steps, in the order of the text: a variable is
// known from its DECLARE on, as SQL Server compiles a batch.
class Compiler {
public:
    Compiler(const StatementTree& tree, std::vector<Variable>& vars, std::vector<std::string>& tables)
        : t_(tree), ns_(tree.nodes), vars_(vars), tableDefinitions_(tables) {}

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

    std::string slice(std::size_t b, std::size_t e) const {
        return withTableVariables(t_.text, ns_, b, e, t_.offsetOf(b), t_.offsetOf(e), tables_);
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
        // the settings SQL Server's own scripts begin with, at the values the embedded database keeps
        // anyway; their other values would change what statements mean
        static const char* const standing[] = {"ansi_nulls",   "quoted_identifier",
                                               "ansi_padding", "ansi_warnings",
                                               "arithabort",   "concat_null_yields_null"};
        if (k + 2 == s.last && ns_[k + 1].word("on") &&
            std::any_of(std::begin(standing), std::end(standing),
                        [&](const char* w) { return what.word(w); }))
            return;
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
        static const char* const ends[] = {"from",   "where",     "group", "having", "order", "union",
                                           "except", "intersect", "into",  "option", "for"};
        std::size_t listEnd = k;
        while (listEnd < s.last && !std::any_of(std::begin(ends), std::end(ends),
                                                [&](const char* w) { return ns_[listEnd].word(w); }))
            ++listEnd;
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

    Step condition(const BatchStatement& s, Step::Op op) {
        Step c;
        c.op = op;
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

    // The main statement of WITH ...: the first query or change word after the common tables.
    bool withQuery(const BatchStatement& s) const {
        for (std::size_t k = s.first + 1; k < s.last; ++k) {
            if (ns_[k].word("select")) return true;
            if (ns_[k].word("insert") || ns_[k].word("update") || ns_[k].word("delete")) return false;
        }
        return true;
    }

    void add(const BatchStatement& s, std::vector<Step>& out) {
        using Form = BatchStatement::Form;
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
        Step step;
        switch (s.kind) {
            case StatementKind::Declare:
                declare(s, out);
                return;
            case StatementKind::Set:
                set(s, out);
                return;
            case StatementKind::Return:
                step.op = Step::Op::Return;
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
            case StatementKind::Begin:
                refuse(s.first + 1 < s.last &&
                               (ns_[s.first + 1].word("try") || ns_[s.first + 1].word("catch"))
                           ? "TRY ... CATCH"
                           : "transactions in a batch (BEGIN TRAN, COMMIT, ROLLBACK: use the connection's "
                             "BeginTrans, CommitTrans and RollbackTrans)");
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
                if (first.word("commit") || first.word("rollback") || first.word("save"))
                    refuse(
                        "transactions in a batch (BEGIN TRAN, COMMIT, ROLLBACK: use the connection's "
                        "BeginTrans, CommitTrans and RollbackTrans)");
                if (first.word("goto")) refuse("GOTO");
                if (first.word("raiserror")) refuse("RAISERROR");
                if (first.word("waitfor")) refuse("WAITFOR");
                step.op = Step::Op::Change;
                break;
        }
        finish(step, s.first, s.last, slice(s.first, s.last));
        out.push_back(std::move(step));
    }
};

enum class Flow { Next, Break, Continue, Return };

class Runner {
public:
    Runner(BatchPort& port, const std::vector<Variable>& variables)
        : port_(port), variables_(variables), values_(variables.size()) {}

    BatchResult result;

    // Translates every statement once: what is refused is refused before anything runs.
    void check(const std::vector<Step>& steps) {
        for (const Step& s : steps) {
            if (!s.sql.empty()) translation(s);
            check(s.parts);
        }
    }

    Flow steps(const std::vector<Step>& ss) {
        for (const Step& s : ss) {
            if (const Flow f = step(s); f != Flow::Next) return f;
        }
        return Flow::Next;
    }

private:
    BatchPort& port_;
    const std::vector<Variable>& variables_;
    std::vector<Value> values_;
    std::vector<Value> bound_;
    bool noCount_ = false;
    long long rounds_ = 0;

    std::shared_ptr<const Translation> translation(const Step& s) {
        if (s.kept) return s.kept;
        auto tr = port_.translate(s.sql);
        if (tr->batch) throw Error(ErrorNumber::NotSupported, tr->refusal);
        if (!tr->usesCatalogue) s.kept = tr;
        return tr;
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
        const ResultTable t = query(s);
        return t.rowCount() > 0 && !t.at(0, 0).isNull() && t.at(0, 0).toDouble() != 0;
    }

    void counted(long rows) {
        if (!noCount_) port_.rowsCounted(rows);
    }

    Flow step(const Step& s) {
        switch (s.op) {
            case Step::Op::Query: {
                ResultTable t = query(s);
                counted(static_cast<long>(t.rowCount()));
                if (!result.hasResult) {
                    result.first = std::move(t);
                    result.hasResult = true;
                }
                return Flow::Next;
            }
            case Step::Op::Change: {
                const auto tr = translation(s);
                const long n = port_.execute(s.sql, tr, bind(s, *tr));
                if (n >= 0) {
                    result.affected = (result.affected < 0 ? 0 : result.affected) + n;
                    counted(n);
                }
                return Flow::Next;
            }
            case Step::Op::Assign: {
                const ResultTable t = query(s);
                values_[static_cast<std::size_t>(s.targets[0])] = t.rowCount() > 0 ? t.at(0, 0) : Value();
                return Flow::Next;
            }
            case Step::Op::SelectAssign: {
                const ResultTable t = query(s);
                if (const std::size_t n = t.rowCount(); n > 0) {
                    for (std::size_t c = 0; c < s.targets.size(); ++c)
                        values_[static_cast<std::size_t>(s.targets[c])] = t.at(n - 1, c);
                }
                counted(static_cast<long>(t.rowCount()));
                return Flow::Next;
            }
            case Step::Op::Print: {
                const ResultTable t = query(s);
                port_.print(t.rowCount() > 0 && !t.at(0, 0).isNull() ? t.at(0, 0).toText() : std::string());
                return Flow::Next;
            }
            case Step::Op::NoCount:
                noCount_ = s.on;
                return Flow::Next;
            case Step::Op::If:
                if (truth(s)) return step(s.parts[0]);
                return s.parts.size() > 1 ? step(s.parts[1]) : Flow::Next;
            case Step::Op::While:
                for (;;) {
                    port_.loopRound();
                    if (++rounds_ > kMaxLoopRounds) {
                        throw Error(
                            ErrorNumber::Database,
                            "The batch's WHILE loops went round " + std::to_string(kMaxLoopRounds) +
                                " times: the batch was stopped (the connection has no timeout to stop it).");
                    }
                    if (!truth(s)) return Flow::Next;
                    const Flow f = step(s.parts[0]);
                    if (f == Flow::Break) return Flow::Next;
                    if (f == Flow::Return) return f;
                }
            case Step::Op::Block:
                return steps(s.parts);
            case Step::Op::Break:
                return Flow::Break;
            case Step::Op::Continue:
                return Flow::Continue;
            case Step::Op::Return:
                return Flow::Return;
        }
        return Flow::Next;
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
    Runner runner(port, impl_->variables);
    if (impl_->tables.empty()) {
        runner.check(impl_->steps);
        runner.steps(impl_->steps);
        return std::move(runner.result);
    }
    try {
        const TableVariablesHeld held(port, impl_->tables);
        runner.check(impl_->steps);
        runner.steps(impl_->steps);
    } catch (const Error& e) {
        throw namingTableVariables(e);
    }
    return std::move(runner.result);
}

std::size_t statementCount(std::string_view tsql) { return readStatementTree(tsql).statements.size(); }

bool isBatch(std::string_view tsql) {
    const StatementTree tree = readStatementTree(tsql);
    if (tree.statements.size() != 1) return tree.statements.size() > 1;
    const BatchStatement& s = tree.statements[0];
    if (s.form != BatchStatement::Form::Plain) return true;
    switch (s.kind) {
        case StatementKind::Declare:
        case StatementKind::Set:
        case StatementKind::Return:
            return true;
        default:
            break;
    }
    const Node& first = tree.nodes[s.first];
    if (first.word("print") || first.word("break") || first.word("continue")) return true;
    return readsVariables(tree.nodes);
}

}  // namespace Palvo::dialect
