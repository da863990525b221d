// The flex grid a host hands to the library's methods. Every grid is the grid
// model (palvo/grid_model.h): the memory grid with a headless geometry, the Qt
// grid shown in a view. The library reads and writes it as that model.
#pragma once

#include "palvo/grid_model.h"

namespace Palvo {

/// The grid the methods take, MSFlexGrid or MSHFlexGrid alike.
using FlexGrid = GridModel;

}  // namespace Palvo
