// What the Windows build does differently, run against the .exe under wine:
// code-page conversion on the way out, upper-casing through the ANSI code
// page, the "/" spellings of the help, and the program's name and folder as
// the executable's own path gives them. The checks of the name and the folder
// hold for the native build too and run on both, each with its platform's
// paths; the code-page checks are Windows only.
//
// Under wine the locale is C.UTF-8 (see the harness): the ANSI code page is
// 1252, the OEM code page 437, and arguments arrive as UTF-8: the program
// takes its option texts converted to 1252 (without best fit) and its file
// names as they are. Standard output and standard error are pipes,
// so the program has no console and writes them in the OEM code page.
#include "e2e/harness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace vellary::e2e;

namespace {

#define WINDOWS_ONLY() \
  if (!UnderWine())  \
  GTEST_SKIP() << "a Windows case (set VELLARY_RUNNER=wine and VELLARY_BIN to the .exe)"

std::string Include(const std::string& Name, const std::vector<std::string>& Args,
                    const std::string& Program) {
  return Crlf(ExpandProgramTokens(
      ReadFile(fs::path(VELLARY_SOURCE_DIR) / "tests" / "e2e" / "cases" / (Name + ".inc")), Args,
      Program));
}

// A help golden (written for a program named "Vellary") for another name.
std::string HelpGolden(const std::string& File, const std::string& ProgramName) {
  std::string Text = ReadFile(fs::path(VELLARY_SOURCE_DIR) / "tests" / "app" / "golden" / File);
  for (std::size_t At = 0; (At = Text.find("Vellary", At)) != std::string::npos;
       At += ProgramName.size())
    Text.replace(At, 7, ProgramName);
  return Text;
}

// The banner with another program name in its title line.
std::string Banner(const std::string& BaseName) {
  std::string Text = Include("banner", {}, ProgramPath());
  return BaseName + Text.substr(Text.find(' '));
}

// Input lines in code page 1252: e acute 0xE9, E acute 0xC9, e grave 0xE8.
constexpr char AccentedInput[] = "CAF\xC9 au lait\r\ncaf\xE9 cr\xE8me\r\ncafe noir\r\n";

TRunResult RunIn(const TScratchDir& Dir, const std::vector<std::string>& Args) {
  TRunOptions Options;
  Options.WorkDir = Dir.Path();
  return RunProgram(Args, Options);
}

}  // namespace

// ---- Code pages -------------------------------------------------------------

TEST(WindowsCodePages, StandardOutputIsConvertedToTheOemCodePage) {
  WINDOWS_ONLY();
  TScratchDir Dir;
  WriteFile(Dir / "menu.txt", AccentedInput);
  const TRunResult R = RunIn(Dir, {"menu.txt"});
  EXPECT_EQ(R.ExitCode, 0);
  // 1252 -> 437: 0xC9 -> 0x90, 0xE9 -> 0x82, 0xE8 -> 0x8A.
  EXPECT_EQ(R.Out, "CAF\x90 au lait\r\ncaf\x82 cr\x8Ame\r\ncafe noir\r\n");
  EXPECT_EQ(R.Err, "");
}

TEST(WindowsCodePages, OutputFileIsWrittenInUtf8) {
  WINDOWS_ONLY();
  TScratchDir Dir;
  WriteFile(Dir / "menu.txt", AccentedInput);
  const TRunResult R = RunIn(Dir, {"menu.txt", "-o", "out.txt", "-t"});
  EXPECT_EQ(R.ExitCode, 0);
  EXPECT_EQ(R.Out, "");
  EXPECT_EQ(R.Err, "");
  EXPECT_EQ(ReadFile(Dir / "out.txt"),
            "CAF\xC3\x89 au lait\r\ncaf\xC3\xA9 cr\xC3\xA8me\r\ncafe noir\r\n--- menu.txt: 3\r\n");
}

