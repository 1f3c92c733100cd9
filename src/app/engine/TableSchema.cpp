#include "app/engine/TableSchema.h"

#include <algorithm>

namespace rp::engine {

int TableSchema::columnIndex(const QString& name) const
{
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name.compare(name, Qt::CaseInsensitive) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::vector<int> TableSchema::primaryKeyColumns() const
{
    std::vector<int> key;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].primaryKeyPosition > 0) {
            key.push_back(static_cast<int>(i));
        }
    }
    std::sort(key.begin(), key.end(), [this](int a, int b) {
        return columns[static_cast<std::size_t>(a)].primaryKeyPosition <
               columns[static_cast<std::size_t>(b)].primaryKeyPosition;
    });
    return key;
}

} // namespace rp::engine
