// Fills a memory grid from a table of the embedded database and checks what the
// grid shows; exits with 1 and prints both grids when anything is off.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "palvo/clsForm.h"
#include "palvo/clsGrid.h"
#include "palvo/memory/grid.h"
#include "palvo/session.h"
#include "palvo/sqlite/connection.h"

int main() {
    try {
        auto conn = std::make_shared<Palvo::sqlite::Connection>();
        conn->Open(":memory:");
        Palvo::clsForm().mInit_Var("01", "一分公司", "001", "财务部", conn, "");
        conn->Execute("create table 货物 (编号 int, 名称 nvarchar(20), 金额 decimal(12,2))");
        conn->Execute("insert into 货物 values (2, N'钢板', 12.5)");
        conn->Execute("insert into 货物 values (1, N'不锈钢管', 0.25)");
        conn->Execute("insert into 货物 values (3, null, 100)");

        Palvo::memory::FlexGrid grid;
        const std::string result =
            Palvo::clsGrid().sFillTable("select 编号,名称,金额 from 货物", grid, false, 0, "金额");
        if (result != "") {
            std::fprintf(stderr, "sFillTable returned \"%s\"\n", result.c_str());
            return 1;
        }
        // heading, rows in the default order by the first field, the totals row; cells joined by "|"
        const std::string expected =
            "序号|编号|名称|金额\n1|1|不锈钢管|0.25\n2|2|钢板|12.5\n3|3||100\n合计|||112.75\n";
        std::string shown;
        for (int r = 0; r < grid.Rows(); ++r) {
            for (int c = 0; c < grid.Cols(); ++c) shown += (c ? "|" : "") + grid.TextMatrix(r, c);
            shown += "\n";
        }
        Palvo::session() = Palvo::SessionContext{};
        if (shown != expected) {
            std::fprintf(stderr, "the grid shows\n%sexpected\n%s", shown.c_str(), expected.c_str());
            return 1;
        }
        std::printf("consumer: %d rows filled from the installed Palvo\n", grid.Rows() - 2);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "consumer failed: %s\n", e.what());
        return 1;
    }
}
