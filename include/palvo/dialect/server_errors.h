// SQL Server's numbers and texts for the errors a database other than SQL Server
// raises (the embedded one, PostgreSQL), in the language a SQL Server session
// speaks: English, or the Chinese a Chinese-language server sends.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "palvo/export.h"

namespace Palvo::dialect {

enum class Language { Chinese, English };

/// The language a connection string's "Language=" or SET LANGUAGE names, by SQL
/// Server's names ("简体中文", "Simplified Chinese", "us_english", "English",
/// any case, brackets and quotes ignored); nullopt for any other.
PALVO_API std::optional<Language> languageNamed(std::string_view name);

struct ServerError {
    long number;
    std::string text;
};

/// The SQL Server error whose English text is `english` (as the runtime functions
/// and the connection raise it), in `language`; nullopt when it is none of those
/// listed. Of several numbers with one text, `number` when it is one of them.
PALVO_API std::optional<ServerError> serverError(std::string_view english, Language language,
                                                 long number = 0);

/// SQL Server's English text of error `number`, its arguments in order (%1, %2, ...).
/// Throws std::out_of_range for a number not listed.
PALVO_API std::string englishText(long number, const std::vector<std::string>& args);

/// Whether SQL Server reports `word` as a keyword ("near the keyword 'from'").
PALVO_API bool isReservedWord(std::string_view word);

}  // namespace Palvo::dialect
