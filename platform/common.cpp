// The parts of the OS layer that are the same on every system; both builds
// compile this file beside their own implementation.
#include "platform/platform.h"

#include "platform/common.h"

namespace vellary::platform {

std::string MonthAbbreviation(int Month) {
  static constexpr const char* English[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  if (Month < 1 || Month > 12)
    return std::string();
  std::string Regional = detail::RegionalMonthAbbreviation(Month);
  return Regional.empty() ? std::string(English[Month - 1]) : Regional;
}

}  // namespace vellary::platform
