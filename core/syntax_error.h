// The syntax-error screen with its alert and timed pause, shared by every tool
// of the family so that they all fail the same way.
#pragma once

#include <string>
#include <string_view>

namespace vellary::core {

struct TCoreState;

inline constexpr int PauseTicks = 30;
inline constexpr unsigned PauseTickMilliseconds = 250;
inline constexpr const char* PausePrompt = "Press any key to continue...";

// Points ConsoleOut at standard error for good, then writes the screen:
// "Invalid or incomplete syntax!", the execution path, the command line as
// typed and the message; then the alert (Beep) and the timed pause (Pause).
void ShowSyntaxError(TCoreState& Core, std::string_view Message, bool Pause, bool Beep);

// Lead, Message, a line break and the end of the line, on ConsoleErr.
void WriteMessageBlock(TCoreState& Core, std::string_view Message, std::string_view Lead);

// Prompt, then one dot per 250 ms tick until a key is pressed or Ticks have
// passed; typed-ahead input is discarded before and after. Returns the number
// of dots written. A termination signal caught for the run ends the pause and
// then the process, by that signal, once the terminal is restored and the
// console flushed.
int PauseForKey(TCoreState& Core, int Ticks, std::string_view Prompt);

// A line of Length "-" characters on ConsoleOut.
void PrintDashes(TCoreState& Core, int Length);

}  // namespace vellary::core
