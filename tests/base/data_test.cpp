// The recordset walk and the connection's state rules, over a stub backend.
#include "palvo/data.h"

#include <gtest/gtest.h>

#include "palvo/error.h"
#include "support/errors.h"

namespace Palvo {
namespace {

class StubConnection : public Connection {
public:
    ResultTable table;
    std::vector<std::pair<std::string, std::vector<Value>>> executed;
    int rollbacks = 0;
    std::string backendName() const override { return "stub"; }
    ~StubConnection() override { Close(); }

protected:
    void doOpen(const std::string&, const std::string&, const std::string&) override {}
    void doClose() noexcept override {}
    long doExecute(const std::string& sql, const std::vector<Value>& params) override {
        executed.emplace_back(sql, params);
        return 1;
    }
    ResultTable doQuery(const std::string&) override { return table; }
    void doBegin() override {}
    void doCommit() override {}
    void doRollback() override { ++rollbacks; }
};

using testing::errorNumber;

class RecordsetWalk : public ::testing::Test {
protected:
    void SetUp() override {
        conn.table.columns = {ColumnInfo{"编号", adInteger, 4, 10, 255, "客户", "编号"},
                              ColumnInfo{"Name]x", adVarWChar, 20, 255, 255, "客户", "Name]x"}};
        conn.table.cells = {Value(1), Value("甲"), Value(2), Value()};
        conn.Open("stub");
    }
    StubConnection conn;
};

TEST_F(RecordsetWalk, WalksBothWaysBetweenItsEnds) {
    Recordset rs;
    rs.Open("select", conn, adOpenStatic, adLockReadOnly);
    EXPECT_EQ(rs.RecordCount(), 2);
    EXPECT_FALSE(rs.Bof());
    EXPECT_EQ(rs.Fields("name]X").Value().toText(), "甲");  // names compare without regard to case
    rs.MoveNext();
    EXPECT_TRUE(rs.Fields(1L).Value().isNull());
    rs.MoveNext();
    EXPECT_TRUE(rs.Eof());
    EXPECT_FALSE(rs.Bof());
    rs.MoveFirst();
    rs.MovePrevious();
    EXPECT_TRUE(rs.Bof());
    EXPECT_FALSE(rs.Eof());  // before the first row is not after the last
    EXPECT_EQ(rs.AbsolutePosition(), 0);
    rs.MoveNext();
    EXPECT_EQ(rs.Fields(0L).Value().toText(), "1");
    EXPECT_EQ(rs.AbsolutePosition(), 1);
}

// The new row is current.
TEST_F(RecordsetWalk, AddNewWritesOnlyTheAssignedFieldsAsParameters) {
    Recordset rs;
    rs.Open("select top 0", conn, adOpenStatic, adLockOptimistic);
    rs.AddNew();
    rs.Fields("Name]x") = Value("O'Neil");
    rs.Update();
    ASSERT_EQ(conn.executed.size(), 1u);
    EXPECT_EQ(conn.executed[0].first, "insert into [客户] ([Name]]x]) values (?)");
    EXPECT_EQ(conn.executed[0].second, std::vector<Value>{Value("O'Neil")});
    EXPECT_EQ(rs.RecordCount(), 3);
    EXPECT_EQ(rs.Fields(1L).Value().toText(), "O'Neil");
}

TEST_F(RecordsetWalk, StateErrors) {
    Recordset rs;
    EXPECT_EQ(errorNumber([&] { rs.RecordCount(); }), ErrorNumber::ObjectClosed);
    rs.Open("select", conn);
    EXPECT_EQ(errorNumber([&] { rs.Open("select", conn); }), ErrorNumber::ObjectOpen);
    EXPECT_EQ(errorNumber([&] { rs.AddNew(); }), ErrorNumber::NotSupported);  // lock type unspecified
    rs.Close();
    EXPECT_EQ(rs.State(), adStateClosed);
    conn.Close();
    EXPECT_EQ(errorNumber([&] { rs.Open("select", conn); }), ErrorNumber::ObjectClosed);
    EXPECT_EQ(errorNumber([&] { conn.Execute("x"); }), ErrorNumber::ObjectClosed);
}

// A new row goes into one table: a computed column, or columns of two tables, are refused by name.
TEST_F(RecordsetWalk, UpdateRefusesColumnsOfNoTableOrOfTwoTables) {
    const std::pair<ColumnInfo, std::string> cases[] = {
        {ColumnInfo{"合计", adDouble, 8, 15, 255, "", ""},
         "Field '合计' cannot be updated: it is not a table column."},
        {ColumnInfo{"单号", adVarWChar, 20, 255, 255, "销售", "单号"},
         "A new row can only be added to one table at a time."},
    };
    for (const auto& [column, message] : cases) {
        conn.table.columns[1] = column;
        Recordset rs;
        rs.Open("select", conn, adOpenStatic, adLockOptimistic);
        rs.AddNew();
        rs.Fields(0L) = Value(3);
        rs.Fields(1L) = Value("x");
        try {
            rs.Update();
            ADD_FAILURE() << message;
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), ErrorNumber::NotSupported);
            EXPECT_EQ(e.description(), message);
        }
        EXPECT_TRUE(conn.executed.empty()) << message;
    }
}

