#include "palvo/session.h"

#include "palvo/error.h"

namespace Palvo {

SessionContext& session() {
    thread_local SessionContext ctx;
    return ctx;
}

Connection& sessionConnection() {
    auto& conn = session().oConn;
    if (!conn)
        throw Error(ErrorNumber::ObjectRequired, "Object required: no connection was given to mInit_Var.");
    return *conn;
}

}  // namespace Palvo
