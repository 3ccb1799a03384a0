// Throughput of the engine's hot paths on a generated log: searching one
// item, applying a pair, and the whole line pipeline into a counting sink.
#include "core/record_copy.h"
#include "engine/byte_finder.h"
#include "engine/line_pipeline.h"
#include "engine/replace_table.h"
#include "engine/search_match.h"
#include "tests/support/reference_paths.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace vellary::engine {
namespace {

// A sink that only counts what it would write, line ends included.
class TNullSink final : public TLineSink {
public:
  bool PutLine(std::string_view Bytes) override {
    Bytes_ += Bytes.size() + 2;
    return true;
  }
  std::uint64_t Bytes_ = 0;
};

// About 4 MB of application log: timestamps, levels in realistic shares,
// components, request ids, durations, an occasional long line or blank line.
struct TCorpus {
  std::string Text;
  std::vector<std::string_view> Lines;
  std::size_t Bytes = 0;
};

static const TCorpus& Corpus() {
  static const TCorpus Built = [] {
    TCorpus C;
    std::mt19937 Random(12345);
    auto Pick = [&](std::size_t N) { return std::uniform_int_distribution<std::size_t>(0, N - 1)(Random); };
    constexpr std::string_view Levels[] = {"DEBUG", "DEBUG", "DEBUG", "DEBUG", "INFO ", "INFO ",
                                           "INFO ", "INFO ", "WARN ", "ERROR"};
    constexpr std::string_view Parts[] = {"[http-worker-3]", "[scheduler]", "[db-pool]", "[auth]",
                                          "[cache]", "[mailer]"};
    constexpr std::string_view Messages[] = {
        "Request GET /api/v2/orders/{id} completed with status 200 in {n} ms",
        "Connection to replica db-{n}.internal established, pool size {n}",
        "Cache miss for key user:{id}:profile, loading from store",
        "Job nightly-export Finished after {n} seconds, {n} rows written",
        "Timeout while waiting for lock on table invoices (attempt {n} of 5)",
        "User {id} authenticated via token, session expires in {n} minutes",
        "Retrying delivery of message {id} to smtp relay, backoff {n} ms",
        "java.lang.IllegalStateException: unexpected state CLOSED at "
        "com.example.orders.OrderService.process(OrderService.java:{n}) caused by a failed "
        "precondition in the payment gateway adapter; see trace id {id} for the full report",
    };
    std::string Line;
    while (C.Text.size() < (4u << 20)) {
      if (Pick(40) == 0) {  // a blank line now and then
        C.Text += '\n';
        continue;
      }
      Line = "2024-05-01 12:" + std::to_string(10 + Pick(50)) + ":" + std::to_string(10 + Pick(50)) +
             "." + std::to_string(100 + Pick(900)) + " ";
      Line += Levels[Pick(std::size(Levels))];
      Line += ' ';
      Line += Parts[Pick(std::size(Parts))];
      Line += ' ';
      std::string_view Message = Messages[Pick(std::size(Messages))];
      for (std::size_t Open; (Open = Message.find('{')) != std::string_view::npos;) {
        const std::size_t Close = Message.find('}', Open);
        Line += Message.substr(0, Open);
        Line += Message.substr(Open, Close - Open) == "{id" ? std::to_string(100000 + Pick(900000))
                                                            : std::to_string(Pick(5000));
        Message.remove_prefix(Close + 1);
      }
      Line += Message;
      C.Text += Line;
      C.Text += '\n';
    }
    std::size_t Start = 0;
    for (std::size_t End; (End = C.Text.find('\n', Start)) != std::string::npos; Start = End + 1)
      C.Lines.emplace_back(C.Text.data() + Start, End - Start);
    C.Bytes = C.Text.size();
    return C;
  }();
  return Built;
}

static void ReportBytes(benchmark::State& State) {
  State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations()) *
                          static_cast<std::int64_t>(Corpus().Bytes));
}

// One search item tested on every line (prepared); Arg 0 ignores case, 1 not.
static void BM_SearchItem(benchmark::State& State) {
  const TMatchOptions Options{.CaseSensitive = State.range(0) == 1};
  const TPreparedSearchList List("timeout", ";", Options);
  for (auto _ : State) {
    int Hits = 0;
    for (std::string_view Line : Corpus().Lines)
      Hits += List.Matches(Line) ? 1 : 0;
    benchmark::DoNotOptimize(Hits);
  }
  ReportBytes(State);
}
BENCHMARK(BM_SearchItem)->Arg(0)->Arg(1);

// The same item through the plain function that upper-cases every line.
static void BM_SearchItemPlain(benchmark::State& State) {
  const TMatchOptions Options;
  for (auto _ : State) {
    int Hits = 0;
    for (std::string_view Line : Corpus().Lines)
      Hits += LineMatchesList(Line, "timeout", ";", Options) ? 1 : 0;
    benchmark::DoNotOptimize(Hits);
  }
  ReportBytes(State);
}
BENCHMARK(BM_SearchItemPlain);

