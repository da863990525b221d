// Stored procedures: their definitions go to the database through the port as
// written; a call reads the definition there when it runs (a definition read is
// kept, by its text, so a loop of calls does not read it again), binds its
// arguments to the parameters and runs the body as a batch of its own.
#include "batch_modules.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <utility>

#include "batch_functions.h"
#include "palvo/error.h"

namespace Palvo::dialect {

std::optional<BatchPort::Module> BatchPort::module(const std::string&) { unsupported("stored procedures"); }
void BatchPort::storeModule(const Module&) { unsupported("stored procedures"); }
void BatchPort::dropModule(const std::string&) { unsupported("stored procedures"); }
bool BatchPort::tableExists(const std::string&) { return false; }
std::vector<std::string> BatchPort::temporaryTables() { return {}; }
int nestLevel() { return callNesting(); }

namespace {
// the procedures running on this thread, innermost last, and the one an error last came up from
thread_local std::vector<std::string> running;
thread_local std::optional<std::string> raisedIn;
}  // namespace

void skipQualifiers(const Nodes& ns, std::size_t& k, std::size_t e) {
    while (k + 2 < e && ns[k + 1].op(".") && ns[k + 2].isName()) k += 2;
}

std::string errorProcedure() {
    std::string name = raisedIn ? *raisedIn : running.empty() ? std::string() : running.back();
    raisedIn.reset();
    return name.empty() ? name : "dbo." + name;
}

void forgetErrorProcedure() { raisedIn.reset(); }

void raisedInModule(const std::string& name) {
    if (!raisedIn) raisedIn = name;
}

namespace {

Error databaseError(const std::string& message, long number) {
    return Error(ErrorNumber::Database, message, number);
}

bool procedureWord(const Node& n) { return n.word("procedure") || n.word("proc"); }

std::string trimmed(std::string_view s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string_view::npos) return {};
    const auto e = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(b, e - b + 1));
}

const char* objectKind(const std::string& type) {
    if (type == "P") return "procedure";
    if (type == "TR") return "trigger";
    return "function";
}

// A function's ALTER may change its kind (scalar, inline); a procedure's stays one.
bool sameKind(const std::string& stored, const std::string& wanted) {
    return wanted == "P" ? stored == "P" : stored == "FN" || stored == "IF";
}

// A definition read once per thread and text: a loop of calls runs what it read.
struct Kept {
    std::shared_ptr<const Procedure> procedure;
    std::shared_ptr<const CompiledNested> body;
};

Kept keptOf(const BatchPort::Module& m, const BatchPort& port) {
    constexpr std::size_t kKept = 64;
    thread_local std::unordered_map<std::string, Kept> kept;
    // read at each level it runs at: its table variables are that level's; its statements keep
    // translations for one database, so a procedure of the same text on another is kept apart
    const std::string key =
        std::string(port.targetName()) + '\0' + m.definition + '\0' + std::to_string(callNesting());
    if (const auto it = kept.find(key); it != kept.end()) return it->second;
    Kept k;
    auto p = std::make_shared<Procedure>(readProcedure(m.definition));
    std::vector<Declared> params;
    for (const Procedure::Parameter& q : p->parameters) params.push_back(q.declared);
    k.body = compileNested(p->body, params, true);
    k.procedure = std::move(p);
    if (kept.size() >= kKept) kept.clear();
    return kept.emplace(key, std::move(k)).first->second;
}

// The temporary tables a procedure made are dropped when it returns, as on SQL Server;
// its caller's stay.
class TemporaryTablesScope {
public:
    explicit TemporaryTablesScope(BatchPort& port) : port_(port), before_(port.temporaryTables()) {}
    ~TemporaryTablesScope() {
        try {
            for (const std::string& t : port_.temporaryTables()) {
                if (std::find(before_.begin(), before_.end(), t) != before_.end()) continue;
                std::string quoted;
                for (const char ch : t) quoted += ch == ']' ? std::string("]]") : std::string(1, ch);
                const std::string drop = "drop table [" + quoted + "]";
                port_.execute(drop, port_.translate(drop), {});
            }
        } catch (...) {
            // the connection drops them when it closes
        }
    }
    TemporaryTablesScope(const TemporaryTablesScope&) = delete;
    TemporaryTablesScope& operator=(const TemporaryTablesScope&) = delete;

private:
    BatchPort& port_;
    std::vector<std::string> before_;
};

