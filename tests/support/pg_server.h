// The private PostgreSQL server a test run starts (scripts/pg-cluster): its ODBC
// connection string, read from the file PALVO_PG_CONNECTION_FILE names.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>

#include "palvo/odbc/connection.h"

namespace Palvo::testing {

inline std::string pgServerConnection() {
    const char* file = std::getenv("PALVO_PG_CONNECTION_FILE");
    if (!file) return {};
    std::ifstream in(file);
    std::string text;
    std::getline(in, text);
    return text;
}

/// A database of the server's own for the running test: `prefix` and the test's name in lower case.
struct PgTestDatabase {
    std::string name;
    std::string connection;  // its ODBC string
};

/// Makes the running test's database on `server`, empty, through `admin`, which stays open to drop it after.
inline PgTestDatabase makeTestDatabase(odbc::Connection& admin, const std::string& server,
                                       const std::string& prefix) {
    PgTestDatabase d{prefix, {}};
    for (const char* c = ::testing::UnitTest::GetInstance()->current_test_info()->name(); *c; ++c)
        d.name += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    admin.setStatementTranslator({});
    admin.Open(server);
    admin.Execute("drop database if exists " + d.name + " with (force)");
    admin.Execute("create database " + d.name);
    d.connection = std::regex_replace(server, std::regex("Database=[^;]*;"), "Database=" + d.name + ";");
    return d;
}

/// Drops a database makeTestDatabase made, whoever is still connected to it.
inline void dropTestDatabase(odbc::Connection& admin, const std::string& name) {
    if (!name.empty() && admin.State()) admin.Execute("drop database if exists " + name + " with (force)");
}

}  // namespace Palvo::testing
