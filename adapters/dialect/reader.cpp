// Tokens, the parentheses tree, the statements of a batch and their kinds.
#include "reader.h"

#include <algorithm>
#include <utility>

#include "palvo/error.h"

namespace Palvo::dialect {

namespace {

// The kind of the statement whose first n nodes are ns[0, n).
StatementKind kindOf(const Node* ns, std::size_t n) {
    // (select ...) union ...: a query whose first member is in parentheses
    if (n > 0 && ns[0].group && !ns[0].kids.empty() && ns[0].kids[0].word("select"))
        return StatementKind::Select;
    if (n == 0 || ns[0].group || ns[0].tok.kind != TokenKind::Word) return StatementKind::Other;
    const std::string lw = asciiLower(ns[0].tok.text);
    if (lw == "select") return StatementKind::Select;
    if (lw == "with") return StatementKind::With;
    if (lw == "insert") return StatementKind::Insert;
    if (lw == "update") return StatementKind::Update;
    if (lw == "delete") return StatementKind::Delete;
    if (lw == "truncate") return StatementKind::Truncate;
    if (lw == "create") {
        if (n > 1 && ns[1].word("table")) return StatementKind::CreateTable;
        if (n > 2 && ns[1].word("view")) return StatementKind::CreateView;
        if (n > 2 && (ns[1].word("index") || ns[1].word("unique") || ns[1].word("clustered") ||
                      ns[1].word("nonclustered")))
            return StatementKind::CreateIndex;
        return StatementKind::Other;
    }
    if (lw == "drop") {
        const bool known = n > 2 && (ns[1].word("table") || ns[1].word("view") || ns[1].word("index") ||
                                     ns[1].word("procedure") || ns[1].word("proc") || ns[1].word("function"));
        return known ? StatementKind::Drop : StatementKind::Other;
    }
    if (lw == "alter") {
        if (n <= 3 || !ns[1].word("table")) return StatementKind::Other;
        if (ns[3].word("add")) return StatementKind::AlterTableAdd;
        if (ns[3].word("drop") || ns[3].word("alter")) return StatementKind::AlterTableColumn;
        return StatementKind::Other;
    }
    if (lw == "sp_rename") return StatementKind::Rename;
    if (lw == "exec" || lw == "execute") {
        return n > 1 && ns[1].word("sp_rename") ? StatementKind::Rename : StatementKind::Execute;
    }
    if (lw == "declare") return StatementKind::Declare;
    if (lw == "set") return StatementKind::Set;
    if (lw == "if") return StatementKind::If;
    if (lw == "while") return StatementKind::While;
    if (lw == "begin") return StatementKind::Begin;
    if (lw == "return") return StatementKind::Return;
    return StatementKind::Other;
}

}  // namespace

StatementKind statementKind(const Nodes& ns) { return kindOf(ns.data(), ns.size()); }

void syntaxNear(const Node& n) {
    throw Error(ErrorNumber::Database,
                "Incorrect syntax near '" + (n.group ? std::string("(") : n.tok.text) + "'.", 102);
}

const char* moduleWord(const Nodes& ns, std::size_t k) {
    if (k + 1 >= ns.size()) return nullptr;
    std::size_t w = k + 1;
    if (ns[k].word("create")) {
        if (w + 1 < ns.size() && ns[w].word("or") && ns[w + 1].word("alter")) w += 2;
    } else if (!ns[k].word("alter")) {
        return nullptr;
    }
    if (w >= ns.size()) return nullptr;
    static const char* const kinds[] = {"view", "procedure", "proc", "function", "trigger"};
    for (const char* kind : kinds) {
        if (ns[w].word(kind)) return kind;
    }
    return nullptr;
}

namespace {

[[noreturn]] void syntaxError(const Node& n) {
    if (n.tok.kind == TokenKind::Word && isClauseKeyword(asciiLower(n.tok.text)))
        throw Error(ErrorNumber::Database, "Incorrect syntax near the keyword '" + upper(n.tok.text) + "'.",
                    156);
    throw Error(ErrorNumber::Database,
                "Incorrect syntax near '" + (n.group ? std::string("(") : n.tok.text) + "'.", 102);
}

// Words that begin a statement wherever they stand outside parentheses (T-SQL
// reserves them), with the exceptions startsStatement makes.
bool statementWord(std::string_view lw) {
    // by the first letter: every statement and every name a batch holds is asked about
    if (lw.empty()) return false;
    switch (lw[0]) {
        case 'a':
            return lw == "alter";
        case 'b':
            return lw == "begin" || lw == "break";
        case 'c':
            return lw == "create" || lw == "continue" || lw == "commit" || lw == "close";
        case 'd':
            return lw == "delete" || lw == "declare" || lw == "drop" || lw == "deallocate";
        case 'e':
            return lw == "end" || lw == "else" || lw == "exec" || lw == "execute";
        case 'f':
            return lw == "fetch";
        case 'g':
            return lw == "goto";
        case 'i':
            return lw == "insert" || lw == "if";
        case 'm':
            return lw == "merge";
        case 'o':
            return lw == "open";
        case 'p':
            return lw == "print";
        case 'r':
            return lw == "return" || lw == "rollback" || lw == "raiserror";
        case 's':
            return lw == "select" || lw == "set" || lw == "save";
        case 't':
            return lw == "truncate";
        case 'u':
            return lw == "update";
        case 'w':
            return lw == "while" || lw == "waitfor" || lw == "with";
        default:
            return false;
    }
}

// Reads the top level of a batch into statements.
class TreeReader {
public:
    explicit TreeReader(const Nodes& ns) : ns_(ns) {}

