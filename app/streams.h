// Text files: the input as a block source, the replacement file read whole,
// created outputs, and the fixed error texts of failed file operations.
#pragma once

#include "core/status.h"
#include "core/text_output.h"
#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vellary::app {

// The text shown after " -- " for a failed file operation's error code:
// "File not found", "Disk Full", ... or "Unknown Run-Time error : %3.3d".
std::string FileErrorText(int Code);

// The failure of a file operation: ExitCode with 'File handling error
// occurred with "<Name>" -- <error text>', Name a file name shown as a text.
core::TStatus FileFailure(int ExitCode, const std::string& Name, int Error);

// An option that names a file (Option: "-o", "-r") given an empty name:
// ExitNoValidFile with "The <Option> parameter requires a valid filename.".
core::TStatus FileNameMissing(std::string_view Option);

// Where the input feed takes its bytes from: a regular file, read by offset
// (ReadAt, from any thread; Size as opened), or an input read in order by one
// thread (ReadNext: at least one byte unless at the end; it may wait, which
// NextReadWaits tells beforehand).
class TBlockSource {
public:
  virtual ~TBlockSource() = default;
  virtual bool ReadsAtOffsets() const = 0;
  virtual std::uint64_t Size() const = 0;
  [[nodiscard]] virtual int ReadAt(std::uint64_t Offset, char* Bytes, std::size_t Size,
                                   std::size_t& Got) const = 0;
  [[nodiscard]] virtual int ReadNext(char* Bytes, std::size_t Size, std::size_t& Got) = 0;
  virtual bool NextReadWaits() const = 0;
};

// The input, fed as a block source.
class TTextInput final : public TBlockSource {
public:
  TTextInput() = default;
  TTextInput(const TTextInput&) = delete;
  TTextInput& operator=(const TTextInput&) = delete;
  ~TTextInput() override;

  bool ReadsAtOffsets() const override { return AtOffsets; }
  std::uint64_t Size() const override { return KnownSize; }
  [[nodiscard]] int ReadAt(std::uint64_t Offset, char* Bytes, std::size_t Size,
                           std::size_t& Got) const override {
    return platform::ReadBytesAt(Handle, Offset, Bytes, Size, Got);
  }
  [[nodiscard]] int ReadNext(char* Bytes, std::size_t Size, std::size_t& Got) override {
    return platform::ReadBytes(Handle, Bytes, Size, Got);
  }
  bool NextReadWaits() const override { return platform::ReadWouldWait(Handle); }

  friend int OpenTextInput(TTextInput& Input, const std::string& Name);
  friend int CloseText(TTextInput& Input);

private:
  platform::TNativeHandle Handle = platform::InvalidHandle;
  bool AtOffsets = false;
  std::uint64_t KnownSize = 0;
};

// The input name that stands for standard input ("./-" names a file "-").
inline constexpr std::string_view StandardInputName = "-";

// Opens an existing file for reading, shared for reading and writing, or
// standard input for StandardInputName.
[[nodiscard]] int OpenTextInput(TTextInput& Input, const std::string& Name);
[[nodiscard]] int CloseText(TTextInput& Input);

// Bytes receives the whole of the file Name (the replacement file, whose
// table is held in memory anyway). Returns 0 or an error code;
// std::bad_alloc when it does not fit.
[[nodiscard]] int ReadWholeFile(const std::string& Name, std::string& Bytes);

// Creates or empties Name for writing (others may read) with a buffer of
// core::TextBufferSize (256 KiB), text converted from TextCodePage (the ANSI
// code page unless a run works in UTF-8) to UTF-8.
[[nodiscard]] int CreateTextOutput(core::TTextOutput& Output, const std::string& Name,
                                   platform::TCodePage TextCodePage = platform::AnsiCodePage());

}  // namespace vellary::app
