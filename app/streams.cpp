// Text input and output files: the input as a block source, line reading
// over a growing buffer, output creation, and the error texts of failed
// file operations.
#include "app/streams.h"

#include "core/core_state.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace vellary::app {

std::string FileErrorText(int Code) {
  switch (Code) {
  case platform::feFileNotFound:
    return "File not found";
  case platform::feInvalidFilename:
    return "Invalid filename";
  case platform::feTooManyOpenFiles:
    return "Too many open files";
  case platform::feAccessDenied:
    return "Access denied";
  case platform::feInvalidHandle:
    return "Invalid file handle";
  case platform::feInvalidDrive:
    return "Invalid drive specified";
  case platform::feReadPastEnd:
    return "Read past end of file";
  case platform::feDiskFull:
    return "Disk Full";
  case platform::feFileNotAssigned:
    return "File not assigned";
  case platform::feFileNotOpen:
    return "File not open";
  case platform::feNotOpenForInput:
    return "File not open for input";
  case platform::feNotOpenForOutput:
    return "File not open for output";
  case platform::feInvalidInput:
    return "Invalid input";
  case platform::feOutOfMemory:
    return "Out of memory";
  default:
    break;
  }
  char Text[48];
  std::snprintf(Text, sizeof Text, "Unknown Run-Time error : %3.3d", Code);
  return Text;
}

core::TStatus FileFailure(int ExitCode, const std::string& Name, int Error) {
  return {ExitCode, core::SubstituteArgs("File handling error occurred with \"%s\" -- %s",
                                         {Name, FileErrorText(Error)})};
}

core::TStatus FileNameMissing(std::string_view Option) {
  return {core::ExitNoValidFile,
          core::SubstituteArgs("The %s parameter requires a valid filename.", {Option})};
}

// ---- Reading -----------------------------------------------------------------

void TTextInput::TReadBuffer::DropFront(std::size_t N) {
  if (N == 0)
    return;
  std::memmove(Bytes.get(), Bytes.get() + N, Size - N);
  Size -= N;
}

char* TTextInput::TReadBuffer::Reserve(std::size_t N) {
  if (Capacity - Size < N) {
    // Doubling keeps a very long line linear; memory stays proportional to it.
    std::size_t NewCapacity = Capacity == 0 ? N : Capacity;
    while (NewCapacity - Size < N)
      NewCapacity *= 2;
    auto Larger = std::make_unique_for_overwrite<char[]>(NewCapacity);
    if (Size != 0)
      std::memcpy(Larger.get(), Bytes.get(), Size);
    Bytes = std::move(Larger);
    Capacity = NewCapacity;
  }
  return Bytes.get() + Size;
}

TTextInput::~TTextInput() {
  (void)CloseText(*this);
}

// Drops the lines handed out, appends the next read and hands out the whole
// lines now held (all of them at the end of the file).
int TTextInput::Fill() {
  Buffer.DropFront(Start);
  const std::size_t Held = Buffer.size();
  std::size_t Got = 0;
  if (int Error = platform::ReadBytes(Handle, Buffer.Reserve(InputBufferSize), InputBufferSize, Got);
      Error != 0)
    return Error;
  Buffer.Commit(Got);
  Eof = Got == 0;
  // What was held has no line end but perhaps a last CR: look from there.
  const std::size_t From = Held == 0 ? 0 : Held - 1;
  const engine::TWholeLines Whole =
      engine::WholeLinesOf(std::string_view(Buffer.data() + From, Buffer.size() - From), true);
  Start = Eof ? Buffer.size() : Whole.Found ? From + Whole.End : 0;
  Lines.Reset(std::string_view(Buffer.data(), Start));
  return 0;
}

int OpenTextInput(TTextInput& Input, const std::string& Name) {
  (void)CloseText(Input);
  Input.Buffer.clear();
  Input.Start = 0;
  Input.Eof = false;
  Input.Lines.Reset({});
  if (int Error = platform::OpenForReading(Name, Input.Handle); Error != 0)
    return Error;
  std::error_code SizeError;
  Input.KnownSize = std::filesystem::file_size(Name, SizeError);
  Input.AtOffsets = !SizeError && !platform::ReadMayWait(Input.Handle);
  return 0;
}

int ReadTextLine(TTextInput& Input, std::string_view& Line, bool& AtEnd) {
  AtEnd = false;
  while (!Input.Lines.Next(Line)) {
    if (Input.Eof) {
      AtEnd = true;
      Line = std::string_view();
      return 0;
    }
    if (int Error = Input.Fill(); Error != 0)
      return Error;
  }
  return 0;
}

int CloseText(TTextInput& Input) {
  if (Input.Handle == platform::InvalidHandle)
    return 0;
  int Error = platform::CloseHandle(Input.Handle);
  Input.Handle = platform::InvalidHandle;
  return Error;
}

// ---- Writing -----------------------------------------------------------------

int CreateTextOutput(core::TTextOutput& Output, const std::string& Name) {
  platform::TNativeHandle Handle = platform::InvalidHandle;
  if (int Error = platform::CreateForWriting(Name, Handle); Error != 0)
    return Error;
  Output.Bind(Handle, true, core::TTextOutput::fmBuffered, platform::AnsiCodePage(), platform::CpUtf8);
  return 0;
}

int WriteRecord(core::TTextOutput& Output, std::string_view Text) {
  return Output.WriteRecord(Text);
}

int CloseText(core::TTextOutput& Output) {
  return Output.Close();
}

}  // namespace vellary::app
