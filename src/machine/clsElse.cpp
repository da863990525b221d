// clsElse: each method forwards to the machine module.
#include "palvo/clsElse.h"

#include "src/machine/else.h"

namespace Palvo {

void clsElse::ShowMouse() { machine::ShowMouse(); }

void clsElse::HideMouse() { machine::HideMouse(); }

POINTAPI clsElse::lSreenCoordinate() { return machine::lSreenCoordinate(); }

bool clsElse::bExecuteCode(std::string& stCode) { return machine::bExecuteCode(stCode, false); }

bool clsElse::bExecuteCode(std::string& stCode, bool& fCheckOnly) {
    return machine::bExecuteCode(stCode, fCheckOnly);
}

}  // namespace Palvo
