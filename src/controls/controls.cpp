#include "palvo/controls.h"

namespace Palvo {

std::vector<std::string> TextBox::Lines() const {
    std::vector<std::string> out;
    const int count = LineCount();
    for (int i = 0; i < count; ++i) out.push_back(Line(i));
    return out;
}

Control::~Control() = default;
ListItem::~ListItem() = default;

}  // namespace Palvo
