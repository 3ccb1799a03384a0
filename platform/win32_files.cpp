// Win32 files and standard handles: opening, reading, writing and closing
// handles, and the mapping of Win32 error numbers to the program's file error
// codes. Wide (-W) entry points for every name: a name is kept as WTF-8
// (see win32_names.cpp) and reaches the system as the UTF-16 it came as.
#include "platform/platform.h"

#include "platform/win32_internal.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

namespace vellary::platform {

// ---- Helpers ---------------------------------------------------------------

// Exit code when standard output's reader has gone: 128 + SIGPIPE, what a
// POSIX shell reports for a tool that died writing to a closed pipe.
static constexpr UINT ClosedPipeExitCode = 141;

// ReadFile and WriteFile take a DWORD count; larger requests go in pieces.
static constexpr std::size_t MaxTransfer = std::size_t{1} << 30;

static HANDLE ToWin(TNativeHandle Handle) {
  return reinterpret_cast<HANDLE>(Handle);
}

static TNativeHandle FromWin(HANDLE Handle) {
  // A process started without standard handles gets NULL, not INVALID_HANDLE_VALUE.
  if (Handle == nullptr || Handle == INVALID_HANDLE_VALUE)
    return InvalidHandle;
  return reinterpret_cast<TNativeHandle>(Handle);
}

// The Win32 numbers of these failures are the program's codes already, and
// the device errors keep their number above the base.
static_assert(ERROR_FILE_NOT_FOUND == feFileNotFound && ERROR_PATH_NOT_FOUND == feInvalidFilename &&
              ERROR_TOO_MANY_OPEN_FILES == feTooManyOpenFiles &&
              ERROR_ACCESS_DENIED == feAccessDenied && ERROR_INVALID_HANDLE == feInvalidHandle &&
              ERROR_INVALID_DRIVE == feInvalidDrive);
static_assert(feDeviceErrorBase + ERROR_WRITE_PROTECT == feWriteProtected &&
              feDeviceErrorBase + ERROR_GEN_FAILURE == feGeneralFailure);

// The program's error code for a Win32 error number.
static int MapError(DWORD Error) {
  switch (Error) {
  case ERROR_SUCCESS:
    // A failure must never read as success.
    return feGeneralFailure;
  case ERROR_INVALID_NAME:
  case ERROR_FILENAME_EXCED_RANGE:
    return feInvalidFilename;
  case ERROR_SHARING_VIOLATION:
  case ERROR_DIR_NOT_EMPTY:
  case ERROR_FILE_EXISTS:
  case ERROR_ALREADY_EXISTS:
    return feAccessDenied;
  case ERROR_DISK_FULL:
  case ERROR_HANDLE_DISK_FULL:
    return feDiskFull;
  default:
    break;
  }
  if (Error >= ERROR_WRITE_PROTECT && Error <= ERROR_GEN_FAILURE)
    return feDeviceErrorBase + static_cast<int>(Error);
  // Facility-coded values (HRESULT style) carry the Win32 number in the low word.
  if (Error > static_cast<DWORD>(std::numeric_limits<int>::max()))
    return MapError(Error & 0xFFFFu);
  return static_cast<int>(Error);
}

static int LastError() {
  return MapError(GetLastError());
}

// ---- Files -----------------------------------------------------------------

static bool HasWildcard(const std::string& Name) {
  return Name.find_first_of("*?") != std::string::npos;
}

bool FileExistsAt(const std::string& Name) {
  const std::wstring Path = detail::WidePath(Name);
  DWORD Attributes = GetFileAttributesW(Path.c_str());
  if (Attributes != INVALID_FILE_ATTRIBUTES)
    return (Attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  // A file held open without sharing (a live page file, a locked database)
  // still exists; its directory entry tells what it is, and opening it then
  // reports the sharing violation instead of "not found".
  if (GetLastError() != ERROR_SHARING_VIOLATION || HasWildcard(Name))
    return false;
  WIN32_FIND_DATAW Found;
  HANDLE Search = FindFirstFileW(Path.c_str(), &Found);
  if (Search == INVALID_HANDLE_VALUE)
    return false;
  FindClose(Search);
  return (Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Volume serial number and file index of a disk file; false for anything
// else (folders, devices, pipes, names that do not exist).
static bool DiskFileIdentity(const std::string& Name, BY_HANDLE_FILE_INFORMATION& Info) {
  HANDLE File = CreateFileW(detail::WidePath(Name).c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (File == INVALID_HANDLE_VALUE)
    return false;
  bool Ok = GetFileType(File) == FILE_TYPE_DISK && GetFileInformationByHandle(File, &Info) &&
            (Info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  ::CloseHandle(File);
  return Ok;
}

bool SameRegularFile(const std::string& A, const std::string& B) {
  BY_HANDLE_FILE_INFORMATION InfoA{}, InfoB{};
  if (!DiskFileIdentity(A, InfoA) || !DiskFileIdentity(B, InfoB))
    return false;
  return InfoA.dwVolumeSerialNumber == InfoB.dwVolumeSerialNumber &&
         InfoA.nFileIndexHigh == InfoB.nFileIndexHigh && InfoA.nFileIndexLow == InfoB.nFileIndexLow;
}

// Volume and 128-bit file id of an open disk file. Asked by class, since a
// handle opened for writing only (standard output redirected by the shell)
// may refuse GetFileInformationByHandle.
static bool DiskFileId(HANDLE File, FILE_ID_INFO& Id) {
  return GetFileType(File) == FILE_TYPE_DISK &&
         GetFileInformationByHandleEx(File, FileIdInfo, &Id, sizeof Id);
}

static bool SameFileId(const FILE_ID_INFO& A, const FILE_ID_INFO& B) {
  // A volume the system cannot name (serial 0, as for a handle inherited
  // from outside) leaves the file id to decide.
  return std::memcmp(&A.FileId, &B.FileId, sizeof A.FileId) == 0 &&
         (A.VolumeSerialNumber == B.VolumeSerialNumber || A.VolumeSerialNumber == 0 ||
          B.VolumeSerialNumber == 0);
}

bool SameRegularFileAs(const std::string& Name, TNativeHandle Handle) {
  BY_HANDLE_FILE_INFORMATION Info{};
  FILE_ID_INFO NameId{}, HandleId{};
  if (Handle == InvalidHandle || !DiskFileIdentity(Name, Info) ||
      !DiskFileId(ToWin(Handle), HandleId))
    return false;
  HANDLE File = CreateFileW(detail::WidePath(Name).c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (File == INVALID_HANDLE_VALUE)
    return false;
  const bool Ok = DiskFileId(File, NameId);
  ::CloseHandle(File);
  return Ok && SameFileId(NameId, HandleId);
}

bool SameRegularFileHandles(TNativeHandle A, TNativeHandle B) {
  FILE_ID_INFO IdA{}, IdB{};
  return A != InvalidHandle && B != InvalidHandle && DiskFileId(ToWin(A), IdA) &&
         DiskFileId(ToWin(B), IdB) && SameFileId(IdA, IdB);
}

bool ReadMayWait(TNativeHandle Handle) {
  return GetFileType(ToWin(Handle)) != FILE_TYPE_DISK;
}

bool ReadWouldWait(TNativeHandle Handle) {
  const HANDLE File = ToWin(Handle);
  switch (GetFileType(File)) {
  case FILE_TYPE_PIPE: {
    DWORD Waiting = 0;
    // When it cannot tell (a writer gone, or a pipe wine maps from a FIFO),
    // it says wait: the output is flushed once too often, never too late.
    return !PeekNamedPipe(File, nullptr, 0, nullptr, &Waiting, nullptr) || Waiting == 0;
  }
  case FILE_TYPE_CHAR:
    return true;  // a console: a line comes when the user ends it
  default:
    return false;
  }
}

int FileSize(TNativeHandle Handle, std::uint64_t& Size) {
  LARGE_INTEGER Bytes{};
  Size = 0;
  if (!GetFileSizeEx(ToWin(Handle), &Bytes))
    return LastError();
  Size = static_cast<std::uint64_t>(Bytes.QuadPart);
  return 0;
}

int OpenForReading(const std::string& Name, TNativeHandle& Handle) {
  HANDLE File = CreateFileW(detail::WidePath(Name).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (File == INVALID_HANDLE_VALUE) {
    Handle = InvalidHandle;
    return LastError();
  }
  Handle = reinterpret_cast<TNativeHandle>(File);
  return 0;
}

int OpenStandardInput(TNativeHandle& Handle) {
  Handle = InvalidHandle;
  const TNativeHandle In = StandardInput();
  if (In == InvalidHandle)
    return feInvalidHandle;
  HANDLE Copy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), ToWin(In), GetCurrentProcess(), &Copy, 0, FALSE,
                       DUPLICATE_SAME_ACCESS))
    return LastError();
  Handle = reinterpret_cast<TNativeHandle>(Copy);
  return 0;
}

int CreateForWriting(const std::string& Name, TNativeHandle& Handle) {
  HANDLE File = CreateFileW(detail::WidePath(Name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (File == INVALID_HANDLE_VALUE) {
    Handle = InvalidHandle;
    return LastError();
  }
  Handle = reinterpret_cast<TNativeHandle>(File);
  return 0;
}

static bool IsConsole(HANDLE Handle) {
  DWORD Mode = 0;
  return GetConsoleMode(Handle, &Mode) != 0;
}

// Text typed at the console, read as UTF-16 and handed on in the ANSI code
// page (a plain read would give it in the console's input page, the OEM page
// as a rule). Never more than Wanted bytes: at most four per UTF-16 unit.
static bool ReadConsoleText(HANDLE File, char* Buffer, DWORD Wanted, DWORD& Read) {
  wchar_t Wide[4096];
  const DWORD Units = Wanted / 4 == 0 ? 1 : Wanted / 4 < 4096 ? Wanted / 4 : 4096;
  DWORD Typed = 0;
  Read = 0;
  if (!ReadConsoleW(File, Wide, Units, &Typed, nullptr))
    return false;
  const std::string Text = detail::WideToPage(std::wstring_view(Wide, Typed), GetACP());
  Read = static_cast<DWORD>(Text.size() < Wanted ? Text.size() : Wanted);
  std::memcpy(Buffer, Text.data(), Read);
  return true;
}

int ReadBytes(TNativeHandle Handle, char* Buffer, std::size_t Size, std::size_t& Got) {
  Got = 0;
  HANDLE File = ToWin(Handle);
  const DWORD Wanted = static_cast<DWORD>(Size < MaxTransfer ? Size : MaxTransfer);
  const detail::TCancellableCall Call(File, true);
  const bool Console = IsConsole(File);
  for (;;) {
    // Nothing read after a signal is processed: stop before waiting for it.
    if (detail::SignalNoted())
      return feInterrupted;
    DWORD Read = 0;
    SetLastError(ERROR_SUCCESS);
    const bool Ok = Console ? ReadConsoleText(File, Buffer, Wanted, Read)
                            : ReadFile(File, Buffer, Wanted, &Read, nullptr) != 0;
    const DWORD Error = Ok && Read > 0 ? ERROR_SUCCESS : GetLastError();
    // Cancelled by the control handler, or a console read that Ctrl-C ended
    // (it may come back before the handler has run).
    if (Error == ERROR_OPERATION_ABORTED) {
      if (detail::SignalArrives())
        return feInterrupted;
      continue;
    }
    if (detail::SignalNoted())
      return feInterrupted;
    // A pipe whose writer has finished reports its end this way.
    if (!Ok)
      return Error == ERROR_BROKEN_PIPE || Error == ERROR_HANDLE_EOF ? 0 : MapError(Error);
    // Ctrl-Z typed first on a console line ends the input there.
    if (Read > 0 && Buffer[0] == '\x1A' && Console)
      Read = 0;
    Got = Read;
    return 0;
  }
}

// A synchronous handle serializes positioned reads from several threads;
// each names its own offset, so none depends on the file pointer it moves.
int ReadBytesAt(TNativeHandle Handle, std::uint64_t Offset, char* Buffer, std::size_t Size,
                std::size_t& Got) {
  Got = 0;
  while (Got < Size) {
    OVERLAPPED At{};
    At.Offset = static_cast<DWORD>(Offset + Got);
    At.OffsetHigh = static_cast<DWORD>((Offset + Got) >> 32);
    DWORD Read = 0;
    const DWORD Wanted = static_cast<DWORD>(Size - Got < MaxTransfer ? Size - Got : MaxTransfer);
    if (!ReadFile(ToWin(Handle), Buffer + Got, Wanted, &Read, &At)) {
      const DWORD Error = GetLastError();
      return Error == ERROR_HANDLE_EOF ? 0 : MapError(Error);
    }
    if (Read == 0)
      return 0;
    Got += Read;
  }
  return 0;
}

// Windows reports a pipe without a reader as ERROR_NO_DATA (anonymous pipe)
// or ERROR_BROKEN_PIPE; a named pipe whose server went away, and Wine for
// any pipe, as ERROR_PIPE_NOT_CONNECTED.
static bool IsClosedPipeError(DWORD Error) {
  return Error == ERROR_NO_DATA || Error == ERROR_BROKEN_PIPE || Error == ERROR_PIPE_NOT_CONNECTED;
}

static bool IsStandardOutput(HANDLE Handle) {
  HANDLE Out = GetStdHandle(STD_OUTPUT_HANDLE);
  return Out != nullptr && Out != INVALID_HANDLE_VALUE && Out == Handle;
}

int WriteBytes(TNativeHandle Handle, const char* Data, std::size_t Size) {
  HANDLE File = ToWin(Handle);
  const detail::TCancellableCall Call(File, false);
  while (Size > 0) {
    DWORD Written = 0;
    const DWORD Chunk = static_cast<DWORD>(Size < MaxTransfer ? Size : MaxTransfer);
    if (!WriteFile(File, Data, Chunk, &Written, nullptr)) {
      DWORD Error = GetLastError();
      if (Error == ERROR_OPERATION_ABORTED && detail::SignalNoted())
        return feInterrupted;
      // The reader of standard output has gone (a pager that quit, "| head"):
      // end at once and quietly, with nothing more written anywhere.
      if (IsClosedPipeError(Error) && IsStandardOutput(File))
        ExitProcess(ClosedPipeExitCode);
      return MapError(Error);
    }
    // Success with nothing written would loop for ever; a full medium is the
    // one plausible cause.
    if (Written == 0)
      return feDiskFull;
    Data += Written;
    Size -= Written;
  }
  return 0;
}

int CloseHandle(TNativeHandle Handle) {
  if (Handle == InvalidHandle)
    return feInvalidHandle;
  return ::CloseHandle(ToWin(Handle)) ? 0 : LastError();
}

TNativeHandle StandardInput() {
  return FromWin(GetStdHandle(STD_INPUT_HANDLE));
}

TNativeHandle StandardOutput() {
  return FromWin(GetStdHandle(STD_OUTPUT_HANDLE));
}

TNativeHandle StandardError() {
  return FromWin(GetStdHandle(STD_ERROR_HANDLE));
}

bool IsTerminal(TNativeHandle Handle) {
  DWORD Mode = 0;
  return Handle != InvalidHandle && GetConsoleMode(ToWin(Handle), &Mode) != 0;
}

}  // namespace vellary::platform
