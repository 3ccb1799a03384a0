// What the Win32 files of the OS layer share among themselves: the one
// configuration of <windows.h>, and the termination signal state that reads
// and writes consult. Internal to the platform layer.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX  // libstdc++ for mingw defines it already
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace vellary::platform::detail {

// A wide name as the program keeps it (WTF-8), and back.
std::string NameFromWide(std::wstring_view Wide);
std::wstring WideFromName(std::string_view Name);
// The name for the wide file calls: in the \\?\ form when its full path is
// too long for a plain one.
std::wstring WidePath(const std::string& Name);
// Wide text in a code page, a character the page cannot hold as its default
// character (never a look-alike).
std::string WideToPage(std::wstring_view Wide, UINT CodePage);
// The command line split into words as the C runtime splits it; the first
// is the program's name.
std::vector<std::wstring> SplitCommandLine(const wchar_t* Line);

// True once the control handler has noted a termination signal.
bool SignalNoted();

// Waits a moment for the control handler to note a signal; true if it has.
bool SignalArrives();

// Marks a read or write of the catching thread on a handle that may make it
// wait: a read from a pipe or the console, a write into a pipe. Disk and
// console writes complete on their own, and cancelling one could drop a line
// already processed.
class TCancellableCall {
public:
  TCancellableCall(HANDLE File, bool Reading);
  ~TCancellableCall();
  TCancellableCall(const TCancellableCall&) = delete;
  TCancellableCall& operator=(const TCancellableCall&) = delete;

private:
  static bool MayWait(HANDLE File, bool Reading);
  const bool Marked;
};

}  // namespace vellary::platform::detail
