// Wall-time limits of the tests, stretched by $VELLARY_TIME_FACTOR: under a
// user-mode emulator (the arm64 stage) some work takes up to fifteen times
// as long, while what a limit guards against, work growing with the square
// of the input, would still take far longer.
#pragma once

#include <cstdlib>

namespace vellary::fixtures {

template <class TDuration>
TDuration TimeLimit(TDuration Native) {
  const char* Factor = std::getenv("VELLARY_TIME_FACTOR");
  const long N = Factor != nullptr ? std::strtol(Factor, nullptr, 10) : 1;
  return Native * (N > 1 ? N : 1);
}

}  // namespace vellary::fixtures
