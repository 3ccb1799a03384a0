// What the POSIX files of the OS layer share among themselves. Internal to
// the platform layer.
#pragma once

namespace vellary::platform::detail {

// A standard descriptor that is closed at start gets /dev/null parked on it,
// so that no file opened later takes its number; standard output closed so
// is remembered, and writing to it then fails (WriteBytes). Called once, by
// InitProcess, before anything is opened.
void EnsureStandardDescriptors();

}  // namespace vellary::platform::detail