// A file name typed with an accent reaches the program in the ANSI code page,
// names the file on disk, and comes out on standard error in the OEM page.
TEST(WindowsCodePages, AccentedFileNameInTheTallyOnStandardError) {
  WINDOWS_ONLY();
  TScratchDir Dir;
  WriteFile(Dir / "caf\xC3\xA9.txt", "one\r\ntwo\r\n");  // the host's UTF-8 name
  const TRunResult R = RunIn(Dir, {"caf\xC3\xA9.txt", "-t"});
  EXPECT_EQ(R.ExitCode, 0);
  EXPECT_EQ(R.Out, "one\r\ntwo\r\n");
  EXPECT_EQ(R.Err, "--- caf\x82.txt: 2\r\n");
}

// ---- Letter case through the ANSI code page ---------------------------------

TEST(WindowsLetterCase, AccentedLettersFoldInCaseInsensitiveSearches) {
  WINDOWS_ONLY();
  struct TCase {
    std::vector<std::string> Args;
    std::string Expected;  // the -o file, UTF-8
  };
  const TCase Cases[] = {
      // e acute finds E acute and e acute, but not a plain e.
      {{"-f", "\xC3\xA9"}, "CAF\xC3\x89 au lait\r\ncaf\xC3\xA9 cr\xC3\xA8me\r\n"},
      // And E acute finds both the same way.
      {{"-f", "caf\xC3\x89"}, "CAF\xC3\x89 au lait\r\ncaf\xC3\xA9 cr\xC3\xA8me\r\n"},
      // -s keeps the letter case: only the exact byte matches.
      {{"-f", "\xC3\xA9", "-s"}, "caf\xC3\xA9 cr\xC3\xA8me\r\n"},
      // E grave (0xC8) folds with e grave (0xE8) in a skip list.
      {{"--sk", "CR\xC3\x88ME"}, "CAF\xC3\x89 au lait\r\ncafe noir\r\n"},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Args[1]);
    TScratchDir Dir;
    WriteFile(Dir / "menu.txt", AccentedInput);
    std::vector<std::string> Args = {"menu.txt", "-o", "out.txt"};
    Args.insert(Args.end(), C.Args.begin(), C.Args.end());
    const TRunResult R = RunIn(Dir, Args);
    EXPECT_EQ(R.ExitCode, 0);
    EXPECT_EQ(R.Err, "");
    EXPECT_EQ(ReadFile(Dir / "out.txt"), C.Expected);
  }
}

// ---- Help spellings (the same on every platform) ----------------------------

TEST(SlashSpellings, SlashNamesAskForTheHelp) {
  struct TCase {
    std::string Arg;
    bool Extended;
  };
  const TCase Cases[] = {{"/?", false}, {"/HELP", false}, {"/help", false},
                         {"/??", true},  {"/H2", true}};
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Arg);
    TScratchDir Dir;
    const TRunResult R = RunIn(Dir, {C.Arg});
    EXPECT_EQ(R.ExitCode, 255);
    EXPECT_EQ(R.Out, "");
    const std::string Expected =
        C.Extended ? Banner("vellary") + Include("build_line", {}, ProgramPath()) + "\r\n" +
                         HelpGolden("help_extended.txt", "vellary")
                   : Banner("vellary") + HelpGolden("help_normal.txt", "vellary");
    EXPECT_EQ(NormalizeBuildFacts(R.Err), Expected);
  }
}

// ---- The program's own name and folder --------------------------------------

// The executable copied to Folder (below a scratch folder) under FileName.
class TCopiedProgram {
public:
  TCopiedProgram(const std::string& Folder, const std::string& FileName) {
    fs::create_directories(Dir / Folder);
    Path = (Dir / Folder / FileName).string();
    fs::copy_file(ProgramPath(), Path);
  }
  const TScratchDir& Scratch() const { return Dir; }
  TRunResult Run(const std::vector<std::string>& Args) const {
    TRunOptions Options;
    Options.WorkDir = Dir.Path();
    Options.Program = Path;
    return RunProgram(Args, Options);
  }
  std::string Path;

private:
  TScratchDir Dir;
};

