// Look-ups in lists, arrays and list views: clsFunction's list helpers.
#include "src/util/lists.h"

#include "palvo/clsFunction.h"
#include "palvo/error.h"
#include "src/base/conversions.h"

namespace Palvo::util {

std::int16_t listIndexOf(ListControl& ObjControl, const std::string& sText, std::int16_t iCompareType) {
    // A text that is not a number equals no item data.
    const std::optional<double> number = iCompareType != 0 ? base::readNumber(sText) : std::nullopt;
    if (iCompareType != 0 && !number) return -1;
    const int count = ObjControl.ListCount();
    for (int i = 0; i < count; ++i) {
        const bool match = iCompareType == 0 ? ObjControl.List(i) == sText
                                             : static_cast<double>(ObjControl.ItemData(i)) == *number;
        if (!match) continue;
        if (i > 32767) throw Error(ErrorNumber::Overflow, "Overflow");
        return static_cast<std::int16_t>(i);
    }
    return -1;
}

}  // namespace Palvo::util

namespace Palvo {

std::int16_t clsFunction::iGetElementIndexFromArray(const std::vector<std::string>& sArray,
                                                    const std::string& sText) {
    for (std::size_t i = 0; i < sArray.size(); ++i) {
        if (sArray[i] != sText) continue;
        if (i > 32767) throw Error(ErrorNumber::Overflow, "Overflow");
        return static_cast<std::int16_t>(i);
    }
    return -1;
}

void clsFunction::mExChangeListItem(ListBox& ObjLst, std::int32_t iIndex1, std::int32_t iIndex2) {
    const std::int32_t last = ObjLst.ListCount() - 1;
    if (iIndex1 > last || iIndex2 > last) return;
    const std::string text1 = ObjLst.List(iIndex1);
    const std::string text2 = ObjLst.List(iIndex2);
    const bool sel1 = ObjLst.Selected(iIndex1);
    const bool sel2 = ObjLst.Selected(iIndex2);
    // the item data stays at its position
    ObjLst.List(iIndex1, text2);
    ObjLst.List(iIndex2, text1);
    ObjLst.Selected(iIndex1, sel2);
    ObjLst.Selected(iIndex2, sel1);
    ObjLst.ListIndex(iIndex2);
}

std::int16_t clsFunction::iGetIdxFromComOrList(ListControl& ObjControl, const std::string& sText,
                                               std::int16_t iCompareType) {
    return util::listIndexOf(ObjControl, sText, iCompareType);
}

std::int32_t clsFunction::lGetIndexFromLV(ListView& ObjControl, const std::string& sText) {
    const int count = ObjControl.ListItemsCount();
    for (int i = 1; i <= count; ++i) {
        if (ObjControl.ListItems(i).Text() == sText) return i;
    }
    return 0;
}

}  // namespace Palvo
