// Win32 names and the wide command line: the command line split as the C
// runtime splits it, before any conversion; file names kept as WTF-8 (UTF-8
// that also carries the unpaired surrogates a Windows name may hold), so that
// a name reaches the wide (-W) calls exactly as it came; texts converted to a
// code page without best fit; long paths given the \\?\ form.
#include "platform/platform.h"

#include "platform/win32_internal.h"

#include <limits>
#include <string>

namespace vellary::platform {

// ---- WTF-8 <-> UTF-16 ------------------------------------------------------

std::string detail::NameFromWide(std::wstring_view Wide) {
  std::string Name;
  Name.reserve(Wide.size());
  for (std::size_t I = 0; I < Wide.size(); ++I) {
    char32_t Cp = static_cast<char16_t>(Wide[I]);
    if (Cp >= 0xD800 && Cp <= 0xDBFF && I + 1 < Wide.size()) {
      const char32_t Low = static_cast<char16_t>(Wide[I + 1]);
      if (Low >= 0xDC00 && Low <= 0xDFFF) {
        Cp = 0x10000 + ((Cp - 0xD800) << 10) + (Low - 0xDC00);
        ++I;
      }
    }
    if (Cp < 0x80) {
      Name += static_cast<char>(Cp);
    } else if (Cp < 0x800) {
      Name += static_cast<char>(0xC0 | (Cp >> 6));
      Name += static_cast<char>(0x80 | (Cp & 0x3F));
    } else if (Cp < 0x10000) {
      Name += static_cast<char>(0xE0 | (Cp >> 12));
      Name += static_cast<char>(0x80 | ((Cp >> 6) & 0x3F));
      Name += static_cast<char>(0x80 | (Cp & 0x3F));
    } else {
      Name += static_cast<char>(0xF0 | (Cp >> 18));
      Name += static_cast<char>(0x80 | ((Cp >> 12) & 0x3F));
      Name += static_cast<char>(0x80 | ((Cp >> 6) & 0x3F));
      Name += static_cast<char>(0x80 | (Cp & 0x3F));
    }
  }
  return Name;
}

std::wstring detail::WideFromName(std::string_view Name) {
  std::wstring Wide;
  Wide.reserve(Name.size());
  const auto* P = reinterpret_cast<const unsigned char*>(Name.data());
  const std::size_t N = Name.size();
  for (std::size_t I = 0; I < N;) {
    const unsigned Lead = P[I];
    std::size_t Length = Lead < 0x80 ? 1 : Lead >= 0xF0 && Lead <= 0xF4 ? 4 : Lead >= 0xE0 ? 3
                                           : Lead >= 0xC2 && Lead < 0xE0 ? 2 : 0;
    char32_t Cp = Length == 1 ? Lead : Length == 2 ? Lead & 0x1F : Length == 3 ? Lead & 0x0F : Lead & 0x07;
    bool Ok = Length > 0 && I + Length <= N;
    for (std::size_t K = 1; Ok && K < Length; ++K) {
      Ok = (P[I + K] & 0xC0) == 0x80;
      Cp = (Cp << 6) | (P[I + K] & 0x3F);
    }
    Ok = Ok && Cp <= 0x10FFFF && (Length < 3 || Cp >= (Length == 3 ? 0x800u : 0x10000u));
    if (!Ok) {
      // Not from NameFromWide: the byte stands for the Latin-1 character.
      Wide += static_cast<wchar_t>(Lead);
      ++I;
      continue;
    }
    if (Cp >= 0x10000) {
      Wide += static_cast<wchar_t>(0xD800 + ((Cp - 0x10000) >> 10));
      Wide += static_cast<wchar_t>(0xDC00 + ((Cp - 0x10000) & 0x3FF));
    } else {
      Wide += static_cast<wchar_t>(Cp);  // an unpaired surrogate comes back as it went
    }
    I += Length;
  }
  return Wide;
}

// ---- Wide text into a code page, without best fit -------------------------

std::string detail::WideToPage(std::wstring_view Wide, UINT CodePage) {
  if (Wide.empty() || Wide.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    return std::string();
  const int Units = static_cast<int>(Wide.size());
  // UTF-8 and UTF-7 take no flags; a few other pages refuse this one.
  DWORD Flags = CodePage == CP_UTF8 || CodePage == CP_UTF7 ? 0 : WC_NO_BEST_FIT_CHARS;
  int Needed = WideCharToMultiByte(CodePage, Flags, Wide.data(), Units, nullptr, 0, nullptr, nullptr);
  if (Needed <= 0 && Flags != 0 && GetLastError() == ERROR_INVALID_FLAGS) {
    Flags = 0;
    Needed = WideCharToMultiByte(CodePage, Flags, Wide.data(), Units, nullptr, 0, nullptr, nullptr);
  }
  if (Needed <= 0)
    return std::string();
  std::string Text(static_cast<std::size_t>(Needed), '\0');
  WideCharToMultiByte(CodePage, Flags, Wide.data(), Units, Text.data(), Needed, nullptr, nullptr);
  return Text;
}

// ---- Long paths ------------------------------------------------------------

// Past this length (MAX_PATH less the 8.3 name a folder must leave room for)
// the system may refuse a plain path; the \\?\ form has no such limit.
static constexpr std::size_t PlainPathLimit = MAX_PATH - 12;

std::wstring detail::WidePath(const std::string& Name) {
  std::wstring Wide = WideFromName(Name);
  // Already in a form the system takes as it is (\\?\, \\.\, \??\).
  if (Wide.size() >= 4 && (Wide[0] == L'\\' || Wide[0] == L'/') &&
      (Wide[1] == L'\\' || Wide[1] == L'/' || Wide[1] == L'?') && (Wide[2] == L'?' || Wide[2] == L'.') &&
      (Wide[3] == L'\\' || Wide[3] == L'/'))
    return Wide;
  // A short name may still be long once the current folder is put before it.
  const DWORD Needed = GetFullPathNameW(Wide.c_str(), 0, nullptr, nullptr);
  if (Needed == 0 || Needed <= PlainPathLimit)
    return Wide;
  std::wstring Full(Needed, L'\0');
  const DWORD Length = GetFullPathNameW(Wide.c_str(), Needed, Full.data(), nullptr);
  if (Length == 0 || Length >= Needed)
    return Wide;
  Full.resize(Length);
  if (Full.size() >= 2 && Full[0] == L'\\' && Full[1] == L'\\')
    return L"\\\\?\\UNC" + Full.substr(1);  // \\server\share\... -> \\?\UNC\server\share\...
  return L"\\\\?\\" + Full;
}

// ---- The command line --------------------------------------------------------

// The C runtime's rules: the program's name ends at the first blank outside
// quotes, and quotes in it are only taken away. In an argument 2n
// backslashes before a quote are n backslashes and the quote opens or closes
// a quoted part, 2n+1 backslashes and a quote are n backslashes and a literal
// quote, "" inside a quoted part is a literal quote; other backslashes are
// themselves.
std::vector<std::wstring> detail::SplitCommandLine(const wchar_t* Line) {
  std::vector<std::wstring> Args;
  if (Line == nullptr)
    return Args;
  const wchar_t* P = Line;
  std::wstring Word;
  bool Quoted = false;
  for (; *P != L'\0'; ++P) {
    if (*P == L'"') {
      Quoted = !Quoted;
      continue;
    }
    if (!Quoted && (*P == L' ' || *P == L'\t'))
      break;
    Word += *P;
  }
  Args.push_back(Word);
  for (;;) {
    while (*P == L' ' || *P == L'\t')
      ++P;
    if (*P == L'\0')
      break;
    Word.clear();
    Quoted = false;
    for (;;) {
      std::size_t Backslashes = 0;
      while (*P == L'\\') {
        ++P;
        ++Backslashes;
      }
      bool Copy = true;
      if (*P == L'"') {
        if (Backslashes % 2 == 0) {
          if (Quoted && P[1] == L'"')
            ++P;  // "" in a quoted part
          else {
            Copy = false;
            Quoted = !Quoted;
          }
        }
        Backslashes /= 2;
      }
      Word.append(Backslashes, L'\\');
      if (*P == L'\0' || (!Quoted && (*P == L' ' || *P == L'\t')))
        break;
      if (Copy)
        Word += *P;
      ++P;
    }
    Args.push_back(Word);
  }
  return Args;
}

static std::vector<std::wstring> WideArguments() {
  std::vector<std::wstring> Args = detail::SplitCommandLine(GetCommandLineW());
  if (!Args.empty())
    Args.erase(Args.begin());
  return Args;
}

std::vector<std::string> ProgramArguments(int, char**) {
  std::vector<std::string> Args;
  for (const std::wstring& Arg : WideArguments())
    Args.push_back(detail::WideToPage(Arg, GetACP()));
  return Args;
}

std::vector<std::string> ProgramArgumentNames(int, char**) {
  std::vector<std::string> Names;
  for (const std::wstring& Arg : WideArguments())
    Names.push_back(detail::NameFromWide(Arg));
  return Names;
}

std::string RawCommandLine(int, char**) {
  const wchar_t* Line = GetCommandLineW();
  return Line != nullptr ? detail::WideToPage(Line, GetACP()) : std::string();
}

std::string NameAsText(const std::string& Name) {
  return detail::WideToPage(detail::WideFromName(Name), GetACP());
}

std::string NameInCodePage(const std::string& Name, TCodePage To) {
  return detail::WideToPage(detail::WideFromName(Name), To);
}

}  // namespace vellary::platform
