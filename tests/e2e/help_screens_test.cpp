// The help screens as the built program shows them: banner (with the build
// line for the extended help) and then the help text pinned by the in-process
// goldens, on standard error only, with the program's own name.
#include "e2e/harness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using namespace vellary::e2e;

namespace {

std::string Golden(const std::string& Name) {
  std::string Text = ReadFile(fs::path(VELLARY_SOURCE_DIR) / "tests" / "app" / "golden" / Name);
  // The goldens were written for a program named "Vellary".
  for (std::size_t At = 0; (At = Text.find("Vellary", At)) != std::string::npos; At += 7)
    Text.replace(At, 7, "vellary");
  return Text;
}

std::string Include(const std::string& Name) {
  return Crlf(ExpandProgramTokens(
      ReadFile(fs::path(VELLARY_SOURCE_DIR) / "tests" / "e2e" / "cases" / (Name + ".inc")), {}));
}

}  // namespace

TEST(HelpScreens, NormalAndExtendedHelpGoToStandardErrorOnly) {
  struct Case {
    std::vector<std::string> Args;
    std::string Expected;
  };
  const std::string Banner = Include("banner");
  const std::string BuildLine = Include("build_line") + "\r\n";
  const Case Cases[] = {
      {{"-h"}, Banner + Golden("help_normal.txt")},
      {{"report.log", "-h", "-z"}, Banner + Golden("help_normal.txt")},
      {{"--??"}, Banner + BuildLine + Golden("help_extended.txt")},
      {{"/?", "-v"}, Banner + BuildLine + Golden("help_extended.txt")},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Args.front());
    TScratchDir Dir;
    TRunOptions Options;
    Options.WorkDir = Dir.Path();
    const TRunResult R = RunProgram(C.Args, Options);
    EXPECT_EQ(R.ExitCode, 255);
    EXPECT_EQ(R.Out, "");
    EXPECT_EQ(NormalizeBuildFacts(R.Err), C.Expected);
  }
}
