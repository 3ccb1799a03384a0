// The program's 34 options as one table: for each, the names text it is
// registered under, how it is registered, where its record and value go and
// the lines the help lists it with. Registration walks the rows in table
// order; the help lists them in its own order.
#pragma once

#include "app/run_settings.h"
#include "core/core_state.h"
#include "core/param_types.h"

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vellary::app {

using TPipelineSettings = engine::TPipelineSettings;

// The registration operation of a row.
enum TOptionKind : std::uint8_t {
  okSwitch,  // FindParamSwitch with the row's flags; no value
  okBool,    // FindParamBool: one optional value, taken but not used
  okText,    // FindParamText: one optional text
  okTextEx,  // FindParamTextEx with the row's flags
  okInt,     // FindParamInt with the row's default and range
};

// A field a registration fills, in the core's state, in the run settings or
// in the pipeline settings the run settings hold.
template <class T>
struct TOptionTarget {
  T core::TCoreState::*InCore = nullptr;
  T TRunSettings::*InRun = nullptr;
  T TPipelineSettings::*InPipeline = nullptr;

  constexpr TOptionTarget() = default;
  constexpr TOptionTarget(T core::TCoreState::*Field) : InCore(Field) {}
  constexpr TOptionTarget(T TRunSettings::*Field) : InRun(Field) {}
  constexpr TOptionTarget(T TPipelineSettings::*Field) : InPipeline(Field) {}

  // Whether the row names this field at all.
  constexpr bool Named() const {
    return InCore != nullptr || InRun != nullptr || InPipeline != nullptr;
  }
  // The named field of this run's state; the row must name one.
  T& In(core::TCoreState& Core, TRunSettings& Settings) const {
    if (InCore != nullptr)
      return Core.*InCore;
    if (InRun != nullptr)
      return Settings.*InRun;
    assert(InPipeline != nullptr && "the row's kind needs this field");
    return Settings.Pipeline.*InPipeline;
  }
};

// One line of the help's option definitions.
struct TOptionHelp {
  std::uint8_t Line = 0;         // place among the help's option lines, from 1; 0: none
  std::string_view Names;        // as the help spells them
  std::string_view Description;  // "%s" stands for the default sample file name
};

// The help option also has a line of its own for its extended forms.
inline constexpr std::size_t MaxHelpLinesPerOption = 2;

struct TOptionRow {
  std::string_view Names;  // passed exactly as it stands, leading blanks included
  TOptionKind Kind = okSwitch;
  unsigned Flags = 0;  // okSwitch and okTextEx
  TOptionTarget<TFindParamRec> Rec{};
  bool TPipelineSettings::*Found = nullptr;  // the pipeline's copy of Rec.Found
  TOptionTarget<bool> Bool{};                // okBool
  TOptionTarget<std::string> Text{};         // okText, okTextEx
  TOptionTarget<std::int32_t> Int{};         // okInt
  std::int32_t Default = 0, Minimum = 0, Maximum = 0;
  TOptionHelp Help[MaxHelpLinesPerOption] = {};
};

// Rows in registration order, which is behaviour: a later registration sees
// the markings of the earlier ones, so "--ms --ss" gives --ms the value "--ss",
// and "-r -o x" gives -r the value "-o". "H2 HELP2 ??" stand in both the help
// and the verbose row, so each of them asks for the extended help.
inline constexpr TOptionRow OptionTable[] = {
    {.Names = "  DEBUG DEBUG-MODE",
     .Kind = okSwitch,
     .Rec = &core::TCoreState::DebugModeRec,
     .Help = {{35, "--debug-mode",
               "Enable debug mode, which includes enabling audible error and error delay"}}},
    {.Names = "  ERROR-DELAY",
     .Kind = okBool,
     .Rec = &core::TCoreState::ErrorDelayRec,
     .Bool = &core::TCoreState::ErrorDelay,
     .Help = {{34, "--error-delay", "Enable a ~7 second delay on syntax error"}}},
    {.Names = "  AUDIBLE-ERROR",
     .Kind = okBool,
     .Rec = &core::TCoreState::AudibleErrorRec,
     .Bool = &core::TCoreState::AudibleError,
     .Help = {{33, "--audible-error", "Enable a beep on syntax error"}}},
    {.Names = "H HELP ? H2 HELP2 ??",
     .Kind = okSwitch,
     .Rec = &core::TCoreState::HelpRec,
     .Help = {{29, "-h, --help, -?", "Display this help message"},
              {30, "--h2, --??, --help2",
               "Display extended help information, plus exit/return codes"}}},
    {.Names = "V VERBOSE BUILD H2 HELP2 ??",
     .Kind = okSwitch,
     .Rec = &core::TCoreState::VerboseRec,
     .Help = {{28, "-v, --verbose, --build",
               "Display extended build information, plus application exit/return codes"}}},
    {.Names = "  VERSION-ONLY BUILD-ONLY",
     .Kind = okSwitch,
     .Rec = &core::TCoreState::VersionOnlyRec,
     .Help = {{32, "--version-only", "Display build information without banner, then exit"}}},
    {.Names = "I INFO",
     .Kind = okSwitch,
     .Rec = &core::TCoreState::InfoRec,
     .Help = {{31, "-i, --info", "Display banner and build information, then exit"}}},
    {.Names = "B BANNER",
     .Kind = okSwitch,
     .Rec = &core::TCoreState::BannerRec,
     .Help = {{1, "-b, --banner", "Display banner information on each program execution"}}},

    {.Names = "C CS SEPARATOR CUSTOM-CHAR",
     .Kind = okText,
     .Rec = &TRunSettings::SeparatorRec,
     .Text = &TRunSettings::SeparatorCharText,
     .Help = {{16, "-c, --cs, --separator",
               R"(Select a custom separator character (default = "-"))"}}},
    {.Names = "D CD DELIMITER CUSTOM-DELIMITER",
     .Kind = okText,
     .Rec = &TRunSettings::DelimiterRec,
     .Text = &TRunSettings::DelimiterText,
     .Help = {{17, "-d, --cd, --delimiter",
               R"(Select a custom delimiter character (default = ";"))"}}},
    {.Names = "  LC LINECHAR",
     .Kind = okText,
     .Rec = &TRunSettings::LineCharRec,
     .Text = &TRunSettings::DividerCharText,
     .Help = {{18, "--lc, --linechar",
               R"(Select a custom divider line character (default = "="))"}}},
    // The help states 8192 as the upper bound; the registration clamps at 4096.
    {.Names = "L LL LINELEN",
     .Kind = okInt,
     .Rec = &TRunSettings::LineLengthRec,
     .Int = &TRunSettings::LineLength,
     .Default = 80,
     .Minimum = 1,
     .Maximum = 4096,
     .Help = {{19, "-l, --ll, --linelen",
               "Select a custom line length for all separators (default = 80)"}}},
    {.Names = "S CASE-SENSITIVE",
     .Kind = okSwitch,
     .Rec = &TRunSettings::CaseSensitiveRec,
     .Found = &TPipelineSettings::CaseSensitive,
     .Help = {{15, "-s, --case-sensitive",
               "Make all searches case-sensitive  (default = case-insensitive)"}}},
    {.Names = "P PS PLUS-SPACE",
     .Kind = okSwitch,
     .Rec = &TRunSettings::PlusSpaceRec,
     .Help = {{7, "-p, --ps, --plus-space",
               "Add a space with each blank line generated or displayed"}}},
    {.Names = "  NL NEWLINE",
     .Kind = okInt,
     .Rec = &TRunSettings::NewlineRec,
     .Found = &TPipelineSettings::Newline,
     .Int = &TPipelineSettings::NewlineCount,
     .Default = 1,
     .Minimum = 1,
     .Maximum = 8,
     .Help = {{22, "--nl, --newline", "Display at least one newline at the end of the text file"}}},
    {.Names = "  DL DIVIDER",
     .Kind = okInt,
     .Rec = &TRunSettings::DividerRec,
     .Found = &TPipelineSettings::Divider,
     .Int = &TPipelineSettings::DividerCount,
     .Default = 1,
     .Minimum = 1,
     .Maximum = 8,
     .Help = {{23, "--dl, --divider",
               "Display at least one line separator at the end of the text file"}}},
    {.Names = "T TALLY COUNT",
     .Kind = okSwitch,
     .Rec = &TRunSettings::TallyRec,
     .Found = &TPipelineSettings::Tally,
     .Help = {{24, "-t, --tally, --count",
               "Display the tally of visible lines that were processed"}}},
    {.Names = "E ELIMINATE",
     .Kind = okSwitch,
     .Rec = &TRunSettings::EliminateRec,
     .Found = &TPipelineSettings::Eliminate,
     .Help = {{25, "-e, --eliminate", "Eliminate all solitary blank lines inside text file"}}},
    {.Names = "A ASCII",
     .Kind = okSwitch,
     .Rec = &TRunSettings::AsciiRec,
     .Found = &TPipelineSettings::Ascii,
     .Help = {{13, "-a, --ascii",
               "Evaluate the input file as an ASCII file, rather than a Unicode file"}}},
    {.Names = "X EXT-SEARCH EXTENDED-SEARCH",
     .Kind = okSwitch,
     .Rec = &TRunSettings::ExtendedRec,
     .Found = &TPipelineSettings::Extended,
     .Help = {{14, "-x, --extended-search",
               R"(Enable extended search mode, where "\n" and "\t" can be searched)"}}},

    {.Names = "F FIND",
     .Kind = okTextEx,
     .Flags = core::fpMandatory,
     .Rec = &TRunSettings::FindRec,
     .Found = &TPipelineSettings::Find,
     .Text = &TPipelineSettings::FindList,
     .Help = {{8, "-f, --find", "Find ONLY those lines containing this text"}}},
    {.Names = "  FB FIND-BEFORE",
     .Kind = okTextEx,
     .Flags = core::fpMandatory,
     .Rec = &TRunSettings::FindBeforeRec,
     .Found = &TPipelineSettings::FindBefore,
     .Text = &TPipelineSettings::FindBeforeList,
     .Help = {{9, "--fb, --find-before",
               "Like -f, but only applies to the lines which will have text prepended"}}},
    {.Names = "  FA FIND-AFTER",
     .Kind = okTextEx,
     .Flags = core::fpMandatory,
     .Rec = &TRunSettings::FindAfterRec,
     .Found = &TPipelineSettings::FindAfter,
     .Text = &TPipelineSettings::FindAfterList,
     .Help = {{10, "--fa, --find-after",
               "Like -f, but only applies to the lines which will have text appended"}}},
    {.Names = "  PP PREPEND",
     .Kind = okTextEx,
     .Flags = core::fpMandatory,
     .Rec = &TRunSettings::PrependRec,
     .Text = &TPipelineSettings::PrependText,
     .Help = {{11, "--pp, --prepend", "Prepend some text to the lines matching --fb"}}},
    {.Names = "  AP APPEND",
     .Kind = okTextEx,
     .Flags = core::fpMandatory,
     .Rec = &TRunSettings::AppendRec,
     .Text = &TPipelineSettings::AppendText,
     .Help = {{12, "--ap, --append", "Append some text to the lines matching --fa"}}},
    {.Names = "  SK SKIP-LINE",
     .Kind = okTextEx,
     .Flags = core::fpMandatory,
     .Rec = &TRunSettings::SkipRec,
     .Text = &TPipelineSettings::SkipList,
     .Help = {{6, "--sk, --skip-line", "Do not display any lines containing this text"}}},
    {.Names = "  LB LINE-BEFORE",
     .Kind = okTextEx,
     .Flags = core::fpMandatory,
     .Rec = &TRunSettings::LineBeforeRec,
     .Text = &TPipelineSettings::LineBeforeList,
     .Help = {{4, "--lb, --line-before",
               "Display a separator before any line containing this text"}}},
    {.Names = "  LA LINE-AFTER",
     .Kind = okTextEx,
     .Flags = core::fpMandatory,
     .Rec = &TRunSettings::LineAfterRec,
     .Text = &TPipelineSettings::LineAfterList,
     .Help = {{5, "--la, --line-after",
               "Display a separator after any line containing this text"}}},
    {.Names = "  SB SPACE-BEFORE",
     .Kind = okTextEx,
     .Flags = core::fpMandatory,
     .Rec = &TRunSettings::SpaceBeforeRec,
     .Text = &TPipelineSettings::SpaceBeforeList,
     .Help = {{2, "--sb, --space-before",
               "Display a blank line before any line containing this text"}}},
    {.Names = "  SA SPACE-AFTER",
     .Kind = okTextEx,
     .Flags = core::fpMandatory,
     .Rec = &TRunSettings::SpaceAfterRec,
     .Text = &TPipelineSettings::SpaceAfterList,
     .Help = {{3, "--sa, --space-after",
               "Display a blank line after any line containing this text"}}},

    {.Names = "R REPLACE",
     .Kind = okText,
     .Rec = &TRunSettings::ReplaceRec,
     .Found = &TPipelineSettings::Replace,
     .Text = &TRunSettings::ReplaceFileName,
     .Help = {{20, "-r, --replace",
               "Provide the filename of a text file containing search/replace entries: one per "
               "line"}}},
    {.Names = "O OUT",
     .Kind = okText,
     .Rec = &TRunSettings::OutRec,
     .Found = &TPipelineSettings::OutputFile,
     .Text = &TRunSettings::OutputFileName,
     .Help = {{21, "-o, --out",
               "Provide the filename for writing the output to instead of StdOut"}}},
    {.Names = "  MS MAKE-SAMPLE",
     .Kind = okText,
     .Rec = &TRunSettings::MakeSampleRec,
     .Text = &TRunSettings::SampleFileName,
     .Help = {{26, "--ms, --make-sample",
               R"(Generate a sample search/replace file with a default name of: "%s")"}}},
    {.Names = "  SS SHOW-SAMPLE",
     .Kind = okSwitch,
     .Rec = &TRunSettings::ShowSampleRec,
     .Help = {{27, "--ss, --show-sample",
               "Display contents of generated sample search/replace file"}}},
};

// Sets the syntax mode, names the input file, performs the registrations of
// OptionTable in its order, applies --debug-mode and computes
// SampleWithoutMake.
void RegisterOptions(core::TCoreState& Core, TRunSettings& Settings);

// Delimiters, plus-space text, line length, separator and divider lines.
// With Utf8Characters (a UTF-8 locale) a delimiter or line character is the
// whole UTF-8 character its value starts with, not just its first byte.
void DeriveRunSettings(TRunSettings& Settings, bool Utf8Characters = false);

}  // namespace vellary::app
