// The help screens: command syntax, option definitions, examples and, in the
// extended form, the notes and the exit codes. All of it goes to standard
// error; only the program name and a few constants vary. The option lines
// come from the option table, in the help's own order.
#include "app/help.h"

#include "app/option_table.h"
#include "core/status.h"
#include "core/syntax_error.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <string>

namespace vellary::app {

namespace {

// Points ConsoleOut at standard error for the lifetime of the guard.
class TConsoleOutToStdErr {
public:
  explicit TConsoleOutToStdErr(core::TConsole& Channels)
      : Console(Channels), Saved(Channels.ConsoleOut) {
    Console.ConsoleOut = &Console.StdErr;
  }
  TConsoleOutToStdErr(const TConsoleOutToStdErr&) = delete;
  TConsoleOutToStdErr& operator=(const TConsoleOutToStdErr&) = delete;
  ~TConsoleOutToStdErr() { Console.ConsoleOut = Saved; }

private:
  core::TConsole& Console;
  core::TTextOutput* Saved;
};

// The value a help line's "%s" stands for.
enum THelpArg { haNone, haProgramName, haLineLengthLimit, haSampleFileName };

struct THelpLine {
  std::string_view Text;
  THelpArg Arg = haNone;
  bool BlankAfter = false;
};

struct TExitCodeLine {
  int Code;
  std::string_view Description;
};

}  // namespace

// The upper bound the -L note prints (the registration itself clamps lower).
static constexpr int HelpLineLengthLimit = 8192;

// Option lines: the dots run up to and including this column, the
// description starts two columns further on.
static constexpr std::size_t DotsLastColumn = 28;
// Names without a one-letter form are indented so that the "--" names align.
static constexpr std::string_view NoShortNameIndent = "    ";
// The normal help ends its option lines here; the error-feedback options
// behind are listed only in the extended help.
static constexpr std::size_t NormalOptionCount = 32;

static constexpr THelpLine SyntaxTails[] = {
    {" <input_file> [options]", haNone, true},
    {R"( <input_file> [-b] [-s] [-p] [-a] [-e] [-t] [-x] [-o <output_file>] [-r <replacement_file>] [-c <"char">] [-d <"char[char]">] [-l <#>] [--fb <"text;...">] [--pp <"text">] [--fa <"text;...">] [--ap <"text">] [-f <"text;...">] [--sk <"text;...">][--sa <"text;...">] [--sb <"text;...">] [--la <"text;...">] [--lb <"text;...">] [--dl <#>] [--nl <#>] )",
     haNone, true},
    {R"( [--ms ["filename"] [--ss]])", haNone, true},
    {" [-h|-?|--h2|--??] [-v]", haNone, false},
    {" [-i|--Info|--Version-Only]", haNone, true},
};

static constexpr std::size_t CountOptionLines() {
  std::size_t Count = 0;
  for (const TOptionRow& Row : OptionTable) {
    for (const TOptionHelp& Help : Row.Help)
      Count += Help.Line != 0 ? 1 : 0;
  }
  return Count;
}
static constexpr std::size_t OptionLineCount = CountOptionLines();

// The option table's help lines, each at the place its row gives it.
static constexpr std::array<const TOptionHelp*, OptionLineCount> OptionLinesInHelpOrder() {
  std::array<const TOptionHelp*, OptionLineCount> Lines{};
  for (const TOptionRow& Row : OptionTable) {
    for (const TOptionHelp& Help : Row.Help) {
      if (Help.Line != 0)
        Lines[Help.Line - 1U] = &Help;
    }
  }
  return Lines;
}
static constexpr std::array<const TOptionHelp*, OptionLineCount> OptionLines =
    OptionLinesInHelpOrder();

// The part of an option line in front of the dots: one blank, the names
// (indented when there is no one-letter name) and a blank.
static constexpr std::size_t NamesFieldWidth(std::string_view Names) {
  std::size_t Indent = Names.starts_with("--") ? NoShortNameIndent.size() : 0;
  return 1 + Indent + Names.size() + 1;
}

// As many places as lines, and none left empty: each place is taken once.
static constexpr bool EveryPlaceTakenOnce() {
  return std::none_of(OptionLines.begin(), OptionLines.end(),
                      [](const TOptionHelp* Help) { return Help == nullptr; });
}

static constexpr bool EveryOptionNameFits() {
  return std::all_of(OptionLines.begin(), OptionLines.end(), [](const TOptionHelp* Help) {
    return NamesFieldWidth(Help->Names) < DotsLastColumn;
  });
}
static_assert(EveryPlaceTakenOnce(), "two option rows claim the same help line");
static_assert(EveryOptionNameFits(), "every option line needs at least one dot");
static_assert(OptionLineCount == 35 && NormalOptionCount < OptionLineCount);

static constexpr std::string_view ExampleTails[] = {
    R"( C:\Logs\MyReport.TXT)",
    R"( D:\Reports\ThatReport.TXT --la="Finished;Ended")",
    R"( E:\Jobs\SomeOutput.LOG --sa "Starting;Name:" --sb "Summary")",
    R"( F:\MyData\TheirLog.TXT -f "totals:;average:;" --count)",
    R"( G:\ThisData\ThatLog.TXT -r "H:\MyReplacements.TXT" --dl 2 --nl 2 --lc "*")",
    R"( H:\ThatData\ThisLog.TXT --pp "# " --FB " comment")",
    R"( I:\ThisData\ThatLog.TXT --ap " -- Check These!" --fa "failed;error")",
    R"( J:\ThisData\ThatLog.TXT --ap " -- Check These!" --fa "failed$;error$" -x)",
    R"( --Make-Sample "K:\CustomReplacements.TXT")",
    " -h",
};

static constexpr THelpLine GeneralUsageNotes[] = {
    {" * Entering %s with no parameters will display this help message.", haProgramName},
    {" * Parameters in angle brackets <> are mandatory, those in square brackets [] are optional."},
    {" * Parameters are case-insensitive, although they may be shown in upper case here."},
    {R"( * One-letter parameters may be prefixed by either "-" or "/".)"},
    {R"( * Longer parameters should be prefixed by "--".)"},
    {" * Parameters are separated from each other by at least one space."},
    {" * -H, --??, --Version-Only and --Info supersede all other options, in that order."},
    {" * -V adds the build information whenever the banner is shown."},
    {" * -H or -? together with -V displays the extended help, including the exit codes."},
    {" * --?? acts as -H/-? and -V combined."},
    {" * -I displays only the banner with the build information, then quits."},
    {" * Otherwise the banner is displayed only with the help, with -B, or on a syntax error.",
     haNone, true},
};

static constexpr THelpLine AppSpecificNotes[] = {
    {R"( * Entering %s with only the input file name is equivalent to TYPE "<textfile>".)",
     haProgramName},
    {R"( * The default search delimiter is ";" for -R, -F, --FB, --FA, --SB, --SA, --LB, --LA and --SK.)"},
    {" * -D with a single character sets the delimiter for both -F and -R."},
    {" * -D with two characters sets the delimiter for -F to the first and for -R to the second."},
    {" * -A, -R and -F are processed in that order."},
    {R"( * Lines in the -R file that begin with "#" are comments.)"},
    {" * -S makes -F, -R, --FB, --FA and all other searches case-sensitive."},
    {" * A line matched by --SK is skipped and gets no other processing."},
    {" * All lines are displayed unless skipped by --SK; with -F, only the lines that match"},
    {"   -F and are not skipped are displayed."},
    {" * --PP without --FB prepends its text to every displayed line."},
    {" * --AP without --FA appends its text to every displayed line."},
    {" * The valid range for the -L parameter is from 1 to %s, with a default of 80.",
     haLineLengthLimit},
    {" * The valid range for the --NL and --DL parameters is from 1 to 8, with a default of 1."},
    {" * The --DL divider lines are written before the --NL newlines."},
    {" * -T counts the non-blank source lines displayed, not the output lines generated."},
    {" * Without -O, -T writes its tally line to StdErr rather than StdOut."},
    {" * If no filename is supplied for --MS, then the following filename will be created in the"},
    {R"(   current folder, if possible: "%s".)", haSampleFileName},
    {" * --SS is optional, but can only be used together with --MS."},
    {R"( * If --MS will be used without a filename, but another parameter will follow it, use --MS "" )"},
    {R"(   Example: --MS "" --SS )"},
    {" * Invalid parameters will cause a syntax error.", haNone, true},
};

static constexpr THelpLine ExtendedSearchNotes[] = {
    {" * The following strings are interpreted differently when in extended mode:"},
    {"     ^        Line position: beginning of line"},
    {"     $        Line position: end of line"},
    {R"(     \n       Find a newline (CR/LF) character)"},
    {R"(     \t       Find a tab character)", haNone, true},
    {R"( * To search for "^" as a literal string at the start of a line, use "\^".)"},
    {R"( * To search for "$" as a literal string at the end of a line, use "\$".)"},
    {R"( * To search for "\" as a literal string, use "\\")"},
    {" * The following can be used in extended replacement mode with -R:"},
    {R"(     \n, \t, and \- (which will generate a divider).)", haNone, true},
};

static constexpr TExitCodeLine ExitCodeLines[] = {
    {core::ExitSuccess, "Command completed successfully"},
    {core::ExitMissingParams, "Missing necessary/essential parameters"},
    {core::ExitInvalidParams, "Invalid parameters were found"},
    {core::ExitIncompleteParams, "Parameters are missing mandatory values"},
    {core::ExitNoValidFile, "No valid filename was provided"},
    {core::ExitReadError, "Unable to read from the filename provided"},
    {core::ExitWriteError, "Unable to write to the filename provided"},
    {core::ExitVersionShown, "Only application version info was displayed"},
    {core::ExitHelpShown, "Syntax help requested"},
};
// The code is right-aligned to end in this column.
static constexpr std::size_t ExitCodeLastColumn = 7;

// Writing to standard error has nowhere to report its own failure.
static void WriteLine(core::TCoreState& Core, std::string_view Text) {
  (void)Core.Console.ConsoleOut->WriteRecord(Text);
}

static std::string ArgText(const core::TCoreState& Core, THelpArg Arg) {
  switch (Arg) {
  case haNone:
    return {};
  case haProgramName:
    return Core.VersionInfo.BaseName;
  case haLineLengthLimit:
    return std::to_string(HelpLineLengthLimit);
  case haSampleFileName:
    return DefaultSampleFileName;
  }
  return {};
}

static void WriteHelpLines(core::TCoreState& Core, std::span<const THelpLine> Lines) {
  for (const THelpLine& Line : Lines) {
    if (Line.Arg == haNone)
      WriteLine(Core, Line.Text);
    else
      WriteLine(Core, core::SubstituteArgs(Line.Text, {ArgText(Core, Line.Arg)}));
    if (Line.BlankAfter)
      WriteLine(Core, "");
  }
}

// One blank and the program name in front of each tail.
static void WriteProgramLines(core::TCoreState& Core, std::span<const THelpLine> Tails) {
  for (const THelpLine& Tail : Tails) {
    WriteLine(Core, " " + Core.VersionInfo.BaseName + std::string(Tail.Text));
    if (Tail.BlankAfter)
      WriteLine(Core, "");
  }
}

static std::string OptionLineText(const TOptionHelp& Option) {
  std::string Line(" ");
  if (Option.Names.starts_with("--"))
    Line.append(NoShortNameIndent);
  Line.append(Option.Names);
  Line.push_back(' ');
  Line.append(DotsLastColumn - Line.size(), '.');
  Line.push_back(' ');
  Line.append(core::SubstituteArgs(Option.Description, {DefaultSampleFileName}));
  return Line;
}

static std::string ExitCodeLineText(const TExitCodeLine& Exit) {
  std::string Code = std::to_string(Exit.Code);
  std::string Line(ExitCodeLastColumn - Code.size(), ' ');
  return Line + Code + " - " + std::string(Exit.Description);
}

static void WriteOptionDefinitions(core::TCoreState& Core, bool Verbose) {
  PrintHeading(Core, "OPTION DEFINITIONS:");
  std::size_t Count = Verbose ? OptionLines.size() : NormalOptionCount;
  for (std::size_t I = 0; I < Count; ++I)
    WriteLine(Core, OptionLineText(*OptionLines[I]));
  WriteLine(Core, "");
}

static void WriteExamples(core::TCoreState& Core) {
  PrintHeading(Core, "SYNTAX EXAMPLES:");
  for (std::string_view Tail : ExampleTails)
    WriteLine(Core, " " + Core.VersionInfo.BaseName + std::string(Tail));
  WriteLine(Core, "");
}

static void WriteExtendedSections(core::TCoreState& Core) {
  PrintHeading(Core, "GENERAL USAGE NOTES:");
  WriteHelpLines(Core, GeneralUsageNotes);
  PrintHeading(Core, "APP SPECIFIC NOTES:");
  WriteHelpLines(Core, AppSpecificNotes);
  PrintHeading(Core, "EXTENDED SEARCH MODE (-X):");
  WriteHelpLines(Core, ExtendedSearchNotes);
  PrintHeading(Core, "EXIT/RETURN CODES:");
  WriteLine(Core, " * Exit/Return codes will be generated for the following conditions:");
  for (const TExitCodeLine& Exit : ExitCodeLines)
    WriteLine(Core, ExitCodeLineText(Exit));
}

void ShowHelp(core::TCoreState& Core, bool Short) {
  TConsoleOutToStdErr Redirect(Core.Console);
  const std::string& Name = Core.VersionInfo.BaseName;
  PrintHeading(Core, "CMD SYNTAX:");
  WriteProgramLines(Core, SyntaxTails);
  if (Short) {
    WriteLine(Core, core::SubstituteArgs("For more details, please type: %s -?  OR  %s --??",
                                         {Name, Name}));
    return;
  }
  bool Verbose = Core.VerboseRec.Found;
  WriteOptionDefinitions(Core, Verbose);
  WriteExamples(Core);
  if (!Verbose) {
    WriteLine(Core, core::SubstituteArgs("For more details, please type: %s --??", {Name}));
    return;
  }
  WriteExtendedSections(Core);
}

void PrintHeading(core::TCoreState& Core, std::string_view Title) {
  int Length = static_cast<int>(Title.size());
  core::PrintDashes(Core, Length);
  WriteLine(Core, Title);
  core::PrintDashes(Core, Length);
}

}  // namespace vellary::app
