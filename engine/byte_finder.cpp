// Needle search by rare-byte scan and verification.
#include "engine/byte_finder.h"

#include "core/ascii.h"
#include "core/byte_scan.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vellary::engine {

// Rough frequency of a byte in log and prose text; only the order matters.
static constexpr std::array<unsigned char, 256> ByteWeights = [] {
  constexpr unsigned char Lower[26] = {80, 15, 28, 42, 120, 22, 20, 60, 70, 2, 8, 40, 24,
                                       70, 75, 19, 1,  60, 63, 90, 28, 10, 23, 2, 20, 1};
  constexpr std::string_view Punctuation = ".,:;-/_=[]()'\"";
  std::array<unsigned char, 256> W{};
  for (unsigned B = 0; B < 256; ++B) {
    unsigned char Weight = B > ' ' && B < 127 ? 5 : 1;
    if (B == ' ')
      Weight = 200;
    else if (B >= 'a' && B <= 'z')
      Weight = Lower[B - 'a'];
    else if (B >= 'A' && B <= 'Z')
      Weight = static_cast<unsigned char>(Lower[B - 'A'] / 4 + 2);
    else if (B >= '0' && B <= '9')
      Weight = 40;
    else if (Punctuation.find(static_cast<char>(B)) != std::string_view::npos)
      Weight = 20;
    W[B] = Weight;
  }
  return W;
}();

unsigned TypicalByteWeight(unsigned char B) {
  // Folded needles are upper case: weigh a letter by both of its cases.
  const auto Lower = static_cast<unsigned char>(core::AsciiLower(static_cast<char>(B)));
  return ByteWeights[Lower] + (Lower != B ? ByteWeights[B] : 0u);
}

// The bytes that fold to one value: how many, the first two, their weight.
// Trivial, so that an array of them costs nothing until it is filled.
struct TPreimage {
  unsigned Count;
  unsigned Weight;
  unsigned char First[2];
};

static void AddPreimage(TPreimage& P, unsigned char B) {
  if (P.Count < 2)
    P.First[P.Count] = B;
  ++P.Count;
  P.Weight += ByteWeights[B];
}

// Whether Text is valid UTF-8 throughout.
static bool AllCharacters(std::string_view Text) {
  const auto* P = reinterpret_cast<const unsigned char*>(Text.data());
  const auto* End = P + Text.size();
  char32_t Cp;
  for (std::size_t Length; P < End; P += Length)
    if ((Length = DecodeUtf8(P, End, Cp)) == 0)
      return false;
  return true;
}

static constexpr TUpperTable IdentityTable = [] {
  TUpperTable Table{};
  for (unsigned B = 0; B < 256; ++B)
    Table[B] = static_cast<unsigned char>(B);
  return Table;
}();
static constexpr TUpperTable AsciiTable = AsciiUpperTable();

namespace {

// The preimage of every byte under a finder's table. The identity and the
// ASCII table have them in closed form, which keeps a one-off finder cheap;
// any other table takes one pass over it.
class TPreimages {
public:
  explicit TPreimages(const TUpperTable& Table)
      : Identity(&Table == &IdentityTable), Ascii(&Table == &AsciiTable) {
    if (Identity || Ascii)
      return;
    All = {};
    for (unsigned B = 0; B < 256; ++B)
      AddPreimage(All[Table[B]], static_cast<unsigned char>(B));
  }

  TPreimage Of(unsigned char Target) const {
    if (!Identity && !Ascii)
      return All[Target];
    TPreimage P{};
    if (Ascii && Target >= 'a' && Target <= 'z')
      return P;  // nothing folds to a lower-case letter
    AddPreimage(P, Target);
    if (Ascii && Target >= 'A' && Target <= 'Z')
      AddPreimage(P, static_cast<unsigned char>(core::AsciiLower(static_cast<char>(Target))));
    return P;
  }

private:
  bool Identity;
  bool Ascii;
  std::array<TPreimage, 256> All;  // filled only for another table
};

}  // namespace

TByteFinder::TByteFinder() : Table(&IdentityTable) {}

TByteFinder::TByteFinder(std::string_view Text, bool CaseSensitive, const TCaseFold& Fold)
    : Table(&IdentityTable) {
  if (!CaseSensitive && Fold.ByteTable() == AsciiTable) {
    Table = &AsciiTable;
  } else if (!CaseSensitive) {
    OwnTable = std::make_shared<const TUpperTable>(Fold.ByteTable());
    Table = OwnTable.get();
  }
  if (CaseSensitive)
    Needle.assign(Text);
  else
    Fold.Fold(Text, Needle);
  if (Needle.empty())
    return;
  if (!CaseSensitive && Fold.Utf8()) {
    ForAnyLine = Fold.ByteSearchableNeedle(Needle);
    CheckBoundaries = !AllCharacters(Needle);
    if (!ForAnyLine && !CheckBoundaries)
      ChooseRawProbe(Fold);
  }
  ChooseScanByte();
  if (Needle.size() > LongNeedle)
    BuildBorders();
}

