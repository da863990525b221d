// Text measuring port: how wide a text prints at a font size.
#pragma once

#include <memory>
#include <string_view>

#include "palvo/export.h"

namespace Palvo {

class PALVO_API TextMeasurer {
public:
    virtual ~TextMeasurer();
    /// The printed width of a UTF-8 text in twips (1 point = 20 twips) at
    /// fontSize points, in the font the measurer stands for.
    virtual double TextWidth(std::string_view text, double fontSize) const = 0;
    /// True when measuring a text costs no more than adding up its
    /// characters' widths. Sizing columns to their content measures every
    /// cell with such a measurer; with any other it measures only the cells
    /// that may be wider than their column so far.
    virtual bool quick() const;
};

/// Installs the calling thread's text measurer (nullptr removes it).
PALVO_API void installTextMeasurer(std::shared_ptr<TextMeasurer> measurer);
/// The calling thread's text measurer, or nullptr.
PALVO_API std::shared_ptr<TextMeasurer> installedTextMeasurer();

}  // namespace Palvo
