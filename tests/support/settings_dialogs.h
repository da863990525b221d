// What the tests of the query settings dialogs share: the settings store and
// a 客户 table on a fresh session, the dialog's controls by name, and the
// settings table read back.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "forms/counting_connection.h"
#include "palvo/error.h"
#include "palvo/host_tables.h"
#include "support/sqlite_fixture.h"
#include "support/window_hosts.h"

namespace Palvo::testing {

class SettingsDialogTest : public SessionTest, public ::testing::WithParamInterface<HostKind> {
protected:
    using Message = memory::ShownMessage;
    using Items = std::vector<std::string>;

    /// 客户 holds a column of every kind the dialogs tell apart; `extra` adds more.
    void setUpTables(const std::string& extra) {
        SessionTest::SetUp();
        data::createHostTables(*conn);
        exec(
            {"create table 客户 (编号 int, 名称 nvarchar(20), 金额 decimal(10,2), 数量 int, 日期 datetime, "
             "备注 ntext" +
             extra + ")"});
    }
    template <class T>
    T& get(const std::string& name) {
        return dynamic_cast<T&>(host->lastFrame().control(name));
    }
    Items items(const std::string& list) {
        auto& box = get<ListBox>(list);
        Items out;
        for (int i = 0; i < box.ListCount(); ++i) out.push_back(box.List(i));
        return out;
    }
    /// "字段名 a/b/..." of the columns named, for each row of the query's set in display order.
    Items settingsRows(const std::string& columns, const std::string& query) {
        auto t = conn->Query("select 字段名, " + columns + " from 查询打印设置 where 查询名='" + query +
                             "' order by 排列顺序");
        Items out;
        for (std::size_t r = 0; r < t.rowCount(); ++r) {
            std::string row = t.at(r, 0).toText() + " ";
            for (std::size_t c = 1; c < t.columns.size(); ++c)
                row += (c > 1 ? "/" : "") + t.at(r, c).toText();
            out.push_back(row);
        }
        return out;
    }
    /// Every byte of the settings table: each value with its kind, so that a
    /// Null is no empty text and 2 no "2".
    std::string snapshot() {
        auto t = conn->Query("select * from 查询打印设置 order by 表名, 查询类别, 查询名, 用户名, 字段名");
        std::string out;
        for (std::size_t i = 0; i < t.cells.size(); ++i)
            out += std::to_string(static_cast<int>(t.cells[i].kind())) + ":" + t.cells[i].toText() + "|";
        return out;
    }
    /// Runs `open` (a dialog played to its save) once for each update statement
    /// k of the save, statement k failing, and `failed(k)` after each such run;
    /// no transaction may stay open. Returns how many updates the save ran.
    template <class Open, class Failed>
    int failEachUpdate(Open open, Failed failed) {
        auto counting = std::make_shared<CountingConnection>(conn);
        session().oConn = counting;
        for (int k = 0;; ++k) {
            int seen = 0;
            counting->afterExecute = [&](const std::string& sql) {
                if (sql.rfind("update", 0) == 0 && seen++ == k)
                    throw Error(ErrorNumber::Database, "磁盘已满");
            };
            open();
            if (seen <= k) return k;  // every statement ran: the save went through
            failed(k);
            EXPECT_FALSE(counting->InTransaction()) << k;
        }
    }
    const std::vector<Message>& messages() { return host->messages().messages(); }
    static Message info(const std::string& text) { return {text, 64, "提示标题"}; }
    static Message warning(const std::string& text) { return {text, 48, "提示标题"}; }

    std::optional<WindowTestHost> host;  // emplace ends the old host (restoring its predecessor) first
};

}  // namespace Palvo::testing
