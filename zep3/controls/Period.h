#pragma once
/// @struct CPeriod
/// One typed period of a day of the weekly schedule (CScheduleCtrl).
#include <cstdint>

struct CPeriod {
    int32_t start = 0; ///< minutes after midnight, 0..1440
    int32_t end = 0;   ///< minutes after midnight, above start
    int32_t type = 0;  ///< the application's type number
};
static_assert(sizeof(CPeriod) == 12, "three 32-bit integers");
