// Search lists: splitting, extended-mode anchors and escapes, and testing a
// line wrapped in boundary markers, both plainly and through prepared lists.
#include "engine/search_match.h"

#include "engine/replace_table.h"

#include <algorithm>
#include <cassert>

namespace vellary::engine {

// Calls Visit for each item of List in order until Visit returns true. An
// empty list holds one empty item; delimiters at either end add empty items.
template <typename TVisit>
static bool AnyItem(std::string_view List, char Delimiter, TVisit&& Visit) {
  for (;;) {
    const std::size_t Cut = List.find(Delimiter);
    if (Visit(List.substr(0, Cut)))
      return true;
    if (Cut == std::string_view::npos)
      return false;
    List.remove_prefix(Cut + 1);
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

// Whether Needle occurs in Hay, character by character.
static bool ContainsCharacters(const std::vector<char32_t>& Hay, const std::vector<char32_t>& Needle) {
  return std::search(Hay.begin(), Hay.end(), Needle.begin(), Needle.end()) != Hay.end();
}

bool LineMatchesList(std::string_view Line, std::string_view List, char Delimiter,
                     const TMatchOptions& Options) {
  std::string Wrapped;
  Wrapped += LineBoundaryMarker;
  Wrapped += Line;
  Wrapped += LineBoundaryMarker;
  std::vector<char32_t> Hay, Needle;
  if (!Options.CaseSensitive)
    Options.Upper.FoldToCharacters(Wrapped, Hay);

  return AnyItem(List, Delimiter, [&](std::string_view Item) {
    const std::string Text = Options.Extended ? ExtendedSearchItem(Item) : std::string(Item);
    if (Text.empty())
      return false;
    if (Options.CaseSensitive)
      return Wrapped.find(Text) != std::string::npos;
    Options.Upper.FoldToCharacters(Text, Needle);
    return ContainsCharacters(Hay, Needle);
  });
}

TSearchMatchRec MatchSearchLists(std::string_view Line, const TSearchListTexts& Lists,
                                 char Delimiter, const TMatchOptions& Options) {
  auto Test = [&](std::string_view List) { return LineMatchesList(Line, List, Delimiter, Options); };
  TSearchMatchRec Rec;
  Rec.SpaceBefore = Test(Lists.SpaceBefore);
  Rec.SpaceAfter = Test(Lists.SpaceAfter);
  Rec.LineBefore = Test(Lists.LineBefore);
  Rec.LineAfter = Test(Lists.LineAfter);
  Rec.SkipLine = Test(Lists.Skip);
  Rec.Find = !Lists.FindGiven || Test(Lists.Find);
  Rec.FindBefore = !Lists.FindBeforeGiven || Test(Lists.FindBefore);
  Rec.FindAfter = !Lists.FindAfterGiven || Test(Lists.FindAfter);
  return Rec;
}

TPreparedSearchList::TPreparedSearchList(std::string_view List, char Delimiter,
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

// An item whose byte search is not exact on this line is searched in the
// folded line, where the markers stand at the edges already.
bool TPreparedSearchList::MatchesAny(TFoldedLine& Line) const {
  for (const TItem& Item : Items) {
    if (Item.Needle.AnyLine() || Line.ByteSearchable()) {
      if (MatchesItem(Item, Line.Text()))
        return true;
    } else if (Item.Needle.FindFolded(Line.Wrapped()) != std::string_view::npos) {
      return true;
    }
  }
  return false;
}

TPreparedSearchLists PrepareSearchLists(const TSearchListTexts& Lists, char Delimiter,
                                        const TMatchOptions& Options) {
  auto Prepare = [&](std::string_view List) { return TPreparedSearchList(List, Delimiter, Options); };
  TPreparedSearchLists Out;
  Out.SpaceBefore = Prepare(Lists.SpaceBefore);
  Out.SpaceAfter = Prepare(Lists.SpaceAfter);
  Out.LineBefore = Prepare(Lists.LineBefore);
  Out.LineAfter = Prepare(Lists.LineAfter);
  Out.Skip = Prepare(Lists.Skip);
  Out.Find = Prepare(Lists.Find);
  Out.FindBefore = Prepare(Lists.FindBefore);
  Out.FindAfter = Prepare(Lists.FindAfter);
  Out.FindGiven = Lists.FindGiven;
  Out.FindBeforeGiven = Lists.FindBeforeGiven;
  Out.FindAfterGiven = Lists.FindAfterGiven;
  return Out;
}

TSearchMatchRec MatchSearchLists(TFoldedLine& Line, const TPreparedSearchLists& Lists) {
  TSearchMatchRec Rec;
  Rec.SpaceBefore = Lists.SpaceBefore.Matches(Line);
  Rec.SpaceAfter = Lists.SpaceAfter.Matches(Line);
  Rec.LineBefore = Lists.LineBefore.Matches(Line);
  Rec.LineAfter = Lists.LineAfter.Matches(Line);
  Rec.SkipLine = Lists.Skip.Matches(Line);
  Rec.Find = !Lists.FindGiven || Lists.Find.Matches(Line);
  Rec.FindBefore = !Lists.FindBeforeGiven || Lists.FindBefore.Matches(Line);
  Rec.FindAfter = !Lists.FindAfterGiven || Lists.FindAfter.Matches(Line);
  return Rec;
}

}  // namespace vellary::engine
