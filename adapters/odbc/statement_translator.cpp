#include "statement_translator.h"

#include <map>
#include <memory>
#include <mutex>

#include "palvo/dialect/translator.h"
#include "palvo/error.h"

namespace Palvo::odbc::detail {

StatementTranslator translatorFor(const dialect::Target& target) {
    if (target.passesThrough()) return {};
    // translators are thread-safe: one per target serves every connection
    static std::mutex mutex;
    static std::map<const dialect::Target*, std::unique_ptr<dialect::Translator>> translators;
    dialect::Translator* translator = nullptr;
    {
        std::lock_guard lock(mutex);
        auto& kept = translators[&target];
        if (!kept) kept = std::make_unique<dialect::Translator>(target);
        translator = kept.get();
    }
    return [translator](const std::string& sql) {
        const auto tr = translator->translateStatements(sql);
        if (tr->batch) throw Error(ErrorNumber::NotSupported, tr->refusal);
        if (!tr->outputQuery.empty()) throw Error(ErrorNumber::NotSupported, dialect::kOutputElsewhere);
        return tr->statements;
    };
}

}  // namespace Palvo::odbc::detail
