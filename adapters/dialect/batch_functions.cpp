// User-defined functions. A call is written into the statement that makes it before
// the statement is translated: SQLite then plans the whole as one query, and a
// scalar function over a table's rows costs no call per row. Only a scalar body of
// statements runs per call, through the engine (runFunction, called back by the
// connection). The definitions come from the catalogue (the connection's
// palvo_modules), read once per schema version.
#include "batch_functions.h"

#include <algorithm>
#include <memory>
#include <unordered_map>

#include "palvo/error.h"
#include "rewriter.h"
#include "tokenizer.h"

namespace Palvo::dialect {

namespace {

Error databaseError(const std::string& message, long number) {
    return Error(ErrorNumber::Database, message, number);
}

std::string trimmed(std::string_view s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string_view::npos) return {};
    const auto e = s.find_last_not_of(" \t\r\n;");
    return std::string(s.substr(b, e - b + 1));
}

bool nameToken(const Token& t) { return t.kind == TokenKind::Word || t.kind == TokenKind::Name; }

// The type a declaration of it gives ("varchar(1)" for varchar), as a parameter's is.
std::string declaredType(const std::string& written) {
    const std::string declare = "declare @r " + written;
    const StatementTree t = readStatementTree(declare);
    const std::vector<Declared> d = readDeclarations(t.nodes, 0, t.nodes.size());
    if (d.size() != 1 || d[0].valueFirst != d[0].valueLast) syntaxNear(t.nodes.back());
    return d[0].type;
}

// What a function may not do, as SQL Server refuses it when the function is made.
void checkNoSideEffects(const Nodes& ns, const BatchStatement& s) {
    for (const BatchStatement& p : s.parts) checkNoSideEffects(ns, p);
    if (s.form == BatchStatement::Form::Try) {
        throw databaseError("Invalid use of a side-effecting operator 'BEGIN TRY' within a function.", 443);
    }
    if (s.form != BatchStatement::Form::Plain || s.first >= s.last) return;
    const Node& first = ns[s.first];
    const auto sideEffect = [](const std::string& op) {
        throw databaseError("Invalid use of a side-effecting operator '" + op + "' within a function.", 443);
    };
    const auto changesTable = [&](std::size_t k) {
        if (k < s.last && ns[k].word("into")) ++k;
        if (k < s.last && ns[k].word("from")) ++k;
        if (k < s.last && ns[k].word("top")) k += 2;
        // a table variable of the function's own may change
        return k >= s.last || ns[k].group || ns[k].tok.kind != TokenKind::Variable;
    };
    switch (s.kind) {
        case StatementKind::Insert:
        case StatementKind::Update:
        case StatementKind::Delete:
            if (changesTable(s.first + 1)) sideEffect(upper(first.tok.text));
            return;
        case StatementKind::Select:
            if (s.first + 2 < s.last && !ns[s.first + 1].group &&
                ns[s.first + 1].tok.kind == TokenKind::Variable && ns[s.first + 2].tok.text.ends_with("="))
                return;
            throw databaseError(
                "Select statements included within a function cannot return data to a client.", 444);
        case StatementKind::Execute:
            sideEffect("EXECUTE");
            return;
        default:
            break;
    }
    for (const char* w : {"print", "raiserror", "throw", "merge", "truncate", "commit", "rollback", "save",
                          "create", "alter", "drop", "waitfor"}) {
        if (first.word(w)) sideEffect(upper(w));
    }
    if (first.word("begin") && s.first + 1 < s.last && !ns[s.first + 1].word("try"))
        sideEffect("BEGIN TRANSACTION");
}

// Each variable read must be a parameter: SQL Server's 137 otherwise.
void checkParameters(const Nodes& ns, const std::vector<UserFunction::Parameter>& params) {
    for (const Node& n : ns) {
        if (n.group) {
            checkParameters(n.kids, params);
            continue;
        }
        if (n.tok.kind != TokenKind::Variable || n.tok.text.starts_with("@@")) continue;
        const std::string lower = asciiLower(n.tok.text);
        if (std::none_of(params.begin(), params.end(),
                         [&](const UserFunction::Parameter& p) { return p.declared.name == lower; }))
            throw databaseError("Must declare the scalar variable \"" + n.tok.text + "\".", 137);
    }
}

// The text of the nodes [b, e) from the end of the word before them (a `dbo.` the tree drops kept).
std::string sliceOf(const StatementTree& t, std::size_t b, std::size_t e) {
    const Token& before = t.nodes[b - 1].tok;
    const std::size_t from = before.offset + before.text.size();
    return trimmed(t.text.substr(from, t.offsetOf(e) - from));
}

void readScalarBody(const StatementTree& tree, std::size_t k, UserFunction& f) {
    const Nodes& ns = tree.nodes;
    if (k >= ns.size() || !ns[k].word("begin")) syntaxNear(ns[std::min(k, ns.size() - 1)]);
    const StatementTree body = readStatementTree(tree.text.substr(tree.offsetOf(k)));
    if (body.statements.size() != 1 || body.statements[0].form != BatchStatement::Form::Block)
        syntaxNear(body.nodes.back());
    const BatchStatement& block = body.statements[0];
    checkNoSideEffects(body.nodes, block);
    if (block.parts.empty() || block.parts.back().kind != StatementKind::Return) {
        throw databaseError("The last statement included within a function must be a return statement.", 455);
    }
    const BatchStatement& ret = block.parts.back();
    if (ret.last <= ret.first + 1) syntaxNear(body.nodes[ret.first]);
    if (block.parts.size() > 1) {
        // run per call through the batch engine, on the connection of the statement that calls it
        f.statements = true;
        f.body = trimmed(body.text);
        const Nodes& bn = body.nodes;
        for (std::size_t n = 0; n < bn.size(); ++n) {
            // the engine makes a table variable a temporary table, which no read may make
            if (bn[n].word("declare") && n + 2 < bn.size() && bn[n + 2].word("table"))
                unsupported("a table variable in a function (" + f.name + ")");
            if (bn[n].word("cursor")) unsupported("a cursor in a function (" + f.name + ")");
        }
        compileNested(f.body, parametersOf(f), true, f.returns);
        return;
    }
    f.body = sliceOf(body, ret.first + 1, ret.last);
    const Nodes expression(body.nodes.begin() + static_cast<std::ptrdiff_t>(ret.first + 1),
                           body.nodes.begin() + static_cast<std::ptrdiff_t>(ret.last));
    checkParameters(expression, f.parameters);
}

void readInlineBody(const StatementTree& tree, std::size_t k, UserFunction& f) {
    const Nodes& ns = tree.nodes;
    const std::size_t e = ns.size();
    if (k >= e || !ns[k].word("return")) syntaxNear(ns[std::min(k, e - 1)]);
    ++k;
    if (k >= e) syntaxNear(ns[e - 1]);
    std::string query = sliceOf(tree, k, e);
    const Nodes* inner = &ns;
    std::size_t first = k;
    if (ns[k].group && (k + 1 == e || (k + 2 == e && ns[k + 1].op(";")))) {
        query = trimmed(query.substr(1, query.rfind(')') - 1));
        inner = &ns[k].kids;
        first = 0;
    }
    if (first >= inner->size() || !((*inner)[first].word("select") || (*inner)[first].word("with")))
        syntaxNear((*inner)[std::min(first, inner->size() - 1)]);
    checkParameters(*inner, f.parameters);
    f.body = std::move(query);
}

}  // namespace