// sp_helptext name: one row per line of the definition, each with its line end; a line longer than the
// column's 255 characters (its end counted) goes on in the next rows, 255 characters a row.
constexpr std::size_t kHelpTextWidth = 255;

void helpText(const std::vector<Value>& args, BatchPort& port, BatchResult& into, bool noCount) {
    if (args.empty() || args[0].isNull()) {
        throw databaseError(
            "Procedure or function 'sp_helptext' expects parameter '@objname', which was not supplied.", 201);
    }
    std::string name = trimmed(args[0].toText());
    if (const auto dot = name.rfind('.'); dot != std::string::npos) name = name.substr(dot + 1);
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
    const auto m = port.module(name);
    if (!m) {
        const std::string db = "select db_name()";
        const ResultTable t = port.query(db, port.translate(db), {});
        throw databaseError("The object '" + args[0].toText() + "' does not exist in database '" +
                                (t.rowCount() > 0 ? t.at(0, 0).toText() : std::string()) +
                                "' or is invalid for this operation.",
                            15009);
    }
    const std::string shape = "select cast(N'' as nvarchar(255)) as Text where 1 = 0";
    ResultTable t = port.query(shape, port.translate(shape), {});
    const std::string& d = m->definition;
    for (std::size_t at = 0; at < d.size();) {
        std::size_t end = d.find('\n', at);
        end = end == std::string::npos ? d.size() : end + 1;
        std::size_t from = at, chars = 0;
        for (std::size_t k = at; k < end; ++k) {
            if ((static_cast<unsigned char>(d[k]) & 0xC0) == 0x80) continue;  // within a character
            if (chars++ == kHelpTextWidth) {
                t.cells.push_back(Value(d.substr(from, k - from)));
                from = k;
                chars = 1;
            }
        }
        t.cells.push_back(Value(d.substr(from, end - from)));
        at = end;
    }
    if (!noCount) port.rowsCounted(static_cast<long>(t.rowCount()));
    BatchResult one;
    one.first = std::move(t);
    one.hasResult = true;
    addResults(std::move(one), into);
}

}  // namespace

bool procedureStatement(const Nodes& ns, std::size_t b) {
    if (functionStatement(ns, b)) return true;
    if (const char* w = moduleWord(ns, b)) return std::string_view(w).starts_with("proc");
    return b + 1 < ns.size() && ns[b].word("drop") && procedureWord(ns[b + 1]);
}

