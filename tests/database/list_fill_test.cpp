#include <gtest/gtest.h>

#include "palvo/clsDatabase.h"
#include "palvo/error.h"
#include "palvo/memory/controls.h"
#include "support/list_events.h"
#include "support/sqlite_fixture.h"

namespace Palvo {
namespace {

class ListFill : public testing::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        exec({"create table 客户 (编号 int, 名称 nvarchar(20), 地址 nvarchar(20))",
              "insert into 客户 values (7, N'甲', N'北京')", "insert into 客户 values (9, N'乙', null)"});
    }
    void fill(ListControl& list, const std::string& sql, std::int16_t data, std::int16_t id,
              float defaultIndex = 0, const std::string& other = "", bool clear = true) {
        db.mFillDataToListOrComb(clear, sql, data, id, list, defaultIndex, other);
    }
    clsDatabase db;
};

TEST_F(ListFill, AListViewShowsTheResultUnderItsHeaders) {
    memory::ListView lv;
    lv.ListItemsAdd(1, "old", "旧");
    EXPECT_EQ(db.iFillDataToListview("select 名称, 编号, 地址 from 客户 order by 编号", lv), 0);
    EXPECT_EQ(lv.View(), 3);
    ASSERT_EQ(lv.ColumnHeadersCount(), 3);
    EXPECT_EQ(lv.ColumnHeaderKey(2), "Head2");
    EXPECT_EQ(lv.ColumnHeaderText(3), "地址");
    ASSERT_EQ(lv.ListItemsCount(), 2);
    EXPECT_EQ(lv.ListItems(1).Key(), "K1");
    EXPECT_EQ(lv.ListItems(2).Key(), "K2");
    EXPECT_EQ(lv.ListItems(1).Text(), "甲");
    EXPECT_EQ(lv.ListItems(1).SubItems(1), "7");
    EXPECT_EQ(lv.ListItems(2).SubItems(2), "");  // Null
}

TEST_F(ListFill, AListViewWithoutRowsGetsTheHeadersAlone) {
    memory::ListView lv;
    lv.ListItemsAdd(1, "old", "旧");
    db.iFillDataToListview("select 名称, 编号 from 客户 where 1=0", lv);
    EXPECT_EQ(lv.ColumnHeadersCount(), 2);
    EXPECT_EQ(lv.ListItemsCount(), 0);
}

// Duplicate keys fail.
TEST_F(ListFill, AListViewsKeysMayComeFromAColumn) {
    memory::ListView keyed;
    db.iFillDataToListview("select 名称, 编号 from 客户 order by 编号", keyed, 1);
    EXPECT_EQ(keyed.ListItems(2).Key(), "K9");
    exec({"insert into 客户 values (9, N'丙', null)"});
    EXPECT_THROW(db.iFillDataToListview("select 名称, 编号 from 客户 order by 编号", keyed, 1), Error);
    EXPECT_EQ(keyed.ListItemsCount(), 2);  // partly filled, as far as it came
}

TEST_F(ListFill, TheLastColumnNeverSuppliesItemData) {
    memory::ListBox list;
    fill(list, "select 名称, 编号 from 客户 order by 编号", 0, 1, -1, "全部");
    ASSERT_EQ(list.ListCount(), 3);
    EXPECT_EQ(list.List(0), "全部");
    EXPECT_EQ(list.ItemData(1), 0);
    EXPECT_EQ(list.ListIndex(), -1);
}

// However many rows; a failed fill keeps what it read.
TEST_F(ListFill, AViewHearsOfAFillOnce) {
    // 200 rows numbered 1 to 200, named 品1 ...; row 150 has no name
    std::vector<std::string> rows{"create table 品名 (编号 int, 名称 nvarchar(20))"};
    for (int i = 1; i <= 200; ++i) {
        const std::string n = std::to_string(i);
        rows.push_back("insert into 品名 values (" + n + ", " + (i == 150 ? "null" : "N'品" + n + "'") + ")");
    }
    exec(rows);
    const std::string named = "select 编号, 名称 from 品名 where 编号 < 150 order by 编号";
    const std::string none = "select 编号, 名称 from 品名 where 1 = 0";
    const std::string all = "select 编号, 名称 from 品名 order by 编号";
    const std::string textAsData = "select 名称 as 代号, 名称, 编号 from 品名 order by 编号";
    struct Case {
        const char* what;
        const std::string& sql;
        bool clear;
        bool fails;
        std::vector<std::string> heard;
        int count;
        std::string lastText;
        std::int32_t lastData;
    };
    const Case cases[] = {
        {"cleared", named, true, false, {"reset", "insert 0+150", "index"}, 150, "品149", 149},
        {"appended", named, false, false, {"insert 2+150", "index"}, 152, "品149", 149},
        {"no rows", none, true, false, {"reset"}, 0, "", 0},
        {"a name is null", all, true, true, {"reset", "insert 0+150"}, 150, "品149", 149},
        {"item data is no number", textAsData, true, true, {"reset", "insert 0+2"}, 2, "品1", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        memory::ComboBox cmb;
        cmb.AddItem("a");
        cmb.AddItem("b");
        testing::ListEvents events;
        cmb.listen(&events);
        bool failed = false;
        try {
            fill(cmb, c.sql, 1, 0, 0, "全部", c.clear);
        } catch (const Error&) {
            failed = true;
        }
        EXPECT_EQ(failed, c.fails);
        EXPECT_EQ(events.heard, c.heard);
        ASSERT_EQ(cmb.ListCount(), c.count);
        if (c.count == 0) {
            EXPECT_EQ(cmb.ListIndex(), -1) << "nothing to select";
            continue;
        }
        EXPECT_EQ(cmb.List(c.clear ? 0 : 2), "全部");
        EXPECT_EQ(cmb.List(c.count - 1), c.lastText);
        EXPECT_EQ(cmb.ItemData(c.count - 1), c.lastData);
        if (!c.clear) {
            EXPECT_EQ(cmb.List(1), "b");
        }
    }
}

}  // namespace
}  // namespace Palvo
