// Win32 implementation of the OS layer: ANSI (-A) entry points throughout,
// since every text the program handles is a byte string in the ANSI code page.
#include "platform/platform.h"

#include "platform/common.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX  // libstdc++ for mingw defines it already
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

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

// ---- Process ---------------------------------------------------------------

static void SetBinary(std::FILE* Stream) {
  // Without a console or redirection the CRT stream has no descriptor.
  int Descriptor = _fileno(Stream);
  if (Descriptor >= 0)
    (void)_setmode(Descriptor, _O_BINARY);
}

void InitProcess() {
  // Records carry their own CR LF and byte 26 is data, so no CRT text mode
  // may touch them (only the out-of-memory message goes through the CRT).
  SetBinary(stdin);
  SetBinary(stdout);
  SetBinary(stderr);
  // An empty drive or a missing network share must come back as an error
  // number, not as a modal dialog box in front of a console tool.
  UINT Mode = SetErrorMode(0);
  SetErrorMode(Mode | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

std::string RawCommandLine(int, char**) {
  const char* Line = GetCommandLineA();
  return Line != nullptr ? std::string(Line) : std::string();
}

std::string ExecutablePath(const char* Argv0) {
  // Long paths can exceed MAX_PATH; a full buffer means the path was cut.
  for (DWORD Size = MAX_PATH; Size <= 65536; Size *= 2) {
    std::string Path(Size, '\0');
    DWORD Length = GetModuleFileNameA(nullptr, Path.data(), Size);
    if (Length == 0)
      break;
    if (Length < Size) {
      Path.resize(Length);
      return Path;
    }
  }
  std::string Name = Argv0 != nullptr ? Argv0 : "";
  char Full[MAX_PATH];
  DWORD Length = GetFullPathNameA(Name.c_str(), MAX_PATH, Full, nullptr);
  if (Length > 0 && Length < MAX_PATH)
    return std::string(Full, Length);
  return Name;
}

// ---- Text ------------------------------------------------------------------

TCodePage AnsiCodePage() {
  return GetACP();
}

TCodePage ConsoleOutputCodePage() {
  // 0 means the process has no console; the OEM code page is what a console
  // opened later, or a program reading the redirected output, would assume.
  UINT CodePage = GetConsoleOutputCP();
  return CodePage != 0 ? CodePage : GetOEMCP();
}

// Most records are short: convert through a stack buffer so that the output
// path allocates nothing per line.
static constexpr int StackWideChars = 2048;

// Converts Text from one code page to another into Out, through UTF-16;
// false when either step fails.
static bool TryConvert(std::string_view Text, TCodePage From, TCodePage To, std::string& Out) {
  if (Text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    return false;
  const int Bytes = static_cast<int>(Text.size());
  // Undecodable input (a stray lead byte in a double-byte page) fails the
  // conversion, so the bytes go out unchanged rather than as replacement marks.
  // A few stateful code pages refuse that flag and are decoded without it.
  DWORD Flags = MB_ERR_INVALID_CHARS;
  int Wide = MultiByteToWideChar(From, Flags, Text.data(), Bytes, nullptr, 0);
  if (Wide <= 0 && GetLastError() == ERROR_INVALID_FLAGS) {
    Flags = 0;
    Wide = MultiByteToWideChar(From, Flags, Text.data(), Bytes, nullptr, 0);
  }
  if (Wide <= 0)
    return false;
  wchar_t Stack[StackWideChars];
  std::wstring Heap;
  wchar_t* WideText = Stack;
  if (Wide > StackWideChars) {
    Heap.resize(static_cast<std::size_t>(Wide));
    WideText = Heap.data();
  }
  if (MultiByteToWideChar(From, Flags, Text.data(), Bytes, WideText, Wide) != Wide)
    return false;
  const int Needed = WideCharToMultiByte(To, 0, WideText, Wide, nullptr, 0, nullptr, nullptr);
  if (Needed <= 0)
    return false;
  Out.resize(static_cast<std::size_t>(Needed));
  return WideCharToMultiByte(To, 0, WideText, Wide, Out.data(), Needed, nullptr, nullptr) == Needed;
}

bool AsciiCompatible(TCodePage CodePage) {
  switch (CodePage) {
  case 37: case 500: case 870: case 875: case 1026: case 20273: case 20277: case 20278:
  case 20280: case 20284: case 20285: case 20290: case 20297: case 20420: case 20423:
  case 20424: case 20833: case 20838: case 20871: case 20880: case 20905: case 20924:
  case 21025:
    return false;  // EBCDIC
  case 50220: case 50221: case 50222: case 50225: case 50227: case 50229: case 52936:
  case 65000:
    return false;  // escape-shifted: ASCII bytes may stand for other characters
  default:
    // 1140-1149 are the EBCDIC pages with the euro sign.
    return CodePage < 1140 || CodePage > 1149;
  }
}

void ConvertCodePage(std::string_view Text, TCodePage From, TCodePage To, std::string& Out) {
  if (From == To || Text.empty() || !TryConvert(Text, From, To, Out))
    Out.assign(Text);
}

TUpperTable BuildUpperTable() {
  TUpperTable Upper{};
  // One byte at a time: in a double-byte ANSI code page a run of all 256
  // bytes would pair up into double-byte characters and fold as those.
  for (std::size_t Byte = 0; Byte < Upper.size(); ++Byte) {
    char Char = static_cast<char>(Byte);
    if (Byte != 0)
      (void)CharUpperBuffA(&Char, 1);
    Upper[Byte] = static_cast<unsigned char>(Char);
  }
  return Upper;
}

std::vector<std::pair<char32_t, char32_t>> Utf8UpperCases() {
  return {};
}

std::string detail::RegionalMonthAbbreviation(int Month) {
  char Name[80];
  const LCTYPE Type = LOCALE_SABBREVMONTHNAME1 + static_cast<LCTYPE>(Month - 1);
  int Length = GetLocaleInfoA(LOCALE_USER_DEFAULT, Type, Name, static_cast<int>(sizeof Name));
  // The length counts the closing NUL; 0 is a failure.
  if (Length <= 1)
    return std::string();
  return std::string(Name, static_cast<std::size_t>(Length - 1));
}

TLocalDateTime LocalNow() {
  SYSTEMTIME Now;
  GetLocalTime(&Now);
  return TLocalDateTime{.Year = Now.wYear,
                        .Month = Now.wMonth,
                        .Day = Now.wDay,
                        .Hour = Now.wHour,
                        .Minute = Now.wMinute,
                        .Second = Now.wSecond};
}

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

static bool SignalNoted() {
  return PendingSignal.load() != 0;
}

static bool SignalArrives() {
  if (SignalEvent != nullptr)
    (void)WaitForSingleObject(SignalEvent, HandlerWaitMilliseconds);
  return SignalNoted();
}

// Marks a read or write of the catching thread on a handle that may make it
// wait: a read from a pipe or the console, a write into a pipe. Disk and
// console writes complete on their own, and cancelling one could drop a line
// already processed.
class TCancellableCall {
public:
  TCancellableCall(HANDLE File, bool Reading)
      : Marked(CatchingThreadId.load() == GetCurrentThreadId() && MayWait(File, Reading)) {
    if (!Marked)
      return;
    AcquireSRWLockExclusive(&CallLock);
    InCall = true;
    ++CallNumber;
    ReleaseSRWLockExclusive(&CallLock);
  }
  ~TCancellableCall() {
    if (!Marked)
      return;
    AcquireSRWLockExclusive(&CallLock);
    InCall = false;
    ReleaseSRWLockExclusive(&CallLock);
  }
  TCancellableCall(const TCancellableCall&) = delete;
  TCancellableCall& operator=(const TCancellableCall&) = delete;

private:
  static bool MayWait(HANDLE File, bool Reading) {
    const DWORD Type = GetFileType(File);
    return Type == FILE_TYPE_PIPE || (Reading && Type == FILE_TYPE_CHAR);
  }
  const bool Marked;
};

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

// ---- Files -----------------------------------------------------------------

static bool HasWildcard(const std::string& Name) {
  return Name.find_first_of("*?") != std::string::npos;
}

bool FileExistsAt(const std::string& Name) {
  DWORD Attributes = GetFileAttributesA(Name.c_str());
  if (Attributes != INVALID_FILE_ATTRIBUTES)
    return (Attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  // A file held open without sharing (a live page file, a locked database)
  // still exists; its directory entry tells what it is, and opening it then
  // reports the sharing violation instead of "not found".
  if (GetLastError() != ERROR_SHARING_VIOLATION || HasWildcard(Name))
    return false;
  WIN32_FIND_DATAA Found;
  HANDLE Search = FindFirstFileA(Name.c_str(), &Found);
  if (Search == INVALID_HANDLE_VALUE)
    return false;
  FindClose(Search);
  return (Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Volume serial number and file index of a disk file; false for anything
// else (folders, devices, pipes, names that do not exist).
static bool DiskFileIdentity(const std::string& Name, BY_HANDLE_FILE_INFORMATION& Info) {
  HANDLE File = CreateFileA(Name.c_str(), FILE_READ_ATTRIBUTES,
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
  HANDLE File = CreateFileA(Name.c_str(), FILE_READ_ATTRIBUTES,
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

int OpenForReading(const std::string& Name, TNativeHandle& Handle) {
  HANDLE File = CreateFileA(Name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
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
  HANDLE File = CreateFileA(Name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
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

int ReadBytes(TNativeHandle Handle, char* Buffer, std::size_t Size, std::size_t& Got) {
  Got = 0;
  HANDLE File = ToWin(Handle);
  const DWORD Wanted = static_cast<DWORD>(Size < MaxTransfer ? Size : MaxTransfer);
  const TCancellableCall Call(File, true);
  for (;;) {
    // Nothing read after a signal is processed: stop before waiting for it.
    if (SignalNoted())
      return feInterrupted;
    DWORD Read = 0;
    SetLastError(ERROR_SUCCESS);
    const bool Ok = ReadFile(File, Buffer, Wanted, &Read, nullptr) != 0;
    const DWORD Error = Ok && Read > 0 ? ERROR_SUCCESS : GetLastError();
    // Cancelled by the control handler, or a console read that Ctrl-C ended
    // (it may come back before the handler has run).
    if (Error == ERROR_OPERATION_ABORTED) {
      if (SignalArrives())
        return feInterrupted;
      continue;
    }
    if (SignalNoted())
      return feInterrupted;
    // A pipe whose writer has finished reports its end this way.
    if (!Ok)
      return Error == ERROR_BROKEN_PIPE || Error == ERROR_HANDLE_EOF ? 0 : MapError(Error);
    // Ctrl-Z typed first on a console line ends the input there.
    if (Read > 0 && Buffer[0] == '\x1A' && IsConsole(File))
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
  const TCancellableCall Call(File, false);
  while (Size > 0) {
    DWORD Written = 0;
    const DWORD Chunk = static_cast<DWORD>(Size < MaxTransfer ? Size : MaxTransfer);
    if (!WriteFile(File, Data, Chunk, &Written, nullptr)) {
      DWORD Error = GetLastError();
      if (Error == ERROR_OPERATION_ABORTED && SignalNoted())
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

// ---- Processors --------------------------------------------------------------

unsigned UsableProcessors() {
  DWORD_PTR Process = 0, System = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &Process, &System) && Process != 0)
    return static_cast<unsigned>(std::popcount(static_cast<std::uint64_t>(Process)));
  return 1;
}

// ---- Console keyboard, sleep, alert ----------------------------------------

// The console input handle between OpenKeyboard and CloseKeyboard. The
// interface keeps no keyboard object, so the one open keyboard lives here.
static HANDLE Keyboard = INVALID_HANDLE_VALUE;

static bool IsKeyPress(const INPUT_RECORD& Record) {
  return Record.EventType == KEY_EVENT && Record.Event.KeyEvent.bKeyDown;
}

bool OpenKeyboard() {
  CloseKeyboard();
  HANDLE Input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (Input == INVALID_HANDLE_VALUE)
    return false;
  DWORD Mode = 0;
  if (!GetConsoleMode(Input, &Mode)) {
    ::CloseHandle(Input);
    return false;
  }
  FlushConsoleInputBuffer(Input);
  Keyboard = Input;
  return true;
}

bool KeyWaiting() {
  if (Keyboard == INVALID_HANDLE_VALUE)
    return false;
  INPUT_RECORD Records[64];
  // Mouse, focus, menu and resize events, and key releases (the Enter that
  // started the program is released after the buffer was emptied), are read
  // away from the front so they can never hide a key press behind them.
  // Bounded: a stream of mouse movement cannot keep the poll from returning.
  for (int Round = 0; Round < 16; ++Round) {
    DWORD Count = 0;
    if (!PeekConsoleInputA(Keyboard, Records, 64, &Count) || Count == 0)
      return false;
    DWORD Leading = 0;
    while (Leading < Count && !IsKeyPress(Records[Leading]))
      ++Leading;
    if (Leading > 0) {
      DWORD Discarded = 0;
      if (!ReadConsoleInputA(Keyboard, Records, Leading, &Discarded) || Discarded == 0)
        return false;
    }
    if (Leading < Count)
      return true;
  }
  return false;
}

void CloseKeyboard() {
  if (Keyboard == INVALID_HANDLE_VALUE)
    return;
  // The key that ended the pause must not reach the shell afterwards.
  FlushConsoleInputBuffer(Keyboard);
  ::CloseHandle(Keyboard);
  Keyboard = INVALID_HANDLE_VALUE;
}

bool SleepMilliseconds(unsigned Milliseconds) {
  if (SignalEvent == nullptr) {
    Sleep(Milliseconds);
    return PendingTerminationSignal() == 0;
  }
  return WaitForSingleObject(SignalEvent, Milliseconds) != WAIT_OBJECT_0;
}

void SoundAlert() {
  MessageBeep(MB_OK);
}

}  // namespace vellary::platform
