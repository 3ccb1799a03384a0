// A one-pass test of which replacement pairs can possibly apply to a line, so
// that a line untouched by every pair (most lines of a log) costs one scan
// instead of one search per pair.
#pragma once

#include "engine/case_fold.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vellary::engine {

class TPairFilter {
public:
  // One bit per pair, for the first 64 pairs.
  static constexpr std::size_t MaxPairs = 64;

  TPairFilter() = default;
  // Needles are the search texts as compared (already folded unless
  // case-sensitive); Fold maps a line's bytes the same way.
  TPairFilter(const std::vector<std::string>& Needles, const TUpperTable& Fold);

  // Bit k is set when pair k may occur in Line; a clear bit means its search
  // text certainly does not. Pairs from MaxPairs on are never filtered.
  std::uint64_t Candidates(std::string_view Line) const;

private:
  static constexpr std::size_t Slots = 4096;
  static std::size_t Slot(unsigned char A, unsigned char B) {
    return ((static_cast<std::size_t>(A) << 4) ^ B) & (Slots - 1);
  }

  // Pairs by the hashed folded byte pair their search text holds; a needle
  // is present only if that byte pair is.
  std::array<std::uint64_t, Slots> ByBytePair{};
  std::uint64_t Always = 0;  // pairs of one byte: not filtered
  TUpperTable Table{};
};

}  // namespace vellary::engine
