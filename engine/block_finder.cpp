// Two-byte vector probes for a few needles at once, verified by each
// needle's own finder.
#include "engine/block_finder.h"

#include "core/ascii.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace vellary::engine {

static constexpr std::size_t Lanes = 16;
// Which end of a 64-bit word holds the first of its eight bytes.
static constexpr bool Little = std::endian::native == std::endian::little;

// How a text byte is tested against folded needle byte Target through the
// finder's table: exactly, or with 0x20 or'ed in when the table folds just
// the two ASCII cases of a letter onto it. False for any other table.
static bool PlainProbe(const TByteFinder& Finder, unsigned char Target, unsigned char& Fold,
                       unsigned char& Want) {
  unsigned Count = 0;
  bool OnlyCases = true;
  const auto Lower = static_cast<unsigned char>(core::AsciiLower(static_cast<char>(Target)));
  for (unsigned B = 0; B < 256; ++B) {
    if (Finder.Fold(static_cast<unsigned char>(B)) != Target)
      continue;
    ++Count;
    OnlyCases = OnlyCases && (B == Target || B == Lower);
  }
  if (Count == 1 && Finder.Fold(Target) == Target) {
    Fold = 0;
    Want = Target;
    return true;
  }
  if (Count == 2 && OnlyCases && Lower != Target) {
    Fold = 0x20;
    Want = Lower;
    return true;
  }
  return false;
}

TBlockFinder::TBlockFinder(std::span<const TByteFinder* const> Finders) {
  if (Finders.size() > MaxNeedles)
    return;
  for (const TByteFinder* Finder : Finders) {
    const std::string& Needle = Finder->Folded();
    // The two plainly probed bytes that are likely rarest, in needle order.
    std::array<unsigned char, 2> Fold{}, Want{};
    std::size_t Best[2] = {Needle.size(), Needle.size()};
    unsigned Weight[2] = {~0u, ~0u};
    for (std::size_t I = 0; I < Needle.size(); ++I) {
      unsigned char F, W;
      const auto Target = static_cast<unsigned char>(Needle[I]);
      if (!PlainProbe(*Finder, Target, F, W))
        continue;
      const unsigned Here = TypicalByteWeight(Target);
      const int Slot = Here < Weight[0] ? 0 : Here < Weight[1] ? 1 : 2;
      if (Slot == 0) {
        Best[1] = Best[0];
        Weight[1] = Weight[0];
      }
      if (Slot < 2) {
        Best[Slot] = I;
        Weight[Slot] = Here;
      }
    }
    if (Best[0] == Needle.size())
      return;  // no byte can be probed plainly
    if (Best[1] == Needle.size())
      Best[1] = Best[0];
    TProbe Probe{Finder, std::min(Best[0], Best[1]), std::max(Best[0], Best[1]), {}, {}, {}, {},
                 Needle.size() <= Lanes, {}, {}};
    for (std::size_t L = 0; L < Lanes; ++L) {
      unsigned char F = 0xFF, W = 0xFF;
      if (L < Needle.size() && !PlainProbe(*Finder, static_cast<unsigned char>(Needle[L]), F, W))
        Probe.Short = false;
      Probe.FoldAll[L] = F;
      Probe.WantAll[L] = W;
    }
    for (int K = 0; K < 2; ++K)
      PlainProbe(*Finder, static_cast<unsigned char>(Needle[K == 0 ? Probe.First : Probe.Second]),
                 Fold[static_cast<std::size_t>(K)], Want[static_cast<std::size_t>(K)]);
    for (std::size_t L = 0; L < Lanes; ++L) {
      Probe.Fold1[L] = Fold[0];
      Probe.Want1[L] = Want[0];
      Probe.Fold2[L] = Fold[1];
      Probe.Want2[L] = Want[1];
    }
    MaxOffset = std::max(MaxOffset, Probe.Second);
    Longest = std::max(Longest, Needle.size());
    if (!Probe.Short)
      LongestVerified = std::max(LongestVerified, Needle.size());
    Probes.push_back(Probe);
  }
  IsUsable = true;
}

// Sixteen lanes at once when the needle is short and there is room.
bool TBlockFinder::TProbe::Verified(std::string_view Hay, std::size_t Pos) const {
  if (!Short || Hay.size() - Pos < Lanes)
    return Finder->MatchesAt(Hay, Pos);
  TBytes V;
  std::memcpy(&V, Hay.data() + Pos, Lanes);
  const auto Fits = reinterpret_cast<TBytes>((V | FoldAll) == WantAll);
  std::uint64_t Half[2];
  std::memcpy(Half, &Fits, sizeof Half);
  return (Half[0] & Half[1]) == ~std::uint64_t{0};
}

