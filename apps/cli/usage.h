// What each command of the palvo tool takes, and the usage text that says so.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Palvo::cli {

struct CommandSyntax {
    std::string name;                 // "sql", "report pdf"
    std::vector<std::string> valued;  // options that take a value
    std::vector<std::string> flags;   // options that take none
    std::string usage;                // its usage, from "palvo NAME" on
};

/// Every command, in the order the full usage shows them. The parsers take
/// exactly these options.
const std::vector<CommandSyntax>& commandSyntaxes();

/// The command named `name` ("report pdf"); throws std::out_of_range for another name.
const CommandSyntax& syntaxOf(std::string_view name);

/// "usage: " and the command's usage, with the note on what --db takes.
std::string usageOf(std::string_view name);

/// palvo --help: every command's usage and the options before a command.
std::string fullUsage();

/// The version of the tool, the project's.
std::string_view toolVersion();

}  // namespace Palvo::cli
