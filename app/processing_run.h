// Processing a file: settings completed, replacement table loaded, output
// opened, input found and fed line by line through the pipeline.
#pragma once

#include "app/run_context.h"
#include "core/status.h"

namespace vellary::app {

// Success, or the first failure met (replacement file, output file, input
// file) as exit code 70, 71 or 72 with its message filled in.
core::TStatus ProcessingRun(TRunContext& Ctx);

}  // namespace vellary::app
