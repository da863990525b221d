#include "sql_params.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string_view>

#include "palvo/text.h"

namespace Palvo::cli {

namespace {

bool nameChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x80 || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           c == '_' || c == '#' || c == '$';
}

[[noreturn]] void wrong(const std::string& name, const std::string& what) {
    throw std::invalid_argument("--param " + name + ": " + what);
}

bool decimalText(std::string_view v) {
    std::size_t k = !v.empty() && (v[0] == '-' || v[0] == '+') ? 1 : 0;
    bool digits = false, point = false;
    for (; k < v.size(); ++k) {
        if (v[k] >= '0' && v[k] <= '9') {
            digits = true;
        } else if (v[k] == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

// The value of TYPE:VALUE; text when there is no type before a colon.
Value typedValue(const std::string& name, const std::string& given) {
    const auto colon = given.find(':');
    const std::string type = colon == std::string::npos ? "" : given.substr(0, colon);
    const std::string v = colon == std::string::npos ? given : given.substr(colon + 1);
    if (type == "int") {
        long long n = 0;
        const auto r = std::from_chars(v.data() + (v.starts_with('+') ? 1 : 0), v.data() + v.size(), n);
        if (v.empty() || r.ec != std::errc() || r.ptr != v.data() + v.size())
            wrong(name, "'" + v + "' is not a whole number within bigint.");
        return Value(n);
    }
    if (type == "decimal") {
        if (!decimalText(v))
            wrong(name, "'" + v + "' is not a decimal number (digits with at most one point).");
        return Value(Decimal{v});
    }
    if (type == "float") {
        char* end = nullptr;
        const double d = std::strtod(v.c_str(), &end);
        if (v.empty() || end != v.c_str() + v.size() || !std::isfinite(d))
            wrong(name, "'" + v + "' is not a finite number.");
        return Value(d);
    }
    if (type == "datetime") {
        const auto d = DateTime::parse(v);
        if (!d || !d->valid()) wrong(name, "'" + v + "' is not a date (YYYY-MM-DD[ HH:MM[:SS[.fff]]]).");
        return Value(*d);
    }
    if (type == "bit") {
        if (v != "0" && v != "1") wrong(name, "'" + v + "' is not a bit (0 or 1).");
        return Value(v == "1");
    }
    if (type == "null") {
        if (!v.empty()) wrong(name, "null: takes no value.");
        return Value();
    }
    if (type == "text") return Value(v);
    return Value(given);  // no type named: the whole of it is text
}

// The placeholders of the statement, outside texts, quoted names and comments:
// "?" for each '?', else the name of each @NAME (not @@NAME), with where it stands.
struct Placeholder {
    std::size_t at, length;
    std::string name;
};

std::vector<Placeholder> placeholders(const std::string& s) {
    std::vector<Placeholder> out;
    for (std::size_t k = 0; k < s.size();) {
        const char c = s[k];
        if (const std::size_t end = base::skipSqlQuoted(s, k); end != k) {
            k = end;
        } else if (c == '?') {
            out.push_back({k, 1, "?"});
            ++k;
        } else if (c == '@') {
            std::size_t e = k + 1;
            const bool system = e < s.size() && s[e] == '@';
            if (system) ++e;
            while (e < s.size() && nameChar(s[e])) ++e;
            if (!system && e > k + 1) out.push_back({k, e - k, s.substr(k + 1, e - k - 1)});
            k = e;
        } else {
            ++k;
        }
    }
    return out;
}

}  // namespace

BoundStatement bindParams(const std::string& statement, const std::vector<std::string>& params) {
    std::map<std::string, Value> named;
    std::vector<std::string> order;
    std::vector<Value> inOrder;
    for (const std::string& p : params) {
        const auto eq = p.find('=');
        std::string name = eq == std::string::npos ? "" : p.substr(0, eq);
        if (name.starts_with('@')) name.erase(0, 1);
        if (name.empty()) throw std::invalid_argument("--param takes NAME=[TYPE:]VALUE, not '" + p + "'.");
        for (char c : name) {
            if (!nameChar(c)) wrong(name, "a name holds letters, digits and _ only.");
        }
        // names compare as SQL Server's variable names do, without regard to case
        if (named.count(base::asciiLower(name))) wrong(name, "given twice.");
        Value v = typedValue(name, p.substr(eq + 1));
        named.emplace(base::asciiLower(name), v);
        order.push_back(name);
        inOrder.push_back(std::move(v));
    }
    const auto found = placeholders(statement);
    bool byName = false, byPosition = false;
    for (const Placeholder& h : found) (h.name == "?" ? byPosition : byName) = true;
    if (byName && byPosition)
        throw std::invalid_argument("A statement takes its values by ? or by @NAME, not both.");
    if (!byName) return {statement, std::move(inOrder)};
    BoundStatement b;
    std::map<std::string, bool> used;
    std::size_t from = 0;
    for (const Placeholder& h : found) {
        const auto it = named.find(base::asciiLower(h.name));
        if (it == named.end())
            throw std::invalid_argument("The statement names @" + h.name + ", and no --param gives it.");
        used[base::asciiLower(h.name)] = true;
        b.sql += statement.substr(from, h.at - from) + "?";
        from = h.at + h.length;
        b.values.push_back(it->second);
    }
    b.sql += statement.substr(from);
    for (const std::string& name : order) {
        if (!used.count(base::asciiLower(name))) wrong(name, "the statement names no @" + name + ".");
    }
    return b;
}

}  // namespace Palvo::cli
