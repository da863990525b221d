// Data access behaviour every backend shares: the embedded SQLite connection,
// ODBC through the SQLite ODBC driver with the T-SQL extension loaded, and a
// real SQL Server through FreeTDS when PALVO_TEST_MSSQL names one.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <utility>

#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/odbc/connection.h"
#include "support/answers.h"
#include "support/backends.h"
#include "support/errors.h"

namespace Palvo {
namespace {

using testing::Backend;

std::shared_ptr<Connection> openOdbc() {
    auto c = std::make_shared<odbc::Connection>();
    c->Open(std::string("Driver=SQLite3;Database=:memory:;LoadExt=") + PALVO_TSQL_EXT_PATH);
    return c;
}

using testing::errorNumber;

// on PostgreSQL the cases listed in docs/sql-dialect.md are held to differ (support/answers.h)
class DataAccess : public testing::AnswersTest {
protected:
    void SetUp() override {
        AnswersTest::SetUp();
        if (!conn_) return;
        conn_->Execute(
            "create table 客户 (id int identity(1,1) primary key, 名称 nvarchar(50) not null, code char(4), "
            "note varchar(20), amount decimal(18,2), fee money, created datetime, active bit, "
            "level tinyint, rank smallint, big bigint, ratio float, share real, memo text, remark ntext, "
            "photo image, tag varbinary(10))");
    }

    long insert(const std::string& name, const Value& amount = Value()) {
        return conn_->ExecuteWith("insert into 客户 (名称, amount) values (?, ?)", {name, amount});
    }

    void insertFive() {
        for (const char* n : {"甲", "乙", "丙", "丁", "戊"}) insert(n);
    }

    Recordset open(const std::string& sql, long cursor = adOpenUnspecified, long lock = adLockUnspecified) {
        Recordset rs;
        rs.Open(sql, conn_, cursor, lock);
        return rs;
    }

