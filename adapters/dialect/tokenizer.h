// Lexical analysis of T-SQL text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "palvo/text.h"

namespace Palvo::dialect {

enum class TokenKind {
    Word,       // keyword or plain identifier, as written
    Name,       // [bracketed] or "quoted" identifier; text holds the name unescaped
    String,     // '...'; text holds the value unescaped
    NString,    // N'...'; text holds the value unescaped
    Number,     // 12, 1.5, .5, 1e3, 0x1F
    Operator,   // ( ) , . ; = <> != <= >= !< !> + - * / % & | ^ ~ ||
    Parameter,  // ?
    Variable,   // @name, @@name
};

struct Token {
    TokenKind kind = TokenKind::Word;
    std::string text;
    bool spaceBefore = false;  // whitespace or a comment preceded it
    std::size_t offset = 0;    // position in the source text

    bool isOp(std::string_view op) const { return kind == TokenKind::Operator && text == op; }
    /// A Word equal to `lowerWord` without regard to ASCII case.
    bool isWord(std::string_view lowerWord) const;
};

/// Splits T-SQL into tokens; comments are dropped.
/// Throws Palvo::Error NotSupported for an unterminated string, name or comment.
std::vector<Token> tokenize(std::string_view sql);

using base::asciiLower;
using base::equalsNoCase;

}  // namespace Palvo::dialect
