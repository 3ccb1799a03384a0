// The one failure path of a run.
#pragma once

#include "core/core_state.h"

#include <string_view>

namespace vellary::app {

// Banner (once per run), the syntax-error screen with the optional alert and
// timed pause, the short help, then the exit code. The caller returns at once.
void ErrorExit(core::TCoreState& Core, int ExitCode, std::string_view Message, bool ShortHelp);

}  // namespace vellary::app
