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

namespace vellary::platform::detail {

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
