// The Win32 console: keyboard input for the timed pause, and the alert.
#include "platform/platform.h"

#include "platform/win32_internal.h"

namespace vellary::platform {

// ---- Console keyboard, alert -----------------------------------------------

// The console input handle between OpenKeyboard and CloseKeyboard. The
// interface keeps no keyboard object, so the one open keyboard lives here.
static HANDLE Keyboard = INVALID_HANDLE_VALUE;

static bool IsKeyPress(const INPUT_RECORD& Record) {
  return Record.EventType == KEY_EVENT && Record.Event.KeyEvent.bKeyDown;
}

bool OpenKeyboard() {
  CloseKeyboard();
  HANDLE Input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (Input == INVALID_HANDLE_VALUE)
    return false;
  DWORD Mode = 0;
  if (!GetConsoleMode(Input, &Mode)) {
    ::CloseHandle(Input);
    return false;
  }
  FlushConsoleInputBuffer(Input);
  Keyboard = Input;
  return true;
}

bool KeyWaiting() {
  if (Keyboard == INVALID_HANDLE_VALUE)
    return false;
  INPUT_RECORD Records[64];
  // Mouse, focus, menu and resize events, and key releases (the Enter that
  // started the program is released after the buffer was emptied), are read
  // away from the front so they can never hide a key press behind them.
  // Bounded: a stream of mouse movement cannot keep the poll from returning.
  for (int Round = 0; Round < 16; ++Round) {
    DWORD Count = 0;
    if (!PeekConsoleInputA(Keyboard, Records, 64, &Count) || Count == 0)
      return false;
    DWORD Leading = 0;
    while (Leading < Count && !IsKeyPress(Records[Leading]))
      ++Leading;
    if (Leading > 0) {
      DWORD Discarded = 0;
      if (!ReadConsoleInputA(Keyboard, Records, Leading, &Discarded) || Discarded == 0)
        return false;
    }
    if (Leading < Count)
      return true;
  }
  return false;
}

void CloseKeyboard() {
  if (Keyboard == INVALID_HANDLE_VALUE)
    return;
  // The key that ended the pause must not reach the shell afterwards.
  FlushConsoleInputBuffer(Keyboard);
  ::CloseHandle(Keyboard);
  Keyboard = INVALID_HANDLE_VALUE;
}

void SoundAlert() {
  MessageBeep(MB_OK);
}

}  // namespace vellary::platform
