#include "palvo/controls.h"

namespace Palvo {

void ListControl::AddItems(std::vector<std::string> items, const std::vector<std::int32_t>& itemData) {
    const int first = ListCount();
    for (std::size_t i = 0; i < items.size(); ++i) {
        AddItem(items[i]);
        if (i < itemData.size()) ItemData(first + static_cast<int>(i), itemData[i]);
    }
}

std::vector<std::string> TextBox::Lines() const {
    std::vector<std::string> out;
    const int count = LineCount();
    for (int i = 0; i < count; ++i) out.push_back(Line(i));
    return out;
}

Control::~Control() = default;
ListItem::~ListItem() = default;

}  // namespace Palvo