std::vector<Declared> parametersOf(const UserFunction& f) {
    std::vector<Declared> params;
    for (const UserFunction::Parameter& p : f.parameters) params.push_back(p.declared);
    return params;
}

bool functionStatement(const Nodes& ns, std::size_t b) {
    if (const char* w = moduleWord(ns, b)) return std::string_view(w) == "function";
    return b + 1 < ns.size() && ns[b].word("drop") && ns[b + 1].word("function");
}

UserFunction readFunction(std::string_view text) {
    const StatementTree tree = readStatementTree(text);
    const Nodes& ns = tree.nodes;
    const std::size_t e = ns.size();
    UserFunction f;
    std::size_t k = ns[0].word("create") && ns[1].word("or") ? 4 : 2;
    if (k >= e || !ns[k].isName()) syntaxNear(ns[std::min(k, e - 1)]);
    skipQualifiers(ns, k, e);
    f.name = ns[k].tok.text;
    ++k;
    if (k >= e || !ns[k].group) syntaxNear(ns[std::min(k, e - 1)]);
    const std::size_t from = tree.offsetOf(k) + 1;
    const std::string list = trimmed(text.substr(from, text.rfind(')', tree.offsetOf(k + 1)) - from));
    if (!list.empty()) {
        // the list reads as a procedure's does: types, defaults, names given twice
        const Procedure p = readProcedure("create procedure f " + list + " as return");
        for (const Procedure::Parameter& q : p.parameters) {
            if (q.output) unsupported("OUTPUT parameters of a function (" + f.name + ")");
            f.parameters.push_back({q.declared, q.defaultValue});
        }
    }
    ++k;
    if (k + 1 >= e || !ns[k].word("returns")) syntaxNear(ns[std::min(k, e - 1)]);
    ++k;
    if (!ns[k].group && ns[k].tok.kind == TokenKind::Variable)
        unsupported("multi-statement table-valued functions (RETURNS " + ns[k].tok.text + " TABLE)");
    const bool inline_ = ns[k].word("table");
    const std::size_t typeAt = k;
    while (k < e && !ns[k].word("as") && !ns[k].word("with") && !ns[k].word("begin") && !ns[k].word("return"))
        ++k;
    if (k == typeAt || k >= e) syntaxNear(ns[std::min(k, e - 1)]);
    f.type = inline_ ? "IF" : "FN";
    if (!inline_) f.returns = declaredType(sliceOf(tree, typeAt, k));
    if (ns[k].word("with")) {
        // options that change no answer here
        for (++k; k < e && !ns[k].word("as") && !ns[k].word("begin") && !ns[k].word("return"); ++k) {
            if (ns[k].op(",") || ns[k].word("schemabinding")) continue;
            if (k + 3 < e && ns[k].word("called") && ns[k + 1].word("on") && ns[k + 2].word("null") &&
                ns[k + 3].word("input")) {
                k += 3;
                continue;
            }
            unsupported("CREATE FUNCTION ... WITH " + upper(ns[k].tok.text));
        }
    }
    if (k < e && ns[k].word("as")) ++k;
    if (inline_) {
        readInlineBody(tree, k, f);
    } else {
        readScalarBody(tree, k, f);
    }
    return f;
}

