// The error exit: what it strings together, in which order, and what it
// leaves out when asked for nothing more.
#include "app/error_exit.h"

#include "core/version_info.h"

#include "common/captured_core.h"

#include <gtest/gtest.h>

#include <string>

using namespace vellary;

namespace {

using vellary::fixtures::TCapturedCore;

}  // namespace

TEST(ErrorExit, BannerScreenShortHelpThenExitCode) {
  TCapturedCore T;
  T.Core.VerboseRec.Found = true;
  app::ErrorExit(T.Core, core::ExitInvalidParams, "Invalid parameters provided: -z ", true);
  std::size_t Build = T.Err.find(" was compiled on ");
  std::size_t Screen = T.Err.find("Invalid or incomplete syntax!");
  std::size_t Help = T.Err.find("CMD SYNTAX:");
  EXPECT_LT(T.Err.find("vellary v2.4.0 x64"), Build);
  EXPECT_LT(Build, Screen);
  EXPECT_LT(Screen, Help);
  EXPECT_NE(Help, std::string::npos);
  EXPECT_EQ(T.Out, "");
  EXPECT_EQ(T.Core.ExitCode, core::ExitInvalidParams);
  EXPECT_EQ(T.Core.Console.ConsoleOut, &T.Core.Console.StdErr);
}

TEST(ErrorExit, BannerAlreadyShownIsNotRepeated) {
  TCapturedCore T;
  core::ShowBuildInfo(T.Core, T.Core.VersionInfo, false, true);  // -b earlier in the run
  app::ErrorExit(T.Core, core::ExitNoValidFile, "File not found: \"x\"", true);
  EXPECT_EQ(T.Err.find("vellary v2.4.0 x64", 1), std::string::npos);
}

TEST(ErrorExit, EmptyMessageSkipsTheScreenOnly) {
  TCapturedCore T;
  T.Core.ErrorDelay = true;  // no pause either: it belongs to the screen
  app::ErrorExit(T.Core, core::ExitWriteError, "", true);
  EXPECT_EQ(T.Err.find("Invalid or incomplete syntax!"), std::string::npos);
  EXPECT_EQ(T.Err.find("Press any key"), std::string::npos);
  EXPECT_NE(T.Err.find("vellary v2.4.0 x64"), std::string::npos);
  EXPECT_NE(T.Err.find("For more details, please type: vellary -?  OR  vellary --??"), std::string::npos);
  EXPECT_EQ(T.Core.ExitCode, core::ExitWriteError);
}