// The name the executable file has is the name it shows: renamed in capitals,
// it loses its extension (any letter case) in the banner and the help, and
// keeps it in the build line.
TEST(ProgramIdentity, RenamedExecutableShowsItsNameEverywhere) {
  const std::string FileName = "VELLARY.EXE";
  TCopiedProgram Program("bin", FileName);
  const TRunResult R = Program.Run({"--??"});
  EXPECT_EQ(R.ExitCode, 255);
  EXPECT_EQ(NormalizeBuildFacts(R.Err),
            Banner("VELLARY") + FileName + " v2.4.0.260 " + ProgramArchitecture() +
                " was compiled on @BUILDTIME@ using @TOOLCHAIN@\r\n\r\n" +
                HelpGolden("help_extended.txt", "VELLARY"));

  // The error screen and the short help too.
  const TRunResult Error = Program.Run({"missing.txt"});
  EXPECT_EQ(Error.ExitCode, 70);
  std::string ShortHelp = Include("short_help", {}, Program.Path);
  for (std::size_t At = 0; (At = ShortHelp.find("vellary", At)) != std::string::npos; At += 7)
    ShortHelp.replace(At, 7, "VELLARY");
  EXPECT_EQ(NormalizeBuildFacts(Error.Err),
            Banner("VELLARY") + Include("error_head", {"missing.txt"}, Program.Path) +
                "File not found: \"missing.txt\"\r\n\r\n" + ShortHelp);
  EXPECT_NE(Error.Err.find(ProgramSidePath(Program.Path)), std::string::npos);
}

// A folder with a blank in its name is shown between quotes; the command line
// shows the program as it was started.
TEST(ProgramIdentity, FolderWithABlankIsShownQuoted) {
  TCopiedProgram Program("my tools", ProgramFileName());
  const TRunResult R = Program.Run({"missing.txt"});
  EXPECT_EQ(R.ExitCode, 70);
  const std::string Folder = ProgramSidePath(Program.Scratch().Path() / "my tools");
  EXPECT_NE(R.Err.find("\r\nExecution Path ... \"" + Folder + "\"\r\n"), std::string::npos) << R.Err;
  EXPECT_NE(R.Err.find("\r\nYou entered ...... " + ShownCommandLine({"missing.txt"}, Program.Path) +
                       "\r\n"),
            std::string::npos)
      << R.Err;
}

// ---- Names beyond the ANSI code page ----------------------------------------

// A name in any script is the file it names, as the input, the -o, -r and
// --ms file; the tally in the -o file shows it in UTF-8.
TEST(WindowsNames, NamesInAnyScriptAsInputOutputAndReplacementFile) {
  WINDOWS_ONLY();
  const std::string Names[] = {"\xD0\xB6\xD1\x83\xD1\x80\xD0\xBD\xD0\xB0\xD0\xBB",  // журнал
                               "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",              // 日本語
                               "\xF0\x9F\x98\x80"};                                 // an emoji
  for (const std::string& Name : Names) {
    SCOPED_TRACE(Name);
    TScratchDir Dir;
    WriteFile(Dir / (Name + ".log"), "one\r\ntwo\r\n");
    WriteFile(Dir / (Name + "-pairs.txt"), "two;three\r\n");
    const TRunResult R =
        RunIn(Dir, {Name + ".log", "-r", Name + "-pairs.txt", "-o", Name + "-out.txt", "-t"});
    EXPECT_EQ(R.ExitCode, 0) << R.Err;
    EXPECT_EQ(ReadFile(Dir / (Name + "-out.txt")), "one\r\nthree\r\n--- " + Name + ".log: 2\r\n");
    EXPECT_EQ(RunIn(Dir, {"--ms", Name + "-sample.txt"}).ExitCode, 0);
    EXPECT_TRUE(fs::exists(Dir / (Name + "-sample.txt")));
    // On standard error (OEM 437) the name is shown as well as that page can.
    const TRunResult Tally = RunIn(Dir, {Name + ".log", "-t"});
    EXPECT_EQ(Tally.ExitCode, 0);
    EXPECT_EQ(Tally.Err.substr(0, 4), "--- ");
    EXPECT_EQ(Tally.Err.find('-', 4), std::string::npos) << Tally.Err;
    EXPECT_TRUE(Tally.Err.ends_with(".log: 2\r\n")) << Tally.Err;
  }
}

