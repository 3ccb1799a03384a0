// Long search lists and replacement tables, searched in one pass over a line,
// against the plain per-text functions: random texts that overlap, nest and
// repeat, in a UTF-8 letter case and in the ASCII one.
#include "engine/multi_finder.h"

#include "engine/line_pipeline.h"
#include "engine/replace_table.h"
#include "engine/sample_case_fold.h"
#include "engine/search_match.h"
#include "engine/test_sinks.h"
#include "tests/support/reference_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace vellary::engine {
namespace {

// Mixed-case ASCII, accented, Greek and Cyrillic letters (final sigma, dotless
// i, long s, a letter whose upper case is longer), bytes that are not UTF-8,
// anchors, escapes and the marker.
constexpr std::string_view Pieces[] = {
    "a", "A", "b", "B", "ab", "i", "I", "s", "S", "id=", "0", "17",
    "\xC3\xA9", "\xC3\x89", "\xC4\xB1", "\xC5\xBF", "\xCF\x83", "\xCF\x82", "\xCE\xA3",
    "\xC8\xBF", "\xE2\xB1\xBE", "\xD0\xBE", "\xD0\x9E", "\xD1\x88", "\xD0\xA8",
    "\xC3", "\xA9", "\xE9", "\xE2\xB1", "^", "$", "\\", "\\^", "\\$", "\\n", "\\t", " ", "\x04"};

std::string RandomText(std::mt19937& Gen, std::size_t MinPieces, std::size_t MaxPieces) {
  std::string Text;
  for (std::size_t N = MinPieces + Gen() % (MaxPieces - MinPieces + 1); N > 0; --N)
    Text += Pieces[Gen() % std::size(Pieces)];
  return Text;
}

std::string Repeated(std::string_view Unit, std::size_t Times) {
  std::string Text;
  while (Times-- > 0)
    Text += Unit;
  return Text;
}

// Texts that overlap: new ones, pieces cut out of earlier ones (possibly
// inside a character), earlier ones grown at either end, and long ones that
// nearly match the repetitive lines.
std::vector<std::string> RandomTexts(std::mt19937& Gen, std::size_t Count) {
  std::vector<std::string> Texts;
  while (Texts.size() < Count) {
    std::string Text;
    if (Gen() % 8 == 0) {
      const std::string_view Unit = Gen() % 2 ? "Ab" : "\xC3\x89" "a";
      Text = Repeated(Unit, 9 + Gen() % 30) + std::string(Unit.substr(0, Unit.size() - 1)) +
             RandomText(Gen, 1, 1);
    } else if (Texts.empty() || Gen() % 3 == 0) {
      Text = RandomText(Gen, 1, 4);
    } else {
      const std::string& Old = Texts[Gen() % Texts.size()];
      const std::size_t From = Gen() % Old.size();
      Text = Gen() % 2 ? Old.substr(From, 1 + Gen() % (Old.size() - From))
                       : RandomText(Gen, 0, 1) + Old + RandomText(Gen, 0, 1);
    }
    Texts.push_back(Text);
  }
  return Texts;
}

// Lines made of texts of the list and of pieces, and long repetitive ones.
std::vector<std::string> RandomLines(std::mt19937& Gen, const std::vector<std::string>& Texts) {
  std::vector<std::string> Lines;
  for (int I = 0; I < 12; ++I) {
    std::string Line = RandomText(Gen, 0, 6);
    for (int K = static_cast<int>(Gen() % 3); K > 0; --K)
      Line += Texts[Gen() % Texts.size()] + RandomText(Gen, 0, 2);
    Lines.push_back(Line.empty() ? "x" : Line);
  }
  const std::string_view Unit = Gen() % 2 ? "ab" : "\xC3\xA9" "a";
  Lines.push_back(Repeated(Unit, 200 + Gen() % 600) + Texts[Gen() % Texts.size()]);
  return Lines;
}

TEST(ManyTexts, OnePassAgreesWithThePlainPathOnRandomListsAndTables) {
  std::mt19937 Gen(20261214);
  const TCaseFold Utf8 = testing::SampleUtf8CaseFold();
  const TCaseFold Ascii;
  for (int Round = 0; Round < 150; ++Round) {
    // Sizes from 1 to 2000, spread over both sides of where one pass takes over.
    const auto Count = static_cast<std::size_t>(std::exp2(static_cast<double>(Gen() % 1100) / 100.0));
    const TCaseFold& Fold = Round % 2 ? Utf8 : Ascii;
    const bool CaseSensitive = Gen() % 5 == 0, Extended = Gen() % 2 == 0;
    SCOPED_TRACE(::testing::Message() << "round " << Round << ", " << Count << " texts");
    const std::vector<std::string> Texts = RandomTexts(Gen, Count);
    const std::vector<std::string> Lines = RandomLines(Gen, Texts);

    std::string List;
    for (const std::string& Text : Texts)
      List += (List.empty() ? "" : ";") + Text;
    const TMatchOptions Options{.CaseSensitive = CaseSensitive, .Extended = Extended, .Upper = Fold};
    TPipelineSettings Find{.Find = true, .CaseSensitive = CaseSensitive, .Extended = Extended,
                           .FindList = List, .Upper = Fold};
    std::string Block, Expected;
    for (const std::string& Line : Lines) {
      Block += Line + "\n";
      if (LineMatchesList(Line, List, ";", Options))
        Expected += Line + "\r\n";
    }
    const TPreparedRun FinderRun(Find);
    TLinePipeline Finder(FinderRun);
    testing::TStringSink FindOut;
    ASSERT_TRUE(Finder.ProcessBlock(Block, FindOut));
    ASSERT_EQ(FindOut.Text, Expected);

    // A table whose replacements are often the search texts of other pairs,
    // or empty; never longer than their search texts, so lines stay short.
    TPipelineSettings Replace{.Replace = true, .CaseSensitive = CaseSensitive, .Extended = Extended,
                              .Upper = Fold};
    for (const std::string& Text : Texts) {
      const auto Kind = Gen() % 3;
      std::string By = Kind == 0 ? "" : Kind == 1 ? Texts[Gen() % Texts.size()] : RandomText(Gen, 1, 2);
      By.resize(std::min(By.size(), Text.size()));
      Replace.Replacements.push_back({Text, By});
    }
    const TPreparedRun ReplacerRun(Replace);
    TLinePipeline Replacer(ReplacerRun);
    std::string Line, Next;
    for (const std::string& Raw : Lines) {
      Line = Raw;
      for (const TSearchReplaceRec& Pair : Replace.Replacements) {
        ApplyReplacement(Line, Pair.Search, Pair.Replace, CaseSensitive, Extended, Fold, Next);
        Line.swap(Next);
      }
      testing::TStringSink Out;
      ASSERT_TRUE(Replacer.ProcessLine(Raw, Out));
      ASSERT_EQ(Out.Text, Line + "\r\n") << "line '" << Raw << "'";
    }
  }
}

}  // namespace
}  // namespace vellary::engine
