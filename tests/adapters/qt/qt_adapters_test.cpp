// What only the Qt adapters do: colours, twips, real dialogs, fonts, the pointer and forms over widgets.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "palvo/clsForm.h"
#include "palvo/error.h"
#include "palvo/memory/grid.h"
#include "palvo/memory/measure.h"
#include "palvo/qt/cursor.h"
#include "palvo/qt/form.h"
#include "palvo/qt/grid.h"
#include "palvo/qt/measure.h"
#include "palvo/qt/msgbox.h"
#include "palvo/qt/text.h"
#include "palvo/qt/translations.h"
#include "palvo/qt/window_host.h"
#include "qt_test_support.h"
#include "src/grid/grid_fill.h"
#include "support/errors.h"
#include "support/kerning_measurer.h"

namespace Palvo {
namespace {

using SB = QMessageBox::StandardButton;

using testing::errorNumber;

constexpr std::int32_t sys(std::uint32_t n) { return static_cast<std::int32_t>(0x80000000u + n); }

TEST(QtUnits, ColoursAreBlueGreenRed) {
    struct Case {
        std::int32_t color;
        QColor expected;
    };
    const std::vector<Case> cases = {
        {0x0000FF, QColor(255, 0, 0)},
        {0x123456, QColor(0x56, 0x34, 0x12)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(qt::toQColor(c.color, QPalette()), c.expected) << std::hex << c.color;
        EXPECT_EQ(qt::fromQColor(c.expected), c.color) << std::hex << c.color;
    }
}

// Each system colour index reads its own palette role, given a colour of its own here.
TEST(QtUnits, SystemColoursComeFromThePalette) {
    QPalette p;
    const std::vector<std::pair<std::uint32_t, QPalette::ColorRole>> roles = {
        {4, QPalette::Window},  {5, QPalette::Base},        {8, QPalette::Text},
        {15, QPalette::Button}, {18, QPalette::ButtonText}, {24, QPalette::ToolTipBase}};
    for (const auto& [index, role] : roles) p.setColor(QPalette::Active, role, QColor(index, 2, 3));
    for (const auto& [index, role] : roles)
        EXPECT_EQ(qt::toQColor(sys(index), p), QColor(index, 2, 3)) << index;
    EXPECT_FALSE(qt::toQColor(sys(99), p).isValid()) << "an index the library never uses";
}

TEST(QtUnits, TwipsFollowTheResolution) {
    struct Twips {
        std::int32_t twips;
        int dpi;
        int pixels;
    };
    const std::vector<Twips> twips = {{1440, 96, 96}, {960, 96, 64}, {1440, 120, 120},
                                      {15, 96, 1},    {0, 96, 0},    {600, 144, 60}};
    for (const auto& c : twips) {
        EXPECT_EQ(qt::twipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " at " << c.dpi;
        EXPECT_EQ(qt::pixelsToTwips(c.pixels, c.dpi), c.twips) << c.pixels << " at " << c.dpi;
    }
}

// A grid over a view whose properties give 5 rows, 4 columns and 2 fixed rows.
class QtGrid : public ::testing::Test {
protected:
    void SetUp() override {
        table.setProperty("Rows", 5);
        table.setProperty("Cols", 4);
        table.setProperty("FixedRows", 2);
        table.setProperty("FixedCols", 0);
        g = std::make_unique<qt::FlexGrid>(&table, qt::GridType::MSHFlexGrid);
    }
    void shapeThreeByThree() {
        g->Rows(3);
        g->Cols(3);
        g->FixedRows(1);
        g->FixedCols(1);
    }
    QModelIndex cell(int row, int col) { return table.model()->index(row, col); }
    int alignment(int row, int col) { return cell(row, col).data(Qt::TextAlignmentRole).toInt(); }

    QTableView table;
    std::unique_ptr<qt::FlexGrid> g;
};

TEST_F(QtGrid, TakesTheShapeFromTheViewsProperties) {
    EXPECT_EQ(g->typeName(), "MSHFlexGrid");
    EXPECT_EQ((std::vector<int>{g->Rows(), g->Cols(), g->FixedRows(), g->FixedCols(), g->Row()}),
              (std::vector<int>{5, 4, 2, 0, 2}));
}

TEST_F(QtGrid, WidthsInTwipsFollowTheUser) {
    const int dpi = table.logicalDpiX();
    g->ColWidth(1, 1440);
    EXPECT_EQ(table.columnWidth(1), dpi) << "one inch";
    table.setColumnWidth(1, 2 * dpi);  // the user drags the column wider
    EXPECT_EQ(g->ColWidth(1), 2880);
    table.resize(dpi * 3, 100);
    EXPECT_EQ(g->Width(), 3 * 1440);
}

TEST_F(QtGrid, CellColoursShowInTheTable) {
    shapeThreeByThree();
    const auto background = [&] { return cell(2, 1).data(Qt::BackgroundRole); };
    g->Row(2);
    g->Col(1);
    g->CellBackColor(0x0000FF);
    EXPECT_EQ(background().value<QBrush>().color(), QColor(255, 0, 0));
    g->CellBackColor(sys(24));
    EXPECT_EQ(background().value<QBrush>().color(), table.palette().color(QPalette::ToolTipBase));
    g->CellBackColor(0);
    EXPECT_FALSE(background().isValid()) << "0 is the grid's default again";
}

TEST_F(QtGrid, GeneralAlignmentSetsNumbersRightTextsLeft) {
    shapeThreeByThree();
    g->TextMatrix(1, 1, "12.5");
    g->TextMatrix(1, 2, "钢管");
    EXPECT_EQ(cell(1, 2).data().toString(), QString::fromUtf8("钢管"));
    EXPECT_TRUE(alignment(1, 1) & Qt::AlignRight);
    EXPECT_TRUE(alignment(1, 2) & Qt::AlignLeft);
}

TEST_F(QtGrid, AColumnsAlignmentAppliesToItsExistingCells) {
    shapeThreeByThree();
    g->TextMatrix(1, 1, "12.5");
    g->ColAlignment(1, 4);
    EXPECT_EQ(alignment(1, 1), int(Qt::AlignHCenter | Qt::AlignVCenter));
}

TEST_F(QtGrid, FixedCellsAreNotEditable) {
    shapeThreeByThree();
    g->FixedRows(2);
    EXPECT_FALSE(cell(1, 1).flags() & Qt::ItemIsEditable);
}

TEST(QtMessageBoxStyle, TheStyleNumberLaysOutTheBox) {
    struct Case {
        int style;
        QMessageBox::Icon icon;
        std::vector<SB> buttons;
        SB defaultButton;
    };
    const std::vector<Case> cases = {
        {0, QMessageBox::NoIcon, {SB::Ok}, SB::Ok},
        {1 + 16, QMessageBox::Critical, {SB::Ok, SB::Cancel}, SB::Ok},
        {2, QMessageBox::NoIcon, {SB::Abort, SB::Retry, SB::Ignore}, SB::Abort},
        {3 + 32 + 512, QMessageBox::Question, {SB::Yes, SB::No, SB::Cancel}, SB::Cancel},
        {4 + 48 + 256, QMessageBox::Warning, {SB::Yes, SB::No}, SB::No},
        {4 + 512, QMessageBox::NoIcon, {SB::Yes, SB::No}, SB::No},
        {5 + 64, QMessageBox::Information, {SB::Retry, SB::Cancel}, SB::Retry},
        {52, QMessageBox::Warning, {SB::Yes, SB::No}, SB::Yes},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        const qt::BoxLayout l = qt::boxLayout(c.style);
        EXPECT_EQ(l.icon, c.icon);
        EXPECT_EQ(l.buttons, c.buttons);
        EXPECT_EQ(l.defaultButton, c.defaultButton);
    }
}

// Answers the next modal message box from the event loop and notes what it showed.
struct Seen {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    QStringList buttonTexts;  // sorted
    bool defaultIsNo = false;
};

void answerNextBox(Seen& seen, SB press) {
    QTimer::singleShot(0, [&seen, press] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        seen.buttons = static_cast<int>(box->buttons().size());
        seen.buttonTexts.clear();
        for (QAbstractButton* b : box->buttons()) seen.buttonTexts << b->text();
        seen.buttonTexts.sort();
        seen.defaultIsNo = box->defaultButton() == box->button(SB::No);
        if (press == SB::NoButton) {
            box->reject();  // Escape or the window's close button
        } else {
            box->button(press)->click();
        }
    });
}

TEST(QtMessageBox, ARealDialogReturnsThePressedButtonReadAsOnAChineseDesktop) {
    ScopedMessageBox guard(std::make_shared<qt::MessageBox>());
    Seen seen;
    answerNextBox(seen, SB::No);
    EXPECT_EQ(msgBox("保存吗？", vbYesNo + vbQuestion + vbDefaultButton2, "Vantrel提示"), vbNo);
    EXPECT_EQ(seen.title, QString::fromUtf8("Vantrel提示"));
    EXPECT_EQ(seen.text, QString::fromUtf8("保存吗？"));
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(seen.buttons, 2);
    EXPECT_TRUE(seen.defaultIsNo);

    answerNextBox(seen, SB::Retry);
    EXPECT_EQ(msgBox("重试？", vbAbortRetryIgnore + vbCritical, "提示"), vbRetry);
    EXPECT_EQ(seen.icon, QMessageBox::Critical);

    answerNextBox(seen, SB::NoButton);
    EXPECT_EQ(msgBox("a", vbYesNoCancel), vbCancel) << "closing is Cancel";
    answerNextBox(seen, SB::NoButton);
    EXPECT_EQ(msgBox("<b>not bold</b>", vbOKOnly + vbInformation), vbOK) << "closing an OK box is OK";
    EXPECT_EQ(seen.text, "<b>not bold</b>");
    EXPECT_EQ(seen.title, QApplication::applicationName()) << "an empty title gives the application's name";

    const std::vector<std::pair<int, std::vector<const char*>>> cases = {
        {vbOKCancel, {"确定", "取消"}},
        {vbAbortRetryIgnore, {"中止(&A)", "重试(&R)", "忽略(&I)"}},
        {vbYesNoCancel, {"是(&Y)", "否(&N)", "取消"}},
    };
    for (const auto& [style, expected] : cases) {
        answerNextBox(seen, SB::NoButton);
        msgBox("提示", style, "提示");
        QStringList want;
        for (const char* t : expected) want << QString::fromUtf8(t);
        want.sort();
        EXPECT_EQ(seen.buttonTexts, want) << style;
    }
    // the print and file dialogs take Qt's own translations, loaded once
    EXPECT_TRUE(qt::useChineseTexts());
    EXPECT_NE(QCoreApplication::translate("QPrintDialog", "Print"), QStringLiteral("Print"));
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Look in:"));
    EXPECT_NE(QCoreApplication::translate("QPrintPreviewDialog", "Print Preview"),
              QStringLiteral("Print Preview"));
}

// What a host's own message box (its about box) reads on its OK button.
std::string hostOkText() {
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Ok);
    return box.button(QMessageBox::Ok)->text().toStdString();
}

TEST(QtChineseTexts, MakingTheQtHostLoadsThemBeforeAnyLibraryWindowShows) {
    const std::vector<std::pair<const char*, std::function<void()>>> setUps = {
        {"window host", [] { qt::WindowHost host; }},
        {"message box", [] { qt::MessageBox box; }},
    };
    for (const auto& [what, setUp] : setUps) {
        // as at start-up: no translation loaded yet
        for (auto* t : qApp->findChildren<QTranslator*>()) {
            QCoreApplication::removeTranslator(t);
            delete t;
        }
        ASSERT_EQ(hostOkText(), "OK") << what;
        setUp();
        EXPECT_EQ(hostOkText(), "确定") << what;
    }
}

// Numbers and dates are summed from their marks and other texts remembered; either way
// the width is the one Qt gives the whole text in the CJK font, at every size asked for.
TEST(QtFontMeasurer, KeptWidthsAreTheShapedWidths) {
    qt::FontMeasurer m;
    const std::vector<std::string> texts = {"12345.50", "2004-01-01", "-1,234",   "08:30:00",
                                            "1/2",      "+3.5 ",      "金额合计", "第1234批",
                                            "Q235-17",  "AV Wa",      "12345.50", ""};
    for (double size : {9.0, 12.0, 9.0}) {
        QFont font(QString::fromUtf8("Noto Sans CJK SC"));
        font.setPointSizeF(size);
        font.setHintingPreference(QFont::PreferNoHinting);
        const QFontMetricsF metrics(font);
        const double twips = 1440.0 / metrics.fontDpi();
        for (int pass = 0; pass < 2; ++pass) {
            for (const auto& t : texts) {
                const double shaped = metrics.horizontalAdvance(QString::fromStdString(t)) * twips;
                EXPECT_NEAR(m.TextWidth(t, size), shaped, 1e-9 * shaped)
                    << t << " at " << size << ", pass " << pass;
            }
        }
    }
}

TEST(QtFontMeasurer, AgreesWithTheHeadlessFontFileMeasurer) {
    const qt::FontMeasurer onScreen;
    const memory::FontFileMeasurer fromFile(memory::kNotoSansCjkPath, "Noto Sans CJK SC");
    // Qt lays glyphs on whole pixels at the screen's resolution; the file's design widths do not.
    // The file's ideographs are one em, so Qt's are too within the margin.
    for (const char* text :
         {"金额合计", "金额合计 Total 12,345.50", "2004-01-01", "螺纹钢 Q235-17 第1234批"}) {
        for (double size : {9.0, 12.0}) {
            const double w = fromFile.TextWidth(text, size);
            EXPECT_NEAR(onScreen.TextWidth(text, size), w, 0.02 * w) << text << " at " << size;
        }
    }
}

// Columns sized from bounds of their characters' widths are as wide as
// measuring every cell whole in the CJK font makes them, kerned Latin pairs,
// punctuation and Chinese beside Latin included.
TEST(QtFontMeasurer, ColumnsSizedFromCharacterBoundsAreAsWideAsMeasuredWhole) {
    struct EveryCell : TextMeasurer {
        explicit EveryCell(const TextMeasurer& m) : measurer(m) {}
        double TextWidth(std::string_view text, double size) const override {
            return measurer.TextWidth(text, size);
        }
        bool quick() const override { return true; }
        const TextMeasurer& measurer;
    };
    const qt::FontMeasurer font;
    auto columns = testing::kerningColumns();
    columns.push_back({"To", "AVAVAV", "LTA", "Wa.", "Yo,", "T.V.A.", "P.J.", "ff", "1111"});
    columns.push_back({"钢管，", "「Q235」", "第1234批", "金额：12,345.50", "Tô", "AV金", "金AV"});
    for (const auto& texts : columns) {
        if (texts[0].size() > 300) continue;  // wider than 16 bits of twips: an overflow either way
        memory::FlexGrid g;
        g.Cols(1);
        g.Rows(static_cast<int>(texts.size()) + 1);
        for (std::size_t r = 0; r < texts.size(); ++r) g.TextMatrix(static_cast<int>(r) + 1, 0, texts[r]);
        for (double size : {9.0, 12.0})
            EXPECT_EQ(grid::contentWidths(g, font, size), grid::contentWidths(g, EveryCell(font), size))
                << texts[1] << " at " << size;
    }
}

TEST(QtCursor, DisplayCountHidesThePointerBelowZero) {
    qt::Cursor c;
    EXPECT_EQ(c.ShowCursor(false), -1);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);
    EXPECT_EQ(c.ShowCursor(false), -2);
    EXPECT_EQ(c.ShowCursor(true), -1);
    EXPECT_EQ(c.ShowCursor(true), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "shown again at 0";
    EXPECT_EQ(c.ShowCursor(true), 1);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(QtCursor, AHiddenPointerIsRestoredWhenThePortGoes) {
    {
        qt::Cursor c;
        c.ShowCursor(false);
        c.ShowCursor(false);
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(QtCursor, ReadsThePointersPosition) {
    qt::Cursor c;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCursor::setPos(QGuiApplication::primaryScreen(), screen.left() + 30, screen.top() + 40);
    POINTAPI pt;
    ASSERT_TRUE(c.GetCursorPos(pt));
    EXPECT_EQ(pt, (POINTAPI{30, 40}));
}

class QtForm : public ::testing::Test {
protected:
    void SetUp() override {
        window.setObjectName("frmUnit");
        addLabel("lbl_0", "2名称");
        txt0 = add<QLineEdit>("TXT_0");
        addLabel("lbl_1", "1单位编号");
        txt1 = add<QPlainTextEdit>("TXT_1");
        txt1->setProperty(qt::kTagProperty, "B_单位,单位编号");
        addLabel("lbl_2", "0编号");
        add<QLineEdit>("TXT_2");
        combo = add<QComboBox>("cmbType");
        combo->setEditable(true);
        add<QPushButton>("cmdAdd");
        addLabel("Label9", "");
    }
    template <class W>
    W* add(const char* name) {
        auto* w = new W(&window);
        w->setObjectName(name);
        return w;
    }
    void addLabel(const char* name, const char* tag) {
        add<QLabel>(name)->setProperty(qt::kTagProperty, QString::fromUtf8(tag));
    }

    QWidget window;
    QLineEdit* txt0 = nullptr;
    QPlainTextEdit* txt1 = nullptr;
    QComboBox* combo = nullptr;
};

TEST_F(QtForm, ArraysAreFoundByObjectName) {
    qt::Form form(&window);
    EXPECT_EQ(form.Name(), "frmUnit");
    ASSERT_EQ(form.TXT().Count(), 3);
    EXPECT_EQ(form.TXT().UBound(), 2);
    EXPECT_EQ(form.lbl().Count(), 3);
    EXPECT_EQ(form.lbl()(1).Tag(), "1单位编号");
    EXPECT_EQ(form.TXT()(1).Tag(), "B_单位,单位编号");
    EXPECT_EQ(form.TXT()(1).Index(), 1);
    EXPECT_EQ(form.lbl()(2).Index(), 2);
    EXPECT_EQ(errorNumber([&] { form.TXT()(3); }), 340);
}

TEST_F(QtForm, AGapInAnArrayPartsUBoundFromCount) {
    qt::Form form(&window);
    delete window.findChild<QLineEdit*>("TXT_2");
    new QLineEdit(&window);
    window.findChildren<QLineEdit*>().last()->setObjectName("TXT_4");
    EXPECT_EQ(form.TXT().Count(), 3);
    EXPECT_EQ(form.TXT().UBound(), 4);
}

TEST_F(QtForm, ControlsWalkInCreationOrder) {
    qt::Form form(&window);
    std::vector<std::string> walk;
    for (Control* c : form.Controls()) walk.push_back(c->typeName() + ":" + c->Name());
    EXPECT_EQ(walk, (std::vector<std::string>{"Label:lbl", "TextBox:TXT", "Label:lbl", "TextBox:TXT",
                                              "Label:lbl", "TextBox:TXT", "ComboBox:cmbType",
                                              "QPushButton:cmdAdd", "Label:Label9"}))
        << "array members are named by their array, as the registry walks expect; "
           "the combo's own line edit is no control of the form";
    EXPECT_EQ(form.Controls(), form.Controls()) << "the same adapters every time";
    EXPECT_EQ(&form.TXT()(0), form.Controls()[1]);
}

TEST_F(QtForm, TheLibraryInitialisesAQtForm) {
    qt::Form form(&window);
    clsForm frm;
    EXPECT_EQ(frm.sInitForm(form), "");
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(form.TXT()(i).Enabled()) << i;
    EXPECT_FALSE(txt0->isEnabled());
    Label& lookup = form.lbl()(1);
    EXPECT_TRUE(lookup.FontUnderline());
    EXPECT_FALSE(lookup.Enabled());
    EXPECT_TRUE(window.findChild<QLabel*>("lbl_1")->font().underline());
    EXPECT_FALSE(form.lbl()(0).FontUnderline());
    EXPECT_EQ(form.TXT()(2).BackColor(), sys(4)) << "read-only: the menu colour";
    auto* readOnly = window.findChild<QLineEdit*>("TXT_2");
    EXPECT_EQ(readOnly->palette().color(QPalette::Active, QPalette::Base),
              readOnly->palette().color(QPalette::Active, QPalette::Window));
}

TEST_F(QtForm, ADisabledBoxLooksDisabledWhateverColoursItWasGiven) {
    qt::Form form(&window);
    clsForm frm;
    frm.sInitForm(form);
    auto* plain = add<QLineEdit>("plain");  // never coloured: the style's disabled look
    plain->setEnabled(false);
    const QColor disabledBase = plain->palette().color(QPalette::Disabled, QPalette::Base);
    const QColor disabledText = plain->palette().color(QPalette::Disabled, QPalette::Text);
    ASSERT_NE(disabledBase, QColor(Qt::white)) << "the style must tell disabled boxes apart";
    const std::vector<QWidget*> widgets = {txt0, txt1};
    for (int i = 0; i < 2; ++i) {
        TextBox& box = form.TXT()(i);
        QWidget* w = widgets[static_cast<std::size_t>(i)];
        // 修改 makes the box editable and white, 取消 disables it again
        frm.mTxt_Editable(box);
        box.ForeColor(0x0000FF);
        EXPECT_EQ(w->palette().color(QPalette::Active, QPalette::Base), QColor(Qt::white)) << i;
        EXPECT_EQ(w->palette().color(QPalette::Inactive, QPalette::Text), QColor(255, 0, 0)) << i;
        box.Enabled(false);
        EXPECT_EQ(w->palette().color(QPalette::Disabled, QPalette::Base), disabledBase) << i;
        EXPECT_EQ(w->palette().color(QPalette::Disabled, QPalette::Text), disabledText) << i;
        EXPECT_EQ(box.BackColor(), 0xFFFFFF) << "the colour set still reads back";
    }
}

// A 16-pixel image in a folder of its own, to serve as a pointer or an icon.
class QtFormFiles : public QtForm {
protected:
    void SetUp() override {
        QtForm::SetUp();
        ASSERT_TRUE(dir.isValid());
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(Qt::black);
        ASSERT_TRUE(image.save(cursorFile));
    }
    QTemporaryDir dir;
    const QString cursorFile = dir.filePath("cursor1.png");
};

TEST_F(QtForm, ALabelShowsItsLook) {
    auto* widget = window.findChild<QLabel*>("lbl_1");
    qt::Label l(widget, 1);
    l.ForeColor(0xFF0000);
    EXPECT_EQ(widget->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    l.FontBold(true);
    EXPECT_TRUE(widget->font().bold());
}

TEST_F(QtFormFiles, ALabelTakesACustomPointer) {
    auto* widget = window.findChild<QLabel*>("lbl_1");
    qt::Label l(widget, 1);
    l.MousePointer(99);
    EXPECT_EQ(widget->cursor().shape(), Qt::ArrowCursor) << "no custom pointer loaded yet";
    l.MouseIcon(cursorFile.toStdString());
    EXPECT_EQ(widget->cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(errorNumber([&] { l.MouseIcon(dir.filePath("missing.cur").toStdString()); }), 53);
    EXPECT_EQ(l.MouseIcon(), cursorFile.toStdString()) << "the pointer loaded before stays";
    l.MousePointer(0);
    EXPECT_EQ(widget->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(QtFormFiles, TheFormShowsItsLook) {
    qt::Form form(&window);
    form.BackColor(sys(15));
    EXPECT_EQ(window.palette().color(QPalette::Window), window.palette().color(QPalette::Button));
    EXPECT_EQ(errorNumber([&] { form.Icon(dir.filePath("none.ico").toStdString()); }), 53);
    form.Icon(cursorFile.toStdString());
    EXPECT_FALSE(window.windowIcon().isNull());
}

}  // namespace
}  // namespace Palvo
