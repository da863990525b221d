// The shared control behaviour tests on the Qt controls (offscreen).
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QTableView>
#include <QTreeWidget>
#include <memory>
#include <vector>

#include "palvo/qt/grid.h"
#include "palvo/qt/lists.h"
#include "palvo/qt/text.h"
#include "qt_test_support.h"
#include "support/control_behaviour.h"
#include "support/filling_behaviour.h"

namespace Palvo::testing {
namespace {

class QtControls {
public:
    TextBox& textBox(const std::string& text) {
        auto* edit = own<QLineEdit>();
        edit->setText(QString::fromStdString(text));
        return keep<qt::TextBox>(edit);
    }
    ComboBox& comboBox() {
        auto* combo = own<QComboBox>();
        combo->setEditable(true);  // a drop-down combo: the text can be anything
        return keep<qt::ComboBox>(combo);
    }
    ListBox& listBox() {
        auto* list = own<QListView>();
        list->setSelectionMode(QAbstractItemView::MultiSelection);
        return keep<qt::ListBox>(list);
    }
    ListView& listView() { return keep<qt::ListView>(own<QTreeWidget>()); }
    FlexGrid& flexGrid(bool hierarchical) {
        auto* table = own<QTableView>();
        // About ten rows in view, the heading row among them.
        table->verticalHeader()->setDefaultSectionSize(16);
        table->resize(320, 10 * 16 + 2 * table->frameWidth());
        table->show();
        return keep<qt::FlexGrid>(table, hierarchical ? qt::GridType::MSHFlexGrid : qt::GridType::MSFlexGrid);
    }
    void settle() { QApplication::processEvents(); }

private:
    template <class W>
    W* own() {
        auto w = std::make_unique<W>();
        W* raw = w.get();
        widgets_.push_back(std::move(w));
        return raw;
    }
    template <class T, class... A>
    T& keep(A&&... args) {
        auto p = std::make_unique<T>(std::forward<A>(args)...);
        T& ref = *p;
        adapters_.push_back(std::move(p));
        return ref;
    }
    // Adapters go first: they point into the widgets.
    std::vector<std::unique_ptr<QWidget>> widgets_;
    std::vector<std::unique_ptr<Control>> adapters_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Qt, ControlBehaviour, QtControls);
INSTANTIATE_TYPED_TEST_SUITE_P(Qt, FillingBehaviour, QtControls);

}  // namespace
}  // namespace Palvo::testing
