#include "palvo/controls.h"

#include <algorithm>

namespace Palvo {

std::vector<std::string> TextBox::Lines() const {
    std::vector<std::string> out;
    const int count = LineCount();
    out.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) out.push_back(Line(i));
    return out;
}

Control::~Control() = default;
ListItem::~ListItem() = default;

}  // namespace Palvo
