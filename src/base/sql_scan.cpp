// The one scan of T-SQL text past its quotes and comments, for the modules and
// the tool that look for a word or sign outside them.
#include "palvo/text.h"

namespace Palvo::base {

std::size_t skipSqlQuoted(std::string_view sql, std::size_t at) {
    if (at >= sql.size()) return at;
    const char c = sql[at];
    const char next = at + 1 < sql.size() ? sql[at + 1] : '\0';
    if ((c == 'N' || c == 'n') && next == '\'') return skipSqlQuoted(sql, at + 1);
    if (c == '\'' || c == '"' || c == '[') {
        const char close = c == '[' ? ']' : c;
        for (std::size_t j = at + 1; j < sql.size(); ++j) {
            if (sql[j] != close) continue;
            if (j + 1 < sql.size() && sql[j + 1] == close) {
                ++j;  // a doubled closing character stands for itself
                continue;
            }
            return j + 1;
        }
        return sql.size();
    }
    if (c == '-' && next == '-') {
        const auto end = sql.find('\n', at);
        return end == std::string_view::npos ? sql.size() : end + 1;
    }
    if (c == '/' && next == '*') {
        int depth = 0;
        for (std::size_t j = at; j + 1 < sql.size(); ++j) {
            if (sql[j] == '/' && sql[j + 1] == '*') {
                ++depth;
                ++j;
            } else if (sql[j] == '*' && sql[j + 1] == '/') {
                ++j;
                if (--depth == 0) return j + 1;
            }
        }
        return sql.size();
    }
    return at;
}

}  // namespace Palvo::base
