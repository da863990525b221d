// The ODBC calls the adapter makes, as a table of function pointers, so a test
// can make any one of them fail.
#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

namespace Palvo::odbc::detail {

// The formatter alternates between two layouts of the long pointer members.
// clang-format off
struct Api {
    SQLRETURN (*allocHandle)(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output);
    SQLRETURN (*freeHandle)(SQLSMALLINT type, SQLHANDLE handle);
    SQLRETURN (*setEnvAttr)(SQLHENV env, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length);
    SQLRETURN (*setConnectAttr)(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length);
    SQLRETURN (*driverConnect)
    (SQLHDBC dbc, SQLHWND window, SQLCHAR* in, SQLSMALLINT inLength, SQLCHAR* out, SQLSMALLINT outMax,
     SQLSMALLINT* outLength, SQLUSMALLINT completion);
    SQLRETURN (*driverConnectW)
    (SQLHDBC dbc, SQLHWND window, SQLWCHAR* in, SQLSMALLINT inLength, SQLWCHAR* out, SQLSMALLINT outMax,
     SQLSMALLINT* outLength, SQLUSMALLINT completion);
    SQLRETURN (*disconnect)(SQLHDBC dbc);
    SQLRETURN (*getInfo)
    (SQLHDBC dbc, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT max, SQLSMALLINT* length);
    SQLRETURN (*setStmtAttr)(SQLHSTMT stmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length);
    SQLRETURN (*execDirect)(SQLHSTMT stmt, SQLCHAR* text, SQLINTEGER length);
    SQLRETURN (*prepare)(SQLHSTMT stmt, SQLCHAR* text, SQLINTEGER length);
    SQLRETURN (*execute)(SQLHSTMT stmt);
    SQLRETURN (*bindParameter)
    (SQLHSTMT stmt, SQLUSMALLINT number, SQLSMALLINT ioType, SQLSMALLINT cType, SQLSMALLINT sqlType,
     SQLULEN columnSize, SQLSMALLINT digits, SQLPOINTER value, SQLLEN bufferLength, SQLLEN* indicator);
    SQLRETURN (*numResultCols)(SQLHSTMT stmt, SQLSMALLINT* count);
    SQLRETURN (*describeCol)
    (SQLHSTMT stmt, SQLUSMALLINT column, SQLCHAR* name, SQLSMALLINT nameMax, SQLSMALLINT* nameLength,
     SQLSMALLINT* sqlType, SQLULEN* size, SQLSMALLINT* digits, SQLSMALLINT* nullable);
    SQLRETURN (*colAttribute)
    (SQLHSTMT stmt, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text, SQLSMALLINT textMax,
     SQLSMALLINT* textLength, SQLLEN* number);
    SQLRETURN (*fetch)(SQLHSTMT stmt);
    SQLRETURN (*getData)
    (SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER value, SQLLEN max, SQLLEN* indicator);
    SQLRETURN (*rowCount)(SQLHSTMT stmt, SQLLEN* count);
    SQLRETURN (*moreResults)(SQLHSTMT stmt);
    SQLRETURN (*endTran)(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT completion);
    SQLRETURN (*getDiagRec)
    (SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLCHAR* state, SQLINTEGER* native,
     SQLCHAR* message, SQLSMALLINT messageMax, SQLSMALLINT* messageLength);
    SQLRETURN (*getFunctions)(SQLHDBC dbc, SQLUSMALLINT function, SQLUSMALLINT* supported);
    SQLRETURN (*describeParam)
    (SQLHSTMT stmt, SQLUSMALLINT number, SQLSMALLINT* sqlType, SQLULEN* size, SQLSMALLINT* digits,
     SQLSMALLINT* nullable);
    SQLRETURN (*getConnectAttr)
    (SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER max, SQLINTEGER* length);
    SQLRETURN (*bindCol)
    (SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER value, SQLLEN max, SQLLEN* indicator);
    SQLRETURN (*setPos)(SQLHSTMT stmt, SQLSETPOSIROW row, SQLUSMALLINT operation, SQLUSMALLINT lock);
    SQLRETURN (*freeStmt)(SQLHSTMT stmt, SQLUSMALLINT option);
};
// clang-format on

/// The driver manager's own functions.
const Api& systemApi();

}  // namespace Palvo::odbc::detail