void TByteFinder::ChooseScanByte() {
  const TPreimages Preimages(*Table);
  unsigned BestWeight = ~0u;
  for (std::size_t I = 0; I < Needle.size(); ++I) {
    const auto Target = static_cast<unsigned char>(Needle[I]);
    const TPreimage P = Preimages.Of(Target);
    if (P.Count != 1 || P.First[0] != Target)
      Exact = false;
    // Two scan streams cost more than one; weigh that in.
    const unsigned Weight = P.Weight + (P.Count > 1 ? 4 : 0);
    if (Weight < BestWeight) {
      BestWeight = Weight;
      Offset = I;
      CandCount = static_cast<int>(P.Count);
      Cand[0] = P.First[0];
      Cand[1] = P.First[1];
    }
  }
}

void TByteFinder::BuildBorders() {
  Border.assign(Needle.size(), 0);
  for (std::size_t I = 1, K = 0; I < Needle.size(); ++I) {
    while (K > 0 && Needle[I] != Needle[K])
      K = Border[K - 1];
    if (Needle[I] == Needle[K])
      ++K;
    Border[I] = static_cast<std::uint32_t>(K);
  }
}

bool TByteFinder::MatchesAt(const char* Start) const {
  if (Exact)
    return std::memcmp(Start, Needle.data(), Needle.size()) == 0;
  const TUpperTable& T = *Table;
  for (std::size_t I = 0; I < Needle.size(); ++I)
    if (T[static_cast<unsigned char>(Start[I])] != static_cast<unsigned char>(Needle[I]))
      return false;
  return true;
}

static const char* ScanFor(const char* From, const char* Stop, unsigned char B) {
  if (From >= Stop)
    return nullptr;
  const char* At = core::FindByte(From, Stop, static_cast<char>(B));
  return At == Stop ? nullptr : At;
}

template <typename TOnHit>
std::size_t TByteFinder::Scan(const char* First, const char* Stop, const unsigned char* Bytes,
                              int Count, TOnHit&& OnHit, const char*& GaveUpAt) const {
  GaveUpAt = nullptr;
  // Each failed candidate counts as the whole needle compared.
  std::size_t Work = 0;
  // Two streams, the nearer hit checked first so that occurrences come out
  // in order. They work window by window: a stream for a byte that is
  // absent must not run to the end of a long text on every call.
  constexpr std::size_t Window = 256;
  for (const char* W = First; W < Stop;) {
    const char* End = Count == 1 || static_cast<std::size_t>(Stop - W) <= Window ? Stop : W + Window;
    const char* A = ScanFor(W, End, Bytes[0]);
    const char* B = Count == 2 ? ScanFor(W, End, Bytes[1]) : nullptr;
    while (A || B) {
      const bool TakeA = A && (!B || A < B);
      const char* P = TakeA ? A : B;
      if (const std::size_t Found = OnHit(P); Found != std::string_view::npos)
        return Found;
      Work += Needle.size();
      if (Overworked(Work, static_cast<std::size_t>(P - First))) {
        GaveUpAt = P;
        return std::string_view::npos;
      }
      if (TakeA)
        A = ScanFor(P + 1, End, Bytes[0]);
      else
        B = ScanFor(P + 1, End, Bytes[1]);
    }
    W = End;
  }
  return std::string_view::npos;
}

std::size_t TByteFinder::Find(std::string_view Hay, std::size_t From) const {
  const std::size_t M = Needle.size();
  if (M == 0 || From > Hay.size() || Hay.size() - From < M)
    return std::string_view::npos;
  const char* Base = Hay.data();
  if (CandCount == 1 || CandCount == 2) {
    // Candidates for Needle[Offset] lie in [First, Stop): every start
    // position from From to the last one at which the needle still fits.
    const char* First = Base + From + Offset;
    const char* Stop = Base + (Hay.size() - M) + Offset + 1;
    const char* GaveUpAt;
    const std::size_t At = Scan(First, Stop, Cand, CandCount, [&](const char* P) {
      return MatchesAt(P - Offset) ? static_cast<std::size_t>(P - Offset - Base) : std::string_view::npos;
    }, GaveUpAt);
    return GaveUpAt ? FindLinear(Hay, static_cast<std::size_t>(GaveUpAt - Offset - Base) + 1) : At;
  }
  // Unusual tables that fold three or more bytes together.
  const auto Target = static_cast<unsigned char>(Needle[Offset]);
  std::size_t Work = 0;
  for (std::size_t Pos = From; Pos + M <= Hay.size(); ++Pos) {
    if ((*Table)[static_cast<unsigned char>(Hay[Pos + Offset])] != Target)
      continue;
    if (MatchesAt(Base + Pos))
      return Pos;
    Work += M;
    if (Overworked(Work, Pos - From))
      return FindLinear(Hay, Pos + 1);
  }
  return std::string_view::npos;
}

