// The first occurrence of any of a few needles in a whole block of lines at
// once, so that the lines holding none of them are never visited one by one.
#pragma once

#include "engine/byte_finder.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vellary::engine {

// Each needle is probed at two of its bytes (the two likely rarest) for 16
// start positions at a time; only positions where both fit are verified
// with the needle's own finder, so the answer is exact. When verifying long
// needles costs too much (a repetitive text), each needle's own finder takes
// over, which is linear in the text.
class TBlockFinder {
public:
  static constexpr std::size_t MaxNeedles = 8;

  TBlockFinder() = default;
  // The finders must outlive this. Usable() is false when there are more
  // than MaxNeedles, or a probed byte's letter case is not plain ASCII case
  // (then the caller searches line by line).
  explicit TBlockFinder(std::span<const TByteFinder* const> Finders);
  bool Usable() const { return IsUsable; }

  // Position of the first occurrence of any needle in Hay at or after From,
  // or npos; Length receives the length of the needle found there.
  std::size_t Find(std::string_view Hay, std::size_t From, std::size_t& Length) const;

private:
  // Sixteen bytes in the compiler's vector extension (GCC and Clang), which
  // maps onto the baseline vector unit of x86-64 and ARM alike.
  using TBytes = unsigned char __attribute__((vector_size(16)));
  // A needle's two probed bytes: a text byte B fits when (B | Fold) == Want,
  // Fold being 0x20 for an ASCII letter searched without case, else 0.
  struct TProbe {
    const TByteFinder* Finder;
    std::size_t First, Second;  // offsets in the needle
    TBytes Fold1, Want1, Fold2, Want2;
    // A needle of at most 16 bytes, each tested plainly, is verified in one
    // step: lanes beyond it have Fold 0xFF and Want 0xFF, so they always fit.
    bool Short;
    TBytes FoldAll, WantAll;
    // Whether the needle occurs at Pos in Hay.
    bool Verified(std::string_view Hay, std::size_t Pos) const;
  };

  template <std::size_t N>
  static std::size_t FirstFit(const char* Base, std::size_t From, std::size_t Stop,
                              const TProbe* Probes, std::uint64_t* Bits);
  std::size_t FindInTail(std::string_view Hay, std::size_t From, std::size_t& Length) const;
  std::size_t FindEach(std::string_view Hay, std::size_t From, std::size_t& Length) const;
  bool MatchesAnyAt(std::string_view Hay, std::size_t Pos, std::size_t& Length) const;

  std::vector<TProbe> Probes;
  std::size_t MaxOffset = 0;  // the farthest probed byte of any needle
  std::size_t Longest = 0;    // the longest needle
  std::size_t LongestVerified = 0;  // the longest needle not verified in one step
  bool IsUsable = false;
};

}  // namespace vellary::engine
