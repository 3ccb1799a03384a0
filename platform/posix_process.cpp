// The rest of the POSIX OS layer: process start-up and the executable's
// path, the locale's charset and upper-casing, month names, the clock, the
// usable processors and sleeping.
#include "platform/platform.h"

#include "platform/common.h"
#include "platform/posix_internal.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <ctime>
#include <cwctype>
#include <thread>

#include <iconv.h>
#include <pthread.h>
#include <langinfo.h>
#include <sched.h>
#include <strings.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellary::platform {

// ---- Process ---------------------------------------------------------------

// The helper threads of the input feed recurse nowhere: a stack of the
// default size (8 MiB, and kept reserved after the thread ends) would cost
// more address space than their blocks, where the address space is limited.
static constexpr std::size_t HelperStackBytes = 1u << 20;

void InitProcess() {
  detail::EnsureStandardDescriptors();
  std::setlocale(LC_CTYPE, "");
  std::setlocale(LC_TIME, "");
#ifdef __GLIBC__
  pthread_attr_t Attributes;
  if (::pthread_attr_init(&Attributes) == 0) {
    if (::pthread_attr_setstacksize(&Attributes, HelperStackBytes) == 0)
      (void)::pthread_setattr_default_np(&Attributes);
    ::pthread_attr_destroy(&Attributes);
  }
#endif
}

static void AppendQuotedIfNeeded(std::string& Out, std::string_view Arg) {
  bool Quote = Arg.empty() || Arg.find_first_of(" ;") != std::string_view::npos;
  if (Quote)
    Out += '"';
  Out.append(Arg);
  if (Quote)
    Out += '"';
}

std::vector<std::string> ProgramArguments(int Argc, char** Argv) {
  std::vector<std::string> Args;
  for (int I = 1; I < Argc; ++I)
    Args.emplace_back(Argv[I] != nullptr ? Argv[I] : "");
  return Args;
}

// Names and texts are the same bytes in the locale's charset.
std::vector<std::string> ProgramArgumentNames(int Argc, char** Argv) {
  return ProgramArguments(Argc, Argv);
}

std::string NameAsText(const std::string& Name) {
  return Name;
}

std::string NameInCodePage(const std::string& Name, TCodePage To) {
  std::string Out;
  ConvertCodePage(Name, AnsiCodePage(), To, Out);
  return Out;
}

// Here rather than in posix_files.cpp: the one call on a handle this layer
// adds for the Windows names work.
int FileSize(TNativeHandle Handle, std::uint64_t& Size) {
  struct stat Info {};
  Size = 0;
  if (::fstat(static_cast<int>(Handle), &Info) != 0)
    return errno;
  Size = static_cast<std::uint64_t>(Info.st_size);
  return 0;
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
  return detail::ExecutablePathVia("/proc/self/exe", Argv0);
}

std::string detail::ExecutablePathVia(const char* SelfLink, const char* Argv0) {
  std::string Link(256, '\0');
  while (true) {
    ssize_t Got = ::readlink(SelfLink, Link.data(), Link.size());
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

bool MultiByteTexts() {
  return MB_CUR_MAX > 1 && AnsiCodePage() != CpUtf8;
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
  if (MB_CUR_MAX <= 1)
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

// ---- Time ------------------------------------------------------------------

TLocalDateTime LocalNow() {
  std::time_t Now = std::time(nullptr);
  struct tm Parts {};
  if (::localtime_r(&Now, &Parts) == nullptr)
    return TLocalDateTime{};
  return TLocalDateTime{Parts.tm_year + 1900, Parts.tm_mon + 1, Parts.tm_mday,
                        Parts.tm_hour,        Parts.tm_min,     Parts.tm_sec};
}

bool SleepMilliseconds(unsigned Milliseconds) {
  struct timespec Left {};
  Left.tv_sec = static_cast<time_t>(Milliseconds / 1000);
  Left.tv_nsec = static_cast<long>(Milliseconds % 1000) * 1000000L;
  while (PendingTerminationSignal() == 0) {
    if (::nanosleep(&Left, &Left) == 0 || errno != EINTR)
      return true;
  }
  return false;
}

// ---- Processors --------------------------------------------------------------

std::uint64_t AddressSpaceLeft() {
  struct rlimit Limit {};
  if (::getrlimit(RLIMIT_AS, &Limit) != 0 || Limit.rlim_cur == RLIM_INFINITY)
    return UINT64_MAX;
  // What is taken already: the first figure of statm, in pages.
  std::uint64_t Pages = 0;
  if (std::FILE* Statm = std::fopen("/proc/self/statm", "r")) {
    unsigned long long Read = 0;
    if (std::fscanf(Statm, "%llu", &Read) == 1)
      Pages = Read;
    std::fclose(Statm);
  }
  const std::uint64_t Taken = Pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
  return Limit.rlim_cur > Taken ? Limit.rlim_cur - Taken : 0;
}

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

}  // namespace vellary::platform
