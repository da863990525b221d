// The scratch database of the SQL Server tests, on a connection that records
// what it is asked, and on the SQLite ODBC driver (which is no SQL Server).
#include "support/mssql_scratch.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "palvo/error.h"
#include "palvo/odbc/connection.h"

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

TEST(ScratchDatabase, IsMadeWithTheLibrarysCollationAndDroppedFromMaster) {
    auto conn = std::make_shared<RecordingConnection>();
    std::string name;
    {
        ScratchDatabase db(conn, "Driver=FreeTDS;Server=h");
        name = db.name();
        EXPECT_TRUE(std::regex_match(name, std::regex("palvo_test_[0-9]+_[0-9]+_[0-9]+"))) << name;
        EXPECT_EQ(conn->log,
                  (std::vector<std::string>{"open Driver=FreeTDS;Server=h",
                                            "create database [" + name + "] collate Chinese_PRC_CI_AS",
                                            "use [" + name + "]"}));
        EXPECT_NE(ScratchDatabase(conn, "x").name(), name);  // another test's database never has its name
        conn->log.clear();
    }
    EXPECT_EQ(conn->log, (std::vector<std::string>{"use master", "drop database [" + name + "]"}));
}

TEST(ScratchDatabase, IsDroppedAlsoWhenTheTestClosedTheConnectionOrLeftATransaction) {
    auto conn = std::make_shared<RecordingConnection>();
    std::string name;
    {
        ScratchDatabase db(conn, "cs");
        name = db.name();
        conn->Close();
        conn->log.clear();
    }
    EXPECT_EQ(conn->log, (std::vector<std::string>{"open cs", "use master", "drop database [" + name + "]"}));

    conn->log.clear();
    {
        ScratchDatabase db(conn, "cs");
        name = db.name();
        conn->BeginTrans();
        conn->failDrop = true;  // and a drop that fails is reported, never thrown from the destructor
        conn->log.clear();
    }
    EXPECT_EQ(conn->log,
              (std::vector<std::string>{"rollback", "use master", "drop database [" + name + "]"}));
}

TEST(ScratchDatabase, RefusesADatabaseThatIsNotSqlServer) {
    auto conn = std::make_shared<odbc::Connection>();
    try {
        ScratchDatabase db(conn, "Driver=SQLite3;Database=:memory:");
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.description(), "PALVO_TEST_MSSQL reaches SQLite, not Microsoft SQL Server");
    }
}

}  // namespace
}  // namespace Palvo::testing
