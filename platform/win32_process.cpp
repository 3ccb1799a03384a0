// The rest of the Win32 OS layer: process start-up, the command line and the
// executable's path, code pages and upper-casing, month names, the clock and
// the usable processors. Texts from the system come in the ANSI code page.
#include "platform/platform.h"

#include "platform/common.h"
#include "platform/win32_internal.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

#include <fcntl.h>
#include <io.h>

namespace vellary::platform {

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

std::string ExecutablePath(const char* Argv0) {
  // Long paths can exceed MAX_PATH; a full buffer means the path was cut.
  for (DWORD Size = MAX_PATH; Size <= 65536; Size *= 2) {
    std::wstring Path(Size, L'\0');
    DWORD Length = GetModuleFileNameW(nullptr, Path.data(), Size);
    if (Length == 0)
      break;
    if (Length < Size) {
      Path.resize(Length);
      return detail::WideToPage(Path, GetACP());
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

bool MultiByteTexts() {
  CPINFO Info{};
  const UINT Ansi = GetACP();
  return Ansi != CP_UTF8 && GetCPInfo(Ansi, &Info) && Info.MaxCharSize > 1;
}

// The length of the character at Text[At] in a code page: a UTF-8 sequence
// by its lead byte, a lead byte and the next in a double-byte page, else 1.
static std::size_t CharacterLength(std::string_view Text, std::size_t At, TCodePage CodePage) {
  const auto Lead = static_cast<unsigned char>(Text[At]);
  std::size_t Length = 1;
  if (CodePage == CP_UTF8)
    Length = Lead >= 0xF0 ? 4 : Lead >= 0xE0 ? 3 : Lead >= 0xC0 ? 2 : 1;
  else if (IsDBCSLeadByteEx(CodePage, Lead))
    Length = 2;
  return Length < Text.size() - At ? Length : Text.size() - At;
}

// Character by character, when the text holds bytes that decode to nothing
// (a stray lead byte, a raw byte a UTF-8 text kept): what converts is
// converted, every other byte is passed on as it is.
static void ConvertEachCharacter(std::string_view Text, TCodePage From, TCodePage To, std::string& Out) {
  std::string Run, Piece;
  std::size_t RunStart = 0, At = 0;
  auto FlushRun = [&](std::size_t End) {
    if (End > RunStart && TryConvert(Text.substr(RunStart, End - RunStart), From, To, Piece))
      Out.append(Piece);
    else
      Out.append(Text.substr(RunStart, End - RunStart));
  };
  Out.clear();
  while (At < Text.size()) {
    const std::size_t Length = CharacterLength(Text, At, From);
    const bool Ascii = static_cast<unsigned char>(Text[At]) < 0x80;
    if (Ascii || TryConvert(Text.substr(At, Length), From, CP_UTF8, Piece)) {
      At += Length;
      continue;
    }
    FlushRun(At);
    Out.append(Text.substr(At, 1));
    RunStart = ++At;
  }
  FlushRun(At);
}

void ConvertCodePage(std::string_view Text, TCodePage From, TCodePage To, std::string& Out) {
  if (From == To || Text.empty()) {
    Out.assign(Text);
    return;
  }
  if (TryConvert(Text, From, To, Out))
    return;
  CPINFO Info{};
  if (From == CP_UTF8 || (GetCPInfo(From, &Info) && Info.MaxCharSize == 2))
    ConvertEachCharacter(Text, From, To, Out);
  else
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

// With the ANSI code page 65001 (UTF-8 for worldwide language support) the
// cases per character of the user's locale, as the POSIX build gives them in
// a UTF-8 locale: one mapping of every code point up to U+1FFFF, those whose
// upper case is another single code point kept.
std::vector<std::pair<char32_t, char32_t>> Utf8UpperCases() {
  std::vector<std::pair<char32_t, char32_t>> Cases;
  if (GetACP() != CP_UTF8 && !MultiByteTexts())
    return Cases;
  constexpr char32_t Last = 0x1FFFF;
  std::wstring All;
  All.reserve(0x30000);
  for (char32_t Cp = 1; Cp <= Last; ++Cp) {
    if (Cp >= 0xD800 && Cp <= 0xDFFF)
      continue;
    if (Cp < 0x10000) {
      All += static_cast<wchar_t>(Cp);
    } else {
      All += static_cast<wchar_t>(0xD800 + ((Cp - 0x10000) >> 10));
      All += static_cast<wchar_t>(0xDC00 + ((Cp - 0x10000) & 0x3FF));
    }
  }
  std::wstring Upper(All.size(), L'\0');
  const int Units = static_cast<int>(All.size());
  // Simple case mapping keeps every code point in as many units.
  if (LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_UPPERCASE, All.data(), Units, Upper.data(), Units,
                    nullptr, nullptr, 0) != Units)
    return Cases;
  for (std::size_t I = 0; I < All.size();) {
    const bool Pair = All[I] >= 0xD800 && All[I] <= 0xDBFF;
    const auto Decode = [&](const std::wstring& Text) {
      return Pair ? 0x10000 + ((static_cast<char32_t>(Text[I]) - 0xD800) << 10) +
                        (static_cast<char32_t>(Text[I + 1]) - 0xDC00)
                  : static_cast<char32_t>(Text[I]);
    };
    const bool UpperPair = Upper[I] >= 0xD800 && Upper[I] <= 0xDBFF;
    if (Pair == UpperPair && (!Pair || (Upper[I + 1] >= 0xDC00 && Upper[I + 1] <= 0xDFFF)) &&
        !(Upper[I] >= 0xDC00 && Upper[I] <= 0xDFFF)) {
      const char32_t From = Decode(All), To = Decode(Upper);
      if (From != To)
        Cases.emplace_back(From, To);
    }
    I += Pair ? 2 : 1;
  }
  return Cases;
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

// ---- Processors --------------------------------------------------------------

std::uint64_t AddressSpaceLeft() {
  // A job object's limit is not looked at: a 64-bit process has room.
  return UINT64_MAX;
}

unsigned UsableProcessors() {
  DWORD_PTR Process = 0, System = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &Process, &System) && Process != 0)
    return static_cast<unsigned>(std::popcount(static_cast<std::uint64_t>(Process)));
  return 1;
}

}  // namespace vellary::platform
