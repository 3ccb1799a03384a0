// Golden end-to-end cases: every file in tests/e2e/cases is one command line
// run against the built program in a scratch folder holding the fixtures.
//
// A case file:
//   args: <arguments; "double quotes" group, "" is an empty argument>
//   code: <expected exit code>
//   stdin: <fixture file given as standard input>      (optional)
//   platform: posix | windows    (optional: the case holds on that one only)
//   ~~~ stdout | ~~~ stderr | ~~~ file NAME             (expected bytes)
//   ~~~ input NAME                                      (a file made before the run)
//   ~~~ absent NAME                                     (a file that must not exist after)
// A line "@@NAME" inside an expected text stands for the lines of NAME.inc in
// the cases folder (the banner, the error screen's head, the short help).
// Expected texts are written with LF, which stands for the program's CR LF;
// a section header ending in " raw" is compared as written, one ending in
// " escaped" takes \r \n \t \0 \\ \xHH instead and
// ignores its literal line breaks. Missing stdout/stderr sections mean empty.
// "@EXEDIR@" stands for the program's folder, "@CMDLINE@" for the command line
// as the program shows it, "@FILENAME@" for the executable's file name; each
// as the platform under test has them (a Windows path and wine's raw command
// line for the Windows build).
//
// The README's option table is run the same way: each example that names an
// input file runs in a copy of examples/ and must print something other than
// the plain run of that file, so no example silently shows nothing.
#include "e2e/harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using namespace vellary::e2e;

namespace {

struct TSection {
  std::string Kind;  // stdout, stderr, file, input, absent
  std::string Name;
  std::string Text;
};

struct TCase {
  std::string Title;
  std::vector<std::string> Args;
  int Code = 0;
  std::string Stdin;
  std::string Platform;  // "posix" or "windows" when the case holds for one only
  std::vector<TSection> Sections;
};

std::vector<std::string> SplitArgs(const std::string& Line) {
  std::vector<std::string> Args;
  std::size_t I = 0;
  while (I < Line.size()) {
    while (I < Line.size() && Line[I] == ' ')
      ++I;
    if (I >= Line.size())
      break;
    std::string Arg;
    bool Any = false;
    while (I < Line.size() && Line[I] != ' ') {
      if (Line[I] == '"' || Line[I] == '\'') {
        const char Quote = Line[I++];
        while (I < Line.size() && Line[I] != Quote)
          Arg += Line[I++];
        ++I;
        Any = true;
      } else {
        Arg += Line[I++];
        Any = true;
      }
    }
    if (Any)
      Args.push_back(Arg);
  }
  return Args;
}

std::string Unescape(const std::string& Text) {
  std::string Out;
  for (std::size_t I = 0; I < Text.size(); ++I) {
    char C = Text[I];
    if (C == '\n')
      continue;
    if (C != '\\' || I + 1 >= Text.size()) {
      Out += C;
      continue;
    }
    char E = Text[++I];
    switch (E) {
    case 'r': Out += '\r'; break;
    case 'n': Out += '\n'; break;
    case 't': Out += '\t'; break;
    case '0': Out += '\0'; break;
    case 'x':
      Out += static_cast<char>(std::stoi(Text.substr(I + 1, 2), nullptr, 16));
      I += 2;
      break;
    default: Out += E; break;
    }
  }
  return Out;
}

void FinishSection(TCase& Case, TSection& Current, bool Escaped, bool Raw) {
  if (Current.Kind.empty())
    return;
  if (Escaped)
    Current.Text = Unescape(Current.Text);
  else if (Current.Kind != "input" && !Raw)
    Current.Text = Crlf(Current.Text);
  Case.Sections.push_back(Current);
}

TCase ParseCase(const fs::path& File) {
  TCase Case;
  Case.Title = File.stem().string();
  std::istringstream In(ReadFile(File));
  std::string Line;
  TSection Current;
  bool Escaped = false;
  bool Raw = false;
  while (std::getline(In, Line)) {
    if (Line.rfind("~~~ ", 0) == 0) {
      FinishSection(Case, Current, Escaped, Raw);
      std::istringstream Header(Line.substr(4));
      Current = {};
      Header >> Current.Kind;
      std::string Word;
      Escaped = Raw = false;
      while (Header >> Word) {
        if (Word == "escaped")
          Escaped = true;
        else if (Word == "raw")
          Raw = true;
        else
          Current.Name = Word;
      }
      continue;
    }
    if (!Current.Kind.empty()) {
      if (Line.rfind("@@", 0) == 0)
        Current.Text += ReadFile(File.parent_path() / (Line.substr(2) + ".inc"));
      else
        Current.Text += Line + "\n";
      continue;
    }
    if (Line.rfind("args:", 0) == 0)
      Case.Args = SplitArgs(Line.substr(5));
    else if (Line.rfind("code:", 0) == 0)
      Case.Code = std::stoi(Line.substr(5));
    else if (Line.rfind("stdin:", 0) == 0)
      Case.Stdin = SplitArgs(Line.substr(6)).at(0);
    else if (Line.rfind("platform:", 0) == 0)
      Case.Platform = SplitArgs(Line.substr(9)).at(0);
  }
  FinishSection(Case, Current, Escaped, Raw);
  return Case;
}

fs::path CasesDir() { return fs::path(VELLARY_SOURCE_DIR) / "tests" / "e2e" / "cases"; }
fs::path FixturesDir() { return fs::path(VELLARY_SOURCE_DIR) / "tests" / "e2e" / "fixtures"; }

void RunCase(const TCase& Case) {
  TScratchDir Dir;
  for (const auto& Entry : fs::directory_iterator(FixturesDir()))
    fs::copy(Entry.path(), Dir / Entry.path().filename().string(), fs::copy_options::recursive);
  for (const TSection& S : Case.Sections)
    if (S.Kind == "input")
      WriteFile(Dir / S.Name, S.Text);

  TRunOptions Options;
  Options.WorkDir = Dir.Path();
  if (!Case.Stdin.empty())
    Options.StdinPath = (Dir / Case.Stdin).string();
  const TRunResult R = RunProgram(Case.Args, Options);

  std::string ExpectedOut, ExpectedErr;
  for (const TSection& S : Case.Sections) {
    if (S.Kind == "stdout") {
      ExpectedOut = ExpandProgramTokens(S.Text, Case.Args);
    } else if (S.Kind == "stderr") {
      ExpectedErr = ExpandProgramTokens(S.Text, Case.Args);
    } else if (S.Kind == "file") {
      EXPECT_EQ(NormalizeBuildFacts(ReadFile(Dir / S.Name)), S.Text) << "file " << S.Name;
    } else if (S.Kind == "absent") {
      EXPECT_FALSE(fs::exists(Dir / S.Name)) << "file " << S.Name;
    }
  }
  EXPECT_EQ(R.ExitCode, Case.Code);
  EXPECT_EQ(NormalizeBuildFacts(R.Out), ExpectedOut);
  EXPECT_EQ(NormalizeBuildFacts(R.Err), ExpectedErr);
}

std::vector<fs::path> CaseFiles() {
  std::vector<fs::path> Files;
  for (const auto& Entry : fs::directory_iterator(CasesDir()))
    if (Entry.path().extension() == ".case")
      Files.push_back(Entry.path());
  std::sort(Files.begin(), Files.end());
  return Files;
}

}  // namespace

