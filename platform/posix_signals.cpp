// POSIX termination signals: SIGINT, SIGTERM and SIGHUP noted for the run,
// which then ends by the signal after writing what it has processed.
#include "platform/platform.h"

#include "platform/posix_internal.h"

#include <atomic>
#include <csignal>
#include <cstdlib>

#include <cerrno>

#include <poll.h>
#include <pthread.h>

namespace vellary::platform {

static std::atomic<int> PendingSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");
static constexpr int TerminationSignals[] = {SIGINT, SIGTERM, SIGHUP};

static void NoteTerminationSignal(int Signal) {
  int None = 0;
  PendingSignal.compare_exchange_strong(None, Signal);
}

void CatchTerminationSignals() {
  struct sigaction Action {};
  Action.sa_handler = NoteTerminationSignal;
  sigemptyset(&Action.sa_mask);
  // No SA_RESTART: a read waiting for a pipe must return, so the run ends.
  for (int Signal : TerminationSignals) {
    struct sigaction Old {};
    if (::sigaction(Signal, nullptr, &Old) == 0 && Old.sa_handler != SIG_IGN)
      ::sigaction(Signal, &Action, nullptr);
  }
}

int PendingTerminationSignal() {
  return PendingSignal.load(std::memory_order_relaxed);
}

void EndBySignal(int Signal) {
  ::signal(Signal, SIG_DFL);
  sigset_t Unblock;
  sigemptyset(&Unblock);
  sigaddset(&Unblock, Signal);
  ::pthread_sigmask(SIG_UNBLOCK, &Unblock, nullptr);
  ::raise(Signal);
  // Not reached for the termination signals; the same status if it were.
  std::_Exit(128 + Signal);
}

static sigset_t TerminationSet() {
  sigset_t Set;
  sigemptyset(&Set);
  for (int Signal : TerminationSignals)
    sigaddset(&Set, Signal);
  return Set;
}

int detail::WaitUnlessSignalled(int Fd, short Events) {
  const sigset_t Block = TerminationSet();
  sigset_t Open;
  ::pthread_sigmask(SIG_BLOCK, &Block, &Open);
  int Result = 0;
  for (;;) {
    if (PendingTerminationSignal() != 0) {
      Result = feInterrupted;
      break;
    }
    pollfd Poll{Fd, Events, 0};
    // The wait takes the mask of before, so a signal ends it with EINTR.
    if (::ppoll(&Poll, 1, nullptr, &Open) >= 0 || errno != EINTR)
      break;
  }
  ::pthread_sigmask(SIG_SETMASK, &Open, nullptr);
  return Result;
}

// The mask before the last hold, so that the release leaves a signal that
// was blocked already (inherited blocked, say) as it found it.
static sigset_t MaskBeforeHold;

void HoldTerminationSignals() {
  const sigset_t Block = TerminationSet();
  ::pthread_sigmask(SIG_BLOCK, &Block, &MaskBeforeHold);
}

void ReleaseTerminationSignals() {
  sigset_t Unblock = TerminationSet();
  for (int Signal : TerminationSignals) {
    if (sigismember(&MaskBeforeHold, Signal) == 1)
      sigdelset(&Unblock, Signal);
  }
  ::pthread_sigmask(SIG_UNBLOCK, &Unblock, nullptr);
}

}  // namespace vellary::platform
