#include "init_command.h"

#include <sqlite3.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "cli.h"
#include "palvo/error.h"
#include "palvo/host_tables.h"
#include "palvo/odbc/connection.h"
#include "palvo/sqlite/connection.h"
#include "report_args.h"
#include "sample_data.h"
#include "sql_output.h"
#include "usage.h"

namespace Palvo::cli {

namespace {
// A text of the file as init prints it: quoted, a quote inside doubled, and
// every character that could end the line escaped as sql escapes it.
std::string quotedText(const std::string& s) {
    std::string out = "'";
    for (char ch : textField(s)) out += ch == '\'' ? std::string("''") : std::string(1, ch);
    return out + "'";
}

// At most this many rows that break a foreign key are named one by one.
constexpr std::size_t kBrokenKeysNamed = 20;

// What a column of the row holds, as it prints: a number as it is, a text quoted, Null as NULL.
std::string shownValue(sqlite3_stmt* st, int column) {
    switch (sqlite3_column_type(st, column)) {
        case SQLITE_NULL:
            return "NULL";
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            return reinterpret_cast<const char*>(sqlite3_column_text(st, column));
        default:
            return quotedText(std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, column)),
                                          static_cast<std::size_t>(sqlite3_column_bytes(st, column))));
    }
}

// Runs `sql` with text parameters and calls `row` for each row.
bool eachRow(sqlite3* db, const std::string& sql, const std::vector<std::string>& params,
             const std::function<void(sqlite3_stmt*)>& row) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return false;
    for (std::size_t i = 0; i < params.size(); ++i)
        sqlite3_bind_text(st, static_cast<int>(i) + 1, params[i].c_str(), -1, SQLITE_TRANSIENT);
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) row(st);
    sqlite3_finalize(st);
    return rc == SQLITE_DONE;
}

std::string quotedName(const std::string& name) {
    std::string out = "\"";
    for (char ch : name) out += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    return out + "\"";
}

// Rows that already break a declared foreign key (SQLite does not enforce them
// here): a warning each, naming the row, its key's columns and the table it refers to.
// They were stored before; init neither removes nor refuses them.
void warnBrokenKeys(const std::string& path, std::ostream& err) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return;
    }
    sqlite3_busy_timeout(db, 5000);
    struct Broken {
        std::string table;
        sqlite3_int64 rowid;
        bool hasRowid;
        std::string parent;
        int key;
    };
    std::vector<Broken> broken;
    long more = 0;
    const bool checked = eachRow(
        db, "select \"table\", rowid, parent, fkid from pragma_foreign_key_check", {}, [&](sqlite3_stmt* st) {
            if (broken.size() == kBrokenKeysNamed) {
                ++more;
                return;
            }
            broken.push_back({reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                              sqlite3_column_int64(st, 1), sqlite3_column_type(st, 1) != SQLITE_NULL,
                              reinterpret_cast<const char*>(sqlite3_column_text(st, 2)),
                              sqlite3_column_int(st, 3)});
        });
    if (!checked) err << "palvo: warning: the foreign keys were not checked: " << sqlite3_errmsg(db) << "\n";
    for (const Broken& b : broken) {
        std::vector<std::string> columns;
        eachRow(db,
                "select \"from\" from pragma_foreign_key_list(?1) where id = " + std::to_string(b.key) +
                    " order by seq",
                {b.table}, [&](sqlite3_stmt* st) {
                    columns.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
                });
        std::string values;
        if (b.hasRowid && !columns.empty()) {
            std::string select = "select ";
            for (std::size_t i = 0; i < columns.size(); ++i)
                select += (i ? ", " : "") + quotedName(columns[i]);
            select += " from " + quotedName(b.table) + " where rowid = " + std::to_string(b.rowid);
            eachRow(db, select, {}, [&](sqlite3_stmt* st) {
                for (std::size_t i = 0; i < columns.size(); ++i)
                    values +=
                        (i ? ", " : "") + textField(columns[i]) + "=" + shownValue(st, static_cast<int>(i));
            });
        }
        err << "palvo: warning: " << (b.hasRowid ? "row " + std::to_string(b.rowid) + " of " : "a row of ")
            << textField(b.table) << (values.empty() ? "" : " (" + values + ")") << " refers to a row of "
            << textField(b.parent) << " that does not exist\n";
    }
    if (more > 0) err << "palvo: warning: " << more << " more rows break a foreign key\n";
    sqlite3_close(db);
}

