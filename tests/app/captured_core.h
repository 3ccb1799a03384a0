// A core whose console channels write into strings, with fixed build facts
// and version record, for in-process tests of what the driver writes.
#pragma once

#include "core/core_state.h"
#include "core/version_info.h"

#include <string>

namespace vellary::app::testing {

struct TCapturedCore {
  core::TCoreState Core;
  std::string Out, Err;
  TCapturedCore() {
    Core.Console.StdOut.BindToString(&Out);
    Core.Console.StdErr.BindToString(&Err);
    Core.Facts.Build = {"2024/10/07", "2024/10/07 13:13:21", " x64", " using GCC 12.2.0"};
    Core.Facts.RawCommandLine = "vellary -z";
    core::FillVersionInfo(Core.VersionInfo, "/usr/bin/vellary", "2.4.0", "2.4.0.260", "D");
  }
};

}  // namespace vellary::app::testing
