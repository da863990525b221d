// The palvo command-line tool, as a function the tests can call.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "palvo/data.h"

namespace Palvo::cli {

/// Where a command's connection comes from: --db FILE (embedded) or --odbc CONNECTION.
/// The database file the tool uses when it is given none.
inline constexpr const char* kDefaultDb = "palvo.db";

struct ConnectionOptions {
    std::string db;
    std::string odbc;
};

/// Opens the connection the options name; the embedded file is created when missing.
/// Throws Palvo::Error.
std::shared_ptr<Connection> openConnection(const ConnectionOptions& options);

/// Whether a statement returns rows (a select, possibly after comments and parentheses).
bool returnsRows(const std::string& sql);

/// Runs `palvo ARGS...`; returns the exit status.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace Palvo::cli
