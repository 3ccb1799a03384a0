// The line pipeline: blank-line handling, clean-up, replacements, search
// lists and the layout of each displayed line's record; the trailing output.
#include "engine/line_pipeline.h"

#include "core/byte_scan.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <utility>

namespace vellary::engine {

static constexpr std::string_view LineBreak = "\r\n";

// Empty, exactly one byte 0, or exactly CR LF. A line of blanks is not blank.
static bool IsBlankLine(std::string_view Line) {
  // Most lines are longer than two bytes: one test settles them.
  if (Line.size() > 2)
    return false;
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

TPreparedRun::TPreparedRun(TPipelineSettings Settings) : S(std::move(Settings)) {
  DropsBlank = S.Find || S.Eliminate;
  BlankStaysEmpty = !DropsBlank && S.PlusSpaceText.empty();
  const TMatchOptions Options{.CaseSensitive = S.CaseSensitive, .Extended = S.Extended, .Upper = S.Upper};
  Lists = PrepareSearchLists(ListTextsOf(S), S.SearchDelimiter, Options);
  for (const TPreparedSearchList* List : {&Lists.SpaceBefore, &Lists.SpaceAfter, &Lists.LineBefore,
                                          &Lists.LineAfter, &Lists.Skip, &Lists.Find,
                                          &Lists.FindBefore, &Lists.FindAfter})
    NeedsFoldTest = NeedsFoldTest || !List->NeedsNoFold();
  ChooseBlockMode();
  if (!S.Replace)
    return;
  Pairs.reserve(S.Replacements.size());
  for (const TSearchReplaceRec& Pair : S.Replacements) {
    Pairs.emplace_back(Pair, S.CaseSensitive, S.Extended, S.Upper);
    PairsNeedFold = PairsNeedFold || !Pairs.back().Finder().AnyLine();
  }
  NeedsFoldTest = NeedsFoldTest || PairsNeedFold;
  if (!Pairs.empty())
    PreparePairSearch();
}

void TPreparedRun::PreparePairSearch() {
  const TUpperTable& Fold = Pairs.front().Finder().FoldTable();
  if (Pairs.size() <= TPairFilter::MaxPairs) {
    std::vector<std::string> Needles;
    for (const TPreparedReplacement& Pair : Pairs)
      Needles.push_back(Pair.Finder().Folded());
    PairFilter = TPairFilter(std::move(Needles), Fold);
    return;
  }
  std::vector<std::string_view> Texts;
  for (std::size_t K = 0; K < Pairs.size(); ++K) {
    const bool Loose = Pairs[K].Finder().ChecksBoundaries();
    Texts.push_back(Loose ? std::string_view() : std::string_view(Pairs[K].Finder().Folded()));
    if (Loose)
      LoosePairs.push_back(static_cast<std::uint32_t>(K));
  }
  PairFinder = TMultiFinder(Texts, Fold);
}

// A block-wide search stands in for the per-line tests only where the line
// as searched is the input line itself and one literal list decides.
void TPreparedRun::ChooseBlockMode() {
  if (S.Ascii || (S.Replace && !S.Replacements.empty()))
    return;
  const bool Framed = Lists.SpaceBefore.CanMatch() || Lists.SpaceAfter.CanMatch() ||
                      Lists.LineBefore.CanMatch() || Lists.LineAfter.CanMatch() ||
                      !S.PrependText.empty() || !S.AppendText.empty();
  const TPreparedSearchList& Deciding = Lists.FindGiven ? Lists.Find : Lists.Skip;
  if (!Deciding.Literal() || (!Lists.FindGiven && Framed))
    return;
  const std::vector<const TByteFinder*> Finders = Deciding.Finders();
  Finder = TBlockFinder(Finders);
  if (Finder.Usable())
    Mode = Lists.FindGiven ? bmFind : bmShowUnlessFound;
}

TLinePipeline::TLinePipeline(const TPreparedRun& Prepared)
    : Run(Prepared), S(Prepared.S), PairFilter(Prepared.PairFilter) {}

// The one rule for blank lines (see TPreparedRun::DropsBlank).
bool TLinePipeline::PutBlank(TLineSink& Out) {
  return Run.DropsBlank || Out.PutLine(S.PlusSpaceText);
}

// The line without NUL bytes (-a): RawLine itself when it holds none.
std::string_view TLinePipeline::Clean(std::string_view RawLine) {
  Holder = nullptr;
  if (!S.Ascii || RawLine.find('\0') == std::string_view::npos)
    return RawLine;
  Work.clear();
  for (std::size_t From = 0, Zero; From < RawLine.size(); From = Zero + 1) {
    Zero = std::min(RawLine.find('\0', From), RawLine.size());
    Work.append(RawLine.substr(From, Zero - From));
  }
  Holder = &Work;
  return Work;
}

// Applies pair K to the working line; a change moves it to the free buffer.
// True when the line changed.
bool TLinePipeline::ApplyPair(std::size_t K, std::string_view& Line) {
  std::string* Free = Holder == &Work ? &Scratch : &Work;
  if (!Run.Pairs[K].Apply(Subject, *Free))
    return false;
  Holder = Free;
  Line = *Holder;
  Subject.Reset(Line, S.Upper);
  return true;
}

// The working line: RawLine itself when nothing changes it, otherwise a view
// of whichever scratch buffer holds the last change.
std::string_view TLinePipeline::CleanAndReplace(std::string_view RawLine) {
  std::string_view Line = Clean(RawLine);
  Subject.Reset(Line, S.Upper, RawLinesSearchable);
  if (Run.Pairs.empty())
    return Line;
  if (Run.Pairs.size() > TPairFilter::MaxPairs)
    return ReplaceInOnePass(Line);
  PairFilter.Observe(Line);
  // Until a pair changes the line, only the pairs the filter lets through
  // can occur; after a change, inserted text may hold any search text, so
  // every later pair searches. A line whose bytes do not show its letters'
  // case is filtered in its folded form.
  const std::string_view Filtered =
      Run.PairsNeedFold && !Subject.ByteSearchable() ? Subject.Folded() : Line;
  std::uint32_t Possible = PairFilter.Candidates(Filtered);
  const std::size_t FilteredPairs = std::min(Run.Pairs.size(), TPairFilter::MaxPairs);
  std::size_t Next = FilteredPairs;
  for (; Possible != 0; Possible &= Possible - 1) {
    const auto K = static_cast<std::size_t>(std::countr_zero(Possible));
    if (K >= FilteredPairs)
      break;
    if (ApplyPair(K, Line)) {
      Next = K + 1;
      break;
    }
  }
  for (std::size_t K = Next; K < Run.Pairs.size(); ++K)
    (void)ApplyPair(K, Line);
  return Line;
}

// Candidates := the pairs from From on whose search text occurs in Line,
// in table order. A line whose bytes do not show its letters' case is
// searched in its folded form, where every pair's occurrences show.
void TLinePipeline::CollectPairs(std::string_view Line, std::uint32_t From) {
  Candidates.clear();
  const std::string_view Searched =
      Run.PairsNeedFold && !Subject.ByteSearchable() ? Subject.Folded() : Line;
  Run.PairFinder.Collect(Searched, PairScratch, Candidates);
  Candidates.insert(Candidates.end(), Run.LoosePairs.begin(), Run.LoosePairs.end());
  std::erase_if(Candidates, [From](std::uint32_t K) { return K < From; });
  std::sort(Candidates.begin(), Candidates.end());
}

// Only the pairs that occur are applied, in table order. A change may bring
// in the search text of any later pair, so the changed line is searched
// again for those.
std::string_view TLinePipeline::ReplaceInOnePass(std::string_view Line) {
  CollectPairs(Line, 0);
  for (std::size_t I = 0; I < Candidates.size();) {
    const std::uint32_t K = Candidates[I++];
    if (ApplyPair(K, Line)) {
      CollectPairs(Line, K + 1);
      I = 0;
    }
  }
  return Line;
}

void TLinePipeline::BuildRecord(std::string_view Line, const TSearchMatchRec& Match) {
  // Prepend and append land on the first and last physical line of the block.
  Record.clear();
  if (Match.FindBefore)
    Record += S.PrependText;
  if (Match.SpaceBefore)
    Record.append(S.PlusSpaceText).append(LineBreak);
  if (Match.LineBefore)
    Record.append(S.SeparatorLine).append(LineBreak);
  Record += Line;
  if (Match.LineAfter)
    Record.append(LineBreak).append(S.SeparatorLine);
  if (Match.SpaceAfter)
    Record.append(LineBreak).append(S.PlusSpaceText);
  if (Match.FindAfter)
    Record += S.AppendText;
}

bool TLinePipeline::ProcessLine(std::string_view RawLine, TLineSink& Out) {
  if (IsBlankLine(RawLine))
    return PutBlank(Out);
  return ShowLine(CleanAndReplace(RawLine), false, Out);
}

// The tests are independent of each other, so the lists that decide whether
// the line is shown at all go first and the rest only run for shown lines.
// FindKnown: the -f test is known to pass.
bool TLinePipeline::ShowLine(std::string_view Line, bool FindKnown, TLineSink& Out) {
  const TPreparedSearchLists& Lists = Run.Lists;
  if (Lists.FindGiven && !FindKnown && !Lists.Find.Matches(Subject))
    return true;
  if (Lists.Skip.Matches(Subject))
    return true;
  TSearchMatchRec Match;
  Match.SpaceBefore = Lists.SpaceBefore.Matches(Subject);
  Match.SpaceAfter = Lists.SpaceAfter.Matches(Subject);
  Match.LineBefore = Lists.LineBefore.Matches(Subject);
  Match.LineAfter = Lists.LineAfter.Matches(Subject);
  // Prepending or appending nothing changes nothing: skip those tests then.
  Match.FindBefore = !S.PrependText.empty() && (!Lists.FindBeforeGiven || Lists.FindBefore.Matches(Subject));
  Match.FindAfter = !S.AppendText.empty() && (!Lists.FindAfterGiven || Lists.FindAfter.Matches(Subject));

  ++Shown;
  const bool Extended = Match.SpaceBefore || Match.SpaceAfter || Match.LineBefore ||
                        Match.LineAfter || Match.FindBefore || Match.FindAfter;
  if (!Extended)
    return Out.PutLine(Line);
  BuildRecord(Line, Match);
  return Out.PutLine(Record);
}

// A line without any --sk text, written as ProcessLine writes it.
bool TLinePipeline::WriteAsItIs(std::string_view Line, TLineSink& Out) {
  if (!IsBlankLine(Line)) {
    ++Shown;
    return Out.PutLine(Line);
  }
  return PutBlank(Out);
}

// Whether a block to be written as it is can go to the sink whole: its lines
// end with LF alone, and none is blank but for empty lines written empty.
bool TLinePipeline::AllLfLines(std::string_view Block) const {
  return !Block.empty() && Run.BlankStaysEmpty &&
         core::FindEitherByte(Block.data(), Block.data() + Block.size(), '\r', '\0') == Block.data() + Block.size();
}

// Lines that hold no -f text are dropped unseen; the line of each text found
// goes on to every other rule, and the whole way when the text does not lie
// wholly inside it.
bool TLinePipeline::FindInBlock(std::string_view Block, TLineSink& Out) {
  TLineCutter Lines(Block);
  std::string_view Line;
  std::size_t Length;
  for (std::size_t At; (At = Run.Finder.Find(Block, Lines.Position(), Length)) != std::string_view::npos;) {
    Lines.SkipTo(Lines.LineStartOf(At));
    if (!Lines.Next(Line))
      break;
    const auto LineEnd = static_cast<std::size_t>(Line.data() + Line.size() - Block.data());
    if (At + Length > LineEnd || IsBlankLine(Line)) {
      if (!ProcessLine(Line, Out))
        return false;
      continue;
    }
    Subject.Reset(Line, S.Upper, RawLinesSearchable);
    if (!ShowLine(Line, true, Out))
      return false;
  }
  return true;
}

// Lines are written as they are up to the line of the next --sk text found;
// that line is dropped when the text lies wholly inside it, and otherwise
// goes the whole way.
bool TLinePipeline::SkipInBlock(std::string_view Block, TLineSink& Out) {
  std::size_t Length = 0;
  std::size_t At = Run.Finder.Find(Block, 0, Length);
  if (At == std::string_view::npos && AllLfLines(Block)) {
    std::size_t Records = 0, Empty = 0;
    const bool Ok = Out.PutLines(Block, Records, Empty);
    // Empty lines are blank: written, never counted.
    Shown += static_cast<std::int64_t>(Records - Empty);
    return Ok;
  }
  TLineCutter Lines(Block);
  std::string_view Line;
  while (Lines.Next(Line)) {
    if (At >= Lines.Position()) {
      if (!WriteAsItIs(Line, Out))
        return false;
      continue;
    }
    const auto LineEnd = static_cast<std::size_t>(Line.data() + Line.size() - Block.data());
    if ((At + Length > LineEnd || IsBlankLine(Line)) && !ProcessLine(Line, Out))
      return false;
    At = Run.Finder.Find(Block, Lines.Position(), Length);
  }
  return true;
}

bool TLinePipeline::EachLineOf(std::string_view Block, TLineSink& Out) {
  TLineCutter Lines(Block);
  std::string_view Line;
  while (Lines.Next(Line))
    if (!ProcessLine(Line, Out))
      return false;
  return true;
}

bool TLinePipeline::ProcessBlock(std::string_view Block, TLineSink& Out) {
  // One test of the whole block spares each of its lines a test of its own
  // (most blocks of a log are ASCII throughout).
  RawLinesSearchable = Run.NeedsFoldTest && S.Upper.ByteSearchable(Block);
  bool Ok = false;
  switch (Run.Mode) {
  case TPreparedRun::bmFind:
    Ok = FindInBlock(Block, Out);
    break;
  case TPreparedRun::bmShowUnlessFound:
    Ok = SkipInBlock(Block, Out);
    break;
  case TPreparedRun::bmLines:
    Ok = EachLineOf(Block, Out);
    break;
  }
  RawLinesSearchable = false;
  return Ok;
}

bool TPreparedRun::FinishOutput(TLineSink& Out, TLineSink& TallySink, std::int64_t Displayed) const {
  if (S.Divider)
    for (std::int32_t I = 0; I < S.DividerCount; ++I)
      if (!Out.PutLine(S.DividerLine))
        return false;
  // Each newline record holds a line break of its own besides the record's end.
  if (S.Newline)
    for (std::int32_t I = 0; I < S.NewlineCount; ++I)
      if (!Out.PutLine(LineBreak))
        return false;
  if (!S.Tally)
    return true;
  constexpr std::int64_t Max = std::numeric_limits<std::int32_t>::max();
  // Plain concatenation: the file name is never a format.
  const std::string Tally =
      "--- " + S.InputFileName + ": " + std::to_string(Displayed < Max ? Displayed : Max);
  return TallySink.PutLine(Tally);
}

}  // namespace vellary::engine