    std::vector<BatchStatement> all() {
        std::vector<BatchStatement> out;
        for (;;) {
            skipSemicolons();
            if (i_ >= ns_.size()) return out;
            out.push_back(statement());
        }
    }

private:
    const Nodes& ns_;
    std::size_t i_ = 0;

    void skipSemicolons() {
        while (i_ < ns_.size() && ns_[i_].op(";")) ++i_;
    }
    bool wordAt(std::size_t k, std::string_view lw) const { return k < ns_.size() && ns_[k].word(lw); }

    // WITH that begins a common table expression: `with name [(cols)] as (`
    bool commonTables(std::size_t k) const {
        if (k + 2 >= ns_.size() || !ns_[k + 1].isName()) return false;
        static const char* const not_[] = {"ties", "check", "nocheck", "values", "cube", "rollup"};
        for (const char* w : not_) {
            if (ns_[k + 1].word(w)) return false;
        }
        std::size_t a = k + 2;
        if (ns_[a].group) ++a;
        return wordAt(a, "as");
    }

    // Whether node k begins the next statement, for a statement of `kind`
    // begun at `from`; `state` counts what the statement has seen.
    struct State {
        StatementKind kind;
        bool source = false;  // INSERT: its SELECT, VALUES or EXEC came; UPDATE: its SET came
        bool alter = false;   // an ALTER TABLE, whose DROP and ALTER are its own
        int cases = 0;        // CASE ... END open
    };
    bool startsStatement(std::size_t k, State& st) const {
        const Node& n = ns_[k];
        if (n.group || n.tok.kind != TokenKind::Word) return false;
        // statement words and CASE are 2 to 10 letters: others are passed without a copy
        const std::string& text = n.tok.text;
        if (text.size() < 2 || text.size() > 10) return false;
        char buf[10];
        for (std::size_t c = 0; c < text.size(); ++c)
            buf[c] = text[c] >= 'A' && text[c] <= 'Z' ? static_cast<char>(text[c] - 'A' + 'a') : text[c];
        const std::string_view lw(buf, text.size());
        if (lw == "case") ++st.cases;
        if (st.cases > 0) {
            if (lw == "end") --st.cases;
            return false;
        }
        if (!statementWord(lw)) return false;
        const Node* prev = k > 0 ? &ns_[k - 1] : nullptr;
        const bool afterOn = k > 1 && ns_[k - 2].word("on");
        // OFFSET n ROWS FETCH NEXT ...; a cursor's FOR SELECT ... [FOR UPDATE]
        if (lw == "fetch" && prev && (prev->word("rows") || prev->word("row"))) return false;
        if (st.kind == StatementKind::Declare && prev && prev->word("for") &&
            (lw == "select" || lw == "update"))
            return false;
        if (lw == "select") {
            if (prev &&
                (prev->word("union") || prev->word("all") || prev->word("except") || prev->word("intersect")))
                return false;
            if (st.kind == StatementKind::Insert && !st.source) {
                st.source = true;
                return false;
            }
            if (st.kind == StatementKind::With) {
                st.kind = StatementKind::Select;
                return false;
            }
            return true;
        }
        // a foreign key's ON DELETE CASCADE, ON UPDATE SET NULL
        const bool keyAction =
            (st.kind == StatementKind::CreateTable || st.alter) && prev && prev->word("on");
        if (lw == "insert" || lw == "update" || lw == "delete") {
            if (keyAction && lw != "insert") return false;
            if (st.kind == StatementKind::With) {
                st.kind = lw == "insert"   ? StatementKind::Insert
                          : lw == "update" ? StatementKind::Update
                                           : StatementKind::Delete;
                return false;
            }
            return true;
        }
        if (lw == "set") {
            if (prev && (prev->word("delete") || prev->word("update")) && afterOn &&
                (st.kind == StatementKind::CreateTable || st.alter))
                return false;  // ON DELETE SET NULL
            if (st.kind == StatementKind::Update && !st.source) {
                st.source = true;
                return false;
            }
            return true;
        }
        if (lw == "exec" || lw == "execute") {
            if (st.kind == StatementKind::Insert && !st.source) {
                st.source = true;
                return false;
            }
            return true;
        }
        if (lw == "drop" || lw == "alter") return !st.alter;
        if (lw == "with") return commonTables(k);
        // DROP TABLE IF EXISTS T, ALTER TABLE T DROP COLUMN IF EXISTS c
        if (lw == "if" && k + 1 < ns_.size() && ns_[k + 1].word("exists") &&
            (st.kind == StatementKind::Drop || st.alter))
            return false;
        return true;
    }

