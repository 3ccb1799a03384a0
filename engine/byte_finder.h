// Finding a needle in a byte string, byte for byte or ignoring case through an
// upper-case table, without upper-casing the text searched.
#pragma once

#include "engine/case_fold.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vellary::engine {

// A rough weight of how often byte B occurs in log and prose text (upper
// and lower case alike); only the order of weights means anything.
unsigned TypicalByteWeight(unsigned char B);

// A needle prepared once: folded, and with the byte to scan for chosen. The
// scan looks for the needle byte that is likely rarest in text (through
// a scan for each of the at most two bytes that fold to it) and verifies the
// whole needle around each candidate. A long needle whose candidates keep
// failing late (a repetitive text) goes on with a scan that never looks at
// a byte of the text twice, so the time stays linear in the text.
class TByteFinder {
public:
  TByteFinder();
  // Text is the needle as written; unless CaseSensitive it is upper-cased
  // by Fold, and text searched later is compared through its byte table.
  TByteFinder(std::string_view Text, bool CaseSensitive, const TCaseFold& Fold);

  bool Empty() const { return Needle.empty(); }
  std::size_t Size() const { return Needle.size(); }
  // The needle as compared: upper-cased unless case-sensitive.
  const std::string& Folded() const { return Needle; }
  // The table text is compared through (the identity when case-sensitive).
  const TUpperTable& FoldTable() const { return *Table; }
  // The byte that B compares as (B itself when case-sensitive).
  unsigned char Fold(unsigned char B) const { return (*Table)[B]; }

  // Needles longer than this get the linear scan; shorter ones cost at most
  // this many comparisons per candidate.
  static constexpr std::size_t LongNeedle = 16;

  // Position of the first occurrence in Hay starting at or after From, or
  // npos. An empty needle is never found.
  std::size_t Find(std::string_view Hay, std::size_t From = 0) const;


  // True when Find on a line as it is gives the per-character answer for
  // every line (see TCaseFold::ByteSearchableNeedle); otherwise lines that
  // are not ByteSearchable are searched folded, through FindFolded.
  bool AnyLine() const { return ForAnyLine; }
  // Find in a text folded by the same TCaseFold, counting only occurrences
  // that begin and end on character boundaries.
  std::size_t FindFolded(std::string_view Folded, std::size_t From = 0) const;

  // In a UTF-8 letter case, for a needle that is not AnyLine: true when one
  // of its characters has case forms of one length that end in at most two
  // distinct bytes, so that FindRaw can search a line as it is instead of
  // its folded form.
  bool RawSearchable() const { return RawCount > 0; }
  // The first occurrence at or after From in Line as it is, for a
  // RawSearchable needle, and its Length there. Candidates are the case
  // forms of one of the needle's characters, each verified through Fold,
  // the letter case the needle was folded by. When candidates keep failing
  // late, GaveUp is set and npos returned: the folded line then answers in
  // linear time.
  std::size_t FindRaw(std::string_view Line, std::size_t From, const TCaseFold& Fold,
                      std::size_t& Length, bool& GaveUp) const;

  // True when an occurrence in a folded text counts only where it begins
  // and ends on character boundaries (the needle holds bytes that stand
  // alone).
  bool ChecksBoundaries() const { return CheckBoundaries; }

  // Whether the needle occurs at Pos in Hay (it must fit there).
  bool MatchesAt(std::string_view Hay, std::size_t Pos) const {
    return Hay.size() - Pos >= Needle.size() && MatchesAt(Hay.data() + Pos);
  }

private:
  bool MatchesAt(const char* Start) const;
  // The rare-byte scan of [First, Stop) for Bytes[0 .. Count) (one or
  // two); OnHit(hit) gives the occurrence's position or npos. GaveUpAt is
  // the hit where failures grew too many, or null.
  template <typename TOnHit>
  std::size_t Scan(const char* First, const char* Stop, const unsigned char* Bytes, int Count,
                   TOnHit&& OnHit, const char*& GaveUpAt) const;
  void ChooseRawProbe(const TCaseFold& Fold);
  // Picks the needle byte to scan for (Offset, Cand, CandCount) and sees
  // whether memcmp can verify a candidate (Exact).
  void ChooseScanByte();
  // The prefix table of the linear scan, for a long needle.
  void BuildBorders();
  // Find by the linear scan alone; for a long needle.
  std::size_t FindLinear(std::string_view Hay, std::size_t From) const;
  // Whether Work compared bytes are too many for a scan that has reached
  // Scanned bytes past its start: time to go on linearly.
  bool Overworked(std::size_t Work, std::size_t Scanned) const {
    return Work > 4 * Scanned + 8 * Needle.size() && !Border.empty();
  }

  std::string Needle;
  // Identity when case-sensitive. The identity and the ASCII table are
  // shared by every finder; any other table is held once per finder and
  // its copies, which keeps a table of a million pairs small.
  const TUpperTable* Table = nullptr;
  std::shared_ptr<const TUpperTable> OwnTable;
  bool ForAnyLine = true;
  bool CheckBoundaries = false;  // holds bytes that stand alone: may match inside a character
  bool Exact = true;          // each needle byte is met only by itself: memcmp suffices
  std::size_t Offset = 0;     // index of the needle byte scanned for
  unsigned char Cand[2] = {}; // the bytes that fold to Needle[Offset] ...
  int CandCount = 0;          // ... when there are at most two of them
  // For a long needle: Border[J] is the length of the longest proper prefix
  // of Needle[0..J] that is also its suffix.
  std::vector<std::uint32_t> Border;
  // For FindRaw: where the probed character starts in the needle, the
  // length of its case forms and the one or two bytes they end in.
  std::size_t RawOffset = 0;
  std::size_t RawLength = 0;
  unsigned char RawCand[2] = {};
  int RawCount = 0;
};

}  // namespace vellary::engine
