#include "cli.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdint>
#include <iterator>
#include <ostream>
#include <system_error>

#include "call_command.h"
#include "init_command.h"
#include "palvo/atomic_file.h"
#include "palvo/clsForm.h"
#include "palvo/clsGrid.h"
#include "palvo/error.h"
#include "palvo/odbc/connection.h"
#include "palvo/session.h"
#include "palvo/spooled_grid.h"
#include "palvo/sqlite/connection.h"
#include "report_args.h"
#include "report_command.h"
#include "report_xlsx.h"
#include "sql_output.h"

namespace Palvo::cli {

namespace {

const char* kUsage =
    "usage: palvo sql [--db FILE | --odbc CONNECTION] [--types] [--csv] STATEMENT\n"
    "  runs one T-SQL statement on the embedded database FILE (default palvo.db,\n"
    "  created when missing) or over ODBC. A query prints a line of column names and\n"
    "  a line per row, tab-separated; Null is \\N, and inside a name or value a\n"
    "  backslash is \\\\, a tab \\t, a newline \\n, a carriage return \\r, a backspace \\b,\n"
    "  a form feed \\f, a vertical tab \\v and any other control character \\xHH.\n"
    "  --csv prints RFC 4180 CSV instead: lines end with CRLF, Null is an empty field,\n"
    "  an empty text \"\". --types adds a line of ADO type numbers after the names.\n"
    "  Other statements print the number of rows affected.\n"
    "       palvo init --db FILE [--sample] [--repair]\n"
    "  creates the host tables (and a sample of units, customers, goods and sales).\n"
    "       palvo call [--db FILE | --odbc CONNECTION] [--unit CODE] [--user NAME] [--script FILE]\n"
    "                  [--sandboxed] CLASS.METHOD [ARG...]\n"
    "  calls one library method by name (palvo call --list shows them).\n"
    "       palvo report pdf --db FILE --title TITLE [--top TEXT] [--bottom TEXT]\n"
    "                        [--paper A4|B5|10x11] [--landscape] --out FILE.pdf STATEMENT\n"
    "  prints the rows of a query as a paged report into a PDF file.\n"
    "       palvo report xlsx --db FILE --title TITLE [--top TEXT] [--bottom TEXT] [--landscape]\n"
    "                         [--heading CELLS]... [--merge ITEMS] --out FILE.xlsx STATEMENT\n"
    "  writes the rows of a query as a spreadsheet report.\n"
    "Before the command, --memory MB bounds the embedded database's memory (default: half the\n"
    "machine's memory; 0: no bound).\n";

int runSql(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ConnectionOptions options;
    bool types = false;
    SqlFormat format = SqlFormat::Text;
    std::string statement;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--db" || a == "--odbc") && i + 1 < args.size()) {
            (a == "--db" ? options.db : options.odbc) = args[++i];
        } else if (a == "--types") {
            types = true;
        } else if (a == "--csv") {
            format = SqlFormat::Csv;
        } else if (statement.empty() && !looksLikeOption(a)) {
            statement = a;
        } else {
            err << kUsage;
            return 2;
        }
    }
    if (statement.empty() || (!options.db.empty() && !options.odbc.empty())) {
        err << kUsage;
        return 2;
    }
    return runGuarded(err, [&] {
        auto conn = openConnection(options);
        if (!returnsRows(statement)) {
            out << conn->Execute(statement) << "\n";
            return 0;
        }
        Recordset rs;
        rs.Open(statement, conn, adOpenStatic, adLockReadOnly);
        writeRows(out, rs.table(), format, types);
        return 0;
    });
}

constexpr int kCleanedSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Runs once, reset to the default on entry: the signal raised again ends the
// process when the handler returns, as it would have without it.
extern "C" void removeFilesAndEnd(int signal) {
    removeUncommittedFiles();
    std::raise(signal);
}

}  // namespace

std::string refusedFiles(const std::string& db, const std::string& out) {
    struct stat data {};
    if (::stat(db.c_str(), &data) != 0) {
        const int error = errno;
        if (error == ENOENT)
            return "palvo: the database " + db + " does not exist (palvo init --db creates one)";
        return "palvo: cannot use the database " + db + ": " +
               std::error_code(error, std::generic_category()).message();
    }
    struct stat output {};
    if (!out.empty() && ::stat(out.c_str(), &output) == 0 && output.st_dev == data.st_dev &&
        output.st_ino == data.st_ino) {
        return "palvo: --out " + out + " is the database " + db + "; the report would replace it";
    }
    return "";
}

struct SignalCleanup::Saved {
    struct sigaction before[std::size(kCleanedSignals)];
};

SignalCleanup::SignalCleanup() : saved_(std::make_unique<Saved>()) {
    struct sigaction action {};
    action.sa_handler = removeFilesAndEnd;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kCleanedSignals); ++i) {
        ::sigaction(kCleanedSignals[i], &action, &saved_->before[i]);
        // a signal the process was started to ignore (nohup, a background job) stays ignored
        if (saved_->before[i].sa_handler == SIG_IGN)
            ::sigaction(kCleanedSignals[i], &saved_->before[i], nullptr);
    }
}

SignalCleanup::~SignalCleanup() {
    for (std::size_t i = 0; i < std::size(kCleanedSignals); ++i)
        ::sigaction(kCleanedSignals[i], &saved_->before[i], nullptr);
}

void printFailure(std::ostream& err, std::string_view description) {
    err << "palvo: " << description << "\n";
}

