#include "sample_data.h"

#include <cstdio>
#include <string>

#include "palvo/error.h"
#include "palvo/host_tables.h"
#include "palvo/odbc/connection.h"
#include "palvo/sqlite/connection.h"

namespace Palvo::sample {

namespace {

// A small deterministic generator, so every sample database is the same.
struct Lcg {
    unsigned state = 20041;
    unsigned next(unsigned n) {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % n;
    }
};

// The branch that looks after a customer, by the city of its address.
const char* unitOf(const std::string& address) {
    const std::pair<const char*, const char*> branches[] = {{"北京", "01"}, {"天津", "01"}, {"上海", "02"},
                                                            {"南京", "02"}, {"杭州", "02"}, {"广州", "03"}};
    for (const auto& [city, unit] : branches) {
        if (address.rfind(city, 0) == 0) return unit;
    }
    return "00";
}

// A saved query of the sample user on the sales view: shown columns in order,
// totalled columns, and sort keys (n for ascending, n + 0.1 for descending).
struct SavedColumn {
    const char* name;
    int sum;
    const char* sort;
};

void saveQuery(Connection& conn, const std::string& queryName, std::initializer_list<SavedColumn> columns) {
    int order = 0;
    for (const auto& c : columns) {
        conn.ExecuteWith(
            "insert into 查询打印设置(表名,字段名,选择标志,排列顺序,查询类别,查询名,用户名,合计,排序) "
            "values ('销售查询',?,1,?,'普通查询',?,?,?,?)",
            {c.name, ++order, queryName, kSampleUser, c.sum, Value(Decimal{c.sort})});
    }
}

}  // namespace

void writeSampleData(Connection& conn) {
    if (data::tableExists(conn, "客户")) return;
    Transaction tx(conn);
    const char* units[][2] = {
        {"00", "总公司"}, {"01", "北京分公司"}, {"02", "上海分公司"}, {"03", "广州分公司"}};
    if (conn.Query("select count(*) from B_单位").at(0, 0).toInt64() == 0) {
        for (const auto& u : units)
            conn.ExecuteWith("insert into B_单位(单位编号,名称) values (?,?)", {u[0], u[1]});
        for (const auto& u : units) {
            conn.ExecuteWith("insert into 编辑权限(窗体名,单位,发送给其他单位) values (?,?,?)",
                             {"frm客户", u[0], std::string(u[0]) == "00" ? ",01,02,03," : ",00,"});
        }
    }
    conn.Execute(
        "create table 客户 (客户编号 varchar(10) not null primary key, 名称 nvarchar(50) not null, "
        "单位编号 varchar(10) null, 地址 nvarchar(100) null, 电话 varchar(20) null, "
        "信用额度 decimal(12,2) not null default 0, 建档日期 datetime null, 备注 ntext null)");
    conn.Execute(
        "create table 商品 (商品编号 varchar(10) not null primary key, 品名 nvarchar(50) not null, "
        "规格 nvarchar(30) null, 单位 nvarchar(10) not null, [单价(元)] money not null default 0)");
    conn.Execute(
        "create table 销售 (编号 int identity(1,1) not null primary key, 单据号 varchar(12) not null, "
        "日期 datetime not null, 客户编号 varchar(10) not null, 商品编号 varchar(10) not null, "
        "数量 int not null, 单价 money not null, 金额 decimal(14,2) not null, 经手人 nvarchar(20) null, "
        "Hand_Date varchar(10) null, Hand_Time varchar(8) null)");

    const char* surnames[] = {"华", "新", "东方", "长江", "金桥", "宏达", "联合", "永安", "中兴", "恒通"};
    const char* trades[] = {"贸易", "电子", "建材", "食品", "五金", "纺织", "化工", "印务"};
    const char* cities[] = {"北京市", "上海市", "广州市", "天津市", "南京市", "杭州市", "成都市", "武汉市"};
    const char* streets[] = {"人民路", "解放路", "中山路", "建设路", "和平街", "长安街"};
    Lcg rnd;
    constexpr int kCustomers = 60;
    for (int i = 1; i <= kCustomers; ++i) {
        char code[16];
        std::snprintf(code, sizeof code, "C%04d", i);
        std::string name = std::string(surnames[i % 10]) + trades[(i / 10 + i) % 8] + "有限公司";
        if (i > 10) name = std::string(cities[i % 8]).substr(0, 6) + name;
        std::string address = std::string(cities[rnd.next(8)]) + streets[rnd.next(6)] +
                              std::to_string(rnd.next(300) + 1) + "号";
        char phone[24];
        std::snprintf(phone, sizeof phone, "0%02u-%08u", 10 + rnd.next(90), 60000000 + rnd.next(39999999));
        char date[16];
        std::snprintf(date, sizeof date, "%04u-%02u-%02u", 2001 + rnd.next(4), 1 + rnd.next(12),
                      1 + rnd.next(28));
        conn.ExecuteWith(
            "insert into 客户(客户编号,名称,单位编号,地址,电话,信用额度,建档日期) values (?,?,?,?,?,?,?)",
            {code, name, unitOf(address), address, phone,
             Value(Decimal{std::to_string((rnd.next(50) + 1) * 10000) + ".00"}), date});
    }
    struct Goods {
        const char* name;
        const char* model;
        const char* unit;
        const char* price;
    };
    const Goods goods[] = {
        {"打印纸", "A4 70克", "箱", "128.00"},
        {"签字笔", "0.5毫米 黑色", "盒", "24.50"},
        {"文件夹", "A4 双夹", "个", "6.80"},
        {"订书机", "中号", "台", "35.00"},
        {"计算器", "12位", "台", "58.00"},
        {"墨盒", "黑色 标准容量", "个", "189.00"},
        {"复印机碳粉", "1000克", "瓶", "420.00"},
        {"笔记本", "B5 60页", "本", "4.20"},
        {"档案盒", "5.5厘米", "个", "9.90"},
        {"白板笔", "可擦 蓝色", "支", "3.60"},
        {"U盘", "32G", "个", "79.00"},
        {"鼠标", "无线", "个", "95.00"},
    };
    int gi = 0;
    for (const auto& g : goods) {
        char code[16];
        std::snprintf(code, sizeof code, "G%03d", ++gi);
        conn.ExecuteWith("insert into 商品(商品编号,品名,规格,单位,[单价(元)]) values (?,?,?,?,?)",
                         {code, g.name, g.model, g.unit, Value(Decimal{g.price})});
    }
    const char* clerks[] = {"张伟", "王芳", "李娜", "刘洋", "陈静"};
    constexpr int kSales = 300;
    for (int i = 1; i <= kSales; ++i) {
        unsigned month = 1 + rnd.next(12), day = 1 + rnd.next(28), hour = 8 + rnd.next(12),
                 minute = rnd.next(60);
        char date[24], handDate[16], handTime[16], bill[16], customer[16], good[16];
        std::snprintf(date, sizeof date, "2004-%02u-%02u %02u:%02u:00", month, day, hour, minute);
        std::snprintf(handDate, sizeof handDate, "2004-%02u-%02u", month, day);
        std::snprintf(handTime, sizeof handTime, "%02u:%02u:00", hour, minute);
        std::snprintf(bill, sizeof bill, "XS2004%05d", i);
        std::snprintf(customer, sizeof customer, "C%04u", 1 + rnd.next(kCustomers));
        unsigned g = rnd.next(12);
        std::snprintf(good, sizeof good, "G%03u", g + 1);
        int qty = static_cast<int>(1 + rnd.next(50));
        double price = std::stod(goods[g].price);
        char amount[32];
        std::snprintf(amount, sizeof amount, "%.2f", price * qty);
        conn.ExecuteWith(
            "insert into 销售(单据号,日期,客户编号,商品编号,数量,单价,金额,经手人,Hand_Date,Hand_Time) "
            "values (?,?,?,?,?,?,?,?,?,?)",
            {bill, date, customer, good, qty, Value(Decimal{goods[g].price}), Value(Decimal{amount}),
             clerks[rnd.next(5)], handDate, handTime});
    }
    conn.Execute(
        "create view 销售查询 as select 销售.单据号, 销售.日期, 销售.客户编号, 客户.名称 as 客户名称, "
        "销售.商品编号, 商品.品名, 商品.规格, 商品.单位, 销售.数量, 销售.单价, 销售.金额, 销售.经手人, "
        "客户.单位编号 from 销售 inner join 客户 on 客户.客户编号=销售.客户编号 "
        "inner join 商品 on 商品.商品编号=销售.商品编号");
    saveQuery(conn, "销售明细",
              {{"单据号", 0, "0"},
               {"日期", 0, "1"},
               {"客户名称", 0, "0"},
               {"品名", 0, "0"},
               {"规格", 0, "0"},
               {"单位", 0, "0"},
               {"数量", 1, "0"},
               {"单价", 0, "0"},
               {"金额", 2, "0"},
               {"经手人", 0, "0"}});
    saveQuery(conn, "客户销售",
              {{"客户名称", 0, "1"},
               {"日期", 0, "2.1"},
               {"单据号", 0, "0"},
               {"品名", 0, "0"},
               {"数量", 1, "0"},
               {"金额", 2, "0"},
               {"经手人", 0, "0"}});
    conn.Execute(
        "insert into 更新表记录(主表,主表字段,附表,附表字段) values ('客户','客户编号','销售','客户编号')");
    tx.commit();
}

std::shared_ptr<Connection> openSampleDatabase(const std::string& database) {
    // read as an SQLite string, one without a driver would make a file named after its Database=
    if (const std::string target = odbc::connectionTarget(database);
        !target.empty() && !odbc::namesOdbcDriver(database))
        throw Error(ErrorNumber::ConnectionFailed,
                    "a connection string with " + target +
                        "= names no ODBC driver or data source (Driver=..., DSN=...)");
    std::shared_ptr<Connection> conn;
    if (odbc::namesOdbcDriver(database))
        conn = std::make_shared<odbc::Connection>();
    else
        conn = std::make_shared<sqlite::Connection>();
    conn->Open(database);
    data::createHostTables(*conn);
    writeSampleData(*conn);
    return conn;
}

}  // namespace Palvo::sample