class GoldenCase : public ::testing::TestWithParam<fs::path> {};

TEST_P(GoldenCase, MatchesExpectedBytes) {
  const TCase Case = ParseCase(GetParam());
  // Under wine the program is the Windows build.
  const std::string Platform = UnderWine() ? "windows" : "posix";
  if (!Case.Platform.empty() && Case.Platform != Platform)
    GTEST_SKIP() << "a " << Case.Platform << " case";
  RunCase(Case);
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenCase, ::testing::ValuesIn(CaseFiles()),
                         [](const ::testing::TestParamInfo<fs::path>& Info) {
                           std::string Name = Info.param.stem().string();
                           std::replace_if(
                               Name.begin(), Name.end(),
                               [](char C) { return !std::isalnum(static_cast<unsigned char>(C)); },
                               '_');
                           return Name;
                         });

namespace {

// The example cells of the README's option table that run on a file; "\|"
// is a table's escape of "|".
std::vector<std::string> ReadmeRunExamples() {
  std::istringstream In(ReadFile(fs::path(VELLARY_SOURCE_DIR) / "README.md"));
  std::vector<std::string> Examples;
  bool InTable = false;
  for (std::string Line; std::getline(In, Line);) {
    if (Line.rfind("| option | what it does | example |", 0) == 0)
      InTable = true;
    else if (InTable && Line.rfind("|", 0) != 0)
      break;
    const std::size_t End = Line.rfind("` |");
    const std::size_t Start = Line.rfind("| `", End);
    if (!InTable || End == std::string::npos || Start == std::string::npos || Line[Start + 3] == '-')
      continue;
    std::string Example = Line.substr(Start + 3, End - Start - 3);
    for (std::size_t At = Example.find("\\|"); At != std::string::npos; At = Example.find("\\|", At))
      Example.erase(At, 1);
    Examples.push_back(Example);
  }
  return Examples;
}

}  // namespace

TEST(ReadmeExamples, EachShowsItsEffectOnTheBundledFiles) {
  TScratchDir Dir;
  for (const auto& Entry : fs::directory_iterator(fs::path(VELLARY_SOURCE_DIR) / "examples"))
    fs::copy(Entry.path(), Dir / Entry.path().filename().string());
  TRunOptions Options;
  Options.WorkDir = Dir.Path();
  const std::vector<std::string> Examples = ReadmeRunExamples();
  ASSERT_GE(Examples.size(), 20u) << "the option table's examples were not found";
  std::map<std::string, std::pair<std::string, std::string>> Plain;
  for (const std::string& Example : Examples) {
    SCOPED_TRACE(Example);
    const std::vector<std::string> Args = SplitArgs(Example);
    if (!Plain.count(Args[0])) {
      const TRunResult R = RunProgram({Args[0]}, Options);
      ASSERT_EQ(R.ExitCode, 0) << R.Err;
      Plain[Args[0]] = {R.Out, R.Err};
    }
    const TRunResult R = RunProgram(Args, Options);
    EXPECT_EQ(R.ExitCode, 0) << R.Err;
    EXPECT_NE(std::make_pair(R.Out, R.Err), Plain[Args[0]]) << "prints what the plain run prints";
  }
}
