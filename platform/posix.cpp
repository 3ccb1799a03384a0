// POSIX implementation of the OS layer: descriptors, errno mapping, the
// locale's charset and upper-casing, the controlling terminal for the timed
// pause and the bell.
#include "platform/platform.h"

#include "platform/common.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwctype>
#include <iterator>
#include <thread>

#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace vellary::platform {

// ---- Error numbers ---------------------------------------------------------

// An OS number that happens to equal a code with a fixed text of its own must
// not borrow that text.
static bool IsFixedTextCode(int Code) {
  return Code == feFileNotFound || Code == feInvalidFilename || Code == feTooManyOpenFiles ||
         Code == feAccessDenied || Code == feInvalidHandle || Code == feInvalidDrive ||
         (Code >= feReadPastEnd && Code <= feInvalidInput);
}

// The largest piece handed to one read() or write().
static constexpr std::size_t MaxTransfer = static_cast<std::size_t>(SSIZE_MAX);

static int MapErrno(int Error) {
  switch (Error) {
  case 0:
    return 0;
  case ENOENT:
    return feFileNotFound;
  case ENOTDIR:
  case ENAMETOOLONG:
  case ELOOP:
    return feInvalidFilename;
  case EMFILE:
  case ENFILE:
    return feTooManyOpenFiles;
  case EACCES:
  case EPERM:
  case EEXIST:
  case ENOTEMPTY:
  case EISDIR:
  case EBUSY:
  case ETXTBSY:
    return feAccessDenied;
  case EBADF:
    return feInvalidHandle;
  case ENOSPC:
  case EDQUOT:
    return feDiskFull;
  case EROFS:
    return feWriteProtected;
  case EIO:
    return feGeneralFailure;
  default:
    // ENXIO (6), ECONNRESET (104), ... would otherwise read as "Invalid file
    // handle", "File not open for input", ...: report them as device errors.
    return IsFixedTextCode(Error) ? feGeneralFailure : Error;
  }
}

static bool FolderExists(const std::string& Name) {
  struct stat Info {};
  return ::stat(Name.c_str(), &Info) == 0 && S_ISDIR(Info.st_mode);
}

// The name a symbolic link points at, relative targets taken from the
// link's own folder; empty when Name is no link.
static std::string LinkTarget(const std::string& Name) {
  struct stat Info {};
  if (::lstat(Name.c_str(), &Info) != 0 || !S_ISLNK(Info.st_mode))
    return {};
  char Target[PATH_MAX];
  const ssize_t Length = ::readlink(Name.c_str(), Target, sizeof Target);
  if (Length <= 0 || static_cast<std::size_t>(Length) >= sizeof Target)
    return {};
  std::string Resolved(Target, static_cast<std::size_t>(Length));
  const std::size_t Slash = Name.find_last_of('/');
  if (Resolved.front() != '/' && Slash != std::string::npos)
    Resolved.insert(0, Name, 0, Slash + 1);
  return Resolved;
}

// ENOENT says "file not found" only when the folder part of the name exists;
// a missing folder makes the name itself invalid. A dangling link is judged
// by the name it points at, as opening it would be.
static int MapOpenError(const std::string& Name, int Error) {
  if (Error != ENOENT)
    return MapErrno(Error);
  std::string Path = Name;
  // Bounded like the system's own link resolution (which gives ELOOP).
  for (int Hops = 0; Hops < 40; ++Hops) {
    std::string Target = LinkTarget(Path);
    if (Target.empty())
      break;
    Path = std::move(Target);
  }
  if (Path.empty())
    return feInvalidFilename;
  std::size_t Slash = Path.find_last_of('/');
  if (Slash == std::string::npos)
    return feFileNotFound;
  std::string Folder = Slash == 0 ? std::string("/") : Path.substr(0, Slash);
  return FolderExists(Folder) ? feFileNotFound : feInvalidFilename;
}

// ---- Process ---------------------------------------------------------------

// Standard output was closed when the process started: its text would go
// nowhere, so writing it is a failure (WriteBytes).
static bool StandardOutputClosed = false;

