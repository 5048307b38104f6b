// Holds a 64-bit result to the int32 range, so that sums and products of user
// numbers never wrap when they are stored back into 32 bits.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

inline int32_t clampToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}
