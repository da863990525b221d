// What --db takes: a database file, an SQLite connection string or an ODBC one;
// and what a report's --out may not be: a file of that database.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "palvo/sqlite/connection.h"
#include "support/cli_database.h"
#include "support/processes.h"

namespace Palvo::cli {
namespace {

namespace fs = std::filesystem;

using testing::fileNames;
using testing::readFile;

class DatabaseOption : public CliDatabase {
protected:
    DatabaseOption() : CliDatabase("palvo_database_option") {}
    void SetUp() override {
        ASSERT_EQ(sql("create table s (单号 nvarchar(20), 金额 int)").status, 0);
        ASSERT_EQ(sql("insert into s values ('XS1', 10), ('XS2', 20)").status, 0);
    }
    std::vector<std::string> report(const std::string& kind, const std::string& database,
                                    const std::string& out) {
        return reportArgs(kind, database, "T", out, "select * from s");
    }
    // Every command that takes --db, on `connection`.
    std::vector<std::vector<std::string>> everyCommand(const std::string& connection) {
        return {{"sql", "--db", connection, "select 1"},
                {"call", "--db", connection, "clsDatabase.lGetSearchCount", "select 1"},
                report("pdf", connection, (dir / "r.pdf").string()),
                report("xlsx", connection, (dir / "r.xlsx").string()),
                {"init", "--db", connection}};
    }
};

// Another process holds the database open and has committed rows that are only
// in its -wal file yet; a report over one of the database's own files would
// lose them when that process ends.
TEST_F(DatabaseOption, AReportOutNamingACompanionFileOfTheDatabaseIsRefused) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = testing::runChild([&] {
        sqlite::Connection h;
        h.Open(db);
        h.Execute("insert into s values ('XS3', 30)");
        const char byte = 'y';
        if (::write(ready[1], &byte, 1) != 1) return 1;
        for (;;) ::pause();  // holding the file open, until killed
    });
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'y');
    ::close(ready[0]);
    ::close(ready[1]);
    ASSERT_TRUE(fs::exists(db + "-wal"));
    fs::create_symlink("t.db", dir / "link.db");
    fs::create_symlink("t.db-wal", dir / "w.pdf");
    struct Case {
        std::string kind, database, out, file, companion;
    };
    const std::string wal = (dir / "t.db-wal").string();
    const std::string link = (dir / "link.db").string();
    const Case cases[] = {
        {"pdf", db, wal, db, "-wal"},
        {"xlsx", db, db + "-shm", db, "-shm"},
        {"pdf", db, (dir / "w.pdf").string(), db, "-wal"},  // a link to it
        {"xlsx", db, db + "-journal", db, "-journal"},      // not there: by name
        {"pdf", link, wal, link, "-wal"},                   // the database by a link
        {"xlsx", "Data Source=" + db + ";Journal Mode=Delete", (dir / "sub/../t.db-wal").string(), db,
         "-wal"},
    };
    fs::create_directories(dir / "sub");
    const std::string walBefore = readFile(wal), shmBefore = readFile(db + "-shm");
    const auto before = fileNames(dir);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind + " --db " + c.database + " --out " + c.out);
        const Outcome r = palvo(report(c.kind, c.database, c.out));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "palvo: --out " + c.out + " is the " + c.companion + " file of the database " +
                             c.file + ", which holds its latest changes; the report would destroy them\n");
        EXPECT_EQ(fileNames(dir), before);
        EXPECT_EQ(readFile(wal), walBefore);
        EXPECT_EQ(readFile(db + "-shm"), shmBefore);
    }
    ::kill(holder, SIGKILL);
    ASSERT_EQ(testing::waitChild(holder), 128 + SIGKILL);
    const Outcome read = sql("select 单号 from s order by 单号");
    EXPECT_EQ(read.out, "单号\nXS1\nXS2\nXS3\n") << read.err;
    EXPECT_EQ(sqliteRows(db, "pragma integrity_check"), std::vector<std::string>{"ok"});
}

