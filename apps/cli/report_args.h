// The command lines the commands share: options that take a value, flags,
// and one statement (or, for call, the words after the options).
#pragma once

#include <algorithm>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "usage.h"

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

/// How the words after the options are read.
enum class Rest {
    Statement,  // at most one word that is no option, anywhere among them
    Words,      // the first word that is no option (or the one after "--") ends the options
};

/// Reads args[first...] with the options of `syntax` and no others. Gives the
/// index of the first word after the options (args.size() with Rest::Statement),
/// or args.size() + 1 for an unknown option, an option without its value or a
/// second statement.
inline std::size_t parseOptions(const std::vector<std::string>& args, std::size_t first,
                                const CommandSyntax& syntax, Rest rest, ReportArgs& out) {
    const std::size_t bad = args.size() + 1;
    const auto in = [](const std::vector<std::string>& list, const std::string& a) {
        return std::find(list.begin(), list.end(), a) != list.end();
    };
    for (std::size_t i = first; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool takesValue = in(syntax.valued, a);
        if (takesValue && i + 1 < args.size()) {
            out.values[a].push_back(args[++i]);
        } else if (in(syntax.flags, a)) {
            out.flags.push_back(a);
        } else if (rest == Rest::Words && a == "--") {
            return i + 1;
        } else if (takesValue || (rest == Rest::Words ? a.rfind("--", 0) == 0 : looksLikeOption(a))) {
            return bad;
        } else if (rest == Rest::Words) {
            return i;
        } else if (out.statement.empty()) {
            out.statement = a;
        } else {
            return bad;
        }
    }
    return args.size();
}

/// False for another kind, an unknown option, an option without its value or
/// a second statement.
inline bool parseReportArgs(const std::vector<std::string>& args, const std::string& kind,
                            const CommandSyntax& syntax, ReportArgs& out) {
    if (args.size() < 2 || args[1] != kind) return false;
    return parseOptions(args, 2, syntax, Rest::Statement, out) == args.size();
}

}  // namespace Palvo::cli