// A hit is the last byte of a case form of the probed character: the
// characters before it are matched backwards, the rest forwards.
std::size_t TByteFinder::FindRaw(std::string_view Line, std::size_t From, const TCaseFold& Fold,
                                 std::size_t& Length, bool& GaveUp) const {
  const auto* Begin = reinterpret_cast<const unsigned char*>(Line.data()) + From;
  const auto* End = reinterpret_cast<const unsigned char*>(Line.data() + Line.size());
  const std::string_view Before = std::string_view(Needle).substr(0, RawOffset);
  const std::string_view Rest = std::string_view(Needle).substr(RawOffset);
  const char* GaveUpAt;
  const std::size_t At = Scan(Line.data() + From, Line.data() + Line.size(), RawCand, RawCount,
                              [&](const char* P) {
    const auto* Probe = reinterpret_cast<const unsigned char*>(P) + 1 - RawLength;
    if (Probe < Begin)
      return std::string_view::npos;
    const unsigned char* Start = Fold.FoldedSuffixStart(Begin, Probe, Before);
    const std::size_t Tail = Start ? Fold.FoldedPrefixLength(Probe, End, Rest) : std::string_view::npos;
    if (Tail == std::string_view::npos)
      return std::string_view::npos;
    Length = static_cast<std::size_t>(Probe + Tail - Start);
    return static_cast<std::size_t>(Start - reinterpret_cast<const unsigned char*>(Line.data()));
  }, GaveUpAt);
  GaveUp = GaveUpAt != nullptr;
  return At;
}

// Letters common in Russian text (upper case), a poor choice to scan for.
static bool CommonLetter(char32_t Cp) {
  constexpr char32_t Common[] = {0x41E, 0x415, 0x410, 0x418, 0x41D, 0x422, 0x421, 0x420, 0x412, 0x41B};
  return std::find(std::begin(Common), std::end(Common), Cp) != std::end(Common);
}

// The character to scan for: the one whose case forms end in at most two
// distinct bytes that are likely rarest. Any character with a case form of
// another length turns the raw search off.
void TByteFinder::ChooseRawProbe(const TCaseFold& Fold) {
  const auto* Begin = reinterpret_cast<const unsigned char*>(Needle.data());
  const auto* End = Begin + Needle.size();
  unsigned BestWeight = ~0u;
  for (const unsigned char* P = Begin; P < End;) {
    char32_t Cp;
    const std::size_t Length = DecodeUtf8(P, End, Cp);
    unsigned char Last[2];
    std::size_t FormLength = 0;
    int Count = 0;
    bool Usable = true;
    auto Add = [&](char32_t Form) {
      char Encoded[4];
      const std::size_t Size = EncodeUtf8(Form, Encoded);
      Usable = Usable && (FormLength == 0 || Size == FormLength);
      FormLength = Size;
      const auto B = static_cast<unsigned char>(Encoded[Size - 1]);
      if (Count < 2 && std::find(Last, Last + Count, B) == Last + Count)
        Last[Count++] = B;
      else if (std::find(Last, Last + Count, B) == Last + Count)
        Usable = false;
    };
    if (Fold.Upper(Cp) == Cp)
      Add(Cp);
    for (const TCodePointCase& Form : Fold.OtherCaseForms(Cp))
      Add(Form.second);
    if (Count == 0)
      return;  // nothing folds to it: left to the folded search
    const unsigned Weight = Length == 1 ? TypicalByteWeight(*P)
                                        : 30u * static_cast<unsigned>(Count) + (CommonLetter(Cp) ? 60u : 0u);
    if (Usable && Weight < BestWeight) {
      BestWeight = Weight;
      RawOffset = static_cast<std::size_t>(P - Begin);
      RawLength = FormLength;
      RawCand[0] = Last[0];
      RawCand[1] = Last[1];
      RawCount = Count;
    }
    P += Length;
  }
}

// Only for a long needle (it has Border).
std::size_t TByteFinder::FindLinear(std::string_view Hay, std::size_t From) const {
  const std::size_t M = Needle.size();
  const TUpperTable& T = *Table;
  std::size_t J = 0;  // needle bytes matched so far
  for (std::size_t I = From; I < Hay.size(); ++I) {
    const char C = static_cast<char>(T[static_cast<unsigned char>(Hay[I])]);
    while (J > 0 && C != Needle[J])
      J = Border[J - 1];
    if (C == Needle[J])
      ++J;
    if (J == M)
      return I + 1 - M;
  }
  return std::string_view::npos;
}

std::size_t TByteFinder::FindFolded(std::string_view Folded, std::size_t From) const {
  for (std::size_t At = Find(Folded, From); At != std::string_view::npos; At = Find(Folded, At + 1))
    if (!CheckBoundaries ||
        (IsCharacterStart(Folded, At) && IsCharacterStart(Folded, At + Needle.size())))
      return At;
  return std::string_view::npos;
}

}  // namespace vellary::engine
