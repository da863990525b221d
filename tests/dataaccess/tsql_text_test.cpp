// Text in hosts' queries: LIKE with sets, ranges and ESCAPE under the Chinese
// collation, the text functions, and the lists STRING_AGG and FOR XML PATH('')
// make, each with the row SQL Server answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "palvo/data.h"
#include "support/answers.h"
#include "support/errors.h"

namespace Palvo {
namespace {

using testing::Answer;
using testing::Row;

class TsqlText : public testing::AnswersTest {
protected:
    // Each condition and whether SQL Server holds it (1) or not (0).
    struct Holds {
        const char* condition;
        const char* holds;
    };
    void expectHolds(const std::vector<Holds>& cases) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.condition);
            EXPECT_EQ(scalar(like(c.condition)), c.holds);
        }
    }
    static std::string like(const std::string& condition) {
        return "select case when " + condition + " then 1 else 0 end";
    }
    void makeOrders() {
        conn_->Execute("create table 客户 (编号 int, 名称 nvarchar(20))");
        conn_->Execute("create table 订单 (客户 int, 单号 varchar(10), 金额 int)");
        conn_->Execute("insert into 客户 values (1, N'甲'), (2, N'乙'), (3, N'丙')");
        conn_->Execute(
            "insert into 订单 values (1, 'B2', 20), (1, 'A1', 30), (1, 'C3', 10), (2, 'X<Y', 5), (2, 'P&Q', "
            "6)");
    }
};

// ---- LIKE

TEST_P(TsqlText, LikeMatchesByItsPatternsCharacters) {
    expectHolds({
        {"'abc' like '[a-c]%'", "1"},
        {"'dbc' like '[a-c]%'", "0"},
        {"'abc' like '[^a]%'", "0"},
        {"'xbc' like '[^a]%'", "1"},
        {"'a%b' like 'a[%]b'", "1"},
        {"'axb' like 'a[%]b'", "0"},
        {"'_' like '[_]'", "1"},
        {"'a[b' like 'a[[]b'", "1"},
        {"'b' like '[abc]'", "1"},
        {"'abc' like 'a_c'", "1"},
        {"'ac' like 'a_c'", "0"},
    });
}

TEST_P(TsqlText, LikeComparesUnderTheCollation) {
    expectHolds({
        {"'ABC' like 'abc'", "1"},
        {"'Bcd' like '[a-c]%'", "1"},
        {"'b' like '[^B]'", "0"},
        {"N'ａｂｃ' like 'abc'", "1"},
        {"N'é' like 'e'", "0"},
        {"N'张三' like N'张%'", "1"},
        {"N'张三丰' like N'张_丰'", "1"},
        {"N'张三丰' like N'张_'", "0"},
    });
}

TEST_P(TsqlText, LikeRangesFollowThePinyinOrder) {
    expectHolds({
        {"N'李' like N'[李-王]'", "1"},
        {"N'刘' like N'[李-王]'", "1"},
        {"N'张' like N'[李-王]'", "0"},
    });
}

TEST_P(TsqlText, LikeIgnoresTrailingBlanksOfTheValueNotOfThePattern) {
    expectHolds({
        {"'abc ' like 'abc'", "1"},
        {"'abc' like 'abc '", "0"},
        {"'abc ' like 'abc '", "1"},
    });
}

TEST_P(TsqlText, UnicodeLikeCountsTrailingBlanksOfTheValue) {
    expectHolds({
        {"N'abc ' like 'abc'", "0"},
        {"'abc ' like N'abc'", "0"},
        {"N'abc ' like N'abc '", "1"},
    });
    conn_->Execute("create table 空格 (v varchar(10), nv nvarchar(10))");
    conn_->Execute("insert into 空格 values ('space ', N'nspace ')");
    EXPECT_EQ(
        row("select (select count(*) from 空格 where v like 'space'), (select count(*) from 空格 where nv "
            "like 'nspace'), (select count(*) from 空格 where nv like 'nspace ')"),
        (Row{"1", "0", "1"}));
}

TEST_P(TsqlText, LikeEscapeMakesTheNextCharacterLiteral) {
    expectHolds({
        {"'10%' like '10!%' escape '!'", "1"},
        {"'100' like '10!%' escape '!'", "0"},
        {"'a_b' like 'a\\_b' escape '\\'", "1"},
        {"'a!b' like 'a!!b' escape '!'", "1"},
    });
}

