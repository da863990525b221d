// The library's filling of host controls from the embedded database, written
// once and run on every adapter's controls. A suite instantiates it with the
// same factory type as the control behaviour tests (tests/support/control_behaviour.h).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "palvo/clsForm.h"
#include "palvo/clsGrid.h"
#include "palvo/measure.h"
#include "palvo/memory/measure.h"
#include "palvo/session.h"
#include "palvo/sqlite/connection.h"
#include "support/control_behaviour.h"

namespace Palvo::testing {

template <class F>
class FillingBehaviour : public ::testing::Test {
protected:
    void SetUp() override {
        conn = std::make_shared<sqlite::Connection>();
        conn->Open(":memory:");
        clsForm().mInit_Var("01", "一分公司", "001", "财务部", conn, "");
        installTextMeasurer(std::make_shared<memory::FixedWidthMeasurer>());
        for (const char* s :
             {"create table 销售 (编号 int, 客户 nvarchar(20), 日期 datetime, 金额 decimal(10,2))",
              "insert into 销售 values (1, N'华北商行', '2004-01-05 08:30', 12.5)",
              "insert into 销售 values (2, N'东方建材', '2004-02-29', 100)",
              "insert into 销售 values (3, N'华北商行', null, 0.25)"}) {
            conn->Execute(s);
        }
    }
    void TearDown() override {
        installTextMeasurer(nullptr);
        session() = SessionContext{};
    }
    std::shared_ptr<sqlite::Connection> conn;
    F make;
};

TYPED_TEST_SUITE_P(FillingBehaviour);

TYPED_TEST_P(FillingBehaviour, FillTableNumbersTotalsTheRowsOfEitherGridType) {
    for (bool hierarchical : {false, true}) {
        FlexGrid& g = this->make.flexGrid(hierarchical);
        EXPECT_EQ(clsGrid().sFillTable("select 客户, 日期, 金额 from 销售 order by 编号", g, true, 2, "金额"),
                  "");
        this->make.settle();
        EXPECT_EQ(gridColumn(g, 0), (std::vector<std::string>{"序号", "1", "2", "3", "合计"}))
            << g.typeName();
        EXPECT_EQ(g.TextMatrix(0, 1), "客户");
        EXPECT_EQ(g.TextMatrix(1, 2), "2004-01-05");
        EXPECT_EQ(g.TextMatrix(3, 2), "");
        EXPECT_EQ(g.TextMatrix(4, 3), "112.75");
        EXPECT_EQ(g.ToolTipText(), "共有 3 条记录！");
        for (int c = 0; c < g.Cols(); ++c) EXPECT_GT(g.ColWidth(c), 0) << g.typeName() << " column " << c;
    }
}

TYPED_TEST_P(FillingBehaviour, FillTableWithoutRowsKeepsTheHeading) {
    for (bool hierarchical : {false, true}) {
        FlexGrid& e = this->make.flexGrid(hierarchical);
        EXPECT_EQ(clsGrid().sFillTable("select 客户, 金额 from 销售 where 1=0", e, false, 0, "", false), "0");
        EXPECT_EQ(e.TextMatrix(0, 1), "金额") << e.typeName();
    }
}

TYPED_TEST_P(FillingBehaviour, FillTableReportsAFailingStatement) {
    for (bool hierarchical : {false, true}) {
        FlexGrid& e = this->make.flexGrid(hierarchical);
        EXPECT_NE(clsGrid().sFillTable("select * from 没有的表", e), "") << e.typeName();
    }
}

TYPED_TEST_P(FillingBehaviour, RefillingAFlexGridLeavesNothingOfTheLastFill) {
    FlexGrid& g = this->make.flexGrid(false);
    ASSERT_EQ(clsGrid().sFillTable("select 客户, 金额 from 销售 order by 编号", g), "");
    g.Row(2);
    g.Col(1);
    g.CellBackColor(255);
    this->conn->ExecuteWith("update 销售 set 客户 = ? where 编号 = 2", {Value("东方\t建材")});
    ASSERT_EQ(clsGrid().sFillTable("select 客户, 金额 from 销售 where 编号 < 3 order by 编号", g), "");
    this->make.settle();
    ASSERT_EQ(g.Rows(), 3);
    EXPECT_EQ(gridColumn(g, 1), (std::vector<std::string>{"客户", "华北商行", "东方\t建材"}))
        << "a tab stays in its cell";
    EXPECT_EQ(gridColumn(g, 2), (std::vector<std::string>{"金额", "12.5", "100"}));
    g.Row(2);
    g.Col(1);
    EXPECT_EQ(g.CellBackColor(), 0) << "the rows are new";
}

REGISTER_TYPED_TEST_SUITE_P(FillingBehaviour, FillTableNumbersTotalsTheRowsOfEitherGridType,
                            FillTableWithoutRowsKeepsTheHeading, FillTableReportsAFailingStatement,
                            RefillingAFlexGridLeavesNothingOfTheLastFill);

}  // namespace Palvo::testing
