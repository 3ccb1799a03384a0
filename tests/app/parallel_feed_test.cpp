// The parallel feed against one pipeline over the whole input: random
// settings over random inputs, with blocks of a few bytes, so that every kind
// of line end, blank line and NUL byte meets a block edge.
#include "app/parallel_feed.h"

#include "app/output_sink.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace vellary::app {
namespace {

namespace fs = std::filesystem;

// Few, short texts, so that search texts and pairs often occur and often
// straddle what a block cut could split.
constexpr const char* Words[] = {"ab", "b", "Ab", "x", "ba", " ", "\t"};
constexpr const char* LineEnds[] = {"\n", "\r\n", "\r", "\n\n", "\r\r\n", "\r\n\r\n"};

std::string Pick(std::mt19937& Rng, std::initializer_list<const char*> Texts) {
  std::uniform_int_distribution<std::size_t> Which(0, Texts.size() - 1);
  return Texts.begin()[Which(Rng)];
}

bool Chance(std::mt19937& Rng, int Percent) {
  return std::uniform_int_distribution<int>(1, 100)(Rng) <= Percent;
}

std::string RandomLine(std::mt19937& Rng) {
  const int Kind = std::uniform_int_distribution<int>(0, 9)(Rng);
  if (Kind == 0)
    return "";
  if (Kind == 1)
    return std::string(1, '\0');  // a NUL line: blank
  if (Kind == 2)
    return std::string("a\0b\0", 4);
  if (Kind == 3)
    return std::string(std::uniform_int_distribution<std::size_t>(50, 400)(Rng), 'b');
  std::string Line;
  for (int N = std::uniform_int_distribution<int>(1, 6)(Rng); N > 0; --N)
    Line += Words[std::uniform_int_distribution<std::size_t>(0, std::size(Words) - 1)(Rng)];
  return Line;
}

std::string RandomInput(std::mt19937& Rng) {
  std::string Input;
  const bool CrOnly = Chance(Rng, 10);
  for (int N = std::uniform_int_distribution<int>(0, 120)(Rng); N > 0; --N) {
    Input += RandomLine(Rng);
    Input += CrOnly ? "\r" : LineEnds[std::uniform_int_distribution<std::size_t>(0, std::size(LineEnds) - 1)(Rng)];
  }
  if (Chance(Rng, 30))
    Input += RandomLine(Rng);  // a last line without a line end
  return Input;
}

// The reader hands out its pieces at the end of a full buffer: here that
// ends between the CR and the LF of "\r\n", and a blank line follows.
std::string CrLfAcrossReadBuffer() {
  std::string Input;
  while (Input.size() + 3 <= InputBufferSize - 1)
    Input += "ab\n";
  Input.append(InputBufferSize - 1 - Input.size(), 'x');
  return Input + "\r\n\nab\r\n";
}

engine::TPipelineSettings RandomSettings(std::mt19937& Rng) {
  auto List = [&] { return Chance(Rng, 60) ? std::string() : Pick(Rng, {"ab", "b;x", "AB", "^a", "b$", "\\t", "ba; "}); };
  engine::TPipelineSettings S{
      .Ascii = Chance(Rng, 30), .Replace = Chance(Rng, 40), .Find = Chance(Rng, 30),
      .FindBefore = Chance(Rng, 20), .FindAfter = Chance(Rng, 20), .Eliminate = Chance(Rng, 30),
      .Tally = Chance(Rng, 50), .Divider = Chance(Rng, 20), .Newline = Chance(Rng, 20),
      .CaseSensitive = Chance(Rng, 30), .Extended = Chance(Rng, 40)};
  S.FindList = S.Find ? Pick(Rng, {"ab", "b;x", "AB", "^a", "b$"}) : "";
  S.FindBeforeList = S.FindBefore ? List() : "";
  S.FindAfterList = S.FindAfter ? List() : "";
  S.SkipList = List();
  S.LineBeforeList = List();
  S.LineAfterList = List();
  S.SpaceBeforeList = List();
  S.SpaceAfterList = List();
  S.SeparatorLine = Pick(Rng, {"--", "*"});
  S.PlusSpaceText = Chance(Rng, 30) ? " " : "";
  S.PrependText = Chance(Rng, 30) ? "<" : "";
  S.AppendText = Chance(Rng, 30) ? ">" : "";
  S.DividerCount = std::uniform_int_distribution<std::int32_t>(1, 3)(Rng);
  S.NewlineCount = std::uniform_int_distribution<std::int32_t>(1, 3)(Rng);
  S.InputFileName = "in.txt";
  if (S.Replace)
    S.Replacements = {{"ab", "b\\nA"}, {"b", "bb"}, {"x", ""}, {"^B", "["}, {"a$", "]"}};
  return S;
}

struct TFed {
  std::string Bytes;
  std::int32_t Count = 0;
  int Error = 0;
};

// Output and tally of Settings over the file Name: fed in parallel with
// Tuning, or as one block through one pipeline.
TFed Feed(const std::string& Name, const engine::TPipelineSettings& Settings,
          const TParallelTuning* Tuning) {
  TFed Result;
  core::TTextOutput Output;
  Output.BindToString(&Result.Bytes);
  TOutputSink Out(Output);
  engine::TLinePipeline Pipeline(Settings);
  TTextInput Input;
  EXPECT_EQ(OpenTextInput(Input, Name), 0);
  if (Tuning != nullptr) {
    Result.Error = FeedInParallel(Input, Output, Pipeline, Settings, *Tuning);
  } else {
    std::ifstream File(Name, std::ios::binary);
    const std::string Whole{std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>()};
    EXPECT_TRUE(Pipeline.ProcessBlock(Whole, Out));
  }
  EXPECT_TRUE(Pipeline.FinishOutput(Out, Out));
  Result.Count = Pipeline.DisplayedCount();
  return Result;
}

TEST(ParallelFeed, SameBytesAndTallyAsOnePipeline) {
  const fs::path Name = fs::temp_directory_path() /
                        ("vellary-parallel-" + std::to_string(std::random_device()()) + ".txt");
  std::mt19937 Rng(19);
  for (int Round = 0; Round < 300; ++Round) {
    const std::string Input = Round % 100 == 99 ? CrLfAcrossReadBuffer() : RandomInput(Rng);
    std::ofstream(Name, std::ios::binary | std::ios::trunc) << Input;
    const engine::TPipelineSettings Settings = RandomSettings(Rng);
    const TParallelTuning Tuning{
        .BlockSize = std::uniform_int_distribution<std::size_t>(1, 64)(Rng),
        .LongStretch = std::uniform_int_distribution<std::size_t>(1, 300)(Rng),
        .Workers = std::uniform_int_distribution<unsigned>(1, 4)(Rng)};
    SCOPED_TRACE(testing::Message() << "round " << Round << ", block " << Tuning.BlockSize
                                    << ", stretch " << Tuning.LongStretch);
    const TFed Expected = Feed(Name.string(), Settings, nullptr);
    const TFed Got = Feed(Name.string(), Settings, &Tuning);
    ASSERT_EQ(Got.Error, 0);
    ASSERT_EQ(Got.Count, Expected.Count);
    ASSERT_TRUE(Got.Bytes == Expected.Bytes) << "output differs";
  }
  std::error_code Ignored;
  fs::remove(Name, Ignored);
}

}  // namespace
}  // namespace vellary::app