TEST_P(TsqlText, LikeInWhereSelectsTheMatchingRows) {
    conn_->Execute("create table 名单 (k int, 名 varchar(10))");
    conn_->Execute("insert into 名单 values (1, 'Anna'), (2, 'bob'), (3, 'Carl '), (4, null), (5, 'd_x')");
    EXPECT_EQ(rows("select k from 名单 where 名 like '[a-c]%' order by k"),
              (std::vector<Row>{{"1"}, {"2"}, {"3"}}));
    EXPECT_EQ(rows("select k from 名单 where 名 not like '[a-c]%' order by k"), (std::vector<Row>{{"5"}}));
    EXPECT_EQ(rows("select k from 名单 where 名 like '%[_]%' order by k"), (std::vector<Row>{{"5"}}));
    EXPECT_EQ(rows("select k from 名单 where 名 like '%l' order by k"), (std::vector<Row>{{"3"}}));
}

TEST_P(TsqlText, LikeMatchesADatetimeColumnAsItsDefaultText) {
    conn_->Execute("create table 日程 (k int, d datetime)");
    conn_->Execute("insert into 日程 values (1, '2004-01-05 14:30:00')");
    EXPECT_EQ(scalar("select count(*) from 日程 where d like '2004%'"), "0");
    EXPECT_EQ(scalar("select count(*) from 日程 where d like 'Jan  5 2004  2:30PM'"), "1");
    EXPECT_EQ(scalar("select count(*) from 日程 where d like '%2004%'"), "1");
}

TEST_P(TsqlText, LikeInACheckConstraintRefusesTheRowsItDoesNotMatch) {
    conn_->Execute("create table 编码 (c varchar(5) check (c like '[0-9][0-9]'))");
    conn_->Execute("insert into 编码 values ('12')");
    EXPECT_EQ(refused("insert into 编码 values ('1a')"), 547);
    EXPECT_EQ(scalar("select count(*) from 编码"), "1");
}

TEST_P(TsqlText, LikeEscapeOfMoreThanOneCharacterIsRefused) {
    EXPECT_EQ(refused(like("'a' like 'a' escape 'xy'"),
                      "The invalid escape character \"xy\" was specified in a LIKE predicate."),
              506);
}

// ---- text functions

TEST_P(TsqlText, PatindexGivesThePositionOfTheFirstMatch) {
    expectAnswers({
        {"select patindex('%[0-9]%', 'ab12')", {"3"}},
        {"select patindex('%x%', 'abc')", {"0"}},
        {"select patindex('ab%', 'abc')", {"1"}},
        {"select patindex('%C', 'abc')", {"3"}},
        {"select patindex('%b%', null)", {"<null>"}},
        {"select patindex(N'%丰%', N'张三丰')", {"3"}},
    });
}

TEST_P(TsqlText, StuffReplacesTheStretchItNames) {
    expectAnswers({
        {"select stuff('abcdef', 2, 3, 'ijklmn')", {"aijklmnef"}},
        {"select stuff('abc', 2, 10, 'x')", {"ax"}},
        {"select stuff('abc', 2, 1, null)", {"ac"}},
        {"select stuff(N'张三丰', 2, 1, N'无')", {"张无丰"}},
    });
}

TEST_P(TsqlText, StuffOutsideTheTextIsNull) {
    expectAnswers({
        {"select stuff('abc', 4, 1, 'x')", {"<null>"}},
        {"select stuff('abc', 0, 1, 'x')", {"<null>"}},
        {"select stuff('abc', 1, -1, 'x')", {"<null>"}},
        {"select stuff('', 1, 1, '')", {"<null>"}},
    });
}

TEST_P(TsqlText, ReplicateRepeatsATextItsCountOfTimes) {
    expectAnswers({
        {"select replicate('ab', 3)", {"ababab"}},
        {"select replicate('ab', 0)", {""}},
        {"select replicate('ab', -1)", {"<null>"}},
    });
}

TEST_P(TsqlText, SpaceGivesItsCountOfBlanks) {
    expectAnswers({
        {"select '[' + space(3) + ']'", {"[   ]"}},
        {"select space(-1)", {"<null>"}},
    });
}

TEST_P(TsqlText, ReverseReversesCharactersNotBytes) {
    expectAnswers({
        {"select reverse(N'abc中文')", {"文中cba"}},
        {"select reverse(null)", {"<null>"}},
    });
}