// A standard descriptor that is closed at start would be handed out by the
// next open(), and the output file would then receive what belongs to the
// console: park /dev/null on it instead. open() returns the lowest free
// descriptor, which is the one being filled, since those below it are open.
static void EnsureStandardDescriptors() {
  for (int Fd = 0; Fd <= 2; ++Fd) {
    if (::fcntl(Fd, F_GETFD) != -1 || errno != EBADF)
      continue;
    const int NullFd = ::open("/dev/null", O_RDWR);
    if (Fd == STDOUT_FILENO && NullFd == Fd)
      StandardOutputClosed = true;
  }
}

void InitProcess() {
  EnsureStandardDescriptors();
  std::setlocale(LC_CTYPE, "");
  std::setlocale(LC_TIME, "");
}

static void AppendQuotedIfNeeded(std::string& Out, std::string_view Arg) {
  bool Quote = Arg.empty() || Arg.find_first_of(" ;") != std::string_view::npos;
  if (Quote)
    Out += '"';
  Out.append(Arg);
  if (Quote)
    Out += '"';
}

std::string RawCommandLine(int Argc, char** Argv) {
  std::string Line;
  for (int I = 0; I < Argc; ++I) {
    if (I > 0)
      Line += ' ';
    AppendQuotedIfNeeded(Line, Argv[I] != nullptr ? Argv[I] : "");
  }
  return Line;
}

static std::string ResolvedPath(const std::string& Name) {
  char* Resolved = ::realpath(Name.c_str(), nullptr);
  if (Resolved == nullptr)
    return std::string();
  std::string Result(Resolved);
  std::free(Resolved);
  return Result;
}

static bool IsExecutableFile(const std::string& Name) {
  struct stat Info {};
  return ::stat(Name.c_str(), &Info) == 0 && S_ISREG(Info.st_mode) && ::access(Name.c_str(), X_OK) == 0;
}

// The first executable called Name in the folders of PATH, resolved.
static std::string SearchPath(const std::string& Name) {
  const char* PathVar = std::getenv("PATH");
  std::string_view Folders = PathVar != nullptr ? PathVar : "";
  while (true) {
    std::size_t Colon = Folders.find(':');
    std::string_view Folder = Folders.substr(0, Colon);
    // An empty entry stands for the current folder.
    std::string Candidate = Folder.empty() ? Name : std::string(Folder) + "/" + Name;
    if (IsExecutableFile(Candidate))
      return ResolvedPath(Candidate);
    if (Colon == std::string_view::npos)
      return std::string();
    Folders.remove_prefix(Colon + 1);
  }
}

std::string ExecutablePath(const char* Argv0) {
  std::string Link(256, '\0');
  while (true) {
    ssize_t Got = ::readlink("/proc/self/exe", Link.data(), Link.size());
    if (Got < 0)
      break;
    if (static_cast<std::size_t>(Got) < Link.size()) {
      Link.resize(static_cast<std::size_t>(Got));
      return Link;
    }
    Link.resize(Link.size() * 2);
  }
  std::string Name = Argv0 != nullptr ? Argv0 : "";
  if (Name.empty())
    return Name;
  std::string Found = Name.find('/') != std::string::npos ? ResolvedPath(Name) : SearchPath(Name);
  return Found.empty() ? Name : Found;
}

// ---- Text ------------------------------------------------------------------

static bool SameCharsetName(const char* A, const char* B) {
  return ::strcasecmp(A, B) == 0;
}

TCodePage AnsiCodePage() {
  const char* Charset = ::nl_langinfo(CODESET);
  if (Charset == nullptr || *Charset == '\0')
    return CpUtf8;
  // ASCII text is valid UTF-8, so the C locale passes bytes unchanged too.
  for (const char* Same : {"UTF-8", "UTF8", "ANSI_X3.4-1968", "ASCII", "US-ASCII"}) {
    if (SameCharsetName(Charset, Same))
      return CpUtf8;
  }
  return CpLocaleCharset;
}

