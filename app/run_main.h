// The run sequence: help, information, banner, the command-line checks, the
// sample file or the processing run, in that order of precedence.
#pragma once

#include "app/run_context.h"

namespace vellary::app {

// The whole program for one command line; Ctx.Core.ExitCode holds the result.
void RunMain(TRunContext& Ctx);

}  // namespace vellary::app

namespace vellary::app {

// Binds ConsoleOut and ConsoleErr to the process's standard output and
// standard error: written through per record on a terminal, buffered
// otherwise; standard output is flushed before anything goes to standard error.
void BindStandardConsole(core::TConsole& Console);

// Letter case as the platform has it: per character in a UTF-8 locale,
// otherwise per byte through the ANSI code page's table.
engine::TCaseFold PlatformCaseFold();

// Flushes the standard channels at the end of the run. A failure to write
// standard output that was not reported yet turns a successful exit code
// into 71 (the text would otherwise be lost silently).
int FinishStandardConsole(core::TConsole& Console, int ExitCode);

}  // namespace vellary::app