    // The end of the statement begun at `from` (its first node is not looked at).
    std::size_t endOf(std::size_t from, StatementKind kind) const {
        State st{kind};
        st.alter = ns_[from].word("alter");
        // MERGE ends only at the ';' SQL Server requires of it: its WHEN clauses hold UPDATE,
        // DELETE and INSERT
        const bool merge = ns_[from].word("merge");
        std::size_t k = from + 1;
        for (; k < ns_.size(); ++k) {
            if (ns_[k].op(";")) break;
            if (ns_[k].word("values") && st.kind == StatementKind::Insert) st.source = true;
            if (!merge && startsStatement(k, st)) break;
        }
        return k;
    }

    BatchStatement plain(StatementKind kind) {
        BatchStatement s;
        s.kind = kind;
        s.first = i_;
        // CREATE [OR ALTER] and ALTER of a VIEW, PROCEDURE, FUNCTION and TRIGGER take the rest of the
        // batch, as on SQL Server
        const bool whole = moduleWord(ns_, i_) != nullptr;
        s.last = whole ? ns_.size() : endOf(i_, kind);
        if (whole) {
            while (s.last > s.first && ns_[s.last - 1].op(";")) --s.last;
        }
        i_ = s.last;
        return s;
    }

    // A statement after IF's or WHILE's condition, or ELSE: one must follow.
    BatchStatement body(const Node& after) {
        skipSemicolons();
        if (i_ >= ns_.size()) syntaxError(after);
        return statement();
    }

    BatchStatement statement() {
        const Node& n = ns_[i_];
        const bool query = n.group && !n.kids.empty() && n.kids[0].word("select");  // (select ...) union ...
        const StatementKind kind = query                                      ? StatementKind::Select
                                   : n.group || n.tok.kind != TokenKind::Word ? StatementKind::Other
                                                                              : wordKind(i_);
        if (n.word("end") || n.word("else")) syntaxError(n);
        if (kind == StatementKind::Begin && i_ + 1 < ns_.size() && ns_[i_ + 1].word("try")) return tryCatch();
        if (kind == StatementKind::Begin && i_ + 1 < ns_.size() && ns_[i_ + 1].word("catch"))
            syntaxError(ns_[i_ + 1]);
        if (kind == StatementKind::Begin && !blockBegin()) return plain(kind);
        if (kind == StatementKind::Begin) {
            BatchStatement s;
            s.form = BatchStatement::Form::Block;
            s.kind = kind;
            s.first = i_++;
            for (;;) {
                skipSemicolons();
                if (i_ >= ns_.size()) syntaxError(ns_.back());
                if (ns_[i_].word("end")) break;
                s.parts.push_back(statement());
            }
            s.last = ++i_;
            return s;
        }
        if (kind == StatementKind::If || kind == StatementKind::While) {
            BatchStatement s;
            s.form = kind == StatementKind::If ? BatchStatement::Form::If : BatchStatement::Form::While;
            s.kind = kind;
            s.first = i_;
            State st{StatementKind::Other};
            std::size_t k = i_ + 1;
            while (k < ns_.size() && !ns_[k].op(";") && !startsStatement(k, st)) ++k;
            if (k == i_ + 1) syntaxError(k < ns_.size() ? ns_[k] : n);
            s.conditionEnd = k;
            i_ = k;
            if (i_ < ns_.size() && ns_[i_].op(";")) syntaxError(ns_[i_]);
            s.parts.push_back(body(ns_[k - 1]));
            if (kind == StatementKind::If) {
                std::size_t j = i_;
                while (j < ns_.size() && ns_[j].op(";")) ++j;
                if (j < ns_.size() && ns_[j].word("else")) {
                    i_ = j + 1;
                    s.parts.push_back(body(ns_[j]));
                }
            }
            s.last = i_;
            return s;
        }
        // RETURN [value]: its value runs to where the next statement starts
        if (n.word("return") && i_ + 1 < ns_.size() && !ns_[i_ + 1].op(";")) {
            State st{StatementKind::Return};
            if (!startsStatement(i_ + 1, st)) return plain(kind);
        }
        // a procedure's name alone, as the batch's first statement, runs it
        if (kind == StatementKind::Other && i_ == 0 && bareCall()) {
            BatchStatement s = plain(kind);
            s.kind = StatementKind::Execute;
            return s;
        }
        if (n.word("break") || n.word("continue") || n.word("return")) {
            BatchStatement s;
            s.kind = kind;
            s.first = i_;
            s.last = ++i_;
            return s;
        }
        return plain(kind);
    }

