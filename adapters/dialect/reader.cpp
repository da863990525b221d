// Tokens, the parentheses tree, the statements of a batch and their kinds.
#include "reader.h"

#include <utility>

namespace Palvo::dialect {

StatementKind statementKind(const Nodes& ns) {
    // (select ...) union ...: a query whose first member is in parentheses
    if (!ns.empty() && ns[0].group && !ns[0].kids.empty() && ns[0].kids[0].word("select"))
        return StatementKind::Select;
    if (ns.empty() || ns[0].group || ns[0].tok.kind != TokenKind::Word) return StatementKind::Other;
    const std::string lw = asciiLower(ns[0].tok.text);
    const std::size_t n = ns.size();
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
        const bool known = n > 2 && (ns[1].word("table") || ns[1].word("view") || ns[1].word("index"));
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

ReadBatch readBatch(std::string_view tsql) {
    auto toks = tokenize(tsql);
    Nodes tree = buildTree(toks);
    ReadBatch batch;
    batch.text = tsql;
    std::size_t start = 0;
    auto take = [&](std::size_t from, std::size_t to, std::size_t end) {
        if (from == to) return;
        ReadStatement s;
        s.begin = tree[from].tok.offset;
        s.end = end;
        if (from == 0 && to == tree.size()) {
            s.nodes = std::move(tree);  // the usual batch of one statement: no copy
        } else {
            s.nodes.assign(std::make_move_iterator(tree.begin() + static_cast<std::ptrdiff_t>(from)),
                           std::make_move_iterator(tree.begin() + static_cast<std::ptrdiff_t>(to)));
        }
        s.kind = statementKind(s.nodes);
        batch.statements.push_back(std::move(s));
    };
    const std::size_t count = tree.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (!tree[i].op(";")) continue;
        take(start, i, tree[i].tok.offset);
        start = i + 1;
    }
    take(start, count, tsql.size());
    return batch;
}

}  // namespace Palvo::dialect
