// Calls of system functions: NEWID, OBJECT_ID, COL_LENGTH, DB_NAME, HOST_NAME, SUSER_SNAME.
#include "rewriter.h"

namespace Palvo::dialect {

bool Rewriter::systemFunction(const std::string& fn, const Call& c, Expr& r) {
    if (fn == "newid") {
        c.requireArgs(0, 0);
        r.text = "tsql_newid()";
    } else if (fn == "object_id") {
        c.requireArgs(1, 2);
        r.text = c.forward("tsql_object_id");
    } else if (fn == "col_length") {
        c.requireArgs(2, 2);
        r.text = c.forward("tsql_col_length");
    } else if (fn == "db_name" || fn == "host_name" || fn == "suser_sname") {
        // of another database or login: the embedded database has only its own
        if (!c.parts.empty()) unsupported(upper(fn) + " with an argument");
        r.text = "tsql_" + fn + "()";
    } else {
        return false;
    }
    return true;
}

}  // namespace Palvo::dialect
