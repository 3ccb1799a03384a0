// Whether a line contains any text of a search list, for the eight lists
// that select, skip and frame lines.
#pragma once

#include "engine/byte_finder.h"
#include "engine/case_fold.h"

#include <string>
#include <string_view>
#include <vector>

namespace vellary::engine {

// Wraps the line under test on both sides; extended-mode anchors become it.
inline constexpr char LineBoundaryMarker = '\x04';

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
  TUpperTable Upper = AsciiUpperTable();
};

// An item of a search list as it is searched in extended mode. Anchors first:
// a leading "\^" turns every "\^" into "^", otherwise a leading "^" becomes
// the marker; then a trailing "\$" turns every "\$" into "$", otherwise a
// trailing "$" turns every "$" into the marker. Then the escapes "\\", "\n"
// (CR LF) and "\t" (tab), either letter case, as in replacement texts; "\-"
// is no escape here.
std::string ExtendedSearchItem(std::string_view Item);

// True when at least one item of List (cut at Delimiter) occurs in Line
// wrapped in markers. Empty items match nothing. Plain and unprepared: every
// call splits, rewrites and upper-cases anew.
bool LineMatchesList(std::string_view Line, std::string_view List, char Delimiter,
                     const TMatchOptions& Options);

// The eight lists for one line. A list of -f, --fb or --fa that was not given
// (its Given flag false) yields true without a test.
struct TSearchListTexts {
  std::string_view SpaceBefore, SpaceAfter, LineBefore, LineAfter, Skip, Find, FindBefore,
      FindAfter;
  bool FindGiven = false, FindBeforeGiven = false, FindAfterGiven = false;
};
TSearchMatchRec MatchSearchLists(std::string_view Line, const TSearchListTexts& Lists,
                                 char Delimiter, const TMatchOptions& Options);

// One list split, anchored and case-folded once per run, so that testing a
// line allocates nothing and never copies or upper-cases the line. Gives the
// same answers as LineMatchesList.
class TPreparedSearchList {
public:
  TPreparedSearchList() = default;
  TPreparedSearchList(std::string_view List, char Delimiter, const TMatchOptions& Options);
  // False for an empty list or one whose items are all empty.
  bool CanMatch() const { return !Items.empty(); }
  // Inline so that the many lists a run leaves empty cost no call per line.
  bool Matches(std::string_view Line) const { return !Items.empty() && MatchesAny(Line); }

private:
  struct TItem {
    TByteFinder Needle;        // folded unless case-sensitive; markers kept
    bool HasMarker = false;    // holds the (folded) marker: may meet the line's edges
  };
  bool MatchesItem(const TItem& Item, std::string_view Line) const;
  bool MatchesAny(std::string_view Line) const;

  std::vector<TItem> Items;
  unsigned char Marker = LineBoundaryMarker;  // the marker as compared (folded)
};

struct TPreparedSearchLists {
  TPreparedSearchList SpaceBefore, SpaceAfter, LineBefore, LineAfter, Skip, Find, FindBefore,
      FindAfter;
  bool FindGiven = false, FindBeforeGiven = false, FindAfterGiven = false;
};
TPreparedSearchLists PrepareSearchLists(const TSearchListTexts& Lists, char Delimiter,
                                        const TMatchOptions& Options);
TSearchMatchRec MatchSearchLists(std::string_view Line, const TPreparedSearchLists& Lists);

}  // namespace vellary::engine
