// A core whose console channels write into strings, with fixed build facts
// and version record, for in-process tests of what the core and the driver
// write.
#pragma once

#include "core/core_state.h"
#include "core/version_info.h"

#include <string>

namespace vellary::fixtures {

// The executable's path as a Windows build sees it: the program calls itself
// "Vellary" and shows "Vellary.exe" in the build line.
inline constexpr const char* WindowsExePath = R"(C:\Tools\Vellary.exe)";

struct TCapturedCore {
  core::TCoreState Core;
  std::string Out, Err;
  explicit TCapturedCore(const char* ExePath = "/usr/bin/vellary") {
    Core.Console.StdOut.BindToString(&Out);
    Core.Console.StdErr.BindToString(&Err);
    Core.Facts.Build = {"2024/10/07", "2024/10/07 13:13:21", " x64", " using GCC 12.2.0"};
    Core.Facts.RawCommandLine = "vellary -z";
    core::FillVersionInfo(Core.VersionInfo, ExePath, "2.4.0", "2.4.0.260",
                          "Display a Text File with Extra Whitespace for Readability");
  }
};

}  // namespace vellary::fixtures
