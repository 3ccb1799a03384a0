// Parameter registration: spellings, values, markings, order of registration
// and the integer conversion of values.
#include "core/param_register.h"

#include "core/param_validation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vellary::core {
namespace {

// A fresh framework state over Args with the program's syntax mode.
TParamState MakeState(const std::vector<std::string>& Args, int Mode = 2) {
  TParamState State;
  InitParamState(State, Args);
  State.ParamSyntaxMode = Mode;
  return State;
}

TEST(MatchParamName, AcceptsOnlyTheDashSlashSpellingsOfEachNameKind) {
  struct Case {
    const char* Name;
    const char* Arg;
    int Mode;
    bool Match;
    const char* Param;
    const char* Value;
  };
  const Case Cases[] = {
      {"H", "-h", 2, true, "-h", ""},
      {"H", "/H", 2, true, "/H", ""},
      {"?", "-?", 2, true, "-?", ""},
      {"?", "/?", 2, true, "/?", ""},
      {"HELP", "--help", 2, true, "--help", ""},
      {"HELP", "/HELP", 2, true, "/HELP", ""},
      {"??", "--??", 2, true, "--??", ""},
      {"HELP", "-help", 2, false, "", ""},  // long name with a single dash
      {"H", "--h", 2, false, "", ""},       // one-character name with two dashes
      {"?", "?", 3, false, "", ""},         // "?" is no special character
      {"!", "!", 3, true, "!", ""},         // bare special character, mode 3
      {"!", "!", 2, false, "", ""},         // ... but not without bare names
      {"LL", "--LL=9", 2, true, "--LL", "9"},
      {"LL", "--LLX=9", 2, false, "", ""},  // separator must follow directly
      {"O", "-o:c:\\out.txt", 2, true, "-o", "c:\\out.txt"},
      {"O", "-o:x", 0, false, "", ""},      // attached values need mode 2 or 3
      {"LA", "--la=", 2, true, "--la", ""},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(std::string(C.Name) + " / " + C.Arg);
    TParamState State = MakeState({}, C.Mode);
    TFindParamRec Scratch;
    Scratch.Param = Scratch.Value = "stale";
    EXPECT_EQ(MatchParamName(State, C.Name, C.Arg, Scratch), C.Match);
    EXPECT_EQ(Scratch.Found, C.Match);
    EXPECT_EQ(Scratch.Param, C.Param);
    EXPECT_EQ(Scratch.Value, C.Value);
  }
}

TEST(MatchParamName, SingleDashLongNameWhenNotDoubleDashOnly) {
  TParamState State = MakeState({});
  State.LongParamsDoubleDashOnly = false;
  TFindParamRec Scratch;
  EXPECT_TRUE(MatchParamName(State, "HELP", "-help", Scratch));
  EXPECT_TRUE(MatchParamName(State, "HELP", "--HELP", Scratch));
}

TEST(MatchParamName, AttachedValueCutAt999Characters) {
  const std::string Long(1200, 'v');
  TParamState State = MakeState({});
  TFindParamRec Scratch;
  ASSERT_TRUE(MatchParamName(State, "LA", "--la=" + Long, Scratch));
  EXPECT_TRUE(Scratch.Attached);
  EXPECT_EQ(Scratch.Value, Long.substr(0, 999));
}

TEST(FindParamTextEx, MandatoryValueMissingOrEmptyMarksIncomplete) {
  struct Case {
    std::vector<std::string> Args;
    const char* Names;
    bool Found;
    const char* Value;
    std::vector<TParamStatus> Marks;
  };
  const Case Cases[] = {
      {{"-f"}, "F FIND", false, "", {psIncomplete}},
      {{"-f", ""}, "F FIND", false, "", {psIncomplete, psUnmarked}},
      {{"-f", "abc"}, "F FIND", true, "abc", {psParam, psValue}},
      {{"-f=abc", "x"}, "F FIND", true, "abc", {psParamWithValue, psUnmarked}},
      // An empty attached value lets the following argument supply it, but
      // the parameter itself stays incomplete.
      {{"--fb=", "x"}, "  FB FIND-BEFORE", true, "x", {psIncomplete, psValue}},
      {{"--fb="}, "  FB FIND-BEFORE", false, "", {psIncomplete}},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Args[0]);
    TParamState State = MakeState(C.Args);
    TFindParamRec Rec;
    std::string Text = "caller";
    FindParamTextEx(State, Rec, State.ParamStatus, C.Names, Text, fpMandatory, -1,
                    pmFromPosition);
    EXPECT_EQ(Rec.Found, C.Found);
    EXPECT_EQ(Text, C.Value);
    EXPECT_EQ(Rec.Index, 0);
    ASSERT_EQ(State.ParamStatus.size(), C.Marks.size());
    for (std::size_t I = 0; I < C.Marks.size(); ++I) {
      EXPECT_EQ(State.ParamStatus[I].Status, C.Marks[I]) << "argument " << I;
    }
  }
}

