// The multi-text automaton: built from the texts in sorted order, so that the
// trie comes out in one pass with each state's edges already sorted.
#include "engine/multi_finder.h"

#include "engine/folded_line.h"

#include <algorithm>

namespace vellary::engine {

TMultiFinder::TMultiFinder(std::span<const std::string_view> Texts, const TUpperTable& Fold)
    : Table(Fold) {
  // Sorted by their first eight bytes as one number, and only where those
  // tie by the whole text: a million texts sort in a fraction of a second.
  struct TKeyed {
    std::uint64_t Key;
    std::uint32_t Index;
  };
  std::vector<TKeyed> Keyed;
  for (std::size_t I = 0; I < Texts.size(); ++I) {
    if (Texts[I].empty())
      continue;
    std::uint64_t Key = 0;
    for (std::size_t B = 0; B < 8; ++B)
      Key = Key << 8 | (B < Texts[I].size() ? static_cast<unsigned char>(Texts[I][B]) : 0u);
    Keyed.push_back({Key, static_cast<std::uint32_t>(I)});
  }
  if (Keyed.empty())
    return;
  // char_traits<char> compares as unsigned bytes, the order of the edges.
  std::sort(Keyed.begin(), Keyed.end(), [&](const TKeyed& A, const TKeyed& B) {
    return A.Key != B.Key ? A.Key < B.Key : Texts[A.Index] < Texts[B.Index];
  });
  std::vector<std::uint32_t> Order(Keyed.size());
  for (std::size_t K = 0; K < Keyed.size(); ++K)
    Order[K] = Keyed[K].Index;
  Build(Texts, Order);
}

void TMultiFinder::Build(std::span<const std::string_view> Texts,
                         const std::vector<std::uint32_t>& Order) {
  // States in depth-first order: a text adds the states past the prefix it
  // shares with the text before it.
  std::size_t MostStates = 1;
  for (std::uint32_t I : Order)
    MostStates += Texts[I].size();
  std::vector<std::uint32_t> Parent;
  std::vector<unsigned char> Byte;
  Parent.reserve(MostStates);
  Byte.reserve(MostStates);
  Parent.push_back(NoState);
  Byte.push_back(0);
  std::vector<std::uint32_t> Path{0};  // the states along the previous text
  std::vector<std::uint32_t> EndOf(Order.size());
  std::string_view Previous;
  for (std::size_t K = 0; K < Order.size(); ++K) {
    const std::string_view Text = Texts[Order[K]];
    const std::size_t Shared = static_cast<std::size_t>(
        std::mismatch(Text.begin(), Text.end(), Previous.begin(), Previous.end()).first - Text.begin());
    Path.resize(Shared + 1);
    for (std::size_t D = Shared; D < Text.size(); ++D) {
      Path.push_back(static_cast<std::uint32_t>(Parent.size()));
      Parent.push_back(Path[D]);
      Byte.push_back(static_cast<unsigned char>(Text[D]));
    }
    EndOf[K] = Path[Text.size()];
    Previous = Text;
  }
  const std::size_t States = Parent.size();

  EdgeStart.assign(States + 1, 0);
  for (std::size_t S = 1; S < States; ++S)
    ++EdgeStart[Parent[S] + 1];
  for (std::size_t S = 0; S < States; ++S)
    EdgeStart[S + 1] += EdgeStart[S];
  EdgeByte.resize(States - 1);
  EdgeTo.resize(States - 1);
  std::vector<std::uint32_t> Cursor(EdgeStart.begin(), EdgeStart.end() - 1);
  for (std::size_t S = 1; S < States; ++S) {
    const std::uint32_t At = Cursor[Parent[S]]++;
    EdgeByte[At] = Byte[S];
    EdgeTo[At] = static_cast<std::uint32_t>(S);
    if (Parent[S] == 0)
      RootNext[Byte[S]] = static_cast<std::uint32_t>(S);
  }

  EndStart.assign(States + 1, 0);
  for (std::uint32_t S : EndOf)
    ++EndStart[S + 1];
  for (std::size_t S = 0; S < States; ++S)
    EndStart[S + 1] += EndStart[S];
  Ending.resize(Order.size());
  Cursor.assign(EndStart.begin(), EndStart.end() - 1);
  for (std::size_t K = 0; K < Order.size(); ++K)
    Ending[Cursor[EndOf[K]]++] = Order[K];
  Link(Parent, Byte);
}

// Fallbacks and outputs, shallow states first: a state's fallback is
// always shallower than the state.
void TMultiFinder::Link(const std::vector<std::uint32_t>& Parent,
                        const std::vector<unsigned char>& Byte) {
  const std::size_t States = Parent.size();
  std::vector<std::uint32_t> Depth(States, 0);
  std::vector<std::uint32_t> CountAt{1};
  for (std::size_t S = 1; S < States; ++S) {
    Depth[S] = Depth[Parent[S]] + 1;
    if (Depth[S] >= CountAt.size())
      CountAt.push_back(0);
    ++CountAt[Depth[S]];
  }
  std::vector<std::uint32_t> First(CountAt.size() + 1, 0);
  for (std::size_t D = 0; D < CountAt.size(); ++D)
    First[D + 1] = First[D] + CountAt[D];
  std::vector<std::uint32_t> ByDepth(States);
  for (std::size_t S = 0; S < States; ++S)
    ByDepth[First[Depth[S]]++] = static_cast<std::uint32_t>(S);

  Fail.assign(States, 0);
  Output.assign(States, NoState);
  NextOutput.assign(States, NoState);
  for (std::uint32_t S : ByDepth) {
    if (S == 0)
      continue;
    if (Parent[S] != 0)
      Fail[S] = Step(Fail[Parent[S]], Byte[S]);
    const bool Ends = EndStart[S] != EndStart[S + 1];
    Output[S] = Ends ? S : Output[Fail[S]];
    NextOutput[S] = Output[Fail[S]];
  }
}

std::uint32_t TMultiFinder::Child(std::uint32_t State, unsigned char Byte) const {
  const std::uint32_t Begin = EdgeStart[State], End = EdgeStart[State + 1];
  if (End - Begin <= 8) {
    for (std::uint32_t E = Begin; E < End; ++E)
      if (EdgeByte[E] == Byte)
        return EdgeTo[E];
    return 0;
  }
  const auto* At = std::lower_bound(EdgeByte.data() + Begin, EdgeByte.data() + End, Byte);
  return At != EdgeByte.data() + End && *At == Byte ? EdgeTo[static_cast<std::size_t>(At - EdgeByte.data())] : 0;
}

std::uint32_t TMultiFinder::Step(std::uint32_t State, unsigned char Byte) const {
  for (;;) {
    if (State == 0)
      return RootNext[Byte];
    if (const std::uint32_t Next = Child(State, Byte); Next != 0)
      return Next;
    State = Fail[State];
  }
}

// Calls Visit with each state reached that ends a text; Visit returns true
// to stop. At the root, bytes that start no text are skipped in a tight loop.
template <typename TVisit>
bool TMultiFinder::Run(std::string_view Hay, bool Wrapped, TVisit&& Visit) const {
  std::uint32_t State = 0;
  const unsigned char Marker = Table[static_cast<unsigned char>(LineBoundaryMarker)];
  if (Wrapped && (State = Step(State, Marker), Output[State] != NoState) && Visit(State))
    return true;
  const auto* P = reinterpret_cast<const unsigned char*>(Hay.data());
  const auto* End = P + Hay.size();
  while (P < End) {
    if (State == 0) {
      while (P < End && RootNext[Table[*P]] == 0)
        ++P;
      if (P == End)
        break;
    }
    State = Step(State, Table[*P++]);
    if (Output[State] != NoState && Visit(State))
      return true;
  }
  return Wrapped && (State = Step(State, Marker), Output[State] != NoState) && Visit(State);
}

bool TMultiFinder::Contains(std::string_view Hay, bool Wrapped) const {
  if (Fail.empty())
    return false;
  return Run(Hay, Wrapped, [](std::uint32_t) { return true; });
}

void TMultiFinder::Collect(std::string_view Hay, TScratch& Scratch,
                           std::vector<std::uint32_t>& Found) const {
  if (Fail.empty())
    return;
  if (Scratch.Seen.size() != Fail.size()) {
    Scratch.Seen.assign(Fail.size(), 0);
    Scratch.Pass = 0;
  }
  if (++Scratch.Pass == 0) {
    std::fill(Scratch.Seen.begin(), Scratch.Seen.end(), 0);
    Scratch.Pass = 1;
  }
  // A state already reported in this pass had its whole output chain
  // reported with it: the walk stops there.
  Run(Hay, false, [&](std::uint32_t State) {
    for (std::uint32_t O = Output[State]; O != NoState && Scratch.Seen[O] != Scratch.Pass; O = NextOutput[O]) {
      Scratch.Seen[O] = Scratch.Pass;
      Found.insert(Found.end(), Ending.begin() + EndStart[O], Ending.begin() + EndStart[O + 1]);
    }
    return false;
  });
}

}  // namespace vellary::engine
