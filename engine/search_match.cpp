// Search lists: splitting, extended-mode anchors and escapes, and testing a
// line wrapped in boundary markers through lists prepared once.
#include "engine/search_match.h"

#include "engine/replace_table.h"

#include <algorithm>
#include <cassert>

namespace vellary::engine {

// Calls Visit for each item of List in order until Visit returns true. An
// empty list holds one empty item; delimiters at either end add empty items.
template <typename TVisit>
static bool AnyItem(std::string_view List, std::string_view Delimiter, TVisit&& Visit) {
  for (;;) {
    const std::size_t Cut = List.find(Delimiter);
    if (Visit(List.substr(0, Cut)))
      return true;
    if (Cut == std::string_view::npos)
      return false;
    List.remove_prefix(Cut + Delimiter.size());
  }
}

std::string ExtendedSearchItem(std::string_view Item) {
  std::string Out(Item);
  if (Out.starts_with("\\^"))
    Out = ReplaceAll(Out, "\\^", "^");
  else if (Out.starts_with('^'))
    Out[0] = LineBoundaryMarker;

  if (Out.ends_with("\\$")) {
    Out = ReplaceAll(Out, "\\$", "$");
  } else if (Out.ends_with('$')) {
    // Every "$", not only the last: such an item meets a line with a marker
    // byte of its own only.
    for (char& C : Out)
      if (C == '$')
        C = LineBoundaryMarker;
  }
  return TranslateExtendedEscapes(Out, /*WithDivider=*/false);
}

// The eight lists in their fixed order: the option value, the prepared list
// and the match field of each, and whether it is tested only when given.
struct TListField {
  std::string_view TSearchListTexts::*Text;
  TPreparedSearchList TPreparedSearchLists::*Prepared;
  bool TSearchMatchRec::*Match;
  bool TSearchListTexts::*TextGiven;   // null: always tested
  bool TPreparedSearchLists::*PreparedGiven;
};
static constexpr TListField ListFields[] = {
    {&TSearchListTexts::SpaceBefore, &TPreparedSearchLists::SpaceBefore, &TSearchMatchRec::SpaceBefore, nullptr, nullptr},
    {&TSearchListTexts::SpaceAfter, &TPreparedSearchLists::SpaceAfter, &TSearchMatchRec::SpaceAfter, nullptr, nullptr},
    {&TSearchListTexts::LineBefore, &TPreparedSearchLists::LineBefore, &TSearchMatchRec::LineBefore, nullptr, nullptr},
    {&TSearchListTexts::LineAfter, &TPreparedSearchLists::LineAfter, &TSearchMatchRec::LineAfter, nullptr, nullptr},
    {&TSearchListTexts::Skip, &TPreparedSearchLists::Skip, &TSearchMatchRec::SkipLine, nullptr, nullptr},
    {&TSearchListTexts::Find, &TPreparedSearchLists::Find, &TSearchMatchRec::Find,
     &TSearchListTexts::FindGiven, &TPreparedSearchLists::FindGiven},
    {&TSearchListTexts::FindBefore, &TPreparedSearchLists::FindBefore, &TSearchMatchRec::FindBefore,
     &TSearchListTexts::FindBeforeGiven, &TPreparedSearchLists::FindBeforeGiven},
    {&TSearchListTexts::FindAfter, &TPreparedSearchLists::FindAfter, &TSearchMatchRec::FindAfter,
     &TSearchListTexts::FindAfterGiven, &TPreparedSearchLists::FindAfterGiven},
};

TPreparedSearchList::TPreparedSearchList(std::string_view List, std::string_view Delimiter,
                                         const TMatchOptions& Options)
    : Marker(Options.CaseSensitive
                 ? static_cast<unsigned char>(LineBoundaryMarker)
                 : Options.Upper.ByteTable()[static_cast<unsigned char>(LineBoundaryMarker)]) {
  AnyItem(List, Delimiter, [&](std::string_view Item) {
    const std::string Text = Options.Extended ? ExtendedSearchItem(Item) : std::string(Item);
    if (Text.empty())
      return false;  // matches nothing: not kept
    TItem Prepared{TByteFinder(Text, Options.CaseSensitive, Options.Upper), false};
    Prepared.HasMarker = Prepared.Needle.Folded().find(static_cast<char>(Marker)) != std::string::npos;
    NoFold = NoFold && Prepared.Needle.AnyLine();
    Items.push_back(std::move(Prepared));
    return false;
  });
  if (Items.size() < ManyItems)
    return;
  std::vector<std::string_view> Texts;
  for (std::size_t I = 0; I < Items.size(); ++I) {
    const bool Alone = Items[I].Needle.ChecksBoundaries();
    Texts.push_back(Alone ? std::string_view() : std::string_view(Items[I].Needle.Folded()));
    if (Alone)
      Loose.push_back(I);
  }
  Many = TMultiFinder(Texts, Items.front().Needle.FoldTable());
  OnePass = true;
}

// Whether the item occurs in marker + Line + marker. Occurrences wholly inside
// the line are found directly; only an item holding the marker can overlap
// an edge, and then just at the first or the last possible start.
bool TPreparedSearchList::MatchesItem(const TItem& Item, std::string_view Line) const {
  if (Item.Needle.Find(Line) != std::string_view::npos)
    return true;
  if (!Item.HasMarker)
    return false;
  const std::size_t N = Line.size();
  const std::size_t M = Item.Needle.Size();
  if (M > N + 2)
    return false;
  const std::string& Folded = Item.Needle.Folded();
  auto MatchesWrappedAt = [&](std::size_t Start) {
    for (std::size_t K = 0; K < M; ++K) {
      const std::size_t J = Start + K;  // index in the wrapped line
      const unsigned char W =
          J == 0 || J == N + 1 ? Marker : Item.Needle.Fold(static_cast<unsigned char>(Line[J - 1]));
      if (W != static_cast<unsigned char>(Folded[K]))
        return false;
    }
    return true;
  };
  return MatchesWrappedAt(0) || MatchesWrappedAt(N + 2 - M);
}

bool TPreparedSearchList::Matches(std::string_view Line) const {
  assert(NoFold && "a list that may need the folded line is tested through TFoldedLine");
  if (OnePass)
    return Many.Contains(Line, /*Wrapped=*/true);  // no item is loose: each is exact on any line
  for (const TItem& Item : Items)
    if (MatchesItem(Item, Line))
      return true;
  return false;
}

bool TPreparedSearchList::Literal() const {
  return NoFold && std::none_of(Items.begin(), Items.end(), [](const TItem& I) { return I.HasMarker; });
}

std::vector<const TByteFinder*> TPreparedSearchList::Finders() const {
  std::vector<const TByteFinder*> Out;
  for (const TItem& Item : Items)
    Out.push_back(&Item.Needle);
  return Out;
}

// An item whose byte search is not exact on this line is searched for the
// case forms of its characters in the line as it is where it can be, or
// else in the folded line, where the markers stand at the edges already.
// Items searched in one pass all take the folded line then: there an item
// whose byte search is exact finds what it finds in the line itself.
bool TPreparedSearchList::MatchesAny(TFoldedLine& Line) const {
  if (OnePass) {
    const bool Raw = NoFold || Line.ByteSearchable();
    return (Raw ? Many.Contains(Line.Text(), /*Wrapped=*/true) : Many.Contains(Line.Wrapped(), false)) ||
           MatchesLoose(Line);
  }
  for (const TItem& Item : Items) {
    if (Item.Needle.AnyLine() || Line.ByteSearchable()) {
      if (MatchesItem(Item, Line.Text()))
        return true;
      continue;
    }
    bool GaveUp = true;
    std::size_t Length;
    if (Item.Needle.RawSearchable() && !Item.HasMarker &&
        Item.Needle.FindRaw(Line.Text(), 0, Line.Fold(), Length, GaveUp) != std::string_view::npos)
      return true;
    if (GaveUp && Item.Needle.FindFolded(Line.Wrapped()) != std::string_view::npos)
      return true;
  }
  return false;
}

bool TPreparedSearchList::MatchesLoose(TFoldedLine& Line) const {
  for (std::size_t I : Loose)
    if (Items[I].Needle.FindFolded(Line.Wrapped()) != std::string_view::npos)
      return true;
  return false;
}

TPreparedSearchLists PrepareSearchLists(const TSearchListTexts& Lists, std::string_view Delimiter,
                                        const TMatchOptions& Options) {
  TPreparedSearchLists Out;
  for (const TListField& F : ListFields) {
    Out.*F.Prepared = TPreparedSearchList(Lists.*F.Text, Delimiter, Options);
    if (F.TextGiven != nullptr)
      Out.*F.PreparedGiven = Lists.*F.TextGiven;
  }
  return Out;
}

TSearchMatchRec MatchSearchLists(TFoldedLine& Line, const TPreparedSearchLists& Lists) {
  TSearchMatchRec Rec;
  for (const TListField& F : ListFields)
    Rec.*F.Match = (F.PreparedGiven != nullptr && !(Lists.*F.PreparedGiven)) ||
                   (Lists.*F.Prepared).Matches(Line);
  return Rec;
}

}  // namespace vellary::engine
