// The command line the report commands share: `palvo report KIND`, options
// that take a value, flags, and one statement.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace Palvo::cli {

struct ReportArgs {
    std::map<std::string, std::vector<std::string>> values;  // each option's values, in order
    std::vector<std::string> flags;
    std::string statement;

    bool has(const std::string& option) const { return values.count(option) > 0; }
    bool flag(const std::string& name) const {
        return std::find(flags.begin(), flags.end(), name) != flags.end();
    }
    /// The option's last value ("" when it was not given): a repeated option takes the last.
    std::string last(const std::string& option) const {
        const auto it = values.find(option);
        return it == values.end() ? std::string() : it->second.back();
    }
};

// "--x" is an option; "-- comment\nselect ..." is a statement that starts with a comment.
inline bool looksLikeOption(const std::string& a) {
    return a.size() > 2 && a.rfind("--", 0) == 0 && a.find_first_of(" \t\r\n") == std::string::npos;
}

/// False for another kind, an unknown option, an option without its value or
/// a second statement.
inline bool parseReportArgs(const std::vector<std::string>& args, const std::string& kind,
                            const std::vector<std::string>& valued, const std::vector<std::string>& flags,
                            ReportArgs& out) {
    if (args.size() < 2 || args[1] != kind) return false;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool takesValue = std::find(valued.begin(), valued.end(), a) != valued.end();
        if (takesValue && i + 1 < args.size()) {
            out.values[a].push_back(args[++i]);
        } else if (std::find(flags.begin(), flags.end(), a) != flags.end()) {
            out.flags.push_back(a);
        } else if (out.statement.empty() && !takesValue && !looksLikeOption(a)) {
            out.statement = a;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace Palvo::cli
