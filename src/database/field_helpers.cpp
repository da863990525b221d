// sGetFieldValue, sSetFieldValue, sNextId, lGetSearchCount, sGetSomeInfo.
#include "src/database/field_helpers.h"

#include <limits>

#include "palvo/clsDatabase.h"
#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/session.h"
#include "src/base/conversions.h"
#include "src/database/db_support.h"

namespace Palvo::database {

namespace {

// The largest identifier plus one, as text. Whole numbers and decimals (also
// as text: "0007" gives "8") are counted on their digits, so a bigint or
// decimal(38) key of any length gets the next key and not a rounded double.
std::string plusOne(const Value& max) {
    if (const std::int64_t* i = max.integer()) {
        if (*i < std::numeric_limits<std::int64_t>::max()) return std::to_string(*i + 1);
        return *base::plusOneExact(std::to_string(*i));
    }
    const std::string* digits = max.text();
    if (const Decimal* d = max.decimal()) digits = &d->text;
    if (digits) {
        if (auto exact = base::plusOneExact(*digits)) return *exact;
    }
    return formatNumber(max.toDouble() + 1);
}

}  // namespace

std::string fieldValue(const std::string& tbname, const std::string& fieldName,
                       const std::string& referFieldName1, const std::string& referValue1,
                       const std::string& referFieldName2, const std::string& referValue2,
                       const std::string& referFieldName3, const std::string& referValue3,
                       const std::string& referFieldName4, const std::string& referValue4,
                       const std::string& referFieldName5, const std::string& referValue5) {
    const std::string* pairs[5][2] = {{&referFieldName1, &referValue1},
                                      {&referFieldName2, &referValue2},
                                      {&referFieldName3, &referValue3},
                                      {&referFieldName4, &referValue4},
                                      {&referFieldName5, &referValue5}};
    std::string condition;
    for (const auto& p : pairs) {
        if (p[0]->empty()) continue;
        condition += " and [" + *p[0] + "]='" + base::sqlQuote(*p[1]) + "'";
    }
    // Dropping " and" keeps the blank before the bracket: "where  [a]='x'".
    if (!condition.empty()) condition = " where " + condition.substr(4);
    std::string sql = "select top 1 " + fieldName + "  from [" + tbname + "]" + condition;

    Recordset rs;
    rs.CursorLocation(adUseClient);
    rs.Open(sql, sessionConnection());
    std::string result;
    if (rs.RecordCount() != 0) result = rs.Fields(0L).Value().toText();
    rs.Close();
    return result;
}

}  // namespace Palvo::database

namespace Palvo {

std::string clsDatabase::sGetFieldValue(const std::string& tbname, const std::string& fieldName,
                                        const std::string& referFieldName1, const std::string& referValue1,
                                        const std::string& referFieldName2, const std::string& referValue2,
                                        const std::string& referFieldName3, const std::string& referValue3,
                                        const std::string& referFieldName4, const std::string& referValue4,
                                        const std::string& referFieldName5, const std::string& referValue5) {
    return database::fieldValue(tbname, fieldName, referFieldName1, referValue1, referFieldName2, referValue2,
                                referFieldName3, referValue3, referFieldName4, referValue4, referFieldName5,
                                referValue5);
}

std::string clsDatabase::sSetFieldValue(const std::string& tbname, const std::string& fieldName,
                                        const std::string& fieldValue, const std::string& referFieldName1,
                                        const std::string& referValue1, const std::string& referFieldName2,
                                        const std::string& referValue2) {
    try {
        Connection& conn = sessionConnection();
        int type = 0;
        {
            Recordset probe;
            probe.Open("select top 0 " + fieldName + " from " + tbname, conn);
            type = probe.Fields(0L).Type();
        }
        std::string assignment;
        if (isNumericType(type)) {
            assignment = fieldName + "=" + base::sqlNumber(fieldValue);
        } else {
            assignment = fieldName + "='" + base::sqlQuote(base::trim(fieldValue)) + "'";
        }
        std::string condition;
        const bool first = !referFieldName1.empty();
        const bool second = !referFieldName2.empty();
        if (first && second) {
            condition = " where " + referFieldName1 + "='" + base::sqlQuote(referValue1) + "' and " +
                        referFieldName2 + "='" + base::sqlQuote(referValue2) + "'";
        } else if (first) {
            condition = " where " + referFieldName1 + "='" + base::sqlQuote(referValue1) + "'";
        } else if (second) {
            condition = " where " + referFieldName2 + "='" + base::sqlQuote(referValue2) + "'";
        }
        conn.Execute("update " + tbname + " set " + assignment + condition);
        return "";
    } catch (const std::exception& e) {
        return e.what();  // a Palvo::Error's is its description
    }
}

std::string clsDatabase::sNextId(const std::string& tbname, std::int16_t lenId, const std::string& IncField) {
    Recordset rs;
    rs.Open("select Max(" + IncField + ") from " + tbname, sessionConnection());
    const Value& max = rs.Fields(0L).Value();
    std::string next = max.isNull() ? "1" : database::plusOne(max);
    rs.Close();
    if (next.size() < static_cast<std::size_t>(lenId > 0 ? lenId : 0)) {
        next.insert(0, static_cast<std::size_t>(lenId) - next.size(), '0');
    }
    return next;
}

std::int32_t clsDatabase::lGetSearchCount(const std::string& sSearchStr) {
    Recordset rs;
    rs.Open(sSearchStr, sessionConnection(), adOpenKeyset, adLockReadOnly);
    std::int32_t n = rs.RecordCount();
    rs.Close();
    return n;
}

std::string clsDatabase::sGetSomeInfo(const std::string& sSql, const std::int16_t& iReturnIndex,
                                      const std::string& sDefault) {
    std::string result = sDefault;
    Recordset rs;
    rs.CursorLocation(adUseClient);
    rs.Open(sSql, sessionConnection(), adOpenKeyset, adLockReadOnly);
    if (rs.RecordCount() > 0) {
        rs.MoveFirst();
        result = rs.Fields(static_cast<long>(iReturnIndex)).Value().toTextStrict();
    }
    rs.Close();
    return result;
}

}  // namespace Palvo