Procedure readProcedure(std::string_view text) {
    const StatementTree tree = readStatementTree(text);
    const Nodes& ns = tree.nodes;
    const std::size_t e = ns.size();
    Procedure p;
    std::size_t k = ns[0].word("create") && ns[1].word("or") ? 4 : 2;
    if (k >= e || !ns[k].isName()) syntaxNear(ns[std::min(k, e - 1)]);
    skipQualifiers(ns, k, e);
    p.name = ns[k].tok.text;
    ++k;
    std::size_t as = k;
    while (as < e && !ns[as].word("as") && !ns[as].word("with") && !ns[as].word("for")) ++as;
    if (as + 1 >= e) syntaxNear(ns[e - 1]);
    if (ns[as].word("with")) unsupported("CREATE PROCEDURE ... WITH " + upper(ns[as + 1].tok.text));
    if (ns[as].word("for")) unsupported("CREATE PROCEDURE ... FOR REPLICATION");
    if (ns[k].op(";")) unsupported("numbered procedures (;n)");
    std::size_t from = tree.offsetOf(k), to = tree.offsetOf(as);
    if (as == k + 1 && ns[k].group) {
        ++from;
        to = text.rfind(')', to);
    }
    const std::string list = trimmed(text.substr(from, to - from));
    p.body = std::string(text.substr(tree.offsetOf(as + 1)));
    if (list.empty()) return p;
    const std::string declare = "declare " + list;
    const StatementTree params = readStatementTree(declare);
    if (params.statements.size() != 1) syntaxNear(params.nodes[params.statements[1].first]);
    const Nodes& ps = params.nodes;
    for (const Span& item : splitCommas(ps, 1, ps.size())) {
        if (item.first == item.second) syntaxNear(ps[std::min(item.first, ps.size() - 1)]);
        std::size_t last = item.second;
        Procedure::Parameter q;
        if (ps[last - 1].word("readonly")) unsupported("READONLY (table-valued) parameters");
        if (last > item.first + 1 && isOutput(ps[last - 1])) {
            q.output = true;
            --last;
        }
        std::vector<Declared> one = readDeclarations(ps, item.first - 1, last);
        if (one.size() != 1) syntaxNear(ps[item.first]);
        q.declared = std::move(one[0]);
        if (q.declared.valueFirst != q.declared.valueLast) {
            const std::size_t vb = params.offsetOf(q.declared.valueFirst);
            q.defaultValue =
                trimmed(std::string_view(declare).substr(vb, params.offsetOf(q.declared.valueLast) - vb));
        }
        for (const Procedure::Parameter& other : p.parameters) {
            if (other.declared.name == q.declared.name) {
                throw databaseError("The variable name '" + q.declared.written +
                                        "' has already been declared. Variable names must be unique within a "
                                        "query batch or stored procedure.",
                                    134);
            }
        }
        p.parameters.push_back(std::move(q));
    }
    return p;
}

ModuleChange readModuleChange(const StatementTree& tree, std::size_t b, std::size_t e, bool first) {
    const Nodes& ns = tree.nodes;
    ModuleChange c;
    const bool function = functionStatement(ns, b);
    if (function) c.type = "FN";
    if (ns[b].word("drop")) {
        c.kind = ModuleChange::Kind::Drop;
        std::size_t k = b + 2;
        if (k + 1 < e && ns[k].word("if") && ns[k + 1].word("exists")) {
            c.ifExists = true;
            k += 2;
        }
        if (k >= e) syntaxNear(ns[e - 1]);
        for (const Span& item : splitCommas(ns, k, e)) {
            std::size_t n = item.first;
            if (n >= item.second || !ns[n].isName()) syntaxNear(ns[std::min(n, e - 1)]);
            skipQualifiers(ns, n, item.second);
            if (n + 1 != item.second) syntaxNear(ns[n + 1]);
            c.names.push_back(ns[n].tok.text);
        }
        return c;
    }
    const bool alter = ns[b].word("alter");
    if (!first) {
        throw databaseError(std::string("'") +
                                (alter      ? "ALTER"
                                 : function ? "CREATE"
                                            : "CREATE/ALTER") +
                                (function ? " FUNCTION" : " PROCEDURE") +
                                "' must be the first statement in a query batch.",
                            111);
    }
    c.kind = alter                  ? ModuleChange::Kind::Alter
             : ns[b + 1].word("or") ? ModuleChange::Kind::CreateOrAlter
                                    : ModuleChange::Kind::Create;
    c.definition = std::string(tree.text.substr(tree.offsetOf(b)));
    // ALTER's text is kept as the CREATE it now stands for, as SQL Server keeps it
    if (alter) {
        const std::string& word = ns[b].tok.text;
        const bool lower =
            std::none_of(word.begin(), word.end(), [](char ch) { return ch >= 'A' && ch <= 'Z'; });
        c.definition = (lower ? "create" : "CREATE") + c.definition.substr(word.size());
    }
    if (function) {
        const UserFunction f = readFunction(c.definition);
        c.type = f.type;
        c.names.push_back(f.name);
        return c;
    }
    const Procedure p = readProcedure(c.definition);
    std::vector<Declared> params;
    for (const Procedure::Parameter& q : p.parameters) params.push_back(q.declared);
    compileNested(p.body, params, true);
    c.names.push_back(p.name);
    return c;
}

