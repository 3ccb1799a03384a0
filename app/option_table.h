// The program's 34 options, declared to the parameter framework in a fixed
// order, and the settings derived from them before a file is processed.
#pragma once

#include "app/run_settings.h"
#include "core/core_state.h"

namespace vellary::app {

// Sets the syntax mode, names the input file, performs the 34 registrations
// in table order (the order is behaviour), applies --debug-mode and computes
// SampleWithoutMake.
void RegisterOptions(core::TCoreState& Core, TRunSettings& Settings);

// Delimiters, plus-space text, line length, separator and divider lines.
void DeriveRunSettings(TRunSettings& Settings);

}  // namespace vellary::app
