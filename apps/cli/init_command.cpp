#include "init_command.h"

#include <ostream>
#include <string>

#include "cli.h"
#include "palvo/error.h"
#include "palvo/host_tables.h"
#include "sample_data.h"

namespace Palvo::cli {

namespace {
const char* kInitUsage = "usage: palvo init --db FILE [--sample]\n";
}  // namespace

int runInit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ConnectionOptions options;
    bool sample = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--db" && i + 1 < args.size()) {
            options.db = args[++i];
        } else if (args[i] == "--sample") {
            sample = true;
        } else {
            err << kInitUsage;
            return 2;
        }
    }
    if (options.db.empty()) {
        err << kInitUsage;
        return 2;
    }
    try {
        auto conn = openConnection(options);
        auto created = query::createHostTables(*conn);
        for (const auto& t : created) out << "created " << t << "\n";
        if (sample) {
            sample::writeSampleData(*conn);
            out << "sample data in " << options.db << "\n";
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

}  // namespace Palvo::cli
