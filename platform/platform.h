// The operating-system layer: every call into POSIX or Win32 goes through the
// functions declared here. The posix_*.cpp files and the win32_*.cpp files
// each implement them and the build compiles one of the two sets, beside
// common.cpp and build_target.cpp for what is the same everywhere. No system
// header leaks out of this file.
//
// Error numbers: every failing file operation returns one of the program's
// file error codes (TFileError below) or, for a failure without a code of its
// own, the OS number. 0 is success.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vellary::platform {

// A file or standard handle: a descriptor on POSIX, a HANDLE on Windows.
using TNativeHandle = std::intptr_t;
inline constexpr TNativeHandle InvalidHandle = -1;

// ---- Process ------------------------------------------------------------

// A code page identifier (see Text below).
using TCodePage = unsigned;

// Called first thing in main: locale for character classes and month names,
// binary standard handles, whatever else the platform needs before anything
// is read or written.
void InitProcess();

// The arguments after the program's name, as texts. On Windows the wide
// command line split by the C runtime's rules, each argument then converted
// to the ANSI code page without best fit (a character the page cannot hold
// is its default character, never a look-alike such as "-" or "/").
std::vector<std::string> ProgramArguments(int Argc, char** Argv);
// The same arguments in the form file names are kept in: on Windows WTF-8
// (UTF-8, unpaired surrogates kept) of the wide arguments, which every file
// call below takes back to UTF-16 unchanged; on POSIX the bytes as given.
std::vector<std::string> ProgramArgumentNames(int Argc, char** Argv);
// A file name (in the form above) as a text in the ANSI code page, for
// messages: on Windows what the page cannot hold is its default character.
std::string NameAsText(const std::string& Name);
// A file name in code page To, as well as that page can hold it.
std::string NameInCodePage(const std::string& Name, TCodePage To);

// The command line as typed. Windows hands over the raw text; POSIX has none,
// so argv[0] and every argument are joined by single blanks, each one that is
// empty or holds a blank or ";" written between double quotes.
std::string RawCommandLine(int Argc, char** Argv);

// Full path of the running executable (falls back to argv[0] resolved against
// the current folder and PATH when the system cannot say).
std::string ExecutablePath(const char* Argv0);

// " x64", " x86", " arm64", ... for the target this binary was built for.
std::string ArchitectureSuffix();

// " using " + compiler name and version, e.g. " using GCC 12.2.0".
std::string ToolchainText();

// ---- Text ----------------------------------------------------------------

// Code page identifiers. Utf8 is 65001 everywhere; on POSIX LocaleCharset
// stands for the single-byte charset of the user's locale. Windows returns
// its own code page numbers and never LocaleCharset.
inline constexpr TCodePage CpUtf8 = 65001;
inline constexpr TCodePage CpLocaleCharset = 1;

// The code page that input text and option values are taken to be in. On
// POSIX the charset of the user's locale: Utf8 when it is UTF-8 or ASCII
// (the C locale), so bytes pass unchanged, otherwise LocaleCharset.
TCodePage AnsiCodePage();
// The code page of standard output and standard error (on POSIX the same as
// AnsiCodePage: the terminal speaks the locale's charset).
TCodePage ConsoleOutputCodePage();
// True when the code page writes ASCII text as ASCII bytes and no ASCII
// byte is part of another character, so that such text needs no conversion
// (false for UTF-7, the EBCDIC pages and the escape-shifted ones).
bool AsciiCompatible(TCodePage CodePage);
// True when the texts' code page (the ANSI code page on Windows, the locale's
// charset on POSIX) has characters of more than one byte and is not UTF-8:
// 932, 936, 949, 950; GBK, Big5, Big5-HKSCS, GB18030, EUC-JP, ... There a
// later byte of a character may be ASCII, so a run works on its texts
// converted to UTF-8 (see app/utf8_texts.h).
bool MultiByteTexts();
// Converts Text from one code page to another into Out (replacing Out's
// content). Bytes that cannot be converted are passed on unchanged.
void ConvertCodePage(std::string_view Text, TCodePage From, TCodePage To, std::string& Out);

// The system's single-byte upper-casing, as a table: Upper[b] is the upper
// case of byte b in the ANSI code page. Built once; never called per byte.
// In a multibyte locale (UTF-8) only a..z change; bytes above 127 map to
// themselves.
using TUpperTable = std::array<unsigned char, 256>;
TUpperTable BuildUpperTable();

