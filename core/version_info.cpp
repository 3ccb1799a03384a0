// The version record, filled from the executable's path and the program's
// constants, and the banner and build line printed from it.
#include "core/version_info.h"

#include "core/ascii.h"
#include "core/core_state.h"
#include "platform/platform.h"

#include <charconv>
#include <cstddef>

namespace vellary::core {

// Both the POSIX and the Windows build run this code, so both path
// separators are understood, and "X:" as a drive prefix.
static bool IsPathSeparator(char C) { return C == '/' || C == '\\'; }

static bool IsAsciiLetter(char C) { return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z'); }

// Only a colon right after a leading drive letter separates: elsewhere a
// colon is an ordinary character of a POSIX name.
static bool IsDriveSeparatorAt(std::string_view Path, std::size_t At) {
  return At == 1 && Path[1] == ':' && IsAsciiLetter(Path[0]);
}

static bool IsSeparatorAt(std::string_view Path, std::size_t At) {
  return IsPathSeparator(Path[At]) || IsDriveSeparatorAt(Path, At);
}

// Position just behind the last path or drive separator (0 when none).
static std::size_t FileNameStart(std::string_view Path) {
  for (std::size_t I = Path.size(); I > 0; --I) {
    if (IsSeparatorAt(Path, I - 1))
      return I;
  }
  return 0;
}

std::string ExeFolderOf(std::string_view ExePath) {
  std::size_t End = FileNameStart(ExePath);
  // A path separator behind an ordinary character is dropped; one that is the
  // whole root ("/", "C:\") or follows another separator stays.
  if (End > 1 && IsPathSeparator(ExePath[End - 1]) && !IsSeparatorAt(ExePath, End - 2))
    --End;
  return std::string(ExePath.substr(0, End));
}

// Text with every occurrence of Part removed, letter case ignored.
static std::string RemoveAllIgnoringCase(std::string_view Text, std::string_view Part) {
  if (Part.empty())
    return std::string(Text);
  std::string Result;
  std::size_t I = 0;
  while (I < Text.size()) {
    if (I + Part.size() <= Text.size() && EqualsIgnoringAsciiCase(Text.substr(I, Part.size()), Part)) {
      I += Part.size();
      continue;
    }
    Result.push_back(Text[I++]);
  }
  return Result;
}

void FillVersionInfo(TFileVersionInfoRec& Info, std::string_view ExePath,
                     std::string_view ShortVersion, std::string_view FullVersion,
                     std::string_view Description) {
  Info = TFileVersionInfoRec{};
  Info.ExeFolder = ExeFolderOf(ExePath);
  Info.FileName = std::string(ExePath.substr(FileNameStart(ExePath)));
  if (std::size_t Dot = Info.FileName.rfind('.'); Dot != std::string::npos)
    Info.FileExt = Info.FileName.substr(Dot);
  Info.BaseName = RemoveAllIgnoringCase(Info.FileName, Info.FileExt);
  Info.FileTitle = Info.FileName + " v" + std::string(FullVersion);
  Info.FullTitle = Info.BaseName + " v" + std::string(FullVersion);
  Info.ShortTitle = Info.BaseName + " v" + std::string(ShortVersion);
  Info.Description = std::string(Description);
  Info.LegalNotice = "Free software for console text display; provided as is, without warranty.";
  Info.AuthorLine = "Written by the Vellary developers; see the README for documentation.";
  Info.InfoSource = "File info supplied";
  Info.Supplied = true;
}

// The number in Text[From, From + Count), or -1 when it is not all digits.
static int NumberAt(std::string_view Text, std::size_t From, std::size_t Count) {
  if (From + Count > Text.size())
    return -1;
  int Value = 0;
  const char* First = Text.data() + From;
  auto [End, Error] = std::from_chars(First, First + Count, Value);
  return Error == std::errc{} && End == First + Count ? Value : -1;
}

std::string BannerDate(std::string_view BuildDate) {
  // The stamp is always year/month/day with "/", whatever the user's
  // regional date order; it is a build constant, so anything else is shown raw.
  int Year = NumberAt(BuildDate, 0, 4);
  int Month = NumberAt(BuildDate, 5, 2);
  int Day = NumberAt(BuildDate, 8, 2);
  if (Year < 0 || Month < 1 || Month > 12 || Day < 0 || BuildDate[4] != '/' || BuildDate[7] != '/')
    return std::string(BuildDate);
  return TwoDigits(Day) + " " + platform::MonthAbbreviation(Month) + " " +
         std::string(BuildDate.substr(0, 4));
}

std::string BuildTimeText(std::string_view BuildDateTime) {
  int Hour = NumberAt(BuildDateTime, 11, 2);
  // Minutes and seconds are never shown: builds of one hour read the same.
  std::string Time = Hour < 0 ? std::string("00") : TwoDigits(Hour);
  return BannerDate(BuildDateTime.substr(0, 10)) + " @ " + Time + ":00:00";
}

void ShowBuildInfo(TCoreState& Core, const TFileVersionInfoRec& Info, bool BuildLine,
                   bool Banner) {
  if (Core.BuildInfoShown)
    return;
  Core.BuildInfoShown = true;
  const TBuildFacts& Build = Core.Facts.Build;
  TTextOutput& Err = Core.Console.ConsoleErr();
  // Standard error has nowhere to report its own failure.
  if (Banner) {
    (void)Err.WriteRecord(Info.ShortTitle + Build.Architecture + " (" +
                          BannerDate(Build.BuildDate) + ") - " + Info.Description);
    (void)Err.WriteRecord(Info.LegalNotice);
    (void)Err.WriteRecord(Info.AuthorLine);
    (void)Err.WriteRecord("");
  }
  if (BuildLine) {
    (void)Err.WriteRecord(Info.FileTitle + Build.Architecture + " was compiled on " +
                          BuildTimeText(Build.BuildDateTime) + Build.Toolchain);
    if (Banner)
      (void)Err.WriteRecord("");
  }
}

}  // namespace vellary::core
