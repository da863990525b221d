#include "cli.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <system_error>

#include "call_command.h"
#include "init_command.h"
#include "palvo/atomic_file.h"
#include "palvo/clsForm.h"
#include "palvo/clsGrid.h"
#include "palvo/dialect/batch.h"
#include "palvo/error.h"
#include "palvo/odbc/connection.h"
#include "palvo/session.h"
#include "palvo/spooled_grid.h"
#include "palvo/sqlite/connection.h"
#include "palvo/text.h"
#include "report_args.h"
#include "report_command.h"
#include "report_xlsx.h"
#include "sql_output.h"
#include "sql_params.h"
#include "usage.h"

namespace Palvo::cli {

namespace fs = std::filesystem;

namespace {

// Runs one statement or batch, printing what it gives.
void runText(Connection& conn, const BoundStatement& bound, SqlFormat format, bool types, std::ostream& out) {
    const std::string& statement = bound.sql;
    if (dialect::isBatch(statement)) {
        // each result set, a blank line between them; PRINT and the counts SET NOCOUNT leaves are messages
        Recordset rs;
        rs.OpenWith(statement, conn, bound.values, adOpenStatic, adLockReadOnly);
        if (rs.table().columns.empty()) return;
        for (bool first = true; rs.State() == adStateOpen; rs = rs.NextRecordset(), first = false) {
            if (!first) out << (format == SqlFormat::Csv ? "\r\n" : "\n");
            writeRows(out, rs.table(), format, types);
        }
        return;
    }
    if (!returnsRows(statement) || dialect::selectsInto(statement) || dialect::outputsInto(statement)) {
        out << conn.ExecuteWith(statement, bound.values) << "\n";
        return;
    }
    Recordset rs;
    rs.OpenWith(statement, conn, bound.values, adOpenStatic, adLockReadOnly);
    writeRows(out, rs.table(), format, types);
}

int runSql(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ReportArgs r;
    if (parseOptions(args, 1, syntaxOf("sql"), Rest::Statement, r) != args.size() ||
        r.statement.empty() == !r.has("--file") || (r.has("--db") && r.has("--odbc")) ||
        (r.has("--file") && r.has("--param"))) {
        err << usageOf("sql");
        return 2;
    }
    const ConnectionOptions options{r.last("--db"), r.last("--odbc")};
    const bool types = r.flag("--types");
    const SqlFormat format = r.flag("--csv") ? SqlFormat::Csv : SqlFormat::Text;
    const auto given = r.values.find("--param");
    return runGuarded(err, [&] {
        // the script is read before anything opens: one that cannot be read changes nothing
        const std::vector<ScriptBatch> batches =
            r.has("--file") ? readSqlScript(r.last("--file")) : std::vector<ScriptBatch>{};
        // the values are read before anything opens: a wrong one changes nothing; without
        // any, the statement's @names are its own variables
        const BoundStatement bound = given == r.values.end() ? BoundStatement{r.statement, {}}
                                                             : bindParams(r.statement, given->second);
        auto conn = openConnection(options);
        conn->OnInfoMessage([&err](const Connection::InfoMessage& m) {
            if (m.rows >= 0)
                err << "(" << m.rows << " 行受影响)\n";
            else
                err << m.text << "\n";
        });
        if (!r.has("--file")) {
            runText(*conn, bound, format, types, out);
            return 0;
        }
        for (const ScriptBatch& b : batches) {
            if (dialect::statementCount(b.text) == 0) continue;  // comments only
            try {
                runText(*conn, BoundStatement{b.text, {}}, format, types, out);
            } catch (const Error& e) {
                throw Error(e.number(), "第 " + std::to_string(b.line) + " 行起的批处理: " + e.description(),
                            e.nativeCode());
            }
        }
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

namespace {

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

bool isOdbcConnection(const std::string& db) { return odbc::namesOdbcDriver(db); }

std::string refusedConnection(const std::string& db) {
    const std::string key = odbc::connectionTarget(db);
    if (key.empty() || isOdbcConnection(db)) return "";
    // the string itself is not echoed: it may hold a password
    return "--db takes a database file, an SQLite connection string (\"Data Source=FILE\") or an ODBC "
           "connection string (Driver=..., DSN=...), and a connection string with " +
           key + "= names no ODBC driver or data source";
}

std::string refusedFiles(const std::string& db, const std::string& out) {
    if (const std::string refused = refusedConnection(db); !refused.empty()) return "palvo: " + refused;
    if (isOdbcConnection(db)) return "";  // the server's database: no file of ours to check
    std::string path;
    try {
        path = sqlite::databaseFile(db);
    } catch (const Error& e) {
        return "palvo: " + e.description();
    }
    struct stat data {};
    if (::stat(path.c_str(), &data) != 0) {
        const int error = errno;
        if (error == ENOENT)
            return "palvo: the database " + path + " does not exist (palvo init --db creates one)";
        return "palvo: cannot use the database " + path + ": " +
               std::error_code(error, std::generic_category()).message();
    }
    if (out.empty()) return "";
    struct stat output {};
    const bool outExists = ::stat(out.c_str(), &output) == 0;
    if (outExists && sameFile(output, data))
        return "palvo: --out " + out + " is the database " + path + "; the report would replace it";
    // SQLite keeps a journal beside the file: by the name given, or by the link's target
    std::error_code ec;
    const fs::path given = fs::absolute(path, ec);
    const fs::path real = fs::canonical(path, ec);
    const fs::path outName = fs::weakly_canonical(fs::absolute(out, ec), ec);
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        for (const fs::path& base : {given, real}) {
            if (base.empty()) continue;
            const fs::path companion = base.string() + suffix;
            struct stat c {};
            const bool byFile = outExists && ::stat(companion.c_str(), &c) == 0 && sameFile(output, c);
            const bool byName =
                !outName.empty() && (outName == companion || outName == fs::weakly_canonical(companion, ec));
            if (byFile || byName)
                return "palvo: --out " + out + " is the " + suffix + " file of the database " + path +
                       ", which holds its latest changes; the report would destroy them";
        }
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
    const std::string filled = fillSpooledGrid(*session().oConn, statement, grid, fitWidths);
    session().oConn.reset();
    if (filled.empty() || filled == "0") return true;
    printFailure(err, filled);
    return false;
}

std::shared_ptr<Connection> openConnection(const ConnectionOptions& options) {
    // a Server= or Provider= string read as an SQLite one would name a new, empty file
    if (const std::string refused = refusedConnection(options.db); !refused.empty())
        throw Error(ErrorNumber::ConnectionFailed, refused);
    std::shared_ptr<Connection> conn;
    if (!options.odbc.empty() || isOdbcConnection(options.db)) {
        conn = std::make_shared<odbc::Connection>();
        conn->Open(options.odbc.empty() ? options.db : options.odbc);
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

}  // namespace

std::vector<ScriptBatch> splitSqlScript(const std::string& script) {
    std::vector<ScriptBatch> batches;
    ScriptBatch current{"", 1};
    std::size_t line = 1;
    bool blank = true;
    for (std::size_t at = 0; at < script.size();) {
        std::size_t end = script.find('\n', at);
        if (end == std::string::npos) end = script.size();
        const std::string text = script.substr(at, end - at);
        std::string word;
        for (char c : text) {
            if (c != ' ' && c != '\t' && c != '\r')
                word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (word == "go") {
            if (!blank) batches.push_back(std::move(current));
            current = ScriptBatch{"", line + 1};
            blank = true;
        } else {
            if (blank && word.empty()) {
                current.line = line + 1;  // a batch starts at its first line that holds something
            } else {
                current.text += text + "\n";
                blank = false;
            }
        }
        at = end + 1;
        ++line;
    }
    if (!blank) batches.push_back(std::move(current));
    return batches;
}

std::vector<ScriptBatch> readSqlScript(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("Cannot read the script " + path + ": " + std::strerror(errno) + ".");
    std::string script((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw std::runtime_error("Cannot read the script " + path + ".");
    return splitSqlScript(script);
}

bool returnsRows(const std::string& sql) {
    std::size_t i = 0;
    while (i < sql.size()) {
        if (std::isspace(static_cast<unsigned char>(sql[i])) || sql[i] == '(') {
            ++i;
        } else if (sql.compare(i, 2, "--") == 0 || sql.compare(i, 2, "/*") == 0) {
            i = base::skipSqlQuoted(sql, i);
        } else {
            break;
        }
    }
    std::string word;
    while (i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i]))) {
        word += static_cast<char>(std::tolower(static_cast<unsigned char>(sql[i])));
        ++i;
    }
    if (word == "select") return true;
    const auto changes = [](const std::string& w) {
        return w == "insert" || w == "update" || w == "delete" || w == "merge";
    };
    if (word != "with" && !changes(word)) return false;
    // after the common table expressions, the statement that uses them: the first such
    // word outside their parentheses (with ... insert into ... runs and counts its rows);
    // a statement that changes rows returns them with OUTPUT
    bool changing = changes(word);
    for (int depth = 0; i < sql.size();) {
        if (const std::size_t end = base::skipSqlQuoted(sql, i); end != i) {
            i = end;
        } else if (sql[i] == '(' || sql[i] == ')') {
            depth += sql[i] == '(' ? 1 : (depth > 0 ? -1 : 0);
            ++i;
        } else if (isWordByte(sql[i])) {
            std::string w;
            for (; i < sql.size() && isWordByte(sql[i]); ++i)
                w += static_cast<char>(std::tolower(static_cast<unsigned char>(sql[i])));
            if (depth == 0 && changing && w == "output") return true;
            if (depth == 0 && !changing && w == "select") return true;
            if (depth == 0 && !changing && changes(w)) changing = true;
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

namespace {

bool isHelp(const std::string& a) { return a == "--help" || a == "-h"; }

// The help `palvo --help`, `palvo help [COMMAND]` or `palvo COMMAND --help` asks for.
struct Help {
    std::string topic;  // "" for the whole tool
    std::string usage;  // "" for a topic that is no command
};

std::optional<Help> helpAsked(const std::vector<std::string>& args) {
    std::string topic;
    if (isHelp(args[0]) || args[0] == "help") {
        for (std::size_t i = 1; i < args.size(); ++i) topic += (i > 1 ? " " : "") + args[i];
    } else if (args.size() >= 2 && isHelp(args[1])) {
        topic = args[0];
    } else if (args[0] == "report" && args.size() >= 3 && isHelp(args[2])) {
        topic = "report " + args[1];
    } else {
        return std::nullopt;
    }
    if (topic.empty()) return Help{topic, fullUsage()};
    if (topic == "report") return Help{topic, usageOf("report pdf") + usageOf("report xlsx")};
    for (const CommandSyntax& s : commandSyntaxes())
        if (s.name == topic) return Help{topic, usageOf(topic)};
    return Help{topic, ""};
}

}  // namespace

int run(const std::vector<std::string>& commandLine, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args = commandLine;
    std::uint64_t memoryBound = defaultMemoryBound();
    if (!args.empty() && args[0] == "--memory") {
        std::uint64_t mb = 0;
        const std::string text = args.size() > 1 ? args[1] : "";
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), mb);
        if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
            mb > (UINT64_MAX >> 20)) {
            err << "palvo: --memory wants a number of megabytes\n" << fullUsage();
            return 2;
        }
        memoryBound = mb << 20;
        args.erase(args.begin(), args.begin() + 2);
    }
    sqlite::setMemoryLimit(memoryBound);
    if (args.empty()) {
        err << fullUsage();
        return 2;
    }
    if (args[0] == "--version") {
        out << "palvo " << toolVersion() << "\n";
        return 0;
    }
    if (const auto help = helpAsked(args)) {
        if (help->usage.empty()) {
            err << "palvo: unknown command '" << help->topic << "'\n" << fullUsage();
            return 2;
        }
        out << help->usage;
        return 0;
    }
    if (args[0] == "sql") return runSql(args, out, err);
    if (args[0] == "init") return runInit(args, out, err);
    if (args[0] == "call") return runCall(args, out, err);
    if (args[0] == "report" && args.size() > 1 && args[1] == "xlsx") return runReportXlsx(args, out, err);
    if (args[0] == "report") return runReport(args, out, err);
    err << "palvo: unknown command '" << args[0] << "'\n" << fullUsage();
    return 2;
}

}  // namespace Palvo::cli
