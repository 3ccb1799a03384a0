// The shared core's unit-level state for one run, built from an argument
// vector. One run owns one TCoreState and passes it down by reference, so a
// test process can build any number of independent command lines.
#pragma once

#include "core/param_types.h"
#include "core/text_output.h"
#include "core/version_info.h"

#include <string>
#include <vector>

namespace vellary::core {

// Answers asked of the platform once, at start.
struct TStartupFacts {
  std::vector<std::string> Args;  // after the program's own name, as texts
  // The same arguments in the form file names are kept in (see
  // platform::ProgramArgumentNames); the same bytes as Args on POSIX.
  std::vector<std::string> NameArgs;
  std::string ExePath;            // full path of the running executable
  std::string RawCommandLine;     // as typed (rebuilt on POSIX)
  TBuildFacts Build;
};

// Process exit codes.
enum TExitCode : int {
  ExitSuccess = 0,
  ExitMissingParams = 64,     // no input file name
  ExitInvalidParams = 65,     // arguments no option recognised
  ExitIncompleteParams = 67,  // options without their value; --ss without --ms
  ExitNoValidFile = 70,       // -r/-o without a name; missing replacement or input file
  ExitReadError = 71,         // read/write failure while processing
  ExitWriteError = 72,        // output or sample file cannot be opened or written
  ExitVersionShown = 254,     // --version-only, -i
  ExitHelpShown = 255,        // -h and its synonyms
};

// Console channels: ConsoleOut starts as standard output and may be pointed
// at the -o file or standard error; ConsoleErr is standard error.
struct TConsole {
  TTextOutput StdOut;
  TTextOutput StdErr;
  TTextOutput* ConsoleOut = &StdOut;
  TTextOutput& ConsoleErr() { return StdErr; }
};

struct TCoreState {
  TParamState Params;
  TConsole Console;
  TStartupFacts Facts;
  TFileVersionInfoRec VersionInfo;
  bool BuildInfoShown = false;
  bool ErrorDelay = false;
  bool AudibleError = false;
  std::string ExeDir;  // executable's folder, through QuoteIfNeeded
  int ExitCode = 0;

  // Records of the options the core itself reads.
  TFindParamRec DebugModeRec;
  TFindParamRec ErrorDelayRec;
  TFindParamRec AudibleErrorRec;
  TFindParamRec HelpRec;
  TFindParamRec VerboseRec;
  TFindParamRec VersionOnlyRec;
  TFindParamRec InfoRec;
  TFindParamRec BannerRec;

  TCoreState(const TCoreState&) = delete;
  TCoreState& operator=(const TCoreState&) = delete;
  TCoreState() = default;
};

// Unit start: the argument status array and statistics records from
// Facts.Args, ExeDir from Facts.ExePath, exit code 0. The console channels are
// bound by the caller (real handles in the program, strings in tests).
void InitCore(TCoreState& Core, TStartupFacts Facts);

}  // namespace vellary::core
