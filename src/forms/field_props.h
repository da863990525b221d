// The entry-form conventions every forms module reads (label tags, lookup
// sources, index lists, the field property arrays), and the operations that
// prepare an entry form: its look, sInitForm and sInitFieldProp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "palvo/error.h"
#include "palvo/form.h"
#include "palvo/grid.h"

namespace Palvo::forms {

// ---- conventions ----------------------------------------------------------

/// The tag code of a label tag: its first character ("" for an empty tag).
std::string tagCode(std::string_view labelTag);
/// The column name of a label tag: everything from its second character on.
std::string columnName(std::string_view labelTag);
/// The tag code as a number, for the checks that compare it numerically.
/// Throws Palvo::Error 13 (type mismatch) when the tag does not start with a digit.
int tagNumber(std::string_view labelTag);

/// A lookup source "table,column" split at its first comma.
struct LookupSource {
    std::string table;
    std::string column;
};
/// Throws Palvo::Error 5 when the tag holds no comma.
LookupSource lookupSource(std::string_view textTag);

/// The indexes of an index list such as "0,3,": every part but the one after
/// the last comma. Throws Palvo::Error 13 for a part that is not a number.
std::vector<int> indexList(std::string_view list);

/// Whether NotCheck exempts text box i ("*" i ",*": "13," exempts 13 and 3).
bool exempt(std::string_view notCheck, int i);

/// Element i of a field property array. Throws Palvo::Error 9 (subscript out of range).
template <class T>
const T& element(const std::vector<T>& a, int i) {
    if (i < 0 || static_cast<std::size_t>(i) >= a.size()) {
        throw Error(ErrorNumber::SubscriptOutOfRange, "Subscript out of range: " + std::to_string(i));
    }
    return a[static_cast<std::size_t>(i)];
}

/// The field type codes, as sFieldType holds them.
inline constexpr std::string_view kTextField = "1";
inline constexpr std::string_view kNumberField = "2";
inline constexpr std::string_view kDateField = "3";  // a date-time
inline constexpr std::string_view kImageField = "4";

/// The field type code of an ADO column type: number, date, image or, for the rest, text.
std::string fieldTypeCode(int adoType);

/// Selects the whole text of a box and focuses it when it is enabled.
void selectAndFocus(TextBox& box);

// ---- files beside the library --------------------------------------------

/// The folder of the library's own file: the shared object that holds it, or
/// the executable's folder when it is linked in statically. Ends without "/".
std::string libraryFolder();
/// The link cursor of lookup labels, "<libraryFolder>/Main_icon/cursor1.cur".
std::string cursorFile();

// ---- the look ---------------------------------------------------------------

void applyColors(Form& f);
void lockBox(TextBox& TXT);
void setEditable(TextBox& TXT, bool can_edit);
void makeSelectable(Label& lbl);
void formatGrid(FlexGrid& flx);

// ---- preparing an entry form ------------------------------------------------

}  // namespace Palvo::forms