namespace {

std::shared_ptr<const UserFunction> functionOf(const std::string& definition) {
    constexpr std::size_t kKept = 64;
    thread_local std::unordered_map<std::string, std::shared_ptr<const UserFunction>> kept;
    if (const auto it = kept.find(definition); it != kept.end()) return it->second;
    auto f = std::make_shared<const UserFunction>(readFunction(definition));
    if (kept.size() >= kKept) kept.clear();
    return kept.emplace(definition, std::move(f)).first->second;
}

// A function's body compiled, once per thread and definition.
std::shared_ptr<const CompiledNested> compiledOf(const std::string& definition, const UserFunction& f) {
    constexpr std::size_t kKept = 64;
    thread_local std::unordered_map<std::string, std::shared_ptr<const CompiledNested>> kept;
    if (const auto it = kept.find(definition); it != kept.end()) return it->second;
    auto c = compileNested(f.body, parametersOf(f), true, f.returns);
    if (kept.size() >= kKept) kept.clear();
    return kept.emplace(definition, std::move(c)).first->second;
}

// Where a name followed by its arguments can only be a scalar function's call.
bool expressionBefore(const Token* prev) {
    if (!prev) return false;
    if (prev->kind == TokenKind::Operator) return !prev->isOp(".") && !prev->isOp(")");
    if (prev->kind != TokenKind::Word) return false;
    for (const char* w : {"select", "where",  "and",    "or",       "not",   "when",    "then", "else",
                          "return", "having", "by",     "distinct", "in",    "between", "like", "is",
                          "case",   "print",  "exists", "if",       "while", "all",     "any",  "some"}) {
        if (prev->isWord(w)) return true;
    }
    return false;
}

bool tableBefore(const Token* prev) {
    return prev && (prev->isWord("from") || prev->isWord("join") || prev->isWord("apply"));
}

// Whether the tokens after a table in FROM give it an alias.
bool aliasAt(const std::vector<Token>& ts, std::size_t k) {
    if (k >= ts.size()) return false;
    const Token& t = ts[k];
    if (t.kind == TokenKind::Name || t.isWord("as")) return true;
    if (t.kind != TokenKind::Word) return false;
    const std::string lw = asciiLower(t.text);
    if (isClauseKeyword(lw)) return false;
    for (const char* w : {"for", "option", "pivot", "unpivot", "window", "go"}) {
        if (lw == w) return false;
    }
    return true;
}

class Expander {
public:
    Expander(Catalogue& catalogue, bool inView) : catalogue_(catalogue), inView_(inView) {}

