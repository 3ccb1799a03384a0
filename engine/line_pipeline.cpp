// The line pipeline: blank-line handling, clean-up, replacements, search
// lists and the layout of each displayed line's record; the trailing output.
#include "engine/line_pipeline.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace vellary::engine {

static constexpr std::string_view LineBreak = "\r\n";

// Empty, exactly one byte 0, or exactly CR LF. A line of blanks is not blank.
static bool IsBlankLine(std::string_view Line) {
  return Line.empty() || (Line.size() == 1 && Line[0] == '\0') || Line == LineBreak;
}

static TSearchListTexts ListTextsOf(const TPipelineSettings& S) {
  TSearchListTexts T;
  T.SpaceBefore = S.SpaceBeforeList;
  T.SpaceAfter = S.SpaceAfterList;
  T.LineBefore = S.LineBeforeList;
  T.LineAfter = S.LineAfterList;
  T.Skip = S.SkipList;
  T.Find = S.FindList;
  T.FindBefore = S.FindBeforeList;
  T.FindAfter = S.FindAfterList;
  T.FindGiven = S.Find;
  T.FindBeforeGiven = S.FindBefore;
  T.FindAfterGiven = S.FindAfter;
  return T;
}

TLinePipeline::TLinePipeline(const TPipelineSettings& S)
    : Ascii(S.Ascii), Replace(S.Replace), Find(S.Find), Eliminate(S.Eliminate), Tally(S.Tally),
      Divider(S.Divider), Newline(S.Newline), SeparatorLine(S.SeparatorLine),
      DividerLine(S.DividerLine), PlusSpaceText(S.PlusSpaceText), PrependText(S.PrependText),
      AppendText(S.AppendText), DividerCount(S.DividerCount), NewlineCount(S.NewlineCount),
      InputFileName(S.InputFileName) {
  const TMatchOptions Options{.CaseSensitive = S.CaseSensitive, .Extended = S.Extended, .Upper = S.Upper};
  Lists = PrepareSearchLists(ListTextsOf(S), S.SearchDelimiter, Options);
  if (!Replace)
    return;
  Pairs.reserve(S.Replacements.size());
  std::vector<std::string> Needles;
  for (const TSearchReplaceRec& Pair : S.Replacements) {
    Pairs.emplace_back(Pair, S.CaseSensitive, S.Extended, S.Upper);
    Needles.push_back(Pairs.back().Finder().Folded());
  }
  if (!Pairs.empty())
    PairFilter = TPairFilter(std::move(Needles), Pairs.front().Finder().FoldTable());
}

std::int32_t TLinePipeline::DisplayedCount() const {
  constexpr std::int64_t Max = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(Displayed < Max ? Displayed : Max);
}

// The working line: RawLine itself when nothing changes it, otherwise a view
// of whichever scratch buffer holds the last change.
std::string_view TLinePipeline::CleanAndReplace(std::string_view RawLine) {
  std::string_view Line = RawLine;
  std::string* Holder = nullptr;
  if (Ascii && Line.find('\0') != std::string_view::npos) {
    Work.clear();
    for (std::size_t From = 0, Zero; From < Line.size(); From = Zero + 1) {
      Zero = std::min(Line.find('\0', From), Line.size());
      Work.append(Line.substr(From, Zero - From));
    }
    Holder = &Work;
    Line = Work;
  }
  if (Pairs.empty())
    return Line;
  PairFilter.Observe(Line);
  // Until a pair changes the line, only the pairs the filter lets through
  // can occur; after a change, inserted text may hold any search text, so
  // every later pair searches.
  const std::size_t Filtered = std::min(Pairs.size(), TPairFilter::MaxPairs);
  std::uint32_t Candidates = PairFilter.Candidates(Line);
  std::size_t K = 0;
  while (K < Filtered) {
    if (Candidates == 0) {
      K = Filtered;
      break;
    }
    K = static_cast<std::size_t>(std::countr_zero(Candidates));
    Candidates &= Candidates - 1;
    if (K >= Filtered) {
      K = Filtered;
      break;
    }
    std::string* Free = Holder == &Work ? &Scratch : &Work;
    if (Pairs[K++].Apply(Line, *Free)) {
      Holder = Free;
      Line = *Holder;
      break;
    }
  }
  for (; K < Pairs.size(); ++K) {
    std::string* Free = Holder == &Work ? &Scratch : &Work;
    if (!Pairs[K].Apply(Line, *Free))
      continue;
    Holder = Free;
    Line = *Holder;
  }
  return Line;
}

void TLinePipeline::BuildRecord(std::string_view Line, const TSearchMatchRec& Match) {
  // Prepend and append land on the first and last physical line of the block.
  Record.clear();
  if (Match.FindBefore)
    Record += PrependText;
  if (Match.SpaceBefore)
    Record.append(PlusSpaceText).append(LineBreak);
  if (Match.LineBefore)
    Record.append(SeparatorLine).append(LineBreak);
  Record += Line;
  if (Match.LineAfter)
    Record.append(LineBreak).append(SeparatorLine);
  if (Match.SpaceAfter)
    Record.append(LineBreak).append(PlusSpaceText);
  if (Match.FindAfter)
    Record += AppendText;
}

bool TLinePipeline::ProcessLine(std::string_view RawLine, TLineSink& Out) {
  if (IsBlankLine(RawLine)) {
    if (Find || Eliminate)
      return true;
    return Out.PutLine(PlusSpaceText);
  }
  const std::string_view Line = CleanAndReplace(RawLine);

  // The tests are independent of each other, so the lists that decide whether
  // the line is shown at all go first and the rest only run for shown lines.
  if (Lists.FindGiven && !Lists.Find.Matches(Line))
    return true;
  if (Lists.Skip.Matches(Line))
    return true;
  TSearchMatchRec Match;
  Match.SpaceBefore = Lists.SpaceBefore.Matches(Line);
  Match.SpaceAfter = Lists.SpaceAfter.Matches(Line);
  Match.LineBefore = Lists.LineBefore.Matches(Line);
  Match.LineAfter = Lists.LineAfter.Matches(Line);
  // Prepending or appending nothing changes nothing: skip those tests then.
  Match.FindBefore = !PrependText.empty() && (!Lists.FindBeforeGiven || Lists.FindBefore.Matches(Line));
  Match.FindAfter = !AppendText.empty() && (!Lists.FindAfterGiven || Lists.FindAfter.Matches(Line));

  ++Displayed;
  const bool Extended = Match.SpaceBefore || Match.SpaceAfter || Match.LineBefore ||
                        Match.LineAfter || Match.FindBefore || Match.FindAfter;
  if (!Extended)
    return Out.PutLine(Line);
  BuildRecord(Line, Match);
  return Out.PutLine(Record);
}

bool TLinePipeline::FinishOutput(TLineSink& Out, TLineSink& TallySink) {
  if (Divider)
    for (std::int32_t I = 0; I < DividerCount; ++I)
      if (!Out.PutLine(DividerLine))
        return false;
  // Each newline record holds a line break of its own besides the record's end.
  if (Newline)
    for (std::int32_t I = 0; I < NewlineCount; ++I)
      if (!Out.PutLine(LineBreak))
        return false;
  if (!Tally)
    return true;
  // Plain concatenation: the file name is never a format.
  Record.assign("--- ").append(InputFileName).append(": ").append(std::to_string(Displayed));
  return TallySink.PutLine(Record);
}

}  // namespace vellary::engine
