// Letter case in a UTF-8 locale: searches and replacements compare upper-cased
// characters, occurrences are cut at the bytes of the characters they cover,
// bytes that are not UTF-8 stand for themselves; -s and per-byte tables keep
// comparing bytes. The prepared paths are checked against the plain ones.
#include "engine/case_fold.h"

#include "engine/line_pipeline.h"
#include "engine/replace_table.h"
#include "engine/sample_case_fold.h"
#include "engine/search_match.h"
#include "engine/test_sinks.h"
#include "tests/support/reference_paths.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

namespace vellary::engine {
namespace {

using testing::SampleUtf8CaseFold;

enum TFoldKind { fkUtf8, fkAscii, fkExact };

struct TMatchCase {
  std::string_view Line, List;
  TFoldKind Kind;
  bool Extended;
  bool Expected;
};

TEST(Utf8LetterCase, SearchListsCompareCharacters) {
  const TMatchCase Cases[] = {
      {"CAF\xC3\x89 au lait", "caf\xC3\xA9", fkUtf8, false, true},        // é finds É
      {"gr\xC3\xBC\xC3\x9F", "GR\xC3\x9C\xC3\x9F", fkUtf8, false, true},   // ü/Ü, ß stays ß
      {"\xD0\x9F\xD0\xA0\xD0\x98\xD0\x92\xD0\x95\xD0\xA2", "\xD0\xBF\xD1\x80\xD0\xB8", fkUtf8, false, true},
      {"\xCF\x83\xCE\xBF\xCF\x86\xCE\xBF\xCF\x82", "\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x9F\xCE\xA3", fkUtf8, false, true},
      {"\xCE\xA3", "\xCF\x82", fkUtf8, false, true},                          // final ς is Σ too
      {"caf\xC3", "caf\xC3\xA9", fkUtf8, false, false},                      // line ends inside é
      {"caf\xC3", "CAF\xC3", fkUtf8, false, true},                           // the stray byte itself
      {"\xC3\xA9", "\xC3", fkUtf8, false, false},                            // no match inside é
      {"\xC3\xA9", "\xA9", fkUtf8, false, false},
      {"\xC2\xA9\xA9\xA9", "\xA9\xA9", fkUtf8, false, true},          // a miss inside the first character, a match one byte on
      {"x\xE9" "CAF\xC3\xA9", "caf\xC3\x89", fkUtf8, false, true},           // invalid byte beside it
      {"\xE9t\xC3\xA9", "\xC9T", fkUtf8, false, false},                      // 0xE9 is no é in UTF-8
      {"\xC3\xA9t\xC3\xA9", "^\xC3\x89T\xC3\x89$", fkUtf8, true, true},      // anchors with accents
      {"a\xC3\xA9t\xC3\xA9", "^\xC3\x89T", fkUtf8, true, false},
      {"D\xC4\xB1SK", "disk", fkUtf8, false, true},                          // ı and i both fold to I
      {"CAF\xC3\x89", "caf\xC3\xA9", fkAscii, false, false},                 // ASCII folding only
      {"CAFE", "cafe", fkAscii, false, true},
      {"CAF\xC3\x89", "caf\xC3\xA9", fkExact, false, false},                 // -s: bytes
      {"caf\xC3\xA9", "caf\xC3\xA9", fkExact, false, true},
  };
  const TCaseFold Utf8 = SampleUtf8CaseFold();
  for (const TMatchCase& C : Cases) {
    SCOPED_TRACE(::testing::Message() << C.Line << " | " << C.List);
    const TMatchOptions Options{.CaseSensitive = C.Kind == fkExact,
                                .Extended = C.Extended,
                                .Upper = C.Kind == fkUtf8 ? Utf8 : TCaseFold()};
    EXPECT_EQ(LineMatchesList(C.Line, C.List, ";", Options), C.Expected);
    TFoldedLine Line;
    Line.Reset(C.Line, Options.Upper);
    EXPECT_EQ(TPreparedSearchList(C.List, ";", Options).Matches(Line), C.Expected);
  }
}

struct TReplaceCase {
  std::string_view Line, Search, Replace;
  TFoldKind Kind;
  std::string_view Expected;
};

TEST(Utf8LetterCase, ReplacementsCutTheOccurrenceAtItsOwnBytes) {
  const TReplaceCase Cases[] = {
      {"Caf\xC3\xA9 CAF\xC3\x89", "caf\xC3\xA9", "tea", fkUtf8, "tea tea"},
      {"D\xC4\xB1SK disk", "DISK", "[d]", fkUtf8, "[d] [d]"},                  // 2-byte ı in a 1-byte I
      {"\xC8\xBFx", "\xE2\xB1\xBEX", "!", fkUtf8, "!"},                       // 3-byte upper of a 2-byte letter
      {"\xE9" "caf\xC3\xA9\xE9", "CAF\xC3\x89", "-", fkUtf8, "\xE9-\xE9"},    // stray bytes kept
      {"caf\xC3\xA9", "caf\xC3\xA9", "tea", fkAscii, "tea"},
      {"CAF\xC3\x89", "caf\xC3\xA9", "tea", fkAscii, "CAF\xC3\x89"},
      {"CAF\xC3\x89", "CAF\xC3\x89", "x", fkExact, "x"},
      {"caf\xC3\xA9", "CAF\xC3\x89", "x", fkExact, "caf\xC3\xA9"},
  };
  const TCaseFold Utf8 = SampleUtf8CaseFold();
  std::string Plain, Fast;
  for (const TReplaceCase& C : Cases) {
    SCOPED_TRACE(::testing::Message() << C.Line << " / " << C.Search);
    const TCaseFold& Fold = C.Kind == fkUtf8 ? Utf8 : TCaseFold();
    const bool Exact = C.Kind == fkExact;
    ApplyReplacement(C.Line, C.Search, C.Replace, Exact, false, Fold, Plain);
    EXPECT_EQ(Plain, C.Expected);
    TFoldedLine Line;
    Line.Reset(C.Line, Fold);
    const TPreparedReplacement Pair({std::string(C.Search), std::string(C.Replace)}, Exact, false, Fold);
    if (!Pair.Apply(Line, Fast))
      Fast = C.Line;
    EXPECT_EQ(Fast, C.Expected);
  }
}

// Lines and texts made of pieces that make trouble together: ASCII, accented
// and Greek letters in both cases, letters whose upper case is longer or
// shorter, stray and truncated bytes, anchors, the marker, the delimiter.
std::string RandomPieces(std::mt19937& Gen, std::size_t MaxPieces) {
  static constexpr std::string_view Pieces[] = {
      "a", "A", "i", "I", "s", "S", "\xC3\xA9", "\xC3\x89", "\xC4\xB1", "\xC5\xBF",
      "\xCF\x83", "\xCF\x82", "\xCE\xA3", "\xC8\xBF", "\xE2\xB1\xBE", "\xC3", "\xA9",
      "\xE9", "\xE2\xB1", "^", "$", "\\", ";", "\x04", " "};
  std::string Text;
  for (std::size_t N = Gen() % (MaxPieces + 1); N > 0; --N)
    Text += Pieces[Gen() % std::size(Pieces)];
  return Text;
}

TEST(Utf8LetterCase, PreparedPathsAgreeWithPlainOnRandomText) {
  std::mt19937 Gen(20261209);
  const TCaseFold Utf8 = SampleUtf8CaseFold();
  int Matched = 0;
  for (int Round = 0; Round < 10000; ++Round) {
    const TMatchOptions Options{.CaseSensitive = Gen() % 4 == 0, .Extended = Gen() % 2 == 0,
                                .Upper = Utf8};
    const std::string Line = RandomPieces(Gen, 10);
    const std::string List = RandomPieces(Gen, 4);
    const bool Expected = LineMatchesList(Line, List, ";", Options);
    Matched += Expected ? 1 : 0;
    TFoldedLine Subject;
    Subject.Reset(Line, Utf8);
    ASSERT_EQ(TPreparedSearchList(List, ";", Options).Matches(Subject), Expected)
        << "line '" << Line << "' list '" << List << "'";

    // The pipeline (prefilter, folded lines, chained pairs) against the
    // plain replacement applied pair by pair.
    TPipelineSettings S{.Replace = true, .CaseSensitive = Options.CaseSensitive, .Upper = Utf8};
    std::string ExpectedLine = Line, Next;
    for (int K = 0; K < 3; ++K) {
      std::string Search = RandomPieces(Gen, 3);
      if (Search.empty())
        Search = "\xC3\xA9";
      S.Replacements.push_back({Search, RandomPieces(Gen, 2)});
      ApplyReplacement(ExpectedLine, Search, S.Replacements.back().Replace, S.CaseSensitive, false,
                       Utf8, Next);
      ExpectedLine.swap(Next);
    }
    if (Line.empty() || Line == "\r\n")
      continue;  // blank lines skip the replacements
    const TPreparedRun Prepared(S);
    TLinePipeline Pipeline(Prepared);
    testing::TStringSink Out;
    ASSERT_TRUE(Pipeline.ProcessLine(Line, Out));
    ASSERT_EQ(Out.Text, ExpectedLine + "\r\n")
        << "line '" << Line << "'";
  }
  EXPECT_GT(Matched, 500);  // the input exercises both outcomes
}

}  // namespace
}  // namespace vellary::engine
