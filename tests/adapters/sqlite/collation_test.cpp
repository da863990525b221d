// Text compares and sorts as SQL Server's Chinese_PRC_CI_AS: the collator itself,
// then end to end on the embedded database.
#include "collation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "palvo/error.h"
#include "palvo/sqlite/connection.h"

namespace {

using Palvo::sqlite::ChineseCollator;

int sign(int v) { return (v > 0) - (v < 0); }

std::unique_ptr<ChineseCollator> openCollator() {
    std::string error;
    std::unique_ptr<ChineseCollator> c(ChineseCollator::open(error));
    EXPECT_TRUE(c) << error;
    return c;
}

struct Order {
    const char* a;
    const char* b;
    int expected;  // sign of compare(a, b)
};

void PrintTo(const Order& o, std::ostream* os) { *os << "'" << o.a << "' vs '" << o.b << "'"; }

class CollatorOrder : public ::testing::TestWithParam<Order> {};

TEST_P(CollatorOrder, AsChinesePrcCiAs) {
    auto c = openCollator();
    ASSERT_TRUE(c);
    const Order& o = GetParam();
    EXPECT_EQ(sign(c->compare(o.a, o.b)), o.expected);
    EXPECT_EQ(sign(c->compare(o.b, o.a)), -o.expected) << "not antisymmetric";
    EXPECT_EQ(sign(c->compareWithIcu(o.a, o.b)), o.expected) << "the ASCII table and ICU disagree";
}

INSTANTIATE_TEST_SUITE_P(Pairs, CollatorOrder,
                         ::testing::Values(
                             // pinyin, where the code points' order is the other way
                             Order{"王", "张", -1}, Order{"阿", "李", -1},
                             // case-insensitive, accent-sensitive
                             Order{"abc", "ABC", 0}, Order{"Abc", "abd", -1}, Order{"B", "a", 1},
                             Order{"e", "é", 1},
                             // trailing blanks are ignored, leading ones are not
                             Order{"01", "01 ", 0}, Order{"", "   ", 0}, Order{" 01", "01", -1},
                             Order{"a b", "ab", -1}, Order{"张 ", "张", 0}, Order{"a", "a\t", -1},
                             // digits before Latin letters before Chinese
                             Order{"123", "abc", -1}, Order{"zzz", "阿", -1}, Order{"9", "a", -1},
                             Order{"A001张", "a002李", -1},
                             // punctuation before digits (not the byte order of ':' and '9')
                             Order{"10:00", "1000", -1}, Order{"a-b", "a1", -1},
                             // width does not count, as CI_AS without WS
                             Order{"ａｂｃ", "abc", 0},
                             // an accent after an ASCII letter is decided by ICU, not the table; the
                             // pinyin order puts a vowel with a tone mark before the plain vowel
                             Order{"a\xcc\x80"
                                   "b",
                                   "ab", -1},
                             Order{"a\xcc\x80", "a", -1}, Order{"a\xcc\x80", "b", -1}));

// The ASCII table must give ICU's answer for every ASCII text. Sorting every text
// of one and two printable characters with it and checking each neighbour pair
// with ICU compares the two orders completely on that set.
TEST(ChineseCollatorAscii, TableOrderIsIcuOrderForAllShortTexts) {
    auto c = openCollator();
    ASSERT_TRUE(c);
    EXPECT_TRUE(ChineseCollator::asciiTableInUse())
        << "ICU's data changed: ASCII text now always goes to ICU";
    std::vector<std::string> texts;
    std::string alphabet = "\t";
    for (char ch = ' '; ch <= '~'; ++ch) alphabet += ch;
    for (char x : alphabet) {
        texts.emplace_back(1, x);
        for (char y : alphabet) texts.push_back(std::string{x, y});
    }
    std::stable_sort(texts.begin(), texts.end(),
                     [&](const std::string& a, const std::string& b) { return c->compare(a, b) < 0; });
    int mismatches = 0;
    for (std::size_t k = 0; k + 1 < texts.size() && mismatches < 5; ++k) {
        const int fast = sign(c->compare(texts[k], texts[k + 1]));
        const int icu = sign(c->compareWithIcu(texts[k], texts[k + 1]));
        if (fast != icu) {
            ++mismatches;
            ADD_FAILURE() << "'" << texts[k] << "' vs '" << texts[k + 1] << "': table " << fast << ", ICU "
                          << icu;
        }
    }
}

TEST(ChineseCollatorAscii, OrderIsIcuOrderForRandomMixedTexts) {
    auto c = openCollator();
    ASSERT_TRUE(c);
    // random texts: ASCII pieces that look alike, an accent, a control character and Chinese.
    const std::vector<std::string> pieces = {"a", "A",    "b",        "0",  "9",  " ", "-", "_", ":",
                                             "'", "\x01", "\xcc\x80", "张", "李", "é", "Z", "z", "."};
    std::mt19937 rng(20240101);
    std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1), length(0, 6);
    auto text = [&] {
        std::string s;
        for (std::size_t n = length(rng); n > 0; --n) s += pieces[piece(rng)];
        return s;
    };
    for (int k = 0; k < 20000; ++k) {
        std::string a = text(), b = k % 3 ? text() : a;
        if (k % 3 == 0 && !b.empty()) b.back() = 'a';  // texts that differ only at the end
        ASSERT_EQ(sign(c->compare(a, b)), sign(c->compareWithIcu(a, b))) << "'" << a << "' vs '" << b << "'";
    }
}

