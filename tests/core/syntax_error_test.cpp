// The syntax-error screen and the timed pause without a keyboard. The pause
// with a real terminal is covered by the pseudo-terminal tests.
#include "core/syntax_error.h"

#include "common/captured_core.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

using namespace vellary::core;

namespace {

using vellary::fixtures::TCapturedCore;

}  // namespace

TEST(ShowSyntaxError, ScreenGoesToStandardErrorAndKeepsConsoleOutThere) {
  TCapturedCore T;
  std::string File;
  TTextOutput OutputFile;
  OutputFile.BindToString(&File);
  T.Core.ExeDir = R"("/opt/my tools")";
  T.Core.Facts.RawCommandLine = R"(vellary "a b.txt" -z)";
  T.Core.Console.ConsoleOut = &OutputFile;  // as during a run with -o
  ShowSyntaxError(T.Core, "Invalid parameters provided: -z ", false, false);
  EXPECT_EQ(T.Err,
            "Invalid or incomplete syntax!\r\n"
            "\r\n"
            "Execution Path ... \"/opt/my tools\"\r\n"
            "You entered ...... vellary \"a b.txt\" -z\r\n"
            "\r\n"
            "Invalid parameters provided: -z \r\n"
            "\r\n");
  EXPECT_EQ(T.Out, "");
  EXPECT_EQ(File, "");
  EXPECT_EQ(T.Core.Console.ConsoleOut, &T.Core.Console.StdErr);
}

TEST(ShowSyntaxError, MessageIsShownUnchanged) {
  TCapturedCore T;
  ShowSyntaxError(T.Core, R"(File not found: "100%s %d.txt")", false, false);
  EXPECT_NE(T.Err.find("\r\n\r\nFile not found: \"100%s %d.txt\"\r\n\r\n"), std::string::npos);
}

// Without a key (CI has no keyboard at all) every tick runs; the prompt, the
// dots and the closing blank line go to ConsoleOut.
TEST(PauseForKey, WithoutKeyRunsEveryTick) {
  TCapturedCore T;
  T.Core.Console.ConsoleOut = &T.Core.Console.StdErr;
  auto Start = std::chrono::steady_clock::now();
  EXPECT_EQ(PauseForKey(T.Core, 3, "Press any key to continue..."), 3);
  auto Elapsed = std::chrono::steady_clock::now() - Start;
  EXPECT_EQ(T.Err, "Press any key to continue......\r\n\r\n");
  EXPECT_GE(Elapsed, std::chrono::milliseconds(3 * PauseTickMilliseconds));
}
