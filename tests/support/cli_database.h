// A fixture for the palvo tool: a fresh folder with a database file named in it; and
// the file read past the tool, with SQLite itself.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/cli_run.h"
#include "support/files.h"

namespace Palvo::cli {

class CliDatabase : public ::testing::Test {
protected:
    explicit CliDatabase(const std::string& name, const char* file = "t.db")
        : scratch_(name), dir(scratch_.path), db((dir / file).string()) {}
    Outcome sql(const std::string& statement) { return palvo({"sql", "--db", db, statement}); }

private:
    testing::ScratchDir scratch_;

protected:
    std::filesystem::path dir;
    std::string db;
};

// One line per row of the SQLite query on the file, its fields joined by '|'.
inline std::vector<std::string> sqliteRows(const std::string& file, const std::string& query) {
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    std::vector<std::string> out;
    sqlite3_open(file.c_str(), &db);
    EXPECT_EQ(sqlite3_prepare_v2(db, query.c_str(), -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    while (sqlite3_step(st) == SQLITE_ROW) {
        std::string line;
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
            line += (c ? "|" : "") + std::string(text ? text : "NULL");
        }
        out.push_back(line);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

}  // namespace Palvo::cli