void runModuleChange(const ModuleChange& c, BatchPort& port) {
    using Kind = ModuleChange::Kind;
    if (c.kind == Kind::Drop) {
        std::optional<Error> missing;
        for (const std::string& name : c.names) {
            const auto m = port.module(name);
            if (!m || !sameKind(m->type, c.type)) {
                if (!c.ifExists && !missing) {
                    missing =
                        databaseError(std::string("Cannot drop the ") + objectKind(c.type) + " '" + name +
                                          "', because it does not exist or you do not have permission.",
                                      3701);
                }
                continue;
            }
            port.dropModule(m->name);
        }
        if (missing) throw *missing;
        return;
    }
    const std::string& name = c.names[0];
    const auto m = port.module(name);
    if (c.kind == Kind::Alter) {
        if (!m || !sameKind(m->type, c.type)) throw databaseError("Invalid object name '" + name + "'.", 208);
    } else if (port.tableExists(name) || (m && (c.kind == Kind::Create || !sameKind(m->type, c.type)))) {
        throw databaseError("There is already an object named '" + name + "' in the database.", 2714);
    }
    port.storeModule({m ? m->name : name, c.type, "", c.definition});
}

ExecCall readProcedureCall(const Nodes& ns, std::size_t b, std::size_t e) {
    ExecCall call;
    call.kind = ExecCall::Kind::Procedure;
    std::size_t k = ns[b].word("exec") || ns[b].word("execute") ? b + 1 : b;
    std::size_t returnAt = e;
    if (k + 2 < e && lone(ns, k, k + 1) && ns[k + 1].op("=")) {
        returnAt = k;
        k += 2;
    }
    if (k >= e) syntaxNear(ns[e - 1]);
    if (!ns[k].group && ns[k].tok.kind == TokenKind::Variable)
        unsupported("EXEC of a procedure named by a variable");
    if (!ns[k].isName()) syntaxNear(ns[k]);
    skipQualifiers(ns, k, e);
    call.procedure = ns[k].tok.text;
    if (ns[k].word("sp_executesql")) unsupported("EXEC @return = sp_executesql");
    if (ns[k].word("sp_helptext")) {
        call.kind = ExecCall::Kind::HelpText;
    } else if (const std::string lw = asciiLower(call.procedure);
               lw.starts_with("sp_") || lw.starts_with("xp_")) {
        // SQL Server's own, which the embedded database has not
        unsupported("EXEC of the system procedure " + call.procedure);
    }
    bool named = false;
    std::size_t position = 0;
    for (const Span& item : k + 1 < e ? splitCommas(ns, k + 1, e) : std::vector<Span>()) {
        const ExecArgument a = readExecArgument(ns, item, e, position, named);
        const std::string& given = a.name;
        const std::size_t first = a.first, last = a.last;
        const bool out = a.output;
        ++position;
        if (last == first + 1 && ns[first].word("default")) unsupported("DEFAULT as an argument of EXEC");
        if (out && !lone(ns, first, last)) syntaxNear(ns[last]);
        call.values.emplace_back(first, last);
        call.names.push_back(given);
        call.output.push_back(out);
        call.outputAt.push_back(out ? first : e);
    }
    if (returnAt < e) {
        call.returns = true;
        call.names.emplace_back();
        call.output.push_back(true);
        call.outputAt.push_back(returnAt);
    }
    return call;
}

