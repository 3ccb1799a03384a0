// The whole line pipeline on arbitrary input: a replacement table, eight
// search lists, the switches and the input bytes, into an in-memory sink.
// Fed as one block, the input must give the output it gives line by line.
#include "engine/line_pipeline.h"
#include "tests/engine/sample_case_fold.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

using namespace vellary;

namespace {

class TStringSink final : public engine::TLineSink {
public:
  bool PutLine(std::string_view Bytes) override {
    Text.append(Bytes);
    Text += "\r\n";
    return true;
  }
  std::string Text;
};

// Splits Input at CR, LF and CR LF as the file reader does.
template <typename F> void ForEachLine(std::string_view Input, F&& Handle) {
  std::size_t From = 0;
  while (From < Input.size()) {
    std::size_t End = Input.find_first_of("\r\n", From);
    if (End == std::string_view::npos) {
      Handle(Input.substr(From));
      return;
    }
    Handle(Input.substr(From, End - From));
    From = End + 1;
    if (Input[End] == '\r' && From < Input.size() && Input[From] == '\n')
      ++From;
  }
}

std::string Run(const engine::TPipelineSettings& Settings, std::string_view Input, bool AsBlock) {
  const engine::TPreparedRun Prepared(Settings);
  engine::TLinePipeline Pipeline(Prepared);
  TStringSink Out, Tally;
  if (AsBlock)
    Pipeline.ProcessBlock(Input, Out);
  else
    ForEachLine(Input, [&](std::string_view Line) { Pipeline.ProcessLine(Line, Out); });
  Prepared.FinishOutput(Out, Tally, Pipeline.Displayed());
  return Out.Text + '|' + Tally.Text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  FuzzedDataProvider In(Data, Size);
  engine::TPipelineSettings S;
  S.Ascii = In.ConsumeBool();
  S.Find = In.ConsumeBool();
  S.FindBefore = In.ConsumeBool();
  S.FindAfter = In.ConsumeBool();
  S.Eliminate = In.ConsumeBool();
  S.Tally = In.ConsumeBool();
  S.Divider = In.ConsumeBool();
  S.Newline = In.ConsumeBool();
  S.CaseSensitive = In.ConsumeBool();
  S.Extended = In.ConsumeBool();
  // A single-byte code page folds letters above 127 too; a UTF-8 locale
  // folds characters.
  switch (In.ConsumeIntegralInRange(0, 2)) {
  case 1: {
    engine::TUpperTable Table = engine::AsciiUpperTable();
    for (int B = 0xE0; B <= 0xFE; ++B)
      if (B != 0xF7)
        Table[static_cast<std::size_t>(B)] = static_cast<unsigned char>(B - 0x20);
    S.Upper = Table;
    break;
  }
  case 2:
    S.Upper = engine::testing::SampleUtf8CaseFold();
    break;
  default:
    break;
  }
  S.SearchDelimiter.assign(1, In.ConsumeBool() ? ';' : static_cast<char>(In.ConsumeIntegral<std::uint8_t>()));
  const std::string_view ReplaceDelimiter = In.ConsumeBool() ? ";" : "|";
  S.DividerCount = In.ConsumeIntegralInRange<std::int32_t>(1, 8);
  S.NewlineCount = In.ConsumeIntegralInRange<std::int32_t>(1, 8);
  S.PlusSpaceText = In.ConsumeBool() ? " " : "";
  S.FindList = In.ConsumeRandomLengthString(40);
  S.FindBeforeList = In.ConsumeRandomLengthString(40);
  S.FindAfterList = In.ConsumeRandomLengthString(40);
  S.SkipList = In.ConsumeRandomLengthString(40);
  S.LineBeforeList = In.ConsumeRandomLengthString(40);
  S.LineAfterList = In.ConsumeRandomLengthString(40);
  S.SpaceBeforeList = In.ConsumeRandomLengthString(40);
  S.SpaceAfterList = In.ConsumeRandomLengthString(40);
  S.PrependText = In.ConsumeRandomLengthString(20);
  S.AppendText = In.ConsumeRandomLengthString(20);
  S.InputFileName = "fuzz%s%n.txt";
  const std::string ReplaceFile = In.ConsumeRandomLengthString(200);
  S.Replace = !ReplaceFile.empty();
  ForEachLine(ReplaceFile, [&](std::string_view Line) {
    engine::AddReplacementLine(S.Replacements, Line, ReplaceDelimiter);
  });
  engine::FinishReplacementTable(S.Replacements);
  for (const engine::TSearchReplaceRec& Pair : S.Replacements)
    if (Pair.Search.empty())
      std::abort();
  const std::string Input = In.ConsumeRemainingBytesAsString();

  if (Run(S, Input, false) != Run(S, Input, true))
    std::abort();
  return 0;
}