    long count() {
        return static_cast<long>(conn_->Query("select count(*) as n from 客户").at(0, 0).toInt64());
    }
};

TEST_P(DataAccess, ExecuteReturnsTheRowsItChanged) {
    EXPECT_EQ(conn_->Execute("insert into 客户 (名称) values (N'一')"), 1);
    EXPECT_EQ(insert("二"), 1);
    EXPECT_EQ(insert("三"), 1);
    EXPECT_EQ(conn_->Execute("update 客户 set note = 'x' where id >= 2"), 2);
    EXPECT_EQ(conn_->Execute("delete from 客户 where id = 99"), 0);
    EXPECT_EQ(conn_->Execute("delete from 客户"), 3);
}

TEST_P(DataAccess, ATransactionGuardRollsBackUnlessCommitted) {
    {
        Transaction t(*conn_);
        insert("dropped with the guard");
    }
    EXPECT_EQ(count(), 0);
    EXPECT_FALSE(conn_->InTransaction());
    {
        Transaction t(*conn_);
        insert("kept");
        t.commit();
    }
    EXPECT_EQ(count(), 1);
}

TEST_P(DataAccess, RecordCountIsExactForEveryCursor) {
    insertFive();
    const std::pair<long, long> kinds[] = {{adOpenUnspecified, adLockUnspecified},
                                           {adOpenKeyset, adLockReadOnly},
                                           {adOpenKeyset, adLockOptimistic},
                                           {adOpenStatic, adLockReadOnly},
                                           {adOpenStatic, adLockOptimistic}};
    for (const auto& [cursor, lock] : kinds) {
        SCOPED_TRACE(std::to_string(cursor) + "/" + std::to_string(lock));
        Recordset rs;
        rs.CursorLocation(adUseClient);
        rs.Open("select top 3 * from 客户 order by id desc", conn_, cursor, lock);
        EXPECT_EQ(rs.RecordCount(), 3);
        EXPECT_EQ(rs.Fields("名称").Value().toText(), "戊");
        rs.Close();
        rs.Open("select * from 客户 where 1 = 0", conn_, cursor, lock);
        EXPECT_EQ(rs.RecordCount(), 0);
        EXPECT_TRUE(rs.Eof());
    }
}

// past its end it has no current record
TEST_P(DataAccess, AForwardWalkEndsAtEof) {
    insertFive();
    auto rs = open("select 名称 from 客户 order by id");
    std::string seen;
    for (; !rs.Eof(); rs.MoveNext()) seen += rs.Fields(0L).Value().toText();
    EXPECT_EQ(seen, "甲乙丙丁戊");
    EXPECT_EQ(errorNumber([&] { rs.MoveNext(); }), ErrorNumber::NoCurrentRecord);
    EXPECT_EQ(errorNumber([&] { (void)rs.Fields(0L).Value(); }), ErrorNumber::NoCurrentRecord);
}

TEST_P(DataAccess, MoveFirstStartsAWalkOverAtEof) {
    insertFive();
    auto rs = open("select 名称 from 客户 order by id");
    while (!rs.Eof()) rs.MoveNext();
    rs.MoveFirst();
    EXPECT_FALSE(rs.Eof());
    EXPECT_EQ(rs.Fields(0L).Value().toText(), "甲");
}

TEST_P(DataAccess, FieldsDescribeTheirColumns) {
    auto rs = open("select * from 客户 where 1 = 0");
    // column, type, defined size, precision, numeric scale
    const std::tuple<const char*, int, long, int, int> expected[] = {
        {"id", adInteger, 4, 10, 255},
        {"名称", adVarWChar, 50, 255, 255},
        {"code", adChar, 4, 255, 255},
        {"note", adVarChar, 20, 255, 255},
        {"amount", adNumeric, 19, 18, 2},
        {"fee", adCurrency, 8, 19, 255},
        {"created", adDBTimeStamp, 16, 23, 3},
        {"active", adBoolean, 2, 255, 255},
        {"level", adUnsignedTinyInt, 1, 3, 255},
        {"rank", adSmallInt, 2, 5, 255},
        {"big", adBigInt, 8, 19, 255},
        {"ratio", adDouble, 8, 15, 255},
        {"share", adSingle, 4, 7, 255},
        {"memo", adLongVarChar, 2147483647, 255, 255},
        {"remark", adLongVarWChar, 1073741823, 255, 255},
        {"photo", adLongVarBinary, 2147483647, 255, 255},
        {"tag", adVarBinary, 10, 255, 255},
    };
    ASSERT_EQ(rs.Fields().Count(), static_cast<long>(std::size(expected)));
    for (const auto& [column, type, size, precision, scale] : expected) {
        SCOPED_TRACE(column);
        Field f = rs.Fields(column);
        EXPECT_EQ(f.Type(), type);
        EXPECT_EQ(f.DefinedSize(), size);
        EXPECT_EQ(f.Precision(), precision);
        EXPECT_EQ(f.NumericScale(), scale);
    }
}

TEST_P(DataAccess, FieldsAreFoundByPositionOrByNameInAnyCase) {
    conn_->Execute("insert into 客户 (名称, note) values ('a', 'Note')");
    auto named = open("select id, 名称, note as Remark from 客户");
    EXPECT_EQ(named.Fields().Count(), 3);
    EXPECT_EQ(named.Fields(1L).Name(), "名称");
    EXPECT_EQ(named.Fields("REMARK").Value().toText(), "Note");
    EXPECT_EQ(named.Fields("remark").Name(), "Remark");
    EXPECT_EQ(named.Fields("ID").Value().toInt64(), 1);
    EXPECT_EQ(errorNumber([&] { named.Fields("nosuch"); }), ErrorNumber::ItemNotFound);
    EXPECT_EQ(errorNumber([&] { named.Fields(3L); }), ErrorNumber::ItemNotFound);
    EXPECT_EQ(errorNumber([&] { named.Fields(-1L); }), ErrorNumber::ItemNotFound);
}

TEST_P(DataAccess, ValuesComeBackAsTheirKindsExactBeyondFifteenDigits) {
    conn_->ExecuteWith(
        "insert into 客户 (名称, amount, fee, created, active, level, big, ratio, tag) values "
        "(?,?,?,?,?,?,?,?,?)",
        {"v", Decimal{"12.5"}, Decimal{"3.25"}, DateTime{2004, 1, 31, 8, 5, 9, 120}, true, 200, 9000000000LL,
         0.5, Bytes{{0, 1, 255}}});
    auto rs = open("select amount, fee, created, active, level, big, ratio, tag from 客户");
    ASSERT_NE(rs.Fields("amount").Value().decimal(), nullptr);
    EXPECT_EQ(rs.Fields("amount").Value().decimal()->text, "12.50");
    EXPECT_DOUBLE_EQ(rs.Fields("fee").Value().toDouble(), 3.25);
    ASSERT_NE(rs.Fields("created").Value().dateTime(), nullptr);
    EXPECT_EQ(*rs.Fields("created").Value().dateTime(), (DateTime{2004, 1, 31, 8, 5, 9, 120}));
    EXPECT_EQ(rs.Fields("active").Value(), Value(true));
    EXPECT_EQ(rs.Fields("level").Value().toInt64(), 200);
    EXPECT_EQ(rs.Fields("big").Value().toInt64(), 9000000000LL);
    EXPECT_EQ(rs.Fields("ratio").Value().toDouble(), 0.5);
    EXPECT_EQ(rs.Fields("tag").Value(), Value(Bytes{{0, 1, 255}}));
    // 2^53 + 1 has no double; a double's text would also show only fifteen digits
    conn_->Execute("create table 单据 (big bigint, dec decimal(20,0))");
    conn_->Execute("insert into 单据 values (9007199254740993, 12345678901234567)");
    auto exact = open("select big, dec, big + 1 as nextBig from 单据");
    EXPECT_EQ(exact.Fields("big").Type(), adBigInt);
    EXPECT_EQ(exact.Fields("dec").Type(), adNumeric);
    ASSERT_NE(exact.Fields("big").Value().integer(), nullptr);
    EXPECT_EQ(*exact.Fields("big").Value().integer(), 9007199254740993LL);
    EXPECT_EQ(exact.Fields("nextBig").Value().toText(), "9007199254740994");
    ASSERT_NE(exact.Fields("dec").Value().decimal(), nullptr);
    EXPECT_EQ(exact.Fields("dec").Value().decimal()->text, "12345678901234567");
}

TEST_P(DataAccess, ANullIntoAByteOrTextColumnReadsBackAsNull) {
    // SQL Server takes a Null for image or varbinary only as a binary type
    conn_->ExecuteWith("insert into 客户 (名称, photo, tag, memo, note) values (?, ?, ?, ?, ?)",
                       {"typed", Value(), Value(), Value(), Value()},
                       {adVarWChar, adLongVarBinary, adVarBinary, adLongVarChar, adVarChar});
    auto rs = open("select * from 客户 where 1 = 0", adOpenKeyset, adLockOptimistic);
    rs.AddNew();
    rs.Fields("名称") = "added";
    for (const char* col : {"photo", "tag", "memo", "remark"}) rs.Fields(col) = Value();
    rs.Update();
    rs.Close();
    auto t = conn_->Query("select 名称, photo, tag, memo, remark, note from 客户 order by id");
    ASSERT_EQ(t.rowCount(), 2u);
    for (std::size_t row = 0; row < 2; ++row) {
        SCOPED_TRACE(t.at(row, 0).toText());
        for (std::size_t col = 1; col < 6; ++col) EXPECT_TRUE(t.at(row, col).isNull()) << t.columns[col].name;
    }
}

TEST_P(DataAccess, AnEmptyTextReadsBackAsEmptyNotNull) {
    conn_->ExecuteWith("insert into 客户 (名称, note, memo) values (?, ?, ?)", {"n", "", Value()});
    auto rs = open("select note, memo from 客户 where 名称 = 'n'");
    EXPECT_EQ(rs.Fields("note").Value(), Value(""));
    EXPECT_TRUE(rs.Fields("memo").Value().isNull());
    EXPECT_EQ(conn_->Query("select count(*) from 客户 where memo is null and note = ''").at(0, 0).toInt64(),
              1);
}

// the identity goes on after a deleted row, as SQL Server's does
TEST_P(DataAccess, AddNewWritesARowWithTheNextIdentity) {
    EXPECT_EQ(conn_->LastInsertId(), 0);  // nothing inserted yet
    insertFive();
    conn_->Execute("delete from 客户 where id = 5");
    EXPECT_EQ(conn_->LastInsertId(), 5);  // a delete leaves it alone

    auto rs = open("select * from 客户 where 1 = 0", adOpenStatic, adLockOptimistic);
    rs.AddNew();
    rs.Fields("名称") = "己";
    rs.Fields("amount") = Decimal{"7.25"};
    rs.Update();
    EXPECT_EQ(rs.RecordCount(), 1);
    rs.Close();
    EXPECT_EQ(conn_->LastInsertId(), 6);
    auto t = conn_->Query("select 名称, amount from 客户 where id = 6");
    ASSERT_EQ(t.rowCount(), 1u);
    EXPECT_EQ(t.at(0, 0).toText(), "己");
    EXPECT_DOUBLE_EQ(t.at(0, 1).toDouble(), 7.25);
}

TEST_P(DataAccess, AFailureRaisesItsErrorLosingNothing) {
    insert("keep");
    auto readOnly = open("select * from 客户", adOpenStatic, adLockReadOnly);
    EXPECT_EQ(errorNumber([&] { readOnly.AddNew(); }), ErrorNumber::NotSupported);
    readOnly.Close();
    EXPECT_EQ(errorNumber([&] { conn_->Query("select * from 不存在"); }), ErrorNumber::Database);
    EXPECT_EQ(errorNumber([&] { conn_->Execute("insert into 客户 (名称) values (null)"); }),
              ErrorNumber::Database);
    EXPECT_EQ(errorNumber([&] { conn_->Execute("select * from"); }), ErrorNumber::Database);

    auto rs = open("select * from 客户");
    EXPECT_EQ(errorNumber([&] { rs.Open("select * from 客户", conn_); }), ErrorNumber::ObjectOpen);
    EXPECT_EQ(rs.RecordCount(), 1);  // the open recordset is untouched
    rs.Close();
    EXPECT_EQ(errorNumber([&] { rs.RecordCount(); }), ErrorNumber::ObjectClosed);

    EXPECT_EQ(count(), 1);
    conn_->Close();
    EXPECT_EQ(errorNumber([&] { conn_->Execute("delete from 客户"); }), ErrorNumber::ObjectClosed);
    EXPECT_EQ(errorNumber([&] { rs.Open("select * from 客户", conn_); }), ErrorNumber::ObjectClosed);
    EXPECT_EQ(errorNumber([&] { conn_->LastInsertId(); }), ErrorNumber::ObjectClosed);
}

TEST_P(DataAccess, ValuesAreCheckedAgainstTheirColumnTypes) {
    auto failure = [&](const std::string& sql, const std::vector<Value>& params) {
        return testing::errorDescription([&] { conn_->ExecuteWith(sql, params); });
    };
    using ::testing::HasSubstr;
    EXPECT_THAT(failure("insert into 客户 (名称, level) values (?, ?)", {"a", 256}),
                HasSubstr("Arithmetic overflow error"));
    EXPECT_THAT(failure("insert into 客户 (名称, note) values (?, ?)", {"a", std::string(21, 'x')}),
                HasSubstr("String or binary data would be truncated."));
    EXPECT_THAT(failure("insert into 客户 (名称, amount) values (?, ?)", {"a", Decimal{"1e16"}}),
                HasSubstr("Arithmetic overflow"));
    EXPECT_EQ(count(), 0);
    insert("b", Decimal{"12.345"});
    insert("c", Decimal{"0.105"});
    auto rs = open("select amount from 客户 order by amount");
    EXPECT_EQ(rs.Fields(0L).Value(), Value(Decimal{"0.11"}));
    rs.MoveNext();
    EXPECT_EQ(rs.Fields(0L).Value(), Value(Decimal{"12.35"}));
    EXPECT_EQ(conn_->Query("select sum(amount) from 客户").at(0, 0).toDouble(), 12.46);
}

TEST_P(DataAccess, ChineseTextSurvivesEveryWayIn) {
    const std::string text = "北京市海淀区中关村大街1号 — 备注：「测试」";
    conn_->Execute("insert into 客户 (名称) values (N'" + text + "')");
    insert(text + "2");
    EXPECT_EQ(conn_->ExecuteWith("update 客户 set note = ? where 名称 = ?", {"甲", text}), 1);
    auto chinese = open("select 名称, note from 客户 where 名称 like N'北京%' order by id");
    ASSERT_EQ(chinese.RecordCount(), 2);
    EXPECT_EQ(chinese.Fields("名称").Value().toText(), text);
    EXPECT_EQ(chinese.Fields("note").Value().toText(), "甲");
    chinese.MoveNext();
    EXPECT_EQ(chinese.Fields("名称").Value().toText(), text + "2");
}

TEST_P(DataAccess, DeclaredForeignKeysAreEnforced) {
    conn_->Execute(
        "create table 销售单 (单号 int not null primary key, 客户 int not null references 客户(id))");
    conn_->Execute(
        "create table 销售明细 (单号 int not null, 行号 int not null, constraint FK_明细_销售单 foreign key "
        "(单号) references 销售单 (单号) on delete cascade)");
    conn_->Execute("create table 备忘 (单号 int null references 销售单(单号) on delete set null, 内容 int)");
    insert("甲");
    const long customer = static_cast<long>(conn_->Query("select max(id) from 客户").at(0, 0).toInt64());
    conn_->Execute("insert into 销售单 values (1, " + std::to_string(customer) + ")");
    conn_->Execute("insert into 销售明细 values (1, 1)");
    conn_->Execute("insert into 备忘 values (1, 7)");
    for (const char* refused : {"insert into 销售明细 values (9, 1)", "insert into 销售单 values (2, -5)",
                                "update 销售单 set 客户 = -5", "delete from 客户"}) {
        EXPECT_EQ(errorNumber([&] { conn_->Execute(refused); }), ErrorNumber::Database) << refused;
    }
    EXPECT_EQ(count(), 1);
    EXPECT_EQ(conn_->Query("select count(*) from 销售明细").at(0, 0).toInt64(), 1);
    // on delete cascade takes the lines with their order; set null leaves the note without one
    EXPECT_EQ(conn_->Execute("delete from 销售单 where 单号 = 1"), 1);
    EXPECT_EQ(conn_->Query("select count(*) from 销售明细").at(0, 0).toInt64(), 0);
    const auto note = conn_->Query("select 单号, 内容 from 备忘");
    ASSERT_EQ(note.rowCount(), 1u);
    EXPECT_TRUE(note.at(0, 0).isNull());
    EXPECT_EQ(note.at(0, 1).toInt64(), 7);
}

TEST_P(DataAccess, APlaceholderWithoutAValueIsRefusedEverywhere) {
    insert("甲");
    const std::string query = "select 名称 from 客户 where 名称 = ?";
    EXPECT_EQ(errorNumber([&] { conn_->Query(query); }), ErrorNumber::Database);
    EXPECT_EQ(errorNumber([&] { open(query); }), ErrorNumber::Database);
    EXPECT_EQ(errorNumber([&] { conn_->Execute("delete from 客户 where 名称 = ?"); }), ErrorNumber::Database);
    EXPECT_EQ(count(), 1);
    const auto quoted = conn_->Query("select '?' as q, 名称 as [a?b] from 客户 where 名称 <> N'?'");
    ASSERT_EQ(quoted.rowCount(), 1u);
    EXPECT_EQ(quoted.at(0, 0).toText(), "?");
    EXPECT_EQ(quoted.columns.at(1).name, "a?b");
}

TEST_P(DataAccess, QueryWithBindsEachValueToItsPlaceholderInOrder) {
    insert("甲", Decimal{"1.50"});
    insert("乙", Decimal{"2"});
    insert("丙", Decimal{"3"});
    const ResultTable t = conn_->QueryWith("select 名称 from 客户 where amount > ? and 名称 <> ? order by id",
                                           {Decimal{"1"}, "乙"});
    ASSERT_EQ(t.rowCount(), 2u);
    EXPECT_EQ(t.at(0, 0).toText(), "甲");
    EXPECT_EQ(t.at(1, 0).toText(), "丙");
}

TEST_P(DataAccess, AQueriedValueIsNeverReadAsSql) {
    insert("甲");
    const std::string counted = "select count(*) from 客户 where 名称 = ?";
    EXPECT_EQ(conn_->QueryWith(counted, {"甲' or '1'='1"}).at(0, 0).toText(), "0");
    EXPECT_EQ(conn_->QueryWith(counted, {"甲"}).at(0, 0).toText(), "1");
}

TEST_P(DataAccess, RecordsetOpenWithBindsItsValues) {
    insertFive();
    Recordset rs;
    rs.OpenWith("select 名称 from 客户 where id > ? order by id", *conn_, {3}, adOpenStatic, adLockReadOnly);
    ASSERT_EQ(rs.RecordCount(), 2);
    EXPECT_EQ(rs.Fields("名称").Value().toText(), "丁");
    EXPECT_EQ(rs.CursorType(), adOpenStatic);
}

TEST_P(DataAccess, AQueryGivenTooFewValuesFails) {
    insert("甲");
    EXPECT_THROW(conn_->QueryWith("select 名称 from 客户 where id = ? and 名称 = ?", {1}), Error);
}

INSTANTIATE_TEST_SUITE_P(Backends, DataAccess,
                         ::testing::Values(Backend{"SqliteDirect", testing::openEmbedded},
                                           Backend{"OdbcSqliteDriver", openOdbc},
                                           Backend{"MsSql", testing::openMssqlScratch},
                                           Backend{"Pg", testing::openPgScratch, testing::kPgSkipReason}),
                         testing::backendName);

}  // namespace
}  // namespace Palvo
