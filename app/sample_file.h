// The sample replacement file written by --ms and shown by --ss.
#pragma once

#include "app/run_settings.h"
#include "core/core_state.h"
#include "core/status.h"
#include "core/text_output.h"

#include <string_view>

namespace vellary::app {

// The fourteen lines of the sample, each as one record, with the current
// local date and time taken at this call. Returns 0 or the write's error code.
[[nodiscard]] int WriteSampleFile(core::TTextOutput& Output, std::string_view ProgramName);

// Creates Settings.SampleFileName, writes the sample to it, then shows it on
// ConsoleOut with --ss or writes the success line. Fails with 72.
core::TStatus MakeSampleFile(core::TCoreState& Core, const TRunSettings& Settings);

}  // namespace vellary::app
