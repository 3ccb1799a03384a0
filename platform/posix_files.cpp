// POSIX files and standard handles: opening, reading, writing and closing
// descriptors, and the mapping of errno to the program's file error codes.
#include "platform/platform.h"

#include "platform/posix_internal.h"

#include <cerrno>
#include <climits>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
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

// ---- Standard descriptors --------------------------------------------------

// Standard output was closed when the process started: its text would go
// nowhere, so writing it is a failure (WriteBytes).
static bool StandardOutputClosed = false;

// A standard descriptor that is closed at start would be handed out by the
// next open(), and the output file would then receive what belongs to the
// console: park /dev/null on it instead. open() returns the lowest free
// descriptor, which is the one being filled, since those below it are open.
void detail::EnsureStandardDescriptors() {
  for (int Fd = 0; Fd <= 2; ++Fd) {
    if (::fcntl(Fd, F_GETFD) != -1 || errno != EBADF)
      continue;
    const int NullFd = ::open("/dev/null", O_RDWR);
    if (Fd == STDOUT_FILENO && NullFd == Fd)
      StandardOutputClosed = true;
  }
}

// ---- Files -----------------------------------------------------------------

bool FileExistsAt(const std::string& Name) {
  struct stat Info {};
  return !Name.empty() && ::stat(Name.c_str(), &Info) == 0 && !S_ISDIR(Info.st_mode);
}

static bool SameRegular(const struct stat& A, const struct stat& B) {
  return S_ISREG(A.st_mode) && S_ISREG(B.st_mode) && A.st_dev == B.st_dev && A.st_ino == B.st_ino;
}

bool SameRegularFile(const std::string& A, const std::string& B) {
  struct stat InfoA {};
  struct stat InfoB {};
  return ::stat(A.c_str(), &InfoA) == 0 && ::stat(B.c_str(), &InfoB) == 0 && SameRegular(InfoA, InfoB);
}

bool SameRegularFileAs(const std::string& Name, TNativeHandle Handle) {
  struct stat InfoName {};
  struct stat InfoHandle {};
  return ::stat(Name.c_str(), &InfoName) == 0 &&
         ::fstat(static_cast<int>(Handle), &InfoHandle) == 0 && SameRegular(InfoName, InfoHandle);
}

bool SameRegularFileHandles(TNativeHandle A, TNativeHandle B) {
  struct stat InfoA {};
  struct stat InfoB {};
  return ::fstat(static_cast<int>(A), &InfoA) == 0 && ::fstat(static_cast<int>(B), &InfoB) == 0 &&
         SameRegular(InfoA, InfoB);
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
  return Ready <= 0;  // when it cannot tell, wait: flushed once too often, never too late
}

// A pipe read in 64 KiB pieces wakes its writer and its reader for every
// piece; a larger one (where the system allows it) lets a fast writer run
// ahead. Anything but a pipe refuses, which is as good.
static void WidenPipe(int Fd) {
#ifdef F_SETPIPE_SZ
  (void)::fcntl(Fd, F_SETPIPE_SZ, 1 << 20);
#else
  (void)Fd;
#endif
}

static int OpenWithFlags(const std::string& Name, int Flags, TNativeHandle& Handle) {
  Handle = InvalidHandle;
  // A FIFO waits in the open for its other end; a termination signal ends
  // that wait, or spares it.
  int Fd = -1;
  errno = EINTR;
  while (Fd < 0 && errno == EINTR) {
    if (PendingTerminationSignal() != 0)
      return feInterrupted;
    Fd = ::open(Name.c_str(), Flags, 0666);
  }
  if (Fd < 0)
    return MapOpenError(Name, errno);
  Handle = Fd;
  return 0;
}

int OpenForReading(const std::string& Name, TNativeHandle& Handle) {
  const int Error = OpenWithFlags(Name, O_RDONLY | O_CLOEXEC, Handle);
  if (Error == 0)
    WidenPipe(static_cast<int>(Handle));
  return Error;
}

int OpenStandardInput(TNativeHandle& Handle) {
  // Above the standard descriptors, and not inherited by anything started later.
  const int Fd = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
  if (Fd >= 0)
    WidenPipe(Fd);
  Handle = Fd >= 0 ? Fd : InvalidHandle;
  return Fd >= 0 ? 0 : MapErrno(errno);
}

int CreateForWriting(const std::string& Name, TNativeHandle& Handle) {
  return OpenWithFlags(Name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, Handle);
}

static bool IsWouldBlock(int Error) {
  return Error == EAGAIN || Error == EWOULDBLOCK;
}

int ReadBytes(TNativeHandle Handle, char* Buffer, std::size_t Size, std::size_t& Got) {
  Got = 0;
  int Fd = static_cast<int>(Handle);
  while (true) {
    // Waiting in poll rather than in read lets a termination signal that
    // came before the wait end it too; it also covers a descriptor inherited
    // in non-blocking mode.
    if (int Error = detail::WaitUnlessSignalled(Fd, POLLIN); Error != 0)
      return Error;
    ssize_t Result = ::read(Fd, Buffer, Size < MaxTransfer ? Size : MaxTransfer);
    if (Result >= 0) {
      Got = static_cast<std::size_t>(Result);
      return 0;
    }
    int Error = errno;
    if (Error != EINTR && !IsWouldBlock(Error))
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

// With a termination signal noted, a write goes on only where it cannot
// wait: into a file, or a piece the pipe or terminal has room for. What
// does not fit is dropped, as a write the signal cut short drops it.
static std::size_t PieceWithoutWaiting(int Fd, std::size_t Size) {
  struct stat Info {};
  if (::fstat(Fd, &Info) == 0 && (S_ISREG(Info.st_mode) || S_ISBLK(Info.st_mode)))
    return Size;
  pollfd Poll{Fd, POLLOUT, 0};
  if (::poll(&Poll, 1, 0) <= 0)
    return 0;
  // A reader that has gone makes the write fail at once.
  return Size < PIPE_BUF ? Size : PIPE_BUF;
}

int WriteBytes(TNativeHandle Handle, const char* Data, std::size_t Size) {
  int Fd = static_cast<int>(Handle);
  if (Fd == STDOUT_FILENO && StandardOutputClosed && Size > 0)
    return feInvalidHandle;
  while (Size > 0) {
    std::size_t Piece = Size < MaxTransfer ? Size : MaxTransfer;
    if (PendingTerminationSignal() != 0 && (Piece = PieceWithoutWaiting(Fd, Piece)) == 0)
      return feInterrupted;
    ssize_t Result = ::write(Fd, Data, Piece);
    if (Result > 0) {
      Data += Result;
      Size -= static_cast<std::size_t>(Result);
      continue;
    }
    if (Result == 0)
      return MapErrno(ENOSPC);
    int Error = errno;
    if (Error == EINTR)
      continue;  // the flag is looked at before the next try
    if (IsWouldBlock(Error)) {
      if (int Waited = detail::WaitUnlessSignalled(Fd, POLLOUT); Waited != 0)
        return Waited;
      continue;
    }
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

TNativeHandle StandardInput() {
  return STDIN_FILENO;
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

}  // namespace vellary::platform
