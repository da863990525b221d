// The goods table the grid fill benchmarks read: 10 columns, one database file
// per row count in the temporary folder, kept between runs.
#pragma once

#include <exception>
#include <filesystem>
#include <map>
#include <string>

#include "palvo/sqlite/connection.h"
#include "thread_clock.h"

namespace bench {

inline const std::string kSelect =
    "select 编号,名称,规格,单位,数量,单价,金额,日期,类别,备注 from 货物 order by 编号";

// One database file per row count, made once per process.
inline std::string databaseFor(long rows) {
    static std::map<long, std::string> made;
    auto it = made.find(rows);
    if (it != made.end()) return it->second;
    const auto path =
        (std::filesystem::temp_directory_path() / ("palvo_grid_bench_" + std::to_string(rows) + ".db"))
            .string();
    Palvo::sqlite::Connection conn;
    if (std::filesystem::exists(path)) {
        // A file left by an earlier run is kept when it holds the rows asked for.
        conn.Open(path);
        bool complete = false;
        try {
            complete =
                conn.Query("select count(*) from 货物").at(0, 0).toDouble() == static_cast<double>(rows);
        } catch (const std::exception&) {
        }
        conn.Close();
        if (complete) return made[rows] = path;
        std::filesystem::remove(path);
    }
    conn.Open(path);
    conn.Execute(
        "create table 货物 (编号 int primary key, 名称 nvarchar(20), 规格 varchar(20), 单位 nvarchar(4), "
        "数量 int, 单价 float, 金额 float, 日期 datetime, 类别 int, 备注 nvarchar(40))");
    conn.BeginTrans();
    const char* names[] = {"钢管", "钢板", "螺纹钢", "角钢", "铝型材"};
    for (long i = 1; i <= rows; ++i) {
        conn.ExecuteWith(
            "insert into 货物 values (?,?,?,?,?,?,?,?,?,?)",
            {Palvo::Value(static_cast<long long>(i)), Palvo::Value(names[i % 5]),
             Palvo::Value("Q235-" + std::to_string(i % 97)), Palvo::Value("吨"),
             Palvo::Value(static_cast<long long>(i % 1000)), Palvo::Value(3.5 + static_cast<double>(i % 7)),
             Palvo::Value(12.25 * static_cast<double>(i % 13)),
             Palvo::Value(Palvo::DateTime{2003, 1 + static_cast<int>(i % 12), 1 + static_cast<int>(i % 28)}),
             Palvo::Value(static_cast<long long>(i % 9)), Palvo::Value("第" + std::to_string(i) + "批")});
    }
    conn.CommitTrans();
    conn.Close();
    made[rows] = path;
    return path;
}

}  // namespace bench
