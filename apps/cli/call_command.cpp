#include "call_command.h"

#include <filesystem>
#include <optional>
#include <ostream>

#include "cli.h"
#include "palvo/clsForm.h"
#include "palvo/dispatch.h"
#include "palvo/error.h"
#include "palvo/executor.h"
#include "palvo/lua/executor.h"
#include "palvo/odbc/connection.h"
#include "palvo/session.h"

namespace Palvo::cli {

namespace {

constexpr long kInternalError = 51;

const char* kCallUsage =
    "usage: palvo call [--db FILE | --odbc CONNECTION] [--unit CODE] [--user NAME] CLASS.METHOD [ARG...]\n"
    "  calls one library method by name; omitted trailing arguments take their defaults.\n"
    "  Prints the result, then NAME=VALUE for each by-reference argument the method changed.\n"
    "  Without --db or --odbc, palvo.db is used when it exists.\n"
    "       palvo call --list\n"
    "  lists the methods that can be called.\n";

struct CallOptions {
    ConnectionOptions connection;
    std::string unit;
    std::string user;
    std::string className;
    std::string methodName;
    std::vector<std::optional<std::string>> arguments;
    bool list = false;
};

// Options come before CLASS.METHOD; everything after it is an argument, as typed.
bool parse(const std::vector<std::string>& args, CallOptions& o) {
    std::size_t i = 1;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") {
            ++i;
            break;
        }
        if (a == "--list") {
            o.list = true;
        } else if ((a == "--db" || a == "--odbc" || a == "--unit" || a == "--user") && i + 1 < args.size()) {
            std::string& slot = a == "--db"     ? o.connection.db
                                : a == "--odbc" ? o.connection.odbc
                                : a == "--unit" ? o.unit
                                                : o.user;
            slot = args[++i];
        } else if (a.rfind("--", 0) == 0) {
            return false;
        } else {
            break;
        }
    }
    if (o.list) return i == args.size();
    if (i == args.size()) return false;
    const std::string& target = args[i];
    auto dot = target.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == target.size()) return false;
    o.className = target.substr(0, dot);
    o.methodName = target.substr(dot + 1);
    for (++i; i < args.size(); ++i) o.arguments.emplace_back(args[i]);
    return o.connection.db.empty() || o.connection.odbc.empty();
}

std::shared_ptr<Connection> sessionConnectionFor(const ConnectionOptions& options) {
    if (!options.db.empty() || !options.odbc.empty()) return openConnection(options);
    if (std::filesystem::exists(kDefaultDb)) return openConnection({});
    return nullptr;  // methods that need the database fail with 424
}

}  // namespace

int PrintingMessageBox::show(const std::string& text, int style, const std::string& title) {
    out_ << "[" << title << "] " << text << "\n";
    return msgBoxDefaultAnswer(style);
}

int runCall(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CallOptions o;
    if (!parse(args, o)) {
        err << kCallUsage;
        return 2;
    }
    if (o.list) {
        for (const auto& line : lateBoundSignatures()) out << line << "\n";
        return 0;
    }
    ScopedMessageBox box(std::make_shared<PrintingMessageBox>(err));
    try {
        if (!installedLineExecutor()) lua::install();
        // bConnect_Test makes its own connection: to SQL Server through ODBC, as the host platform does
        odbc::installConnectionFactory();
        clsForm().mInit_Var(o.unit, "", "", "", sessionConnectionFor(o.connection), "", 50, "Vantrel提示",
                            o.user);
        LateBoundResult r = callByName(o.className, o.methodName, o.arguments);
        out << (r.hasResult ? r.result.toText() : "") << "\n";
        for (const auto& c : r.changed) out << c.name << "=" << c.value.toText() << "\n";
        session().oConn.reset();
        return 0;
    } catch (const Error& e) {
        err << "error " << e.number() << ": " << e.description() << "\n";
    } catch (const std::exception& e) {
        err << "error " << kInternalError << ": " << e.what() << "\n";
    }
    session().oConn.reset();
    return 1;
}

}  // namespace Palvo::cli
