#include "column_types.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cctype>

#include "palvo/convert.h"

namespace Palvo::odbc::detail {

namespace {

constexpr long kLongText = 2147483647;
constexpr long kLongWideText = 1073741823;

std::string normalizedTypeName(std::string_view name) {
    std::string r;
    for (char c : name) r += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    while (!r.empty() && std::isspace(static_cast<unsigned char>(r.back()))) r.pop_back();
    std::size_t b = 0;
    while (b < r.size() && std::isspace(static_cast<unsigned char>(r[b]))) ++b;
    r.erase(0, b);
    // SQL Server reports "int identity", "bigint identity" for identity columns
    if (auto p = r.find(" identity"); p != std::string::npos) r.erase(p);
    return r;
}

bool isLongSqlType(int t) { return t == SQL_LONGVARCHAR || t == SQL_WLONGVARCHAR || t == SQL_LONGVARBINARY; }

std::string declaredFrom(const std::string& name, int sqlType, unsigned long size, int digits) {
    if (name.empty() || name.find('(') != std::string::npos) return name;
    static const char* const sized[] = {"char", "varchar", "nchar", "nvarchar", "binary", "varbinary"};
    for (const char* s : sized) {
        if (name == s) {
            bool max = isLongSqlType(sqlType) || size == 0 || size > 8000;
            return name + "(" + (max ? std::string("max") : std::to_string(size)) + ")";
        }
    }
    if (name == "decimal" || name == "numeric") {
        return name + "(" + std::to_string(size) + "," + std::to_string(digits < 0 ? 0 : digits) + ")";
    }
    return name;
}

ColumnInfo fixed(int type, long size, int precision, int scale) {
    ColumnInfo c;
    c.type = type;
    c.definedSize = size;
    c.precision = precision;
    c.numericScale = scale;
    return c;
}

long clampSize(unsigned long size, long dflt) {
    if (size == 0) return dflt;
    return size > static_cast<unsigned long>(kLongText) ? kLongText : static_cast<long>(size);
}

// Whether a driver's text of a decimal is already as decimalText writes it: [-]digits, no leading zero
// but a lone one, then exactly `scale` decimals; not a negative zero. Most are (PostgreSQL's always).
bool canonicalDecimal(std::string_view t, int scale) {
    if (scale < 0 || scale > 38) return false;
    std::size_t k = !t.empty() && t[0] == '-' ? 1 : 0;
    const std::size_t whole = k;
    bool nonZero = false;
    for (; k < t.size() && t[k] >= '0' && t[k] <= '9'; ++k) nonZero = nonZero || t[k] != '0';
    if (k == whole || (t[whole] == '0' && k - whole > 1)) return false;
    if (scale > 0) {
        if (k >= t.size() || t[k] != '.' || t.size() - k - 1 != static_cast<std::size_t>(scale)) return false;
        for (++k; k < t.size(); ++k) {
            if (t[k] < '0' || t[k] > '9') return false;
            nonZero = nonZero || t[k] != '0';
        }
    }
    return k == t.size() && (whole == 0 || nonZero);
}

}  // namespace

ColumnInfo columnInfoFromDescription(int sqlType, unsigned long columnSize, int decimalDigits,
                                     std::string_view typeName) {
    ColumnInfo info;
    const std::string name = normalizedTypeName(typeName);
    if (columnInfoForDeclaredType(declaredFrom(name, sqlType, columnSize, decimalDigits), info)) return info;

    switch (sqlType) {
        case SQL_CHAR:
            return fixed(adChar, clampSize(columnSize, 1), 255, 255);
        case SQL_VARCHAR:
            return fixed(adVarChar, clampSize(columnSize, 255), 255, 255);
        case SQL_LONGVARCHAR:
            return fixed(adLongVarChar, kLongText, 255, 255);
        case SQL_WCHAR:
            return fixed(adWChar, clampSize(columnSize, 1), 255, 255);
        case SQL_WVARCHAR:
            return fixed(adVarWChar, clampSize(columnSize, 255), 255, 255);
        case SQL_WLONGVARCHAR:
            return fixed(adLongVarWChar, kLongWideText, 255, 255);
        case SQL_TINYINT:
            return fixed(adUnsignedTinyInt, 1, 3, 255);
        case SQL_SMALLINT:
            return fixed(adSmallInt, 2, 5, 255);
        case SQL_INTEGER:
            return fixed(adInteger, 4, 10, 255);
        case SQL_BIGINT:
            return fixed(adBigInt, 8, 19, 255);
        case SQL_BIT:
            return fixed(adBoolean, 2, 255, 255);
        case SQL_REAL:
            return fixed(adSingle, 4, 7, 255);
        case SQL_FLOAT:
        case SQL_DOUBLE:
            return fixed(adDouble, 8, 15, 255);
        case SQL_DECIMAL:
        case SQL_NUMERIC: {
            int precision = columnSize == 0 || columnSize > 38 ? 18 : static_cast<int>(columnSize);
            return fixed(adNumeric, 19, precision, decimalDigits < 0 ? 0 : decimalDigits);
        }
        case SQL_TYPE_TIMESTAMP:
        case SQL_TIMESTAMP:
        case SQL_TYPE_DATE:
        case SQL_DATE:
            return fixed(adDBTimeStamp, 16, 23, 3);
        case SQL_BINARY:
            return fixed(adBinary, clampSize(columnSize, 1), 255, 255);
        case SQL_VARBINARY:
            return fixed(adVarBinary, clampSize(columnSize, 255), 255, 255);
        case SQL_LONGVARBINARY:
            return fixed(adLongVarBinary, kLongText, 255, 255);
        case SQL_GUID:
            return fixed(adGUID, 16, 255, 255);
        default:
            // times, xml, sql_variant and anything newer are read as text
            return fixed(adVarWChar, clampSize(columnSize, 255), 255, 255);
    }
}

int sqlTypeForNull(int adoType) {
    switch (adoType) {
        case adBinary:
        case adVarBinary:
        case adLongVarBinary:
            return SQL_VARBINARY;
        case adChar:
        case adVarChar:
        case adLongVarChar:
            return SQL_VARCHAR;
        case adWChar:
        case adVarWChar:
        case adLongVarWChar:
            return SQL_WVARCHAR;
        case adTinyInt:
        case adUnsignedTinyInt:
        case adSmallInt:
        case adInteger:
        case adBigInt:
            return SQL_BIGINT;
        case adBoolean:
            return SQL_BIT;
        case adSingle:
        case adDouble:
            return SQL_DOUBLE;
        case adCurrency:
        case adNumeric:
            return SQL_DECIMAL;
        case adDBTimeStamp:
            return SQL_TYPE_TIMESTAMP;
        case adGUID:
            return SQL_GUID;
        default:
            return 0;
    }
}

int writtenScale(std::string_view text) {
    const std::size_t point = text.find('.');
    if (point == std::string_view::npos) return 0;
    std::size_t end = point + 1;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    return static_cast<int>(end - point - 1);
}

std::string decimalText(std::string_view text, int scale) {
    if (canonicalDecimal(text, scale)) return std::string(text);
    std::string_view t = text;
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.front()))) t.remove_prefix(1);
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back()))) t.remove_suffix(1);
    const auto parts = base::decimalParts(t, true);
    if (!parts) return std::string(text);
    // zeros beyond the scale carry nothing; a digit that is not zero is kept
    return base::decimalText(*parts, scale >= 0 && scale <= 38 ? static_cast<std::size_t>(scale) : 0);
}

}  // namespace Palvo::odbc::detail