TCodePage ConsoleOutputCodePage() {
  return AnsiCodePage();
}

static const char* CharsetName(TCodePage CodePage) {
  return CodePage == CpUtf8 ? "UTF-8" : ::nl_langinfo(CODESET);
}

static bool IsAscii(std::string_view Text) {
  for (char C : Text) {
    if (static_cast<unsigned char>(C) >= 0x80)
      return false;
  }
  return true;
}

// Runs the whole of Text through Converter; a byte it refuses is copied as it
// is and conversion resumes behind it.
static void ConvertWith(iconv_t Converter, std::string_view Text, std::string& Out) {
  Out.resize(Text.size() * 4 + 16);
  char* In = const_cast<char*>(Text.data());
  std::size_t InLeft = Text.size();
  std::size_t Used = 0;
  while (InLeft > 0) {
    if (Out.size() - Used < 8)
      Out.resize(Out.size() * 2);
    char* OutPtr = Out.data() + Used;
    std::size_t OutLeft = Out.size() - Used;
    std::size_t Result = ::iconv(Converter, &In, &InLeft, &OutPtr, &OutLeft);
    Used = static_cast<std::size_t>(OutPtr - Out.data());
    if (Result != static_cast<std::size_t>(-1))
      break;
    if (errno == E2BIG) {
      Out.resize(Out.size() * 2);
      continue;
    }
    // EILSEQ or EINVAL: pass the offending byte on unchanged.
    Out[Used++] = *In++;
    --InLeft;
    ::iconv(Converter, nullptr, nullptr, nullptr, nullptr);
  }
  Out.resize(Used);
}

bool AsciiCompatible(TCodePage) {
  // Every charset a POSIX locale can have keeps ASCII as it is.
  return true;
}

void ConvertCodePage(std::string_view Text, TCodePage From, TCodePage To, std::string& Out) {
  // Every charset a locale can have keeps ASCII as it is.
  if (From == To || IsAscii(Text)) {
    Out.assign(Text);
    return;
  }
  iconv_t Converter = ::iconv_open(CharsetName(To), CharsetName(From));
  if (Converter == reinterpret_cast<iconv_t>(-1)) {
    Out.assign(Text);
    return;
  }
  ConvertWith(Converter, Text, Out);
  ::iconv_close(Converter);
}

TUpperTable BuildUpperTable() {
  TUpperTable Upper{};
  // In a multibyte locale a byte above 127 is no character by itself.
  int Limit = MB_CUR_MAX > 1 ? 128 : 256;
  for (int B = 0; B < 256; ++B) {
    int Mapped = B < Limit ? std::toupper(B) : B;
    Upper[static_cast<std::size_t>(B)] = static_cast<unsigned char>(Mapped >= 0 && Mapped < 256 ? Mapped : B);
  }
  return Upper;
}

std::vector<std::pair<char32_t, char32_t>> Utf8UpperCases() {
  std::vector<std::pair<char32_t, char32_t>> Cases;
  if (MB_CUR_MAX <= 1 || AnsiCodePage() != CpUtf8)
    return Cases;
  // Surrogates are no characters; past U+1FFFF no script has letter case,
  // and the walk stays a millisecond or two at start.
  constexpr char32_t Last = 0x1FFFF;
  for (char32_t Cp = 0; Cp <= Last; ++Cp) {
    if (Cp >= 0xD800 && Cp <= 0xDFFF)
      continue;
    const std::wint_t Upper = std::towupper(static_cast<std::wint_t>(Cp));
    if (Upper != static_cast<std::wint_t>(Cp) && Upper <= 0x10FFFF)
      Cases.emplace_back(Cp, static_cast<char32_t>(Upper));
  }
  return Cases;
}

std::string detail::RegionalMonthAbbreviation(int Month) {
  static constexpr nl_item Items[12] = {ABMON_1, ABMON_2, ABMON_3, ABMON_4,  ABMON_5,  ABMON_6,
                                        ABMON_7, ABMON_8, ABMON_9, ABMON_10, ABMON_11, ABMON_12};
  const char* Name = ::nl_langinfo(Items[static_cast<std::size_t>(Month - 1)]);
  return Name != nullptr ? std::string(Name) : std::string();
}

