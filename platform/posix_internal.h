// What the POSIX files of the OS layer share among themselves. Internal to
// the platform layer.
#pragma once

#include <string>

namespace vellary::platform::detail {

// ExecutablePath with the system's link to the running executable named
// (it may be missing: /proc not mounted); tests name others.
std::string ExecutablePathVia(const char* SelfLink, const char* Argv0);

// A standard descriptor that is closed at start gets /dev/null parked on it,
// so that no file opened later takes its number; standard output closed so
// is remembered, and writing to it then fails (WriteBytes). Called once, by
// InitProcess, before anything is opened.
void EnsureStandardDescriptors();

// Waits until Fd is ready for Events (or has failed or hung up: the next
// call tells). feInterrupted when a termination signal caught for the run
// is noted before or during the wait: the signals are held from the check
// until the wait starts, so that none slips in between. 0 otherwise.
int WaitUnlessSignalled(int Fd, short Events);

}  // namespace vellary::platform::detail
