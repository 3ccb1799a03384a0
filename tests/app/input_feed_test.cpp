// The input feed against one pipeline over the whole input: random
// settings over random inputs, with blocks of a few bytes, so that every kind
// of line end, blank line and NUL byte meets a block edge; read by offset or
// in order in reads of random length that now and then would wait; into an
// output that passes the bytes or converts them.
#include "app/input_feed.h"

#include "app/output_sink.h"
#include "common/single_byte_locale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
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
constexpr const char* Words[] = {"ab", "b", "Ab", "x", "ba", " ", "\t", "\xE9"};
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

// An input read in order from memory: each read gives a few bytes, and
// after it the next read may wait.
class TTrickleSource final : public TBlockSource {
public:
  TTrickleSource(std::string_view Text, std::mt19937& Random) : Bytes(Text), Rng(Random) {}
  bool ReadsAtOffsets() const override { return false; }
  std::uint64_t Size() const override { return 0; }
  int ReadAt(std::uint64_t, char*, std::size_t, std::size_t&) const override { return platform::feInvalidHandle; }
  int ReadNext(char* To, std::size_t Size, std::size_t& Got) override {
    Got = std::min({Size, Bytes.size(), std::uniform_int_distribution<std::size_t>(1, 97)(Rng)});
    std::memcpy(To, Bytes.data(), Got);
    Bytes.remove_prefix(Got);
    Waits = Chance(Rng, 30);
    return 0;
  }
  bool NextReadWaits() const override { return Waits; }

private:
  std::string_view Bytes;
  std::mt19937& Rng;
  bool Waits = false;
};

struct TFed {
  std::string Bytes;
  std::int32_t Count = 0;
  int Error = 0;
};

enum TFeedKind { fkOnePipeline, fkAtOffsets, fkInOrder };

// Output and tally of Settings over Input (also in the file Name): as one
// block through one pipeline, or fed with Tuning; converted from the
// locale's charset to UTF-8 when Convert is set.
TFed Feed(TFeedKind Kind, const std::string& Name, const std::string& Input,
          const engine::TPipelineSettings& Settings, const TFeedTuning& Tuning, bool Convert,
          std::mt19937& Rng) {
  TFed Result;
  core::TTextOutput Output;
  Output.BindToString(&Result.Bytes, Convert ? platform::CpLocaleCharset : platform::CpUtf8, platform::CpUtf8);
  TOutputSink Out(Output);
  const engine::TPreparedRun Prepared(Settings);
  std::int64_t Displayed = 0;
  if (Kind == fkOnePipeline) {
    engine::TLinePipeline Pipeline(Prepared);
    EXPECT_TRUE(Pipeline.ProcessBlock(Input, Out));
    Displayed = Pipeline.Displayed();
  } else if (Kind == fkAtOffsets) {
    TTextInput File;
    EXPECT_EQ(OpenTextInput(File, Name), 0);
    Result.Error = FeedInput(File, Output, Prepared, Displayed, Tuning);
  } else {
    TTrickleSource Trickle(Input, Rng);
    Result.Error = FeedInput(Trickle, Output, Prepared, Displayed, Tuning);
  }
  EXPECT_TRUE(Prepared.FinishOutput(Out, Out, Displayed));
  Result.Count = static_cast<std::int32_t>(Displayed);
  return Result;
}

TEST(InputFeed, SameBytesAndTallyAsOnePipeline) {
  const fs::path Name = fs::temp_directory_path() /
                        ("vellary-feed-" + std::to_string(std::random_device()()) + ".txt");
  fixtures::TSingleByteLocale Latin1;  // so that converting changes bytes where it can
  std::mt19937 Rng(19);
  for (int Round = 0; Round < 400; ++Round) {
    const std::string Input = RandomInput(Rng);
    std::ofstream(Name, std::ios::binary | std::ios::trunc) << Input;
    const engine::TPipelineSettings Settings = RandomSettings(Rng);
    const TFeedKind Kind = Round % 2 == 0 ? fkAtOffsets : fkInOrder;
    const TFeedTuning Tuning{.BlockSize = std::uniform_int_distribution<std::size_t>(1, 64)(Rng),
                             .MinParallelBytes = std::uniform_int_distribution<std::uint64_t>(0, 200)(Rng),
                             .Threads = std::uniform_int_distribution<unsigned>(1, 4)(Rng)};
    const bool Convert = Chance(Rng, 30);
    SCOPED_TRACE(testing::Message() << "round " << Round << ", block " << Tuning.BlockSize << ", threads "
                                    << Tuning.Threads << (Kind == fkInOrder ? ", in order" : ", at offsets")
                                    << (Convert ? ", converted" : ""));
    const TFed Expected = Feed(fkOnePipeline, Name.string(), Input, Settings, Tuning, Convert, Rng);
    const TFed Got = Feed(Kind, Name.string(), Input, Settings, Tuning, Convert, Rng);
    ASSERT_EQ(Got.Error, 0);
    ASSERT_EQ(Got.Count, Expected.Count);
    ASSERT_TRUE(Got.Bytes == Expected.Bytes) << "output differs";
  }
  std::error_code Ignored;
  fs::remove(Name, Ignored);
}

}  // namespace
}  // namespace vellary::app
