// Processing one input file into standard output or the -o file.
#include "app/processing_run.h"

#include "app/option_table.h"
#include "app/output_sink.h"
#include "app/input_feed.h"
#include "app/replace_file.h"
#include "app/streams.h"
#include "app/utf8_texts.h"
#include "core/status.h"
#include "engine/line_pipeline.h"
#include "platform/platform.h"

#include <new>
#include <utility>

namespace vellary::app {
namespace {

constexpr const char* FileNotFoundMessage = "File not found: \"%s\"";

// ConsoleOut points at the -o file only while the file exists.
struct TConsoleOutGuard {
  core::TConsole& Console;
  core::TTextOutput* const Saved = Console.ConsoleOut;
  ~TConsoleOutGuard() { Console.ConsoleOut = Saved; }
};

// Reads the input file through the pipeline and writes the trailing output.
// Returns 0 or the error code of the first failed read, write or close.
int ProcessInput(TRunContext& Ctx, core::TTextOutput* OutFile, const engine::TPreparedRun& Prepared,
                 bool Utf8Texts) {
  core::TConsole& Console = Ctx.Core.Console;
  TTextInput Input;
  if (int Error = OpenTextInput(Input, Ctx.Settings.InputName); Error != 0)
    return Error;
  TUtf8Source Utf8Input(Input);
  TBlockSource& Source = Utf8Texts ? static_cast<TBlockSource&>(Utf8Input) : Input;
  std::int64_t Displayed = 0;
  if (int Error = FeedInput(Source, *Console.ConsoleOut, Prepared, Displayed); Error != 0)
    return Error;
  if (int Error = CloseText(Input); Error != 0)
    return Error;

  TOutputSink Out(*Console.ConsoleOut);
  TTallySink Tally(OutFile != nullptr ? *OutFile : Console.ConsoleErr(),
                   Ctx.Settings.Pipeline.InputFileName, Ctx.Settings.InputName);
  if (!Prepared.FinishOutput(Out, Tally, Displayed))
    return Out.Error != 0 ? Out.Error : Tally.Error;
  if (OutFile != nullptr)
    return OutFile->Close();
  return Console.ConsoleOut->Flush();
}

// Whether Output (standard output when empty) is the input file, which
// creating it would empty and appending to it read back for ever. Standard
// input ("-") is judged by its handle: it may be redirected from Output.
bool OutputIsInput(const std::string& Output, const std::string& Input) {
  const platform::TNativeHandle In = platform::StandardInput(), Out = platform::StandardOutput();
  if (Input == StandardInputName)
    return Output.empty() ? platform::SameRegularFileHandles(In, Out) : platform::SameRegularFileAs(Output, In);
  return Output.empty() ? platform::SameRegularFileAs(Input, Out) : platform::SameRegularFile(Output, Input);
}

// After SIGINT, SIGTERM or SIGHUP: every whole line processed so far goes
// out (a write that the signal cut short has already dropped its bytes, so
// nothing is written twice), then the run ends as the signal would.
void EndIfSignalled(core::TConsole& Console) {
  const int Signal = platform::PendingTerminationSignal();
  if (Signal == 0)
    return;
  (void)Console.StdOut.Flush();
  (void)Console.ConsoleOut->Flush();
  platform::EndBySignal(Signal);
}

}  // namespace

core::TStatus ProcessingRun(TRunContext& Ctx) {
  TRunSettings& S = Ctx.Settings;
  core::TConsole& Console = Ctx.Core.Console;
  // Settings made without RegisterOptions name the input by its text alone.
  if (S.InputName.empty())
    S.InputName = S.Pipeline.InputFileName;
  // A multi-byte code page: the run's texts in UTF-8, and standard output
  // takes them so (utf8_texts.h).
  const bool Utf8Texts = platform::MultiByteTexts();
  if (Utf8Texts) {
    SettingsToUtf8(S);
    if (Console.StdOut.Flush() == 0)
      Console.StdOut.Bind(platform::StandardOutput(), false, Console.StdOut.FlushMode(),
                          platform::CpUtf8, Console.StdOut.OutputCodePage());
  }
  DeriveRunSettings(S, Ctx.Upper.Utf8());
  platform::CatchTerminationSignals();

  engine::TReplaceMatrix Pairs;
  if (S.ReplaceRec.Found) {
    core::TStatus Status =
        LoadReplacementTable(S.ReplaceFileName, S.ReplaceDelimiter, Pairs, Utf8Texts);
    EndIfSignalled(Console);
    if (!Status.Ok())
      return Status;
  }

  TConsoleOutGuard Guard{Console};
  core::TTextOutput OutFile;  // on a failure its destructor keeps what was written
  if (S.OutRec.Found) {
    if (S.OutputFileName.empty())
      return FileNameMissing("-o");
    // Creating the output empties it: refuse before that when it is the input.
    if (OutputIsInput(S.OutputFileName, S.InputName))
      return FileFailure(core::ExitWriteError, S.OutputFileName, platform::feAccessDenied);
    if (int Error = CreateTextOutput(OutFile, S.OutputFileName,
                                     Utf8Texts ? platform::CpUtf8 : platform::AnsiCodePage());
        Error != 0) {
      EndIfSignalled(Console);
      return FileFailure(core::ExitWriteError, S.OutputFileName, Error);
    }
    Console.ConsoleOut = &OutFile;
  } else if (OutputIsInput("", S.InputName)) {
    // Standard output appended to the input would be read back for ever;
    // opened onto it, it would overwrite lines not yet read.
    return FileFailure(core::ExitWriteError, S.InputName, platform::feAccessDenied);
  }

  if (S.InputName != StandardInputName && !platform::FileExistsAt(S.InputName)) {
    if (S.OutRec.Found)
      (void)OutFile.Close();
    return {core::ExitNoValidFile,
            core::SubstituteArgs(FileNotFoundMessage, {platform::NameAsText(S.InputName)})};
  }

  S.Pipeline.Upper = Ctx.Upper;
  // The pairs are moved, not copied: a table can hold a million of them.
  engine::TPipelineSettings Settings = S.Pipeline;
  Settings.Replacements = std::move(Pairs);
  int Error = 0;
  try {
    const engine::TPreparedRun Prepared(std::move(Settings));
    Error = ProcessInput(Ctx, S.OutRec.Found ? &OutFile : nullptr, Prepared, Utf8Texts);
  } catch (const std::bad_alloc&) {
    // Every record written so far is whole; the rest cannot be made.
    Error = platform::feOutOfMemory;
  }
  EndIfSignalled(Console);
  if (Error != 0)
    return FileFailure(core::ExitReadError, S.InputName, Error);
  return {};
}

}  // namespace vellary::app