    // BEGIN TRY ... END TRY BEGIN CATCH ... END CATCH, i_ at the first BEGIN
    BatchStatement tryCatch() {
        BatchStatement s;
        s.form = BatchStatement::Form::Try;
        s.kind = StatementKind::Begin;
        s.first = i_;
        for (const char* part : {"try", "catch"}) {
            skipSemicolons();
            if (i_ + 1 >= ns_.size() || !ns_[i_].word("begin") || !ns_[i_ + 1].word(part))
                syntaxError(ns_[std::min(i_, ns_.size() - 1)]);
            BatchStatement block;
            block.form = BatchStatement::Form::Block;
            block.kind = StatementKind::Begin;
            block.first = i_;
            i_ += 2;
            for (;;) {
                skipSemicolons();
                if (i_ >= ns_.size()) syntaxError(ns_.back());
                if (ns_[i_].word("end")) break;
                block.parts.push_back(statement());
            }
            if (i_ + 1 >= ns_.size() || !ns_[i_ + 1].word(part)) syntaxError(ns_[i_]);
            i_ += 2;
            block.last = i_;
            s.parts.push_back(std::move(block));
        }
        s.last = i_;
        return s;
    }

    StatementKind wordKind(std::size_t k) const {
        return kindOf(ns_.data() + k, std::min<std::size_t>(ns_.size() - k, 4));  // it looks at four at most
    }

    // A name (dbo.p, [p]) that is no statement's word, then nothing or the arguments.
    bool bareCall() const {
        std::size_t k = 0;
        if (!ns_[0].isName()) return false;
        if (ns_[0].tok.kind == TokenKind::Word) {
            const std::string lw = asciiLower(ns_[0].tok.text);
            if (statementWord(lw) || isClauseKeyword(lw)) return false;
        }
        static const char* const others[] = {
            "use",       "grant",      "revoke",  "deny",        "dbcc",     "backup",
            "restore",   "checkpoint", "kill",    "bulk",        "open",     "close",
            "fetch",     "deallocate", "throw",   "reconfigure", "shutdown", "readtext",
            "writetext", "updatetext", "setuser", "disable",     "enable"};
        for (const char* w : others) {
            if (ns_[0].word(w)) return false;
        }
        while (k + 2 < ns_.size() && ns_[k + 1].op(".") && ns_[k + 2].isName()) k += 2;
        ++k;
        if (k >= ns_.size() || ns_[k].op(";")) return true;
        const Node& next = ns_[k];
        return !next.group && !next.op(".") && !next.op("=") && !next.op(":");
    }

    // BEGIN that opens a block, not BEGIN TRAN, TRY, CATCH, DISTRIBUTED, ...
    bool blockBegin() const {
        if (i_ + 1 >= ns_.size()) return true;
        const Node& next = ns_[i_ + 1];
        static const char* const others[] = {"tran",        "transaction", "try",         "catch",
                                             "distributed", "dialog",      "conversation"};
        for (const char* w : others) {
            if (next.word(w)) return false;
        }
        return true;
    }
};

}  // namespace

StatementTree readStatementTree(std::string_view tsql) {
    auto toks = tokenize(tsql);
    StatementTree tree;
    tree.text = tsql;
    tree.nodes = buildTree(toks);
    tree.statements = TreeReader(tree.nodes).all();
    return tree;
}

ReadBatch readBatch(std::string_view tsql) {
    StatementTree tree = readStatementTree(tsql);
    ReadBatch batch;
    batch.text = tsql;
    const std::size_t count = tree.nodes.size();
    for (const BatchStatement& t : tree.statements) {
        ReadStatement s;
        s.begin = tree.offsetOf(t.first);
        s.end = tree.offsetOf(t.last);
        if (t.first == 0 && t.last == count) {
            s.nodes = std::move(tree.nodes);  // the usual batch of one statement: no copy
        } else {
            s.nodes.assign(std::make_move_iterator(tree.nodes.begin() + static_cast<std::ptrdiff_t>(t.first)),
                           std::make_move_iterator(tree.nodes.begin() + static_cast<std::ptrdiff_t>(t.last)));
        }
        s.kind = t.kind;
        batch.statements.push_back(std::move(s));
    }
    return batch;
}

}  // namespace Palvo::dialect
