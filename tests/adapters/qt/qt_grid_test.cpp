// What only the Qt grid does: frozen fixed rows and columns, coarse change
// announcements, one grid per view.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QHeaderView>
#include <QImage>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTableWidget>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "palvo/clsGrid.h"
#include "palvo/measure.h"
#include "palvo/qt/form.h"
#include "palvo/qt/grid.h"
#include "palvo/qt/measure.h"
#include "qt_test_support.h"
#include "support/sqlite_fixture.h"

namespace Palvo {
namespace {

constexpr int kRowHeight = 16;

// A shown view with about ten rows of room.
void prepare(QTableView& view, int width = 300) {
    view.verticalHeader()->setMinimumSectionSize(kRowHeight);
    view.verticalHeader()->setDefaultSectionSize(kRowHeight);
    view.resize(width, 10 * kRowHeight + 2 * view.frameWidth());
    view.show();
}

QRgb pixelAt(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; }

class QtFrozenGrid : public ::testing::Test {
protected:
    void SetUp() override { prepare(view); }
    // 6 rows of 5 columns, the first two columns 600 and 900 twips wide.
    void smallGrid() {
        g.Rows(6);
        g.Cols(5);
        g.ColWidth(0, 600);
        g.ColWidth(1, 900);
    }
    int pixels(std::int32_t twips) { return qt::twipsToPixels(twips, qt::logicalDpi(&view)); }

    QTableView view;
    qt::FlexGrid g{&view};
};

TEST_F(QtFrozenGrid, FixedCellsStayWhileTheDataScrolls) {
    g.Cols(30);
    g.Rows(201);
    for (int r = 1; r < 201; ++r) g.TextMatrix(r, 0, std::to_string(r));
    // Marks the test can find on screen: the heading of the last column, the
    // fixed cell of the last row, and the corner.
    const std::vector<std::tuple<int, int, std::int32_t>> marks = {
        {0, 29, 0x0000FF}, {200, 0, 0x00FF00}, {0, 0, 0xFF0000}};
    for (const auto& [row, col, color] : marks) {
        g.Row(row);
        g.Col(col);
        g.CellBackColor(color);
    }
    view.scrollToBottom();
    view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->maximum());
    QApplication::processEvents();

    ASSERT_GT(view.rowAt(0), 150) << "the data scrolled down";
    ASSERT_GT(view.columnAt(0), 15) << "and right";
    EXPECT_TRUE(g.RowIsVisible(0)) << "the heading row is frozen";
    EXPECT_FALSE(g.RowIsVisible(1)) << "the first data row scrolled away";
    EXPECT_TRUE(g.RowIsVisible(200));
    EXPECT_TRUE(view.isRowHidden(0)) << "drawn in the band, not in the data area as well";
    EXPECT_TRUE(view.isColumnHidden(0));

    const QRect data = view.viewport()->geometry();
    const QRect top = view.horizontalHeader()->geometry();
    const QRect side = view.verticalHeader()->geometry();
    ASSERT_TRUE(view.horizontalHeader()->isVisible());
    ASSERT_TRUE(view.verticalHeader()->isVisible());
    EXPECT_EQ(top.height(), kRowHeight) << "one heading row high";
    EXPECT_EQ(top.bottom() + 1, data.top()) << "right above the data";
    EXPECT_EQ(side.right() + 1, data.left()) << "right beside the data";
    EXPECT_EQ(side.width(), qt::twipsToPixels(960, qt::logicalDpi(&view)));