void runProcedure(const ExecCall& call, const std::vector<Value>& args, BatchPort& port, BatchResult& into,
                  bool noCount, std::vector<Value>& outputs, bool xactAbort) {
    outputs.assign(call.names.size(), Value());
    if (call.kind == ExecCall::Kind::HelpText) {
        helpText(args, port, into, noCount);
        if (call.returns) outputs.back() = Value(0);
        return;
    }
    const CallLevel level;
    const auto m = port.module(call.procedure);
    if (!m) throw databaseError("Could not find stored procedure '" + call.procedure + "'.", 2812);
    if (m->type != "P") {
        throw databaseError("The request for procedure '" + m->name + "' failed because '" + m->name +
                                "' is a " + objectKind(m->type) + " object.",
                            2809);
    }
    const Kept kept = keptOf(*m, port);
    const Procedure& p = *kept.procedure;
    const std::size_t given = call.names.size() - (call.returns ? 1 : 0);
    std::vector<Value> values(p.parameters.size());
    std::vector<bool> passed(p.parameters.size(), false);
    std::vector<std::size_t> paramOf(given);
    for (std::size_t a = 0; a < given; ++a) {
        std::size_t q = a;
        if (!call.names[a].empty()) {
            q = p.parameters.size();
            for (std::size_t j = 0; j < p.parameters.size(); ++j) {
                if (p.parameters[j].declared.name == call.names[a]) q = j;
            }
            if (q == p.parameters.size())
                throw databaseError(call.names[a] + " is not a parameter for procedure " + m->name + ".",
                                    8145);
        } else if (q >= p.parameters.size()) {
            throw databaseError("Procedure or function " + m->name + " has too many arguments specified.",
                                8144);
        }
        const Procedure::Parameter& param = p.parameters[q];
        if (call.output[a] && !param.output) {
            throw databaseError("The formal parameter \"" + param.declared.written +
                                    "\" was not declared as an OUTPUT parameter, but the actual parameter "
                                    "passed in requested output.",
                                8162);
        }
        values[q] = args[a];
        passed[q] = true;
        paramOf[a] = q;
    }
    for (std::size_t q = 0; q < p.parameters.size(); ++q) {
        if (passed[q]) continue;
        const Procedure::Parameter& param = p.parameters[q];
        if (param.defaultValue.empty()) {
            throw databaseError("Procedure or function '" + m->name + "' expects parameter '" +
                                    param.declared.written + "', which was not supplied.",
                                201);
        }
        const std::string sql = "select cast(" + param.defaultValue + "\nas " + param.declared.type + ")";
        const ResultTable t = port.query(sql, port.translate(sql), {});
        if (t.rowCount() > 0) values[q] = t.at(0, 0);
    }
    ProcedureRun run;
    const int tranCount = port.tranCount();
    try {
        const TemporaryTablesScope temporary(port);
        running.push_back(m->name);
        struct Returned {
            ~Returned() { running.pop_back(); }
        } returned;
        addResults(runCompiled(*kept.body, values, port, noCount, xactAbort, &run), into);
    } catch (const Error& e) {
        // the innermost procedure it passes is where it was raised
        raisedInModule(m->name);
        throw namingTableVariables(e);
    }
    // converted from the parameter's type to the variable's, as SET @x = @parameter converts
    const auto converted = [&](std::size_t a, const std::string& from, const Value& v) {
        const std::string& to = a < call.targetTypes.size() ? call.targetTypes[a] : std::string();
        if (to.empty() || v.isNull()) return v;
        const std::string sql = "declare @v " + from + ";\nselect cast(@v as " + to + ")";
        const ResultTable t = port.query(sql, port.translate(sql), {v});
        return t.rowCount() > 0 ? t.at(0, 0) : Value();
    };
    for (std::size_t a = 0; a < given; ++a) {
        if (call.output[a])
            outputs[a] = converted(a, p.parameters[paramOf[a]].declared.type, values[paramOf[a]]);
    }
    if (call.returns) outputs.back() = converted(given, "int", Value(run.returned));
    // the transaction stays as the procedure left it; the caller is told
    if (const int now = port.tranCount(); now != tranCount) {
        throw databaseError(
            "Transaction count after EXECUTE indicates a mismatching number of BEGIN and COMMIT statements. "
            "Previous count = " +
                std::to_string(tranCount) + ", current count = " + std::to_string(now) + ".",
            266);
    }
}

}  // namespace Palvo::dialect
