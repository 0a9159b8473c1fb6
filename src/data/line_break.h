// Line-break character data: the East Asian wide set (also display width's).
#pragma once

#include "line_break_data.h"
#include "range_table.h"

namespace scrivlet::data {

// East_Asian_Width W or F, including the unassigned code points listed as W.
inline bool is_east_asian_wide(char32_t cp) noexcept {
    return cp >= 0x1100 && range_contains(WIDE_RANGES, cp);
}

}  // namespace scrivlet::data
