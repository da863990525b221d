// The grid and text measuring ports: destructors and the per-thread measurer.
#include "palvo/grid.h"
#include "palvo/measure.h"

namespace Palvo {

FlexGrid::~FlexGrid() = default;
TextMeasurer::~TextMeasurer() = default;

namespace {
thread_local std::shared_ptr<TextMeasurer> tMeasurer;
}  // namespace

void installTextMeasurer(std::shared_ptr<TextMeasurer> measurer) { tMeasurer = std::move(measurer); }

std::shared_ptr<TextMeasurer> installedTextMeasurer() { return tMeasurer; }

}  // namespace Palvo