// A case-insensitive scan over the whole buffer at once.
static void BM_FindInBuffer(benchmark::State& State) {
  const TByteFinder Finder("invoices", false, AsciiUpperTable());
  const std::string_view Text = Corpus().Text;
  for (auto _ : State) {
    std::size_t Hits = 0;
    for (std::size_t At = Finder.Find(Text); At != std::string_view::npos; At = Finder.Find(Text, At + 1))
      ++Hits;
    benchmark::DoNotOptimize(Hits);
  }
  ReportBytes(State);
}
BENCHMARK(BM_FindInBuffer);

// ApplyReplacement as declared (folds its search text per call).
static void BM_ApplyReplacement(benchmark::State& State) {
  const TUpperTable Upper = AsciiUpperTable();
  std::string Out;
  for (auto _ : State) {
    for (std::string_view Line : Corpus().Lines) {
      ApplyReplacement(Line, "error", "E!", false, false, Upper, Out);
      benchmark::DoNotOptimize(Out.data());
    }
  }
  ReportBytes(State);
}
BENCHMARK(BM_ApplyReplacement);

// A pair prepared once, as the pipeline uses it.
static void BM_PreparedReplacement(benchmark::State& State) {
  const TPreparedReplacement Pair({"error", "E!"}, false, false, AsciiUpperTable());
  std::string Out;
  for (auto _ : State) {
    for (std::string_view Line : Corpus().Lines) {
      benchmark::DoNotOptimize(Pair.Apply(Line, Out));
    }
  }
  ReportBytes(State);
}
BENCHMARK(BM_PreparedReplacement);

// LF lines written as CR LF records, the copy behind every line passed
// through unchanged; in pieces the size of an output buffer, as the output
// copies them.
static void BM_RecordCopy(benchmark::State& State) {
  constexpr std::size_t Piece = 64 << 10;
  const std::string_view Text = Corpus().Text;
  std::string Out(2 * Piece + 2, '\0');
  for (auto _ : State) {
    std::size_t Records = 0, Empty = 0;
    for (std::size_t At = 0; At < Text.size(); At += Piece) {
      std::size_t Copied = 0, Blank = 0;
      benchmark::DoNotOptimize(core::CopyLfLinesAsRecords(Text.substr(At, Piece), Out.data(), Copied, Blank));
      Records += Copied;
      Empty += Blank;
    }
    benchmark::DoNotOptimize(Records + Empty);
  }
  ReportBytes(State);
}
BENCHMARK(BM_RecordCopy);

static TPipelineSettings PipelineSettings(int Kind) {
  switch (Kind) {
  case 0:  // no options: every line passes through
    return {};
  case 1:  // 'log --sk DEBUG --la Finished -t'
    return {.Tally = true, .SkipList = "DEBUG", .LineAfterList = "Finished"};
  case 2:  // selection, replacements, framing and prepended text together
    return {.Replace = true,
            .FindBefore = true,
            .Tally = true,
            .FindBeforeList = "^2024;error",
            .SkipList = "cache miss;DEBUG",
            .LineBeforeList = "ERROR",
            .SpaceAfterList = "finished$;timeout",
            .PrependText = "> ",
            .Replacements = {{"java.lang.", ""}, {"http-worker", "web"}, {"status 200", "OK"}}};
  default:  // extended mode with anchors and an escape
    return {.Replace = true,
            .Extended = true,
            .FindList = "^2024-05-01 12:1;exception",
            .LineAfterList = "seconds, \\d;ms$",
            .Replacements = {{"; ", "\\n    "}}};
  }
}

static void BM_ProcessLine(benchmark::State& State) {
  const TPipelineSettings Settings = PipelineSettings(static_cast<int>(State.range(0)));
  TNullSink Sink;
  for (auto _ : State) {
    const TPreparedRun Prepared(Settings);
    TLinePipeline Pipeline(Prepared);
    for (std::string_view Line : Corpus().Lines)
      Pipeline.ProcessLine(Line, Sink);
    benchmark::DoNotOptimize(Pipeline.Displayed());
  }
  ReportBytes(State);
  State.counters["out_bytes_per_run"] =
      static_cast<double>(Sink.Bytes_) / static_cast<double>(State.iterations());
}
BENCHMARK(BM_ProcessLine)->ArgName("config")->DenseRange(0, 3);

// The same corpus as one block: -f two texts (lines found block-wide), --sk
// (lines without the text written unsearched), and no options.
static void BM_ProcessBlock(benchmark::State& State) {
  const TPipelineSettings Cases[] = {
      {.Find = true, .FindList = "error;warn"}, {.SkipList = "DEBUG"}, {}};
  const TPipelineSettings& Settings = Cases[State.range(0)];
  TNullSink Sink;
  for (auto _ : State) {
    const TPreparedRun Prepared(Settings);
    TLinePipeline Pipeline(Prepared);
    Pipeline.ProcessBlock(Corpus().Text, Sink);
    benchmark::DoNotOptimize(Pipeline.Displayed());
  }
  ReportBytes(State);
}
BENCHMARK(BM_ProcessBlock)->ArgName("find/skip/none")->DenseRange(0, 2);

}  // namespace
}  // namespace vellary::engine
