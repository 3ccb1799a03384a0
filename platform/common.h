// The system-specific steps that the shared part of the OS layer (common.cpp)
// calls; the posix_*.cpp files and the win32_*.cpp files each define them.
// Internal to the platform layer.
#pragma once

#include <string>

namespace vellary::platform::detail {

// The user's regional abbreviated name of Month 1..12, empty when the system
// has none.
std::string RegionalMonthAbbreviation(int Month);

}  // namespace vellary::platform::detail
