// Parameter registration: matching names against arguments, taking values,
// marking the argument status array, and the integer conversion of values.
#include "core/param_register.h"

#include "core/param_names.h"

#include <charconv>
#include <optional>

namespace vellary::core {

static void ResetFindParamRec(TFindParamRec& Rec, std::string_view DefaultValue,
                              std::string_view DefaultValue2) {
  Rec.ValueAdjusted = false;
  Rec.Found = false;
  Rec.Attached = false;
  Rec.Index = -1;
  Rec.NextIndex = -1;
  Rec.Param.clear();
  Rec.Value.assign(DefaultValue);
  Rec.Value2.assign(DefaultValue2);
}

// Whether Arg starts with Prefix followed by Name, letter case of the name
// ignored. The prefixes hold no letters, so they compare exactly.
static bool StartsWithSpelling(std::string_view Arg, std::string_view Prefix,
                               std::string_view Name) {
  if (Arg.size() < Prefix.size() + Name.size()) return false;
  return Arg.substr(0, Prefix.size()) == Prefix &&
         EqualsIgnoringAsciiCase(Arg.substr(Prefix.size(), Name.size()), Name);
}

bool MatchParamName(const TParamState& State, std::string_view Name, std::string_view Arg,
                    TFindParamRec& Scratch) {
  ResetFindParamRec(Scratch, {}, {});
  const bool AttachAllowed = detail::AttachedValuesAllowed(State.ParamSyntaxMode);
  const detail::TPrefixList Prefixes =
      detail::ParamPrefixes(Name, State.ParamSyntaxMode, State.LongParamsDoubleDashOnly);
  for (std::size_t P = 0; P < Prefixes.Count; ++P) {
    const std::string_view Prefix = Prefixes.Items[P];
    if (!StartsWithSpelling(Arg, Prefix, Name)) continue;
    const std::size_t SpellingLength = Prefix.size() + Name.size();
    if (Arg.size() == SpellingLength) {
      Scratch.Found = true;
      Scratch.Param.assign(Arg);
      return true;
    }
    const char Separator = Arg[SpellingLength];
    if (AttachAllowed && (Separator == ':' || Separator == '=')) {
      Scratch.Found = true;
      Scratch.Attached = true;
      Scratch.Param.assign(Arg.substr(0, SpellingLength));
      Scratch.Value.assign(Arg.substr(SpellingLength + 1, MaxAttachedValueLength));
      return true;
    }
  }
  return false;
}

void RegisterParamNames(TParamState& State, std::string_view Names) {
  const std::string Upper = detail::UpperAsciiText(Names);
  std::string& Registered = State.RegisteredParamNames;
  detail::ForEachWord(Upper, " ", [&Registered](std::string_view Word) {
    bool Present = false;
    detail::ForEachWord(Registered, " ", [&](std::string_view Known) {
      Present = Present || Known == Word;
    });
    if (Present) return;
    Registered += ' ';
    Registered += Word;
  });
  detail::TrimBlanks(Registered);
}

static void MarkParam(TParamStatusRec& Arg) {
  Arg.Status = psParam;
  Arg.NameMatched = true;
}

static void MarkIncomplete(TParamStatusRec& Arg, bool AttachedForm) {
  Arg.Status = psIncomplete;
  Arg.NameMatched = true;
  Arg.ValuePresent = false;
  Arg.AttachedForm = AttachedForm;
}

// Takes the argument at ValueIndex as the value of the parameter at
// ParamIndex, under the rules for a missing, empty or already recognised one.
static void TakeSeparateValue(TFindParamRec& Rec, TParamStatusArray& ParamStatus,
                              std::size_t ParamIndex, std::size_t ValueIndex, bool Mandatory,
                              std::string& Value) {
  if (ValueIndex >= ParamStatus.size()) {
    Value.clear();
    if (Mandatory) {
      Rec.Found = false;
      MarkIncomplete(ParamStatus[ParamIndex], false);
    }
    return;
  }
  TParamStatusRec& Next = ParamStatus[ValueIndex];
  Value = Next.Text;
  if (Mandatory && Value.empty()) {
    Rec.Found = false;
    MarkIncomplete(ParamStatus[ParamIndex], false);
  } else if (Next.Status == psUnmarked || Next.Status == psValue) {
    Next.Status = psValue;
    Next.ValuePresent = true;
  } else {
    // An earlier registration recognised it: the value text is kept, but the
    // parameter is reported as lacking its own value.
    ParamStatus[ParamIndex].Status = psIncomplete;
    ParamStatus[ParamIndex].NameMatched = true;
  }
}

// One matching argument: marks it, takes its value(s) and logs the record.
// True when an accepted attached value ends the search of this argument.
static bool TakeMatch(TParamState& State, TFindParamRec& Rec, TParamStatusArray& ParamStatus,
                      std::size_t I, const TFindParamRec& Scratch, int ValueCount,
                      unsigned Flags) {
  TParamStatusRec& Arg = ParamStatus[I];
  MarkParam(Arg);
  Rec.Param = Arg.Text;
  Rec.Index = static_cast<std::int32_t>(I);
  Rec.NextIndex = static_cast<std::int32_t>(I + 1);
  Rec.Found = true;
  const bool FirstMandatory = (Flags & (fpMandatory | fpFirstMandatory)) != 0;
  if (Scratch.Attached) {
    Rec.Param = Scratch.Param;
    Rec.Value = Scratch.Value;
    Rec.Attached = true;
    if (!(FirstMandatory && Rec.Value.empty())) {
      Arg.Status = psParamWithValue;
      Arg.ValuePresent = true;
      Arg.AttachedForm = true;
      Arg.IsInputFile = false;
      return true;
    }
    // An empty attached value where one is required: a following argument
    // may still supply it.
    MarkIncomplete(Arg, true);
  }
  if (ValueCount >= 1) {
    TakeSeparateValue(Rec, ParamStatus, I, I + 1, FirstMandatory, Rec.Value);
  }
  if (ValueCount >= 2) {
    TakeSeparateValue(Rec, ParamStatus, I, I + 2, (Flags & fpMandatory) != 0, Rec.Value2);
  }
  if (State.LogFoundParams) State.FoundParamLog.push_back(Rec);
  return false;
}

void FindParam(TParamState& State, TFindParamRec& Rec, TParamStatusArray& ParamStatus,
               std::string_view Names, int LastPos, int FirstPos, int ValueCount,
               unsigned Flags, std::string_view DefaultValue, std::string_view DefaultValue2) {
  ResetFindParamRec(Rec, DefaultValue, DefaultValue2);
  RegisterParamNames(State, Names);
  const auto Count = static_cast<std::int64_t>(ParamStatus.size());
  std::int64_t Last = LastPos;
  if (Last == -1 || Last > Count - 1) Last = Count - 1;
  const std::int64_t First = FirstPos < 0 ? 0 : FirstPos;
  TFindParamRec Scratch;
  for (std::int64_t I = First; I <= Last; ++I) {
    const auto Index = static_cast<std::size_t>(I);
    std::size_t Pos = 0;
    std::string_view Name;
    while (detail::NextWord(Names, detail::NameSeparators, Pos, Name)) {
      if (!MatchParamName(State, Name, ParamStatus[Index].Text, Scratch)) continue;
      if (TakeMatch(State, Rec, ParamStatus, Index, Scratch, ValueCount, Flags)) break;
    }
    if ((Flags & fpEveryOccurrence) == 0 && Rec.Index != -1) return;
  }
}

// First and last positions of a registration's search from its position and
// mode; -1 stands for "the last argument" on the last side.
static void SearchBounds(int Position, int Mode, int& LastPos, int& FirstPos) {
  if (Mode == pmToPosition) {
    FirstPos = 0;
    LastPos = Position;
  } else {
    FirstPos = Position;
    LastPos = -1;
  }
}

void FindParamSwitch(TParamState& State, TFindParamRec& Rec, TParamStatusArray& ParamStatus,
                     std::string_view Names, unsigned Flags, int Position, int Mode) {
  int LastPos = -1, FirstPos = -1;
  SearchBounds(Position, Mode, LastPos, FirstPos);
  FindParam(State, Rec, ParamStatus, Names, LastPos, FirstPos, 0, Flags, {}, {});
}

void FindParamBool(TParamState& State, TFindParamRec& Rec, TParamStatusArray& ParamStatus,
                   std::string_view Names, bool& Result, int Position, int Mode) {
  int LastPos = -1, FirstPos = -1;
  SearchBounds(Position, Mode, LastPos, FirstPos);
  FindParam(State, Rec, ParamStatus, Names, LastPos, FirstPos, 1, 0, {}, {});
  Result = Rec.Found;
}

void FindParamText(TParamState& State, TFindParamRec& Rec, TParamStatusArray& ParamStatus,
                   std::string_view Names, std::string& Result, int Position, int Mode) {
  int LastPos = -1, FirstPos = -1;
  SearchBounds(Position, Mode, LastPos, FirstPos);
  Result.clear();
  FindParam(State, Rec, ParamStatus, Names, LastPos, FirstPos, 1, 0, {}, {});
  Result = Rec.Value;
}

void FindParamTextEx(TParamState& State, TFindParamRec& Rec, TParamStatusArray& ParamStatus,
                     std::string_view Names, std::string& Text, unsigned Flags, int Position,
                     int Mode) {
  int LastPos = -1, FirstPos = -1;
  SearchBounds(Position, Mode, LastPos, FirstPos);
  if ((Flags & fpKeepDefault) == 0) Text.clear();
  FindParam(State, Rec, ParamStatus, Names, LastPos, FirstPos, 1, Flags, Text, {});
  Text = Rec.Value;
}

void FindParamInt(TParamState& State, TFindParamRec& Rec, TParamStatusArray& ParamStatus,
                  std::string_view Names, std::int32_t& Result, std::int32_t Default,
                  std::int32_t Minimum, std::int32_t Maximum, int Position, int Mode) {
  int LastPos = -1, FirstPos = -1;
  SearchBounds(Position, Mode, LastPos, FirstPos);
  FindParam(State, Rec, ParamStatus, Names, LastPos, FirstPos, 1, 0, {}, {});
  Result = static_cast<std::int32_t>(StrToIntInRange(State, Rec.Value, Default, Minimum, Maximum));
  Rec.Value = std::to_string(Result);
  Rec.ValueAdjusted = State.IntParamAdjusted;
}

// The radix that Text's prefix selects ("$", "0x" or "x" 16, "&" 8, "%" 2,
// none 10); the prefix is removed from Text.
static int TakeRadixPrefix(std::string_view& Text) {
  struct TRadixPrefix {
    std::string_view Prefix;
    int Radix;
  };
  static constexpr TRadixPrefix Prefixes[] = {{"$", 16}, {"0x", 16}, {"0X", 16}, {"x", 16},
                                              {"X", 16}, {"&", 8},   {"%", 2}};
  for (const TRadixPrefix& P : Prefixes) {
    if (!Text.starts_with(P.Prefix)) continue;
    Text.remove_prefix(P.Prefix.size());
    return P.Radix;
  }
  return 10;
}

// Unsigned 64-bit reading of Text: leading blanks, one "+", a radix prefix,
// then at least one digit of that radix and nothing else.
static std::optional<std::uint64_t> ParseUnsigned64(std::string_view Text) {
  std::size_t Pos = Text.find_first_not_of(' ');
  if (Pos == std::string_view::npos) return std::nullopt;
  Text.remove_prefix(Pos);
  if (!Text.empty() && Text.front() == '+') Text.remove_prefix(1);
  const int Radix = TakeRadixPrefix(Text);
  // Unsigned, so from_chars takes no sign of its own: "+-5" fails here.
  std::uint64_t Result = 0;
  const char* const End = Text.data() + Text.size();
  const auto [Stop, Error] = std::from_chars(Text.data(), End, Result, Radix);
  if (Error != std::errc{} || Stop != End) return std::nullopt;
  return Result;
}

std::int64_t StrToIntInRange(TParamState& State, std::string_view Text, std::int64_t Default,
                             std::int64_t Minimum, std::int64_t Maximum) {
  std::string Digits(Text.substr(0, Text.find('.')));
  std::erase(Digits, ',');
  const auto DefaultU = static_cast<std::uint64_t>(Default);
  const std::uint64_t Parsed = ParseUnsigned64(Digits).value_or(DefaultU);
  std::uint64_t Result = Parsed;
  State.IntParamAdjusted = Result == DefaultU;
  if (Result < static_cast<std::uint64_t>(Minimum)) {
    Result = static_cast<std::uint64_t>(Minimum);
    State.IntParamAdjusted = true;
  }
  if (Result > static_cast<std::uint64_t>(Maximum)) {
    Result = static_cast<std::uint64_t>(Maximum);
    State.IntParamAdjusted = true;
  }
  return static_cast<std::int64_t>(Result);
}

}  // namespace vellary::core
