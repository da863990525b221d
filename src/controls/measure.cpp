// The text measuring port and the measurer installed for the calling thread.
#include "palvo/measure.h"

#include <utility>

namespace Palvo {

TextMeasurer::~TextMeasurer() = default;

bool TextMeasurer::quick() const { return false; }

namespace {
thread_local std::shared_ptr<TextMeasurer> tMeasurer;
}  // namespace

void installTextMeasurer(std::shared_ptr<TextMeasurer> measurer) { tMeasurer = std::move(measurer); }

std::shared_ptr<TextMeasurer> installedTextMeasurer() { return tMeasurer; }

}  // namespace Palvo
