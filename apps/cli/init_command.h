// `palvo init`: an embedded database with the host tables, and optionally a
// believable sample of units, customers, goods and sales.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "palvo/data.h"

namespace Palvo::cli {

/// Fills an empty sample: units, rights, customers, goods and sales (a few hundred rows).
/// Does nothing when the customers table already exists. Throws Palvo::Error.
void writeSampleData(Connection& conn);

/// `palvo init --db FILE [--sample]`.
int runInit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace Palvo::cli