// A name the ANSI page cannot hold no longer opens or creates a look-alike.
TEST(WindowsNames, LookAlikeBesideTheNamedFileIsLeftAlone) {
  WINDOWS_ONLY();
  TScratchDir Dir;
  WriteFile(Dir / "\xC5\x81\xC3\xB3\x64\xC5\xBA.log", "named\r\n");  // Łódź.log
  WriteFile(Dir / "L\xC3\xB3\x64z.log", "look-alike\r\n");           // Lódz.log
  const TRunResult R = RunIn(Dir, {"\xC5\x81\xC3\xB3\x64\xC5\xBA.log", "-o",
                                   "\xC5\x81\xC3\xB3\x64\xC5\xBA-out.txt"});
  EXPECT_EQ(R.ExitCode, 0) << R.Err;
  EXPECT_EQ(ReadFile(Dir / "\xC5\x81\xC3\xB3\x64\xC5\xBA-out.txt"), "named\r\n");
  EXPECT_FALSE(fs::exists(Dir / "L\xC3\xB3\x64z-out.txt"));
}

// Fullwidth hyphen-minus, division slash, fullwidth solidus and fullwidth
// quotation mark are characters of an argument, never option marks or
// quotes: the same result as natively (65), on both platforms, and the
// command line and the invalid argument shown without the ASCII look-alike.
TEST(WindowsNames, LookAlikeCharactersNeverBecomeOptions) {
  struct TCase {
    std::vector<std::string> Args;
    std::string LookAlike;  // what best fit would have made of it
  };
  const TCase Cases[] = {
      {{"a.log", "\xEF\xBC\x8Do", "x.txt"}, "-o"},       // U+FF0D
      {{"a.log", "\xE2\x88\x95o", "x.txt"}, "/o"},       // U+2215
      {{"a.log", "\xEF\xBC\x8Fo", "x.txt"}, "/o"},       // U+FF0F
      {{"a.log", "-t", "z\xEF\xBC\x82 -o x.txt"}, "z\""},  // U+FF02 before a blank
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Args[1] + " " + C.Args[2]);
    TScratchDir Dir;
    WriteFile(Dir / "a.log", "one\r\n");
    const TRunResult R = RunIn(Dir, C.Args);
    EXPECT_EQ(R.ExitCode, 65) << R.Err;
    EXPECT_FALSE(fs::exists(Dir / "x.txt"));
    for (const std::string Lead : {"You entered ...... ", "Invalid parameters provided: "}) {
      const std::size_t At = R.Err.find(Lead);
      ASSERT_NE(At, std::string::npos) << R.Err;
      const std::string Line = R.Err.substr(At, R.Err.find('\r', At) - At);
      EXPECT_EQ(Line.find(C.LookAlike), std::string::npos) << Line;
    }
  }
}

// Paths over 260 characters, relative, absolute and in the \\?\ form.
TEST(WindowsNames, PathsOverTheOldLimit) {
  WINDOWS_ONLY();
  TScratchDir Dir;
  const std::string Folder = std::string(120, 'd') + "/" + std::string(120, 'e');
  fs::create_directories(Dir / Folder);
  const std::string Relative = Folder + "/" + std::string(40, 'f');
  WriteFile(Dir / (Relative + ".log"), "long\r\n");
  const std::string Absolute = ProgramSidePath(Dir / Relative);
  const std::string Forms[] = {Relative, Absolute, "\\\\?\\" + Absolute};
  for (const std::string& Form : Forms) {
    SCOPED_TRACE(Form);
    fs::remove(Dir / (Relative + ".out"));
    const TRunResult R = RunIn(Dir, {Form + ".log", "-o", Form + ".out"});
    EXPECT_EQ(R.ExitCode, 0) << R.Err;
    EXPECT_EQ(ReadFile(Dir / (Relative + ".out")), "long\r\n");
  }
}

