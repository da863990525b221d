// Dynamic SQL in a batch: EXEC (text) and sp_executesql with typed parameters,
// whose values are bound to the inner batch's variables, never pasted into it.
#include "batch_procs.h"

#include <utility>

#include "batch_modules.h"
#include "palvo/error.h"

namespace Palvo::dialect {

namespace {

struct Parameter {
    Declared declared;
    bool output = false;
};

// sp_executesql's definitions: `@p int, @q nvarchar(10) OUTPUT`.
std::vector<Parameter> readParameters(const std::string& definitions) {
    std::vector<Parameter> out;
    const std::string text = "declare " + definitions;
    const StatementTree tree = readStatementTree(text);
    if (tree.statements.size() != 1 || tree.statements[0].form != BatchStatement::Form::Plain)
        throw Error(ErrorNumber::Database, "Incorrect syntax near '" + definitions + "'.", 102);
    const BatchStatement& s = tree.statements[0];
    for (const Span& item : splitCommas(tree.nodes, s.first + 1, s.last)) {
        std::size_t last = item.second;
        Parameter p;
        if (last > item.first + 1 && isOutput(tree.nodes[last - 1])) {
            p.output = true;
            --last;
        }
        std::vector<Declared> one = readDeclarations(tree.nodes, item.first - 1, last);
        if (one.size() != 1 || one[0].valueFirst != one[0].valueLast) syntaxNear(tree.nodes[item.first]);
        for (const Parameter& q : out) {
            if (q.declared.name == one[0].name) {
                throw Error(ErrorNumber::Database,
                            "The variable name '" + one[0].written +
                                "' has already been declared. Variable names must be unique within a query "
                                "batch or stored procedure.",
                            134);
            }
        }
        p.declared = std::move(one[0]);
        out.push_back(std::move(p));
    }
    return out;
}

}  // namespace

bool isOutput(const Node& n) { return n.word("output") || n.word("out"); }

bool lone(const Nodes& ns, std::size_t b, std::size_t e) {
    return e == b + 1 && !ns[b].group && ns[b].tok.kind == TokenKind::Variable &&
           !ns[b].tok.text.starts_with("@@");
}

ExecArgument readExecArgument(const Nodes& ns, Span item, std::size_t e, std::size_t position, bool& named) {
    ExecArgument a{{}, item.first, item.second, false};
    if (a.first == a.last) syntaxNear(ns[a.first < e ? a.first : e - 1]);
    if (a.last > a.first + 2 && lone(ns, a.first, a.first + 1) && ns[a.first + 1].op("=")) {
        a.name = asciiLower(ns[a.first].tok.text);
        a.first += 2;
        named = true;
    } else if (named) {
        throw Error(ErrorNumber::Database,
                    "Must pass parameter number " + std::to_string(position + 1) +
                        " and subsequent parameters as '@name = value'. After the form '@name = value' has "
                        "been used, all subsequent parameters must be passed in the form '@name = value'.",
                    119);
    }
    if (a.last > a.first + 1 && isOutput(ns[a.last - 1])) {
        a.output = true;
        --a.last;
    }
    return a;
}

// Calls within calls, on this thread: SQL Server stops at 32 levels.
namespace {
thread_local int nesting = 0;
}

CallLevel::CallLevel() {
    if (nesting >= kMaxCallNesting) {
        throw Error(ErrorNumber::Database,
                    "Maximum stored procedure, function, trigger, or view nesting level exceeded (limit 32).",
                    217);
    }
    ++nesting;
}
CallLevel::~CallLevel() { --nesting; }
int callNesting() { return nesting; }

void addResults(BatchResult&& from, BatchResult& into) {
    if (from.hasResult) {
        if (!into.hasResult) {
            into.first = std::move(from.first);
            into.hasResult = true;
        } else {
            into.later.push_back(std::move(from.first));
        }
    }
    for (ResultTable& t : from.later) into.later.push_back(std::move(t));
    if (from.affected >= 0) into.affected = (into.affected < 0 ? 0 : into.affected) + from.affected;
}

ExecCall readExec(const Nodes& ns, std::size_t b, std::size_t e) {
    ExecCall call;
    const bool word = ns[b].word("exec") || ns[b].word("execute");
    std::size_t k = word ? b + 1 : b;
    if (k >= e) syntaxNear(ns[b]);
    if (word && ns[k].group) {
        // EXEC ('select ...' + @x): the text runs as a batch of its own
        if (k + 1 < e) unsupported("EXEC (...) " + ns[k + 1].tok.text);
        call.values.emplace_back(k, k + 1);
        return call;
    }
    // sys.sp_executesql, dbo.sp_executesql, sp_executesql
    std::size_t name = k;
    while (name + 2 < e && ns[name].isName() && ns[name + 1].op(".")) name += 2;
    if (!ns[name].word("sp_executesql")) return readProcedureCall(ns, b, e);
    call.kind = ExecCall::Kind::ExecuteSql;
    if (name + 1 >= e) {
        throw Error(
            ErrorNumber::Database,
            "Procedure or function 'sp_executesql' expects parameter '@stmt', which was not supplied.", 201);
    }
    bool named = false;
    std::size_t position = 0;
    for (const Span& item : splitCommas(ns, name + 1, e)) {
        const ExecArgument a = readExecArgument(ns, item, e, position, named);
        const std::string& given = a.name;
        const std::size_t first = a.first, last = a.last;
        const bool out = a.output;
        ++position;
        if (position <= 2 && (given.empty() || given == (position == 1 ? "@stmt" : "@params"))) {
            if (out) syntaxNear(ns[last]);
            call.values.emplace_back(first, last);
            continue;
        }
        if (out && !lone(ns, first, last)) syntaxNear(ns[last]);
        call.values.emplace_back(first, last);
        call.names.push_back(given);
        call.output.push_back(out);
        call.outputAt.push_back(out ? first : e);
    }
    return call;
}

void runExec(const ExecCall& call, const std::vector<Value>& args, BatchPort& port, BatchResult& into,
             bool noCount, std::vector<Value>& outputs, bool xactAbort) {
    if (call.kind == ExecCall::Kind::Procedure || call.kind == ExecCall::Kind::HelpText) {
        runProcedure(call, args, port, into, noCount, outputs, xactAbort);
        return;
    }
    outputs.assign(call.names.size(), Value());
    // a Null text runs nothing, as on SQL Server
    if (args.empty() || args[0].isNull()) return;
    const CallLevel level;
    if (call.kind == ExecCall::Kind::Text) {
        std::vector<Value> none;
        addResults(runNested(args[0].toText(), {}, none, port, noCount, xactAbort), into);
        return;
    }
    const std::string definitions = args.size() > 1 && !args[1].isNull() ? args[1].toText() : std::string();
    std::vector<Parameter> params;
    if (definitions.find_first_not_of(" \t\r\n") != std::string::npos) params = readParameters(definitions);
    const std::size_t offset = args.size() - call.names.size();
    std::vector<Value> values(params.size());
    std::vector<bool> given(params.size(), false);
    std::vector<int> paramOf(call.names.size(), -1);
    for (std::size_t a = 0; a < call.names.size(); ++a) {
        std::size_t p = a;
        if (!call.names[a].empty()) {
            p = params.size();
            for (std::size_t q = 0; q < params.size(); ++q) {
                if (params[q].declared.name == call.names[a]) p = q;
            }
            if (p == params.size()) {
                throw Error(ErrorNumber::Database,
                            call.names[a] + " is not a parameter for procedure sp_executesql.", 8145);
            }
        } else if (p >= params.size()) {
            throw Error(ErrorNumber::Database,
                        "Procedure or function sp_executesql has too many arguments specified.", 8144);
        }
        values[p] = args[offset + a];
        given[p] = true;
        paramOf[a] = static_cast<int>(p);
    }
    for (std::size_t p = 0; p < params.size(); ++p) {
        if (!given[p]) {
            throw Error(ErrorNumber::Database,
                        "The parameterized query '(" + definitions + ")" + args[0].toText() +
                            "' expects the parameter '" + params[p].declared.written +
                            "', which was not supplied.",
                        8178);
        }
    }
    std::vector<Declared> declared;
    declared.reserve(params.size());
    for (const Parameter& p : params) declared.push_back(p.declared);
    addResults(runNested(args[0].toText(), declared, values, port, noCount, xactAbort), into);
    for (std::size_t a = 0; a < call.names.size(); ++a) {
        const int p = paramOf[a];
        if (call.output[a] && params[static_cast<std::size_t>(p)].output)
            outputs[a] = values[static_cast<std::size_t>(p)];
    }
}

}  // namespace Palvo::dialect
