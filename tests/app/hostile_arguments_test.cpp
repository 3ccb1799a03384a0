// Command lines beyond what one exec can carry, through the option table and
// the validation in-process: a 10 MB argument, counts past 16 bits, and the
// distinct-argument count over long lists.
#include "app/option_table.h"

#include "core/param_validation.h"

#include "app/parsed_line.h"
#include "common/time_limit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace vellary::app {
namespace {

using testing::Parse;

TEST(HostileArguments, TenMegabyteArgumentIsTakenWhole) {
  const std::string Big(10u << 20, 'v');
  auto L = Parse({Big, "-f", Big, "--pp=" + Big, Big + ";"});
  const core::TParamStatisticsRec& S = L->Core.Params.CustomSyntaxStats;
  EXPECT_EQ(L->Settings.Pipeline.InputFileName, Big);
  EXPECT_EQ(L->Settings.Pipeline.FindList, Big);
  EXPECT_EQ(L->Settings.Pipeline.PrependText, Big.substr(0, 999));  // attached values are cut there
  EXPECT_EQ(S.InvalidCount, 1);
  EXPECT_EQ(S.InvalidList, "\"" + Big + ";\" ");
  EXPECT_FALSE(S.Ok);
}

// A count that wrapped to 0 would let a command line full of unknown
// arguments pass as clean.
TEST(HostileArguments, CountsStopAtTheirMaximumInsteadOfWrapping) {
  std::vector<std::string> Args = {"in.txt", "-t"};
  for (int I = 0; I < 65536; ++I)
    Args.push_back("?" + std::to_string(I));
  auto L = Parse(Args);
  const core::TParamStatisticsRec& S = L->Core.Params.CustomSyntaxStats;
  EXPECT_EQ(S.InvalidCount, 65535);
  EXPECT_EQ(S.AllCount, 65535);
  EXPECT_FALSE(S.Ok);
}

// The distinct count is a contained-text test over the lower-cased list; the
// indexed search that keeps long lists fast must give what a plain scan gives.
TEST(HostileArguments, DistinctCountOverLongListsMatchesAPlainScan) {
  std::mt19937 Gen(99);
  const std::string Alphabet = "aAbB ;\"-x";
  std::vector<std::string> Args = {"in.txt", "-t"};
  for (int I = 0; I < 6000; ++I) {
    std::string Arg;
    for (std::size_t N = 1 + Gen() % 7; N > 0; --N)
      Arg += Alphabet[Gen() % Alphabet.size()];
    Args.push_back(I % 3 == 0 ? Arg + std::to_string(I) : Arg);
  }
  Args.push_back("");
  auto L = Parse(Args);
  const core::TParamStatisticsRec& S = L->Core.Params.CustomSyntaxStats;

  auto Lower = [](std::string T) {
    std::transform(T.begin(), T.end(), T.begin(),
                   [](unsigned char C) { return static_cast<char>(std::tolower(C)); });
    return T;
  };
  std::string List;
  unsigned Count = 0;
  for (const core::TParamStatusRec& Arg : L->Core.Params.ParamStatus) {
    const std::string Text = Arg.Text.empty() ? "\"\"" : Arg.Text;
    if (Lower(List).find(Lower(Text)) != std::string::npos)
      continue;
    ++Count;
    List += core::QuoteIfNeeded(Text) + ' ';
  }
  EXPECT_GT(List.size(), 16u * 1024) << "the list should outgrow a plain scan";
  EXPECT_EQ(S.DistinctCount, Count);
  EXPECT_EQ(S.DistinctList, List);
}

TEST(HostileArguments, HundredThousandArgumentsValidateQuickly) {
  std::vector<std::string> Args = {"in.txt"};
  for (int I = 0; I < 100000; ++I)
    Args.push_back("--opt" + std::to_string(I));
  const auto Start = std::chrono::steady_clock::now();
  auto L = Parse(Args);
  EXPECT_LT(std::chrono::steady_clock::now() - Start, fixtures::TimeLimit(std::chrono::seconds(10)));
  EXPECT_EQ(L->Core.Params.CustomSyntaxStats.InvalidCount, 65535);
  EXPECT_EQ(L->Core.Params.CustomSyntaxStats.DistinctCount, 65535);
}

}  // namespace
}  // namespace vellary::app