// One line per settings set holding a column more than once.
void reportRepeated(const std::vector<data::RepeatedSetting>& repeated, std::ostream& out) {
    for (std::size_t i = 0; i < repeated.size();) {
        const auto& set = repeated[i];
        out << "settings set 表名=" << quotedText(set.table) << " 用户名=" << quotedText(set.user)
            << " 查询类别=" << quotedText(set.category) << " 查询名=" << quotedText(set.query)
            << " holds a column more than once:";
        for (; i < repeated.size() && repeated[i].table == set.table && repeated[i].user == set.user &&
               repeated[i].category == set.category && repeated[i].query == set.query;
             ++i) {
            out << " " << quotedText(repeated[i].column) << " (" << repeated[i].rows << " rows)";
        }
        out << "\n";
    }
}
}  // namespace

int runInit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ReportArgs r;
    if (parseOptions(args, 1, syntaxOf("init"), Rest::Statement, r) != args.size() || !r.statement.empty() ||
        r.last("--db").empty()) {
        err << usageOf("init");
        return 2;
    }
    const ConnectionOptions options{r.last("--db"), ""};
    const bool sample = r.flag("--sample"), repair = r.flag("--repair");
    if (const std::string refused = refusedConnection(options.db); !refused.empty()) {
        printFailure(err, refused);
        return 1;
    }
    return runGuarded(err, [&] {
        // the embedded file also completes what an interrupted run left out and checks its keys;
        // a server enforces its keys itself and makes a table whole or not at all
        std::shared_ptr<sqlite::Connection> embedded;
        std::shared_ptr<Connection> conn;
        if (isOdbcConnection(options.db)) {
            conn = openConnection(options);
        } else {
            embedded = std::make_shared<sqlite::Connection>();
            embedded->Open(options.db);
            conn = embedded;
        }
        bool whole = true;
        {
            // the tables, what an interrupted run left out of them, and the repair: all or nothing
            Transaction tx(*conn);
            std::vector<std::string> completed;
            data::ExistingTableStatement complete;
            if (embedded)
                complete = [&](const std::string& statement) {
                    for (auto& name : embedded->completeSchema(statement))
                        completed.push_back(std::move(name));
                };
            auto created = data::createHostTables(*conn, complete);
            const auto repeated = data::repeatedSettings(*conn);
            reportRepeated(repeated, out);
            long removed = 0;
            if (!repeated.empty() && repair) removed = data::removeRepeatedSettings(*conn);
            tx.commit();
            for (const auto& t : created) out << "created " << t << "\n";
            for (const auto& c : completed) out << "completed " << c << "\n";
            if (removed > 0) out << "removed " << removed << " repeated rows of 查询打印设置\n";
            if (!repeated.empty() && !repair) {
                err << "palvo: " << repeated.size()
                    << " columns of settings sets are stored more than once; palvo init --repair keeps the "
                       "first "
                       "row of each\n";
                whole = false;
            }
        }
        if (sample) {
            sample::writeSampleData(*conn);
            out << "sample data in "
                << (isOdbcConnection(options.db) ? odbc::shownDatabase(options.db) : options.db) << "\n";
        }
        if (embedded && embedded->path() != ":memory:") {
            const std::string path = embedded->path();
            embedded->Close();
            warnBrokenKeys(path, err);
        }
        return whole ? 0 : 1;
    });
}

}  // namespace Palvo::cli
