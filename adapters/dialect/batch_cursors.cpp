// Cursors in a batch. Every kind reads its rows when it is opened, as a STATIC
// cursor does: the rows a loop then changes are not read again (a DYNAMIC cursor,
// which would see them, is refused by name).
#include "batch_cursors.h"

#include <algorithm>

#include "palvo/error.h"
#include "reader.h"

namespace Palvo::dialect {

namespace {

[[noreturn]] void cursorError(const std::string& message, long number) {
    throw Error(ErrorNumber::Database, message, number);
}

// [GLOBAL] name at ns[k]; k moves past it.
void readName(const Nodes& ns, std::size_t& k, std::size_t e, CursorStatement& out) {
    if (k + 1 < e && ns[k].word("global") && ns[k + 1].isName()) {
        out.global = true;
        ++k;
    }
    if (k >= e) syntaxNear(ns[e - 1]);
    if (!ns[k].group && ns[k].tok.kind == TokenKind::Variable)
        unsupported("cursor variables (" + ns[k].tok.text + ")");
    if (!ns[k].isName()) syntaxNear(ns[k]);
    out.written = ns[k].tok.text;
    out.name = asciiLower(out.written);
    ++k;
}

}  // namespace

bool readCursorDeclaration(const Nodes& ns, std::size_t b, std::size_t e, CursorStatement& out) {
    std::size_t k = b + 1;
    if (k + 1 >= e || !ns[k].isName()) return false;
    // DECLARE name [INSENSITIVE] [SCROLL] CURSOR, as ISO writes it
    std::size_t c = k + 1;
    bool insensitive = false, isoScroll = false;
    if (c < e && ns[c].word("insensitive")) insensitive = true, ++c;
    if (c < e && ns[c].word("scroll")) isoScroll = true, ++c;
    if (c >= e || !ns[c].word("cursor")) return false;
    out.kind = CursorStatement::Kind::Declare;
    out.written = ns[k].tok.text;
    out.name = asciiLower(out.written);
    // a cursor is global unless declared LOCAL, as SQL Server's databases have it by default
    out.global = true;
    bool forwardOnly = false, scroll = isoScroll, fast = false, typed = insensitive;
    out.counted = insensitive;
    for (k = c + 1; k < e && !ns[k].word("for"); ++k) {
        const Node& w = ns[k];
        if (insensitive || isoScroll) syntaxNear(w);  // the ISO form takes no options
        if (w.word("local") || w.word("global")) {
            out.global = w.word("global");
        } else if (w.word("forward_only")) {
            forwardOnly = true;
        } else if (w.word("scroll")) {
            scroll = true;
        } else if (w.word("static") || w.word("keyset")) {
            typed = out.counted = true;
        } else if (w.word("fast_forward")) {
            fast = true;
        } else if (w.word("dynamic")) {
            unsupported("DYNAMIC cursors (the embedded database reads a cursor's rows when it is opened)");
        } else if (!(w.word("read_only") || w.word("scroll_locks") || w.word("optimistic") ||
                     w.word("type_warning"))) {
            syntaxNear(w);
        }
    }
    if (fast && (scroll || forwardOnly || typed)) unsupported("FAST_FORWARD with other cursor options");
    if (forwardOnly && scroll) unsupported("FORWARD_ONLY with SCROLL");
    // STATIC and KEYSET scroll unless FORWARD_ONLY is written
    out.scroll = scroll || (typed && !forwardOnly && !fast);
    if (k + 1 >= e || !ns[k + 1].word("select")) syntaxNear(k < e ? ns[k] : ns[e - 1]);
    std::size_t last = e;
    // FOR READ ONLY, FOR UPDATE [OF columns]: nothing is updated through a cursor here
    for (std::size_t j = k + 2; j + 1 < e; ++j) {
        if (ns[j].word("for") && (ns[j + 1].word("update") || ns[j + 1].word("read"))) {
            last = j;
            break;
        }
    }
    out.query = {k + 1, last};
    return true;
}

bool readCursorStatement(const Nodes& ns, std::size_t b, std::size_t e, CursorStatement& out) {
    using Kind = CursorStatement::Kind;
    const Node& first = ns[b];
    if (first.word("open")) {
        out.kind = Kind::Open;
    } else if (first.word("close")) {
        out.kind = Kind::Close;
    } else if (first.word("deallocate")) {
        out.kind = Kind::Deallocate;
    } else if (first.word("fetch")) {
        out.kind = Kind::Fetch;
    } else {
        return false;
    }
    std::size_t k = b + 1;
    if (k >= e) syntaxNear(first);
    if (out.kind == Kind::Fetch) {
        using Move = CursorStatement::Move;
        static const std::pair<const char*, Move> moves[] = {
            {"next", Move::Next}, {"prior", Move::Prior},       {"first", Move::First},
            {"last", Move::Last}, {"absolute", Move::Absolute}, {"relative", Move::Relative}};
        bool moved = false;
        for (const auto& [w, m] : moves) {
            if (ns[k].word(w)) {
                out.move = m;
                moved = true;
                ++k;
                break;
            }
        }
        if (out.move == Move::Absolute || out.move == Move::Relative) {
            const std::size_t from = k;
            while (k < e && !ns[k].word("from")) ++k;
            if (k == from || k >= e) syntaxNear(ns[std::min(k, e - 1)]);
            out.amount = {from, k};
        }
        if (k < e && ns[k].word("from")) {
            ++k;
        } else if (moved) {
            syntaxNear(ns[k < e ? k : e - 1]);
        }
    }
    readName(ns, k, e, out);
    if (out.kind == Kind::Fetch && k < e && ns[k].word("into")) {
        out.into = true;
        for (const Span& v : splitCommas(ns, k + 1, e)) {
            const Node& n = ns[v.first];
            if (v.second != v.first + 1 || n.group || n.tok.kind != TokenKind::Variable ||
                n.tok.text.starts_with("@@"))
                syntaxNear(v.first < e ? n : ns[e - 1]);
            out.targets.push_back(v.first);
        }
        if (out.targets.empty()) syntaxNear(ns[k]);
        k = e;
    }
    if (k < e) syntaxNear(ns[k]);
    return true;
}

void refuseCurrentOf(const Nodes& ns, std::size_t b, std::size_t e) {
    for (std::size_t k = b; k + 1 < e; ++k) {
        if (ns[k].word("current") && ns[k + 1].word("of") && k > b && ns[k - 1].word("where"))
            unsupported("WHERE CURRENT OF (change the row by its key instead)");
    }
}

std::shared_ptr<Cursor> findCursor(CursorSet& locals, CursorSet* globals, const CursorStatement& st) {
    if (!st.global) {
        if (const auto it = locals.cursors.find(st.name); it != locals.cursors.end()) return it->second;
    }
    if (globals) {
        if (const auto it = globals->cursors.find(st.name); it != globals->cursors.end()) return it->second;
    }
    cursorError("A cursor with the name '" + st.written + "' does not exist.", 16916);
}

void declareCursor(CursorSet& scope, const CursorStatement& st, std::string sql,
                   std::vector<std::pair<std::string, Value>> values) {
    if (scope.cursors.count(st.name))
        cursorError("A cursor with the name '" + st.written + "' already exists.", 16915);
    auto c = std::make_shared<Cursor>();
    c->written = st.written;
    c->scroll = st.scroll;
    c->counted = st.counted;
    c->sql = std::move(sql);
    c->values = std::move(values);
    scope.cursors.emplace(st.name, std::move(c));
}

void openCursor(Cursor& c, CursorSet& globals, BatchPort& port) {
    if (c.open) cursorError("The cursor is already open.", 16905);
    const auto tr = port.translate(c.sql);
    std::vector<Value> bound;
    for (const std::string& name : tr->variables) {
        const auto it =
            std::find_if(c.values.begin(), c.values.end(), [&](const auto& v) { return v.first == name; });
        bound.push_back(it == c.values.end() ? Value() : it->second);
    }
    c.rows = port.query(c.sql, tr, bound);
    c.open = true;
    c.position = 0;
    globals.lastOpened = &c;
    port.setCursorRows(c.counted ? static_cast<long>(c.rows.rowCount()) : -1);
}

long fetchCursor(Cursor& c, CursorStatement::Move move, long long amount, BatchPort& port) {
    using Move = CursorStatement::Move;
    if (!c.open) cursorError("Cursor is not open.", 16917);
    if (!c.scroll && move != Move::Next) {
        static const char* const names[] = {"NEXT", "PRIOR", "FIRST", "LAST", "ABSOLUTE", "RELATIVE"};
        cursorError(std::string("fetch: The fetch type FETCH_") + names[static_cast<int>(move)] +
                        " cannot be used with forward only cursors.",
                    16911);
    }
    const long long n = static_cast<long long>(c.rows.rowCount());
    long long at = static_cast<long long>(c.position);
    switch (move) {
        case Move::Next:
            at = at + 1;
            break;
        case Move::Prior:
            at = at - 1;
            break;
        case Move::First:
            at = 1;
            break;
        case Move::Last:
            at = n;
            break;
        case Move::Absolute:
            // from the end when negative; 0 fetches nothing
            at = amount > 0 ? amount : amount < 0 ? n + 1 + amount : 0;
            break;
        case Move::Relative:
            at = at + amount;
            break;
    }
    at = std::clamp<long long>(at, 0, n + 1);
    c.position = static_cast<std::size_t>(at);
    const bool row = at >= 1 && at <= n;
    port.setFetchStatus(row ? 0 : -1);
    return row ? static_cast<long>(at - 1) : -1;
}

void closeCursor(Cursor& c, CursorSet& globals, BatchPort& port) {
    if (!c.open) cursorError("Cursor is not open.", 16917);
    c.open = false;
    c.rows = ResultTable();
    c.position = 0;
    if (globals.lastOpened == &c) {
        globals.lastOpened = nullptr;
        port.setCursorRows(0);
    }
}

void deallocateCursor(CursorSet& locals, CursorSet* globals, const CursorStatement& st, BatchPort& port) {
    const std::shared_ptr<Cursor> c = findCursor(locals, globals, st);
    if (c->open && globals) closeCursor(*c, *globals, port);
    if (!st.global && locals.cursors.erase(st.name)) return;
    if (globals) globals->cursors.erase(st.name);
}

namespace {

std::size_t characters(const std::string& s) {
    return static_cast<std::size_t>(std::count_if(
        s.begin(), s.end(), [](char ch) { return (static_cast<unsigned char>(ch) & 0xC0) != 0x80; }));
}

// The number in a declared type's parentheses, "(10)" or "(18,2)": the first, and the second or -1.
std::pair<long, long> sizeOf(const std::string& type) {
    const std::size_t open = type.find('(');
    if (open == std::string::npos) return {-1, -1};
    const std::string inside = type.substr(open + 1, type.size() - open - 2);
    if (inside == "max") return {1L << 30, -1};
    const std::size_t comma = inside.find(',');
    try {
        return {std::stol(inside.substr(0, comma)),
                comma == std::string::npos ? -1 : std::stol(inside.substr(comma + 1))};
    } catch (const std::exception&) {
        return {-1, -1};
    }
}

}  // namespace

bool fitsAsIs(const Value& v, const std::string& type) {
    if (v.isNull()) return true;
    const std::string base = type.substr(0, type.find('('));
    if (const std::int64_t* i = v.integer()) {
        if (base == "bigint") return true;
        if (base == "int") return *i >= -2147483648LL && *i <= 2147483647LL;
        if (base == "smallint") return *i >= -32768 && *i <= 32767;
        return base == "tinyint" && *i >= 0 && *i <= 255;
    }
    if (const std::string* s = v.text()) {
        // char pads, and a varchar's length may cut: those convert
        if (base != "varchar" && base != "nvarchar") return false;
        return characters(*s) <= static_cast<std::size_t>(std::max(0L, sizeOf(type).first));
    }
    if (const Palvo::Decimal* d = v.decimal()) {
        if (base != "decimal" && base != "numeric") return false;
        const auto [precision, scale] = sizeOf(type);
        const std::size_t point = d->text.find('.');
        const long fraction = point == std::string::npos ? 0 : static_cast<long>(d->text.size() - point - 1);
        const long whole = static_cast<long>(std::count_if(
            d->text.begin(), d->text.begin() + static_cast<std::ptrdiff_t>(std::min(point, d->text.size())),
            [](char ch) { return ch >= '0' && ch <= '9'; }));
        return precision > 0 && fraction == std::max(0L, scale) && whole <= precision - std::max(0L, scale);
    }
    if (v.real()) return base == "float";
    return false;
}

}  // namespace Palvo::dialect
