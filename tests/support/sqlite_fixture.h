// A session on a fresh in-memory embedded database, for tests of modules
// that run statements.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "palvo/clsForm.h"
#include "palvo/session.h"
#include "palvo/sqlite.h"

namespace Palvo::testing {

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        conn = std::make_shared<sqlite::Connection>();
        conn->Open(":memory:");
        clsForm().mInit_Var("01", "一分公司", "001", "财务部", conn, "", 50, "提示标题", "张三");
    }
    void TearDown() override { session() = SessionContext{}; }

    void exec(const std::vector<std::string>& statements) {
        for (const auto& s : statements) conn->Execute(s);
    }
    std::string scalar(const std::string& sql) {
        auto t = conn->Query(sql);
        return t.rowCount() ? t.at(0, 0).toText() : "<no row>";
    }

    std::shared_ptr<sqlite::Connection> conn;
};

}  // namespace Palvo::testing