// A log its writer holds open with delete sharing (and delete access, so
// that it can be rotated) is read, as the input and as the -r file.
TEST(WindowsNames, FileHeldOpenWithDeleteSharingIsRead) {
  WINDOWS_ONLY();
  const char* Helper = std::getenv("VELLARY_HOLD_OPEN");
  if (Helper == nullptr || *Helper == '\0')
    GTEST_SKIP() << "set VELLARY_HOLD_OPEN to the helper hold_open.exe (the Windows stage does)";
  const std::string Held[] = {"live.log", "pairs.txt"};
  for (const std::string& Name : Held) {
    SCOPED_TRACE(Name);
    TScratchDir Dir;
    WriteFile(Dir / "live.log", "one\r\ntwo\r\n");
    WriteFile(Dir / "pairs.txt", "one;1\r\n");
    TRunOptions Options;
    Options.WorkDir = Dir.Path();
    Options.Program = Helper;
    const TRunResult R =
        RunProgram({Name, ProgramSidePath(ProgramPath()), "live.log", "-r", "pairs.txt"}, Options);
    EXPECT_EQ(R.ExitCode, 0) << R.Err;
    EXPECT_EQ(R.Out, "1\r\ntwo\r\n");
  }
}

// ---- A double-byte ANSI code page -------------------------------------------

// Shift-JIS (932, which wine takes from a Japanese locale): "\x83\x41" is
// one character whose second byte is the code of "A", and "\x95\x5C" one
// whose second byte is that of "\". Searches, replacements, letter case and
// the -x escapes take whole characters only.
TEST(WindowsDoubleByte, ShiftJisCharactersStayWhole) {
  WINDOWS_ONLY();
  TScratchDir Dir;
  // Wine decodes the arguments by the host's locale, so it must exist.
  const std::string Locales = MakeLocale(Dir, "ja_JP", "UTF-8");
  if (Locales.empty())
    GTEST_SKIP() << "localedef cannot make a ja_JP.UTF-8 locale here";
  WriteFile(Dir / "sjis.txt", "x\x83\x41y\r\nAbc\r\n\x95\x5C\r\n");  // xアy, Abc, 表
  WriteFile(Dir / "pairs.txt", "A;Z\r\n");
  const std::string A = "\xE3\x82\xA2", Table = "\xE8\xA1\xA8";  // ア and 表 in UTF-8
  struct TCase {
    std::vector<std::string> Args;
    std::string Expected;  // the -o file, UTF-8
  };
  const TCase Cases[] = {
      {{"-f", "A", "-s"}, "Abc\r\n"},
      {{"-f", "a"}, "Abc\r\n"},
      {{"-r", "pairs.txt", "-s"}, "x" + A + "y\r\nZbc\r\n" + Table + "\r\n"},
      {{"-f", A}, "x" + A + "y\r\n"},
      {{"-f", Table + "$", "-x"}, Table + "\r\n"},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Args[0] + " " + C.Args[1]);
    TRunOptions Options;
    Options.WorkDir = Dir.Path();
    Options.ExtraEnv = {"LOCPATH=" + Locales, "LC_ALL=ja_JP.UTF-8"};
    std::vector<std::string> Args = {"sjis.txt", "-o", "out.txt"};
    Args.insert(Args.end(), C.Args.begin(), C.Args.end());
    const TRunResult R = RunProgram(Args, Options);
    EXPECT_EQ(R.ExitCode, 0) << R.Err;
    EXPECT_EQ(ReadFile(Dir / "out.txt"), C.Expected);
  }
}
