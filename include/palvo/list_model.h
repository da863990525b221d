// The list models are the list controls themselves (palvo/controls.h): a
// ComboBox or a ListBox keeps its entries and rules, and a view listens to it.
// The model names stay for hosts that use them.
#pragma once

#include "palvo/controls.h"

namespace Palvo {

using ComboBoxModel = ComboBox;
using ListBoxModel = ListBox;

}  // namespace Palvo
