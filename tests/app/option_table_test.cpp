// The option table over whole command lines: what each registration takes,
// the validation verdict, and the settings derived before processing.
#include "app/option_table.h"

#include "core/param_validation.h"

#include "app/parsed_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace vellary::app {
namespace {

using core::psInputFile;
using core::psParam;
using core::psUnmarked;
using core::psValue;

using testing::Parse;

TEST(RegisterOptions, WorkedExampleStatistics) {
  const auto L = Parse({"report.txt", "-o", "out.txt", "--la=Done", "-x", "extra"});
  const core::TParamStatisticsRec& S = L->Core.Params.CustomSyntaxStats;
  EXPECT_EQ(L->Settings.Pipeline.InputFileName, "report.txt");
  EXPECT_EQ(L->Settings.OutputFileName, "out.txt");
  EXPECT_EQ(L->Settings.Pipeline.LineAfterList, "Done");
  EXPECT_TRUE(L->Settings.ExtendedRec.Found);
  EXPECT_EQ(S.FoundList, "-o -x ");
  EXPECT_EQ(S.ValueList, "out.txt ");
  EXPECT_EQ(S.AttachedList, "--la=Done ");
  EXPECT_EQ(S.InputFileList, "report.txt ");
  EXPECT_EQ(S.InvalidList, "extra ");
  EXPECT_EQ(S.InvalidCount, 1);
  EXPECT_EQ(S.OptionsFound, "-o -x ");
  EXPECT_FALSE(S.Ok);
}

TEST(RegisterOptions, InputFileAloneIsNotOkButNeitherInvalidNorIncomplete) {
  const auto L = Parse({"file.txt"});
  const core::TParamStatisticsRec& S = L->Core.Params.CustomSyntaxStats;
  EXPECT_EQ(S.InputFileCount, 1);
  EXPECT_EQ(S.InvalidCount, 0);
  EXPECT_EQ(S.IncompleteCount, 0);
  EXPECT_FALSE(S.Ok);
  EXPECT_EQ(L->Core.Params.StandaloneParams,
            "-H --HELP -? --H2 --HELP2 --?? --VERSION-ONLY --BUILD-ONLY --INFO");
  EXPECT_TRUE(L->Core.Params.DefaultSyntaxStats.Validated);
}

// A verdict and the marking of every argument, for lines whose meaning
// depends on the order of the registrations.
TEST(RegisterOptions, ArgumentMarkingsAndVerdicts) {
  struct Case {
    std::vector<std::string> Args;
    std::vector<core::TParamStatus> Marks;
    std::uint16_t Invalid;
    std::uint16_t Incomplete;
    bool Ok;
  };
  const Case Cases[] = {
      // -r is registered before -o, so it takes "-o" as its value.
      {{"f.txt", "-r", "-o", "x"}, {psInputFile, psParam, psParam, psValue}, 0, 0, true},
      {{"f.txt", "--ms", "--ss"}, {psInputFile, psParam, psParam}, 0, 0, true},
      {{"f.txt", "--ms", "", "--ss"}, {psInputFile, psParam, psValue, psParam}, 0, 0, true},
      {{"f.txt", "-b", "-b"}, {psInputFile, psParam, psUnmarked}, 1, 0, false},
      {{"f.txt", "-f"}, {psInputFile, core::psIncomplete}, 0, 1, false},
      {{"f.txt", "-f", ""}, {psInputFile, core::psIncomplete, psUnmarked}, 1, 1, false},
      {{"f.txt", "--audible-error", "x"}, {psInputFile, psParam, psValue}, 0, 0, true},
      {{"f.txt", "-help"}, {psInputFile, psUnmarked}, 1, 0, false},
      {{"f.txt", "--h"}, {psInputFile, psUnmarked}, 1, 0, false},
      {{"f.txt", "?"}, {psInputFile, psUnmarked}, 1, 0, false},
      // An option written first is both the input file and a parameter.
      {{"-b"}, {psParam}, 0, 0, true},
  };
  for (const Case& C : Cases) {
    std::string Trace;
    for (const std::string& A : C.Args) Trace += "[" + A + "]";
    SCOPED_TRACE(Trace);
    const auto L = Parse(C.Args);
    const auto& Status = L->Core.Params.ParamStatus;
    ASSERT_EQ(Status.size(), C.Marks.size());
    for (std::size_t I = 0; I < Status.size(); ++I) {
      EXPECT_EQ(Status[I].Status, C.Marks[I]) << "argument " << I;
    }
    const core::TParamStatisticsRec& S = L->Core.Params.CustomSyntaxStats;
    EXPECT_EQ(S.InvalidCount, C.Invalid);
    EXPECT_EQ(S.IncompleteCount, C.Incomplete);
    EXPECT_EQ(S.Ok, C.Ok);
  }
}

TEST(RegisterOptions, OrderDecidesValuesOfFollowingOptions) {
  {
    const auto L = Parse({"f.txt", "-r", "-o", "x"});
    EXPECT_EQ(L->Settings.ReplaceFileName, "-o");
    EXPECT_EQ(L->Settings.OutputFileName, "x");
  }
  {
    const auto L = Parse({"f.txt", "--ms", "--ss"});
    EXPECT_EQ(L->Settings.SampleFileName, "--ss");
    EXPECT_TRUE(L->Settings.ShowSampleRec.Found);
    EXPECT_FALSE(L->Settings.SampleWithoutMake);
  }
  {
    const auto L = Parse({"f.txt", "--ms", "", "--ss"});
    EXPECT_EQ(L->Settings.SampleFileName, "");
    EXPECT_TRUE(L->Settings.MakeSampleRec.Found);
    EXPECT_FALSE(L->Settings.SampleWithoutMake);
  }
  {
    const auto L = Parse({"f.txt", "--ss"});
    EXPECT_TRUE(L->Settings.SampleWithoutMake);
  }
}

TEST(RegisterOptions, HelpSynonymsAlsoSetVerbose) {
  for (const char* Arg : {"--??", "--h2", "/HELP2"}) {
    SCOPED_TRACE(Arg);
    const auto L = Parse({Arg});
    EXPECT_TRUE(L->Core.HelpRec.Found);
    EXPECT_TRUE(L->Core.VerboseRec.Found);
  }
  const auto L = Parse({"-h"});
  EXPECT_TRUE(L->Core.HelpRec.Found);
  EXPECT_FALSE(L->Core.VerboseRec.Found);
}

TEST(RegisterOptions, DebugModeTurnsOnBothErrorFeedbacks) {
  {
    const auto L = Parse({"--debug-mode"});
    EXPECT_EQ(L->Settings.Pipeline.InputFileName, "--debug-mode");
    EXPECT_TRUE(L->Core.DebugModeRec.Found);
    EXPECT_TRUE(L->Core.AudibleError);
    EXPECT_TRUE(L->Core.ErrorDelay);
  }
  {
    const auto L = Parse({"f.txt", "--error-delay"});
    EXPECT_TRUE(L->Core.ErrorDelay);
    EXPECT_FALSE(L->Core.AudibleError);
  }
}

// The help and the registrations read the same rows; this ties each spelling
// the help lists to the registration of its own row.
TEST(OptionTable, EverySpellingTheHelpListsIsFoundByItsOwnRow) {
  for (const TOptionRow& Row : OptionTable) {
    for (const TOptionHelp& Help : Row.Help) {
      for (std::size_t From = 0; From < Help.Names.size();) {
        std::size_t End = std::min(Help.Names.find(", ", From), Help.Names.size());
        const std::string Spelling(Help.Names.substr(From, End - From));
        From = End + 2;
        SCOPED_TRACE(Spelling);
        // A value behind it, for the options whose value is mandatory.
        const auto L = Parse({"f.txt", Spelling, "v"});
        EXPECT_TRUE(Row.Rec.In(L->Core, L->Settings).Found);
      }
    }
  }
}

TEST(DeriveRunSettings, DelimitersLinesAndCounts) {
  struct Case {
    std::vector<std::string> Args;
    std::string Search;
    std::string Replace;
    std::string Separator;
    std::string Divider;
    std::int32_t Newlines;
    std::int32_t Dividers;
    bool Utf8 = false;  // a UTF-8 locale: a character is a whole UTF-8 sequence
  };
  const std::string Dash80(80, '-');
  const std::string Equal80(80, '=');
  const Case Cases[] = {
      {{"f", "-t"}, ";", ";", Dash80, Equal80, 1, 1},
      {{"f", "-d", "|"}, "|", "|", Dash80, Equal80, 1, 1},
      {{"f", "-d", "|:"}, "|", ":", Dash80, Equal80, 1, 1},
      {{"f", "-d", "abc"}, "a", "b", Dash80, Equal80, 1, 1},
      {{"f", "-d", ""}, ";", ";", Dash80, Equal80, 1, 1},
      {{"f", "-c", "*", "-l", "10"}, ";", ";", "**********", "==========", 1, 1},
      {{"f", "-c", "ab", "-l", "3"}, ";", ";", "aaa", "===", 1, 1},
      {{"f", "-c", "", "-l", "3"}, ";", ";", "---", "===", 1, 1},
      {{"f", "--lc", "#", "-l", "2"}, ";", ";", "--", "##", 1, 1},
      {{"f", "--lc"}, ";", ";", Dash80, Equal80, 1, 1},
      {{"f", "-l", "0"}, ";", ";", "-", "=", 1, 1},
      {{"f", "-l", "5000"}, ";", ";", std::string(4096, '-'), std::string(4096, '='), 1, 1},
      {{"f", "-l", "abc"}, ";", ";", Dash80, Equal80, 1, 1},
      {{"f", "--dl", "--nl"}, ";", ";", Dash80, Equal80, 1, 1},
      {{"f", "--nl", "20", "--dl", "3"}, ";", ";", Dash80, Equal80, 8, 3},
      {{"f", "-c", "─", "-l", "3"}, ";", ";", "───", "===", 1, 1, true},
      {{"f", "-c", "─", "-l", "3"}, ";", ";", "\xe2\xe2\xe2", "===", 1, 1},
      {{"f", "--lc", "é", "-l", "2"}, ";", ";", "--", "éé", 1, 1, true},
      {{"f", "-d", "│→"}, "│", "→", Dash80, Equal80, 1, 1, true},
      {{"f", "-d", ";→"}, ";", "→", Dash80, Equal80, 1, 1, true},
      {{"f", "-d", "\xe2;"}, "\xe2", ";", Dash80, Equal80, 1, 1, true},  // no valid sequence
  };
  for (const Case& C : Cases) {
    std::string Trace;
    for (const std::string& A : C.Args) Trace += "[" + A + "]";
    SCOPED_TRACE(Trace);
    const auto L = Parse(C.Args);
    DeriveRunSettings(L->Settings, C.Utf8);
    const TRunSettings& R = L->Settings;
    EXPECT_EQ(R.Pipeline.SearchDelimiter, C.Search);
    EXPECT_EQ(R.ReplaceDelimiter, C.Replace);
    EXPECT_EQ(R.Pipeline.SeparatorLine, C.Separator);
    EXPECT_EQ(R.Pipeline.DividerLine, C.Divider);
    EXPECT_EQ(R.Pipeline.NewlineCount, C.Newlines);
    EXPECT_EQ(R.Pipeline.DividerCount, C.Dividers);
    EXPECT_EQ(R.Pipeline.PlusSpaceText, "");
  }
}

TEST(DeriveRunSettings, PlusSpaceAndDefaultLineLengthWithoutRegistration) {
  TRunSettings R;
  R.PlusSpaceRec.Found = true;
  DeriveRunSettings(R);
  EXPECT_EQ(R.Pipeline.PlusSpaceText, " ");
  EXPECT_EQ(R.LineLength, 80);
  EXPECT_EQ(R.Pipeline.SeparatorLine, std::string(80, '-'));
}

}  // namespace
}  // namespace vellary::app
