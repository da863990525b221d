// Batches on the embedded database: the batch engine (palvo/dialect/batch.h)
// steps through them, each statement translated, prepared and run as the
// connection runs its own.
#include <chrono>
#include <memory>

#include "connection_impl.h"

namespace Palvo::sqlite {

std::shared_ptr<const dialect::Batch> Connection::Impl::batchOf(const std::string& sql) {
    constexpr std::size_t kBatchesKept = 64;
    if (const auto it = batches.find(sql); it != batches.end()) return it->second;
    auto batch = std::make_shared<const dialect::Batch>(sql);
    if (batches.size() >= kBatchesKept) batches.clear();
    batches.emplace(sql, batch);
    return batch;
}

dialect::BatchResult Connection::Impl::runBatch(
    const std::string& sql, const std::vector<Value>& params,
    const std::function<void(const Palvo::Connection::InfoMessage&)>& tell) {
    if (!params.empty()) {
        throw Error(ErrorNumber::NotSupported,
                    "Not supported by the embedded database: parameters (?) in a batch (its variables take "
                    "its values).");
    }
    class Port final : public dialect::BatchPort {
    public:
        Port(Impl& impl, const std::function<void(const Palvo::Connection::InfoMessage&)>& tell)
            : impl_(impl), tell_(tell) {}
        std::shared_ptr<const dialect::Translation> translate(const std::string& tsql) override {
            return impl_.translate(tsql);
        }
        long execute(const std::string& tsql, const std::shared_ptr<const dialect::Translation>& tr,
                     const std::vector<Value>& values) override {
            return impl_.execute(tsql, tr, values);
        }
        ResultTable query(const std::string& tsql, const std::shared_ptr<const dialect::Translation>& tr,
                          const std::vector<Value>& values) override {
            return impl_.query(tsql, tr, values);
        }
        // CommandTimeout bounds the whole batch, as it does on SQL Server's clients
        void loopRound() override {
            if (impl_.timeoutSeconds > 0 && std::chrono::steady_clock::now() >= impl_.deadline)
                throw Error(ErrorNumber::Database, "Query timeout expired");
        }

        void print(const std::string& text) override { tell_({text, -1}); }
        void rowsCounted(long rows) override { tell_({"", rows}); }

    private:
        Impl& impl_;
        const std::function<void(const Palvo::Connection::InfoMessage&)>& tell_;
    };
    // one deadline for all the batch's statements
    struct Clock {
        Impl& impl;
        explicit Clock(Impl& i) : impl(i) {
            impl.startClock();
            impl.inBatch = true;
        }
        ~Clock() { impl.inBatch = false; }
        Clock(const Clock&) = delete;
        Clock& operator=(const Clock&) = delete;
    };
    const std::shared_ptr<const dialect::Batch> batch = batchOf(sql);
    Port port(*this, tell);
    const Clock clock(*this);
    return batch->run(port);
}

}  // namespace Palvo::sqlite
