// Text input and output files: reading lines with any line-end convention,
// creating outputs, and the fixed error texts of failed file operations.
#pragma once

#include "core/status.h"
#include "core/text_output.h"
#include "engine/line_cutter.h"
#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
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

// A text file read in blocks of whole lines, or line by line. Lines end at
// CR LF, a lone LF or a lone CR (see engine::TLineCutter); every other byte
// (NUL, byte 26, a byte-order mark) stays in the line. Memory grows with the
// longest line, not with the file.
class TTextInput {
public:
  TTextInput() = default;
  TTextInput(const TTextInput&) = delete;
  TTextInput& operator=(const TTextInput&) = delete;
  ~TTextInput();

  // Flushed before every read of the file, so that redirected standard
  // output stays prompt when the input is a pipe.
  void SetFlushBeforeRead(core::TTextOutput* Output) { FlushBeforeRead = Output; }
  // True when a read may wait for input to arrive (a pipe or a terminal).
  bool ReadMayWait() const {
    return Handle != platform::InvalidHandle && platform::ReadMayWait(Handle);
  }

  friend int OpenTextInput(TTextInput& Input, const std::string& Name);
  friend int ReadTextBlock(TTextInput& Input, std::string_view& Block, bool& AtEnd);
  friend int ReadTextLine(TTextInput& Input, std::string_view& Line, bool& AtEnd);
  friend int ReadTextAt(const TTextInput& Input, std::uint64_t Offset, char* Bytes, std::size_t Size,
                        std::size_t& Got);
  friend int CloseText(TTextInput& Input);

private:
  [[nodiscard]] int Fill();
  std::size_t WholeLinesEnd();

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
  std::size_t Start = 0;        // first byte not yet handed out
  std::size_t NoLineEndTo = 0;  // no line end in [Start, this): a long line is searched once
  bool Eof = false;
  bool PendingCr = false;       // the last block ended with CR: skip a LF that follows
  engine::TLineCutter Lines;    // the lines of the last block, for ReadTextLine
};

// The input name that stands for standard input ("./-" names a file "-").
inline constexpr std::string_view StandardInputName = "-";

// Opens an existing file for reading, shared for reading and writing, or
// standard input for StandardInputName.
[[nodiscard]] int OpenTextInput(TTextInput& Input, const std::string& Name);
// Block receives the next whole lines with their line ends, as many as the
// buffer holds (valid until the next call); when a block ends with CR, the
// LF of that CR LF, should it come with the next read, is dropped, so no
// block begins inside a line end. At the end of the file the last line comes
// without one. AtEnd is set when no byte remains. Returns 0 or an error code.
[[nodiscard]] int ReadTextBlock(TTextInput& Input, std::string_view& Block, bool& AtEnd);
// Line receives the next line without its line end (valid until the next
// call); AtEnd is set when no byte remains. Returns 0 or an error code. Use
// one of the two reads on an input, not both.
[[nodiscard]] int ReadTextLine(TTextInput& Input, std::string_view& Line, bool& AtEnd);
// Reads raw bytes from Offset of the opened file (a regular one), fewer than
// Size only at its end, leaving the reads above untouched; several threads
// may call it at once.
[[nodiscard]] int ReadTextAt(const TTextInput& Input, std::uint64_t Offset, char* Bytes, std::size_t Size,
                             std::size_t& Got);
[[nodiscard]] int CloseText(TTextInput& Input);

// Creates or empties Name for writing (others may read) with a buffer of
// core::TextBufferSize (256 KiB), text converted from the ANSI code page to
// UTF-8.
[[nodiscard]] int CreateTextOutput(core::TTextOutput& Output, const std::string& Name);
[[nodiscard]] int WriteRecord(core::TTextOutput& Output, std::string_view Text);
[[nodiscard]] int CloseText(core::TTextOutput& Output);

}  // namespace vellary::app
