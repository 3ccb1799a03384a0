// The program's identity record, the banner and the build line.
#pragma once

#include <string>
#include <string_view>

namespace vellary::core {

struct TCoreState;

struct TFileVersionInfoRec {
  bool Supplied = false;
  std::string FileName;     // executable's file name with extension
  std::string BaseName;     // FileName without the extension: the program name
  std::string FileExt;      // extension with its dot, or empty
  std::string ShortTitle;   // BaseName v short version
  std::string FileTitle;    // FileName v full version
  std::string FullTitle;    // BaseName v full version
  std::string Spare8, Spare9, Spare10, Spare11, Spare12;
  std::string Description;
  std::string Spare14;
  std::string LegalNotice;
  std::string AuthorLine;
  std::string InfoSource;   // "File info supplied"
  std::string Spare18;
  std::string ExeFolder;    // folder of the executable, unquoted
};

// Build facts fixed when the program was built.
struct TBuildFacts {
  std::string BuildDate;      // "yyyy/mm/dd"
  std::string BuildDateTime;  // "yyyy/mm/dd hh:nn:ss"
  std::string Architecture;   // " x64"
  std::string Toolchain;      // " using GCC 12.2.0"
};

// Fills Info from the executable's full path and the program's constants.
void FillVersionInfo(TFileVersionInfoRec& Info, std::string_view ExePath,
                     std::string_view ShortVersion, std::string_view FullVersion,
                     std::string_view Description);

// The folder part of a path: no trailing separator, except a drive root's.
std::string ExeFolderOf(std::string_view ExePath);

// "dd mmm yyyy" from "yyyy/mm/dd..." with the regional month abbreviation.
std::string BannerDate(std::string_view BuildDate);
// "dd mmm yyyy @ hh:00:00" from "yyyy/mm/dd hh:nn:ss".
std::string BuildTimeText(std::string_view BuildDateTime);

// Banner (three lines and a blank line) and/or build line on standard error,
// at most once per run: does nothing once Core.BuildInfoShown is set.
void ShowBuildInfo(TCoreState& Core, const TFileVersionInfoRec& Info, bool BuildLine,
                   bool Banner);

}  // namespace vellary::core
