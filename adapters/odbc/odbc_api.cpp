#include "odbc_api.h"

namespace Palvo::odbc::detail {

const Api& systemApi() {
    static const Api api{
        SQLAllocHandle,    SQLFreeHandle, SQLSetEnvAttr,    SQLSetConnectAttr, SQLDriverConnect,
        SQLDriverConnectW, SQLDisconnect, SQLGetInfo,       SQLSetStmtAttr,    SQLExecDirect,
        SQLPrepare,        SQLExecute,    SQLBindParameter, SQLNumResultCols,  SQLDescribeCol,
        SQLColAttribute,   SQLFetch,      SQLGetData,       SQLRowCount,       SQLMoreResults,
        SQLEndTran,        SQLGetDiagRec, SQLGetFunctions,  SQLDescribeParam,  SQLGetConnectAttr,
        SQLBindCol,        SQLSetPos,     SQLFreeStmt,
    };
    return api;
}

}  // namespace Palvo::odbc::detail
