// Syntax validation: the argument array, the input file, the statistics
// record and the texts built from the registered names.
#include "core/param_validation.h"

#include "core/param_register.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vellary::core {
namespace {

// Arguments already marked, as the registrations would leave them.
TParamStatusArray Marked(const std::vector<std::pair<std::string, TParamStatus>>& Args) {
  TParamStatusArray Result;
  for (const auto& [Text, Status] : Args) {
    TParamStatusRec Rec;
    Rec.Status = Status;
    Rec.Text = Text;
    Result.push_back(Rec);
  }
  return Result;
}

TParamState FreshState() {
  TParamState State;
  InitParamState(State, {});
  return State;
}

TEST(QuoteIfNeeded, QuotesEmptyTextAndTextWithBlankOrSemicolon) {
  EXPECT_EQ(QuoteIfNeeded(""), "\"\"");
  EXPECT_EQ(QuoteIfNeeded("a b"), "\"a b\"");
  EXPECT_EQ(QuoteIfNeeded("x;y"), "\"x;y\"");
  EXPECT_EQ(QuoteIfNeeded("c:\\dir\\f.txt"), "c:\\dir\\f.txt");
}

TEST(GetInputFileParam, NamesArgumentNAndMarksItWhenNotEmpty) {
  TParamStatusArray Args = Marked({{"in.txt", psUnmarked}, {"-b", psUnmarked}});
  std::string Name = "stale";
  GetInputFileParam(Args, Name, 1);
  EXPECT_EQ(Name, "in.txt");
  EXPECT_EQ(Args[0].Status, psInputFile);
  EXPECT_TRUE(Args[0].IsInputFile);
  EXPECT_EQ(Args[1].Status, psUnmarked);

  GetInputFileParam(Args, Name, 3);
  EXPECT_EQ(Name, "");

  TParamStatusArray Empty = Marked({{"", psUnmarked}});
  Name = "stale";
  GetInputFileParam(Empty, Name, 1);
  EXPECT_EQ(Name, "");
  EXPECT_EQ(Empty[0].Status, psUnmarked);
}

TEST(BuildParamSpellings, ListsPrefixesPerSuffixWithoutRepeats) {
  const TParamState State = FreshState();
  EXPECT_EQ(BuildParamSpellings(State, "H HELP", 0), "/H -H /HELP --HELP ");
  EXPECT_EQ(BuildParamSpellings(State, "H HELP", 2),
            "/H -H /H: -H: /H= -H= /HELP --HELP /HELP: --HELP: /HELP= --HELP= ");
  // A bare special character only with mode 1 or 3.
  EXPECT_EQ(BuildParamSpellings(State, "!", 1), "! /! -! ");
  EXPECT_EQ(BuildParamSpellings(State, "!", 2), "/! -! /!: -!: /!= -!= ");
  // A repeated name adds nothing.
  EXPECT_EQ(BuildParamSpellings(State, "  LC, LC;LC", 0), "/LC --LC ");
  EXPECT_EQ(BuildParamSpellings(State, "", 0), "");
}

TEST(BuildStandaloneParams, ListsRegisteredCandidatesOnce) {
  std::string List;
  const std::string_view Registered = "DEBUG H HELP ? B BANNER INFO";
  BuildStandaloneParams(List, Registered, StandaloneCandidateNames);
  EXPECT_EQ(List, "-H --HELP -? --INFO");
  BuildStandaloneParams(List, Registered, StandaloneCandidateNames);
  EXPECT_EQ(List, "-H --HELP -? --INFO");

  std::string Lower;
  BuildStandaloneParams(Lower, Registered, "help b x");
  EXPECT_EQ(Lower, "--HELP -B");
}

TEST(InitParamState, NamesBothRecordsAndCopiesTheArgumentsUnmarked) {
  TParamState State;
  State.RegisteredParamNames = "OLD";
  InitParamState(State, {"a", ""});
  EXPECT_EQ(State.CustomSyntaxStats.RecordName, "Custom Syntax Validation Record");
  EXPECT_EQ(State.DefaultSyntaxStats.RecordName, "Default Syntax Validation Record");
  EXPECT_EQ(State.RegisteredParamNames, "");
  ASSERT_EQ(State.ParamStatus.size(), 2u);
  EXPECT_EQ(State.ParamStatus[1].Text, "");
  EXPECT_EQ(State.ParamStatus[1].Status, psUnmarked);
}

TEST(CollectParamStatistics, NoArgumentsIsNotOk) {
  TParamState State = FreshState();
  TParamStatisticsRec Stats;
  CollectParamStatistics(State, Stats, {}, "B BANNER", true, -1, -1);
  EXPECT_EQ(Stats.AllCount, 0);
  EXPECT_EQ(Stats.AcceptedSpellings, "/B -B /BANNER --BANNER ");
  EXPECT_TRUE(Stats.NoOptionFound);
  EXPECT_TRUE(Stats.Validated);
  EXPECT_FALSE(Stats.Ok);
}

TEST(CollectParamStatistics, SortsArgumentsByMarking) {
  TParamState State = FreshState();
  TParamStatisticsRec Stats;
  const TParamStatusArray Args = Marked({{"in.txt", psInputFile},
                                         {"-b", psParam},
                                         {"-o:out.txt", psParamWithValue},
                                         {"", psValue},
                                         {"-f", psIncomplete},
                                         {"a b", psUnmarked},
                                         {"", psUnmarked}});
  CollectParamStatistics(State, Stats, Args, "B O F", true, -1, -1);
  EXPECT_EQ(Stats.AllCount, 7);
  EXPECT_EQ(Stats.AllList, "in.txt -b -o:out.txt \"\" -f \"a b\" \"\" ");
  EXPECT_EQ(Stats.NonEmptyCount, 5);
  EXPECT_EQ(Stats.ShownList, Stats.AllList);
  EXPECT_EQ(Stats.FoundList, "-b ");
  EXPECT_EQ(Stats.ValueList, "\"\" ");
  EXPECT_EQ(Stats.AttachedList, "-o:out.txt ");
  EXPECT_EQ(Stats.IncompleteList, "-f ");
  EXPECT_EQ(Stats.InvalidCount, 2);
  EXPECT_EQ(Stats.InvalidList, "\"a b\" \"\" ");
  EXPECT_EQ(Stats.InputFileList, "in.txt ");
  EXPECT_EQ(Stats.OtherList, "in.txt -o:out.txt -f \"a b\" \"\" ");
  // Distinct is a contained-text test: "-b" and "-f" hide nowhere, but the
  // second empty argument repeats the first, and "-o" is not a whole entry.
  EXPECT_EQ(Stats.DistinctCount, 6);
  // The attached form counts through the part before ":".
  EXPECT_EQ(Stats.OptionsFound, "-b -o ");
  EXPECT_FALSE(Stats.Ok);
}

TEST(CollectParamStatistics, AttachedWithEqualsDoesNotCountAsAnOption) {
  TParamState State = FreshState();
  TParamStatisticsRec Stats;
  const TParamStatusArray Args = Marked({{"file.txt", psInputFile}, {"--la=x", psParamWithValue}});
  CollectParamStatistics(State, Stats, Args, "LA", true, -1, -1);
  EXPECT_EQ(Stats.AttachedCount, 1);
  EXPECT_EQ(Stats.OptionsFound, "");
  EXPECT_EQ(Stats.InvalidCount, 0);
  EXPECT_EQ(Stats.IncompleteCount, 0);
  EXPECT_FALSE(Stats.Ok);
  // Without the option check the same line passes.
  CollectParamStatistics(State, Stats, Args, "LA", false, -1, -1);
  EXPECT_TRUE(Stats.Ok);
}

TEST(CollectParamStatistics, ArgumentsOutsideTheRangeAreOnlyCountedAsSuch) {
  TParamState State = FreshState();
  TParamStatisticsRec Stats;
  const TParamStatusArray Args =
      Marked({{"in.txt", psInputFile}, {"-b", psParam}, {"junk", psUnmarked}});
  CollectParamStatistics(State, Stats, Args, "B", true, 1, 1);
  EXPECT_EQ(Stats.FirstIndex, 1);
  EXPECT_EQ(Stats.LastIndex, 1);
  EXPECT_EQ(Stats.AllList, "-b ");
  EXPECT_EQ(Stats.OutOfRangeList, "in.txt junk ");
  EXPECT_EQ(Stats.InputFileList, "in.txt ");
  EXPECT_EQ(Stats.InvalidCount, 0);
  EXPECT_TRUE(Stats.Ok);
}

TEST(ValidateParamSyntax, FillsTheDefaultRecordOnceOverTheWholeLine) {
  TParamState State = FreshState();
  TParamStatusArray Args = Marked({{"in.txt", psInputFile}, {"-b", psParam}, {"z", psUnmarked}});
  ValidateParamSyntax(State, State.CustomSyntaxStats, Args, "B", true, 1, 1);
  EXPECT_TRUE(State.CustomSyntaxStats.Ok);
  EXPECT_TRUE(State.DefaultSyntaxStats.Validated);
  EXPECT_EQ(State.DefaultSyntaxStats.InvalidList, "z ");
  EXPECT_EQ(State.DefaultSyntaxStats.RecordName, "Default Syntax Validation Record");

  Args[2].Status = psValue;
  ValidateParamSyntax(State, State.CustomSyntaxStats, Args, "B", true, -1, -1);
  EXPECT_TRUE(State.CustomSyntaxStats.Ok);
  EXPECT_EQ(State.DefaultSyntaxStats.InvalidList, "z ");  // not validated again
  EXPECT_EQ(State.CustomSyntaxStats.RecordName, "Custom Syntax Validation Record");
}

}  // namespace
}  // namespace vellary::core