TEST_P(TsqlText, QuotenameDelimitsDoublingTheClosingCharacter) {
    expectAnswers({
        {"select quotename('a]b')", {"[a]]b]"}},
        {"select quotename('a''b', '''')", {"'a''b'"}},
        {"select quotename('a\"b', '\"')", {"\"a\"\"b\""}},
        {"select quotename('ab', '(')", {"(ab)"}},
        {"select quotename('ab', ']')", {"[ab]"}},
        {"select quotename('ab', 'x')", {"<null>"}},
        {"select quotename(replicate('a', 129))", {"<null>"}},
        {"select quotename(null)", {"<null>"}},
    });
}

TEST_P(TsqlText, StrRightAlignsTheRoundedNumber) {
    expectAnswers({
        {"select str(123.45, 6, 1)", {" 123.5"}},
        {"select str(123.6)", {"       124"}},
        {"select str(-2.6)", {"        -3"}},
        {"select str(123.35, 6, 1)", {" 123.3"}},
        {"select str(1234567.89, 7, 2)", {"1234568"}},
        {"select str(123.456, 5, 2)", {"123.5"}},
        {"select str(null)", {"<null>"}},
    });
}

TEST_P(TsqlText, StrStarsANumberThatDoesNotFit) {
    expectAnswers({
        {"select str(123.45, 2, 2)", {"**"}},
        {"select str(1234567.89, 6, 2)", {"******"}},
    });
}

TEST_P(TsqlText, ConcatTakesNullAsEmptyWherePlusGivesNull) {
    expectAnswers({
        {"select concat('a', null, 'b', 1)", {"ab1"}},
        {"select concat(null, null)", {""}},
        {"select 'a' + null", {"<null>"}},
        {"select concat_ws(',', 'a', null, 'b')", {"a,b"}},
        {"select concat_ws(',', null, null)", {""}},
    });
}

TEST_P(TsqlText, TrimRemovesBlanksOrTheCharactersNamedFromBothEnds) {
    expectAnswers({
        {"select '[' + trim('  ab  ') + ']'", {"[ab]"}},
        {"select trim('x.' from 'x.ab.x')", {"ab"}},
        {"select trim(null)", {"<null>"}},
    });
}

TEST_P(TsqlText, TranslateReplacesEachCharacterByItsCounterpart) {
    expectAnswers({
        {"select translate('2*[3+4]/{7-2}', '[]{}', '()()')", {"2*(3+4)/(7-2)"}},
        {"select translate('abc', 'ab', 'ba')", {"bac"}},
        {"select translate(null, 'a', 'b')", {"<null>"}},
    });
}

TEST_P(TsqlText, TextFunctionsReadADatetimeColumnAsItsDefaultText) {
    conn_->Execute("create table 日程 (k int, d datetime)");
    conn_->Execute("insert into 日程 values (1, '2004-01-05 14:30:00')");
    EXPECT_EQ(row("select concat(d, '|'), concat_ws(',', k, d), string_agg(d, ';') from 日程"),
              (Row{"Jan  5 2004  2:30PM|", "1,Jan  5 2004  2:30PM", "Jan  5 2004  2:30PM"}));
}

TEST_P(TsqlText, TranslateOfUnequalLengthsIsRefused) {
    EXPECT_EQ(refused("select translate('abc', 'ab', 'x')",
                      "The second and third arguments of the TRANSLATE built-in function must contain an "
                      "equal number of characters."),
              9828);
}

// ---- lists

TEST_P(TsqlText, StringAggJoinsInTheOrderWithinGroupGives) {
    makeOrders();
    EXPECT_EQ(rows("select 客户, string_agg(单号, ',') within group (order by 单号) from 订单 group by 客户 "
                   "order by 客户"),
              (std::vector<Row>{{"1", "A1,B2,C3"}, {"2", "P&Q,X<Y"}}));
    EXPECT_EQ(
        scalar("select string_agg(单号, '; ') within group (order by 金额 desc) from 订单 where 客户 = 1"),
        "A1; B2; C3");
    EXPECT_EQ(scalar("select string_agg(单号, ',') from 订单 where 客户 = 9"), "<null>");
}

TEST_P(TsqlText, StringAggSortsTextByTheCollation) {
    conn_->Execute("create table 人 (名 nvarchar(10))");
    conn_->Execute("insert into 人 values (N'张'), (N'李'), (N'王'), (N'b'), (N'A')");
    EXPECT_EQ(scalar("select string_agg(名, ',') within group (order by 名) from 人"), "A,b,李,王,张");
}

