// Registration of the option table, and the run settings derived from the
// option values before a file is processed.
#include "app/option_table.h"

#include "core/param_register.h"
#include "core/param_validation.h"
#include "engine/case_fold.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

namespace vellary::app {

// A row names exactly the value field its kind fills, and an integer row a
// default inside its range.
static constexpr bool TargetsFitKind(const TOptionRow& Row) {
  const bool Bool = Row.Bool.Named(), Text = Row.Text.Named(), Int = Row.Int.Named();
  switch (Row.Kind) {
  case okSwitch:
    return !Bool && !Text && !Int;
  case okBool:
    return Bool && !Text && !Int;
  case okText:
  case okTextEx:
    return !Bool && Text && !Int;
  case okInt:
    return !Bool && !Text && Int && Row.Minimum <= Row.Default && Row.Default <= Row.Maximum;
  }
  return false;
}

static constexpr bool EveryRowIsWellFormed() {
  return std::all_of(std::begin(OptionTable), std::end(OptionTable), [](const TOptionRow& Row) {
    return Row.Rec.Named() && TargetsFitKind(Row);
  });
}
static_assert(std::size(OptionTable) == 34);
static_assert(EveryRowIsWellFormed(), "a row's targets do not match its kind");

// Every registration searches the whole command line.
static constexpr int WholeLine = -1;
static constexpr int FromPosition = core::pmFromPosition;

static void Register(const TOptionRow& Row, core::TCoreState& Core, TRunSettings& Settings) {
  core::TParamState& P = Core.Params;
  core::TParamStatusArray& S = P.ParamStatus;
  TFindParamRec& Rec = Row.Rec.In(Core, Settings);
  switch (Row.Kind) {
  case okSwitch:
    core::FindParamSwitch(P, Rec, S, Row.Names, Row.Flags, WholeLine, FromPosition);
    break;
  case okBool:
    core::FindParamBool(P, Rec, S, Row.Names, Row.Bool.In(Core, Settings), WholeLine,
                        FromPosition);
    break;
  case okText:
    core::FindParamText(P, Rec, S, Row.Names, Row.Text.In(Core, Settings), WholeLine,
                        FromPosition);
    break;
  case okTextEx:
    core::FindParamTextEx(P, Rec, S, Row.Names, Row.Text.In(Core, Settings), Row.Flags,
                          WholeLine, FromPosition);
    break;
  case okInt:
    core::FindParamInt(P, Rec, S, Row.Names, Row.Int.In(Core, Settings), Row.Default,
                       Row.Minimum, Row.Maximum, WholeLine, FromPosition);
    break;
  }
  if (Row.Found != nullptr)
    Settings.Pipeline.*Row.Found = Rec.Found;
}

// The name form of a file option's value: the same argument (or the same
// part of it, after NAME: or NAME=) of the names. The option's name is ASCII
// in both forms, so the value starts at the same byte. A value the texts do
// not give the same way (a test's core with no names) is kept as it is.
static void TakeFileName(const core::TCoreState& Core, const TFindParamRec& Rec, std::string& Name) {
  const core::TParamStatusArray& Texts = Core.Params.ParamStatus;
  const std::vector<std::string>& Names = Core.Facts.NameArgs;
  if (Rec.Index < 0 || Names.size() != Texts.size())
    return;
  const auto I = static_cast<std::size_t>(Rec.Index);
  if (Rec.Attached) {
    const std::size_t From = Rec.Param.size() + 1;
    if (I < Names.size() && Names[I].size() >= From &&
        Texts[I].Text.compare(0, From, Names[I], 0, From) == 0)
      Name = Names[I].substr(From);
  } else if (I + 1 < Names.size() && Texts[I + 1].Text == Name) {
    Name = Names[I + 1];
  }
}

static void TakeFileNames(const core::TCoreState& Core, TRunSettings& Settings) {
  const std::vector<std::string>& Names = Core.Facts.NameArgs;
  Settings.InputName = Settings.Pipeline.InputFileName;
  if (!Settings.InputName.empty() && !Names.empty() && Names.size() == Core.Params.ParamStatus.size() &&
      Core.Params.ParamStatus.front().Text == Settings.InputName)
    Settings.InputName = Names.front();
  TakeFileName(Core, Settings.ReplaceRec, Settings.ReplaceFileName);
  TakeFileName(Core, Settings.OutRec, Settings.OutputFileName);
  TakeFileName(Core, Settings.MakeSampleRec, Settings.SampleFileName);
}

void RegisterOptions(core::TCoreState& Core, TRunSettings& Settings) {
  // Attached values allowed, bare one-character names not.
  Core.Params.ParamSyntaxMode = 2;
  core::GetInputFileParam(Core.Params.ParamStatus, Settings.Pipeline.InputFileName, 1);
  for (const TOptionRow& Row : OptionTable)
    Register(Row, Core, Settings);
  TakeFileNames(Core, Settings);

  // Debug mode turns both error feedbacks on, whatever their own options gave.
  if (Core.DebugModeRec.Found) {
    Core.AudibleError = true;
    Core.ErrorDelay = true;
  }
  Settings.SampleWithoutMake = Settings.ShowSampleRec.Found && !Settings.MakeSampleRec.Found;
}

// The first character of Text: in a UTF-8 locale the whole UTF-8 sequence
// that starts it (a lead byte that begins none stands alone), elsewhere its
// first byte. Empty for an empty text.
static std::string_view FirstCharacter(std::string_view Text, bool Utf8Characters) {
  if (Text.empty() || !Utf8Characters)
    return Text.substr(0, 1);
  const auto* P = reinterpret_cast<const unsigned char*>(Text.data());
  char32_t Cp = 0;
  return Text.substr(0, std::max<std::size_t>(engine::DecodeUtf8(P, P + Text.size(), Cp), 1));
}

// LineLength copies of the first character of Text when its option was found
// with a non-empty text, otherwise of Fallback.
static std::string RepeatedLine(const TFindParamRec& Rec, const std::string& Text, char Fallback,
                                std::int32_t LineLength, bool Utf8Characters) {
  const std::string_view C = (Rec.Found && !Text.empty()) ? FirstCharacter(Text, Utf8Characters)
                                                          : std::string_view(&Fallback, 1);
  std::string Line;
  Line.reserve(C.size() * static_cast<std::size_t>(std::max(LineLength, 0)));
  for (std::int32_t I = 0; I < LineLength; ++I)
    Line.append(C);
  return Line;
}

void DeriveRunSettings(TRunSettings& Settings, bool Utf8Characters) {
  engine::TPipelineSettings& Pipeline = Settings.Pipeline;
  std::string_view Delimiters = Settings.DelimiterText;
  const std::string_view Search = FirstCharacter(Delimiters, Utf8Characters);
  Pipeline.SearchDelimiter = Search.empty() ? std::string_view(";") : Search;
  Delimiters.remove_prefix(Search.size());
  const std::string_view Replace = FirstCharacter(Delimiters, Utf8Characters);
  Settings.ReplaceDelimiter = Replace.empty() ? Pipeline.SearchDelimiter : std::string(Replace);

  Pipeline.PlusSpaceText.assign(Settings.PlusSpaceRec.Found ? 1 : 0, ' ');
  if (!Settings.LineLengthRec.Found) Settings.LineLength = 80;
  Pipeline.SeparatorLine =
      RepeatedLine(Settings.SeparatorRec, Settings.SeparatorCharText, '-', Settings.LineLength,
                   Utf8Characters);
  Pipeline.DividerLine =
      RepeatedLine(Settings.LineCharRec, Settings.DividerCharText, '=', Settings.LineLength,
                   Utf8Characters);
}

}  // namespace vellary::app
