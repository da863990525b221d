#include "call_command.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>

#include "cli.h"
#include "palvo/clsForm.h"
#include "palvo/dispatch.h"
#include "palvo/error.h"
#include "palvo/host.h"
#include "palvo/lua/executor.h"
#include "palvo/measure.h"
#include "palvo/memory/measure.h"
#include "palvo/memory/window_host.h"
#include "palvo/odbc/connection.h"
#include "palvo/session.h"
#include "palvo/xlsx/writer.h"
#include "report_args.h"
#include "usage.h"

namespace Palvo::cli {

namespace {

// What a line of bExecuteCode may take in the tool: a few seconds and 256 MB.
const lua::Limits kLineLimits{0, std::chrono::seconds(3), std::size_t{256} << 20};

struct CallOptions {
    ConnectionOptions connection;
    std::string unit;
    std::string user;
    std::string script;
    std::string className;
    std::string methodName;
    std::vector<std::optional<std::string>> arguments;
    bool list = false;
    bool sandboxed = false;
};

// Options come before CLASS.METHOD; everything after it is an argument, as typed.
bool parse(const std::vector<std::string>& args, CallOptions& o) {
    ReportArgs r;
    std::size_t i = parseOptions(args, 1, syntaxOf("call"), Rest::Words, r);
    if (i > args.size()) return false;
    o.connection = {r.last("--db"), r.last("--odbc")};
    o.unit = r.last("--unit");
    o.user = r.last("--user");
    o.script = r.last("--script");
    o.list = r.flag("--list");
    o.sandboxed = r.flag("--sandboxed");
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

// Read whole before the call, so a malformed line fails before anything runs.
std::shared_ptr<WindowScript> readScript(const std::string& path) {
    if (path.empty()) return std::make_shared<WindowScript>();
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error(ErrorNumber::FileNotFound, "File not found: " + path);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return std::make_shared<WindowScript>(parseWindowScript(text));
}

// Lines no window or message took are most likely a mistake in the script: say so.
void warnUnplayed(const WindowScript& script, const PrintingMessageBox& box, std::ostream& err) {
    if (!script.empty()) {
        const ScriptAction& a = script.front();
        err << "palvo: window script line " << a.line << " (" << a.source
            << ") and the lines after it were not played: no window was open\n";
    }
    if (box.pendingAnswers() > 0) {
        err << "palvo: " << box.pendingAnswers() << " answer(s) of the window script found no message box\n";
    }
}

}  // namespace

void PrintingMessageBox::print(const std::string& title, const std::string& text) {
    out_ << "[" << title << "] " << text << "\n";
    ++printed_;
}

bool PrintingMessageBox::takeMessageWindow(const std::string& text, const std::string&) {
    if (windows_ == MessageWindows::Show) return false;
    print(session().sMsg, text);
    return true;
}

int PrintingMessageBox::show(const std::string& text, int style, const std::string& title) {
    print(title, text);
    if (pendingAnswers() > 0) return ScriptedMessageBox::show(text, style, title);
    if (!script_ || script_->empty() || script_->front().kind != ScriptAction::Kind::Answer) {
        return msgBoxDefaultAnswer(style);
    }
    // a message shown while no window plays the script takes the script's next answer itself
    const ScriptAction a = script_->take();
    const std::vector<int> buttons = msgBoxButtons(style);
    if (std::find(buttons.begin(), buttons.end(), a.answer) == buttons.end()) {
        throw Error(ErrorNumber::InvalidCall, "window script line " + std::to_string(a.line) + " (" +
                                                  a.source + "): the message \"" + text +
                                                  "\" has no such button");
    }
    return a.answer;
}

// Noto Sans CJK when fonts-noto-cjk is there, otherwise the fixed full-/half-width rule.
static std::shared_ptr<TextMeasurer> cjkMeasurer() {
    try {
        return std::make_shared<memory::FontFileMeasurer>(memory::kNotoSansCjkPath);
    } catch (const Error&) {
        return std::make_shared<memory::FixedWidthMeasurer>();
    }
}

int runCall(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CallOptions o;
    if (!parse(args, o)) {
        err << usageOf("call");
        return 2;
    }
    if (o.list) {
        for (const auto& line : lateBoundSignatures()) out << line << "\n";
        return 0;
    }
    if (!o.connection.db.empty()) {
        if (const std::string refused = refusedFiles(o.connection.db); !refused.empty()) {
            err << refused << "\n";
            return 1;
        }
    }
    const SignalCleanup cleanup;
    return runGuarded(err, [&] {
        auto script = readScript(o.script);
        auto box = std::make_shared<PrintingMessageBox>(err, script);
        HostPorts ports;
        ports.messageBox = box;
        ports.windows = std::make_shared<memory::WindowHost>(script, box);
        // the spreadsheet reports write real workbooks (saved in the documents folder)
        ports.spreadsheetWriter = std::make_shared<xlsx::Writer>();
        // a line that never ends must not hang the tool
        ports.lineExecutor = std::make_shared<lua::Executor>(
            o.sandboxed ? lua::Rights::Sandboxed : lua::Rights::Full, kLineLimits);
        // grids a call fills (the picker's list) are sized by the text measurer
        ports.measurer = cjkMeasurer();
        // bConnect_Test makes its own connection: to SQL Server through ODBC, as the host platform does
        ports.connections = [] { return std::make_shared<odbc::Connection>(); };
        const HostGuard host = installHost(std::move(ports));
        clsForm().mInit_Var(o.unit, "", "", "", sessionConnectionFor(o.connection), "", 50, "Vantrel提示",
                            o.user);
        LateBoundResult r = callByName(o.className, o.methodName, o.arguments);
        out << (r.hasResult ? r.result.toText() : "") << "\n";
        for (const auto& c : r.changed) out << c.name << "=" << c.value.toText() << "\n";
        warnUnplayed(*script, *box, err);
        return 0;
    });
}

}  // namespace Palvo::cli
