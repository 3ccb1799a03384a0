// Block-wide search: the vector probes find exactly what the needles' own
// finders find, and a pipeline fed whole blocks writes byte for byte what it
// writes when fed the same lines one by one.
#include "engine/block_finder.h"

#include "core/byte_scan.h"

#include "engine/line_pipeline.h"
#include "engine/sample_case_fold.h"
#include "engine/test_sinks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vellary::engine {
namespace {

std::string RandomPieces(std::mt19937& Gen, std::size_t MaxPieces,
                         std::span<const std::string_view> Pieces) {
  std::string Text;
  for (std::size_t N = Gen() % (MaxPieces + 1); N > 0; --N)
    Text += Pieces[Gen() % Pieces.size()];
  return Text;
}

// Texts rich in near misses of the needles, letter case, line ends, NUL.
constexpr std::string_view TextPieces[] = {
    "err", "ERROR", "or", "warn", "Wa", "DEBUG", "debu", "g", "x", " ", "\n", "\r",
    "\r\n", "\n\n", std::string_view("\0", 1), "\xC3\xA9", "^", "$", ";"};

TEST(BlockFinder, FindsTheFirstOccurrenceOfAnyNeedle) {
  std::mt19937 Gen(42);
  for (int Round = 0; Round < 3000; ++Round) {
    const bool CaseSensitive = Gen() % 3 == 0;
    std::vector<TByteFinder> Needles;
    for (std::size_t K = 1 + Gen() % 3; K > 0; --K) {
      std::string Needle = RandomPieces(Gen, 2, TextPieces);
      Needles.emplace_back(Needle.empty() ? "r" : Needle, CaseSensitive, TCaseFold());
    }
    std::vector<const TByteFinder*> Finders;
    for (const TByteFinder& N : Needles)
      Finders.push_back(&N);
    const TBlockFinder Finder(Finders);
    ASSERT_TRUE(Finder.Usable());
    const std::string Hay = RandomPieces(Gen, 150, TextPieces);
    const std::size_t From = Gen() % (Hay.size() + 1);
    std::size_t Expected = std::string_view::npos;
    for (const TByteFinder& N : Needles)
      Expected = std::min(Expected, N.Find(Hay, From));
    std::size_t Length = 0;
    ASSERT_EQ(Finder.Find(Hay, From, Length), Expected) << "hay '" << Hay << "' from " << From;
  }
}

// The sixteen-byte steps find what a look at each byte finds: either byte,
// forwards and backwards, anywhere in a step or in the tail behind the
// last one; and the first byte above 127.
TEST(ByteScan, FindsEitherByteWhereAPlainLoopDoes) {
  std::mt19937 Gen(3);
  constexpr char Marks[] = {'\r', '\0', '\n'};
  for (int Round = 0; Round < 2000; ++Round) {
    std::string Text(Gen() % 70, 'x');
    for (std::size_t N = Gen() % 3; N > 0 && !Text.empty(); --N)
      Text[Gen() % Text.size()] = Marks[Gen() % 3];
    if (Gen() % 2 == 0 && !Text.empty())  // a byte above 127 for the ASCII scan
      Text[Gen() % Text.size()] = '\xC3';
    // char is unsigned on arm64: the byte's value, not its sign.
    const auto Ascii = std::find_if(Text.begin(), Text.end(),
                                    [](char C) { return static_cast<unsigned char>(C) > 127; }) -
                       Text.begin();
    ASSERT_EQ(core::FindNonAscii(Text.data(), Text.data() + Text.size()) - Text.data(), Ascii);
    const char* End = Text.data() + Text.size();
    for (const char* From = Text.data(); From <= End; From += 1 + Gen() % 8) {
      const char* Plain = From;
      while (Plain < End && *Plain != '\r' && *Plain != '\0')
        ++Plain;
      ASSERT_EQ(core::FindEitherByte(From, End, '\r', '\0'), Plain) << Round;
      ASSERT_EQ(core::FindEitherByte(From, End, '\0', '\r'), Plain) << Round;
      const char* After = End;
      while (After > From && After[-1] != '\n' && After[-1] != '\r')
        --After;
      ASSERT_EQ(core::FindAfterLastEitherByte(From, End, '\n', '\r'), After) << Round;
    }
  }
}

// The lines of Block cut the plain way, for the reference run.
std::vector<std::string_view> PlainLines(std::string_view Block) {
  std::vector<std::string_view> Lines;
  std::size_t Start = 0;
  for (std::size_t I = 0; I < Block.size(); ++I) {
    if (Block[I] != '\n' && Block[I] != '\r')
      continue;
    Lines.push_back(Block.substr(Start, I - Start));
    if (Block[I] == '\r' && I + 1 < Block.size() && Block[I + 1] == '\n')
      ++I;
    Start = I + 1;
  }
  if (Start < Block.size())
    Lines.push_back(Block.substr(Start));
  return Lines;
}

TEST(LinePipeline, BlocksGiveTheOutputOfLineByLine) {
  constexpr std::string_view ListPieces[] = {"error", "WARN", "debug", "g", "^x", "x$", ";", "\xC3\x89"};
  std::mt19937 Gen(7);
  std::int64_t Shown = 0;
  for (int Round = 0; Round < 3000; ++Round) {
    const bool Find = Gen() % 2 == 0;
    TPipelineSettings S{.Find = Find,
                        .Eliminate = Gen() % 4 == 0,
                        .Tally = true,
                        .CaseSensitive = Gen() % 4 == 0,
                        .Extended = Gen() % 3 == 0,
                        .FindList = Find ? RandomPieces(Gen, 3, ListPieces) : "",
                        .SkipList = RandomPieces(Gen, 2, ListPieces),
                        .PlusSpaceText = Gen() % 3 == 0 ? " " : ""};
    if (Gen() % 4 == 0)
      S.LineAfterList = RandomPieces(Gen, 1, ListPieces);
    if (Gen() % 4 == 0)
      S.Upper = testing::SampleUtf8CaseFold();
    std::string Block = RandomPieces(Gen, 30, TextPieces);
    if (Round % 3 == 0)  // LF line ends only: blocks that may go to the sink whole
      std::erase_if(Block, [](char C) { return C == '\r' || C == '\0'; });

    const TPreparedRun Prepared(S);
    TLinePipeline ByLine(Prepared), ByBlock(Prepared);
    testing::TStringSink Expected, Got;
    for (std::string_view Line : PlainLines(Block))
      ASSERT_TRUE(ByLine.ProcessLine(Line, Expected));
    // Two blocks cut at a line start, never inside a CR LF.
    std::size_t Cut = Gen() % (Block.size() + 1);
    while (Cut > 0 && Cut < Block.size() && Block[Cut - 1] != '\n' &&
           !(Block[Cut - 1] == '\r' && Block[Cut] != '\n'))
      --Cut;
    ASSERT_TRUE(ByBlock.ProcessBlock(std::string_view(Block).substr(0, Cut), Got));
    ASSERT_TRUE(ByBlock.ProcessBlock(std::string_view(Block).substr(Cut), Got));
    ASSERT_EQ(Got.Text, Expected.Text) << "block '" << Block << "' find '" << S.FindList
                                       << "' skip '" << S.SkipList << "'";
    ASSERT_EQ(ByBlock.Displayed(), ByLine.Displayed());
    Shown += ByLine.Displayed();
  }
  EXPECT_GT(Shown, 3000);  // the cases show lines, not only drop them
}

}  // namespace
}  // namespace vellary::engine
