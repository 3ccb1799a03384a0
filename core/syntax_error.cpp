// The syntax-error screen, the alert and the timed pause with its dots.
#include "core/syntax_error.h"

#include "core/core_state.h"
#include "platform/platform.h"

namespace vellary::core {

namespace {

// Keeps the keyboard open for the pause and closes it on every way out, so
// the terminal's settings come back and keys typed during the pause are
// thrown away instead of reaching the shell.
class TKeyboardGuard {
public:
  TKeyboardGuard() : Open(platform::OpenKeyboard()) {}
  TKeyboardGuard(const TKeyboardGuard&) = delete;
  TKeyboardGuard& operator=(const TKeyboardGuard&) = delete;
  ~TKeyboardGuard() {
    if (Open)
      platform::CloseKeyboard();
  }

private:
  bool Open;  // false without a keyboard: nothing to restore
};

}  // namespace

// Console writes have nowhere to report their own failure; the screen goes
// on regardless.
static void Write(TTextOutput& Out, std::string_view Text) {
  (void)Out.WriteText(Text);
  (void)Out.Flush();
}

static void WriteLine(TTextOutput& Out, std::string_view Text) {
  (void)Out.WriteRecord(Text);
}

void ShowSyntaxError(TCoreState& Core, std::string_view Message, bool Pause, bool Beep) {
  // The prompt and its dots go to ConsoleOut: they must not end up in the
  // processed output, whatever ConsoleOut held before.
  Core.Console.ConsoleOut = &Core.Console.StdErr;
  TTextOutput& Err = Core.Console.ConsoleErr();
  WriteLine(Err, "Invalid or incomplete syntax!");
  WriteLine(Err, "");
  WriteLine(Err, "Execution Path ... " + Core.ExeDir);
  WriteLine(Err, "You entered ...... " + Core.Facts.RawCommandLine);
  WriteMessageBlock(Core, Message, "\r\n");
  (void)Err.Flush();
  // The alert first, so that it is heard as the prompt appears.
  if (Beep)
    platform::SoundAlert();
  if (Pause)
    (void)PauseForKey(Core, PauseTicks, PausePrompt);
}

void WriteMessageBlock(TCoreState& Core, std::string_view Message, std::string_view Lead) {
  std::string Block(Lead);
  Block.append(Message);
  Block.append("\r\n");
  WriteLine(Core.Console.ConsoleErr(), Block);
}

// A termination signal caught for the run cut the pause short: whatever is
// buffered goes out, then the run ends as the signal would.
[[noreturn]] static void EndPauseBySignal(TCoreState& Core) {
  (void)Core.Console.StdOut.Flush();
  (void)Core.Console.ConsoleOut->Flush();
  platform::EndBySignal(platform::PendingTerminationSignal());
}

int PauseForKey(TCoreState& Core, int Ticks, std::string_view Prompt) {
  TTextOutput& Out = *Core.Console.ConsoleOut;
  int Dots = 0;
  bool Interrupted = false;
  {
    // Opening discards keys typed before the prompt, so they cannot cut the
    // pause short.
    TKeyboardGuard Keyboard;
    Write(Out, Prompt);
    // A key is looked for only before each sleep: one pressed during a sleep
    // still gets that tick's dot, then ends the pause without another.
    while (Dots < Ticks && !platform::KeyWaiting()) {
      Interrupted = !platform::SleepMilliseconds(PauseTickMilliseconds);
      if (Interrupted)
        break;
      ++Dots;
      Write(Out, ".");
    }
  }
  // Only now, with the keyboard's settings given back.
  if (Interrupted)
    EndPauseBySignal(Core);
  Write(Out, "\r\n\r\n");
  return Dots;
}

void PrintDashes(TCoreState& Core, int Length) {
  std::size_t Count = Length > 0 ? static_cast<std::size_t>(Length) : 0;
  WriteLine(*Core.Console.ConsoleOut, std::string(Count, '-'));
}

}  // namespace vellary::core
