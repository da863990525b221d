// SET IDENTITY_INSERT and the identity column of an INSERT: SQLite takes any value
// for an autoincrement column, SQL Server only while IDENTITY_INSERT is ON for its
// table (one table per session at a time), and an INSERT without a column list
// fills the other columns.
#include <algorithm>

#include "connection_impl.h"
#include "palvo/text.h"

namespace Palvo::sqlite {

namespace {

[[noreturn]] void serverError(long number, const std::vector<std::string>& args) {
    throw Error(ErrorNumber::Database, englishText(number, args), number);
}

// A name as T-SQL writes it, without brackets, quotes or a dbo. owner.
std::string plainName(std::string_view s) {
    std::string name;
    for (char c : s)
        if (c != '[' && c != ']' && c != '"') name += c;
    if (startsWithNoCase(name, "dbo.")) name.erase(0, 4);
    return name;
}

std::string quoted(const std::string& name) {
    std::string q = "\"";
    for (char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

// The names of a column list "(a, "b c")" starting at `at`; `end` is set past its ')'.
std::vector<std::string> columnList(const std::string& sql, std::size_t at, std::size_t& end) {
    std::vector<std::string> names(1);
    bool inQuotes = false;
    for (std::size_t i = at + 1; i < sql.size(); ++i) {
        const char c = sql[i];
        if (inQuotes) {
            if (c == '"' && i + 1 < sql.size() && sql[i + 1] == '"') {
                names.back() += '"';
                ++i;
            } else if (c == '"') {
                inQuotes = false;
            } else {
                names.back() += c;
            }
        } else if (c == '"') {
            inQuotes = true;
        } else if (c == ',') {
            names.emplace_back();
        } else if (c == ')') {
            end = i + 1;
            return names;
        } else if (c != ' ') {
            names.back() += c;
        }
    }
    end = sql.size();
    return names;
}

}  // namespace

const Connection::Impl::IdentityColumns* Connection::Impl::identityOf(const std::string& table) {
    const long long version = schemaVersion();
    if (version != identitiesVersion) {
        identities.clear();
        identitiesVersion = version;
    }
    const std::string key = base::asciiLower(table);
    auto it = identities.find(key);
    if (it == identities.end()) {
        std::optional<IdentityColumns> found;
        const auto stored = strings(
            "select name from sqlite_master where type = 'table' and name = ?1 collate nocase and sql like "
            "'%autoincrement%'",
            table);
        if (!stored.empty()) {
            const auto pk = strings("select name from pragma_table_info(?1) where pk = 1", stored[0]);
            if (pk.size() == 1) {
                found = IdentityColumns{
                    stored[0], pk[0],
                    strings("select name from pragma_table_info(?1) where pk = 0 order by cid", stored[0])};
            }
        }
        it = identities.emplace(key, std::move(found)).first;
    }
    return it->second ? &*it->second : nullptr;
}

bool Connection::Impl::setIdentityInsert(const std::string& sql) {
    std::string_view s = base::trimBlanks(sql);
    constexpr std::string_view kSet = "set identity_insert ";
    if (!startsWithNoCase(s, kSet)) return false;
    s.remove_prefix(kSet.size());
    while (!s.empty() && (s.back() == ';' || s.back() == ' ')) s.remove_suffix(1);
    const std::size_t space = s.find_last_of(' ');
    const std::string_view word = space == std::string_view::npos ? s : s.substr(space + 1);
    const bool on = base::equalsNoCase(word, "on");
    if (space == std::string_view::npos || (!on && !base::equalsNoCase(word, "off")))
        serverError(102, {std::string(word)});
    const std::string name = plainName(base::trimBlanks(s.substr(0, space)));
    if (storedTable(name).empty()) serverError(1088, {name});
    const IdentityColumns* ident = identityOf(name);
    if (!ident) {
        throw Error(ErrorNumber::Database,
                    "Table '" + name + "' does not have the identity property. Cannot perform SET operation.",
                    8106);
    }
    if (on && !identityInsert.empty() && !base::equalsNoCase(identityInsert, ident->table))
        serverError(8107, {databaseName() + ".dbo." + identityInsert, name});
    if (on)
        identityInsert = ident->table;
    else if (base::equalsNoCase(identityInsert, ident->table))
        identityInsert.clear();
    return true;
}

std::string Connection::Impl::identityChecked(const std::string& insert) {
    constexpr std::string_view kInsert = "insert into ";
    if (!startsWithNoCase(insert, kInsert)) return insert;
    const std::string table = nameAt(insert, kInsert.size());
    const IdentityColumns* ident = identityOf(table);
    if (!ident) return insert;
    // past the table's name
    std::size_t at = kInsert.size();
    if (insert[at] == '"') {
        for (++at; at < insert.size(); ++at) {
            if (insert[at] != '"') continue;
            if (at + 1 < insert.size() && insert[at + 1] == '"')
                ++at;
            else
                break;
        }
        ++at;
    } else {
        at = std::min(insert.find_first_of(" (", at), insert.size());
    }
    std::size_t list = at;
    while (list < insert.size() && insert[list] == ' ') ++list;
    const bool on = base::equalsNoCase(identityInsert, ident->table);
    if (list < insert.size() && insert[list] == '(' &&
        !startsWithNoCase(base::trimBlanks(insert.substr(list + 1)), "select")) {
        std::size_t end = 0;
        const auto names = columnList(insert, list, end);
        const bool given = std::any_of(names.begin(), names.end(), [&](const std::string& n) {
            return base::equalsNoCase(n, ident->column);
        });
        if (given && !on) serverError(544, {ident->table});
        if (!given && on) {
            throw Error(
                ErrorNumber::Database,
                "Explicit value must be specified for identity column in table '" + ident->table +
                    "' either when IDENTITY_INSERT is set to ON or when a replication user is inserting "
                    "into a NOT FOR REPLICATION identity column.",
                545);
        }
        return insert;
    }
    if (on) serverError(8101, {ident->table});
    if (startsWithNoCase(base::trimBlanks(insert.substr(list)), "default values")) return insert;
    std::string columns;
    for (const auto& c : ident->others) columns += (columns.empty() ? "" : ", ") + quoted(c);
    return insert.substr(0, at) + " (" + columns + ")" + insert.substr(at);
}

}  // namespace Palvo::sqlite
