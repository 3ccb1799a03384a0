// Replacement pairs and search lists on arbitrary bytes: the prepared
// (fast) search must agree with the plain one, and a pair whose search text
// does not occur must leave the line unchanged.
#include "engine/replace_table.h"
#include "engine/search_match.h"
#include "tests/engine/sample_case_fold.h"
#include "tests/support/reference_paths.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

using namespace vellary;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  FuzzedDataProvider In(Data, Size);
  engine::TMatchOptions Options;
  if (In.ConsumeBool())
    Options.Upper = engine::testing::SampleUtf8CaseFold();
  Options.CaseSensitive = In.ConsumeBool();
  Options.Extended = In.ConsumeBool();
  const std::string Delimiter(1, In.ConsumeBool() ? ';' : static_cast<char>(In.ConsumeIntegral<std::uint8_t>()));
  const std::string List = In.ConsumeRandomLengthString(64);
  const std::string Search = In.ConsumeRandomLengthString(16);
  const std::string Replace = In.ConsumeRandomLengthString(16);
  const std::string Line = In.ConsumeRemainingBytesAsString();

  const engine::TPreparedSearchList Prepared(List, Delimiter, Options);
  engine::TFoldedLine Subject;
  Subject.Reset(Line, Options.Upper);
  if (Prepared.Matches(Subject) != engine::LineMatchesList(Line, List, Delimiter, Options))
    std::abort();

  if (Search.empty())
    return 0;
  std::string Out;
  engine::ApplyReplacement(Line, Search, Replace, true, false, Options.Upper, Out);
  if (Line.find(Search) == std::string::npos && Out != Line)
    std::abort();
  engine::ApplyReplacement(Line, Search, Replace, Options.CaseSensitive, Options.Extended,
                           Options.Upper, Out);
  // The prepared pair replaces exactly what the plain one does.
  const engine::TPreparedReplacement Pair({Search, Replace}, Options.CaseSensitive,
                                          Options.Extended, Options.Upper);
  std::string Fast;
  if (!Pair.Apply(Subject, Fast))
    Fast = Line;
  if (Fast != Out)
    std::abort();
  return 0;
}
