// Runs the palvo tool in-process and keeps what it printed.
#pragma once

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli.h"

namespace Palvo::cli {

struct Outcome {
    int status;
    std::string out;
    std::string err;
    bool operator==(const Outcome&) const = default;
};

inline void PrintTo(const Outcome& o, std::ostream* os) {
    *os << "status " << o.status << ", out \"" << o.out << "\", err \"" << o.err << '"';
}

inline Outcome palvo(std::vector<std::string> args) {
    std::ostringstream out, err;
    int status = run(args, out, err);
    return {status, out.str(), err.str()};
}

}  // namespace Palvo::cli
