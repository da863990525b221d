// The tool's own conventions: help and version on standard output with status 0,
// and a usage that names every option the commands take, and no other.
#include "usage.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/cli_run.h"

namespace Palvo::cli {
namespace {

// The options ("--word") a text names.
std::set<std::string> optionsNamed(const std::string& text) {
    std::set<std::string> names;
    const std::regex option("--[a-z][a-z-]*[a-z]");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
        names.insert(it->str());
    return names;
}

std::vector<std::string> words(const std::string& name) {
    std::vector<std::string> w;
    for (std::size_t start = 0;;) {
        const auto space = name.find(' ', start);
        w.push_back(name.substr(start, space - start));
        if (space == std::string::npos) return w;
        start = space + 1;
    }
}

TEST(Usage, HelpPrintsTheUsageOnStandardOutput) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> starts;  // the usage lines the output opens with, in order
    };
    const Case cases[] = {
        {{"--help"}, {"usage: palvo [--memory MB] COMMAND"}},
        {{"-h"}, {"usage: palvo [--memory MB] COMMAND"}},
        {{"help"}, {"usage: palvo [--memory MB] COMMAND"}},
        {{"--memory", "64", "--help"}, {"usage: palvo [--memory MB] COMMAND"}},
        {{"init", "-h"}, {"usage: palvo init "}},
        {{"report", "xlsx", "-h"}, {"usage: palvo report xlsx "}},
        {{"report", "--help"}, {"usage: palvo report pdf ", "usage: palvo report xlsx "}},
        {{"help", "report", "xlsx"}, {"usage: palvo report xlsx "}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.back());
        const Outcome r = palvo(c.args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out.rfind(c.starts.front(), 0), 0u) << r.out;
        std::size_t at = 0;
        for (std::size_t k = 1; k < c.starts.size(); ++k) {
            at = r.out.find("\n" + c.starts[k], at);
            EXPECT_NE(at, std::string::npos) << c.starts[k];
        }
    }
}

TEST(Usage, VersionPrintsOnStandardOutput) {
    EXPECT_EQ(palvo({"--version"}), (Outcome{0, std::string("palvo ") + PALVO_VERSION + "\n", ""}));
}

TEST(Usage, AnUnknownCommandOrHelpTopicIsAUsageErrorOnStandardError) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--helps"}, {"help", "nothing"}, {"report", "csv", "--help"}}) {
        const Outcome r = palvo(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("usage: palvo"), std::string::npos) << r.err;
    }
}

// Each command's usage, alone and in palvo --help, names exactly the options its
// parser takes: an option added to a command without its usage fails here.
TEST(Usage, NamesExactlyTheOptionsEachCommandTakes) {
    const std::string full = palvo({"--help"}).out;
    const std::set<std::string> fullNames = optionsNamed(full);
    for (const CommandSyntax& s : commandSyntaxes()) {
        SCOPED_TRACE(s.name);
        std::vector<std::string> args = words(s.name);
        args.emplace_back("--help");
        const Outcome r = palvo(args);
        ASSERT_EQ(r.status, 0);
        std::set<std::string> taken(s.valued.begin(), s.valued.end());
        taken.insert(s.flags.begin(), s.flags.end());
        EXPECT_EQ(optionsNamed(r.out), taken) << r.out;
        for (const std::string& option : taken) EXPECT_TRUE(fullNames.count(option)) << option;
    }
    // what comes before a command
    for (const char* option : {"--memory", "--help", "--version"})
        EXPECT_TRUE(fullNames.count(option)) << option;
}

}  // namespace
}  // namespace Palvo::cli
