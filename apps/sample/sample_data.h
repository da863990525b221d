// The sample database shared by `palvo init --sample` and palvo-demo: the host
// tables and a believable sample of units, customers, goods and sales.
#pragma once

#include <memory>
#include <string>

#include "palvo/data.h"

namespace Palvo::sample {

/// The user whose saved queries the sample holds.
inline constexpr const char* kSampleUser = "张伟";

/// Fills an empty sample: units, rights, customers, goods, sales (a few hundred
/// rows), the sales view 销售查询 with two saved queries of kSampleUser, and the
/// registry rows of the customer form. Does nothing when the customers table
/// already exists. Throws Palvo::Error.
void writeSampleData(Connection& conn);

/// Opens the database (over ODBC for an ODBC connection string, else the embedded
/// file, created when missing), creates the host tables it lacks and writes the
/// sample into it. Throws Palvo::Error, also for a connection string with
/// Server= or Provider= but no Driver= or DSN=, naming no value of it.
std::shared_ptr<Connection> openSampleDatabase(const std::string& database);

}  // namespace Palvo::sample
