// The POSIX controlling terminal: keyboard input for the timed pause, with
// the terminal's settings put back on every way out (signals included), and
// the bell.
#include "platform/platform.h"

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace vellary::platform {

// The keyboard's state lives at file scope because the signal handlers that
// put the terminal back can reach nothing else; only OpenKeyboard,
// CloseKeyboard and those handlers touch it.
static volatile sig_atomic_t KeyboardFd = -1;
static struct termios SavedTermios;
static struct termios PauseTermios;
static struct sigaction SavedActions[NSIG];
static bool Guarded[NSIG];

// Every catchable signal whose default action ends the process (the
// real-time ones too), so that none leaves the terminal without echo.
template <typename TVisit>
static void ForEachEndingSignal(TVisit&& Visit) {
  static constexpr int Fixed[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGILL,    SIGTRAP, SIGABRT, SIGBUS,
                                  SIGFPE,  SIGUSR1, SIGSEGV, SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM,
                                  SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGPOLL, SIGSYS};
  for (int Signal : Fixed)
    Visit(Signal);
  for (int Signal = SIGRTMIN; Signal <= SIGRTMAX; ++Signal)
    Visit(Signal);
}

static bool InForeground(int Fd) {
  return ::tcgetpgrp(Fd) == ::getpgrp();
}

static void RestoreTerminalAndRaise(int Signal) {
  if (KeyboardFd >= 0)
    ::tcsetattr(KeyboardFd, TCSANOW, &SavedTermios);
  ::signal(Signal, SIG_DFL);
  // Blocked while this handler runs; delivered with the default action on
  // return.
  ::raise(Signal);
}

// Ctrl-Z: the shell gets its terminal back as it was, then the process
// stops as the default action would; it goes on here when continued.
static void RestoreTerminalAndStop(int Signal) {
  const int SavedErrno = errno;
  if (KeyboardFd >= 0)
    ::tcsetattr(KeyboardFd, TCSANOW, &SavedTermios);
  struct sigaction Default {};
  Default.sa_handler = SIG_DFL;
  sigemptyset(&Default.sa_mask);
  struct sigaction Own {};
  ::sigaction(Signal, &Default, &Own);
  sigset_t Unblock;
  sigemptyset(&Unblock);
  sigaddset(&Unblock, Signal);
  ::pthread_sigmask(SIG_UNBLOCK, &Unblock, nullptr);
  ::raise(Signal);
  ::sigaction(Signal, &Own, nullptr);
  errno = SavedErrno;
}

// Continued (fg, or bg and later fg): the pause's mode again, but only in
// the foreground, where the keys are the pause's and not the shell's.
static void ResumePauseMode(int) {
  const int SavedErrno = errno;
  if (KeyboardFd >= 0 && InForeground(KeyboardFd))
    ::tcsetattr(KeyboardFd, TCSANOW, &PauseTermios);
  errno = SavedErrno;
}

static void Guard(int Signal, void (*Handler)(int)) {
  struct sigaction Action {};
  Action.sa_handler = Handler;
  sigemptyset(&Action.sa_mask);
  // Restoring the terminal from a background process must not stop it.
  sigaddset(&Action.sa_mask, SIGTTOU);
  Guarded[Signal] = false;
  if (::sigaction(Signal, nullptr, &SavedActions[Signal]) != 0)
    return;
  // A signal the caller chose to ignore stays ignored.
  if (SavedActions[Signal].sa_handler == SIG_IGN)
    return;
  Guarded[Signal] = ::sigaction(Signal, &Action, nullptr) == 0;
}

static void InstallSignalGuards() {
  ForEachEndingSignal([](int Signal) { Guard(Signal, RestoreTerminalAndRaise); });
  Guard(SIGTSTP, RestoreTerminalAndStop);
  Guard(SIGCONT, ResumePauseMode);
}

static void RemoveSignalGuards() {
  for (int Signal = 1; Signal < NSIG; ++Signal) {
    if (Guarded[Signal])
      ::sigaction(Signal, &SavedActions[Signal], nullptr);
    Guarded[Signal] = false;
  }
}

// Terminal calls are made with SIGTTOU held back, so that a process moved to
// the background during the pause is not stopped while it restores the
// terminal.
static sigset_t BlockSigttou() {
  sigset_t Block;
  sigset_t Old;
  sigemptyset(&Block);
  sigaddset(&Block, SIGTTOU);
  ::sigprocmask(SIG_BLOCK, &Block, &Old);
  return Old;
}

static void RestoreSignalMask(const sigset_t& Old) {
  ::sigprocmask(SIG_SETMASK, &Old, nullptr);
}

bool OpenKeyboard() {
  int Fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (Fd < 0)
    return false;
  // A background job must not touch the terminal; it simply gets no keys.
  if (!InForeground(Fd) || ::tcgetattr(Fd, &SavedTermios) != 0) {
    ::close(Fd);
    return false;
  }
  PauseTermios = SavedTermios;
  PauseTermios.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  PauseTermios.c_cc[VMIN] = 0;
  PauseTermios.c_cc[VTIME] = 0;
  KeyboardFd = Fd;
  InstallSignalGuards();
  sigset_t Old = BlockSigttou();
  ::tcsetattr(Fd, TCSANOW, &PauseTermios);
  // Keys typed before the prompt must not end the pause.
  ::tcflush(Fd, TCIFLUSH);
  RestoreSignalMask(Old);
  return true;
}

bool KeyWaiting() {
  if (KeyboardFd < 0)
    return false;
  struct pollfd Poll {KeyboardFd, POLLIN, 0};
  return ::poll(&Poll, 1, 0) > 0 && (Poll.revents & POLLIN) != 0;
}

void CloseKeyboard() {
  if (KeyboardFd < 0)
    return;
  int Fd = KeyboardFd;
  sigset_t Old = BlockSigttou();
  // Moved to the background meanwhile (Ctrl-Z, bg): the terminal was given
  // back at the stop, and what is typed now is the shell's.
  if (InForeground(Fd)) {
    // The key that ended the pause must not reach the shell afterwards.
    ::tcflush(Fd, TCIFLUSH);
    ::tcsetattr(Fd, TCSANOW, &SavedTermios);
  }
  RestoreSignalMask(Old);
  RemoveSignalGuards();
  KeyboardFd = -1;
  ::close(Fd);
}

void SoundAlert() {
  int Fd = ::open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (Fd < 0)
    return;
  ssize_t Written;
  do
    Written = ::write(Fd, "\a", 1);
  while (Written < 0 && errno == EINTR);
  ::close(Fd);
}

}  // namespace vellary::platform