bool TBlockFinder::MatchesAnyAt(std::string_view Hay, std::size_t Pos, std::size_t& Length) const {
  for (const TProbe& Probe : Probes)
    if (Probe.Verified(Hay, Pos)) {
      Length = Probe.Finder->Size();
      return true;
    }
  return false;
}

std::size_t TBlockFinder::FindInTail(std::string_view Hay, std::size_t From,
                                     std::size_t& Length) const {
  std::size_t First = std::string_view::npos;
  for (const TProbe& Probe : Probes) {
    const std::size_t At = Probe.Finder->Find(Hay, From);
    if (At < First) {
      First = At;
      Length = Probe.Finder->Size();
    }
  }
  return First;
}

// The first occurrence of any needle by each needle's own finder, window by
// window, so that a needle found only far on is not searched for to the end
// each time the caller asks for the next occurrence.
std::size_t TBlockFinder::FindEach(std::string_view Hay, std::size_t From, std::size_t& Length) const {
  const std::size_t Window = std::max(std::size_t{1} << 16, 4 * Longest);
  for (std::size_t W = From; W < Hay.size(); W += Window) {
    // Every occurrence that starts in the window fits in Part.
    const std::size_t Limit = std::min(Hay.size(), W + Window + Longest);
    const std::size_t At = FindInTail(Hay.substr(0, Limit), W, Length);
    if (At < W + Window || Limit == Hay.size())
      return At;
  }
  return std::string_view::npos;
}

// The first start position at or after From where some probe fits, scanning
// while every probe's 16 bytes lie inside Hay; Stop when none fits before
// that. N is the number of probes, fixed so that the compiler keeps every
// probe's bytes in vector registers.
template <std::size_t N>
std::size_t TBlockFinder::FirstFit(const char* Base, std::size_t From, std::size_t Stop,
                                   const TProbe* Probes, std::uint64_t* Bits) {
  std::array<TProbe, N> P;
  std::copy(Probes, Probes + N, P.begin());
  for (std::size_t Pos = From; Pos < Stop; Pos += Lanes) {
    TBytes Hit{};
    for (std::size_t K = 0; K < N; ++K) {
      TBytes A, B;
      std::memcpy(&A, Base + Pos + P[K].First, Lanes);
      std::memcpy(&B, Base + Pos + P[K].Second, Lanes);
      Hit |= reinterpret_cast<TBytes>(((A | P[K].Fold1) == P[K].Want1) & ((B | P[K].Fold2) == P[K].Want2));
    }
    std::memcpy(Bits, &Hit, 2 * sizeof Bits[0]);
    if ((Bits[0] | Bits[1]) != 0)
      return Pos;
  }
  return Stop;
}

std::size_t TBlockFinder::Find(std::string_view Hay, std::size_t From, std::size_t& Length) const {
  using TScan = std::size_t (*)(const char*, std::size_t, std::size_t, const TProbe*, std::uint64_t*);
  static constexpr TScan Scans[MaxNeedles] = {FirstFit<1>, FirstFit<2>, FirstFit<3>, FirstFit<4>,
                                              FirstFit<5>, FirstFit<6>, FirstFit<7>, FirstFit<8>};
  if (Probes.empty())
    return std::string_view::npos;
  // Start positions from Stop on are left to the finders themselves.
  const std::size_t Stop = Hay.size() >= MaxOffset + Lanes ? Hay.size() - MaxOffset - Lanes + 1 : 0;
  std::size_t Pos = From;
  std::size_t Work = 0;  // bytes of long needles verified in vain, as if whole
  while (Pos < Stop) {
    std::uint64_t Bits[2];
    Pos = Scans[Probes.size() - 1](Hay.data(), Pos, Stop, Probes.data(), Bits);
    if (Pos >= Stop)
      break;
    for (std::size_t H = 0; H < 2; ++H) {
      // A fitting lane is a byte of all ones; lanes in order keep the first.
      for (std::uint64_t Lane8 = Bits[H]; Lane8 != 0;) {
        const auto Lane = static_cast<std::size_t>(Little ? std::countr_zero(Lane8) : std::countl_zero(Lane8)) / 8;
        if (MatchesAnyAt(Hay, Pos + H * 8 + Lane, Length))
          return Pos + H * 8 + Lane;
        Work += LongestVerified;
        if (Work > 4 * (Pos - From) + 8 * LongestVerified && LongestVerified > 0)
          return FindEach(Hay, Pos, Length);
        Lane8 &= ~(std::uint64_t{0xFF} << ((Little ? Lane : 7 - Lane) * 8));
      }
    }
    Pos += Lanes;
  }
  return FindInTail(Hay, std::max(Pos, From), Length);
}

}  // namespace vellary::engine
