// The version record's names and folder, and the banner and build line.
#include "core/version_info.h"

#include "common/captured_core.h"

#include <gtest/gtest.h>

#include <string>

using namespace vellary::core;

namespace {

using vellary::fixtures::TCapturedCore;
using vellary::fixtures::WindowsExePath;

}  // namespace

TEST(ExeFolderOf, DropsTrailingSeparatorExceptAtTheRoot) {
  struct Case { const char* Path; const char* Folder; };
  const Case Cases[] = {
      {"/usr/local/bin/vellary", "/usr/local/bin"},
      {"/vellary", "/"},
      {R"(C:\Tools\VELLARY.EXE)", R"(C:\Tools)"},
      {R"(C:\VELLARY.EXE)", R"(C:\)"},
      {"C:VELLARY.EXE", "C:"},
      {R"(\\server\share\v.exe)", R"(\\server\share)"},
      {"/opt/a:b/vellary", "/opt/a:b"},  // a colon inside a POSIX name is no drive
      {"vellary", ""},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Path);
    EXPECT_EQ(ExeFolderOf(C.Path), C.Folder);
  }
}

TEST(FillVersionInfo, BaseNameLosesEveryOccurrenceOfTheExtensionIgnoringCase) {
  struct Case { const char* Path; const char* FileName; const char* FileExt; const char* BaseName; };
  const Case Cases[] = {
      {R"(C:\Tools\VELLARY.EXE)", "VELLARY.EXE", ".EXE", "VELLARY"},
      {R"(C:\Tools\Vellary.exe)", "Vellary.exe", ".exe", "Vellary"},
      {"/usr/bin/vellary", "vellary", "", "vellary"},
      {"/opt/v2.4/vellary", "vellary", "", "vellary"},  // a dot in the folder is no extension
      {"/opt/tool.exe.EXE", "tool.exe.EXE", ".EXE", "tool"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Path);
    TFileVersionInfoRec Info;
    FillVersionInfo(Info, C.Path, "2.4.0", "2.4.0.260", "Description");
    EXPECT_EQ(Info.FileName, C.FileName);
    EXPECT_EQ(Info.FileExt, C.FileExt);
    EXPECT_EQ(Info.BaseName, C.BaseName);
    EXPECT_TRUE(Info.Supplied);
  }
}

TEST(ShowBuildInfo, BannerAndBuildLineCombinations) {
  const std::string BannerText =
      "Vellary v2.4.0 x64 (07 Oct 2024) - Display a Text File with Extra Whitespace for "
      "Readability\r\n"
      "Free software for console text display; provided as is, without warranty.\r\n"
      "Written by the Vellary developers; see the README for documentation.\r\n"
      "\r\n";
  const std::string BuildText =
      "Vellary.exe v2.4.0.260 x64 was compiled on 07 Oct 2024 @ 13:00:00 using GCC 12.2.0\r\n";
  struct Case { bool BuildLine, Banner; std::string Expected; };
  const Case Cases[] = {
      {false, false, ""},
      {true, false, BuildText},                       // --version-only: no blank line after it
      {false, true, BannerText},                      // -h, -b
      {true, true, BannerText + BuildText + "\r\n"},  // -i, -b -v
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(testing::Message() << C.BuildLine << C.Banner);
    TCapturedCore T(WindowsExePath);
    ShowBuildInfo(T.Core, T.Core.VersionInfo, C.BuildLine, C.Banner);
    EXPECT_EQ(T.Err, C.Expected);
    EXPECT_EQ(T.Out, "");
    EXPECT_TRUE(T.Core.BuildInfoShown);
  }
}

TEST(ShowBuildInfo, PrintsAtMostOncePerRun) {
  TCapturedCore T(WindowsExePath);
  ShowBuildInfo(T.Core, T.Core.VersionInfo, false, true);
  std::string First = T.Err;
  ShowBuildInfo(T.Core, T.Core.VersionInfo, true, true);
  EXPECT_EQ(T.Err, First);
}
