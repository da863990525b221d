// T-SQL for a target: the reader (reader.cpp) groups the tokens by parentheses
// into a small tree (tree.cpp) and tells each statement's kind; the SQLite
// target (targets.cpp) rewrites each kind clause by clause (statements.cpp,
// schema.cpp), its expressions with operator precedence (expressions.cpp).
// Here: the entry points and the cache of translations.
#include "palvo/dialect/translator.h"

#include <deque>
#include <mutex>
#include <unordered_map>

#include "palvo/dialect/target.h"
#include "palvo/error.h"

namespace Palvo::dialect {

std::string Translation::joined() const {
    std::string r;
    for (const auto& s : statements) r += (r.empty() ? "" : ";\n") + s;
    return r;
}

namespace {

// a host without the connection cannot say who made a ##t, so none would ever drop it
void refuseGlobalTemporary(const Translation& tr) {
    for (const auto& s : tr.statements) {
        if (s.find("tsql_global_maker()") != std::string::npos)
            throw Error(ErrorNumber::NotSupported,
                        "Not supported by this SQLite host: a global temporary table ##t (the embedded "
                        "database's connection drops it when it closes).");
    }
}

}  // namespace

Translation translateUncached(std::string_view tsql, Catalogue* catalogue, std::string_view parameterTypes) {
    Translation tr = sqliteTarget().translate(tsql, catalogue, parameterTypes);
    if (tr.batch) throw Error(ErrorNumber::NotSupported, tr.refusal);
    refuseGlobalTemporary(tr);
    return tr;
}

// The cache holds at most this much statement text besides its count: a host
// that inlines large values in its statements gets no copies of them kept.
constexpr std::size_t kCachedTextBudget = 4u << 20;

struct Translator::Cache {
    std::size_t capacity;
    std::size_t text = 0;  // the length of the statements kept
    mutable std::mutex mutex;
    std::unordered_map<std::string, std::shared_ptr<const Translation>> map;
    std::deque<std::string> order;  // oldest first
};

Translator::Translator(const Target& target, std::size_t capacity)
    : target_(target), cache_(std::make_unique<Cache>()) {
    cache_->capacity = capacity;
}
Translator::~Translator() = default;

std::shared_ptr<const Translation> Translator::translateStatements(std::string_view tsql) {
    return translateStatements(tsql, nullptr);
}

std::shared_ptr<const Translation> Translator::translateStatements(std::string_view tsql,
                                                                   Catalogue* catalogue,
                                                                   std::string_view parameterTypes) {
    std::string key(tsql);
    if (!parameterTypes.empty()) {
        // the same text with values of other types is another translation
        key += '\0';
        key += parameterTypes;
    }
    {
        std::lock_guard lock(cache_->mutex);
        if (auto it = cache_->map.find(key); it != cache_->map.end()) return it->second;
    }
    auto result = std::make_shared<const Translation>(target_.translate(tsql, catalogue, parameterTypes));
    if (cache_->capacity == 0 || key.size() > kCachedTextBudget) return result;
    std::lock_guard lock(cache_->mutex);
    if (cache_->map.emplace(key, result).second) {
        cache_->text += key.size();
        cache_->order.push_back(std::move(key));
        while (cache_->order.size() > cache_->capacity || cache_->text > kCachedTextBudget) {
            cache_->text -= cache_->order.front().size();
            cache_->map.erase(cache_->order.front());
            cache_->order.pop_front();
        }
    }
    return result;
}

std::string Translator::translate(std::string_view tsql) {
    const auto tr = translateStatements(tsql);
    if (tr->batch) throw Error(ErrorNumber::NotSupported, tr->refusal);
    // its statements alone would return the rowids, not the rows
    if (tr->outputInto && !tr->returningTable.empty())
        throw Error(ErrorNumber::NotSupported,
                    "Not supported by this SQLite host: DELETE ... OUTPUT ... INTO (the embedded database's "
                    "connection puts the rows into the table).");
    if (!tr->outputQuery.empty()) throw Error(ErrorNumber::NotSupported, kOutputElsewhere);
    refuseGlobalTemporary(*tr);
    return tr->joined();
}

std::size_t Translator::cachedCount() const {
    std::lock_guard lock(cache_->mutex);
    return cache_->map.size();
}

void Translator::clearCache() {
    std::lock_guard lock(cache_->mutex);
    cache_->map.clear();
    cache_->order.clear();
    cache_->text = 0;
}

}  // namespace Palvo::dialect