    // The text with the calls written in; none when it has none.
    std::optional<std::string> expand(std::string_view text) { return expand(text, tokenize(text)); }
    std::optional<std::string> expand(std::string_view text, const std::vector<Token>& ts) {
        std::string out;
        std::size_t done = 0;
        bool any = false;
        for (std::size_t i = 0; i < ts.size(); ++i) {
            const Token* prev = i > 0 ? &ts[i - 1] : nullptr;
            if (prev && prev->isOp(".")) continue;
            const bool qualified = nameToken(ts[i]) && equalsNoCase(ts[i].text, "dbo") && i + 3 < ts.size() &&
                                   ts[i + 1].isOp(".") && nameToken(ts[i + 2]) && ts[i + 3].isOp("(");
            const bool table = tableBefore(prev);
            if (!qualified && !(table && nameToken(ts[i]) && i + 1 < ts.size() && ts[i + 1].isOp("(")))
                continue;
            const std::size_t at = qualified ? i + 2 : i;
            if (table && !prev->isWord("apply") && hintsOnly(ts, at + 1)) continue;
            const std::string written = (qualified ? ts[i].text + "." : std::string()) + ts[at].text;
            const Catalogue::FunctionDefinition* def = catalogue_.function(asciiLower(ts[at].text));
            const bool tableUse = table || (prev && prev->isOp(",") && def && def->type == "IF");
            if (!def || (tableUse ? def->type != "IF" : def->type == "IF")) {
                // a table's hints without WITH, `from dbo.T (nolock)`
                if (!qualified || (!def && catalogue_.columns(asciiLower(ts[at].text)))) continue;
                if (tableUse) throw databaseError("Invalid object name '" + written + "'.", 208);
                if (def || expressionBefore(prev)) {
                    throw databaseError("Cannot find either column \"" + ts[i].text +
                                            "\" or the user-defined function or aggregate \"" + written +
                                            "\", or the name is ambiguous.",
                                        4121);
                }
                continue;
            }
            if (inView_) unsupported("a view that calls the user-defined function " + written);
            const std::size_t close = closing(ts, at + 1);
            out.append(text.substr(done, ts[i].offset - done));
            out += call(text, ts, at + 1, close, *def, written, tableUse && !aliasAt(ts, close + 1));
            done = ts[close].offset + 1;
            i = close;
            any = true;
        }
        if (!any) return std::nullopt;
        out.append(text.substr(done));
        return out;
    }

private:
    // `(nolock)`, `(updlock, holdlock)` after a table: its hints, no call (no function takes a
    // hint's word as an argument), so the catalogue is not asked
    static bool hintsOnly(const std::vector<Token>& ts, std::size_t open) {
        std::size_t k = open + 1;
        for (; k < ts.size(); k += 2) {
            if (ts[k].kind != TokenKind::Word || !harmlessHint(asciiLower(ts[k].text))) return false;
            if (k + 1 < ts.size() && ts[k + 1].isOp(")")) return true;
            if (k + 1 >= ts.size() || !ts[k + 1].isOp(",")) return false;
        }
        return false;
    }
    static std::size_t closing(const std::vector<Token>& ts, std::size_t open) {
        int depth = 0;
        for (std::size_t k = open; k < ts.size(); ++k) {
            if (ts[k].isOp("(")) ++depth;
            if (ts[k].isOp(")") && --depth == 0) return k;
        }
        unsupported("unbalanced '(' at character " + std::to_string(ts[open].offset + 1));
    }

