// The line pipeline run into in-memory sinks: blank lines, clean-up,
// selection, layout of the extensions, the trailing output and the tally.
#include "engine/line_pipeline.h"

#include "engine/test_sinks.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <new>
#include <string>
#include <string_view>

// Counts heap allocations, so that a test can show the line loop makes none.
static std::size_t AllocationCount = 0;

void* operator new(std::size_t Size) {
  ++AllocationCount;
  if (void* P = std::malloc(Size == 0 ? 1 : Size))
    return P;
  throw std::bad_alloc();
}
// GCC takes the replacement pair for a mismatch of new and free.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* P) noexcept { std::free(P); }
void operator delete(void* P, std::size_t) noexcept { std::free(P); }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace vellary::engine {
namespace {

using testing::TStringSink;
using namespace std::string_literals;
using namespace std::string_view_literals;

struct TRun {
  std::string Out;
  std::int32_t Count = 0;
};

static TRun RunLines(const TPipelineSettings& Settings, std::initializer_list<std::string_view> Lines) {
  const TPreparedRun Prepared(Settings);
  TLinePipeline Pipeline(Prepared);
  TStringSink Sink;
  for (std::string_view Line : Lines)
    EXPECT_TRUE(Pipeline.ProcessLine(Line, Sink));
  return {Sink.Text, static_cast<std::int32_t>(Pipeline.Displayed())};
}

TEST(LinePipeline, BlankLinesAreKeptDroppedOrPaddedButNeverCounted) {
  struct Case {
    std::string_view Name;
    std::string_view Line;
    bool Eliminate, Find, PlusSpace;
    std::string Out;
    std::int32_t Count;
  };
  const Case Cases[] = {
      {"empty", "", false, false, false, "\r\n", 0},
      {"one NUL", "\0"sv, false, false, false, "\r\n", 0},
      {"CR LF", "\r\n", false, false, false, "\r\n", 0},
      {"empty with -p", "", false, false, true, " \r\n", 0},
      {"empty with -e", "", true, false, false, "", 0},
      {"empty with -f", "", false, true, false, "", 0},
      {"spaces are not blank", "  ", true, false, false, "  \r\n", 1},
      {"two NULs are not blank", "\0\0"sv, true, false, false, "\0\0\r\n"s, 1},
      {"lone CR is not blank", "\r", true, false, false, "\r\r\n", 1},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(std::string(C.Name));
    const TPipelineSettings S{.Find = C.Find,
                              .Eliminate = C.Eliminate,
                              .FindList = std::string(C.Find ? 1 : 0, ' '),
                              .PlusSpaceText = std::string(C.PlusSpace ? 1 : 0, ' ')};
    const TRun R = RunLines(S, {C.Line});
    EXPECT_EQ(R.Out, C.Out);
    EXPECT_EQ(R.Count, C.Count);
  }
}

TEST(LinePipeline, AsciiCleanUpMayLeaveAnEmptyLineThatIsStillCounted) {
  const TPipelineSettings S{.Ascii = true, .Eliminate = true, .PrependText = ">"};
  const TRun R = RunLines(S, {"\0\0"sv, "a\0b\0"sv, "\0"sv});
  EXPECT_EQ(R.Out, ">\r\n>ab\r\n");
  EXPECT_EQ(R.Count, 2);
}

TEST(LinePipeline, FindAndSkipSelectLines) {
  const TPipelineSettings S{.Find = true, .FindList = "job", .SkipList = "DEBUG"};
  const TRun R = RunLines(S, {"job started", "debug: job", "other", "JOB done"});
  EXPECT_EQ(R.Out, "job started\r\nJOB done\r\n");
  EXPECT_EQ(R.Count, 2);
}

TEST(LinePipeline, ExtensionsStackInOrderWithPrependFirstAndAppendLast) {
  struct Case {
    std::string_view Name;
    std::string_view Before, After, LineBefore, LineAfter;
    std::string Out;
  };
  const Case Cases[] = {
      {"space and line before", "x", "", "x", "", "\r\n--\r\nx\r\n"},
      {"line and space after", "", "x", "", "x", "x\r\n--\r\n\r\n"},
      {"all four", "x", "x", "x", "x", "\r\n--\r\nx\r\n--\r\n\r\n"},
      {"none", "", "", "", "", "x\r\n"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(std::string(C.Name));
    const TPipelineSettings S{.LineBeforeList = std::string(C.LineBefore),
                              .LineAfterList = std::string(C.LineAfter),
                              .SpaceBeforeList = std::string(C.Before),
                              .SpaceAfterList = std::string(C.After),
                              .SeparatorLine = "--"};
    EXPECT_EQ(RunLines(S, {"x"}).Out, C.Out);
  }
}

TEST(LinePipeline, PrependAndAppendGoToTheFirstAndLastPhysicalLine) {
  const TPipelineSettings S{.FindAfter = true,
                            .FindAfterList = "warn",
                            .SpaceBeforeList = "warn",
                            .SpaceAfterList = "warn",
                            .PlusSpaceText = " ",
                            .PrependText = "# ",
                            .AppendText = " <"};
  const TRun R = RunLines(S, {"warn: low", "plain"});
  EXPECT_EQ(R.Out, "#  \r\nwarn: low\r\n  <\r\n# plain\r\n");
  EXPECT_EQ(R.Count, 2);
}

TEST(LinePipeline, ExtendedLineBreakSplitsTheLineButCountsItOnce) {
  const TPipelineSettings S{.Replace = true,
                            .Extended = true,
                            .LineAfterList = "^one",  // anchors see the whole working line
                            .SeparatorLine = "--",
                            .PrependText = "[",
                            .AppendText = "]",
                            .Replacements = {{"|", "\\n"}}};
  const TRun R = RunLines(S, {"one|two"});
  EXPECT_EQ(R.Out, "[one\r\ntwo\r\n--]\r\n");
  EXPECT_EQ(R.Count, 1);
}

TEST(LinePipeline, ReplacementsChainAndFeedTheSearch) {
  const TReplaceMatrix Pairs = {{"cat", "dog"}, {"dog", "bird"}, {"zzz", "never"}};
  const TPipelineSettings S{
      .Replace = true, .Find = true, .FindList = "BIRD", .Replacements = Pairs};
  EXPECT_EQ(RunLines(S, {"a Cat", "a fish"}).Out, "a bird\r\n");

  // -s governs the replacements and the lists alike.
  const TPipelineSettings Exact{
      .Replace = true, .Find = true, .CaseSensitive = true, .FindList = "bird", .Replacements = Pairs};
  EXPECT_EQ(RunLines(Exact, {"a Cat", "a cat"}).Out, "a bird\r\n");
}

TEST(LinePipeline, UnchangedLinePassesWithoutCopy) {
  const TPipelineSettings S{.Ascii = true,
                            .Replace = true,
                            .SkipList = "nothing",
                            .Replacements = {{"absent", "x"}}};
  const TPreparedRun Prepared(S);
  TLinePipeline Pipeline(Prepared);
  TStringSink Sink;
  const std::string Line = "an ordinary log line";
  ASSERT_TRUE(Pipeline.ProcessLine(Line, Sink));
  EXPECT_EQ(Sink.LastData, Line.data());
}

TEST(LinePipeline, LineLoopAllocatesNothingOnceBuffersHaveGrown) {
  const TPipelineSettings S{.Ascii = true,
                            .Replace = true,
                            .FindBefore = true,
                            .Extended = true,
                            .FindBeforeList = "^2024;error$",
                            .SkipList = "debug",
                            .LineAfterList = "done",
                            .SpaceBeforeList = "warn",
                            .PrependText = "> ",
                            .AppendText = " <",
                            .Replacements = {{"warn", "WARNING\\n"}, {"x", "yy"}}};
  const std::string_view Lines[] = {
      "2024 warn: disk at 91%, xx", "debug: cache", "", "job done with error",
      "a\0b\0 warn x"sv, "plain line of text without any match"};
  const TPreparedRun Prepared(S);
  TLinePipeline Pipeline(Prepared);
  TStringSink Sink;
  for (std::string_view Line : Lines)  // buffers reach their size here
    ASSERT_TRUE(Pipeline.ProcessLine(Line, Sink));
  Sink.Text.reserve(Sink.Text.size() * 200);
  const std::size_t Before = AllocationCount;
  ASSERT_GT(Before, 0u);  // the counter is live
  for (int Round = 0; Round < 100; ++Round)
    for (std::string_view Line : Lines)
      ASSERT_TRUE(Pipeline.ProcessLine(Line, Sink));
  EXPECT_EQ(AllocationCount, Before);
}

TEST(LinePipeline, StopsWhenTheSinkRefuses) {
  const TPipelineSettings S{.Tally = true, .Divider = true, .DividerCount = 3};
  const TPreparedRun Prepared(S);
  TLinePipeline Pipeline(Prepared);
  TStringSink Out, Tally;
  Out.Accept = false;
  EXPECT_FALSE(Pipeline.ProcessLine("x", Out));
  EXPECT_FALSE(Prepared.FinishOutput(Out, Tally, Pipeline.Displayed()));
  EXPECT_EQ(Out.Records, 2);  // the line and the first divider only
  EXPECT_EQ(Tally.Records, 0);
}

TEST(FinishOutput, DividersNewlinesThenTally) {
  const TPipelineSettings S{.Tally = true,
                            .Divider = true,
                            .Newline = true,
                            .DividerLine = "==",
                            .PlusSpaceText = " ",
                            .DividerCount = 2,
                            .NewlineCount = 1,
                            .InputFileName = "%s %d.log"};  // a name is never a format
  const TPreparedRun Prepared(S);
  TLinePipeline Pipeline(Prepared);
  TStringSink Out, Tally;
  for (std::string_view Line : {"a"sv, ""sv, "b"sv, "\0"sv})
    ASSERT_TRUE(Pipeline.ProcessLine(Line, Out));
  ASSERT_TRUE(Prepared.FinishOutput(Out, Tally, Pipeline.Displayed()));
  EXPECT_EQ(Out.Text, "a\r\n \r\nb\r\n \r\n==\r\n==\r\n\r\n\r\n");
  EXPECT_EQ(Tally.Text, "--- %s %d.log: 2\r\n");
}

TEST(FinishOutput, NothingWithoutOptions) {
  const TPreparedRun Prepared(TPipelineSettings{});
  TLinePipeline Pipeline(Prepared);
  TStringSink Out, Tally;
  ASSERT_TRUE(Prepared.FinishOutput(Out, Tally, Pipeline.Displayed()));
  EXPECT_EQ(Out.Records + Tally.Records, 0);
}

}  // namespace
}  // namespace vellary::engine
