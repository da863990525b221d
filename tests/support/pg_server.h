// The private PostgreSQL server a test run starts (scripts/pg-cluster): its ODBC
// connection string, read from the file PALVO_PG_CONNECTION_FILE names.
#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

namespace Palvo::testing {

inline std::string pgServerConnection() {
    const char* file = std::getenv("PALVO_PG_CONNECTION_FILE");
    if (!file) return {};
    std::ifstream in(file);
    std::string text;
    std::getline(in, text);
    return text;
}

}  // namespace Palvo::testing
