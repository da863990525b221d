// The connection test and the server's clock.
#pragma once

#include <string>

#include "palvo/value.h"

namespace Palvo::database {

/// True when a connection to the server and database opens; every failure is False.
bool connectTest(const std::string& sServer, const std::string& sUser, const std::string& sPass,
                 const std::string& dbName, bool bConnClose, const Value& iConnectTime,
                 const Value& iCommandTime);

/// The server's clock as text in one of the four styles; throws Palvo::Error for any other.
std::string serverTime(const std::string& Style);

}  // namespace Palvo::database
