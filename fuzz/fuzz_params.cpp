// Arbitrary argument vectors through the option table and the validation.
// Input: arguments separated by NUL bytes.
#include "app/option_table.h"
#include "core/param_validation.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace vellary;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  std::vector<std::string> Args(1);
  for (std::size_t I = 0; I < Size; ++I) {
    if (Data[I] == 0)
      Args.emplace_back();
    else
      Args.back() += static_cast<char>(Data[I]);
  }
  if (Size == 0)
    Args.clear();

  core::TCoreState Core;
  app::TRunSettings Settings;
  core::InitParamState(Core.Params, Args);
  app::RegisterOptions(Core, Settings);
  core::ValidateParamSyntax(Core.Params, Core.Params.CustomSyntaxStats, Core.Params.ParamStatus,
                            Core.Params.RegisteredParamNames, true, -1, -1);
  app::DeriveRunSettings(Settings);

  const core::TParamStatisticsRec& Stats = Core.Params.CustomSyntaxStats;
  // Every argument is sorted into exactly one status list.
  const unsigned Sorted = Stats.InvalidCount + Stats.FoundCount + Stats.ValueCount +
                          Stats.AttachedCount + Stats.IncompleteCount +
                          (Stats.InputFileCount - Stats.OutOfRangeCount);
  if (Args.size() < 65536 && Sorted != Args.size())
    std::abort();
  // The run sequence decides on the counts: a count must be non-zero exactly
  // when its list holds something, however many arguments there are.
  if ((Stats.InvalidCount > 0) != !Stats.InvalidList.empty() ||
      (Stats.IncompleteCount > 0) != !Stats.IncompleteList.empty())
    std::abort();
  if (Stats.Ok && (!Stats.InvalidList.empty() || !Stats.IncompleteList.empty()))
    std::abort();
  if (Stats.DistinctCount > Stats.AllCount || Stats.DistinctCount > Stats.NonEmptyCount + 1u)
    std::abort();
  if (Settings.Pipeline.SeparatorLine.size() != static_cast<std::size_t>(Settings.LineLength) ||
      Settings.LineLength < 1 || Settings.LineLength > 4096)
    std::abort();
  return 0;
}
