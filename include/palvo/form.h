// The host's form as the library sees it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "palvo/controls.h"
#include "palvo/error.h"
#include "palvo/export.h"

namespace Palvo {

/// Error numbers of forms and control arrays.
namespace FormError {
inline constexpr long FileNotFound = 53;     // a picture or cursor file cannot be read
inline constexpr long NoArrayElement = 340;  // "Control array element does not exist"
inline constexpr long MemberNotFound = 438;  // "Object doesn't support this property or method"
}  // namespace FormError

/// A control array of a form: members indexed from 0 to UBound().
template <class T>
class PALVO_API ControlArray {
public:
    virtual ~ControlArray() = default;
    /// The number of members.
    virtual int Count() const = 0;
    /// The highest index; -1 when the array is empty.
    virtual int UBound() const = 0;
    /// The member at index. Throws Palvo::Error 340 when there is none.
    virtual T& operator()(int index) = 0;
};

/// A host form. The query initialisers take it and leave it alone; the
/// data-entry framework reads its look, its control arrays TXT and lbl and
/// its Controls walk. A plain Form has none of these: each raises
/// Palvo::Error 438 until an adapter supplies it.
class PALVO_API Form : public Control {
public:
    std::string typeName() const override { return "Form"; }

    /// Colours are 0xBBGGRR, or 0x80000000 + n for system colour n.
    virtual std::int32_t BackColor() const { unsupported("BackColor"); }
    virtual void BackColor(std::int32_t) { unsupported("BackColor"); }
    virtual std::int32_t ForeColor() const { unsupported("ForeColor"); }
    virtual void ForeColor(std::int32_t) { unsupported("ForeColor"); }
    /// The picture file shown as the form's icon; "" when none is.
    virtual std::string Icon() const { unsupported("Icon"); }
    /// Loads a picture file as the icon. Throws Palvo::Error 53 when it cannot be read.
    virtual void Icon(const std::string&) { unsupported("Icon"); }

    /// The text boxes of the entry form, one per edited column.
    virtual ControlArray<TextBox>& TXT() { unsupported("TXT"); }
    /// The captions of the text boxes, with the same indexes.
    virtual ControlArray<Label>& lbl() { unsupported("lbl"); }
    /// Every control of the form, always in the same order.
    virtual std::vector<Control*> Controls() { unsupported("Controls"); }

private:
    [[noreturn]] static void unsupported(const char* member) {
        throw Error(FormError::MemberNotFound, std::string("Method or data member not found: ") + member);
    }
};

}  // namespace Palvo