TLocalDateTime LocalNow() {
  std::time_t Now = std::time(nullptr);
  struct tm Parts {};
  if (::localtime_r(&Now, &Parts) == nullptr)
    return TLocalDateTime{};
  return TLocalDateTime{Parts.tm_year + 1900, Parts.tm_mon + 1, Parts.tm_mday,
                        Parts.tm_hour,        Parts.tm_min,     Parts.tm_sec};
}

// ---- Files -----------------------------------------------------------------

bool FileExistsAt(const std::string& Name) {
  struct stat Info {};
  return !Name.empty() && ::stat(Name.c_str(), &Info) == 0 && !S_ISDIR(Info.st_mode);
}

bool SameRegularFile(const std::string& A, const std::string& B) {
  struct stat InfoA {};
  struct stat InfoB {};
  if (::stat(A.c_str(), &InfoA) != 0 || ::stat(B.c_str(), &InfoB) != 0)
    return false;
  return S_ISREG(InfoA.st_mode) && S_ISREG(InfoB.st_mode) && InfoA.st_dev == InfoB.st_dev &&
         InfoA.st_ino == InfoB.st_ino;
}

bool SameRegularFileAs(const std::string& Name, TNativeHandle Handle) {
  struct stat InfoName {};
  struct stat InfoHandle {};
  if (::stat(Name.c_str(), &InfoName) != 0 || ::fstat(static_cast<int>(Handle), &InfoHandle) != 0)
    return false;
  return S_ISREG(InfoName.st_mode) && S_ISREG(InfoHandle.st_mode) &&
         InfoName.st_dev == InfoHandle.st_dev && InfoName.st_ino == InfoHandle.st_ino;
}

bool ReadMayWait(TNativeHandle Handle) {
  struct stat Info {};
  if (::fstat(static_cast<int>(Handle), &Info) != 0)
    return true;
  return !S_ISREG(Info.st_mode) && !S_ISBLK(Info.st_mode);
}

bool ReadWouldWait(TNativeHandle Handle) {
  pollfd Poll{static_cast<int>(Handle), POLLIN, 0};
  int Ready;
  do
    Ready = ::poll(&Poll, 1, 0);
  while (Ready < 0 && errno == EINTR);
  return Ready == 0;
}

static int OpenWithFlags(const std::string& Name, int Flags, TNativeHandle& Handle) {
  Handle = InvalidHandle;
  int Fd;
  do
    Fd = ::open(Name.c_str(), Flags, 0666);
  while (Fd < 0 && errno == EINTR);
  if (Fd < 0)
    return MapOpenError(Name, errno);
  Handle = Fd;
  return 0;
}

int OpenForReading(const std::string& Name, TNativeHandle& Handle) {
  return OpenWithFlags(Name, O_RDONLY | O_CLOEXEC, Handle);
}

int CreateForWriting(const std::string& Name, TNativeHandle& Handle) {
  return OpenWithFlags(Name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, Handle);
}

// A descriptor inherited in non-blocking mode answers EAGAIN: wait until it
// is ready instead of failing.
static bool WaitReady(int Fd, short Events) {
  struct pollfd Poll {Fd, Events, 0};
  int Result;
  do
    Result = ::poll(&Poll, 1, -1);
  while (Result < 0 && errno == EINTR);
  return Result >= 0;
}

static bool IsWouldBlock(int Error) {
  return Error == EAGAIN || Error == EWOULDBLOCK;
}

