#include "tokenizer.h"

#include <cctype>

#include "palvo/error.h"

namespace Palvo::dialect {

namespace {

bool isIdentStart(unsigned char c) { return std::isalpha(c) || c == '_' || c == '#' || c >= 0x80; }
bool isIdentPart(unsigned char c) { return std::isalnum(c) || c == '_' || c == '#' || c == '$' || c >= 0x80; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

[[noreturn]] void unterminated(std::string_view what, std::size_t at) {
    throw Error(ErrorNumber::NotSupported, "Unterminated " + std::string(what) + " starting at character " +
                                               std::to_string(at + 1) + ".");
}

// Reads a run closed by `close`, where a doubled `close` stands for itself.
std::size_t readQuoted(std::string_view s, std::size_t i, char close, std::string& out,
                       std::string_view what) {
    std::size_t start = i;
    ++i;
    while (true) {
        if (i >= s.size()) unterminated(what, start);
        if (s[i] == '\0') {
            // SQLite reads a statement only up to a NUL; the statement fails as the database
            // would fail it, with a message that says why
            throw Error(ErrorNumber::Database, "A NUL character (U+0000) in the " + std::string(what) +
                                                   " starting at character " + std::to_string(start + 1) +
                                                   ": pass such a value as a parameter.");
        }
        if (s[i] == close) {
            if (i + 1 < s.size() && s[i + 1] == close) {
                out += close;
                i += 2;
                continue;
            }
            return i + 1;
        }
        out += s[i++];
    }
}

}  // namespace

bool Token::isWord(std::string_view lowerWord) const {
    return kind == TokenKind::Word && equalsNoCase(text, lowerWord);
}

std::vector<Token> tokenize(std::string_view s) {
    std::vector<Token> out;
    out.reserve(s.size() / 4 + 4);
    bool space = false;
    std::size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        const auto uc = static_cast<unsigned char>(c);
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
            space = true;
            ++i;
            continue;
        }
        if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
            while (i < s.size() && s[i] != '\n') ++i;
            space = true;
            continue;
        }
        if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
            // T-SQL block comments nest.
            std::size_t start = i;
            int depth = 0;
            while (true) {
                if (i + 1 >= s.size()) unterminated("comment", start);
                if (s[i] == '/' && s[i + 1] == '*') {
                    ++depth;
                    i += 2;
                } else if (s[i] == '*' && s[i + 1] == '/') {
                    i += 2;
                    if (--depth == 0) break;
                } else {
                    ++i;
                }
            }
            space = true;
            continue;
        }
        Token t;
        t.spaceBefore = space;
        t.offset = i;
        space = false;
        if (c == '\'') {
            t.kind = TokenKind::String;
            i = readQuoted(s, i, '\'', t.text, "string");
        } else if ((c == 'N' || c == 'n') && i + 1 < s.size() && s[i + 1] == '\'') {
            t.kind = TokenKind::NString;
            i = readQuoted(s, i + 1, '\'', t.text, "string");
        } else if (c == '[') {
            t.kind = TokenKind::Name;
            i = readQuoted(s, i, ']', t.text, "bracketed name");
        } else if (c == '"') {
            t.kind = TokenKind::Name;
            i = readQuoted(s, i, '"', t.text, "quoted name");
        } else if (isDigit(c) || (c == '.' && i + 1 < s.size() && isDigit(s[i + 1])) ||
                   (c == '$' && i + 1 < s.size() &&
                    (isDigit(s[i + 1]) || (s[i + 1] == '.' && i + 2 < s.size() && isDigit(s[i + 2]))))) {
            // a number; with '$' before it a money literal ($1.25)
            t.kind = TokenKind::Number;
            std::size_t b = i;
            if (c == '$') ++i;
            if (c == '0' && i + 1 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
                i += 2;
                while (i < s.size() && std::isxdigit(static_cast<unsigned char>(s[i]))) ++i;
            } else {
                while (i < s.size() && isDigit(s[i])) ++i;
                if (i < s.size() && s[i] == '.') {
                    ++i;
                    while (i < s.size() && isDigit(s[i])) ++i;
                }
                if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
                    std::size_t j = i + 1;
                    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
                    if (j < s.size() && isDigit(s[j])) {
                        i = j;
                        while (i < s.size() && isDigit(s[i])) ++i;
                    }
                }
            }
            t.text = std::string(s.substr(b, i - b));
        } else if (c == '@') {
            t.kind = TokenKind::Variable;
            std::size_t b = i;
            ++i;
            while (i < s.size() && (s[i] == '@' || isIdentPart(static_cast<unsigned char>(s[i])))) ++i;
            t.text = std::string(s.substr(b, i - b));
        } else if (isIdentStart(uc)) {
            t.kind = TokenKind::Word;
            std::size_t b = i;
            while (i < s.size() && isIdentPart(static_cast<unsigned char>(s[i]))) ++i;
            t.text = std::string(s.substr(b, i - b));
        } else if (c == '?') {
            t.kind = TokenKind::Parameter;
            t.text = "?";
            ++i;
        } else {
            t.kind = TokenKind::Operator;
            static constexpr std::string_view two[] = {"<>", "!=", "<=", ">=", "!<",
                                                       "!>", "||", "==", "<<", ">>"};
            t.text = std::string(1, c);
            for (auto op : two) {
                if (s.substr(i, 2) == op) {
                    t.text = std::string(op);
                    break;
                }
            }
            if (t.text.size() == 1 &&
                std::string_view("(),.;=<>+-*/%&|^~!:").find(c) == std::string_view::npos) {
                // a control character is named, never copied into the message
                const std::string shown =
                    uc < 0x20 || uc == 0x7f
                        ? "U+00" + std::string{"0123456789ABCDEF"[uc >> 4]} + "0123456789ABCDEF"[uc & 15]
                        : "'" + t.text + "'";
                throw Error(ErrorNumber::NotSupported,
                            "Unexpected character " + shown + " at character " + std::to_string(i + 1) + ".");
            }
            i += t.text.size();
        }
        out.push_back(std::move(t));
    }
    return out;
}

}  // namespace Palvo::dialect