// In a locale whose charset is UTF-8, or one of MultiByteTexts, every code
// point whose simple upper case (the C library's towupper in the user's
// locale) differs from it, with that upper case, in ascending order. On
// Windows the same with the ANSI code page 65001 or a MultiByteTexts one
// (the user's locale's upper case). Empty everywhere else, where
// upper-casing stays per byte.
std::vector<std::pair<char32_t, char32_t>> Utf8UpperCases();

// The user's regional abbreviated month name, Month 1..12; the English
// "Jan".."Dec" where the system has none, empty for a Month out of range.
std::string MonthAbbreviation(int Month);

struct TLocalDateTime {
  int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};
TLocalDateTime LocalNow();

// ---- Files ---------------------------------------------------------------

// The program's file error codes. The numbers are part of what the user sees
// ("Unknown Run-Time error : 150"), so each keeps its value. Every code up to
// feInvalidInput has a fixed text of its own. On POSIX an errno with no code
// of its own that equals one of those (ENXIO 6, ECONNRESET 104, ...) is
// reported as feGeneralFailure, so that it never borrows that text.
enum TFileError : int {
  // Opening a file (feInvalidFilename also when the folder part does not
  // exist); Windows reports these under the same numbers.
  feFileNotFound = 2, feInvalidFilename = 3, feTooManyOpenFiles = 4, feAccessDenied = 5,
  feInvalidHandle = 6, feInvalidDrive = 15,
  // Reading and writing.
  feReadPastEnd = 100, feDiskFull = 101, feFileNotAssigned = 102, feFileNotOpen = 103,
  feNotOpenForInput = 104, feNotOpenForOutput = 105, feInvalidInput = 106,
  // A device error is the base plus the device's error number, from write
  // protect (19) to general failure (31).
  feDeviceErrorBase = 131,
  feWriteProtected = feDeviceErrorBase + 19, feGeneralFailure = feDeviceErrorBase + 31,
  // Never shown: a read or write cut short by a termination signal (see
  // CatchTerminationSignals); the run then ends by that signal.
  feInterrupted = -1,
  // Memory ran out while a file was processed: shown as "Out of memory".
  feOutOfMemory = -2,
};

// File names are in the form ProgramArgumentNames gives.

// True when Name denotes an existing file that is not a folder (devices and
// pipes count as files).
bool FileExistsAt(const std::string& Name);

// True when both names denote the same regular file (same device and inode on
// POSIX, same volume and file index on Windows). Devices and terminals are
// never the same file; a name that does not exist is never the same file.
bool SameRegularFile(const std::string& A, const std::string& B);

// True when Handle is open on the regular file that Name denotes (the same
// identity as SameRegularFile).
bool SameRegularFileAs(const std::string& Name, TNativeHandle Handle);
// True when both handles are open on one regular file (the same identity).
bool SameRegularFileHandles(TNativeHandle A, TNativeHandle B);

// True when a read from Handle may wait for input to arrive: a pipe, FIFO,
// socket, terminal or other character device. False for regular files.
bool ReadMayWait(TNativeHandle Handle);

// True when a read from Handle would wait now: nothing has arrived yet and
// the writer is still there. False for regular files.
bool ReadWouldWait(TNativeHandle Handle);

// The size of the open file, or an error.
[[nodiscard]] int FileSize(TNativeHandle Handle, std::uint64_t& Size);

// Opens an existing file for reading, sharing reading, writing, renaming and
// deleting with others (a live log may be rotated while it is read).
// A missing file is feFileNotFound, a name whose folder part does not exist
// feInvalidFilename.
[[nodiscard]] int OpenForReading(const std::string& Name, TNativeHandle& Handle);
// Opens standard input for reading: a duplicate of its handle, so that
// closing it leaves standard input itself open. It may be a pipe, a file or
// the console/terminal, where typed lines come as they are entered and
// Ctrl-Z Enter (Windows) or Ctrl-D (POSIX) ends them. feInvalidHandle when
// the process was started without standard input (Windows; POSIX gives it
// an empty one).
[[nodiscard]] int OpenStandardInput(TNativeHandle& Handle);
// Creates a file, or empties it when it exists, for writing; others may read.
// A name whose folder part does not exist is feInvalidFilename, a folder as
// the name feAccessDenied.
[[nodiscard]] int CreateForWriting(const std::string& Name, TNativeHandle& Handle);
// Reads up to Size bytes; Got 0 means the end of the file (also for a pipe
// whose writer has gone, and Ctrl-Z Enter or Ctrl-D typed at a console or
// terminal). A termination signal noted before the read or while it waits
// ends it with feInterrupted (see CatchTerminationSignals); a descriptor in
// non-blocking mode is waited for.
[[nodiscard]] int ReadBytes(TNativeHandle Handle, char* Buffer, std::size_t Size, std::size_t& Got);
// Reads up to Size bytes of a file from Offset, fewer only at its end, and
// leaves nothing another thread's positioned read depends on: several
// threads may read one handle at once.
[[nodiscard]] int ReadBytesAt(TNativeHandle Handle, std::uint64_t Offset, char* Buffer, std::size_t Size,
                              std::size_t& Got);