int runGuarded(std::ostream& err, const std::function<int()>& body) {
    int status = 1;
    try {
        status = body();
    } catch (const Error& e) {
        printFailure(err, e.description());
    } catch (const std::exception& e) {
        printFailure(err, e.what());
    }
    session().oConn.reset();
    return status;
}

bool fillReportGrid(const std::string& db, const std::string& statement, SpooledGrid& grid, std::ostream& err,
                    bool fitWidths) {
    clsForm().mInit_Var("", "", "", "", openConnection({db, ""}), "");
    const std::string filled = sFillSpooled(*session().oConn, statement, grid, fitWidths);
    session().oConn.reset();
    if (filled.empty() || filled == "0") return true;
    printFailure(err, filled);
    return false;
}

std::shared_ptr<Connection> openConnection(const ConnectionOptions& options) {
    std::shared_ptr<Connection> conn;
    if (!options.odbc.empty()) {
        conn = std::make_shared<odbc::Connection>();
        conn->Open(options.odbc);
    } else {
        conn = std::make_shared<sqlite::Connection>();
        conn->Open(options.db.empty() ? kDefaultDb : options.db);
    }
    return conn;
}

namespace {

bool isWordByte(char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return std::isalnum(c) || c == '_' || c == '@' || c == '#' || c == '$' || c >= 0x80;
}

// Where a comment, a quoted text or a bracketed name starting at i ends; i when none starts there.
std::size_t skipQuoted(const std::string& sql, std::size_t i) {
    if (sql.compare(i, 2, "--") == 0) {
        const auto nl = sql.find('\n', i);
        return nl == std::string::npos ? sql.size() : nl + 1;
    }
    if (sql.compare(i, 2, "/*") == 0) {  // T-SQL comments nest
        int depth = 0;
        for (; i < sql.size(); ++i) {
            if (sql.compare(i, 2, "/*") == 0) {
                ++depth, ++i;
            } else if (sql.compare(i, 2, "*/") == 0) {
                if (--depth == 0) return i + 2;
                ++i;
            }
        }
        return sql.size();
    }
    const char open = sql[i];
    if (open != '\'' && open != '"' && open != '[') return i;
    const char close = open == '[' ? ']' : open;
    for (std::size_t j = i + 1; j < sql.size(); ++j) {
        if (sql[j] != close) continue;
        if (j + 1 < sql.size() && sql[j + 1] == close) {
            ++j;  // doubled: part of the text
            continue;
        }
        return j + 1;
    }
    return sql.size();
}

}  // namespace

bool returnsRows(const std::string& sql) {
    std::size_t i = 0;
    while (i < sql.size()) {
        if (std::isspace(static_cast<unsigned char>(sql[i])) || sql[i] == '(') {
            ++i;
        } else if (sql.compare(i, 2, "--") == 0 || sql.compare(i, 2, "/*") == 0) {
            i = skipQuoted(sql, i);
        } else {
            break;
        }
    }
    std::string word;
    while (i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i]))) {
        word += static_cast<char>(std::tolower(static_cast<unsigned char>(sql[i])));
        ++i;
    }
    if (word != "with") return word == "select";
    // after the common table expressions, the statement that uses them: the first such
    // word outside their parentheses (with ... insert into ... runs and counts its rows)
    for (int depth = 0; i < sql.size();) {
        if (const std::size_t end = skipQuoted(sql, i); end != i) {
            i = end;
        } else if (sql[i] == '(' || sql[i] == ')') {
            depth += sql[i] == '(' ? 1 : (depth > 0 ? -1 : 0);
            ++i;
        } else if (isWordByte(sql[i])) {
            std::string w;
            for (; i < sql.size() && isWordByte(sql[i]); ++i)
                w += static_cast<char>(std::tolower(static_cast<unsigned char>(sql[i])));
            if (depth == 0 &&
                (w == "select" || w == "insert" || w == "update" || w == "delete" || w == "merge"))
                return w == "select";
        } else {
            ++i;
        }
    }
    return false;
}

// Half the machine's memory: a runaway query fails before it takes the machine.
std::uint64_t defaultMemoryBound() {
    const long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGESIZE);
    return pages > 0 && size > 0 ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(size) / 2
                                 : 0;
}

int run(const std::vector<std::string>& commandLine, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args = commandLine;
    std::uint64_t memoryBound = defaultMemoryBound();
    if (!args.empty() && args[0] == "--memory") {
        std::uint64_t mb = 0;
        const std::string text = args.size() > 1 ? args[1] : "";
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), mb);
        if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
            mb > (UINT64_MAX >> 20)) {
            err << "palvo: --memory wants a number of megabytes\n" << kUsage;
            return 2;
        }
        memoryBound = mb << 20;
        args.erase(args.begin(), args.begin() + 2);
    }
    sqlite::setMemoryLimit(memoryBound);
    if (args.empty()) {
        err << kUsage;
        return 2;
    }
    if (args[0] == "sql") return runSql(args, out, err);
    if (args[0] == "init") return runInit(args, out, err);
    if (args[0] == "call") return runCall(args, out, err);
    if (args[0] == "report" && args.size() > 1 && args[1] == "xlsx") return runReportXlsx(args, out, err);
    if (args[0] == "report") return runReport(args, out, err);
    err << "palvo: unknown command '" << args[0] << "'\n" << kUsage;
    return 2;
}

}  // namespace Palvo::cli
