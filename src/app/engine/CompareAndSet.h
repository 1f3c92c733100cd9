#pragma once

#include <algorithm>
#include <set>
#include <vector>

namespace rp::engine {

// A window may wait for hours between its load and its write while other programs change the store. Both
// engines therefore write as a compare-and-set in one statement: the row is named by the key it was loaded
// under, and the write takes only if that row still holds what the load read in every field read from it or
// written to it since. These are those columns: the key first, in key order, then the others in table order.
inline std::vector<int> comparedColumns(const std::vector<int>& key, const std::set<int>& watched)
{
    std::vector<int> columns = key;
    for (const int column : watched) {
        if (std::find(key.begin(), key.end(), column) == key.end()) {
            columns.push_back(column);
        }
    }
    return columns;
}

} // namespace rp::engine
