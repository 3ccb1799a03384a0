// Whether a line contains any text of a search list, for the eight lists
// that select, skip and frame lines.
#pragma once

#include "engine/byte_finder.h"
#include "engine/case_fold.h"
#include "engine/folded_line.h"
#include "engine/multi_finder.h"

#include <string>
#include <string_view>
#include <vector>

namespace vellary::engine {

struct TSearchMatchRec {
  bool SpaceBefore = false;
  bool SpaceAfter = false;
  bool LineBefore = false;
  bool LineAfter = false;
  bool SkipLine = false;
  bool Find = true;
  bool FindBefore = true;
  bool FindAfter = true;
};

struct TMatchOptions {
  bool CaseSensitive = false;  // -s
  bool Extended = false;       // -x
  TCaseFold Upper{};            // how letter case is ignored without -s
};

// An item of a search list as it is searched in extended mode. Anchors first:
// a leading "\^" turns every "\^" into "^", otherwise a leading "^" becomes
// the marker; then a trailing "\$" turns every "\$" into "$", otherwise a
// trailing "$" turns every "$" into the marker. Then the escapes "\\", "\n"
// (CR LF) and "\t" (tab), either letter case, as in replacement texts; "\-"
// is no escape here.
std::string ExtendedSearchItem(std::string_view Item);

// The eight lists' texts. A list of -f, --fb or --fa that was not given (its
// Given flag false) yields true without a test.
struct TSearchListTexts {
  std::string_view SpaceBefore, SpaceAfter, LineBefore, LineAfter, Skip, Find, FindBefore,
      FindAfter;
  bool FindGiven = false, FindBeforeGiven = false, FindAfterGiven = false;
};

// One list split, anchored and case-folded once per run, so that testing a
// line allocates nothing and never copies or upper-cases the line. Gives the
// same answers as the plain search the tests keep as its reference.
class TPreparedSearchList {
public:
  // From this many items on, a line is searched for all of them in one pass
  // instead of item by item.
  static constexpr std::size_t ManyItems = 8;

  TPreparedSearchList() = default;
  TPreparedSearchList(std::string_view List, std::string_view Delimiter, const TMatchOptions& Options);
  // False for an empty list or one whose items are all empty.
  bool CanMatch() const { return !Items.empty(); }
  // Inline so that the many lists a run leaves empty cost no call per line.
  bool Matches(TFoldedLine& Line) const { return !Items.empty() && MatchesAny(Line); }
  // For a list that never needs a folded line (NeedsNoFold), such as any
  // list of a run that folds per byte.
  bool Matches(std::string_view Line) const;
  bool NeedsNoFold() const { return NoFold; }
  // True when a byte search for each item, on its own, decides the list for
  // any line: no item holds the marker, none needs the folded line.
  bool Literal() const;
  // The finders of the items, in list order.
  std::vector<const TByteFinder*> Finders() const;

private:
  struct TItem {
    TByteFinder Needle;        // folded unless case-sensitive; markers kept
    bool HasMarker = false;    // holds the (folded) marker: may meet the line's edges
  };
  bool MatchesItem(const TItem& Item, std::string_view Line) const;
  bool MatchesAny(TFoldedLine& Line) const;
  bool MatchesLoose(TFoldedLine& Line) const;

  std::vector<TItem> Items;
  // With ManyItems or more: the items searched in one pass, and the indices
  // of the others (whose occurrences need a check of character boundaries).
  TMultiFinder Many;
  std::vector<std::size_t> Loose;
  bool OnePass = false;
  bool NoFold = true;  // every item's byte search is exact on any line
  unsigned char Marker = LineBoundaryMarker;  // the marker as compared (folded)
};

struct TPreparedSearchLists {
  TPreparedSearchList SpaceBefore, SpaceAfter, LineBefore, LineAfter, Skip, Find, FindBefore,
      FindAfter;
  bool FindGiven = false, FindBeforeGiven = false, FindAfterGiven = false;
};
TPreparedSearchLists PrepareSearchLists(const TSearchListTexts& Lists, std::string_view Delimiter,
                                        const TMatchOptions& Options);
TSearchMatchRec MatchSearchLists(TFoldedLine& Line, const TPreparedSearchLists& Lists);

}  // namespace vellary::engine
