// The help screens: the short help that closes every error exit, the normal
// help and the extended help.
#pragma once

#include "core/core_state.h"

#include <string_view>

namespace vellary::app {

// Writes the help to standard error (ConsoleOut is pointed there while it
// writes and restored afterwards). Short: syntax and pointer line only.
// Otherwise normal or extended, by the verbose record's Found flag.
void ShowHelp(core::TCoreState& Core, bool Short);

// A dashed line as long as Title, Title, and the dashed line again.
void PrintHeading(core::TCoreState& Core, std::string_view Title);

}  // namespace vellary::app
