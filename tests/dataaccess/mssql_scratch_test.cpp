// The scratch database of the SQL Server tests, on a connection that records
// what it is asked, and on the SQLite ODBC driver (which is no SQL Server).
#include "support/mssql_scratch.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "palvo/error.h"
#include "palvo/odbc/connection.h"
#include "support/errors.h"

namespace Palvo::testing {
namespace {

class RecordingConnection : public Connection {
public:
    ~RecordingConnection() override { Close(); }
    std::string backendName() const override { return "recording"; }

    std::vector<std::string> log;
    bool failDrop = false;

protected:
    void doOpen(const std::string& cs, const std::string&, const std::string&) override {
        log.emplace_back("open " + cs);
    }
    void doClose() noexcept override { log.emplace_back("close"); }
    long doExecute(const std::string& sql, const std::vector<Value>&) override {
        log.push_back(sql);
        if (failDrop && sql.rfind("drop", 0) == 0)
            throw Error(ErrorNumber::Database, "Cannot drop the database");
        return 0;
    }
    ResultTable doQuery(const std::string&) override { return {}; }
    void doBegin() override { log.emplace_back("begin"); }
    void doCommit() override {}
    void doRollback() override { log.emplace_back("rollback"); }
};

TEST(ScratchDatabase, IsMadeWithTheLibrarysCollationUnderAFreshName) {
    auto conn = std::make_shared<RecordingConnection>();
    ScratchDatabase db(conn, "cs");
    const std::string name = db.name();
    EXPECT_TRUE(std::regex_match(name, std::regex("palvo_test_[0-9]+_[0-9]+_[0-9]+"))) << name;
    EXPECT_EQ(conn->log,
              (std::vector<std::string>{"open cs", "create database [" + name + "] collate Chinese_PRC_CI_AS",
                                        "use [" + name + "]"}));
    EXPECT_NE(ScratchDatabase(conn, "x").name(), name);  // another test's database never has its name
}

TEST(ScratchDatabase, IsDroppedFromMasterHoweverLeft) {
    enum Left { AsItWas, Closed, InATransaction };
    for (const Left left : {AsItWas, Closed, InATransaction}) {
        SCOPED_TRACE(left);
        auto conn = std::make_shared<RecordingConnection>();
        std::string name;
        {
            ScratchDatabase db(conn, "cs");
            name = db.name();
            if (left == Closed) conn->Close();
            if (left == InATransaction) {
                conn->BeginTrans();
                conn->failDrop = true;  // and a drop that fails is reported, never thrown from the destructor
            }
            conn->log.clear();
        }
        std::vector<std::string> expected = {"use master", "drop database [" + name + "]"};
        if (left == Closed) expected.insert(expected.begin(), "open cs");
        if (left == InATransaction) expected.insert(expected.begin(), "rollback");
        EXPECT_EQ(conn->log, expected);
    }
}

TEST(ScratchDatabase, RefusesAServerOtherThanSqlServer) {
    auto conn = std::make_shared<odbc::Connection>();
    EXPECT_EQ(errorDescription([&] { ScratchDatabase db(conn, "Driver=SQLite3;Database=:memory:"); }),
              "PALVO_TEST_MSSQL reaches SQLite, not Microsoft SQL Server");
}

}  // namespace
}  // namespace Palvo::testing
