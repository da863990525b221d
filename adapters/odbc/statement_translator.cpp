#include "statement_translator.h"

#include <map>
#include <memory>
#include <mutex>

#include "palvo/dialect/translator.h"
#include "palvo/error.h"

namespace Palvo::odbc::detail {

dialect::Translator* sharedTranslator(const dialect::Target& target) {
    if (target.passesThrough()) return nullptr;
    // translators are thread-safe: one per target serves every connection
    static std::mutex mutex;
    static std::map<const dialect::Target*, std::unique_ptr<dialect::Translator>> translators;
    std::lock_guard lock(mutex);
    auto& kept = translators[&target];
    if (!kept) kept = std::make_unique<dialect::Translator>(target);
    return kept.get();
}

StatementTranslator translatorFor(const dialect::Target& target) {
    dialect::Translator* translator = sharedTranslator(target);
    if (!translator) return {};
    return [translator](const std::string& sql) {
        const auto tr = translator->translateStatements(sql);
        if (tr->batch) throw Error(ErrorNumber::NotSupported, tr->refusal);
        // @@TRANCOUNT and the like are a batch's values, which its connection binds
        if (!tr->variables.empty())
            throw Error(ErrorNumber::NotSupported,
                        "Not supported by a host that runs translations alone: " + tr->variables.front() +
                            " (the connection's batches give it).");
        if (!tr->outputQuery.empty()) throw Error(ErrorNumber::NotSupported, dialect::kOutputElsewhere);
        return tr->statements;
    };
}

}  // namespace Palvo::odbc::detail
