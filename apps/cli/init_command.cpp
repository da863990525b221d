#include "init_command.h"

#include <memory>
#include <ostream>
#include <string>

#include "cli.h"
#include "palvo/error.h"
#include "palvo/host_tables.h"
#include "palvo/sqlite/connection.h"
#include "sample_data.h"

namespace Palvo::cli {

namespace {
const char* kInitUsage = "usage: palvo init --db FILE [--sample] [--repair]\n";

std::string quotedText(const std::string& s) { return "'" + s + "'"; }

// One line per settings set holding a column more than once.
void reportRepeated(const std::vector<query::RepeatedSetting>& repeated, std::ostream& out) {
    for (std::size_t i = 0; i < repeated.size();) {
        const auto& set = repeated[i];
        out << "settings set 表名=" << quotedText(set.table) << " 用户名=" << quotedText(set.user)
            << " 查询类别=" << quotedText(set.category) << " 查询名=" << quotedText(set.query)
            << " holds a column more than once:";
        for (; i < repeated.size() && repeated[i].table == set.table && repeated[i].user == set.user &&
               repeated[i].category == set.category && repeated[i].query == set.query;
             ++i) {
            out << " " << repeated[i].column << " (" << repeated[i].rows << " rows)";
        }
        out << "\n";
    }
}
}  // namespace

int runInit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ConnectionOptions options;
    bool sample = false, repair = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--db" && i + 1 < args.size()) {
            options.db = args[++i];
        } else if (args[i] == "--sample") {
            sample = true;
        } else if (args[i] == "--repair") {
            repair = true;
        } else {
            err << kInitUsage;
            return 2;
        }
    }
    if (options.db.empty()) {
        err << kInitUsage;
        return 2;
    }
    return runGuarded(err, [&] {
        auto conn = std::make_shared<sqlite::Connection>();
        conn->Open(options.db);
        bool whole = true;
        {
            // the tables, what an interrupted run left out of them, and the repair: all or nothing
            Transaction tx(*conn);
            std::vector<std::string> completed;
            auto created = query::createHostTables(*conn, [&](const std::string& statement) {
                for (auto& name : conn->completeSchema(statement)) completed.push_back(std::move(name));
            });
            const auto repeated = query::repeatedSettings(*conn);
            reportRepeated(repeated, out);
            long removed = 0;
            if (!repeated.empty() && repair) removed = query::removeRepeatedSettings(*conn);
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
            out << "sample data in " << options.db << "\n";
        }
        return whole ? 0 : 1;
    });
}

}  // namespace Palvo::cli
