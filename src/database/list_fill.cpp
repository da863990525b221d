// iFillDataToListview and mFillDataToListOrComb.

#include <cmath>
#include <utility>
#include <vector>

#include "palvo/clsDatabase.h"
#include "palvo/data.h"
#include "palvo/error.h"
#include "palvo/session.h"
#include "src/base/conversions.h"
#include "src/database/db_support.h"

namespace Palvo {

std::int16_t clsDatabase::iFillDataToListview(const std::string& sSql, ListView& lv, std::int16_t iIdindex,
                                              bool /*bCheck: kept for callers, has no effect*/) {
    Recordset rs;
    rs.CursorLocation(adUseClient);
    rs.Open(sSql, sessionConnection(), adOpenKeyset, adLockReadOnly);
    if (rs.RecordCount() > 0) rs.MoveFirst();
    lv.View(3);
    lv.ColumnHeadersClear();
    lv.ListItemsClear();
    const long cols = rs.Fields().Count();
    for (long j = 0; j < cols; ++j) {
        lv.ColumnHeadersAdd(static_cast<int>(j + 1), "Head" + std::to_string(j + 1), rs.Fields(j).Name());
    }
    int i = 1;
    while (!rs.Eof()) {
        std::string key = iIdindex < 0 ? "K" + std::to_string(i)
                                       : "K" + rs.Fields(static_cast<long>(iIdindex)).Value().toTextStrict();
        ListItem& item = lv.ListItemsAdd(i, key, rs.Fields(0L).Value().toTextStrict());
        for (long j = 1; j < cols; ++j) item.SubItems(static_cast<int>(j), rs.Fields(j).Value().toText());
        rs.MoveNext();
        ++i;
    }
    rs.Close();
    return 0;
}

void clsDatabase::mFillDataToListOrComb(const bool& bClear, const std::string& sSql,
                                        const std::int16_t& iDataIndex, const std::int16_t& iIdindex,
                                        ListControl& ObjControl, float iDefaultIndex,
                                        const std::string& sOtherString) {
    if (bClear) ObjControl.Clear();
    Recordset rs;
    rs.CursorLocation(adUseClient);
    rs.Open(sSql, sessionConnection(), adOpenKeyset, adLockReadOnly);
    if (rs.RecordCount() > 0) {
        rs.MoveFirst();
        const long cols = rs.Fields().Count();
        // The last column never supplies item data: a two-column query carries it only from column 0.
        const bool withData = iIdindex >= 0 && iIdindex < cols - 1;
        // The entries go in as one block, so a view hears of the fill once. A row that fails
        // still leaves the entries before it (and its text, when only its item data failed),
        // as adding row by row would.
        std::vector<std::string> texts{sOtherString};
        std::vector<std::int32_t> data{0};
        try {
            while (!rs.Eof()) {
                texts.push_back(rs.Fields(static_cast<long>(iDataIndex)).Value().toTextStrict());
                data.push_back(0);
                if (withData) data.back() = database::toInt32(rs.Fields(static_cast<long>(iIdindex)).Value());
                rs.MoveNext();
            }
        } catch (...) {
            ObjControl.AddItems(std::move(texts), data);
            throw;
        }
        ObjControl.AddItems(std::move(texts), data);
    }
    if (iDefaultIndex <= static_cast<float>(ObjControl.ListCount() - 1)) {
        // The index is a single-precision number; the control takes it rounded half to even.
        ObjControl.ListIndex(base::clng(static_cast<double>(iDefaultIndex)));
    }
    rs.Close();
}

}  // namespace Palvo
