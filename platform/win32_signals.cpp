// Win32 termination signals: the console control events noted as the POSIX
// signals they stand for, a blocked read or write of the catching thread
// cancelled so that the run ends, and the sleep that a signal cuts short.
#include "platform/platform.h"

#include "platform/win32_internal.h"

#include <atomic>
#include <cstdint>

namespace vellary::platform {

// ---- Termination signal state ------------------------------------------------

// The console control handler runs on a thread the system starts for it and
// reaches the run only through this state, set once by
// CatchTerminationSignals before the handler is installed.
static std::atomic<int> PendingSignal{0};
static HANDLE SignalEvent = nullptr;     // set when a signal is noted; never reset
static HANDLE CatchingThread = nullptr;  // a real handle, for CancelSynchronousIo
static std::atomic<DWORD> CatchingThreadId{0};

// The catching thread's read or write that may block now. The handler cancels
// only that call, never a later one such as the flush of what was processed.
static SRWLOCK CallLock = SRWLOCK_INIT;
static bool InCall = false;           // guarded by CallLock
static std::uint64_t CallNumber = 0;  // guarded by CallLock

// The POSIX numbers of the signals that the control events stand for.
static constexpr int SigHup = 1, SigInt = 2, SigTerm = 15;

// Within the five seconds the system waits after a close before it ends the
// process regardless.
static constexpr DWORD CloseGraceMilliseconds = 4000;
// A cancel that comes just before the thread enters the system call finds
// nothing to cancel: it is tried again, for up to a second.
static constexpr DWORD CancelRetryMilliseconds = 10;
static constexpr int CancelRetries = 100;
// How long a read that Ctrl-C ended waits for the handler to note it.
static constexpr DWORD HandlerWaitMilliseconds = 1000;

bool detail::SignalNoted() {
  return PendingSignal.load() != 0;
}

bool detail::SignalArrives() {
  if (SignalEvent != nullptr)
    (void)WaitForSingleObject(SignalEvent, HandlerWaitMilliseconds);
  return SignalNoted();
}

detail::TCancellableCall::TCancellableCall(HANDLE File, bool Reading)
    : Marked(CatchingThreadId.load() == GetCurrentThreadId() && MayWait(File, Reading)) {
  if (!Marked)
    return;
  AcquireSRWLockExclusive(&CallLock);
  InCall = true;
  ++CallNumber;
  ReleaseSRWLockExclusive(&CallLock);
}

detail::TCancellableCall::~TCancellableCall() {
  if (!Marked)
    return;
  AcquireSRWLockExclusive(&CallLock);
  InCall = false;
  ReleaseSRWLockExclusive(&CallLock);
}

bool detail::TCancellableCall::MayWait(HANDLE File, bool Reading) {
  const DWORD Type = GetFileType(File);
  return Type == FILE_TYPE_PIPE || (Reading && Type == FILE_TYPE_CHAR);
}

// Cancels the call the catching thread is in, until that call returns.
static void CancelBlockedCall() {
  std::uint64_t Target = 0;
  for (int Try = 0; Try < CancelRetries; ++Try) {
    AcquireSRWLockExclusive(&CallLock);
    const bool Blocked = InCall && (Try == 0 || CallNumber == Target);
    Target = CallNumber;
    if (Blocked)
      (void)CancelSynchronousIo(CatchingThread);
    ReleaseSRWLockExclusive(&CallLock);
    if (!Blocked)
      return;
    Sleep(CancelRetryMilliseconds);
  }
}

static BOOL WINAPI NoteControlEvent(DWORD Event) {
  int Signal = 0;
  switch (Event) {
  case CTRL_C_EVENT:
    Signal = SigInt;
    break;
  case CTRL_BREAK_EVENT:
    Signal = SigTerm;
    break;
  case CTRL_CLOSE_EVENT:
  case CTRL_LOGOFF_EVENT:
  case CTRL_SHUTDOWN_EVENT:
    Signal = SigHup;
    break;
  default:
    return FALSE;
  }
  int None = 0;
  PendingSignal.compare_exchange_strong(None, Signal);
  SetEvent(SignalEvent);
  CancelBlockedCall();
  // After a close the system ends the process as soon as this returns; the
  // run ends it sooner (EndBySignal) once it has written what it has.
  if (Signal == SigHup)
    Sleep(CloseGraceMilliseconds);
  return TRUE;
}

// ---- Termination signals ---------------------------------------------------

void CatchTerminationSignals() {
  // Once per process: the handler and the thread whose calls it cancels.
  if (SignalEvent != nullptr)
    return;
  HANDLE Thread = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &Thread, 0,
                       FALSE, DUPLICATE_SAME_ACCESS))
    return;
  HANDLE Event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (Event == nullptr) {
    ::CloseHandle(Thread);
    return;
  }
  CatchingThread = Thread;
  SignalEvent = Event;
  CatchingThreadId.store(GetCurrentThreadId());
  SetConsoleCtrlHandler(NoteControlEvent, TRUE);
}

int PendingTerminationSignal() {
  return PendingSignal.load();
}

void EndBySignal(int) {
  ExitProcess(STATUS_CONTROL_C_EXIT);
}

void HoldTerminationSignals() {}
void ReleaseTerminationSignals() {}

bool SleepMilliseconds(unsigned Milliseconds) {
  if (SignalEvent == nullptr) {
    Sleep(Milliseconds);
    return PendingTerminationSignal() == 0;
  }
  return WaitForSingleObject(SignalEvent, Milliseconds) != WAIT_OBJECT_0;
}

}  // namespace vellary::platform
