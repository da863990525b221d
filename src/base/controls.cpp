#include "palvo/controls.h"

namespace Palvo {

Control::~Control() = default;
ListItem::~ListItem() = default;

}  // namespace Palvo
