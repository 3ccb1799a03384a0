// The replacement prefilter must never hide a pair that applies: the pipeline
// with its filter has to agree with applying every pair in turn.
#include "engine/line_pipeline.h"
#include "engine/pair_filter.h"
#include "engine/test_sinks.h"
#include "tests/support/reference_paths.h"

#include <gtest/gtest.h>

#include <random>

using namespace vellary::engine;

namespace {

std::string RandomText(std::mt19937& Gen, std::size_t MaxLength) {
  // A small alphabet makes occurrences, overlaps and chains frequent.
  static constexpr std::string_view Alphabet = "abAB;x ";
  std::string Text(Gen() % (MaxLength + 1), ' ');
  for (char& C : Text)
    C = Alphabet[Gen() % Alphabet.size()];
  return Text;
}

}  // namespace

TEST(PairFilter, PipelineAgreesWithApplyingEveryPairInTurn) {
  std::mt19937 Gen(20261208);
  for (int Round = 0; Round < 2000; ++Round) {
    TPipelineSettings S;
    S.Replace = true;
    S.CaseSensitive = Gen() % 2 == 0;
    const std::size_t PairCount = 1 + Gen() % 5;
    for (std::size_t K = 0; K < PairCount; ++K) {
      std::string Search = RandomText(Gen, 3);
      if (Search.empty())
        Search = "a";
      S.Replacements.push_back({Search, RandomText(Gen, 3)});
    }
    const std::string Line = RandomText(Gen, 12);

    std::string Expected = Line, Next;
    for (const TSearchReplaceRec& Pair : S.Replacements) {
      ApplyReplacement(Expected, Pair.Search, Pair.Replace, S.CaseSensitive, false, S.Upper, Next);
      Expected.swap(Next);
    }
    const TPreparedRun Prepared(S);
    TLinePipeline Pipeline(Prepared);
    vellary::engine::testing::TStringSink Out;
    ASSERT_TRUE(Pipeline.ProcessLine(Line, Out));
    ASSERT_EQ(Out.Text, Expected + "\r\n") << "line '" << Line << "' pairs " << PairCount;
  }
}

TEST(PairFilter, ClearBitMeansTheSearchTextIsAbsent) {
  const TUpperTable Upper = AsciiUpperTable();
  const TPairFilter Filter({"OLD", "X", "NVIDIA"}, Upper);
  EXPECT_EQ(Filter.Candidates("nothing to see") & 0b101U, 0U);
  EXPECT_NE(Filter.Candidates("an old value") & 0b001U, 0U);
  EXPECT_NE(Filter.Candidates("") & 0b010U, 0U) << "one-byte search texts are never filtered";
  EXPECT_NE(Filter.Candidates("driver NVidia") & 0b100U, 0U);
}
