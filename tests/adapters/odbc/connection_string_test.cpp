#include "connection_string.h"

#include <gtest/gtest.h>

#include "palvo/error.h"
#include "palvo/odbc/connection.h"
#include "support/errors.h"

namespace Palvo::odbc {
namespace {

using detail::parseConnectionString;

std::string valueOf(const std::string& text, std::string_view key) {
    for (const auto& a : parseConnectionString(text)) {
        if (a.hasValue && a.key.size() == key.size() &&
            std::equal(a.key.begin(), a.key.end(), key.begin(), [](char x, char y) {
                return std::tolower(static_cast<unsigned char>(x)) ==
                       std::tolower(static_cast<unsigned char>(y));
            }))
            return a.value;
    }
    return "<missing>";
}

int countOf(const std::string& text, std::string_view key) {
    int n = 0;
    for (const auto& a : parseConnectionString(text)) n += a.hasValue && valueOf(a.text, key) != "<missing>";
    return n;
}

TEST(ConnectionStringFor, EveryValueReadsBackAsTyped) {
    const char* values[] = {"plain", "a;b",     "}", "a}b", "a};b", "{x}", "=", " lead and trail ",
                            "",      "密码;}{", "}}"};
    for (const char* v : values) {
        SCOPED_TRACE(v);
        std::string cs = connectionStringFor("srv", "sa", v, "库");
        EXPECT_EQ(valueOf(cs, "pwd"), v);
        EXPECT_EQ(valueOf(cs, "server"), "srv");
        EXPECT_EQ(valueOf(cs, "uid"), "sa");
        EXPECT_EQ(valueOf(cs, "database"), "库");
    }
}

TEST(DriverConnectionString, ASqlServerAliasBecomesFreeTdsWithItsCharsetSettings) {
    const char* aliases[] = {"driver=sql server;server=h", "DRIVER={SQL Server};server=h",
                             "Driver={ Sql Server };server=h", "server=h;driver=SQL SERVER"};
    for (const char* in : aliases) {
        SCOPED_TRACE(in);
        std::string out = driverConnectionString(in);
        EXPECT_EQ(valueOf(out, "driver"), "FreeTDS");
        EXPECT_EQ(valueOf(out, "ClientCharset"), "UTF-8");
        EXPECT_EQ(valueOf(out, "TDS_Version"), "7.4");
        EXPECT_EQ(valueOf(out, "server"), "h");
        EXPECT_EQ(out.back(), ';');
    }
}

TEST(DriverConnectionString, GivenCharsetSettingsAreKeptNotDuplicated) {
    const std::string out =
        driverConnectionString("driver=sql server;server=h;clientcharset=GBK;tds_version=7.1");
    EXPECT_EQ(valueOf(out, "ClientCharset"), "GBK");
    EXPECT_EQ(valueOf(out, "TDS_Version"), "7.1");
    EXPECT_EQ(countOf(out, "clientcharset"), 1);
    EXPECT_EQ(countOf(out, "tds_version"), 1);
}

TEST(DriverConnectionString, FreeTdsByNameOrPathGetsTheCharset) {
    for (const char* in :
         {"Driver=FreeTDS;Server=h", "Driver=/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so;Server=h"}) {
        SCOPED_TRACE(in);
        EXPECT_EQ(valueOf(driverConnectionString(in), "ClientCharset"), "UTF-8");
    }
}

TEST(DriverConnectionString, TheHostsConcatenatedStringKeepsItsValues) {
    // the host builds "driver=sql server;server=...;uid=...;pwd=...;database=..." by concatenation
    const std::string host =
        driverConnectionString("driver=sql server;server=10.0.0.5,1433;uid=sa;pwd=x=y;database=账套");
    EXPECT_EQ(valueOf(host, "server"), "10.0.0.5,1433");
    EXPECT_EQ(valueOf(host, "pwd"), "x=y");
    EXPECT_EQ(valueOf(host, "database"), "账套");
}

TEST(DriverConnectionString, OtherDriversPassThroughUnchanged) {
    std::string in = "Driver=SQLite3;Database=/tmp/a b.db;LoadExt={/x/y.so}";
    EXPECT_EQ(driverConnectionString(in), in + ";");
    EXPECT_EQ(driverConnectionString("DSN=mydb"), "DSN=mydb;");
    // a "};" in a value FreeTDS could not read, but other drivers read the standard quoting
    EXPECT_EQ(driverConnectionString("Driver=SQLite3;pwd={a}};b};"), "Driver=SQLite3;pwd={a}};b};");
    EXPECT_EQ(driverConnectionString("Driver={SQL Server Native Client 11.0};Server=h"),
              "Driver={SQL Server Native Client 11.0};Server=h;");
}

TEST(DriverConnectionString, OpensUserOrPasswordReplaceTheStrings) {
    EXPECT_EQ(driverConnectionString("driver=sql server;uid=old;pwd=old", "新用户", "pw"),
              "driver=FreeTDS;UID=新用户;PWD=pw;ClientCharset=UTF-8;TDS_Version=7.4;");
    // empty arguments leave the string's own
    EXPECT_EQ(driverConnectionString("Driver=SQLite3;uid=old;pwd=x"), "Driver=SQLite3;uid=old;pwd=x;");
}

TEST(DriverConnectionString, FreeTdsValuesAreRequotedItsWay) {
    // FreeTDS ends a braced value at the first "};" and reads "}}" as two braces, so values are re-quoted its
    // way: FreeTds.LoginReachesTheServerAsTyped... checks each kind of value on the wire, this the text
    // itself.
    EXPECT_EQ(
        driverConnectionString(connectionStringFor("h,1433", "sa", " x", "账套")),
        "driver=FreeTDS;server=h,1433;uid=sa;pwd={ x};database=账套;ClientCharset=UTF-8;TDS_Version=7.4;");
}

TEST(DriverConnectionString, MalformedBracesAreAnErrorThatKeepsTheSecret) {
    struct Case {
        std::string text;
        const char* key;
    } cases[] = {{"driver=sql server;pwd={secret;uid=u", "pwd"},
                 {"pwd={secret}x;uid=u", "pwd"},
                 // FreeTDS ends a braced value at the first "};" and has no escape for it
                 {connectionStringFor("h", "u", "a};secret", "d"), "pwd"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto [number, text] = testing::errorOf([&] { driverConnectionString(c.text); });
        EXPECT_EQ(number, ErrorNumber::ConnectionFailed);
        EXPECT_NE(text.find(c.key), std::string::npos) << text;
        EXPECT_EQ(text.find("secret"), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace Palvo::odbc
