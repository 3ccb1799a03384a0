// Byte-pair prefilter for the replacement pairs.
#include "engine/pair_filter.h"

#include "engine/byte_finder.h"

namespace vellary::engine {

TPairFilter::TPairFilter(const std::vector<std::string>& Needles, const TUpperTable& Fold)
    : Table(Fold) {
  for (std::size_t K = 0; K < Needles.size() && K < MaxPairs; ++K) {
    const std::string& N = Needles[K];
    const std::uint64_t Bit = std::uint64_t{1} << K;
    if (N.size() < 2) {
      Always |= Bit;
      continue;
    }
    // The byte pair least likely in text gives the fewest false candidates.
    std::size_t Best = 0;
    unsigned BestWeight = ~0u;
    for (std::size_t I = 0; I + 1 < N.size(); ++I) {
      const unsigned Weight = TypicalByteWeight(static_cast<unsigned char>(N[I])) *
                              TypicalByteWeight(static_cast<unsigned char>(N[I + 1]));
      if (Weight < BestWeight) {
        BestWeight = Weight;
        Best = I;
      }
    }
    ByBytePair[Slot(static_cast<unsigned char>(N[Best]), static_cast<unsigned char>(N[Best + 1]))] |= Bit;
  }
  if (Needles.size() > MaxPairs)
    Always = ~std::uint64_t{0};
}

std::uint64_t TPairFilter::Candidates(std::string_view Line) const {
  std::uint64_t Found = Always;
  if (Line.size() < 2)
    return Found;
  const auto* P = reinterpret_cast<const unsigned char*>(Line.data());
  unsigned char Previous = Table[P[0]];
  for (std::size_t I = 1; I < Line.size(); ++I) {
    const unsigned char Current = Table[P[I]];
    Found |= ByBytePair[Slot(Previous, Current)];
    Previous = Current;
  }
  return Found;
}

}  // namespace vellary::engine
