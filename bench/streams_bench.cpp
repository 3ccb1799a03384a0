// Line splitting: reading a 32 MB log file whole (from the page cache) and
// cutting it into lines, for each line-end convention.
#include "app/streams.h"
#include "engine/line_cutter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

using namespace vellary;

// A log of lines 20 to 140 bytes long, ending each line with End.
static std::string WriteLog(const std::string& End) {
  const std::string Name =
      (std::filesystem::temp_directory_path() / ("vellary-bench-" + std::to_string(End.size()) +
                                                 std::to_string(End[0]) + ".log"))
          .string();
  std::ofstream Out(Name, std::ios::binary | std::ios::trunc);
  std::string Line;
  unsigned Seed = 12345;
  for (std::size_t Written = 0; Written < 32u << 20; Written += Line.size()) {
    Seed = Seed * 1103515245u + 12345u;
    Line.assign("2026-11-01 08:00:00.123 INFO  [http] request served ");
    Line.resize(20 + Seed % 121, 'x');
    Line += End;
    Out << Line;
  }
  return Name;
}

static void BM_ReadTextLine(benchmark::State& State) {
  static const std::string Ends[] = {"\n", "\r\n", "\r"};
  const std::string Name = WriteLog(Ends[State.range(0)]);
  std::size_t Bytes = 0;
  std::string Text;
  for (auto _ : State) {
    if (app::ReadWholeFile(Name, Text) != 0)
      State.SkipWithError("cannot read the generated log");
    engine::TLineCutter Lines(Text);
    for (std::string_view Line; Lines.Next(Line);)
      Bytes += Line.size() + 1;
  }
  State.SetBytesProcessed(static_cast<std::int64_t>(Bytes));
  std::remove(Name.c_str());
}
BENCHMARK(BM_ReadTextLine)->ArgName("LF/CRLF/CR")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
