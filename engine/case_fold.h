// Letter case as the searches of one run ignore it: per byte through a table
// in a single-byte code page, per character in a UTF-8 locale. Everything is
// built once, so that no locale call sits on a hot path.
#pragma once

#include "core/ascii.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vellary::engine {

// Upper[b] is the upper case of byte b in the system's single-byte code page.
using TUpperTable = std::array<unsigned char, 256>;

// a..z to A..Z, every other byte unchanged.
constexpr TUpperTable AsciiUpperTable() {
  TUpperTable Table{};
  for (unsigned B = 0; B < 256; ++B)
    Table[B] = static_cast<unsigned char>(core::AsciiUpper(static_cast<char>(B)));
  return Table;
}

// Upper-cases Text through Upper into Out (replacing Out's content).
void UpperCase(std::string_view Text, const TUpperTable& Upper, std::string& Out);

// A code point and its simple upper case, as the platform's tables give it.
using TCodePointCase = std::pair<char32_t, char32_t>;

// Bytes that are not valid UTF-8 (a stray continuation byte, a truncated or
// overlong sequence, a surrogate) are characters of one byte each; a valid
// sequence is one character. Length of the valid sequence at P (and its code
// point in Cp), or 0 when the byte at P stands alone.
std::size_t DecodeUtf8(const unsigned char* P, const unsigned char* End, char32_t& Cp);

// Cp (below U+110000) in UTF-8 into Out, which has room for four bytes;
// the number of bytes written.
std::size_t EncodeUtf8(char32_t Cp, char* Out);

// Whether Pos starts a character of Text (or is its end), by the rule above.
bool IsCharacterStart(std::string_view Text, std::size_t Pos);

class TCaseFold {
public:
  // Per byte through the ASCII table.
  TCaseFold() : TCaseFold(AsciiUpperTable()) {}
  // Per byte through Upper: a single-byte code page. Implicit, since a table
  // is all such a run knows of letter case.
  TCaseFold(const TUpperTable& Upper);  // NOLINT(google-explicit-constructor)
  // Per character in UTF-8: Upper for the code points listed (any order),
  // every other one unchanged. An empty list gives the ASCII table.
  explicit TCaseFold(std::span<const TCodePointCase> Cases);

  bool Utf8() const { return IsUtf8; }
  // The per-byte part: in UTF-8 mode the ASCII bytes that stay ASCII when
  // upper-cased map to that, every other byte to itself.
  const TUpperTable& ByteTable() const { return Bytes; }
  char32_t Upper(char32_t Cp) const;

  // Text upper-cased (per byte, or per character re-encoded in UTF-8; bytes
  // that stand alone are kept) into Out, replacing its content.
  void Fold(std::string_view Text, std::string& Out) const;
  // The same, appended to Out.
  void AppendFolded(std::string_view Text, std::string& Out) const;
  // The length of the character at P in Text and of its upper case.
  std::size_t CharacterAt(const unsigned char* P, const unsigned char* End,
                          std::size_t& FoldedLength) const;

  // True when searching Line byte by byte through ByteTable() finds exactly
  // what searching it per character finds, for any needle: always per byte,
  // and in UTF-8 mode when every byte of Line is ASCII that stays ASCII.
  bool ByteSearchable(std::string_view Line) const;
  // True when a needle, already folded, is found exactly by the byte search
  // in every line: it is ASCII and no other character folds onto its bytes.
  bool ByteSearchableNeedle(std::string_view Folded) const;

  // The code points other than Folded itself whose upper case is Folded, as
  // (Folded, code point) pairs; empty per byte.
  std::span<const TCodePointCase> OtherCaseForms(char32_t Folded) const;
  // The bytes of the characters from P on that, upper-cased, give exactly
  // Folded (whole characters only), or npos when they don't.
  std::size_t FoldedPrefixLength(const unsigned char* P, const unsigned char* End,
                                 std::string_view Folded) const;
  // The start of the characters that end at P (none before Begin) and,
  // upper-cased, give exactly Folded; null when there are none such.
  const unsigned char* FoldedSuffixStart(const unsigned char* Begin, const unsigned char* P,
                                         std::string_view Folded) const;

  // The text as a sequence of folded characters; a byte that stands alone
  // becomes 0x110000 + byte, so it equals nothing but itself. For plain,
  // obviously correct reference searches.
  void FoldToCharacters(std::string_view Text, std::vector<char32_t>& Out,
                        std::vector<std::size_t>* Starts = nullptr) const;

private:
  TUpperTable Bytes{};
  bool IsUtf8 = false;
  bool AsciiOnlyByteTest = true;  // ByteSearchable needs only the high bit
  std::size_t MaxGrowth = 1;      // most bytes a folded character takes per byte
  std::array<bool, 256> PlainByte{};   // ASCII whose upper case is ASCII
  std::array<bool, 128> Crowded{};     // ASCII that another character folds onto
  // Upper case by code point: Blocks[Index[Cp >> 8] * 256 + (Cp & 255)];
  // block 0 is the identity and is not stored.
  std::vector<std::uint16_t> Index;
  std::vector<char32_t> Blocks;
  std::vector<TCodePointCase> ByUpper;  // (upper case, code point), sorted
};

}  // namespace vellary::engine
