// A fixture for the palvo tool: a fresh folder with a database file named in it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

}  // namespace Palvo::cli
