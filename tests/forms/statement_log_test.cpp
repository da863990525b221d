#include "src/forms/statement_log.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "forms/forms_fixture.h"
#include "palvo/sqlite/connection.h"

namespace Palvo {
namespace {

class StatementLog : public testing::FormsTest {
protected:
    void SetUp() override {
        FormsTest::SetUp();
        exec({"insert into 编辑权限 values (N'frm客户', '01', ',02,')",
              "create table 附件 (编号 varchar(10), 内容 image)",
              "insert into 附件 values ('K2', cast('file-two' as varbinary(20)))"});
    }
    std::string row(const std::string& where = "1=1") {
        return scalar(
            "select 语句 + '|' + 操作表 + '|' + 接收单位 + '|' + 发送单位 + '|' + 类型 + '|' + 操作员 "
            "from SendSql where " +
            where);
    }
};

TEST_F(StatementLog, ReceiversComeFromTheCallerWrappedInCommasOrFromTheEditRights) {
    EXPECT_EQ(form.sKeepSql("frm客户", "delete from 客户", "客户", "01", "A01,B02"), "");
    EXPECT_EQ(row(), "delete from 客户|客户|,A01,B02,|01||张三");
    EXPECT_EQ(form.sKeepSql("frm客户", "update 客户 set 名称='x'", "客户", "01"), "");
    EXPECT_EQ(row("操作表='客户' and 语句 like 'update%'"), "update 客户 set 名称='x'|客户|,02,|01||张三");
    EXPECT_EQ(form.sKeepSql("frm客户", "s", "客户", "09"), "");  // no row for unit 09: nothing written
    EXPECT_EQ(form.sKeepSql("frm其他", "s", "客户", "01", "  "), "");
    EXPECT_EQ(scalar("select count(*) from SendSql"), "2");
}

// The file copy with quoted keys is checked with the hostile values.
TEST_F(StatementLog, EachStepRunsExactlyItsStatement) {
    const std::string receivers =
        "select top 1 发送给其他单位  from [编辑权限] where  [窗体名]='frm客户' and [单位]='01'";
    const std::string open = "SELECT top 0 * FROM SendSql";
    const std::string add =
        "insert into [SendSql] ([语句],[操作表],[接收单位],[发送单位],[类型],[操作员]) values (?,?,?,?,?,?)";
    struct Case {
        const char* receiversGiven;
        const char* type;
        std::vector<std::string> queries;
        std::vector<std::string> executes;
    };
    const std::vector<Case> cases{
        {"", "", {receivers, open}, {add}},
        {"A01", "", {open}, {add}},
        {"",
         "合同",
         {receivers, open},
         {add,
          "update SendSql set 文件=附件.内容  from SendSql inner join 附件 on 附件.编号='K2' and "
          "SendSql.编号 =3"}},
    };
    for (const auto& c : cases) {
        counting->reset();
        EXPECT_EQ(form.sKeepSql("frm客户", "s", "附件,内容,编号,K2", "01", c.receiversGiven, c.type), "");
        EXPECT_EQ(counting->queries, c.queries) << c.receiversGiven << " " << c.type;
        EXPECT_EQ(counting->executes, c.executes) << c.receiversGiven << " " << c.type;
    }
}

TEST_F(StatementLog, TheFileGoesToTheRowJustWrittenWhenAnotherWriterFollows) {
    // a second connection on the same database file adds a row right after ours
    const auto file = std::filesystem::temp_directory_path() / "palvo_statement_log_test.db";
    std::filesystem::remove(file);
    auto mine = std::make_shared<sqlite::Connection>();
    mine->Open(file.string());
    data::createHostTables(*mine);
    mine->Execute("create table 附件 (编号 varchar(10), 内容 image)");
    mine->Execute("insert into 附件 values ('K2', cast('file-two' as varbinary(20)))");
    auto other = std::make_shared<sqlite::Connection>();
    other->Open(file.string());
    auto watched = std::make_shared<testing::CountingConnection>(mine);
    watched->afterExecute = [&](const std::string& sql) {
        if (sql.find("insert into [SendSql]") == 0)
            other->Execute("insert into SendSql (语句) values ('其他单位')");
    };
    session().oConn = watched;
    EXPECT_EQ(form.sKeepSql("frm", "mine", "附件,内容,编号,K2", "01", "02", "合同"), "");
    auto t = mine->Query("select 语句, cast(文件 as varchar(20)) from SendSql order by 编号");
    ASSERT_EQ(t.rowCount(), 2u);
    EXPECT_EQ(t.at(0, 0).toText(), "mine");
    EXPECT_EQ(t.at(0, 1).toText(), "file-two");
    EXPECT_TRUE(t.at(1, 1).isNull());
    session().oConn = counting;
    watched.reset();
    mine->Close();
    other->Close();
    std::filesystem::remove(file);
}

// A connection that cannot tell the number of the row just added, as an adapter for an unknown database.
class NoRowNumberConnection : public testing::CountingConnection {
public:
    using CountingConnection::CountingConnection;
    int asked = 0;

protected:
    long long doLastInsertId() override {
        ++asked;
        throw Error(ErrorNumber::NotSupported,
                    "This connection cannot tell the identity of the last inserted row.");
    }
};

TEST_F(StatementLog, TheRowNumberIsAskedForOnlyWhenAFileIsCopied) {
    auto plain = std::make_shared<NoRowNumberConnection>(conn);
    session().oConn = plain;
    EXPECT_EQ(form.sKeepSql("frm客户", "delete from 客户", "客户", "01"), "");
    EXPECT_EQ(form.sKeepSql("frm客户", "delete from 客户", "客户", "01", "A01"), "");
    EXPECT_EQ(plain->asked, 0);
    EXPECT_EQ(scalar("select count(*) from SendSql"), "2");
    // a file needs the number: without it the row stays written and the call reports the failure
    EXPECT_EQ(form.sKeepSql("frm客户", "s", "附件,内容,编号,K2", "01", "", "合同"), "发送语句错误:");
    EXPECT_EQ(plain->asked, 1);
    EXPECT_EQ(scalar("select count(*) from SendSql where 文件 is null"), "3");
    session().oConn = counting;
}

TEST_F(StatementLog, FailuresReturnTheFileStatementBuiltSoFar) {
    EXPECT_EQ(form.sKeepSql("frm客户", "s", "附件", "01", "", "合同"), "发送语句错误:");
    EXPECT_EQ(scalar("select count(*) from SendSql"), "1");  // the row stays written
    EXPECT_EQ(form.sKeepSql("frm客户", "s", "没有的表,内容,编号,K2", "01", "", "合同"),
              "发送语句错误:update SendSql set 文件=没有的表.内容  from SendSql inner join 没有的表 on "
              "没有的表.编号='K2' and SendSql.编号 =2");
    conn->Execute("drop table 编辑权限");
    EXPECT_EQ(form.sKeepSql("frm客户", "s", "客户", "01"), "发送语句错误:");
}

}  // namespace
}  // namespace Palvo
