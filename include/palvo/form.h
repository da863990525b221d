// The host's form as the library sees it.
#pragma once

#include <string>

#include "palvo/controls.h"

namespace Palvo {

/// A host form. The query initialisers take it and leave it alone; the
/// data-entry framework reads its controls.
class Form : public Control {
public:
    std::string typeName() const override { return "Form"; }
};

}  // namespace Palvo
