// Upper-casing per byte by table, or per UTF-8 character by a code point
// table built once from the platform's case mappings.
#include "engine/case_fold.h"

#include <algorithm>
#include <cstring>

namespace vellary::engine {

static constexpr char32_t CodePointLimit = 0x110000;
static constexpr char32_t StandaloneByteBase = CodePointLimit;

void UpperCase(std::string_view Text, const TUpperTable& Upper, std::string& Out) {
  Out.resize(Text.size());
  for (std::size_t I = 0; I < Text.size(); ++I)
    Out[I] = static_cast<char>(Upper[static_cast<unsigned char>(Text[I])]);
}

static bool IsContinuation(unsigned char B) { return (B & 0xC0) == 0x80; }

std::size_t DecodeUtf8(const unsigned char* P, const unsigned char* End, char32_t& Cp) {
  const unsigned char B = *P;
  if (B < 0x80) {
    Cp = B;
    return 1;
  }
  // The lead byte gives the length and the range the second byte must lie
  // in; that range is what excludes overlong forms, surrogates and code
  // points past U+10FFFF.
  std::size_t Length = 0;
  unsigned char Low = 0x80, High = 0xBF;
  if (B >= 0xC2 && B <= 0xDF) {
    Length = 2;
  } else if (B >= 0xE0 && B <= 0xEF) {
    Length = 3;
    Low = B == 0xE0 ? 0xA0 : 0x80;
    High = B == 0xED ? 0x9F : 0xBF;
  } else if (B >= 0xF0 && B <= 0xF4) {
    Length = 4;
    Low = B == 0xF0 ? 0x90 : 0x80;
    High = B == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (static_cast<std::size_t>(End - P) < Length || P[1] < Low || P[1] > High)
    return 0;
  for (std::size_t I = 2; I < Length; ++I)
    if (!IsContinuation(P[I]))
      return 0;
  char32_t Value = B & (0xFFu >> (Length + 1));
  for (std::size_t I = 1; I < Length; ++I)
    Value = Value << 6 | (P[I] & 0x3Fu);
  Cp = Value;
  return Length;
}

static std::size_t EncodedLength(char32_t Cp) {
  return Cp < 0x80 ? 1 : Cp < 0x800 ? 2 : Cp < 0x10000 ? 3 : 4;
}

std::size_t EncodeUtf8(char32_t Cp, char* Out) {
  const std::size_t Length = EncodedLength(Cp);
  if (Length == 1) {
    Out[0] = static_cast<char>(Cp);
    return 1;
  }
  for (std::size_t I = Length - 1; I > 0; --I) {
    Out[I] = static_cast<char>(0x80 | (Cp & 0x3F));
    Cp >>= 6;
  }
  Out[0] = static_cast<char>((0xF00u >> Length) | Cp);
  return Length;
}

bool IsCharacterStart(std::string_view Text, std::size_t Pos) {
  if (Pos == 0 || Pos >= Text.size())
    return true;
  const auto* Data = reinterpret_cast<const unsigned char*>(Text.data());
  if (!IsContinuation(Data[Pos]))
    return true;
  // A continuation byte is inside a character only when the nearest lead
  // byte before it starts a valid sequence that reaches it.
  for (std::size_t Back = 1; Back <= 3 && Back <= Pos; ++Back) {
    if (IsContinuation(Data[Pos - Back]))
      continue;
    char32_t Cp;
    return DecodeUtf8(Data + Pos - Back, Data + Text.size(), Cp) <= Back;
  }
  return true;
}

TCaseFold::TCaseFold(const TUpperTable& Upper) : Bytes(Upper) {}

TCaseFold::TCaseFold(std::span<const TCodePointCase> Cases) : IsUtf8(true) {
  Index.assign(CodePointLimit >> 8, 0);
  for (const auto& [From, To] : Cases) {
    if (From >= CodePointLimit || To >= CodePointLimit || From == To)
      continue;
    std::uint16_t& Block = Index[From >> 8];
    if (Block == 0) {
      Block = static_cast<std::uint16_t>(Blocks.size() / 256 + 1);
      for (char32_t Low = 0; Low < 256; ++Low)
        Blocks.push_back((From & ~char32_t{0xFF}) | Low);
    }
    Blocks[(Block - 1u) * 256u + (From & 0xFF)] = To;
    MaxGrowth = std::max(MaxGrowth, (EncodedLength(To) + EncodedLength(From) - 1) / EncodedLength(From));
  }
  for (unsigned B = 0; B < 256; ++B) {
    const char32_t U = Upper(B);
    PlainByte[B] = B < 0x80 && U < 0x80;
    Bytes[B] = static_cast<unsigned char>(PlainByte[B] ? U : B);
    AsciiOnlyByteTest = AsciiOnlyByteTest && (B >= 0x80 || PlainByte[B]);
  }
  for (const auto& [From, To] : Cases)
    if (To < 0x80 && From < CodePointLimit && From != To && !(From < 0x80 && PlainByte[From]))
      Crowded[To] = true;
  for (const auto& [From, To] : Cases)
    if (From < CodePointLimit && From != To && Upper(From) == To)
      ByUpper.emplace_back(To, From);
  std::sort(ByUpper.begin(), ByUpper.end());
  ByUpper.erase(std::unique(ByUpper.begin(), ByUpper.end()), ByUpper.end());
}

std::span<const TCodePointCase> TCaseFold::OtherCaseForms(char32_t Folded) const {
  const auto Range = std::equal_range(ByUpper.begin(), ByUpper.end(), TCodePointCase{Folded, 0},
                                      [](const TCodePointCase& A, const TCodePointCase& B) {
                                        return A.first < B.first;
                                      });
  return {Range.first, Range.second};
}

// Whether Cp upper-cased is the bytes of Folded that end at WantEnd (or
// begin at Want); moves that end (or start) past them.
static bool UpperIs(char32_t Upper, const unsigned char* Want, const unsigned char* WantEnd, bool AtEnd,
                    std::size_t& Taken) {
  char Encoded[4];
  Taken = EncodeUtf8(Upper, Encoded);
  if (static_cast<std::size_t>(WantEnd - Want) < Taken)
    return false;
  return std::memcmp(Encoded, AtEnd ? WantEnd - Taken : Want, Taken) == 0;
}

std::size_t TCaseFold::FoldedPrefixLength(const unsigned char* P, const unsigned char* End,
                                          std::string_view Folded) const {
  const unsigned char* const Start = P;
  const auto* Want = reinterpret_cast<const unsigned char*>(Folded.data());
  const auto* WantEnd = Want + Folded.size();
  while (Want < WantEnd) {
    if (P == End)
      return std::string_view::npos;
    if (PlainByte[*P]) {
      if (Bytes[*P++] != *Want++)
        return std::string_view::npos;
      continue;
    }
    char32_t Cp;
    const std::size_t Length = DecodeUtf8(P, End, Cp);
    std::size_t Taken;
    // A byte that stands alone is no part of a whole character.
    if (Length == 0 || !UpperIs(Upper(Cp), Want, WantEnd, false, Taken))
      return std::string_view::npos;
    P += Length;
    Want += Taken;
  }
  return static_cast<std::size_t>(P - Start);
}

const unsigned char* TCaseFold::FoldedSuffixStart(const unsigned char* Begin, const unsigned char* P,
                                                  std::string_view Folded) const {
  const auto* Want = reinterpret_cast<const unsigned char*>(Folded.data());
  const auto* WantEnd = Want + Folded.size();
  while (Want < WantEnd) {
    // The character that ends at P starts at the nearest byte before it
    // that is no continuation byte, and must reach exactly to P.
    const unsigned char* Q = P;
    do {
      if (Q == Begin)
        return nullptr;
      --Q;
    } while (IsContinuation(*Q) && P - Q < 4);
    char32_t Cp;
    const std::size_t Length = DecodeUtf8(Q, P, Cp);
    std::size_t Taken;
    if (Length != static_cast<std::size_t>(P - Q) || !UpperIs(Upper(Cp), Want, WantEnd, true, Taken))
      return nullptr;
    P = Q;
    WantEnd -= Taken;
  }
  return P;
}

char32_t TCaseFold::Upper(char32_t Cp) const {
  if (!IsUtf8)
    return Cp < 256 ? Bytes[Cp] : Cp;
  if (Cp >= CodePointLimit)
    return Cp;
  const unsigned Block = Index[Cp >> 8];
  return Block == 0 ? Cp : Blocks[(Block - 1u) * 256u + (Cp & 0xFF)];
}

void TCaseFold::Fold(std::string_view Text, std::string& Out) const {
  Out.clear();
  AppendFolded(Text, Out);
}

void TCaseFold::AppendFolded(std::string_view Text, std::string& Out) const {
  const std::size_t Old = Out.size();
  Out.resize(Old + Text.size() * (IsUtf8 ? MaxGrowth : 1));
  char* O = Out.data() + Old;
  const auto* P = reinterpret_cast<const unsigned char*>(Text.data());
  const auto* End = P + Text.size();
  if (!IsUtf8) {
    for (; P < End; ++P)
      *O++ = static_cast<char>(Bytes[*P]);
    return;
  }
  while (P < End) {
    if (PlainByte[*P]) {
      *O++ = static_cast<char>(Bytes[*P++]);
      continue;
    }
    char32_t Cp;
    const std::size_t Length = DecodeUtf8(P, End, Cp);
    if (Length == 0) {
      *O++ = static_cast<char>(*P++);  // stands alone: kept as it is
      continue;
    }
    O += EncodeUtf8(Upper(Cp), O);
    P += Length;
  }
  Out.resize(static_cast<std::size_t>(O - Out.data()));
}

std::size_t TCaseFold::CharacterAt(const unsigned char* P, const unsigned char* End,
                                   std::size_t& FoldedLength) const {
  FoldedLength = 1;
  if (!IsUtf8 || PlainByte[*P])
    return 1;
  char32_t Cp;
  const std::size_t Length = DecodeUtf8(P, End, Cp);
  if (Length == 0)
    return 1;
  FoldedLength = EncodedLength(Upper(Cp));
  return Length;
}

static bool HasHighByte(std::string_view Text) {
  const char* P = Text.data();
  std::size_t N = Text.size();
  std::uint64_t Any = 0;
  // Whole blocks are tested too: 64 bytes a step in the compiler's vector
  // extension (GCC and Clang), stopping at the first step with a high byte.
  using TBytes = unsigned char __attribute__((vector_size(16)));
  for (; N >= 64; P += 64, N -= 64) {
    TBytes V[4];
    std::memcpy(V, P, sizeof V);
    const TBytes All = V[0] | V[1] | V[2] | V[3];
    std::uint64_t Half[2];
    std::memcpy(Half, &All, sizeof Half);
    if (((Half[0] | Half[1]) & 0x8080808080808080u) != 0)
      return true;
  }
  for (; N >= 8; P += 8, N -= 8) {
    std::uint64_t Word;
    std::memcpy(&Word, P, sizeof Word);
    Any |= Word;
  }
  for (; N > 0; ++P, --N)
    Any |= static_cast<unsigned char>(*P);
  return (Any & 0x8080808080808080u) != 0;
}

bool TCaseFold::ByteSearchable(std::string_view Line) const {
  if (!IsUtf8)
    return true;
  if (AsciiOnlyByteTest)
    return !HasHighByte(Line);
  for (char C : Line)
    if (!PlainByte[static_cast<unsigned char>(C)])
      return false;
  return true;
}

bool TCaseFold::ByteSearchableNeedle(std::string_view Folded) const {
  if (!IsUtf8)
    return true;
  for (char C : Folded) {
    const auto B = static_cast<unsigned char>(C);
    if (B >= 0x80 || Crowded[B])
      return false;
  }
  return true;
}

void TCaseFold::FoldToCharacters(std::string_view Text, std::vector<char32_t>& Out,
                                 std::vector<std::size_t>* Starts) const {
  Out.clear();
  if (Starts != nullptr)
    Starts->clear();
  const auto* Begin = reinterpret_cast<const unsigned char*>(Text.data());
  const auto* End = Begin + Text.size();
  for (const unsigned char* P = Begin; P < End;) {
    if (Starts != nullptr)
      Starts->push_back(static_cast<std::size_t>(P - Begin));
    char32_t Cp = *P;
    const std::size_t Length = IsUtf8 ? DecodeUtf8(P, End, Cp) : 1;
    Out.push_back(Length == 0 ? StandaloneByteBase + *P : Upper(Cp));
    P += Length == 0 ? 1 : Length;
  }
  if (Starts != nullptr)
    Starts->push_back(Text.size());
}

}  // namespace vellary::engine