    std::string call(std::string_view text, const std::vector<Token>& ts, std::size_t open, std::size_t close,
                     const Catalogue::FunctionDefinition& def, const std::string& written, bool named) {
        const std::shared_ptr<const UserFunction> f = functionOf(def.definition);
        const std::string key = asciiLower(f->name);
        if (std::find(stack_.begin(), stack_.end(), key) != stack_.end())
            unsupported("a function that calls itself (" + written + ")");
        if (stack_.size() >= static_cast<std::size_t>(kMaxCallNesting)) {
            throw databaseError(
                "Maximum stored procedure, function, trigger, or view nesting level exceeded (limit 32).",
                217);
        }
        // the arguments, each [first, end) of the text
        std::vector<std::string> args;
        int depth = 0;
        std::size_t start = open + 1;
        for (std::size_t k = open + 1; k <= close; ++k) {
            if (ts[k].isOp("(")) ++depth;
            if (k < close && ts[k].isOp(")")) --depth;
            if (k == close || (depth == 0 && ts[k].isOp(","))) {
                args.push_back(trimmed(text.substr(ts[start].offset, ts[k].offset - ts[start].offset)));
                start = k + 1;
            }
        }
        if (args.size() == 1 && args[0].empty()) args.clear();
        // the calls an argument makes are the caller's
        for (std::string& a : args) {
            if (auto inner = expand(a)) a = std::move(*inner);
        }
        if (args.size() > f->parameters.size())
            throw databaseError("Procedure or function " + written + " has too many arguments specified.",
                                8144);
        std::unordered_map<std::string, std::string> values;
        for (std::size_t q = 0; q < f->parameters.size(); ++q) {
            const UserFunction::Parameter& p = f->parameters[q];
            std::string value = q < args.size() ? args[q] : std::string();
            if (equalsNoCase(value, "default")) value = p.defaultValue;
            if (value.empty()) {
                throw databaseError(
                    "An insufficient number of arguments were supplied for the procedure or function " +
                        written + ".",
                    313);
            }
            // converted to the parameter's type as SQL Server converts an argument
            values[p.declared.name] = "(cast((" + value + "\n) as " + p.declared.type + "))";
        }
        if (f->statements) {
            // the engine converts each value to its parameter's type
            std::string run = "palvo_udf(N'" + base::sqlQuote(f->name) + "'";
            for (const UserFunction::Parameter& p : f->parameters) run += ", " + values[p.declared.name];
            return "(cast(" + run + ")\nas " + f->returns + "))";
        }
        const std::vector<Token> bs = tokenize(f->body);
        for (const UserFunction::Parameter& p : f->parameters) {
            const auto uses = std::count_if(bs.begin(), bs.end(), [&](const Token& t) {
                return t.kind == TokenKind::Variable && asciiLower(t.text) == p.declared.name;
            });
            if (uses > 1) onceOnly(values[p.declared.name], written);
        }
        std::string body;
        std::size_t done = 0;
        for (const Token& t : bs) {
            if (t.kind != TokenKind::Variable) continue;
            const auto it = values.find(asciiLower(t.text));
            if (it == values.end()) continue;
            body.append(f->body, done, t.offset - done);
            body += it->second;
            done = t.offset + t.text.size();
        }
        body.append(f->body, done);
        stack_.push_back(key);
        if (auto inner = expand(body)) body = std::move(*inner);
        stack_.pop_back();
        if (f->type == "FN") return "(cast((" + body + "\n) as " + f->returns + "))";
        std::string derived = "(" + body + "\n)";
        if (named) {
            std::string alias;
            for (const char ch : f->name) alias += ch == ']' ? std::string("]]") : std::string(1, ch);
            derived += " as [" + alias + "]";
        }
        return derived;
    }

    // An argument written at each place the body reads it must give one value each time.
    static void onceOnly(const std::string& argument, const std::string& written) {
        const std::vector<Token> ts = tokenize(argument);
        for (std::size_t k = 0; k + 1 < ts.size(); ++k) {
            if (!ts[k + 1].isOp("(")) continue;
            for (const char* w : {"newid", "rand", "crypt_gen_random", "newsequentialid"}) {
                if (ts[k].isWord(w))
                    unsupported("an argument with " + upper(w) + "() to a parameter " + written +
                                " reads more than once");
            }
        }
    }

    Catalogue& catalogue_;
    bool inView_;
    std::vector<std::string> stack_;  // the functions being written in, lower case
};

}  // namespace

Value runFunction(BatchPort& port, const std::string& name, std::vector<Value> args) {
    const CallLevel level;
    const auto m = port.module(name);
    if (!m || m->type != "FN") {
        throw databaseError(
            "Cannot find either column \"dbo\" or the user-defined function or aggregate \"dbo." + name +
                "\", or the name is ambiguous.",
            4121);
    }
    const std::shared_ptr<const UserFunction> f = functionOf(m->definition);
    if (!f->statements) unsupported("palvo_udf of the function " + name);
    args.resize(f->parameters.size());
    ProcedureRun run;
    try {
        runCompiled(*compiledOf(m->definition, *f), args, port, true, false, &run);
    } catch (const Error&) {
        raisedInModule(m->name);
        throw;
    }
    return run.value;
}

bool functionRunsStatements(std::string_view definition) { return readFunction(definition).statements; }

std::optional<std::string> expandFunctions(std::string_view tsql, Catalogue& catalogue) {
    const bool dbo = std::search(tsql.begin(), tsql.end(), std::begin("dbo"), std::end("dbo") - 1,
                                 [](char a, char b) { return (a | 0x20) == b; }) != tsql.end();
    if (!dbo && !catalogue.hasFunctions()) return std::nullopt;
    // a module's text is read when it runs; a view's would keep the function as it is now
    const std::vector<Token> head = tokenize(tsql);
    std::size_t w = 1;
    if (head.size() > 3 && head[0].isWord("create") && head[1].isWord("or") && head[2].isWord("alter")) w = 3;
    bool view = false;
    if (head.size() > w && (head[0].isWord("create") || head[0].isWord("alter"))) {
        for (const char* kind : {"procedure", "proc", "function", "trigger"}) {
            if (head[w].isWord(kind)) return std::nullopt;
        }
        view = head[w].isWord("view");
    }
    return Expander(catalogue, view).expand(tsql, head);
}

}  // namespace Palvo::dialect
