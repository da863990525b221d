// clsDatabase: each method forwards to the database or query module.
#include "palvo/clsDatabase.h"

#include "src/database/connection_check.h"
#include "src/database/field_helpers.h"
#include "src/database/list_fill.h"
#include "src/query/select_builder.h"
#include "src/query/settings_store.h"

namespace Palvo {

bool clsDatabase::bConnect_Test(const std::string& sServer, const std::string& sUser,
                                const std::string& sPass, const std::string& dbName, bool bConnClose,
                                const Value& iConnectTime, const Value& iCommandTime) {
    return database::bConnect_Test(sServer, sUser, sPass, dbName, bConnClose, iConnectTime, iCommandTime);
}

std::string clsDatabase::sServerTime(const std::string& Style) { return database::sServerTime(Style); }

std::string clsDatabase::sGetFieldValue(const std::string& tbname, const std::string& fieldName,
                                        const std::string& referFieldName1, const std::string& referValue1,
                                        const std::string& referFieldName2, const std::string& referValue2,
                                        const std::string& referFieldName3, const std::string& referValue3,
                                        const std::string& referFieldName4, const std::string& referValue4,
                                        const std::string& referFieldName5, const std::string& referValue5) {
    return database::sGetFieldValue(tbname, fieldName, referFieldName1, referValue1, referFieldName2,
                                    referValue2, referFieldName3, referValue3, referFieldName4, referValue4,
                                    referFieldName5, referValue5);
}

std::string clsDatabase::sSetFieldValue(const std::string& tbname, const std::string& fieldName,
                                        const std::string& fieldValue, const std::string& referFieldName1,
                                        const std::string& referValue1, const std::string& referFieldName2,
                                        const std::string& referValue2) {
    return database::sSetFieldValue(tbname, fieldName, fieldValue, referFieldName1, referValue1,
                                    referFieldName2, referValue2);
}

std::string clsDatabase::sNextId(const std::string& tbname, std::int16_t lenId, const std::string& IncField) {
    return database::sNextId(tbname, lenId, IncField);
}

std::int32_t clsDatabase::lGetSearchCount(const std::string& sSearchStr) {
    return database::lGetSearchCount(sSearchStr);
}

std::string clsDatabase::sGetSomeInfo(const std::string& sSql, const std::int16_t& iReturnIndex,
                                      const std::string& sDefault) {
    return database::sGetSomeInfo(sSql, iReturnIndex, sDefault);
}

std::int16_t clsDatabase::iFillDataToListview(const std::string& sSql, ListView& lv, std::int16_t iIdindex,
                                              bool bCheck) {
    return database::iFillDataToListview(sSql, lv, iIdindex, bCheck);
}

void clsDatabase::mFillDataToListOrComb(const bool& bClear, const std::string& sSql,
                                        const std::int16_t& iDataIndex, const std::int16_t& iIdindex,
                                        ListControl& ObjControl, float iDefaultIndex,
                                        const std::string& sOtherString) {
    database::mFillDataToListOrComb(bClear, sSql, iDataIndex, iIdindex, ObjControl, iDefaultIndex,
                                    sOtherString);
}

void clsDatabase::mSetCxm(ComboBox& cmb, const std::string& sTab, const std::string& sCxm,
                          const std::string& sCxLb) {
    query::mSetCxm(cmb, sTab, sCxm, sCxLb);
}

std::string clsDatabase::sGetField(const std::string& sTable, const std::string& sCxLb,
                                   const std::string& sCxm, const std::string& sLx,
                                   const std::string& sWhere1, const std::string& sWhere2,
                                   const std::string& sMustSetString) {
    return query::sGetField(sTable, sCxLb, sCxm, sLx, sWhere1, sWhere2, sMustSetString);
}

}  // namespace Palvo
