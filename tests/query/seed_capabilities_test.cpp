// The seeding statement takes lock hints by what the connection says its database understands.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "palvo/data.h"
#include "palvo/error.h"
#include "src/query/settings_store.h"

namespace Palvo::testing {
namespace {

class CapableConnection : public Connection {
public:
    explicit CapableConnection(DatabaseCapabilities can) : can_(can) { Open(""); }
    ~CapableConnection() override { Close(); }
    std::string backendName() const override { return "sqlite"; }  // the name decides nothing
    DatabaseCapabilities capabilities() const override { return can_; }

    std::vector<std::string> executed;
    bool refuseHints = false;  // as a translating connection that reports no capabilities

protected:
    void doOpen(const std::string&, const std::string&, const std::string&) override {}
    void doClose() noexcept override {}
    long doExecute(const std::string& sql, const std::vector<Value>&) override {
        executed.push_back(sql);
        if (refuseHints && sql.find(" with (") != std::string::npos)
            throw Error(ErrorNumber::NotSupported, "Not supported by the embedded database: WITH (...).");
        return 1;
    }
    ResultTable doQuery(const std::string&) override { return {}; }
    void doBegin() override {}
    void doCommit() override {}
    void doRollback() override {}

private:
    DatabaseCapabilities can_;
};

// Only a database that understands hints and needs them to lock before the insert.
TEST(SeedOnce, HintsTheGuardOnlyWhereHintsHelp) {
    struct Case {
        DatabaseCapabilities can;
        const char* guard;
    } cases[] = {
        {{.tableHints = true, .insertSelectLocksFirst = false},
         "not exists (select * from 查询打印设置 with (updlock, holdlock) where k = 1)"},
        {{.tableHints = false, .insertSelectLocksFirst = true},
         "not exists (select * from 查询打印设置 where k = 1)"},
        {{.tableHints = true, .insertSelectLocksFirst = true},
         "not exists (select * from 查询打印设置 where k = 1)"},
        {{.tableHints = false, .insertSelectLocksFirst = false},
         "not exists (select * from 查询打印设置 where k = 1)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.guard);
        CapableConnection conn(c.can);
        EXPECT_EQ(
            query::seedOnce(conn, " where k = 1", [](const std::string& g) { return "insert ... " + g; }), 1);
        EXPECT_EQ(conn.executed, std::vector<std::string>{std::string("insert ... ") + c.guard});
    }
}

TEST(SeedOnce, RunsWithoutHintsWhenAConnectionThatClaimsThemRefusesThem) {
    CapableConnection conn({});
    conn.refuseHints = true;
    EXPECT_EQ(query::seedOnce(conn, " where k = 1", [](const std::string& g) { return "insert ... " + g; }),
              1);
    EXPECT_EQ(conn.executed,
              (std::vector<std::string>{
                  "insert ... not exists (select * from 查询打印设置 with (updlock, holdlock) where k = 1)",
                  "insert ... not exists (select * from 查询打印设置 where k = 1)"}));
}

}  // namespace
}  // namespace Palvo::testing