// The journal mode a network share needs is given in the connection string, and
// the file it names must exist as a plain name's must.
TEST_F(DatabaseOption, AnSQLiteConnectionStringIsTakenWhereverDbIs) {
    const std::string delete_ = "Data Source=" + db + ";Journal Mode=Delete";
    for (const char* kind : {"pdf", "xlsx"}) {
        const std::string out = (dir / (std::string("r.") + kind)).string();
        const Outcome r = palvo(report(kind, delete_, out));
        EXPECT_EQ(r.status, 0) << kind << ": " << r.err;
        EXPECT_TRUE(fs::exists(out)) << kind;
    }
    EXPECT_EQ(palvo({"call", "--db", delete_, "clsDatabase.lGetSearchCount", "select * from s"}),
              (Outcome{0, "2\n", ""}));
    EXPECT_EQ(sqliteRows(db, "pragma journal_mode"), std::vector<std::string>{"delete"})
        << "the string's journal mode was used";
}

// Every command checks the file by the one function FailureFormat's commands share.
TEST_F(DatabaseOption, AConnectionStringNamingAMissingFileIsRefused) {
    const std::string missing = (dir / "missing.db").string();
    const auto before = fileNames(dir);
    EXPECT_EQ(
        palvo(report("xlsx", "Data Source=" + missing + ";Journal Mode=Delete", (dir / "m.xlsx").string())),
        (Outcome{1, "",
                 "palvo: the database " + missing + " does not exist (palvo init --db creates one)\n"}));
    EXPECT_EQ(fileNames(dir), before);
}

// Read as an SQLite string, one without a driver would name a new, empty file after its Database=.
TEST_F(DatabaseOption, AConnectionStringWithoutAnOdbcDriverIsRefusedWithoutMakingAFile) {
    const std::string shop = (dir / "shop").string();
    const std::pair<std::string, std::string> strings[] = {
        {"Provider=SQLOLEDB;Data Source=host;Initial Catalog=" + shop + ";Password=secret", "Provider"},
        {"Server=localhost;Database=" + shop + ";Uid=u;Pwd=secret", "Server"},
    };
    for (const auto& [connection, key] : strings) {
        const auto before = fileNames(dir);
        for (const auto& args : everyCommand(connection)) {
            SCOPED_TRACE(args[0] + " " + connection);
            EXPECT_EQ(palvo(args),
                      (Outcome{1, "",
                               "palvo: --db takes a database file, an SQLite connection string (\"Data "
                               "Source=FILE\") or an ODBC connection string (Driver=..., DSN=...), and a "
                               "connection string with " +
                                   key + "= names no ODBC driver or data source\n"}));
            EXPECT_EQ(fileNames(dir), before);
        }
    }
}

// An ODBC string goes to the driver manager: one it cannot connect fails there, makes no file
// and shows no password.
TEST_F(DatabaseOption, AnOdbcConnectionStringAsDbGoesOverOdbc) {
    const std::string shop = (dir / "shop").string();
    for (const std::string& connection :
         {"Driver={No Such Driver};Server=localhost;Database=" + shop + ";Uid=u;Pwd=s3cr3t",
          "DSN=palvo_no_such_source;Database=" + shop + ";PWD=s3cr3t",
          "Server=localhost;Driver={No Such Driver};Database=" + shop + ";Pwd={s3cr3t;}"}) {
        const auto before = fileNames(dir);
        for (const auto& args : everyCommand(connection)) {
            SCOPED_TRACE(args[0] + " " + connection);
            const Outcome r = palvo(args);
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.err.rfind("palvo: [unixODBC][Driver Manager]", 0), 0u) << r.err;
            EXPECT_EQ(r.err.find("s3cr3t"), std::string::npos) << r.err;
            EXPECT_EQ(fileNames(dir), before);
        }
    }
}

}  // namespace
}  // namespace Palvo::cli