TEST_F(RecordsetWalk, TransactionsDoNotNest) {
    Transaction tx(conn);
    EXPECT_EQ(errorNumber([&] { conn.BeginTrans(); }), ErrorNumber::NotSupported);
}

TEST_F(RecordsetWalk, ClosingDiscardsAnOpenTransaction) {
    conn.BeginTrans();
    conn.Close();
    EXPECT_EQ(conn.rollbacks, 1);
}

TEST(CellStore, EveryCellReadsBackAcrossItsChunks) {
    // Past the small chunks and one large one, so both index rules and the change between them are used.
    const std::size_t n = CellStore::kChunkCells * CellStore::kSmallChunks + CellStore::kBigChunkCells + 3;
    CellStore cells;
    for (std::size_t i = 0; i < n; ++i) cells.emplace_back(static_cast<long long>(i));
    const CellStore copy = cells;
    ASSERT_EQ(copy.size(), n);
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < n; ++i) wrong += *copy[i].integer() != static_cast<std::int64_t>(i);
    EXPECT_EQ(wrong, 0U);
}

// int, decimal(18,2), nvarchar(50) and varchar(max) as the ODBC adapter reads them:
// ColumnInfoFromDescription (odbc_test).
TEST(DeclaredTypes, MetadataAsSqlServerReportsIt) {
    struct Case {
        const char* declared;
        int type;
        long size;
        int precision;
        int scale;
    } cases[] = {
        {"numeric", adNumeric, 19, 18, 0},      {"char", adChar, 1, 255, 255},
        {"datetime", adDBTimeStamp, 16, 23, 3}, {"float(24)", adSingle, 4, 7, 255},
        {" MONEY ", adCurrency, 8, 19, 255},    {"image", adLongVarBinary, 2147483647, 255, 255},
        {"bit", adBoolean, 2, 255, 255},        {"tinyint", adUnsignedTinyInt, 1, 3, 255},
    };
    for (const auto& c : cases) {
        ColumnInfo info;
        ASSERT_TRUE(columnInfoForDeclaredType(c.declared, info)) << c.declared;
        EXPECT_EQ(info.type, c.type) << c.declared;
        EXPECT_EQ(info.definedSize, c.size) << c.declared;
        EXPECT_EQ(info.precision, c.precision) << c.declared;
        EXPECT_EQ(info.numericScale, c.scale) << c.declared;
    }
    ColumnInfo info;
    EXPECT_FALSE(columnInfoForDeclaredType("geography", info));
    EXPECT_FALSE(columnInfoForDeclaredType("decimal(18,2", info));
}

}  // namespace
}  // namespace Palvo
