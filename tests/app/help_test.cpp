// The three extents of the help, their layout and the channel they use. The
// normal and the extended help are pinned byte for byte by golden files;
// set VELLARY_UPDATE_GOLDEN=1 to rewrite them on purpose, then review the diff.
#include "app/help.h"

#include "app/error_exit.h"
#include "common/captured_core.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace vellary;

namespace {

using fixtures::TCapturedCore;
using fixtures::WindowsExePath;

std::filesystem::path GoldenPath(const char* Name) {
  return std::filesystem::path(__FILE__).parent_path() / "golden" / Name;
}

void ExpectGolden(const std::string& Actual, const char* Name) {
  std::filesystem::path Path = GoldenPath(Name);
  if (std::getenv("VELLARY_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(Path, std::ios::binary) << Actual;
    return;
  }
  std::ifstream In(Path, std::ios::binary);
  ASSERT_TRUE(In) << Path;
  std::string Expected{std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
  EXPECT_EQ(Actual, Expected) << Path;
}

// The lines between the "OPTION DEFINITIONS:" heading and the blank line.
std::vector<std::string> OptionLines(const std::string& Help) {
  std::size_t From = Help.find("OPTION DEFINITIONS:\r\n");
  From = Help.find("\r\n", From + 21) + 2;
  std::size_t To = Help.find("\r\n\r\n", From);
  std::vector<std::string> Lines;
  while (From < To + 2) {
    std::size_t End = Help.find("\r\n", From);
    Lines.push_back(Help.substr(From, End - From));
    From = End + 2;
  }
  return Lines;
}

}  // namespace

TEST(ShowHelp, NormalHelpMatchesGolden) {
  TCapturedCore T(WindowsExePath);
  app::ShowHelp(T.Core, false);
  ExpectGolden(T.Err, "help_normal.txt");
  EXPECT_EQ(T.Out, "");
}

TEST(ShowHelp, VerboseGivesExtendedHelpMatchingGolden) {
  TCapturedCore T(WindowsExePath);
  T.Core.VerboseRec.Found = true;
  app::ShowHelp(T.Core, false);
  ExpectGolden(T.Err, "help_extended.txt");
  EXPECT_EQ(T.Out, "");
}

TEST(ShowHelp, ShortHelpIsSyntaxAndPointerOnly) {
  TCapturedCore T("/usr/bin/other");
  T.Core.VerboseRec.Found = true;  // the short extent ignores it
  app::ShowHelp(T.Core, true);
  const std::string Head = "-----------\r\nCMD SYNTAX:\r\n-----------\r\n other <input_file>";
  EXPECT_EQ(T.Err.substr(0, Head.size()), Head);
  EXPECT_EQ(T.Err.find("OPTION DEFINITIONS"), std::string::npos);
  const std::string Tail =
      " other [-h|-?|--h2|--??] [-v]\r\n"
      " other [-i|--Info|--Version-Only]\r\n"
      "\r\n"
      "For more details, please type: other -?  OR  other --??\r\n";
  ASSERT_GE(T.Err.size(), Tail.size());
  EXPECT_EQ(T.Err.substr(T.Err.size() - Tail.size()), Tail);
}

// Names start in column 2, or column 6 without a one-letter name, so that the
// "--" names align; dots end in column 28; descriptions start in column 30.
TEST(ShowHelp, OptionLinesKeepTheirColumns) {
  TCapturedCore T(WindowsExePath);
  T.Core.VerboseRec.Found = true;
  app::ShowHelp(T.Core, false);
  std::vector<std::string> Lines = OptionLines(T.Err);
  ASSERT_EQ(Lines.size(), 35u);
  for (const std::string& Line : Lines) {
    SCOPED_TRACE(Line);
    ASSERT_GT(Line.size(), 30u);
    EXPECT_EQ(Line.find("--"), 5u);
    EXPECT_EQ(Line.substr(27, 2), ". ");
    EXPECT_NE(Line[29], ' ');
  }
}

TEST(ShowHelp, ConsoleOutIsRestoredAfterwards) {
  TCapturedCore T(WindowsExePath);
  std::string File;
  core::TTextOutput OutputFile;
  OutputFile.BindToString(&File);
  T.Core.Console.ConsoleOut = &OutputFile;
  app::ShowHelp(T.Core, true);
  EXPECT_EQ(T.Core.Console.ConsoleOut, &OutputFile);
  EXPECT_EQ(File, "");
  EXPECT_NE(T.Err, "");
}
