#include "cli.h"

#include <unistd.h>

#include <cctype>
#include <charconv>
#include <cstdint>
#include <ostream>

#include "call_command.h"
#include "init_command.h"
#include "palvo/clsForm.h"
#include "palvo/clsGrid.h"
#include "palvo/error.h"
#include "palvo/odbc/connection.h"
#include "palvo/session.h"
#include "palvo/sqlite/connection.h"
#include "report_args.h"
#include "report_command.h"
#include "report_xlsx.h"

namespace Palvo::cli {

namespace {

constexpr long kInternalError = 51;

const char* kUsage =
    "usage: palvo sql [--db FILE | --odbc CONNECTION] [--types] STATEMENT\n"
    "  runs one T-SQL statement on the embedded database FILE (default palvo.db,\n"
    "  created when missing) or over ODBC; a query prints its rows tab-separated.\n"
    "       palvo init --db FILE [--sample]\n"
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

std::string cell(const Value& v) { return v.isNull() ? "NULL" : v.toText(); }

int runSql(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ConnectionOptions options;
    bool types = false;
    std::string statement;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--db" || a == "--odbc") && i + 1 < args.size()) {
            (a == "--db" ? options.db : options.odbc) = args[++i];
        } else if (a == "--types") {
            types = true;
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
    try {
        auto conn = openConnection(options);
        if (!returnsRows(statement)) {
            out << conn->Execute(statement) << "\n";
            return 0;
        }
        Recordset rs;
        rs.Open(statement, conn, adOpenStatic, adLockReadOnly);
        const ResultTable& t = rs.table();
        for (std::size_t c = 0; c < t.columns.size(); ++c) out << (c ? "\t" : "") << t.columns[c].name;
        out << "\n";
        if (types) {
            for (std::size_t c = 0; c < t.columns.size(); ++c) out << (c ? "\t" : "") << t.columns[c].type;
            out << "\n";
        }
        for (std::size_t r = 0; r < t.rowCount(); ++r) {
            for (std::size_t c = 0; c < t.columns.size(); ++c) out << (c ? "\t" : "") << cell(t.at(r, c));
            out << "\n";
        }
        return 0;
    } catch (const Error& e) {
        err << e.description() << "\n";
        return 1;
    } catch (const std::exception& e) {
        err << e.what() << "\n";
        return 1;
    }
}

}  // namespace

int runGuarded(std::ostream& err, const std::function<int()>& body) {
    int status = 1;
    try {
        status = body();
    } catch (const Error& e) {
        err << "error " << e.number() << ": " << e.description() << "\n";
    } catch (const std::exception& e) {
        err << "error " << kInternalError << ": " << e.what() << "\n";
    }
    session().oConn.reset();
    return status;
}

bool fillReportGrid(const std::string& db, const std::string& statement, FlexGrid& grid, std::ostream& err) {
    clsForm().mInit_Var("", "", "", "", openConnection({db, ""}), "");
    const std::string filled = clsGrid().sFillTable(statement, grid, false, 0, "", true);
    session().oConn.reset();
    if (filled.empty() || filled == "0") return true;
    err << "palvo: " << filled << "\n";
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

bool returnsRows(const std::string& sql) {
    std::size_t i = 0;
    while (i < sql.size()) {
        unsigned char c = static_cast<unsigned char>(sql[i]);
        if (std::isspace(c) || c == '(') {
            ++i;
        } else if (sql.compare(i, 2, "--") == 0) {
            auto nl = sql.find('\n', i);
            i = nl == std::string::npos ? sql.size() : nl + 1;
        } else if (sql.compare(i, 2, "/*") == 0) {
            auto end = sql.find("*/", i + 2);
            i = end == std::string::npos ? sql.size() : end + 2;
        } else {
            break;
        }
    }
    std::string word;
    while (i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i]))) {
        word += static_cast<char>(std::tolower(static_cast<unsigned char>(sql[i])));
        ++i;
    }
    return word == "select" || word == "with";
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
