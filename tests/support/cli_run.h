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

/// The command line of `palvo report KIND` on `db`, titled, into `out`: the options, then the statement.
inline std::vector<std::string> reportArgs(const std::string& kind, const std::string& db,
                                           const std::string& title, const std::string& out,
                                           const std::string& statement,
                                           const std::vector<std::string>& options = {}) {
    std::vector<std::string> args = {"report", kind, "--db", db, "--title", title, "--out", out};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(statement);
    return args;
}

}  // namespace Palvo::cli
