// Byte-pair prefilter for the replacement pairs.
#include "engine/pair_filter.h"

#include "engine/byte_finder.h"

#include <array>
#include <bit>
#include <cstring>
#include <utility>

namespace vellary::engine {

// The table index of the byte pair A B: what a two-byte load of A B reads,
// so that a line is scanned with one load per byte.
static std::size_t Index(unsigned char A, unsigned char B) {
  if constexpr (std::endian::native == std::endian::little)
    return static_cast<std::size_t>(B) << 8 | A;
  else
    return static_cast<std::size_t>(A) << 8 | B;
}

static std::size_t IndexAt(const char* P) {
  std::uint16_t Two;
  std::memcpy(&Two, P, sizeof Two);
  return Two;
}

TPairFilter::TPairFilter(std::vector<std::string> Texts, const TUpperTable& Table)
    : Needles(std::move(Texts)), Fold(Table), LinesToLearn(LearningLines) {
  Choose([](unsigned char A, unsigned char B) {
    return std::uint64_t{TypicalByteWeight(A)} * TypicalByteWeight(B);
  });
  Seen.assign(65536, 0);
}

template <typename TWeight> void TPairFilter::Choose(TWeight Weight) {
  // Every raw byte pair that folds to the chosen pair is entered, so that a
  // line is scanned as it is, without folding each byte.
  std::array<std::vector<unsigned char>, 256> Preimages;
  for (unsigned B = 0; B < 256; ++B)
    Preimages[Fold[B]].push_back(static_cast<unsigned char>(B));
  ByBytePair.assign(65536, 0);
  Always = Needles.size() > MaxPairs ? ~std::uint32_t{0} : 0;
  for (std::size_t K = 0; K < Needles.size() && K < MaxPairs; ++K) {
    const auto* N = reinterpret_cast<const unsigned char*>(Needles[K].data());
    const std::size_t Size = Needles[K].size();
    const std::uint32_t Bit = std::uint32_t{1} << K;
    if (Size < 2) {
      Always |= Bit;
      continue;
    }
    std::size_t Best = 0;
    for (std::size_t I = 1; I + 1 < Size; ++I)
      if (Weight(N[I], N[I + 1]) < Weight(N[Best], N[Best + 1]))
        Best = I;
    for (unsigned char A : Preimages[N[Best]])
      for (unsigned char B : Preimages[N[Best + 1]])
        ByBytePair[Index(A, B)] |= Bit;
  }
}

void TPairFilter::Learn(std::string_view Line) {
  const auto* P = reinterpret_cast<const unsigned char*>(Line.data());
  for (std::size_t I = 1; I < Line.size(); ++I)
    ++Seen[Index(Fold[P[I - 1]], Fold[P[I]])];
  if (--LinesToLearn > 0)
    return;
  // Ties (often: pairs never seen) go to the pair that is rarer in text.
  Choose([this](unsigned char A, unsigned char B) {
    return (std::uint64_t{Seen[Index(A, B)]} << 32) +
           std::uint64_t{TypicalByteWeight(A)} * TypicalByteWeight(B);
  });
  std::vector<std::uint32_t>().swap(Seen);
}

std::uint32_t TPairFilter::Candidates(std::string_view Line) const {
  std::uint32_t Found = Always;
  if (Line.size() < 2 || ByBytePair.empty())
    return Found | (ByBytePair.empty() ? ~std::uint32_t{0} : 0);
  const char* P = Line.data();
  const std::size_t Last = Line.size() - 1;  // byte pairs start at 0 .. Last - 1
  const std::uint32_t* Table = ByBytePair.data();
  // Two accumulators let neighbouring lookups overlap.
  std::uint32_t Other = 0;
  std::size_t I = 0;
  for (; I + 1 < Last; I += 2) {
    Found |= Table[IndexAt(P + I)];
    Other |= Table[IndexAt(P + I + 1)];
  }
  if (I < Last)
    Found |= Table[IndexAt(P + I)];
  return Found | Other;
}

}  // namespace vellary::engine
