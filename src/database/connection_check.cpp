// bConnect_Test and sServerTime.

#include "palvo/clsDatabase.h"
#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/session.h"
#include "src/database/db_support.h"

namespace Palvo::database {

namespace {

// An ODBC attribute value in braces, so ";" and "}" reach the driver as typed.
std::string braced(const std::string& v) {
    std::string r = "{";
    for (char c : v) {
        r += c;
        if (c == '}') r += '}';
    }
    return r + "}";
}

}  // namespace

}  // namespace Palvo::database

namespace Palvo {

bool clsDatabase::bConnect_Test(const std::string& sServer, const std::string& sUser,
                                const std::string& sPass, const std::string& dbName, bool bConnClose,
                                const Value& iConnectTime, const Value& iCommandTime) {
    if (sServer.empty()) return false;
    try {
        std::string conn = "driver={sql server};server=" + database::braced(sServer) +
                           ";uid=" + database::braced(sUser) + ";pwd=" + database::braced(sPass) +
                           ";database=" + database::braced(dbName);
        auto c = newConnection();
        c->CursorLocation(adUseClient);
        c->ConnectionTimeout(database::toInt32(iConnectTime));
        c->CommandTimeout(database::toInt32(iCommandTime));
        c->Open(conn, "", "");
        if (bConnClose) c->Close();
        return true;
    } catch (...) {
        // every failure, whatever its kind, is reported as False
        return false;
    }
}

std::string clsDatabase::sServerTime(const std::string& Style) {
    std::string sql;
    if (Style.empty()) {
        sql = "select left(convert(varchar,getdate(),20),20) as a";
    } else if (Style == "yyyy-mm-dd") {
        sql = "select left(convert(varchar,getdate(),120),10) as a";
    } else if (Style == "yyyy-mm-dd hh:mm") {
        sql = "select left(convert(varchar,getdate(),120),16) as a";
    } else if (Style == "hh:mm") {
        sql = "select left(convert(varchar,getdate(),8),5) as a";
    } else {
        throw Error(ErrorNumber::InvalidCall,
                    "Invalid procedure call or argument: unknown time style '" + Style + "'");
    }
    Recordset rs;
    rs.Open(sql, sessionConnection());
    std::string result = rs.Fields("a").Value().toText();
    rs.Close();
    return result;
}

}  // namespace Palvo
