// The order a flex grid's generic sort gives.
#include <algorithm>
#include <numeric>

#include "palvo/grid.h"
#include "src/base/conversions.h"

namespace Palvo {

std::vector<std::size_t> genericSortOrder(const std::vector<std::string_view>& texts, int how) {
    struct Key {
        int kind = 0;  // 0 empty, 1 number, 2 other text
        double number = 0;
    };
    std::vector<Key> keys(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (texts[i].empty()) continue;
        if (auto n = base::readNumber(texts[i])) {
            keys[i] = Key{1, *n};
        } else {
            keys[i].kind = 2;
        }
    }
    auto less = [&](std::size_t a, std::size_t b) {
        if (keys[a].kind != keys[b].kind) return keys[a].kind < keys[b].kind;
        if (keys[a].kind == 1) return keys[a].number < keys[b].number;
        return texts[a] < texts[b];
    };
    std::vector<std::size_t> order(texts.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    if (how == 2) {
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return less(b, a); });
    } else {
        std::stable_sort(order.begin(), order.end(), less);
    }
    return order;
}

}  // namespace Palvo
