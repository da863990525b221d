#include "src/data/host_tables.h"

#include <cctype>

#include "palvo/error.h"
#include "src/base/conversions.h"

namespace Palvo::data {

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
// A letter of a plain column name beyond ASCII: the Latin, Greek and Cyrillic
// letters, CJK ideographs, kana, Hangul and the fullwidth Latin letters. Signs,
// punctuation and blanks of every script are not among them.
bool wideLetter(char32_t c) {
    if (c >= 0xC0 && c <= 0x24F) return c != 0xD7 && c != 0xF7;  // × and ÷
    if (c >= 0x386 && c <= 0x3CE) return c != 0x387 && c != 0x38B && c != 0x38D && c != 0x3A2;
    if ((c >= 0x400 && c <= 0x481) || (c >= 0x48A && c <= 0x4FF)) return true;
    if (c >= 0x3005 && c <= 0x3007) return true;  // 々 〆 〇
    if ((c >= 0x3041 && c <= 0x3096) || (c >= 0x309D && c <= 0x309F)) return true;
    if ((c >= 0x30A1 && c <= 0x30FA) || (c >= 0x30FC && c <= 0x30FF)) return true;
    if ((c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF)) return true;
    if ((c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF)) return true;
    if ((c >= 0xFF21 && c <= 0xFF3A) || (c >= 0xFF41 && c <= 0xFF5A)) return true;
    return c >= 0x20000 && c <= 0x2FA1F;
}

bool identifierStart(char32_t c) {
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || c == U'_' || wideLetter(c);
}

// T-SQL also takes "#", "$" and "@" after the first character, but the
// embedded database does not: such a name goes in brackets, which both read.
bool identifierPart(char32_t c) {
    return identifierStart(c) || (c >= U'0' && c <= U'9') || (c >= 0xFF10 && c <= 0xFF19);
}

// The reserved keywords of T-SQL, which stand as names only in brackets.
bool reservedWord(std::string_view name) {
    static constexpr std::string_view kWords =
        " ADD ALL ALTER AND ANY AS ASC AUTHORIZATION BACKUP BEGIN BETWEEN BREAK BROWSE BULK BY "
        "CASCADE CASE CHECK CHECKPOINT CLOSE CLUSTERED COALESCE COLLATE COLUMN COMMIT COMPUTE "
        "CONSTRAINT CONTAINS CONTAINSTABLE CONTINUE CONVERT CREATE CROSS CURRENT CURRENT_DATE "
        "CURRENT_TIME CURRENT_TIMESTAMP CURRENT_USER CURSOR DATABASE DBCC DEALLOCATE DECLARE "
        "DEFAULT DELETE DENY DESC DISK DISTINCT DISTRIBUTED DOUBLE DROP DUMP ELSE END ERRLVL "
        "ESCAPE EXCEPT EXEC EXECUTE EXISTS EXIT EXTERNAL FETCH FILE FILLFACTOR FOR FOREIGN "
        "FREETEXT FREETEXTTABLE FROM FULL FUNCTION GOTO GRANT GROUP HAVING HOLDLOCK IDENTITY "
        "IDENTITY_INSERT IDENTITYCOL IF IN INDEX INNER INSERT INTERSECT INTO IS JOIN KEY KILL LEFT "
        "LIKE LINENO LOAD MERGE NATIONAL NOCHECK NONCLUSTERED NOT NULL NULLIF OF OFF OFFSETS ON "
        "OPEN OPENDATASOURCE OPENQUERY OPENROWSET OPENXML OPTION OR ORDER OUTER OVER PERCENT PIVOT "
        "PLAN PRECISION PRIMARY PRINT PROC PROCEDURE PUBLIC RAISERROR READ READTEXT RECONFIGURE "
        "REFERENCES REPLICATION RESTORE RESTRICT RETURN REVERT REVOKE RIGHT ROLLBACK ROWCOUNT "
        "ROWGUIDCOL RULE SAVE SCHEMA SECURITYAUDIT SELECT SEMANTICKEYPHRASETABLE "
        "SEMANTICSIMILARITYDETAILSTABLE SEMANTICSIMILARITYTABLE SESSION_USER SET SETUSER SHUTDOWN "
        "SOME STATISTICS SYSTEM_USER TABLE TABLESAMPLE TEXTSIZE THEN TO TOP TRAN TRANSACTION "
        "TRIGGER TRUNCATE TRY_CONVERT TSEQUAL UNION UNIQUE UNPIVOT UPDATE UPDATETEXT USE USER "
        "VALUES VARYING VIEW WAITFOR WHEN WHERE WHILE WITH WRITETEXT ";
    if (name.empty() || name.find(' ') != std::string_view::npos) return false;
    std::string word = " ";
    for (char c : name) word += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return kWords.find(word + " ") != std::string_view::npos;
}
}  // namespace

std::string sqlColumnName(std::string_view name) {
    const std::u32string s = base::decodeUtf8(name);
    bool plain = !s.empty() && identifierStart(s[0]) && !reservedWord(name);
    for (std::size_t i = 1; plain && i < s.size(); ++i) plain = identifierPart(s[i]);
    if (plain || name.empty()) return std::string(name);
    std::string r = "[";
    for (char c : name) {
        r += c;
        if (c == ']') r += ']';
    }
    return r + "]";
}

bool isObjectName(std::string_view name) {
    std::size_t b = 0, e = name.size();
    while (b < e && (name[b] == ' ' || name[b] == '\t')) ++b;
    while (e > b && (name[e - 1] == ' ' || name[e - 1] == '\t')) --e;
    const std::u32string s = base::decodeUtf8(name.substr(b, e - b));
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
        conn.Query("select count(*) from syscolumns where object_name(id)='" + base::sqlQuote(name) + "'");
    return t.rowCount() && t.at(0, 0).toInt64() > 0;
}

}  // namespace Palvo::data
