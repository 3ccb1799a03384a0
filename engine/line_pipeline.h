// The line pipeline: for each input line, nothing or one output record with
// its blank lines, separator lines and prepended or appended text; after the
// last line, divider lines, newlines and the tally.
#pragma once

#include "engine/block_finder.h"
#include "engine/case_fold.h"
#include "engine/line_cutter.h"
#include "engine/line_sink.h"
#include "engine/multi_finder.h"
#include "engine/pair_filter.h"
#include "engine/replace_table.h"
#include "engine/search_match.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vellary::engine {

struct TPipelineSettings {
  // Whether each option was given.
  bool Ascii = false;          // -a
  bool Replace = false;        // -r
  bool Find = false;           // -f
  bool FindBefore = false;     // --fb
  bool FindAfter = false;      // --fa
  bool Eliminate = false;      // -e
  bool Tally = false;          // -t
  bool OutputFile = false;     // -o: the tally goes to the output, not standard error
  bool Divider = false;        // --dl
  bool Newline = false;        // --nl
  bool CaseSensitive = false;  // -s
  bool Extended = false;       // -x

  // Every field has an initializer, so designated initializers may name any subset.
  std::string FindList{}, FindBeforeList{}, FindAfterList{}, SkipList{}, LineBeforeList{},
      LineAfterList{}, SpaceBeforeList{}, SpaceAfterList{};
  std::string SearchDelimiter = ";";  // one character, of one or more bytes

  std::string SeparatorLine = std::string(80, '-');
  std::string DividerLine = std::string(80, '=');
  std::string PlusSpaceText{};
  std::string PrependText{};
  std::string AppendText{};
  std::int32_t DividerCount = 1;
  std::int32_t NewlineCount = 1;
  std::string InputFileName{};  // as given, for the tally

  TReplaceMatrix Replacements{};
  TCaseFold Upper{};  // how letter case is ignored without -s
};

// What a run prepares once from its settings: the search lists, the pairs,
// their finders and automata, the block-wide search. Read-only once built,
// so every thread of the run shares one (by const reference).
class TPreparedRun {
public:
  explicit TPreparedRun(TPipelineSettings Settings);
  TPreparedRun(const TPreparedRun&) = delete;
  TPreparedRun& operator=(const TPreparedRun&) = delete;

  const TPipelineSettings& Settings() const { return S; }

  // Divider lines and newlines to Out, then the tally of Displayed lines to
  // TallySink (the output file's sink with -o, standard error's otherwise).
  // The tally shows at most the largest 32-bit value. False when a sink
  // asked to stop.
  bool FinishOutput(TLineSink& Out, TLineSink& TallySink, std::int64_t Displayed) const;

private:
  friend class TLinePipeline;
  void ChooseBlockMode();
  void PreparePairSearch();

  const TPipelineSettings S;  // the run's switches and texts

  enum TBlockMode {
    bmLines,           // every line goes through ProcessLine
    bmFind,            // only lines holding a -f text can be shown
    bmShowUnlessFound  // lines without a --sk text are shown as they are
  };
  TBlockMode Mode = bmLines;
  TBlockFinder Finder;  // the texts of the list that decides, with bmFind/bmShowUnlessFound

  TPreparedSearchLists Lists;
  std::vector<TPreparedReplacement> Pairs;  // escapes translated, search folded
  TPairFilter PairFilter;      // up to TPairFilter::MaxPairs pairs; each worker learns on a copy
  // More pairs than that: the pairs whose search text occurs are found in
  // one pass, but for the loose ones (boundaries checked), always searched.
  TMultiFinder PairFinder;
  std::vector<std::uint32_t> LoosePairs;
  bool PairsNeedFold = false;  // some pair's byte search is not exact on every line
  bool NeedsFoldTest = false;  // some list or pair: lines are tested for ByteSearchable
  // Blank lines (empty, one byte 0, or exactly CR LF) are dropped with -f
  // or -e, and otherwise written as the plus-space text; never counted.
  bool DropsBlank = false;
  bool BlankStaysEmpty = false;  // an empty line is written as it is
};

// The work of one thread on a prepared run: its buffers, its scratch, what
// it learns while it runs, and the lines it has displayed.
class TLinePipeline {
public:
  explicit TLinePipeline(const TPreparedRun& Prepared);
  TLinePipeline(const TLinePipeline&) = delete;
  TLinePipeline& operator=(const TLinePipeline&) = delete;

  const TPreparedRun& Prepared() const { return Run; }

  // Writes zero or one record for RawLine (without its line end). Blank
  // lines are dropped or written as the plus-space text, uncounted. Other
  // lines are cleaned (-a), replaced (-r), tested, and written with their
  // extensions as one record, counted once. False when the sink asked to
  // stop.
  bool ProcessLine(std::string_view RawLine, TLineSink& Out);

  // The same for every line of Block: whole lines, each ended by CR LF, LF
  // or a lone CR, the last one by the block's end too (a block must not end
  // between the CR and the LF of one line end). Where only -f, or only
  // --sk, decides which lines are shown and how, a block-wide search finds
  // the lines that hold a search text and the others are dropped (-f) or
  // written as they are (--sk) without a search each; the output is byte for
  // byte that of ProcessLine line by line.
  bool ProcessBlock(std::string_view Block, TLineSink& Out);

  // Lines displayed so far (wide, so that a huge input cannot overflow it).
  std::int64_t Displayed() const { return Shown; }
  // The same, counted again from 0: what one block displayed.
  std::int64_t TakeDisplayed() { return std::exchange(Shown, 0); }

private:
  bool PutBlank(TLineSink& Out);
  bool ShowLine(std::string_view Line, bool FindKnown, TLineSink& Out);
  std::string_view CleanAndReplace(std::string_view RawLine);
  std::string_view Clean(std::string_view RawLine);
  bool ApplyPair(std::size_t K, std::string_view& Line);
  void CollectPairs(std::string_view Line, std::uint32_t From);
  std::string_view ReplaceInOnePass(std::string_view Line);
  bool WriteAsItIs(std::string_view Line, TLineSink& Out);
  bool AllLfLines(std::string_view Block) const;
  bool FindInBlock(std::string_view Block, TLineSink& Out);
  bool EachLineOf(std::string_view Block, TLineSink& Out);
  bool SkipInBlock(std::string_view Block, TLineSink& Out);
  void BuildRecord(std::string_view Line, const TSearchMatchRec& Match);

  const TPreparedRun& Run;
  const TPipelineSettings& S;
  TPairFilter PairFilter;  // the run's, learning from this thread's lines
  TMultiFinder::TScratch PairScratch;
  std::vector<std::uint32_t> Candidates;  // pairs still to apply to the line, in table order
  bool RawLinesSearchable = false;  // while ProcessBlock runs: its block is ByteSearchable
  TFoldedLine Subject;         // the working line as the searches see it
  std::int64_t Shown = 0;
  std::string Work, Scratch, Record;  // reused for every line
  std::string* Holder = nullptr;      // which of Work and Scratch holds the working line
};

}  // namespace vellary::engine
