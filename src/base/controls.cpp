#include "palvo/controls.h"

namespace Palvo {

void ListControl::AddItems(std::vector<std::string> items) {
    for (const std::string& item : items) AddItem(item);
}

Control::~Control() = default;
ListItem::~ListItem() = default;

}  // namespace Palvo
