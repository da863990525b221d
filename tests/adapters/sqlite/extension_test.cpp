// The loadable extension gives a plain SQLite connection the same functions and catalogue.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string extensionPath() {
    std::filesystem::path build;
    if (const char* dir = std::getenv("PALVO_BUILD_DIR")) {
        build = dir;
    } else {
        build = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path();
    }
    return (build / "adapters" / "sqlite" / "libpalvo_tsql_ext.so").string();
}

std::string one(sqlite3* db, const char* sql) {
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    std::string r = "<none>";
    int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) {
        const unsigned char* t = sqlite3_column_text(st, 0);
        r = t ? reinterpret_cast<const char*>(t) : "<null>";
    } else if (rc != SQLITE_DONE) {
        r = std::string("error: ") + sqlite3_errmsg(db);
    }
    sqlite3_finalize(st);
    return r;
}

// A plain in-memory connection with the extension loaded; nullptr when it does not load.
sqlite3* openWithExtension() {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    sqlite3_enable_load_extension(db, 1);
    char* err = nullptr;
    const int rc = sqlite3_load_extension(db, extensionPath().c_str(), nullptr, &err);
    EXPECT_EQ(rc, SQLITE_OK) << (err ? err : "");
    sqlite3_free(err);
    if (rc == SQLITE_OK) return db;
    sqlite3_close(db);
    return nullptr;
}

// What needs the embedded database's connection has a plain SQLite host's answer there:
// @@IDENTITY is SQLite's last rowid, a schema change is refused by name. Tables the embedded
// database made name the collation zh_ci_as; other hosts get it from the extension.
TEST(TsqlExtension, ItsFunctionsAnswerInAPlainConnection) {
    ASSERT_TRUE(std::filesystem::exists(extensionPath())) << extensionPath();
    sqlite3* db = openWithExtension();
    ASSERT_NE(db, nullptr);
    ASSERT_EQ(sqlite3_exec(db,
                           "create table T (a int, b nvarchar(5));"
                           "create table I (id integer primary key autoincrement, v varchar(5));"
                           "insert into I (v) values ('a'); insert into I (v) values ('b')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    const std::pair<const char*, const char*> cases[] = {
        {"select tsql_datediff('month', '2004-01-31', '2004-02-01')", "1"},
        {"select tsql_add('a', 'b')", "ab"},
        {"select tsql_add('a', 1)",
         "error: Conversion failed when converting the varchar value 'a' to data type int."},
        {"select tsql_dateadd('month', 1, '2004-01-31')", "2004-02-29 00:00:00.000"},
        {"select tsql_add('2004-02-28 08:00:00.000', 1.5)", "2004-02-29 20:00:00.000"},
        {"select tsql_add('9999-12-31 00:00:00.000', 1)",
         "error: Arithmetic overflow error converting expression to data type datetime."},
        {"select tsql_convert('float', ' 1.5e1 ', null) + tsql_len('中文  ')", "17.0"},
        {"select group_concat(name || ':' || xtype) from syscolumns "
         "where (tsql_object_name(id) collate nocase) = 't'",
         "a:56,b:231"},
        {"select tsql_identity() || ',' || tsql_ident_current('dbo.[I]')", "2,2"},
        {"select tsql_datalength(v, '', '', 'v') || tsql_char(65) || tsql_ascii('中') from I", "1A214"},
        {"select tsql_refuse('sp_rename')",
         "error: Not supported by this SQLite host: sp_rename (the embedded database's connection makes "
         "it)."},
    };
    for (const auto& [sql, expected] : cases) EXPECT_EQ(one(db, sql), expected) << sql;
    sqlite3_close(db);
}

TEST(TsqlExtension, ItsChineseCollationWorksInAPlainConnection) {
    sqlite3* db = openWithExtension();
    ASSERT_NE(db, nullptr);
    ASSERT_EQ(
        sqlite3_exec(db,
                     "create table Z (n nvarchar(10) collate zh_ci_as unique);"
                     "insert into Z values('张'); insert into Z values('李'); insert into Z values('Abc');",
                     nullptr, nullptr, nullptr),
        SQLITE_OK);
    EXPECT_EQ(one(db, "select group_concat(n, ',') from (select n from Z order by n)"), "Abc,李,张");
    EXPECT_EQ(one(db, "select count(*) from Z where n = 'abc  '"), "1");
    EXPECT_NE(sqlite3_exec(db, "insert into Z values('李 ')", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

// The extension uses the core's helpers (calendar, stored dates, numbers): a static
// build carries them inside it, a shared one loads libpalvo_core.so. Either way other
// hosts see only the extension's entry points, so they never bind to a copy of the core in it.
TEST(TsqlExtension, ExportsOnlyItsEntryPoints) {
    const std::string path = extensionPath();
    void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    EXPECT_NE(dlsym(lib, "sqlite3_extension_init"), nullptr);
    EXPECT_NE(dlsym(lib, "sqlite3_palvotsql_init"), nullptr);
    for (const char* symbol : {"_ZNK5Palvo8DateTime5toIsoB5cxx11Ev",  // Palvo::DateTime::toIso() const
                               "_ZN5Palvo4util9daySerialERKNS_8DateTimeE"}) {  // Palvo::base::daySerial
        // dlsym also searches the extension's dependencies: a shared core answers from its own file
        void* found = dlsym(lib, symbol);
        Dl_info info{};
        if (found != nullptr && dladdr(found, &info) != 0 && info.dli_fname != nullptr) {
            EXPECT_NE(std::filesystem::canonical(info.dli_fname), std::filesystem::canonical(path)) << symbol;
        }
    }
    dlclose(lib);
}

TEST(TsqlExtension, TheConnectionThatLoadsItEnforcesDeclaredForeignKeys) {
    sqlite3* db = openWithExtension();
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(one(db, "pragma foreign_keys"), "1");
    sqlite3_exec(db,
                 "create table p (k int primary key); create table c (k int references p(k)); "
                 "insert into p values (1)",
                 nullptr, nullptr, nullptr);
    EXPECT_EQ(sqlite3_exec(db, "insert into c values (2)", nullptr, nullptr, nullptr), SQLITE_CONSTRAINT);
    EXPECT_EQ(one(db, "select count(*) from c"), "0");
    sqlite3_close(db);
}

}  // namespace