// Writes all Size bytes (looping over short writes). Once a termination
// signal is noted it writes only what needs no wait (into a file, or what a
// pipe or terminal has room for) and gives feInterrupted for the rest, so
// that a reader that has stopped cannot hold the run. On Windows a write to
// standard output whose reader has gone (closed pipe) ends the process at
// once with exit code 141, as SIGPIPE ends a POSIX tool. On POSIX a write to
// standard output that was closed when the process started is
// feInvalidHandle: the text would go nowhere.
[[nodiscard]] int WriteBytes(TNativeHandle Handle, const char* Data, std::size_t Size);
// Closes the handle; a failure the system reports (a delayed write error,
// for one) is returned.
[[nodiscard]] int CloseHandle(TNativeHandle Handle);

// Standard input, as it is (not a duplicate); InvalidHandle when there is none.
TNativeHandle StandardInput();
TNativeHandle StandardOutput();
TNativeHandle StandardError();
bool IsTerminal(TNativeHandle Handle);

// ---- Termination signals -------------------------------------------------

// From this call on, SIGINT, SIGTERM and SIGHUP (unless ignored when the
// process started) only note that they arrived and cut a blocked read or
// write short, so that the run can write every whole line it has processed
// before EndBySignal. Called by the thread that writes the output.
// On Windows a console control handler does the same on a thread of its own:
// Ctrl-C is noted as SIGINT (2), Ctrl-Break as SIGTERM (15), the console
// closing, logoff and shutdown as SIGHUP (1). It cancels a read or write the
// calling thread is blocked in (where the system lets it: Wine 8 does not,
// and such a read then ends when its next bytes or its end arrive), and after
// any read on that thread the signal is reported. On a close it holds the
// system off for a few seconds, so that the run can write what it has.
void CatchTerminationSignals();
// The termination signal that arrived, or 0.
int PendingTerminationSignal();
// Ends the process as Signal would have: status 128 + Signal to a POSIX
// shell; on Windows STATUS_CONTROL_C_EXIT for every signal, the status of a
// console program that Ctrl-C ended.
[[noreturn]] void EndBySignal(int Signal);
// Blocks SIGINT, SIGTERM and SIGHUP in the calling thread, so that threads it
// starts afterwards inherit the block from their first instruction and the
// signals reach only the thread that writes the output.
void HoldTerminationSignals();
// Undoes HoldTerminationSignals in the calling thread: a signal that arrived
// meanwhile is delivered now, before this returns. One that was already
// blocked before the hold stays blocked. No-ops on Windows.
void ReleaseTerminationSignals();

// ---- Processors ----------------------------------------------------------

// How many processors this process may run on (fewer than the machine has
// when its affinity is restricted); at least 1.
unsigned UsableProcessors();

// Bytes of address space the process may still take before a limit set on
// it (ulimit -v) refuses more; the largest value when there is no limit.
std::uint64_t AddressSpaceLeft();

// ---- Console keyboard, sleep, alert --------------------------------------

// Opens keyboard input for the timed pause: the controlling terminal on
// POSIX (non-canonical, no echo, typed-ahead input discarded), CONIN$ on
// Windows. False when there is no keyboard; KeyWaiting then answers false.
// The terminal's settings are restored by CloseKeyboard, and also by any
// catchable signal whose default ends the process while it is open (then the
// signal is delivered again with its default action). A stop (Ctrl-Z)
// restores them first too, and a continue puts the pause's mode back.
bool OpenKeyboard();
// True when a key event is waiting; does not remove it and never blocks.
bool KeyWaiting();
// Discards waiting input and restores the keyboard's settings.
void CloseKeyboard();

// Sleeps, and returns true, unless a termination signal caught for the run
// (CatchTerminationSignals) is pending or arrives meanwhile: then returns
// false at once, and the caller decides how the run ends. Other signals
// (a stop and continue, say) do not shorten the sleep.
[[nodiscard]] bool SleepMilliseconds(unsigned Milliseconds);

// The system's default alert: the terminal bell written to the controlling
// terminal (never into a redirected standard error) on POSIX, MessageBeep on
// Windows (a system sound, played with or without a console). On POSIX
// nothing when there is no terminal.
void SoundAlert();

}  // namespace vellary::platform
