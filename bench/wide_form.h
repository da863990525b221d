// A 20-field order form with three lookup columns, one column unique by itself
// and a key of two columns, on tables with enough rows to need their indexes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "palvo/data.h"
#include "palvo/memory/form.h"

namespace bench {

struct WideForm {
    std::vector<Palvo::memory::FieldDef> fields;
    std::vector<std::string> types;
    std::vector<std::int16_t> lengths;
    std::string key = "1,2,";   // customer and order line
    std::string unique = "3,";  // invoice
    static constexpr int lookups = 3;
};

inline void createWideTables(Palvo::Connection& conn, int rows) {
    conn.Execute("create table 客户 (客户编号 varchar(10) primary key, 名称 nvarchar(20))");
    conn.Execute("create table 商品 (商品编号 varchar(10) primary key, 名称 nvarchar(20))");
    conn.Execute("create table 仓库 (仓库编号 varchar(10) primary key, 名称 nvarchar(20))");
    std::string sql =
        "create table 订单 (客户编号 varchar(10), 行号 varchar(10), 发票号 varchar(12), 商品编号 "
        "varchar(10), "
        "仓库编号 varchar(10), 数量 decimal(12,2), 单价 decimal(12,2), 日期 datetime";
    for (int i = 8; i < 20; ++i) sql += ", 备注" + std::to_string(i) + " nvarchar(40)";
    conn.Execute(sql + ")");
    conn.Execute("create index IX_订单_键 on 订单 (客户编号, 行号)");
    conn.Execute("create index IX_订单_发票 on 订单 (发票号)");
    conn.BeginTrans();
    for (int i = 0; i < rows; ++i) {
        const std::string n = std::to_string(i);
        conn.Execute("insert into 客户 values ('C" + n + "', N'客户" + n + "')");
        conn.Execute("insert into 商品 values ('P" + n + "', N'商品" + n + "')");
        conn.Execute("insert into 仓库 values ('W" + n + "', N'仓库" + n + "')");
        conn.Execute(
            "insert into 订单 (客户编号, 行号, 发票号, 商品编号, 仓库编号, 数量, 单价, 日期) values ('C" + n +
            "', '1', 'F" + n + "', 'P" + n + "', 'W" + n + "', 1, 2.5, '2004-01-05')");
    }
    conn.CommitTrans();
}

/// A new order that breaks no rule.
inline WideForm wideForm() {
    WideForm w;
    w.fields = {{"0序号", "", "1"},
                {"1客户编号", "客户,客户编号", "C7"},
                {"2行号", "", "2"},
                {"4发票号", "", "F-new"},
                {"1商品编号", "商品,商品编号", "P8"},
                {"3仓库编号", "仓库,仓库编号", "W9"},
                {"2数量", "", "12.5"},
                {"4单价", "", "3.25"},
                {"2日期", "", "2004-02-01"}};
    w.types = {"1", "1", "1", "1", "1", "1", "2", "2", "3"};
    w.lengths = {10, 10, 10, 12, 10, 10, 12, 12, 16};
    for (int i = 9; i < 20; ++i) {
        w.fields.push_back({(i % 2 ? "4备注" : "9备注") + std::to_string(i), "", "一段说明文字"});
        w.types.push_back("1");
        w.lengths.push_back(40);
    }
    return w;
}

}  // namespace bench