TEST(FindParamTextEx, KeepDefaultFlagUsesCallersText) {
  TParamState State = MakeState({"file.txt"});
  TFindParamRec Rec;
  std::string Text = "default";
  FindParamTextEx(State, Rec, State.ParamStatus, "F FIND", Text, fpKeepDefault, -1,
                  pmFromPosition);
  EXPECT_EQ(Text, "default");
  FindParamTextEx(State, Rec, State.ParamStatus, "F FIND", Text, 0, -1, pmFromPosition);
  EXPECT_EQ(Text, "");
}

TEST(FindParamText, OptionalValueMissingIsFoundWithEmptyValue) {
  TParamState State = MakeState({"file.txt", "-r"});
  TFindParamRec Rec;
  std::string Name = "stale";
  FindParamText(State, Rec, State.ParamStatus, "R REPLACE", Name, -1, pmFromPosition);
  EXPECT_TRUE(Rec.Found);
  EXPECT_EQ(Name, "");
  EXPECT_EQ(Rec.Index, 1);
  EXPECT_EQ(Rec.NextIndex, 2);
  EXPECT_EQ(State.ParamStatus[1].Status, psParam);
}

TEST(Registration, FollowingArgumentAlreadyRecognisedMakesTheParameterIncomplete) {
  // -o registered before -r: the argument after -r is a recognised parameter,
  // so -r keeps its text and Found flag but is marked incomplete.
  TParamState State = MakeState({"-r", "-o", "x"});
  TFindParamRec R, O;
  std::string RText, OText;
  FindParamText(State, O, State.ParamStatus, "O OUT", OText, -1, pmFromPosition);
  FindParamText(State, R, State.ParamStatus, "R REPLACE", RText, -1, pmFromPosition);
  EXPECT_EQ(RText, "-o");
  EXPECT_TRUE(R.Found);
  EXPECT_EQ(State.ParamStatus[0].Status, psIncomplete);
  EXPECT_EQ(State.ParamStatus[1].Status, psParam);
}

TEST(FindParamSwitch, RepeatedSwitchOnlyFirstExaminedUnlessEveryOccurrence) {
  {
    TParamState State = MakeState({"-b", "-b"});
    TFindParamRec Rec;
    FindParamSwitch(State, Rec, State.ParamStatus, "B BANNER", 0, -1, pmFromPosition);
    EXPECT_EQ(Rec.Index, 0);
    EXPECT_EQ(State.ParamStatus[0].Status, psParam);
    EXPECT_EQ(State.ParamStatus[1].Status, psUnmarked);
  }
  {
    TParamState State = MakeState({"-b", "-b"});
    TFindParamRec Rec;
    FindParamSwitch(State, Rec, State.ParamStatus, "B BANNER", fpEveryOccurrence, -1,
                    pmFromPosition);
    EXPECT_EQ(Rec.Index, 1);
    EXPECT_EQ(State.ParamStatus[1].Status, psParam);
  }
}

TEST(FindParamSwitch, AttachedValueOnASwitchIsAcceptedAndMarked) {
  TParamState State = MakeState({"-b:yes"});
  TFindParamRec Rec;
  FindParamSwitch(State, Rec, State.ParamStatus, "B BANNER", 0, -1, pmFromPosition);
  EXPECT_TRUE(Rec.Found);
  EXPECT_TRUE(Rec.Attached);
  EXPECT_EQ(Rec.Param, "-b");
  EXPECT_EQ(Rec.Value, "yes");
  const TParamStatusRec& Arg = State.ParamStatus[0];
  EXPECT_EQ(Arg.Status, psParamWithValue);
  EXPECT_TRUE(Arg.ValuePresent);
  EXPECT_TRUE(Arg.AttachedForm);
}

TEST(Registration, PositionAndModeBoundTheSearch) {
  struct Case {
    int Position;
    int Mode;
    std::int32_t Index;
  };
  // "-b" stands at 1 and 3.
  const Case Cases[] = {
      {-1, pmFromPosition, 1}, {2, pmFromPosition, 3}, {4, pmFromPosition, -1},
      {0, pmToPosition, -1},   {1, pmToPosition, 1},   {-1, pmToPosition, 1},
      {99, pmToPosition, 1},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(std::to_string(C.Position) + " mode " + std::to_string(C.Mode));
    TParamState State = MakeState({"a", "-b", "c", "-b"});
    TFindParamRec Rec;
    FindParamSwitch(State, Rec, State.ParamStatus, "B BANNER", 0, C.Position, C.Mode);
    EXPECT_EQ(Rec.Index, C.Index);
    EXPECT_EQ(Rec.Found, C.Index != -1);
  }
}

