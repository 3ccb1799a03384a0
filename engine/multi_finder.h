// Many texts searched in one pass over a line: a trie of all the texts whose
// states fall back to their longest proper suffix that is also a state, so
// that the cost of a line grows with its length and not with the number of
// texts. Memory grows with the texts' total length.
#pragma once

#include "engine/case_fold.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vellary::engine {

class TMultiFinder {
public:
  // Per-caller scratch for Collect: which states were reported in the
  // current pass. Reused from line to line, so a pass allocates nothing.
  struct TScratch {
    std::vector<std::uint32_t> Seen;
    std::uint32_t Pass = 0;
  };

  TMultiFinder() = default;
  // Texts are compared as given (already folded unless case-sensitive);
  // the bytes searched are compared through Fold. Empty texts never occur.
  TMultiFinder(std::span<const std::string_view> Texts, const TUpperTable& Fold);

  // False when no text can occur (none given, or all empty).
  bool CanMatch() const { return !Fail.empty(); }

  // Whether any text occurs in Hay; with Wrapped, in the line boundary
  // marker, Hay, the marker.
  bool Contains(std::string_view Hay, bool Wrapped) const;

  // Appends to Found the index of every text that occurs in Hay, each once,
  // in no particular order.
  void Collect(std::string_view Hay, TScratch& Scratch, std::vector<std::uint32_t>& Found) const;

private:
  static constexpr std::uint32_t NoState = ~std::uint32_t{0};
  std::uint32_t Child(std::uint32_t State, unsigned char Byte) const;
  std::uint32_t Step(std::uint32_t State, unsigned char Byte) const;
  void Build(std::span<const std::string_view> Texts, const std::vector<std::uint32_t>& Order);
  void Link(const std::vector<std::uint32_t>& Parent, const std::vector<unsigned char>& Byte);
  template <typename TVisit> bool Run(std::string_view Hay, bool Wrapped, TVisit&& Visit) const;

  TUpperTable Table{};
  std::array<std::uint32_t, 256> RootNext{};  // 0: no text starts with the byte
  // The edges of state S are EdgeByte/EdgeTo[EdgeStart[S] .. EdgeStart[S + 1]),
  // sorted by byte. State 0 is the root.
  std::vector<std::uint32_t> EdgeStart;
  std::vector<unsigned char> EdgeByte;
  std::vector<std::uint32_t> EdgeTo;
  std::vector<std::uint32_t> Fail;
  // The nearest state on the fallback chain (the state itself included)
  // where a text ends, or NoState; and the next one after it.
  std::vector<std::uint32_t> Output;
  std::vector<std::uint32_t> NextOutput;
  // The texts ending at state S: Ending[EndStart[S] .. EndStart[S + 1]).
  std::vector<std::uint32_t> EndStart;
  std::vector<std::uint32_t> Ending;
};

}  // namespace vellary::engine
