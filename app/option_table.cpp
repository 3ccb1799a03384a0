// The option table: the program's 34 registrations in their fixed order, and
// the run settings derived from the option values before a file is processed.
#include "app/option_table.h"

#include "core/param_register.h"
#include "core/param_validation.h"

#include <algorithm>
#include <cstddef>

namespace vellary::app {

using core::FindParamBool;
using core::FindParamInt;
using core::FindParamSwitch;
using core::FindParamText;
using core::FindParamTextEx;

// Every registration searches the whole command line.
static constexpr int WholeLine = -1;
static constexpr int FromPosition = core::pmFromPosition;

void RegisterOptions(core::TCoreState& Core, TRunSettings& Settings) {
  core::TParamState& P = Core.Params;
  core::TParamStatusArray& S = P.ParamStatus;
  TRunSettings& R = Settings;
  constexpr unsigned NoFlags = 0;
  constexpr unsigned Mandatory = core::fpMandatory;

  // Attached values allowed, bare one-character names not.
  P.ParamSyntaxMode = 2;
  core::GetInputFileParam(S, R.InputFileName, 1);

  // The order below is behaviour: a later registration sees the markings of
  // the earlier ones, so "--ms --ss" gives --ms the value "--ss".
  FindParamSwitch(P, Core.DebugModeRec, S, "  DEBUG DEBUG-MODE", NoFlags, WholeLine, FromPosition);
  FindParamBool(P, Core.ErrorDelayRec, S, "  ERROR-DELAY", Core.ErrorDelay, WholeLine, FromPosition);
  FindParamBool(P, Core.AudibleErrorRec, S, "  AUDIBLE-ERROR", Core.AudibleError, WholeLine,
                FromPosition);
  FindParamSwitch(P, Core.HelpRec, S, "H HELP ? H2 HELP2 ??", NoFlags, WholeLine, FromPosition);
  FindParamSwitch(P, Core.VerboseRec, S, "V VERBOSE BUILD H2 HELP2 ??", NoFlags, WholeLine,
                  FromPosition);
  FindParamSwitch(P, Core.VersionOnlyRec, S, "  VERSION-ONLY BUILD-ONLY", NoFlags, WholeLine,
                  FromPosition);
  FindParamSwitch(P, Core.InfoRec, S, "I INFO", NoFlags, WholeLine, FromPosition);
  FindParamSwitch(P, Core.BannerRec, S, "B BANNER", NoFlags, WholeLine, FromPosition);

  FindParamText(P, R.SeparatorRec, S, "C CS SEPARATOR CUSTOM-CHAR", R.SeparatorCharText, WholeLine,
                FromPosition);
  FindParamText(P, R.DelimiterRec, S, "D CD DELIMITER CUSTOM-DELIMITER", R.DelimiterText,
                WholeLine, FromPosition);
  FindParamText(P, R.LineCharRec, S, "  LC LINECHAR", R.DividerCharText, WholeLine, FromPosition);
  FindParamInt(P, R.LineLengthRec, S, "L LL LINELEN", R.LineLength, 80, 1, 4096, WholeLine,
               FromPosition);
  FindParamSwitch(P, R.CaseSensitiveRec, S, "S CASE-SENSITIVE", NoFlags, WholeLine, FromPosition);
  FindParamSwitch(P, R.PlusSpaceRec, S, "P PS PLUS-SPACE", NoFlags, WholeLine, FromPosition);
  FindParamInt(P, R.NewlineRec, S, "  NL NEWLINE", R.NewlineCount, 1, 1, 8, WholeLine,
               FromPosition);
  FindParamInt(P, R.DividerRec, S, "  DL DIVIDER", R.DividerCount, 1, 1, 8, WholeLine,
               FromPosition);
  FindParamSwitch(P, R.TallyRec, S, "T TALLY COUNT", NoFlags, WholeLine, FromPosition);
  FindParamSwitch(P, R.EliminateRec, S, "E ELIMINATE", NoFlags, WholeLine, FromPosition);
  FindParamSwitch(P, R.AsciiRec, S, "A ASCII", NoFlags, WholeLine, FromPosition);
  FindParamSwitch(P, R.ExtendedRec, S, "X EXT-SEARCH EXTENDED-SEARCH", NoFlags, WholeLine,
                  FromPosition);

  FindParamTextEx(P, R.FindRec, S, "F FIND", R.FindList, Mandatory, WholeLine, FromPosition);
  FindParamTextEx(P, R.FindBeforeRec, S, "  FB FIND-BEFORE", R.FindBeforeList, Mandatory,
                  WholeLine, FromPosition);
  FindParamTextEx(P, R.FindAfterRec, S, "  FA FIND-AFTER", R.FindAfterList, Mandatory, WholeLine,
                  FromPosition);
  FindParamTextEx(P, R.PrependRec, S, "  PP PREPEND", R.PrependText, Mandatory, WholeLine,
                  FromPosition);
  FindParamTextEx(P, R.AppendRec, S, "  AP APPEND", R.AppendText, Mandatory, WholeLine,
                  FromPosition);
  FindParamTextEx(P, R.SkipRec, S, "  SK SKIP-LINE", R.SkipList, Mandatory, WholeLine,
                  FromPosition);
  FindParamTextEx(P, R.LineBeforeRec, S, "  LB LINE-BEFORE", R.LineBeforeList, Mandatory,
                  WholeLine, FromPosition);
  FindParamTextEx(P, R.LineAfterRec, S, "  LA LINE-AFTER", R.LineAfterList, Mandatory,
                  WholeLine, FromPosition);
  FindParamTextEx(P, R.SpaceBeforeRec, S, "  SB SPACE-BEFORE", R.SpaceBeforeList, Mandatory,
                  WholeLine, FromPosition);
  FindParamTextEx(P, R.SpaceAfterRec, S, "  SA SPACE-AFTER", R.SpaceAfterList, Mandatory,
                  WholeLine, FromPosition);

  FindParamText(P, R.ReplaceRec, S, "R REPLACE", R.ReplaceFileName, WholeLine, FromPosition);
  FindParamText(P, R.OutRec, S, "O OUT", R.OutputFileName, WholeLine, FromPosition);
  FindParamText(P, R.MakeSampleRec, S, "  MS MAKE-SAMPLE", R.SampleFileName, WholeLine,
                FromPosition);
  FindParamSwitch(P, R.ShowSampleRec, S, "  SS SHOW-SAMPLE", NoFlags, WholeLine, FromPosition);

  // Debug mode turns both error feedbacks on, whatever their own options gave.
  if (Core.DebugModeRec.Found) {
    Core.AudibleError = true;
    Core.ErrorDelay = true;
  }
  R.SampleWithoutMake = R.ShowSampleRec.Found && !R.MakeSampleRec.Found;
}

// LineLength copies of the first character of Text when its option was found
// with a non-empty text, otherwise of Fallback.
static std::string RepeatedLine(const TFindParamRec& Rec, const std::string& Text, char Fallback,
                                std::int32_t LineLength) {
  const char C = (Rec.Found && !Text.empty()) ? Text.front() : Fallback;
  return std::string(static_cast<std::size_t>(std::max(LineLength, 0)), C);
}

void DeriveRunSettings(TRunSettings& Settings) {
  const std::string& Delimiters = Settings.DelimiterText;
  Settings.SearchDelimiter = Delimiters.empty() ? ';' : Delimiters[0];
  Settings.ReplaceDelimiter = Delimiters.size() >= 2 ? Delimiters[1] : Settings.SearchDelimiter;

  Settings.PlusSpaceText.assign(Settings.PlusSpaceRec.Found ? 1 : 0, ' ');
  if (!Settings.LineLengthRec.Found) Settings.LineLength = 80;
  Settings.SeparatorLine =
      RepeatedLine(Settings.SeparatorRec, Settings.SeparatorCharText, '-', Settings.LineLength);
  Settings.DividerLine =
      RepeatedLine(Settings.LineCharRec, Settings.DividerCharText, '=', Settings.LineLength);
}

}  // namespace vellary::app