    // What is on screen: the marked fixed cells where they belong.
    const QImage shot = view.grab().toImage();
    const int lastCol = data.left() + view.columnViewportPosition(29) + view.columnWidth(29) / 2;
    const int lastRow = data.top() + view.rowViewportPosition(200) + kRowHeight / 2;
    EXPECT_EQ(pixelAt(shot, lastCol, top.top() + kRowHeight / 2), 0xFF0000u) << "heading of the last column";
    EXPECT_EQ(pixelAt(shot, side.left() + side.width() / 2, lastRow), 0x00FF00u)
        << "fixed cell of the last row";
    EXPECT_EQ(pixelAt(shot, side.left() + side.width() / 2, top.top() + kRowHeight / 2), 0x0000FFu)
        << "the corner";
}

TEST_F(QtFrozenGrid, AnyNumberOfFixedCellsIsFrozen) {
    smallGrid();
    g.FixedRows(3);
    g.FixedCols(2);
    EXPECT_EQ(view.horizontalHeader()->maximumHeight(), 3 * kRowHeight);
    EXPECT_EQ(view.verticalHeader()->maximumWidth(), pixels(600) + pixels(900));
    for (int r = 0; r < 6; ++r) EXPECT_EQ(view.isRowHidden(r), r < 3) << "row " << r;
    for (int c = 0; c < 5; ++c) EXPECT_EQ(view.isColumnHidden(c), c < 2) << "column " << c;
    EXPECT_EQ(g.ColWidth(1), 900) << "a frozen column keeps its width";
    g.Col(1);
    EXPECT_EQ(g.CellLeft(),
              qt::pixelsToTwips(view.contentsRect().left() + pixels(600), qt::logicalDpi(&view)));
}

TEST_F(QtFrozenGrid, FixedCellsAreGivenBack) {
    smallGrid();
    g.FixedRows(3);
    g.FixedCols(2);
    g.FixedRows(1);
    g.FixedCols(0);
    for (int r = 0; r < 6; ++r) EXPECT_EQ(view.isRowHidden(r), r < 1) << "row " << r;
    EXPECT_FALSE(view.isColumnHidden(0));
    EXPECT_FALSE(view.isColumnHidden(1));
    EXPECT_EQ(view.columnWidth(0), pixels(600)) << "a column given back has its grid width";
    EXPECT_TRUE(view.verticalHeader()->isHidden()) << "no fixed columns, no band";
}

// A fixed heading row of a grid without fixed columns, and an item added above it.
class QtFrozenHeading : public QtFrozenGrid {
protected:
    void SetUp() override {
        QtFrozenGrid::SetUp();
        smallGrid();
        g.FixedRows(1);
        g.FixedCols(0);
        g.TextMatrix(0, 2, "heading");
        g.AddItem("top", 0);
    }
};

// The heading becomes data.
TEST_F(QtFrozenHeading, AnItemAddedAboveTheHeadingBecomesTheFixedRow) {
    EXPECT_TRUE(view.isRowHidden(0));
    EXPECT_FALSE(view.isRowHidden(1));
    EXPECT_EQ(view.model()->index(1, 2).data().toString(), "heading");
}

// Sorting lays the rows out anew.
TEST_F(QtFrozenHeading, TheFixedRowStaysFrozenThroughASort) {
    g.Col(2);
    g.Sort(2);
    EXPECT_TRUE(view.isRowHidden(0));
    EXPECT_EQ(view.model()->index(0, 0).data().toString(), "top");
    EXPECT_EQ(view.model()->index(1, 2).data().toString(), "heading")
        << "the only text sorts first, descending";
}

// Nothing left in the data area, all of it in the band.
TEST_F(QtFrozenGrid, EveryRowCanBeFixed) {
    smallGrid();
    g.Rows(2);
    g.FixedRows(2);
    EXPECT_TRUE(view.isRowHidden(0));
    EXPECT_TRUE(view.isRowHidden(1));
    EXPECT_EQ(view.horizontalHeader()->maximumHeight(), 2 * kRowHeight);
    EXPECT_TRUE(g.RowIsVisible(1));
}

// Counts what the view's model announces.
struct Announcements {
    explicit Announcements(const QAbstractItemModel* model) {
        QObject::connect(model, &QAbstractItemModel::dataChanged,
                         [this](const QModelIndex& from, const QModelIndex& to) {
                             ++dataChanged;
                             first = from;
                             last = to;
                         });
        QObject::connect(model, &QAbstractItemModel::rowsInserted, [this] { ++rowsInserted; });
        QObject::connect(model, &QAbstractItemModel::rowsRemoved, [this] { ++rowsRemoved; });
        QObject::connect(model, &QAbstractItemModel::columnsInserted, [this] { ++colsInserted; });
        QObject::connect(model, &QAbstractItemModel::columnsRemoved, [this] { ++colsRemoved; });
        QObject::connect(model, &QAbstractItemModel::modelReset, [this] { ++resets; });
    }
    std::vector<int> counts() const {
        return {dataChanged, rowsInserted, rowsRemoved, colsInserted, colsRemoved, resets};
    }
    int dataChanged = 0, rowsInserted = 0, rowsRemoved = 0, colsInserted = 0, colsRemoved = 0, resets = 0;
    QModelIndex first, last;
};

// What the view heard of 500 rows of 4 columns filled cell by cell.
class QtGridAnnouncements : public ::testing::Test {
protected:
    void SetUp() override {
        g.Cols(4);
        QApplication::processEvents();
        seen.emplace(view.model());
        g.Rows(501);
        for (int r = 1; r < 501; ++r) {
            for (int c = 0; c < 4; ++c) g.TextMatrix(r, c, std::to_string(r * c));
        }
    }
    QTableView view;
    qt::FlexGrid g{&view};
    std::optional<Announcements> seen;
};

TEST_F(QtGridAnnouncements, TheShapeIsAnnouncedAtOnce) {
    EXPECT_EQ(seen->rowsInserted, 1);
    EXPECT_EQ(view.model()->rowCount(), 501) << "the shape is the model's at once";
    EXPECT_EQ(view.model()->index(500, 3).data().toString(), "1500") << "and so are the texts";
}

TEST_F(QtGridAnnouncements, CellsAreAnnouncedOnceForTheWholeFill) {
    EXPECT_EQ(seen->dataChanged, 0) << "cell changes wait for the event loop";
    QApplication::processEvents();
    EXPECT_EQ(seen->dataChanged, 1) << "2000 cells, one announcement";
    EXPECT_EQ(
        (std::vector<int>{seen->first.row(), seen->first.column(), seen->last.row(), seen->last.column()}),
        (std::vector<int>{1, 0, 500, 3}))
        << "from the first cell written to the last";
    EXPECT_EQ(seen->resets, 0);
}

// Inside the old shape.
TEST_F(QtGridAnnouncements, CellsWrittenBeforeTheShapeShrinksAreAnnouncedFirst) {
    QApplication::processEvents();
    g.TextMatrix(500, 3, "x");
    g.Rows(10);
    EXPECT_EQ(seen->dataChanged, 2);
    EXPECT_EQ(seen->last.row(), 500);
    EXPECT_EQ(seen->rowsRemoved, 1);
    QApplication::processEvents();
    EXPECT_EQ(seen->dataChanged, 2) << "nothing left over";
}

class QtGridFill : public testing::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        exec({"create table 货物 (编号 int, 名称 nvarchar(20), 金额 decimal(10,2))"});
        conn->BeginTrans();
        for (int i = 1; i <= 400; ++i) {
            conn->ExecuteWith(
                "insert into 货物 values (?, ?, ?)",
                {Value(static_cast<long long>(i)), Value("钢管" + std::to_string(i % 7)), Value(0.5 * i)});
        }
        conn->CommitTrans();
    }
    // What the view heard during one fill and the event loop after it.
    std::vector<int> fill(GridType type, int rows) {
        QTableView view;
        qt::FlexGrid g(&view, type);
        QApplication::processEvents();
        Announcements seen(view.model());
        const std::string sql =
            "select 编号, 名称, 金额 from 货物 where 编号 <= " + std::to_string(rows) + " order by 编号";
        EXPECT_EQ(clsGrid().sFillTable(sql, g, false, 2, "金额"), "");
        QApplication::processEvents();
        EXPECT_EQ(g.Rows(), rows + 2) << "heading, rows, totals";
        EXPECT_EQ(view.model()->rowCount(), rows + 2);
        return seen.counts();
    }
};

