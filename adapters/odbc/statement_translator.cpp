#include "statement_translator.h"

#if PALVO_ODBC_WITH_DIALECT
#include "palvo/dialect/translator.h"
#endif

namespace Palvo::odbc::detail {

StatementTranslator defaultTranslator() {
#if PALVO_ODBC_WITH_DIALECT
    // one translator (and its cache) for every connection; it is thread-safe
    static Palvo::dialect::Translator translator;
    return [](const std::string& sql) { return translator.translateStatements(sql)->statements; };
#else
    return {};
#endif
}

}  // namespace Palvo::odbc::detail
