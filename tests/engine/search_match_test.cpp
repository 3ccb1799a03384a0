// Search lists: items, extended anchors and escapes, case folding, the eight
// lists, and the prepared fast path checked against the plain one.
#include "engine/search_match.h"

#include "engine/replace_table.h"
#include "tests/support/reference_paths.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

namespace vellary::engine {
namespace {

TEST(ExtendedSearchItem, AnchorsAndEscapes) {
  struct Case {
    std::string_view Item;
    std::string Expected;
  };
  const Case Cases[] = {
      {"^abc", "\x04" "abc"},
      {"abc$", "abc\x04"},
      {"^a^", "\x04" "a^"},         // only the first caret is an anchor
      {"\\^a\\^", "^a^"},           // leading "\^": every "\^" literal
      {"a\\^", "a\\^"},             // "\^" elsewhere stays two characters
      {"x$y$", "x\x04y\x04"},       // every "$" becomes the marker
      {"a$b\\$", "a$b$"},           // trailing "\$": every "\$" literal
      {"\\$x", "\\$x"},
      {"^", "\x04"},
      {"$", "\x04"},
      {"\\^", "^"},
      {"\\n|\\T|\\\\|\\-", "\r\n|\t|\\|\\-"},  // no divider in search items
      {"\\\\n", "\\n"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(std::string(C.Item));
    EXPECT_EQ(ExtendedSearchItem(C.Item), C.Expected);
  }
}

struct TListCase {
  std::string_view Line, List;
  bool CaseSensitive, Extended;
  bool Expected;
};

// Every case also runs through the prepared path.
static void CheckBothPaths(const TListCase& C, std::string_view Delimiter = ";") {
  SCOPED_TRACE(::testing::Message() << C.Line << " | " << C.List);
  const TMatchOptions Options{.CaseSensitive = C.CaseSensitive, .Extended = C.Extended};
  EXPECT_EQ(LineMatchesList(C.Line, C.List, Delimiter, Options), C.Expected);
  EXPECT_EQ(TPreparedSearchList(C.List, Delimiter, Options).Matches(C.Line), C.Expected);
}

TEST(SearchList, ItemsAndCase) {
  const TListCase Cases[] = {
      {"Daily totals: 5", "totals:;average:;", false, false, true},
      {"nothing here", "totals:;average:;", false, false, false},  // empty item matches nothing
      {"anything", ";;", false, false, false},
      {"anything", "", false, false, false},
      {"x comment", " comment", false, false, true},  // items are not trimmed
      {"xcomment", " comment", false, false, false},
      {"an error occurred", "ERROR", false, false, true},
      {"an error occurred", "ERROR", true, false, false},
      {"abc", "abcd", false, false, false},
      {"job failed$", "failed$", false, false, true},  // no anchors without -x
      {"job failed", "failed$", false, false, false},
  };
  for (const TListCase& C : Cases)
    CheckBothPaths(C);
}

TEST(SearchList, ExtendedAnchorsMeetTheLineEdges) {
  const TListCase Cases[] = {
      {"Job failed", "failed$;error$", false, true, true},
      {"Fatal ERROR", "failed$;error$", false, true, true},
      {"failed: disk full", "failed$;error$", false, true, false},
      {"abc def", "^abc", false, true, true},
      {"x abc", "^abc", false, true, false},
      {"abc", "^abc$", false, true, true},
      {"abcabc", "^abc$", false, true, false},
      {"anything", "^", false, true, true},
      {"anything", "$", false, true, true},
      {"a^b", "^a^", false, true, true},
      {"xa^b", "^a^", false, true, false},
      {"1 a\\^", "a\\^", false, true, true},
      {"1 a^", "a\\^", false, true, false},
      {"x ^abc", "\\^abc", false, true, true},
      {"abc$ x", "abc\\$", false, true, true},
      {"x y", "x$y$", false, true, false},
      {"x\x04y", "x$y$", false, true, true},   // needs a marker byte of its own
      {"a\x04", "^a$", false, true, true},    // the line's own marker byte meets the anchor
      {"a\tb", "\\t", false, true, true},
      {"a\r\nb", "A\\nB", false, true, true},  // a CR LF put in by a replacement
      {"a\\b", "\\\\", false, true, true},
      {"^abc", "^abc", false, false, true},    // without -x the caret is a character
  };
  for (const TListCase& C : Cases)
    CheckBothPaths(C);
}

TEST(SearchList, OtherDelimiter) {
  CheckBothPaths({"a;b", "a;b|zz", false, false, true}, "|");
  CheckBothPaths({"a", "|zz|", false, false, false}, "|");
  CheckBothPaths({"banana", "apple│banana", false, false, true}, "│");
}

TEST(MatchSearchLists, ListsNotGivenAndTheirDefaults) {
  const TMatchOptions Options;
  TSearchListTexts Lists;
  Lists.Skip = "debug";
  Lists.LineAfter = "done";
  Lists.Find = "zzz";
  Lists.FindGiven = true;
  const TPreparedSearchLists Prepared = PrepareSearchLists(Lists, ";", Options);
  TFoldedLine Line;
  Line.Reset("DEBUG done", Options.Upper);
  const TSearchMatchRec Rec = MatchSearchLists(Line, Prepared);
  EXPECT_TRUE(Rec.SkipLine);
  EXPECT_TRUE(Rec.LineAfter);
  EXPECT_FALSE(Rec.SpaceBefore);
  EXPECT_FALSE(Rec.Find);       // given, matches nothing
  EXPECT_TRUE(Rec.FindBefore);  // not given: true without a test
  EXPECT_TRUE(Rec.FindAfter);
  EXPECT_FALSE(Prepared.SpaceBefore.CanMatch());
}

// Random lines and lists over a small alphabet rich in the characters that
// matter (anchors, backslash, marker, case pairs, delimiter), compared between
// the plain and the prepared paths, and the finder against a naive search.
class TRandomText {
public:
  explicit TRandomText(unsigned Seed) : Engine(Seed) {}
  std::string Make(std::size_t MaxLength) {
    return Make(Pick(MaxLength + 1), "aAbB^$\\;\x04nt \r\n*\xE9\xC9");
  }
  std::string Make(std::size_t Length, std::string_view Alphabet) {
    std::string Out(Length, ' ');
    for (char& C : Out)
      C = Alphabet[Pick(Alphabet.size())];
    return Out;
  }
  std::size_t Pick(std::size_t Below) {
    return std::uniform_int_distribution<std::size_t>(0, Below - 1)(Engine);
  }

private:
  std::mt19937 Engine;
};

static TUpperTable OddUpperTable() {
  TUpperTable Upper = AsciiUpperTable();
  Upper[0xE9] = 0xC9;
  Upper['*'] = 'A';  // three bytes fold to 'A'
  return Upper;
}

TEST(SearchList, PreparedAgreesWithPlainOnRandomInput) {
  TRandomText Random(20240501);
  const TUpperTable Tables[] = {AsciiUpperTable(), OddUpperTable()};
  int Matched = 0;
  for (int Round = 0; Round < 40000; ++Round) {
    const TMatchOptions Options{.CaseSensitive = Random.Pick(2) == 0,
                                .Extended = Random.Pick(2) == 0,
                                .Upper = Tables[Random.Pick(2)]};
    const std::string Line = Random.Make(12);
    const std::string List = Random.Make(7);
    const bool Expected = LineMatchesList(Line, List, ";", Options);
    Matched += Expected ? 1 : 0;
    ASSERT_EQ(TPreparedSearchList(List, ";", Options).Matches(Line), Expected)
        << "line '" << Line << "' list '" << List << "' cs " << Options.CaseSensitive << " x "
        << Options.Extended;
  }
  EXPECT_GT(Matched, 2000);  // the input exercises both outcomes
}

TEST(ByteFinder, AgreesWithNaiveSearchOnRandomInput) {
  TRandomText Random(7);
  const TUpperTable Tables[] = {AsciiUpperTable(), OddUpperTable()};
  std::string FoldedHay, FoldedNeedle;
  for (int Round = 0; Round < 40000; ++Round) {
    const bool CaseSensitive = Random.Pick(2) == 0;
    const TUpperTable& Upper = Tables[Random.Pick(2)];
    std::string Hay = Random.Make(20);
    std::string Needle = Random.Make(4);
    if (Round % 8 == 0) {
      // Past LongNeedle, over two letters, in a hay of the needle's own
      // prefixes: near misses pile up until the scan hands over to the
      // border table.
      Needle = Random.Make(17 + Random.Pick(24), "aAbB");
      Hay.clear();
      while (Hay.size() < 600)
        Hay += Needle.substr(0, Random.Pick(Needle.size() + 1)) + Random.Make(1, "aAbB");
    }
    if (Round % 8 == 4) {
      // Only bytes that the odd table folds three together: the scan of
      // every position, whose next try after a miss is one byte on.
      Hay = Random.Make(40, "aA*b");
      Needle = Random.Make(2 + Random.Pick(3), "aA*");
    }
    const std::size_t From = Random.Pick(Hay.size() + 2);
    FoldedHay = Hay;
    FoldedNeedle = Needle;
    if (!CaseSensitive) {
      UpperCase(Hay, Upper, FoldedHay);
      UpperCase(Needle, Upper, FoldedNeedle);
    }
    std::size_t Expected = Needle.empty() ? std::string::npos : FoldedHay.find(FoldedNeedle, From);
    ASSERT_EQ(TByteFinder(Needle, CaseSensitive, Upper).Find(Hay, From), Expected)
        << "hay '" << Hay << "' needle '" << Needle << "' from " << From;
  }
}

}  // namespace
}  // namespace vellary::engine
