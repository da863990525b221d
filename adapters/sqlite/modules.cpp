// The table of modules: one row per procedure, function or trigger, its type
// sys.objects' code, its definition as the host wrote it.
#include "modules.h"

namespace Palvo::sqlite {

int ensureModuleTable(sqlite3* db) {
    return sqlite3_exec(db,
                        "create table if not exists main.palvo_modules (name text not null collate nocase "
                        "primary key, type text not null, parent text, definition text not null)",
                        nullptr, nullptr, nullptr);
}

}  // namespace Palvo::sqlite