TEST(FindParamInt, ConvertsClampsAndRewritesTheValue) {
  struct Case {
    const char* Arg;
    std::int32_t Expected;
    bool Adjusted;
  };
  const Case Cases[] = {
      {"0", 1, true},       {"5000", 4096, true}, {"1,024", 1024, false},
      {"99.9", 99, false},  {"abc", 80, true},    {"80", 80, true},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Arg);
    TParamState State = MakeState({"--ll", C.Arg});
    TFindParamRec Rec;
    std::int32_t Result = 0;
    FindParamInt(State, Rec, State.ParamStatus, "L LL LINELEN", Result, 80, 1, 4096, -1,
                 pmFromPosition);
    EXPECT_EQ(Result, C.Expected);
    EXPECT_EQ(Rec.Value, std::to_string(C.Expected));
    EXPECT_EQ(Rec.ValueAdjusted, C.Adjusted);
  }
}

TEST(FindParamInt, AbsentParameterYieldsTheDefault) {
  TParamState State = MakeState({"file.txt"});
  TFindParamRec Rec;
  std::int32_t Result = 0;
  FindParamInt(State, Rec, State.ParamStatus, "  NL NEWLINE", Result, 1, 1, 8, -1,
               pmFromPosition);
  EXPECT_FALSE(Rec.Found);
  EXPECT_EQ(Result, 1);
  EXPECT_EQ(Rec.Value, "1");
  EXPECT_TRUE(Rec.ValueAdjusted);
}

TEST(StrToIntInRange, ReadsUnsignedNumbersWithRadixPrefixes) {
  struct Case {
    const char* Text;
    std::int64_t Expected;
  };
  // Default 7 marks a failed conversion; the range is wide open.
  const Case Cases[] = {
      {"42", 42},     {"  +42", 42},  {"$1F", 31},    {"0x1f", 31},   {"X10", 16},
      {"&17", 15},    {"%101", 5},    {"1,2,3", 123}, {"12.9.1", 12}, {".5", 7},
      {"", 7},        {"-5", 7},      {"+-5", 7},     {"++5", 7},     {"+ 5", 7},
      {"12a", 7},     {"42 ", 7},     {"0x", 7},      {"%102", 7},    {"&8", 7},
      {"18446744073709551616", 7},  // one past the unsigned 64-bit range
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Text);
    TParamState State = MakeState({});
    EXPECT_EQ(StrToIntInRange(State, C.Text, 7, 0, 1'000'000), C.Expected);
    EXPECT_EQ(State.IntParamAdjusted, C.Expected == 7);
  }
}

TEST(StrToIntInRange, ClampsComparingAsUnsigned64Bit) {
  TParamState State = MakeState({});
  // The largest unsigned 64-bit number is above any positive maximum.
  EXPECT_EQ(StrToIntInRange(State, "18446744073709551615", 80, 1, 4096), 4096);
  EXPECT_TRUE(State.IntParamAdjusted);
  // A negative minimum reads as a huge unsigned bound: 5 lies below it.
  EXPECT_EQ(StrToIntInRange(State, "5", 0, -1, -1), -1);
  EXPECT_TRUE(State.IntParamAdjusted);
}

TEST(RegisterParamNames, UpperCasesAndAddsEachNameOnce) {
  TParamState State = MakeState({});
  RegisterParamNames(State, "  lc LINECHAR");
  RegisterParamNames(State, "L LC  x ");
  EXPECT_EQ(State.RegisteredParamNames, "LC LINECHAR L X");
  RegisterParamNames(State, "H HELP ? H2 HELP2 ??");
  RegisterParamNames(State, "V VERBOSE BUILD H2 HELP2 ??");
  EXPECT_EQ(State.RegisteredParamNames, "LC LINECHAR L X H HELP ? H2 HELP2 ?? V VERBOSE BUILD");
}

TEST(FoundParamLog, ReceivesACopyPerMatchOnlyWhenLogging) {
  TParamState State = MakeState({"-r", "a", "-o:x"});
  TFindParamRec Rec;
  std::string Text;
  FindParamText(State, Rec, State.ParamStatus, "R REPLACE", Text, -1, pmFromPosition);
  EXPECT_TRUE(State.FoundParamLog.empty());

  State.LogFoundParams = true;
  FindParamText(State, Rec, State.ParamStatus, "R REPLACE", Text, -1, pmFromPosition);
  ASSERT_EQ(State.FoundParamLog.size(), 1u);
  EXPECT_EQ(State.FoundParamLog[0].Value, "a");
  // A value taken earlier may be taken again.
  EXPECT_EQ(State.ParamStatus[1].Status, psValue);
  EXPECT_EQ(State.ParamStatus[0].Status, psParam);
  // An accepted attached value ends the match without logging.
  FindParamText(State, Rec, State.ParamStatus, "O OUT", Text, -1, pmFromPosition);
  EXPECT_EQ(State.FoundParamLog.size(), 1u);
}

}  // namespace
}  // namespace vellary::core
