// The user-defined functions the translator writes into the statements that call
// them: read from the module table once per schema version, which making,
// altering or dropping one moves (Impl::modulesChanged).
#include "connection_impl.h"
#include "modules.h"

namespace Palvo::sqlite {

void Connection::Impl::SchemaCatalogue::functionsNow() {
    const long long now = impl->schemaVersion();
    if (now == functionsVersion) return;
    functions.clear();
    anyFunction.reset();
    functionsVersion = now;
}

const dialect::Catalogue::FunctionDefinition* Connection::Impl::SchemaCatalogue::function(
    const std::string& lowerName) {
    functionsNow();
    auto it = functions.find(lowerName);
    if (it == functions.end()) {
        std::optional<FunctionDefinition> found;
        if (hasFunctions()) {
            sqlite3_stmt* st = impl->prepare(
                "select type, definition from main.palvo_modules where name = ?1 and type in ('FN', 'IF')");
            impl->bind(st, {Value(lowerName)});
            const int rc = sqlite3_step(st);
            if (rc == SQLITE_ROW) {
                const auto text = [st](int c) {
                    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
                    return std::string(t ? t : "");
                };
                found = FunctionDefinition{text(0), text(1)};
            }
            sqlite3_reset(st);
            if (rc != SQLITE_ROW && rc != SQLITE_DONE) impl->fail();
        }
        it = functions.emplace(lowerName, std::move(found)).first;
    }
    return it->second ? &*it->second : nullptr;
}

bool Connection::Impl::SchemaCatalogue::hasFunctions() {
    functionsNow();
    if (!anyFunction) {
        anyFunction =
            impl->hasObject("table", kModuleTable) &&
            !impl->strings("select 1 from main.palvo_modules where type in ('FN', 'IF') limit 1").empty();
    }
    return *anyFunction;
}

}  // namespace Palvo::sqlite
