#include <gtest/gtest.h>

#include "palvo/clsDatabase.h"
#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/session.h"

namespace Palvo {
namespace {

// Records what bConnect_Test hands to a connection; fails when told to.
struct Probe {
    std::string connectionString;
    long connectTimeout = -1;
    long commandTimeout = -1;
    int opened = 0;
    int closed = 0;
    bool refuse = false;
};

class ProbeConnection : public Connection {
public:
    explicit ProbeConnection(Probe& p) : probe_(p) {}
    ~ProbeConnection() override { Close(); }
    std::string backendName() const override { return "probe"; }

protected:
    void doOpen(const std::string& cs, const std::string&, const std::string&) override {
        probe_.connectionString = cs;
        probe_.connectTimeout = ConnectionTimeout();
        probe_.commandTimeout = CommandTimeout();
        if (probe_.refuse) throw Error(ErrorNumber::ConnectionFailed, "Login failed");
        ++probe_.opened;
    }
    void doClose() noexcept override { ++probe_.closed; }
    long doExecute(const std::string&, const std::vector<Value>&) override { return 0; }
    ResultTable doQuery(const std::string&) override { return {}; }
    void doBegin() override {}
    void doCommit() override {}
    void doRollback() override {}

private:
    Probe& probe_;
};

class ConnectTest : public ::testing::Test {
protected:
    void SetUp() override {
        installConnectionFactory([this] { return std::make_shared<ProbeConnection>(probe); });
    }
    void TearDown() override { installConnectionFactory(nullptr); }
    Probe probe;
    clsDatabase db;
};

TEST_F(ConnectTest, ValuesReachTheDriverAsTyped) {
    EXPECT_TRUE(db.bConnect_Test("srv", "sa", "p;w}d", "账套", true, Value(5), Value("30")));
    EXPECT_EQ(probe.connectionString,
              "driver={sql server};server={srv};uid={sa};pwd={p;w}}d};database={账套}");
    EXPECT_EQ(probe.connectTimeout, 5);
    EXPECT_EQ(probe.commandTimeout, 30);
    EXPECT_EQ(probe.closed, 1);
}

TEST_F(ConnectTest, KeptOpenStillReleasedAfterTheCall) {
    EXPECT_TRUE(db.bConnect_Test("srv", "sa", "", "db", false));
    EXPECT_EQ(probe.opened, 1);
    EXPECT_EQ(probe.closed, 1);  // the private connection goes away with the call
    EXPECT_EQ(session().oConn, nullptr);
}

TEST_F(ConnectTest, EveryFailureIsFalse) {
    EXPECT_FALSE(db.bConnect_Test("", "sa", "pw", "db"));
    EXPECT_EQ(probe.connectionString, "");  // an empty server is not even tried
    probe.refuse = true;
    EXPECT_FALSE(db.bConnect_Test("srv", "sa", "bad", "db"));
    probe.refuse = false;
    EXPECT_FALSE(db.bConnect_Test("srv", "sa", "pw", "db", true, Value("abc")));
    EXPECT_FALSE(db.bConnect_Test("srv", "sa", "pw", "db", true, Value(15), Value(-1)));
    installConnectionFactory(nullptr);
    EXPECT_FALSE(db.bConnect_Test("srv", "sa", "pw", "db"));
}

}  // namespace
}  // namespace Palvo