TEST_F(QtGridFill, FillTableAnnouncesAsMuchForFourHundredRowsAsForFive) {
    for (GridType type : {GridType::MSFlexGrid, GridType::MSHFlexGrid}) {
        const std::vector<int> few = fill(type, 5);
        const std::vector<int> many = fill(type, 400);
        EXPECT_EQ(few, many) << (type == GridType::MSHFlexGrid ? "MSHFlexGrid" : "MSFlexGrid");
        EXPECT_LE(many[0], 3) << "cell announcements";
    }
}

TEST_F(QtGridFill, BindingARecordsetIsOneReset) {
    QTableView view;
    qt::FlexGrid g(&view, GridType::MSHFlexGrid);
    Recordset rs;
    rs.CursorLocation(adUseClient);
    rs.Open("select 编号, 名称 from 货物", conn);
    QApplication::processEvents();
    Announcements seen(view.model());
    g.Recordset(rs);
    QApplication::processEvents();
    EXPECT_EQ(seen.counts(), (std::vector<int>{0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(view.model()->rowCount(), 401);
    EXPECT_EQ(view.model()->index(400, 2).data().toString(), QString::fromUtf8("钢管1"));
    EXPECT_TRUE(view.isRowHidden(0)) << "the bound field names are the frozen heading";
    EXPECT_TRUE(view.isColumnHidden(0));
}

TEST_F(QtGridFill, SixDigitRunningNumbersShowWholeInTheGridsFont) {
    // 100,000 rows: ten digits crossed five times
    exec({"create table 数字 (d int)", "insert into 数字 values (0),(1),(2),(3),(4),(5),(6),(7),(8),(9)",
          "create table 大表 (n int)",
          "insert into 大表 select a.d from 数字 a, 数字 b, 数字 c, 数字 e, 数字 f"});
    struct Measurer {
        std::shared_ptr<TextMeasurer> before = installedTextMeasurer();
        Measurer() { installTextMeasurer(std::make_shared<qt::FontMeasurer>()); }
        ~Measurer() { installTextMeasurer(before); }
    } measurer;
    QTableView view;
    view.setFont(QFont("Noto Sans CJK SC", 10));
    prepare(view, 600);
    qt::FlexGrid g(&view);
    ASSERT_EQ(clsGrid().sFillTable("select n from 大表", g, true, 2, "n"), "");
    ASSERT_EQ(g.TextMatrix(g.Rows() - 2, 0), "100000");
    QApplication::processEvents();
    // the fixed column is drawn in the frozen band through the item delegate, which
    // elides what is wider than the cell less its text margins
    QStyleOptionViewItem option;
    option.initFrom(&view);
    const int margin = view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, &view) + 1;
    const int shown = view.verticalHeader()->width() - 1 - 2 * margin;
    const QFontMetrics metrics(view.font());
    for (const char* number : {"100000", "99999", "88888"}) {
        EXPECT_LE(metrics.horizontalAdvance(QString::fromLatin1(number)), shown) << number;
    }
}

TEST(QtGridView, TheNewestAdapterTakesTheViewOver) {
    QTableView view;
    prepare(view);
    auto first = std::make_unique<qt::FlexGrid>(&view);
    first->TextMatrix(1, 1, "first");
    EXPECT_EQ(qt::FlexGrid::shownIn(&view), first.get());
    qt::FlexGrid second(&view);
    second.TextMatrix(1, 1, "second");
    EXPECT_EQ(qt::FlexGrid::shownIn(&view), &second);
    EXPECT_EQ(view.model()->index(1, 1).data().toString(), "second");
    first->FixedRows(0);
    first->Cols(9);
    EXPECT_TRUE(view.isRowHidden(0)) << "a grid taken over leaves the view alone";
    EXPECT_EQ(view.model()->columnCount(), 2);
    first.reset();
    EXPECT_EQ(qt::FlexGrid::shownIn(&view), &second) << "nor does it empty the view when it goes";
}

TEST(QtGridView, TheViewEmptiesWhenItsLastGridGoes) {
    QTableView view;
    prepare(view);
    {
        auto first = std::make_unique<qt::FlexGrid>(&view);
        qt::FlexGrid second(&view);
        first.reset();
    }
    EXPECT_EQ(qt::FlexGrid::shownIn(&view), nullptr);
    EXPECT_EQ(view.model(), nullptr);
    EXPECT_FALSE(view.grab().isNull()) << "the headers paint nothing without a grid";
}

// A form with a grid's view, a QTableWidget and a view of the host's own model.
class QtFormGrids : public ::testing::Test {
protected:
    void SetUp() override {
        view->setObjectName("flx");
        view->setProperty("GridType", "MSHFlexGrid");
        table->setObjectName("old");
        other->setObjectName("own");
        other->setModel(&hostModel);
    }
    std::vector<Control*> grids() {
        std::vector<Control*> out;
        for (Control* c : form.Controls()) {
            if (c->Name() == "flx" || c->Name() == "old") out.push_back(c);
        }
        return out;
    }
    QWidget window;
    QTableView* view = new QTableView(&window);
    QTableWidget* table = new QTableWidget(2, 2, &window);
    QTableView* other = new QTableView(&window);
    QStandardItemModel hostModel{2, 2};
    qt::Form form{&window};
};

TEST_F(QtFormGrids, NeitherAQTableWidgetNorAViewOfTheHostsModelIsAGrid) {
    std::vector<std::string> walk;
    for (Control* c : form.Controls()) walk.push_back(c->typeName() + ":" + c->Name());
    EXPECT_EQ(walk, (std::vector<std::string>{"MSHFlexGrid:flx", "QTableWidget:old", "QTableView:own"}))
        << "headers and viewports are no controls; a QTableWidget is no grid, nor a view of the host's model";
    EXPECT_EQ(other->model(), &hostModel) << "left as it was";
    EXPECT_THROW(qt::FlexGrid{table}, std::invalid_argument) << "nor can the host make it one";
    EXPECT_EQ(table->rowCount(), 2) << "and left as it was";
}

TEST_F(QtFormGrids, AFormHandsOutTheGridTheViewShows) {
    Control* own = grids().front();
    EXPECT_EQ(qt::FlexGrid::shownIn(view), own) << "the form made one and shows it";
    EXPECT_EQ(grids().front(), own) << "the same one every time";

    qt::FlexGrid host(view, GridType::MSHFlexGrid);
    host.TextMatrix(1, 1, "host");
    EXPECT_EQ(grids().front(), &host) << "the host's grid once it made one";
}

}  // namespace
}  // namespace Palvo
