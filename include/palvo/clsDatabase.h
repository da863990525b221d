// clsDatabase: database helpers over the session's connection.
#pragma once

#include <cstdint>
#include <string>

#include "palvo/controls.h"
#include "palvo/export.h"
#include "palvo/value.h"

namespace Palvo {

class PALVO_API clsDatabase {
public:
    // ---- connection test and server time

    /// True when a connection to the server and database opens. Builds its own
    /// connection (never the session's) and reports every failure as False.
    bool bConnect_Test(const std::string& sServer, const std::string& sUser, const std::string& sPass,
                       const std::string& dbName, bool bConnClose = true,
                       const Value& iConnectTime = Value(15), const Value& iCommandTime = Value(60));

    /// The server's clock as text: Style "", "yyyy-mm-dd", "yyyy-mm-dd hh:mm" or "hh:mm".
    /// Throws Palvo::Error for any other style and for a failing statement.
    std::string sServerTime(const std::string& Style = "");

    // ---- field value, identifier and count helpers (all throw Palvo::Error but sSetFieldValue)

    /// The first column of the first row of `fieldName` from `tbname` matching the
    /// named pairs; "" when there is no row or the value is Null.
    std::string sGetFieldValue(const std::string& tbname, const std::string& fieldName,
                               const std::string& referFieldName1 = "", const std::string& referValue1 = "",
                               const std::string& referFieldName2 = "", const std::string& referValue2 = "",
                               const std::string& referFieldName3 = "", const std::string& referValue3 = "",
                               const std::string& referFieldName4 = "", const std::string& referValue4 = "",
                               const std::string& referFieldName5 = "", const std::string& referValue5 = "");

    /// Updates one field; returns "" on success and the error description otherwise.
    std::string sSetFieldValue(const std::string& tbname, const std::string& fieldName,
                               const std::string& fieldValue, const std::string& referFieldName1 = "",
                               const std::string& referValue1 = "", const std::string& referFieldName2 = "",
                               const std::string& referValue2 = "");

    /// The table's largest `IncField` plus one, zero-padded to `lenId` characters.
    std::string sNextId(const std::string& tbname, std::int16_t lenId, const std::string& IncField = "编号");

    /// The number of rows the query returns.
    std::int32_t lGetSearchCount(const std::string& sSearchStr);

    /// Column `iReturnIndex` (from 0) of the query's first row, or `sDefault` when there is no row.
    std::string sGetSomeInfo(const std::string& sSql, const std::int16_t& iReturnIndex,
                             const std::string& sDefault);

    // ---- list, combo and list-view filling

    /// Fills a list view in report mode: a header per column, an item per row. Returns 0.
    std::int16_t iFillDataToListview(const std::string& sSql, ListView& lv, std::int16_t iIdindex = -1,
                                     bool bCheck = true);

    /// Fills a list box or combo box with column `iDataIndex`, item data from column `iIdindex`.
    void mFillDataToListOrComb(const bool& bClear, const std::string& sSql, const std::int16_t& iDataIndex,
                               const std::int16_t& iIdindex, ListControl& ObjControl, float iDefaultIndex = 0,
                               const std::string& sOtherString = "");

    // ---- query settings

    /// Adds `sCxm` to the combo box when the user's settings set exists and the
    /// name (compared trimmed) is not listed yet. Throws Palvo::Error.
    void mSetCxm(ComboBox& cmb, const std::string& sTab, const std::string& sCxm, const std::string& sCxLb);

    /// The shown-column ("选择" or ""), total ("合计"), sort ("排序") or group ("分组")
    /// list of the user's settings set, comma-separated; seeds the set from the
    /// catalogue when the shown-column list is asked for and the set is empty.
    /// sWhere1 and sWhere2 have no effect. Throws Palvo::Error.
    std::string sGetField(const std::string& sTable, const std::string& sCxLb, const std::string& sCxm = "",
                          const std::string& sLx = "", const std::string& sWhere1 = "",
                          const std::string& sWhere2 = "", const std::string& sMustSetString = "");
};

}  // namespace Palvo