int ReadBytes(TNativeHandle Handle, char* Buffer, std::size_t Size, std::size_t& Got) {
  Got = 0;
  int Fd = static_cast<int>(Handle);
  while (true) {
    ssize_t Result = ::read(Fd, Buffer, Size < MaxTransfer ? Size : MaxTransfer);
    if (Result >= 0) {
      Got = static_cast<std::size_t>(Result);
      return 0;
    }
    int Error = errno;
    if (Error == EINTR && PendingTerminationSignal() != 0)
      return feInterrupted;
    if (Error == EINTR || (IsWouldBlock(Error) && WaitReady(Fd, POLLIN)))
      continue;
    return MapErrno(Error);
  }
}

int ReadBytesAt(TNativeHandle Handle, std::uint64_t Offset, char* Buffer, std::size_t Size,
                std::size_t& Got) {
  Got = 0;
  const int Fd = static_cast<int>(Handle);
  while (Got < Size) {
    const std::size_t Wanted = Size - Got < MaxTransfer ? Size - Got : MaxTransfer;
    const ssize_t Result = ::pread(Fd, Buffer + Got, Wanted, static_cast<off_t>(Offset + Got));
    if (Result > 0) {
      Got += static_cast<std::size_t>(Result);
      continue;
    }
    if (Result == 0)
      return 0;
    const int Error = errno;
    if (Error == EINTR && PendingTerminationSignal() != 0)
      return feInterrupted;
    if (Error != EINTR)
      return MapErrno(Error);
  }
  return 0;
}

int WriteBytes(TNativeHandle Handle, const char* Data, std::size_t Size) {
  int Fd = static_cast<int>(Handle);
  if (Fd == STDOUT_FILENO && StandardOutputClosed && Size > 0)
    return feInvalidHandle;
  while (Size > 0) {
    ssize_t Result = ::write(Fd, Data, Size < MaxTransfer ? Size : MaxTransfer);
    if (Result > 0) {
      Data += Result;
      Size -= static_cast<std::size_t>(Result);
      continue;
    }
    if (Result == 0)
      return MapErrno(ENOSPC);
    int Error = errno;
    if (Error == EINTR && PendingTerminationSignal() != 0)
      return feInterrupted;
    if (Error == EINTR || (IsWouldBlock(Error) && WaitReady(Fd, POLLOUT)))
      continue;
    return MapErrno(Error);
  }
  return 0;
}

int CloseHandle(TNativeHandle Handle) {
  // On Linux the descriptor is gone even when close() reports EINTR.
  if (::close(static_cast<int>(Handle)) != 0 && errno != EINTR)
    return MapErrno(errno);
  return 0;
}

TNativeHandle StandardOutput() {
  return STDOUT_FILENO;
}

TNativeHandle StandardError() {
  return STDERR_FILENO;
}

bool IsTerminal(TNativeHandle Handle) {
  return ::isatty(static_cast<int>(Handle)) == 1;
}

// ---- Termination signals ---------------------------------------------------

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

void LeaveTerminationSignalsToOtherThreads() {
  sigset_t Block;
  sigemptyset(&Block);
  for (int Signal : TerminationSignals)
    sigaddset(&Block, Signal);
  ::pthread_sigmask(SIG_BLOCK, &Block, nullptr);
}

// ---- Processors --------------------------------------------------------------

unsigned UsableProcessors() {
#ifdef __linux__
  cpu_set_t Set;
  CPU_ZERO(&Set);
  if (::sched_getaffinity(0, sizeof Set, &Set) == 0 && CPU_COUNT(&Set) > 0)
    return static_cast<unsigned>(CPU_COUNT(&Set));
#endif
  const unsigned Count = std::thread::hardware_concurrency();
  return Count > 0 ? Count : 1;
}

// ---- Console keyboard, sleep, alert ----------------------------------------

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

void SleepMilliseconds(unsigned Milliseconds) {
  struct timespec Left {};
  Left.tv_sec = static_cast<time_t>(Milliseconds / 1000);
  Left.tv_nsec = static_cast<long>(Milliseconds % 1000) * 1000000L;
  while (::nanosleep(&Left, &Left) != 0 && errno == EINTR) {
    // A termination signal caught for the run must still end a pause.
    if (const int Signal = PendingTerminationSignal(); Signal != 0)
      EndBySignal(Signal);
  }
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
