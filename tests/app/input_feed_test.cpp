// The input feed against one pipeline over the whole input: random
// settings over random inputs, with blocks of a few bytes, so that every kind
// of line end, blank line and NUL byte meets a block edge; read by offset or
// in order in reads of random length that now and then would wait; into an
// output that passes the bytes or converts them.
#include "app/input_feed.h"

#include "app/output_sink.h"
#include "common/single_byte_locale.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace vellary::app {
namespace {

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

// An input from memory, read in order (each read gives a few bytes, and
// after it the next read may wait) or by offset; every read that reaches
// FailAt fails there, after the bytes before it; the read numbered Signal
// sends the process a SIGTERM.
class TMemorySource final : public TBlockSource {
public:
  TMemorySource(std::string_view Text, std::mt19937& Random, bool Offsets, std::size_t Fail, int SignalAt)
      : Bytes(Text), Rng(Random), AtOffsets(Offsets), FailAt(Fail), Signal(SignalAt) {}
  bool ReadsAtOffsets() const override { return AtOffsets; }
  std::uint64_t Size() const override { return Bytes.size(); }
  int ReadAt(std::uint64_t Offset, char* To, std::size_t Size, std::size_t& Got) const override {
    const std::size_t Stop = std::min(Bytes.size(), FailAt);
    Got = Offset < Stop ? std::min<std::size_t>(Size, Stop - Offset) : 0;
    std::memcpy(To, Bytes.data() + Offset, Got);
    Note();
    return FailAt < Bytes.size() && Offset + Size > FailAt ? platform::feInvalidInput : 0;
  }
  int ReadNext(char* To, std::size_t Size, std::size_t& Got) override {
    const int Error = ReadAt(Next, To, std::min({Size, std::uniform_int_distribution<std::size_t>(1, 97)(Rng)}), Got);
    Next += Got;
    Waits = Chance(Rng, 30);
    return Got != 0 ? 0 : Error;
  }
  bool NextReadWaits() const override { return Waits; }

private:
  void Note() const {
#ifndef _WIN32
    if (Reads.fetch_add(1) == Signal)
      ::kill(::getpid(), SIGTERM);
#endif
  }
  std::string_view Bytes;
  std::mt19937& Rng;
  const bool AtOffsets;
  const std::size_t FailAt;
  const int Signal;
  mutable std::atomic<int> Reads = 0;
  std::size_t Next = 0;
  bool Waits = false;
};

struct TFed {
  std::string Bytes;
  std::int32_t Count = 0;
  int Error = 0;
};

enum TFeedKind { fkOnePipeline, fkAtOffsets, fkInOrder };

struct TFeedCase {
  TFeedKind Kind = fkOnePipeline;
  TFeedTuning Tuning;
  bool Convert = false;              // from the locale's charset to UTF-8
  std::size_t FailAt = SIZE_MAX;     // of a source in memory
  int Signal = -1;
};

// The records and count of lines displayed of Settings over Input: as one
// block through one pipeline, or fed as Case says.
TFed Feed(const TFeedCase& Case, const std::string& Input, const engine::TPipelineSettings& Settings,
          std::mt19937& Rng) {
  TFed Result;
  core::TTextOutput Output;
  Output.BindToString(&Result.Bytes, Case.Convert ? platform::CpLocaleCharset : platform::CpUtf8, platform::CpUtf8);
  TOutputSink Out(Output);
  const engine::TPreparedRun Prepared(Settings);
  std::int64_t Displayed = 0;
  if (Case.Kind == fkOnePipeline) {
    engine::TLinePipeline Pipeline(Prepared);
    EXPECT_TRUE(Pipeline.ProcessBlock(Input, Out));
    Displayed = Pipeline.Displayed();
  } else {
    TMemorySource Source(Input, Rng, Case.Kind == fkAtOffsets, Case.FailAt, Case.Signal);
    Result.Error = FeedInput(Source, Output, Prepared, Displayed, Case.Tuning);
  }
  Result.Count = static_cast<std::int32_t>(Displayed);
  return Result;
}

TFeedCase OnePipeline(bool Convert) {
  TFeedCase Case;
  Case.Convert = Convert;
  return Case;
}

TFeedCase RandomCase(std::mt19937& Rng, int Round, std::size_t InputSize) {
  TFeedCase Case{.Kind = Round % 2 == 0 ? fkAtOffsets : fkInOrder,
                 .Tuning = {.BlockSize = std::uniform_int_distribution<std::size_t>(1, 64)(Rng),
                            .MinParallelBytes = std::uniform_int_distribution<std::uint64_t>(0, 200)(Rng),
                            .Threads = std::uniform_int_distribution<unsigned>(1, 4)(Rng)},
                 .Convert = Chance(Rng, 30)};
  if (InputSize != 0 && Chance(Rng, 25))
    Case.FailAt = std::uniform_int_distribution<std::size_t>(0, InputSize - 1)(Rng);
  return Case;
}

// Lines that span one block, two or many; every line end, a CR last in a
// block among them; a read that fails: the lines whose end came before it.
TEST(InputFeed, SameBytesAndTallyAsOnePipeline) {
  fixtures::TSingleByteLocale Latin1;  // so that converting changes bytes where it can
  std::mt19937 Rng(19);
  for (int Round = 0; Round < 600; ++Round) {
    const std::string Input = RandomInput(Rng);
    const engine::TPipelineSettings Settings = RandomSettings(Rng);
    const TFeedCase Case = RandomCase(Rng, Round, Input.size());
    SCOPED_TRACE(testing::Message() << "round " << Round << ", block " << Case.Tuning.BlockSize << ", threads "
                                    << Case.Tuning.Threads << ", kind " << Case.Kind << ", fails at "
                                    << Case.FailAt << (Case.Convert ? ", converted" : ""));
    // A failed read: the lines up to the last line end before it.
    const bool Fails = Case.FailAt < Input.size();
    const std::size_t Whole =
        !Fails ? Input.size() : Case.FailAt == 0 ? 0 : Input.find_last_of("\r\n", Case.FailAt - 1) + 1;
    const TFed Expected = Feed(OnePipeline(Case.Convert), Input.substr(0, Whole), Settings, Rng);
    const TFed Got = Feed(Case, Input, Settings, Rng);
    ASSERT_EQ(Got.Error, Fails ? platform::feInvalidInput : 0);
    ASSERT_EQ(Got.Count, Expected.Count);
    ASSERT_TRUE(Got.Bytes == Expected.Bytes) << "output differs";
  }
}

#ifndef _WIN32
// A termination signal between blocks (each round in a child process, which
// it ends): the run stops on a whole record of the output it would have made.
// The child is forked while no feed thread runs (the default death test
// style; re-executing the test program fails under a user-mode emulator).
TEST(InputFeed, SignalBetweenBlocksStopsOnAWholeRecord) {
  std::mt19937 Rng(23);
  for (int Round = 0; Round < 16; ++Round) {
    const std::string Input = RandomInput(Rng);
    const engine::TPipelineSettings Settings = RandomSettings(Rng);
    TFeedCase Case = RandomCase(Rng, Round, 0);
    Case.Signal = std::uniform_int_distribution<int>(0, 30)(Rng);
    EXPECT_EXIT(
        {
          platform::CatchTerminationSignals();
          const std::string Full = Feed(OnePipeline(Case.Convert), Input, Settings, Rng).Bytes;
          const TFed Got = Feed(Case, Input, Settings, Rng);
          const bool Whole = Got.Error == platform::feInterrupted
                                 ? Full.compare(0, Got.Bytes.size(), Got.Bytes) == 0 &&
                                       (Got.Bytes.empty() || Got.Bytes.back() == '\n')
                                 : Got.Error == 0 && Got.Bytes == Full;
          std::_Exit(Whole ? 0 : 1);
        },
        testing::ExitedWithCode(0), "")
        << "round " << Round;
  }
}
#endif

}  // namespace
}  // namespace vellary::app
