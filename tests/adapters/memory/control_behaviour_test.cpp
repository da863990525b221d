// The shared control behaviour tests on the memory controls.
#include "support/control_behaviour.h"

#include <memory>
#include <vector>

#include "palvo/memory/controls.h"
#include "palvo/memory/grid.h"
#include "support/filling_behaviour.h"

namespace Palvo::testing {
namespace {

class MemoryControls {
public:
    TextBox& textBox(const std::string& text) { return keep<memory::TextBox>("Text1", text); }
    ComboBox& comboBox() { return keep<memory::ComboBox>(); }
    ListBox& listBox() { return keep<memory::ListBox>(); }
    ListView& listView() { return keep<memory::ListView>(); }
    FlexGrid& flexGrid(bool hierarchical) {
        return keep<memory::FlexGrid>(hierarchical ? memory::GridType::MSHFlexGrid
                                                   : memory::GridType::MSFlexGrid);
    }
    void settle() {}

private:
    template <class T, class... A>
    T& keep(A&&... args) {
        auto p = std::make_unique<T>(std::forward<A>(args)...);
        T& ref = *p;
        made_.push_back(std::move(p));
        return ref;
    }
    std::vector<std::unique_ptr<Control>> made_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Memory, ControlBehaviour, MemoryControls);
INSTANTIATE_TYPED_TEST_SUITE_P(Memory, FillingBehaviour, MemoryControls);

}  // namespace
}  // namespace Palvo::testing
