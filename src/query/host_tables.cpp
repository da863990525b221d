#include "src/query/host_tables.h"

#include <cctype>

#include "palvo/error.h"
#include "src/util/conversions.h"

namespace Palvo::query {

namespace {
#include "host_tables_sql.inc"

std::string trimmedLine(std::string_view line) {
    std::size_t b = 0, e = line.size();
    while (b < e && std::isspace(static_cast<unsigned char>(line[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(line[e - 1]))) --e;
    return std::string(line.substr(b, e - b));
}

bool onlyComments(const std::string& statement) {
    std::size_t pos = 0;
    while (pos < statement.size()) {
        auto nl = statement.find('\n', pos);
        std::string line = trimmedLine(std::string_view(statement).substr(pos, nl == std::string::npos ? std::string::npos : nl - pos));
        if (!line.empty() && line.rfind("--", 0) != 0) return false;
        if (nl == std::string::npos) break;
        pos = nl + 1;
    }
    return true;
}

// The table a "create table NAME (" statement creates.
std::string createdTable(const std::string& statement) {
    std::string lower;
    for (char c : statement) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto p = lower.find("create table ");
    if (p == std::string::npos) return {};
    p += 13;
    auto e = statement.find_first_of(" (\n", p);
    return statement.substr(p, e == std::string::npos ? std::string::npos : e - p);
}
}  // namespace

std::vector<std::string> splitScript(std::string_view script) {
    std::vector<std::string> out;
    std::string current;
    std::size_t pos = 0;
    while (pos <= script.size()) {
        auto nl = script.find('\n', pos);
        std::string_view line = script.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
        std::string t = trimmedLine(line);
        if (t.size() == 2 && std::toupper(static_cast<unsigned char>(t[0])) == 'G' &&
            std::toupper(static_cast<unsigned char>(t[1])) == 'O') {
            if (!onlyComments(current)) out.push_back(current);
            current.clear();
        } else {
            current += line;
            current += '\n';
        }
        if (nl == std::string_view::npos) break;
        pos = nl + 1;
    }
    if (!onlyComments(current)) out.push_back(current);
    return out;
}

std::string_view hostTablesScript() { return kEmbeddedTables; }

std::vector<std::string> createHostTables(Connection& conn) {
    std::vector<std::string> created;
    bool skipIndexes = false;
    for (const auto& statement : splitScript(hostTablesScript())) {
        std::string table = createdTable(statement);
        if (!table.empty()) {
            skipIndexes = tableExists(conn, table);
            if (skipIndexes) continue;
            created.push_back(table);
        } else if (skipIndexes) {
            continue;  // the index of a table that was already there
        }
        conn.Execute(statement);
    }
    return created;
}

bool tableExists(Connection& conn, const std::string& name) {
    auto t = conn.Query("select count(*) from syscolumns where object_name(id)='" + util::sqlQuote(name) + "'");
    return t.rowCount() && t.at(0, 0).toInt64() > 0;
}

}  // namespace Palvo::query
