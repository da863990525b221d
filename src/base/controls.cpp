#include "palvo/controls.h"

namespace Palvo {

void ListControl::AddItems(std::vector<std::string> items, const std::vector<std::int32_t>& itemData) {
    const int first = ListCount();
    for (std::size_t i = 0; i < items.size(); ++i) {
        AddItem(items[i]);
        if (i < itemData.size()) ItemData(first + static_cast<int>(i), itemData[i]);
    }
}

Control::~Control() = default;
ListItem::~ListItem() = default;

}  // namespace Palvo
