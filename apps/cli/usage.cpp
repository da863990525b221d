#include "usage.h"

#include <algorithm>
#include <stdexcept>

namespace Palvo::cli {

namespace {

// What --db takes; --odbc, where the command has it, is the same.
std::string dbNote(const CommandSyntax& s) {
    const bool odbc = std::find(s.valued.begin(), s.valued.end(), "--odbc") != s.valued.end();
    return std::string(
               "  --db DATABASE is a database file, an SQLite connection string, such as\n"
               "  \"Data Source=shop.db;Journal Mode=Delete\" for a file on a network share, or an\n"
               "  ODBC connection string (Driver=..., DSN=...), such as \"Driver={PostgreSQL Unicode};\n"
               "  Server=HOST;Port=5432;Database=shop;Uid=USER;Pwd=PASSWORD\"; no message shows it.\n") +
           (odbc ? "  --odbc CONNECTION is the same as --db CONNECTION.\n" : "");
}

}  // namespace

const std::vector<CommandSyntax>& commandSyntaxes() {
    static const std::vector<CommandSyntax> syntaxes = {
        {"sql",
         {"--db", "--odbc", "--param", "--file"},
         {"--types", "--csv"},
         "palvo sql [--db DATABASE | --odbc CONNECTION] [--types] [--csv] [--param NAME=[TYPE:]VALUE]...\n"
         "          STATEMENT\n"
         "palvo sql [--db DATABASE | --odbc CONNECTION] [--types] [--csv] --file SCRIPT\n"
         "  runs one T-SQL statement or batch on the embedded database file (default palvo.db,\n"
         "  created when missing) or over ODBC; --file runs the batches of SCRIPT in turn,\n"
         "  a line holding GO alone ending each, and stops at the first that fails, naming\n"
         "  the line it starts on. A query prints a line of column names and\n"
         "  a line per row, tab-separated; Null is \\N, and inside a name or value a\n"
         "  backslash is \\\\, a tab \\t, a newline \\n, a carriage return \\r, a backspace \\b,\n"
         "  a form feed \\f, a vertical tab \\v and any other control character \\xHH.\n"
         "  --csv prints RFC 4180 CSV instead: lines end with CRLF, Null is an empty field,\n"
         "  an empty text \"\". --types adds a line of ADO type numbers after the names.\n"
         "  Other statements print the number of rows affected. A batch (several statements,\n"
         "  DECLARE, SET, IF, WHILE, PRINT, ...) prints each result set, a blank line between\n"
         "  two; PRINT's texts, RAISERROR's of severity 10 or less and \"(n 行受影响)\" for each\n"
         "  statement (none after SET NOCOUNT ON) go to standard error. A batch that went on\n"
         "  after an error (a duplicate key ends only its statement) still fails with the first one.\n"
         "  --param binds a value: to each @NAME of the statement (@@ names aside), else to the\n"
         "  statement's ? in the order the --param options are given; it never becomes SQL text.\n"
         "  TYPE is int, decimal, float, datetime (YYYY-MM-DD[ HH:MM[:SS[.fff]]]), bit (0 or 1),\n"
         "  text, or null (no VALUE); without a TYPE the value is text. A value that does not\n"
         "  read as its type, a @NAME no --param gives and a --param no @NAME takes are refused\n"
         "  before the statement runs. Without --param, @NAMEs are the batch's own variables.\n"},
        {"init",
         {"--db"},
         {"--sample", "--repair"},
         "palvo init --db DATABASE [--sample] [--repair]\n"
         "  creates the host tables (created when missing; in a database file also completed\n"
         "  when an earlier run left them partly made); --sample adds a sample of units,\n"
         "  customers, goods and sales.\n"
         "  Settings sets that hold a column more than once are listed and the exit status\n"
         "  is 1; --repair keeps the first row of each. Rows of a database file that break a\n"
         "  declared foreign key are listed as warnings on standard error; they do not change\n"
         "  the exit status.\n"
         "  Texts of the database print quoted, a quote inside doubled, with the escapes of sql.\n"},
        {"call",
         {"--db", "--odbc", "--unit", "--user", "--script"},
         {"--sandboxed", "--list"},
         "palvo call [--db DATABASE | --odbc CONNECTION] [--unit CODE] [--user NAME] [--script FILE]\n"
         "                  [--sandboxed] CLASS.METHOD [ARG...]\n"
         "  calls one library method by name; omitted trailing arguments take their defaults.\n"
         "  Prints the result, then NAME=VALUE for each by-reference argument the method changed.\n"
         "  Without --db or --odbc, palvo.db is used when it exists; a database file must exist.\n"
         "  The windows the method opens play the actions of the --script file, one a line;\n"
         "  without it they close at once.\n"
         "  Lines of bExecuteCode run for at most 3 s in 256 MB, with every right of the tool,\n"
         "  or with --sandboxed computation only (no os, io, require or debug), in a process\n"
         "  of its own that is killed when a line outruns its time. With every right a system\n"
         "  command, reading input, a long library call or a finalizer is not cut short.\n"
         "       palvo call --list\n"
         "  lists the methods that can be called.\n"},
        {"report pdf",
         {"--db", "--title", "--top", "--bottom", "--paper", "--out", "--page-totals", "--offset"},
         {"--landscape"},
         "palvo report pdf --db DATABASE --title TITLE [--top TEXT] [--bottom TEXT]\n"
         "                        [--paper A4|B5|10x11] [--landscape] [--page-totals COLUMNS]\n"
         "                        [--offset X,Y] --out FILE.pdf STATEMENT\n"
         "  prints the rows of a query as a paged report (running numbers in the first column)\n"
         "  into a PDF file; messages print as [TITLE] TEXT, and the exit status is 1 when the\n"
         "  report did not print (FILE.pdf is then as it was). A database file must exist, and\n"
         "  --out may be neither that file nor its -wal, -shm or -journal file.\n"
         "  --page-totals 金额,数量  ends every page with 本页小计 and 累计 of those columns\n"
         "  --offset X,Y  moves everything printed X mm right and Y mm down (negative: left, up)\n"},
        {"report xlsx",
         {"--db", "--title", "--top", "--bottom", "--heading", "--merge", "--out"},
         {"--landscape"},
         "palvo report xlsx --db DATABASE --title TITLE [--top TEXT] [--bottom TEXT]\n"
         "                         [--landscape] [--heading CELLS]... [--merge ITEMS]\n"
         "                         --out FILE.xlsx STATEMENT\n"
         "  writes the rows of a query (running numbers in the first column) as a spreadsheet\n"
         "  report; each --heading adds a heading row above the column titles, one comma-separated\n"
         "  cell per column; --merge merges more cells: \"(row1,col1):(row2,col2);...\" in grid rows.\n"
         "  FILE.xlsx is written only when the report shows no message; exit status 1 otherwise.\n"
         "  A database file must exist, and --out may be neither that file nor its -wal, -shm\n"
         "  or -journal file.\n"},
    };
    return syntaxes;
}

const CommandSyntax& syntaxOf(std::string_view name) {
    for (const CommandSyntax& s : commandSyntaxes())
        if (s.name == name) return s;
    throw std::out_of_range("no palvo command " + std::string(name));
}

std::string usageOf(std::string_view name) {
    const CommandSyntax& s = syntaxOf(name);
    return "usage: " + s.usage + dbNote(s);
}

std::string fullUsage() {
    std::string text = "usage: palvo [--memory MB] COMMAND [OPTION...] [ARGUMENT...]\n";
    for (const CommandSyntax& s : commandSyntaxes()) text += "       " + s.usage;
    return text +
           "--db DATABASE is a database file, an SQLite connection string, such as\n"
           "\"Data Source=shop.db;Journal Mode=Delete\" for a file on a network share, or an ODBC\n"
           "connection string (Driver=..., DSN=...), which no message shows; --odbc CONNECTION,\n"
           "where a command takes it, is the same as --db CONNECTION.\n" +
           "--memory MB, before the command, bounds the embedded database's memory (default: half\n"
           "the machine's memory; 0: no bound).\n"
           "palvo --help (-h, help) prints this text, palvo COMMAND --help (report pdf --help) the\n"
           "command's, palvo --version the tool's version.\n";
}

std::string_view toolVersion() { return PALVO_VERSION; }

}  // namespace Palvo::cli
