// The run sequence: one path per run, in a fixed order of precedence.
#include "app/run_main.h"

#include "app/error_exit.h"
#include "app/help.h"
#include "app/option_table.h"
#include "app/processing_run.h"
#include "app/sample_file.h"
#include "app/streams.h"
#include "core/param_validation.h"
#include "core/status.h"
#include "core/version_info.h"
#include "platform/platform.h"

#include <vellary_version.h>

namespace vellary::app {
namespace {

constexpr const char* Description = "Display a Text File with Extra Whitespace for Readability";

constexpr const char* MissingParamsMessage = "Missing essential parameters (e.g. %s)";
constexpr const char* MissingPrependMessage =
    "Incomplete parameters provided: --PP must be followed by a value to prepend...";
constexpr const char* MissingAppendMessage =
    "Incomplete parameters provided: --AP must be followed by a value to append...";
constexpr const char* MissingSearchValuesMessage =
    "Incomplete parameters provided: -R, -F, --FB, --FA, --LB, --LA, --SB, --SA and --SK "
    "must be followed by values to search for...";
constexpr const char* ShowWithoutMakeMessage =
    "Incomplete parameters provided: --SS can only be used in conjunction with --MS...";
constexpr const char* InvalidParamsMessage = "Invalid parameters provided: ";

}  // namespace

// The command-line check: the first finding that applies, in order; Ok when
// the run may go on.
static core::TStatus CheckCommandLine(const core::TCoreState& Core, const TRunSettings& S) {
  const core::TParamStatisticsRec& Stats = Core.Params.CustomSyntaxStats;
  if (!S.SampleWithoutMake && Stats.Ok)
    return {};
  if (S.Pipeline.InputFileName.empty()) {
    std::string Example = "<filename> " + Core.Params.StandaloneParams;
    return {core::ExitMissingParams, core::SubstituteArgs(MissingParamsMessage, {Example})};
  }
  // A --pp or --ap without its value ends its registration not found, so
  // whether its name was matched is what tells it apart.
  if (Stats.IncompleteCount > 0 && S.PrependRec.Index != -1 && S.Pipeline.PrependText.empty())
    return {core::ExitIncompleteParams, MissingPrependMessage};
  if (Stats.IncompleteCount > 0 && S.AppendRec.Index != -1 && S.Pipeline.AppendText.empty())
    return {core::ExitIncompleteParams, MissingAppendMessage};
  if (Stats.IncompleteCount > 0)
    return {core::ExitIncompleteParams, MissingSearchValuesMessage};
  if (S.SampleWithoutMake)
    return {core::ExitIncompleteParams, ShowWithoutMakeMessage};
  if (Stats.InvalidCount > 0)
    return {core::ExitInvalidParams, InvalidParamsMessage + Stats.InvalidList};
  // Ok is false only because no option (or only attached forms) was given.
  return {};
}

// The sample step; its console copy goes to standard output, so that output
// is flushed inside the step for a failure to be reported as the sample's.
static core::TStatus SampleStep(core::TCoreState& Core, const TRunSettings& S) {
  if (core::TStatus Status = MakeSampleFile(Core, S); !Status.Ok())
    return Status;
  if (int Error = Core.Console.ConsoleOut->Flush(); Error != 0)
    return FileFailure(core::ExitWriteError, S.SampleFileName, Error);
  return {};
}

void RunMain(TRunContext& Ctx) {
  core::TCoreState& Core = Ctx.Core;
  TRunSettings& S = Ctx.Settings;

  S.SampleWithoutMake = false;
  Core.Console.ConsoleOut = &Core.Console.StdOut;

  core::FillVersionInfo(Core.VersionInfo, Core.Facts.ExePath, version::ShortVersion,
                        version::FullVersion, Description);
  RegisterOptions(Core, S);
  core::ValidateParamSyntax(Core.Params, Core.Params.CustomSyntaxStats, Core.Params.ParamStatus,
                            Core.Params.RegisteredParamNames, true, -1, -1);

  // A help request wins over every error.
  if (Core.HelpRec.Found) {
    core::ShowBuildInfo(Core, Core.VersionInfo, Core.VerboseRec.Found, true);
    ShowHelp(Core, false);
    Core.ExitCode = core::ExitHelpShown;
    return;
  }
  if (Core.VersionOnlyRec.Found) {
    core::ShowBuildInfo(Core, Core.VersionInfo, true, false);
    Core.ExitCode = core::ExitVersionShown;
    return;
  }
  if (Core.InfoRec.Found) {
    core::ShowBuildInfo(Core, Core.VersionInfo, true, true);
    Core.ExitCode = core::ExitVersionShown;
    return;
  }
  if (Core.BannerRec.Found || Core.VerboseRec.Found)
    core::ShowBuildInfo(Core, Core.VersionInfo, Core.VerboseRec.Found, true);

  if (core::TStatus Status = CheckCommandLine(Core, S); !Status.Ok()) {
    ErrorExit(Core, Status.ExitCode, Status.Message, true);
    return;
  }

  if (S.SampleFileName.empty())
    S.SampleFileName = DefaultSampleFileName;

  core::TStatus Status = S.MakeSampleRec.Found ? SampleStep(Core, S) : ProcessingRun(Ctx);
  if (!Status.Ok())
    ErrorExit(Core, Status.ExitCode, Status.Message, true);
}

engine::TCaseFold PlatformCaseFold() {
  const std::vector<engine::TCodePointCase> Cases = platform::Utf8UpperCases();
  if (Cases.empty())
    return engine::TCaseFold(platform::BuildUpperTable());
  return engine::TCaseFold(Cases);
}

void BindStandardConsole(core::TConsole& Console) {
  const platform::TCodePage Ansi = platform::AnsiCodePage();
  const platform::TCodePage ConsoleCp = platform::ConsoleOutputCodePage();
  const platform::TNativeHandle Out = platform::StandardOutput();
  // A terminal shows every record at once; a file or pipe gets whole blocks.
  const auto OutMode = platform::IsTerminal(Out) ? core::TTextOutput::fmWriteThrough
                                                 : core::TTextOutput::fmBuffered;
  Console.StdOut.Bind(Out, false, OutMode, Ansi, ConsoleCp);
  Console.StdErr.Bind(platform::StandardError(), false, core::TTextOutput::fmWriteThrough, Ansi,
                      ConsoleCp);
  Console.StdErr.SetFlushFirst(&Console.StdOut);
  Console.ConsoleOut = &Console.StdOut;
}

int FinishStandardConsole(core::TConsole& Console, int ExitCode) {
  const int OutError = Console.StdOut.Flush();
  (void)Console.StdErr.Flush();
  if (OutError != 0 && ExitCode == core::ExitSuccess)
    return core::ExitReadError;
  return ExitCode;
}

}  // namespace vellary::app
