// Argument status array, input file naming and the syntax validation that
// sorts every argument by the marking the registrations left on it.
#include "core/param_validation.h"

#include "core/param_names.h"

#include <span>

namespace vellary::core {

void InitParamState(TParamState& State, const std::vector<std::string>& Args) {
  State = TParamState{};
  InitParamStatus(State.ParamStatus, Args);
  State.FoundParamLog.clear();
  InitParamStatistics(State.CustomSyntaxStats, CustomSyntaxRecordName);
  InitParamStatistics(State.DefaultSyntaxStats, DefaultSyntaxRecordName);
}

void InitParamStatus(TParamStatusArray& ParamStatus, const std::vector<std::string>& Args) {
  ParamStatus.clear();
  ParamStatus.reserve(Args.size());
  for (const std::string& Arg : Args) ParamStatus.push_back(TParamStatusRec{.Text = Arg});
}

void GetInputFileParam(TParamStatusArray& ParamStatus, std::string& FileName, int N) {
  if (N <= 0) return;
  const auto Index = static_cast<std::size_t>(N - 1);
  if (Index >= ParamStatus.size()) {
    FileName.clear();
    return;
  }
  FileName = ParamStatus[Index].Text;
  if (FileName.empty()) return;
  ParamStatus[Index].Status = psInputFile;
  ParamStatus[Index].IsInputFile = true;
}

void ValidateParamSyntax(TParamState& State, TParamStatisticsRec& Stats,
                         const TParamStatusArray& ParamStatus, std::string_view RegisteredNames,
                         bool CheckOptions, int FirstPos, int LastPos) {
  CollectParamStatistics(State, Stats, ParamStatus, RegisteredNames, CheckOptions, FirstPos,
                         LastPos);
  if (State.DefaultSyntaxStats.Validated) return;
  CollectParamStatistics(State, State.DefaultSyntaxStats, ParamStatus, RegisteredNames,
                         CheckOptions, -1, -1);
}

// Sorts one argument inside the validated range into the record's lists.
static void CountArgumentInRange(TParamStatisticsRec& Stats, const TParamStatusRec& Arg) {
  std::string_view Text = Arg.Text;
  AddToParamList(Stats.AllCount, Stats.AllList, Text);
  if (Text.empty()) {
    Text = "\"\"";
  } else {
    AddToParamList(Stats.NonEmptyCount, Stats.NonEmptyList, Text);
  }
  // A contained-text test, so an argument that occurs inside an earlier one
  // is not counted as distinct.
  if (detail::LowerAsciiText(Stats.DistinctList).find(detail::LowerAsciiText(Text)) ==
      std::string::npos) {
    AddToParamList(Stats.DistinctCount, Stats.DistinctList, Text);
  }
  if (Arg.Status != psParam && Arg.Status != psValue) {
    AddToParamList(Stats.OtherCount, Stats.OtherList, Text);
  }
  AddToParamList(Stats.ShownCount, Stats.ShownList, Text);
  switch (Arg.Status) {
    case psUnmarked: AddToParamList(Stats.InvalidCount, Stats.InvalidList, Text); break;
    case psParam: AddToParamList(Stats.FoundCount, Stats.FoundList, Text); break;
    case psValue: AddToParamList(Stats.ValueCount, Stats.ValueList, Text); break;
    case psParamWithValue: AddToParamList(Stats.AttachedCount, Stats.AttachedList, Text); break;
    case psIncomplete: AddToParamList(Stats.IncompleteCount, Stats.IncompleteList, Text); break;
    case psInputFile: AddToParamList(Stats.InputFileCount, Stats.InputFileList, Text); break;
  }
}

static bool IsAcceptedSpelling(std::string_view Word, std::string_view AcceptedSpellings) {
  bool Accepted = false;
  detail::ForEachWord(AcceptedSpellings, " ", [&](std::string_view Spelling) {
    Accepted = Accepted || detail::EqualsNoCase(Word, Spelling);
  });
  return Accepted;
}

// The recognised option spellings among the found and attached arguments.
// Splitting at ":" lets "-o:out.txt" count through its "-o".
static void CollectOptionsFound(TParamStatisticsRec& Stats) {
  const std::string Candidates = Stats.FoundList + Stats.AttachedList;
  detail::ForEachWord(Candidates, " :", [&Stats](std::string_view Word) {
    if (!IsAcceptedSpelling(Word, Stats.AcceptedSpellings)) return;
    Stats.OptionsFound += Word;
    Stats.OptionsFound += ' ';
  });
}

void CollectParamStatistics(TParamState& State, TParamStatisticsRec& Stats,
                            const TParamStatusArray& ParamStatus,
                            std::string_view RegisteredNames, bool CheckOptions, int FirstPos,
                            int LastPos) {
  InitParamStatistics(Stats, {});
  BuildStandaloneParams(State.StandaloneParams, RegisteredNames, StandaloneCandidateNames);
  Stats.AcceptedSpellings = BuildParamSpellings(State, RegisteredNames, 0);
  if (!ParamStatus.empty()) {
    const auto Count = static_cast<std::int64_t>(ParamStatus.size());
    const std::int64_t First = FirstPos < 0 ? 0 : FirstPos;
    const std::int64_t Last = (LastPos < 0 || LastPos > Count - 1) ? Count - 1 : LastPos;
    Stats.FirstIndex = static_cast<std::uint16_t>(First);
    Stats.LastIndex = static_cast<std::uint16_t>(Last);
    for (std::int64_t I = 0; I < Count; ++I) {
      const TParamStatusRec& Arg = ParamStatus[static_cast<std::size_t>(I)];
      if (I >= First && I <= Last) {
        CountArgumentInRange(Stats, Arg);
        continue;
      }
      AddToParamList(Stats.OutOfRangeCount, Stats.OutOfRangeList, Arg.Text);
      if (Arg.Status == psInputFile) {
        AddToParamList(Stats.InputFileCount, Stats.InputFileList, Arg.Text);
      }
    }
  }
  if (!Stats.AcceptedSpellings.empty()) {
    CollectOptionsFound(Stats);
    Stats.NoOptionFound = CheckOptions && Stats.OptionsFound.empty();
  }
  Stats.Validated = true;
  Stats.Ok = Stats.AllCount >= Stats.FirstIndex && Stats.InvalidList.empty() &&
             Stats.IncompleteList.empty() && !Stats.NoOptionFound;
}

void InitParamStatistics(TParamStatisticsRec& Stats, std::string_view Name) {
  std::string RecordName = Name.empty() ? std::move(Stats.RecordName) : std::string(Name);
  Stats = TParamStatisticsRec{};
  Stats.RecordName = std::move(RecordName);
}

std::string BuildParamSpellings(const TParamState& State, std::string_view Names, int Mode) {
  static constexpr std::string_view PlainSuffix[] = {""};
  static constexpr std::string_view AttachSuffixes[] = {"", ":", "="};
  const bool Attach = detail::AttachedValuesAllowed(Mode);
  const std::span<const std::string_view> Suffixes =
      Attach ? std::span<const std::string_view>(AttachSuffixes)
             : std::span<const std::string_view>(PlainSuffix);
  std::string Result;
  std::string Entry;
  detail::ForEachWord(Names, detail::NameSeparators, [&](std::string_view Word) {
    const detail::TPrefixList Prefixes =
        detail::ParamPrefixes(Word, Mode, State.LongParamsDoubleDashOnly);
    for (const std::string_view Suffix : Suffixes) {
      for (std::size_t P = 0; P < Prefixes.Count; ++P) {
        Entry.assign(Prefixes.Items[P]);
        Entry += Word;
        Entry += Suffix;
        Entry += ' ';
        if (Result.find(Entry) == std::string::npos) Result += Entry;
      }
    }
  });
  return Result;
}

void BuildStandaloneParams(std::string& List, std::string_view RegisteredNames,
                           std::string_view CandidateNames) {
  if (!CandidateNames.empty()) {
    const std::string Candidates = detail::UpperAsciiText(CandidateNames);
    const std::string Registered = std::string(RegisteredNames) + ' ';
    detail::ForEachWord(Candidates, " ", [&](std::string_view Word) {
      const std::string Key = std::string(Word) + ' ';
      if ((List + ' ').find(Key) != std::string::npos) return;
      if (Registered.find(Key) == std::string::npos) return;
      List += ' ';
      List += Word.size() == 1 ? "-" : "--";
      List += Word;
    });
  }
  const std::size_t First = List.find_first_not_of(' ');
  if (First == std::string::npos) {
    List.clear();
    return;
  }
  List.erase(0, First);
  List.erase(List.find_last_not_of(' ') + 1);
}

void AddToParamList(std::uint16_t& Counter, std::string& List, std::string_view Text) {
  ++Counter;
  List += QuoteIfNeeded(Text);
  List += ' ';
}

std::string QuoteIfNeeded(std::string_view Text) {
  if (!Text.empty() && Text.find_first_of(" ;") == std::string_view::npos) {
    return std::string(Text);
  }
  std::string Quoted;
  Quoted.reserve(Text.size() + 2);
  Quoted += '"';
  Quoted += Text;
  Quoted += '"';
  return Quoted;
}

}  // namespace vellary::core
