#include "recorder/SpeedTables.h"

#include <cstdlib>

const char* NearestSpeedLabel(const SpeedEntry* table, size_t rows, uint32_t speed)
{
    if (rows == 0)
        return nullptr;
    if (speed <= table[0].speed)
        return table[0].label;
    for (size_t j = 1; j < rows; ++j) {
        if (table[j - 1].speed <= speed && speed <= table[j].speed) {
            const int64_t below = std::llabs(int64_t(table[j - 1].speed) - int64_t(speed));
            const int64_t above = std::llabs(int64_t(speed) - int64_t(table[j].speed));
            return below > above ? table[j].label : table[j - 1].label;
        }
    }
    return nullptr;
}
