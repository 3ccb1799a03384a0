// Argument status array, input file naming and the syntax validation that
// sorts every argument by the marking the registrations left on it.
#include "core/param_validation.h"

#include "core/param_names.h"

#include <bitset>
#include <cstdint>
#include <limits>
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

namespace {

// The lower-cased distinct list, with an index that answers "does this text
// occur anywhere in it" without scanning the whole list per argument: a
// command line of 100 000 arguments would otherwise take minutes. Short
// lists are scanned; from ThresholdSize on, the position of every 3-byte
// window is kept in one of Buckets, and only the positions listed under the
// needle's least crowded window are compared.
class TContainedText {
public:
  void Append(std::string_view Piece) {
    const std::size_t Old = Text.size();
    for (char C : Piece) Text += AsciiLower(C);
    if (!Indexed && Text.size() >= ThresholdSize && Text.size() <= MaxIndexedSize) {
      Indexed = true;
      Buckets.resize(BucketCount);
      IndexFrom(0);
    } else if (Indexed) {
      IndexFrom(Old);
    }
  }

  bool Contains(std::string_view LowerNeedle) const {
    if (!Indexed || LowerNeedle.size() > Text.size()) return Text.find(LowerNeedle) != std::string::npos;
    if (LowerNeedle.size() < 3) return ShortContains(LowerNeedle);
    std::size_t Best = 0;
    for (std::size_t I = 1; I + 3 <= LowerNeedle.size(); ++I)
      if (Buckets[WindowKey(LowerNeedle, I)].size() < Buckets[WindowKey(LowerNeedle, Best)].size())
        Best = I;
    for (std::uint32_t Pos : Buckets[WindowKey(LowerNeedle, Best)]) {
      if (Pos < Best) continue;
      const std::size_t Start = Pos - Best;
      if (Text.compare(Start, LowerNeedle.size(), LowerNeedle) == 0) return true;
    }
    return false;
  }

private:
  static constexpr std::size_t ThresholdSize = 16 * 1024;
  static constexpr std::size_t MaxIndexedSize = std::numeric_limits<std::uint32_t>::max();
  static constexpr std::size_t BucketCount = 4096;

  static std::size_t Byte(std::string_view T, std::size_t I) {
    return static_cast<unsigned char>(T[I]);
  }
  static std::size_t WindowKey(std::string_view T, std::size_t I) {
    return (Byte(T, I) * 961 + Byte(T, I + 1) * 31 + Byte(T, I + 2)) % BucketCount;
  }
  bool ShortContains(std::string_view Needle) const {
    if (Needle.empty()) return true;
    if (Needle.size() == 1) return Singles[Byte(Needle, 0)];
    return Pairs[Byte(Needle, 0) * 256 + Byte(Needle, 1)];
  }
  // Indexes every byte, pair and window that ends at or after From.
  void IndexFrom(std::size_t From) {
    if (Text.size() > MaxIndexedSize) {
      Indexed = false;  // positions no longer fit: back to scanning
      Buckets.clear();
      return;
    }
    for (std::size_t I = From; I < Text.size(); ++I) {
      Singles[Byte(Text, I)] = true;
      if (I >= 1) Pairs[Byte(Text, I - 1) * 256 + Byte(Text, I)] = true;
      if (I >= 2) Buckets[WindowKey(Text, I - 2)].push_back(static_cast<std::uint32_t>(I - 2));
    }
  }

  std::string Text;
  bool Indexed = false;
  std::bitset<256> Singles;
  std::bitset<65536> Pairs;
  std::vector<std::vector<std::uint32_t>> Buckets;
};

}  // namespace

// Sorts one argument inside the validated range into the record's lists.
static void CountArgumentInRange(TParamStatisticsRec& Stats, const TParamStatusRec& Arg,
                                 TContainedText& Distinct) {
  std::string_view Text = Arg.Text;
  AddToParamList(Stats.AllCount, Stats.AllList, Text);
  if (Text.empty()) {
    Text = "\"\"";
  } else {
    AddToParamList(Stats.NonEmptyCount, Stats.NonEmptyList, Text);
  }
  // A contained-text test, so an argument that occurs inside an earlier one
  // is not counted as distinct.
  if (!Distinct.Contains(detail::LowerAsciiText(Text))) {
    const std::size_t Before = Stats.DistinctList.size();
    AddToParamList(Stats.DistinctCount, Stats.DistinctList, Text);
    Distinct.Append(std::string_view(Stats.DistinctList).substr(Before));
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
    Accepted = Accepted || EqualsIgnoringAsciiCase(Word, Spelling);
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
    TContainedText Distinct;
    Stats.FirstIndex = static_cast<std::uint16_t>(First);
    Stats.LastIndex = static_cast<std::uint16_t>(Last);
    for (std::int64_t I = 0; I < Count; ++I) {
      const TParamStatusRec& Arg = ParamStatus[static_cast<std::size_t>(I)];
      if (I >= First && I <= Last) {
        CountArgumentInRange(Stats, Arg, Distinct);
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
  detail::TrimBlanks(List);
}

void AddToParamList(std::uint16_t& Counter, std::string& List, std::string_view Text) {
  // A count that wrapped round to 0 would read as "none" to every check of
  // "count > 0": it stops at its maximum instead.
  if (Counter < std::numeric_limits<std::uint16_t>::max()) ++Counter;
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
