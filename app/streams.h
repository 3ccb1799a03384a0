// Text input and output files: reading lines with any line-end convention,
// creating outputs, and the fixed error texts of failed file operations.
#pragma once

#include "core/status.h"
#include "core/text_output.h"
#include "platform/platform.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace vellary::app {

// Bytes asked for per read. Larger than the classic 64 KiB: on large files
// it saves about a third of the system time, and nothing else depends on it.
inline constexpr std::size_t InputBufferSize = 262144;

// The text shown after " -- " for a failed file operation's error code:
// "File not found", "Disk Full", ... or "Unknown Run-Time error : %3.3d".
std::string FileErrorText(int Code);

// The failure of a file operation: ExitCode with 'File handling error
// occurred with "<Name>" -- <error text>'.
core::TStatus FileFailure(int ExitCode, const std::string& Name, int Error);

// An option that names a file (Option: "-o", "-r") given an empty name:
// ExitNoValidFile with "The <Option> parameter requires a valid filename.".
core::TStatus FileNameMissing(std::string_view Option);

// A text file read line by line. Lines end at CR LF, a lone LF or a lone CR;
// every other byte (NUL, byte 26, a byte-order mark) stays in the line. Memory
// grows with the longest line, not with the file.
class TTextInput {
public:
  TTextInput() = default;
  TTextInput(const TTextInput&) = delete;
  TTextInput& operator=(const TTextInput&) = delete;
  ~TTextInput();

  // Flushed before every read of the file, so that redirected standard
  // output stays prompt when the input is a pipe.
  void SetFlushBeforeRead(core::TTextOutput* Output) { FlushBeforeRead = Output; }

  // Where the next LF and the next CR are, so that each byte is searched for
  // each of the two at most once, even in a file that uses only one of them.
  struct TNextByte {
    std::size_t Pos = std::string::npos;  // offset in Buffer, npos: none seen yet
    std::size_t SearchedTo = 0;           // with npos: no such byte before this
  };

  friend int OpenTextInput(TTextInput& Input, const std::string& Name);
  friend int ReadTextLine(TTextInput& Input, std::string_view& Line, bool& AtEnd);
  friend int CloseText(TTextInput& Input);

private:
  [[nodiscard]] int Fill();

  platform::TNativeHandle Handle = platform::InvalidHandle;
  core::TTextOutput* FlushBeforeRead = nullptr;
  // Bytes read and not yet handed out. Not a std::string: growing one fills
  // the new room with zeros, a pass over every byte that a read overwrites.
  class TReadBuffer {
  public:
    const char* data() const { return Bytes.get(); }
    char* data() { return Bytes.get(); }
    std::size_t size() const { return Size; }
    char operator[](std::size_t I) const { return Bytes[I]; }
    void clear() { Size = 0; }
    void DropFront(std::size_t N);
    // Room for N more bytes after size(); the caller then Commits what it wrote.
    char* Reserve(std::size_t N);
    void Commit(std::size_t N) { Size += N; }

  private:
    std::unique_ptr<char[]> Bytes;
    std::size_t Size = 0;
    std::size_t Capacity = 0;
  };
  TReadBuffer Buffer;
  std::size_t Start = 0;   // first byte not yet handed out
  bool Eof = false;
  bool PendingCr = false;  // the last line ended with CR: skip a following LF
  TNextByte NextLf, NextCr;  // where the next LF and CR are
};

// Opens an existing file for reading, shared for reading and writing.
[[nodiscard]] int OpenTextInput(TTextInput& Input, const std::string& Name);
// Line receives the next line without its line end (valid until the next
// call); AtEnd is set when no byte remains. Returns 0 or an error code.
[[nodiscard]] int ReadTextLine(TTextInput& Input, std::string_view& Line, bool& AtEnd);
[[nodiscard]] int CloseText(TTextInput& Input);

// Creates or empties Name for writing (others may read) with a buffer of
// core::TextBufferSize (256 KiB), text converted from the ANSI code page to
// UTF-8.
[[nodiscard]] int CreateTextOutput(core::TTextOutput& Output, const std::string& Name);
[[nodiscard]] int WriteRecord(core::TTextOutput& Output, std::string_view Text);
[[nodiscard]] int CloseText(core::TTextOutput& Output);

}  // namespace vellary::app
