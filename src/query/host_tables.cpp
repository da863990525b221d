#include "src/query/host_tables.h"

#include <cctype>

#include "palvo/error.h"
#include "src/base/conversions.h"

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
        std::string line = trimmedLine(
            std::string_view(statement).substr(pos, nl == std::string::npos ? std::string::npos : nl - pos));
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

// A character of a plain (unbracketed) name. Beyond ASCII every letter counts,
// but not blanks, quotes and punctuation (‘’“”, 、 and the wide blank among them).
bool plainNameChar(char32_t c) {
    if (c < 0x80)
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '#' || c == '$';
    if (c < 0xC0) return false;                   // Latin-1 blanks and signs
    if (c >= 0x2B0 && c < 0x300) return false;    // modifier letters, with the apostrophe U+02BC
    if (c >= 0x2000 && c < 0x2070) return false;  // general punctuation and blanks
    if (c >= 0x3000 && c < 0x3040) return false;  // CJK blanks and punctuation
    if (c >= 0xFF00 && c < 0xFF10) return false;  // fullwidth signs, ＇ and ＂ among them
    if ((c >= 0xFF1A && c < 0xFF21) || (c >= 0xFF3B && c < 0xFF41) || (c >= 0xFF5B && c < 0xFF66))
        return false;
    if (c >= 0xDC80 && c <= 0xDCFF) return false;  // a byte that is not UTF-8
    return c != 0xFEFF;
}
}  // namespace

bool isObjectName(std::string_view name) {
    std::size_t b = 0, e = name.size();
    while (b < e && (name[b] == ' ' || name[b] == '\t')) ++b;
    while (e > b && (name[e - 1] == ' ' || name[e - 1] == '\t')) --e;
    const std::u32string s = util::decodeUtf8(name.substr(b, e - b));
    std::size_t i = 0;
    int parts = 0;
    while (true) {
        if (++parts > 4) return false;
        if (i < s.size() && (s[i] == U'[' || s[i] == U'"')) {
            const char32_t close = s[i] == U'[' ? U']' : U'"';
            ++i;
            std::size_t length = 0;
            while (true) {
                if (i >= s.size() || s[i] < 0x20) return false;
                if (s[i] == close) {
                    if (i + 1 < s.size() && s[i + 1] == close) {
                        i += 2;
                        ++length;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
                ++length;
            }
            if (length == 0) return false;
        } else {
            // An empty part stands for the default ("库..表"), but not at the end.
            if (i < s.size() && s[i] != U'.' && ((s[i] >= U'0' && s[i] <= U'9') || s[i] == U'$'))
                return false;
            while (i < s.size() && s[i] != U'.') {
                if (!plainNameChar(s[i])) return false;
                ++i;
            }
        }
        if (i == s.size()) return !s.empty() && s.back() != U'.';
        if (s[i] != U'.') return false;
        ++i;
    }
}

std::vector<std::string> splitScript(std::string_view script) {
    std::vector<std::string> out;
    std::string current;
    std::size_t pos = 0;
    while (pos <= script.size()) {
        auto nl = script.find('\n', pos);
        std::string_view line =
            script.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
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

std::vector<std::string> createHostTables(Connection& conn, const ExistingTableStatement& existing) {
    std::vector<std::string> created;
    bool there = false;
    for (const auto& statement : splitScript(hostTablesScript())) {
        std::string table = createdTable(statement);
        if (!table.empty()) {
            there = tableExists(conn, table);
            if (!there) created.push_back(table);
        }
        // the statement of a table already there, or of its index
        if (there) {
            if (existing) existing(statement);
            continue;
        }
        conn.Execute(statement);
    }
    return created;
}

namespace {
const char* kSetColumns = "表名, 用户名, 查询类别, 查询名, 字段名";
}  // namespace

std::vector<RepeatedSetting> repeatedSettings(Connection& conn) {
    const std::string columns = kSetColumns;
    auto t = conn.Query("select " + columns + ", count(*) from 查询打印设置 group by " + columns +
                        " having count(*) > 1 order by " + columns);
    std::vector<RepeatedSetting> out;
    for (std::size_t r = 0; r < t.rowCount(); ++r) {
        out.push_back({t.at(r, 0).toText(), t.at(r, 1).toText(), t.at(r, 2).toText(), t.at(r, 3).toText(),
                       t.at(r, 4).toText(), static_cast<long>(t.at(r, 5).toInt64())});
    }
    return out;
}

long removeRepeatedSettings(Connection& conn) {
    return conn.Execute(
        "delete from 查询打印设置 where rowid not in (select min(rowid) from 查询打印设置 group by " +
        std::string(kSetColumns) + ")");
}

bool tableExists(Connection& conn, const std::string& name) {
    auto t =
        conn.Query("select count(*) from syscolumns where object_name(id)='" + util::sqlQuote(name) + "'");
    return t.rowCount() && t.at(0, 0).toInt64() > 0;
}

}  // namespace Palvo::query
