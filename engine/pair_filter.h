// A one-pass test of which replacement pairs can possibly apply to a line, so
// that a line untouched by every pair (most lines of a log) costs one scan
// instead of one search per pair.
#pragma once

#include "engine/case_fold.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vellary::engine {

class TPairFilter {
public:
  // One bit per pair, for the first 32 pairs.
  static constexpr std::size_t MaxPairs = 32;
  // Lines looked at before the byte pairs are chosen again from what the
  // input really holds.
  static constexpr int LearningLines = 2000;

  TPairFilter() = default;
  // Needles are the search texts as compared (already folded unless
  // case-sensitive); Fold maps a line's bytes the same way.
  TPairFilter(std::vector<std::string> Needles, const TUpperTable& Fold);

  // Bit k is set when pair k may occur in Line; a clear bit means its search
  // text certainly does not. Pairs from MaxPairs on are never filtered.
  std::uint32_t Candidates(std::string_view Line) const;

  // While learning, counts the byte pairs of Line; after LearningLines lines
  // each search text's byte pair becomes the one least seen. Any choice is
  // exact; a rare one just leaves fewer lines to search.
  void Observe(std::string_view Line) {
    if (LinesToLearn > 0)
      Learn(Line);
  }

private:
  void Learn(std::string_view Line);
  // Enters each search text under its byte pair that Weight ranks rarest.
  template <typename TWeight> void Choose(TWeight Weight);

  std::vector<std::string> Needles;
  TUpperTable Fold{};
  // Pairs by each raw byte pair that folds to the chosen byte pair of their
  // search text. Indexed by the two bytes themselves: 256 KiB, no hashing.
  std::vector<std::uint32_t> ByBytePair;
  std::uint32_t Always = 0;  // pairs of one byte: not filtered
  int LinesToLearn = 0;
  std::vector<std::uint32_t> Seen;  // folded byte pair counts while learning
};

}  // namespace vellary::engine