TEST_P(TsqlText, ForXmlPathListsEachCustomersOrdersInTheSubquerysOrder) {
    makeOrders();
    EXPECT_EQ(rows("select 名称, stuff((select ',' + 单号 from 订单 o where o.客户 = c.编号 order by 金额 "
                   "for xml path('')), 1, 1, '') from 客户 c order by 编号"),
              (std::vector<Row>{{"甲", "C3,B2,A1"}, {"乙", "X&lt;Y,P&amp;Q"}, {"丙", "<null>"}}));
}

TEST_P(TsqlText, ForXmlPathTypeValueUndoesTheEntities) {
    makeOrders();
    EXPECT_EQ(scalar("select stuff((select ',' + 单号 from 订单 where 客户 = 2 order by 单号 desc "
                     "for xml path(''), type).value('.', 'nvarchar(max)'), 1, 1, '')"),
              "X<Y,P&Q");
}

TEST_P(TsqlText, ForXmlPathEntitizesCarriageReturnsButNotLineFeeds) {
    EXPECT_EQ(scalar("select (select 'a>' + char(13) + char(10) + 'b' for xml path(''))"), "a&gt;&#x0D;\nb");
}

TEST_P(TsqlText, ForXmlPathOfANumberWithAFractionIsRefusedOnTheEmbeddedDatabase) {
    if (std::string(GetParam().name) != "Embedded")
        GTEST_SKIP() << "SQL Server writes the number its own way";
    EXPECT_EQ(testing::errorDescription([&] { row("select (select cast(1.5 as float) for xml path(''))"); }),
              "Not supported by the embedded database: FOR XML PATH('') of a number with a fraction.");
}

// ---- FOR XML PATH with elements

class TsqlXmlElements : public testing::AnswersTest {
protected:
    void SetUp() override {
        AnswersTest::SetUp();
        if (IsSkipped()) return;
        conn_->Execute("create table 库存 (编号 int, 名称 nvarchar(10), 数量 int)");
        conn_->Execute("insert into 库存 values (1, N'甲', 5), (2, N'乙&丙', null)");
    }
};

TEST_P(TsqlXmlElements, PathRowWritesEachRowsColumnsAsElementsLeavingOutNulls) {
    EXPECT_EQ(scalar("select 名称, 数量 from 库存 order by 编号 for xml path('row')"),
              "<row><名称>甲</名称><数量>5</数量></row><row><名称>乙&amp;丙</名称></row>");
}

TEST_P(TsqlXmlElements, TheStatementsXmlIsOneColumnOfSqlServersName) {
    EXPECT_EQ(names("select 名称 from 库存 for xml path('row')"),
              (Row{"XML_F52E2B61-18A1-11d1-B105-00805F49916B"}));
}

TEST_P(TsqlXmlElements, RootWrapsTheRowsInOneElement) {
    EXPECT_EQ(scalar("select 编号 as id from 库存 order by 编号 for xml path('r'), root('rows')"),
              "<rows><r><id>1</id></r><r><id>2</id></r></rows>");
}

TEST_P(TsqlXmlElements, PathOfNoNameInASubqueryWritesNamedColumnsAsElementsOnly) {
    EXPECT_EQ(scalar("select (select 名称, ';' from 库存 order by 编号 for xml path(''))"),
              "<名称>甲</名称>;<名称>乙&amp;丙</名称>;");
}

TEST_P(TsqlXmlElements, AStatementWithoutRowsGivesNoRow) {
    EXPECT_EQ(rows("select 名称 from 库存 where 编号 > 9 for xml path('row'), root('rows')"),
              std::vector<Row>{});
}

TEST_P(TsqlXmlElements, ADateIsRefusedOnTheEmbeddedDatabase) {
    if (std::string(GetParam().name) != "Embedded") GTEST_SKIP() << "SQL Server writes the date its own way";
    EXPECT_EQ(testing::errorDescription(
                  [&] { row("select cast('2024-01-03' as datetime) d for xml path('row')"); }),
              "Not supported by the embedded database: FOR XML PATH of a date or time.");
}

PALVO_ANSWERS_ON_BACKENDS_AND_PG(TsqlText);
PALVO_ANSWERS_ON_BACKENDS_AND_PG(TsqlXmlElements);

}  // namespace
}  // namespace Palvo
