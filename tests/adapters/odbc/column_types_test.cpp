#include "column_types.h"

#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

namespace Palvo::odbc::detail {
namespace {

// What FreeTDS and the SQLite driver describe, and what an ADO client of SQL Server sees. A type
// named alone (tinyint, bit, float, datetime, char, varchar, nvarchar, ntext, varbinary, image) is read
// from its name as the SQLite driver gives it in
// DataAccess.FieldsDescribeTheirColumns.
TEST(ColumnInfoFromDescription, EachTypeAsSqlServerReportsIt) {
    struct Case {
        int sqlType;
        unsigned long size;
        int digits;
        const char* typeName;
        int type;
        long definedSize;
        int precision;
        int scale;
    } cases[] = {
        {SQL_DECIMAL, 19, 4, "money", adCurrency, 8, 19, 255},
        {SQL_DECIMAL, 10, 4, "smallmoney", adCurrency, 4, 10, 255},
        {SQL_DECIMAL, 19, 4, "", adNumeric, 19, 19, 4},
        {SQL_DECIMAL, 18, 2, "decimal", adNumeric, 19, 18, 2},
        {SQL_NUMERIC, 10, 3, "numeric", adNumeric, 19, 10, 3},
        {SQL_INTEGER, 10, 0, "int identity", adInteger, 4, 10, 255},
        {SQL_INTEGER, 10, 0, "", adInteger, 4, 10, 255},
        {SQL_SMALLINT, 5, 0, "", adSmallInt, 2, 5, 255},
        {SQL_BIGINT, 19, 0, "bigint identity", adBigInt, 8, 19, 255},
        {SQL_REAL, 7, 0, "real", adSingle, 4, 7, 255},
        {SQL_DOUBLE, 15, 0, "", adDouble, 8, 15, 255},
        {SQL_TYPE_TIMESTAMP, 16, 0, "smalldatetime", adDBTimeStamp, 16, 16, 0},
        {SQL_TYPE_TIMESTAMP, 27, 7, "", adDBTimeStamp, 16, 23, 3},
        {SQL_LONGVARCHAR, 2147483647, 0, "varchar", adLongVarChar, 2147483647, 255, 255},
        {SQL_LONGVARCHAR, 2147483647, 0, "text", adLongVarChar, 2147483647, 255, 255},
        {SQL_WCHAR, 10, 0, "nchar", adWChar, 10, 255, 255},
        {SQL_WVARCHAR, 50, 0, "NVARCHAR(50)", adVarWChar, 50, 255, 255},
        {SQL_WLONGVARCHAR, 1073741823, 0, "nvarchar", adLongVarWChar, 1073741823, 255, 255},
        {SQL_BINARY, 8, 0, "binary", adBinary, 8, 255, 255},
        {SQL_GUID, 36, 0, "uniqueidentifier", adGUID, 16, 255, 255},
        {SQL_GUID, 36, 0, "", adGUID, 16, 255, 255},
        // names the driver makes up fall back on the SQL type
        {SQL_VARCHAR, 30, 0, "string", adVarChar, 30, 255, 255},
        {SQL_WVARCHAR, 0, 0, "", adVarWChar, 255, 255, 255},
        {SQL_LONGVARBINARY, 0, 0, "blob", adLongVarBinary, 2147483647, 255, 255},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.typeName) + " sql type " + std::to_string(c.sqlType));
        ColumnInfo i = columnInfoFromDescription(c.sqlType, c.size, c.digits, c.typeName);
        EXPECT_EQ(i.type, c.type);
        EXPECT_EQ(i.definedSize, c.definedSize);
        EXPECT_EQ(i.precision, c.precision);
        EXPECT_EQ(i.numericScale, c.scale);
    }
}

// Decimal and money values arrive as text; every digit of them is kept.
TEST(DecimalText, IsCanonicalAtTheColumnsScaleWithNothingRounded) {
    struct Case {
        const char* text;
        int scale;
        const char* canonical;
    } cases[] = {
        {"12.50", 2, "12.50"},
        {"12", 2, "12.00"},
        {"12345678901234567890123456789012.345678", 6, "12345678901234567890123456789012.345678"},
        {"99999999999999999999999999999999999999", 0, "99999999999999999999999999999999999999"},
        {".5", 2, "0.50"},
        {"-.5", 1, "-0.5"},
        {"+007.10", 2, "7.10"},
        {"-0.00", 2, "0.00"},
        {"-0.05", 2, "-0.05"},
        {"00.50", 2, "0.50"},
        {"0", 4, "0.0000"},
        {"1.25", 0, "1.25"},      // more decimals than the scale: none is dropped
        {"1.2500", 255, "1.25"},  // no known scale: trailing zeros go
        {"1.25E+1", 2, "12.50"},  // a driver's exponent form moves the point exactly
        {"2.024010100000124e15", 0, "2024010100000124"},
        {"-5e-3", 3, "-0.005"},
        {" 42 ", 0, "42"},
        {"", 2, ""},
        {"abc", 2, "abc"},
        {"1.2.3", 2, "1.2.3"},
        {"1e", 0, "1e"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decimalText(c.text, c.scale), c.canonical) << '"' << c.text << "\" scale " << c.scale;
    }
}

}  // namespace
}  // namespace Palvo::odbc::detail