// ---------------------------------------------------------------- end to end

class EmbeddedCollation : public ::testing::Test {
protected:
    void SetUp() override {
        conn.Open(":memory:");
        conn.Execute("create table T (k varchar(10), n nvarchar(20))");
        for (const char* row : {"('01', '张')", "('02', '李')", "('03', '王')", "('a1', 'abc')",
                                "('a2', 'ABC ')", "('a3', 'Abd')", "('n1', '123')", "('n2', '阿')"}) {
            conn.Execute(std::string("insert into T values ") + row);
        }
    }
    std::string one(const std::string& sql) { return conn.Query(sql).at(0, 0).toText(); }
    std::string column(const std::string& sql) {
        auto t = conn.Query(sql);
        std::string r;
        for (std::size_t i = 0; i < t.rowCount(); ++i) r += (i ? "," : "") + t.at(i, 0).toText();
        return r;
    }
    Palvo::sqlite::Connection conn;
};

struct Query {
    const char* sql;
    const char* expected;  // the first column of every row, joined by ","
};

void PrintTo(const Query& q, std::ostream* os) { *os << q.sql; }

class EmbeddedAnswers : public EmbeddedCollation, public ::testing::WithParamInterface<Query> {};

TEST_P(EmbeddedAnswers, AsSqlServerWithChinesePrcCiAs) {
    EXPECT_EQ(column(GetParam().sql), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    TrailingBlanks, EmbeddedAnswers,
    ::testing::Values(Query{"select case when 'ab' in ('x', 'AB ') then 1 else 0 end", "1"},
                      Query{"select case when 'ab ' not in ('AB') then 1 else 0 end", "0"},
                      Query{"select case when 'b ' between 'A' and 'B' then 1 else 0 end", "1"},
                      Query{"select case when isnull(null, '') = '   ' then 1 else 0 end", "1"},
                      Query{"select case ltrim(' ab') when 'AB ' then 1 else 0 end", "1"},
                      Query{"select k from T where k = '01   '", "01"},
                      Query{"select k from T where '02 ' = k", "02"},
                      Query{"select k from T where rtrim(n) = 'ABC' order by k", "a1,a2"}));

INSTANTIATE_TEST_SUITE_P(
    ChineseOrder, EmbeddedAnswers,
    ::testing::Values(Query{"select k from T order by n, k", "n1,a1,a2,a3,n2,02,03,01"},
                      Query{"select ltrim(n) from T where k < '04' order by ltrim(n)", "李,王,张"},
                      Query{"select n + '' as x from T where k < '04' order by x", "李,王,张"},
                      Query{"select min(n) from T where k < '04'", "李"},
                      Query{"select count(*) from T where n > '李' and n < '张'", "1"},
                      Query{"select count(*) from T where n between 'a' and 'ABC'", "2"},
                      Query{"select count(*) from (select distinct n from T where k like 'a%') d", "2"}));

TEST_F(EmbeddedCollation, UniqueIndexesCompareByTheCollation) {
    conn.Execute("create table U (c varchar(10))");
    conn.Execute("create unique index ix_u on U (c)");
    conn.Execute("insert into U values('A')");
    EXPECT_THROW(conn.Execute("insert into U values('a ')"), Palvo::Error);
    EXPECT_THROW(conn.Execute("insert into U values('A  ')"), Palvo::Error);
    conn.Execute("insert into U values('á')");  // accents count
    conn.Execute("create table P (c nvarchar(10) primary key)");
    conn.Execute("insert into P values(N'张')");
    EXPECT_THROW(conn.Execute("insert into P values(N'张 ')"), Palvo::Error);
    EXPECT_EQ(one("select count(*) from U"), "2");
    EXPECT_EQ(one("select count(*) from P"), "1");
}

TEST_F(EmbeddedCollation, IndexLookUpsFindTheRowsOfAScan) {
    conn.Execute("create index ix_t on T (n)");
    EXPECT_EQ(column("select k from T where n = 'abc ' order by k"), "a1,a2");
    EXPECT_EQ(column("select k from T where n >= '王' order by n"), "03,01");
    EXPECT_EQ(column("select k from T where n in ('ABC', '阿 ') order by k"), "a1,a2,n2");
}

TEST_F(EmbeddedCollation, CaseSensitiveColumnsIgnoreTrailingBlanks) {
    conn.Execute("create table C (c varchar(10) collate Chinese_PRC_CS_AS)");
    conn.Execute("insert into C values('Abc')");
    EXPECT_EQ(one("select count(*) from C where c = 'Abc  '"), "1");
    EXPECT_EQ(one("select count(*) from C where c = 'abc'"), "0");
}

}  // namespace
