// `palvo init`: an embedded database with the host tables, and optionally a
// believable sample of units, customers, goods and sales.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace Palvo::cli {

/// `palvo init --db DATABASE [--sample] [--repair]`.
int runInit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace Palvo::cli
