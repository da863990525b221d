// A connection that runs everything on another one and records each statement,
// so that tests can see which statements a method ran.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "palvo/data.h"

namespace Palvo::testing {

class CountingConnection : public Connection {
public:
    explicit CountingConnection(std::shared_ptr<Connection> inner) : inner_(std::move(inner)) { Open(""); }
    ~CountingConnection() override { Close(); }

    std::string backendName() const override { return inner_->backendName(); }
    DatabaseCapabilities capabilities() const override { return inner_->capabilities(); }

    std::vector<std::string> queries;
    std::vector<std::string> executes;
    /// Runs after each executed statement, with its text.
    std::function<void(const std::string&)> afterExecute;

    void reset() {
        queries.clear();
        executes.clear();
    }

protected:
    void doOpen(const std::string&, const std::string&, const std::string&) override {}
    void doClose() noexcept override {}
    long doExecute(const std::string& sql, const std::vector<Value>& params) override {
        executes.push_back(sql);
        const long n = params.empty() ? inner_->Execute(sql) : inner_->ExecuteWith(sql, params);
        if (afterExecute) afterExecute(sql);
        return n;
    }
    ResultTable doQuery(const std::string& sql) override {
        queries.push_back(sql);
        return inner_->Query(sql);
    }
    std::optional<ResultTable> doQueryKeeping(const std::string& sql, const RowFilter& filter) override {
        queries.push_back(sql);
        return inner_->QueryKeeping(sql, filter);
    }
    long long doLastInsertId() override { return inner_->LastInsertId(); }
    void doBegin() override { inner_->BeginTrans(); }
    void doCommit() override { inner_->CommitTrans(); }
    void doRollback() override { inner_->RollbackTrans(); }
    std::optional<std::int64_t> doSchemaVersion() override {
        const auto stamp = inner_->schemaStamp();
        if (!stamp) return std::nullopt;
        return stamp->version;
    }

private:
    std::shared_ptr<Connection> inner_;
};

}  // namespace Palvo::testing
