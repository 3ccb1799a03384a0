// Text input and output files: line reading over a growing buffer, output
// creation, and the error texts of failed file operations.
#include "app/streams.h"

#include "core/core_state.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

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

// ---- Reading lines -----------------------------------------------------------

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
    std::unique_ptr<char[]> Larger(new char[NewCapacity]);
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

// Drops the bytes already handed out and appends the next block of the file.
int TTextInput::Fill() {
  if (FlushBeforeRead != nullptr) {
    if (int Error = FlushBeforeRead->Flush(); Error != 0)
      return Error;
  }
  Buffer.DropFront(Start);
  NoLineEndTo -= Start;
  Start = 0;
  std::size_t Got = 0;
  int Error = platform::ReadBytes(Handle, Buffer.Reserve(InputBufferSize), InputBufferSize, Got);
  Buffer.Commit(Got);
  if (Error == 0 && Got == 0)
    Eof = true;
  return Error;
}

// Where the whole lines among the bytes not handed out end: behind the last
// LF or CR. Start when there is none.
std::size_t TTextInput::WholeLinesEnd() {
  const std::size_t End = Buffer.size();
  for (std::size_t I = End; I > NoLineEndTo && I > Start; --I)
    if (Buffer[I - 1] == '\n' || Buffer[I - 1] == '\r')
      return I;
  NoLineEndTo = End;
  return Start;
}

int OpenTextInput(TTextInput& Input, const std::string& Name) {
  (void)CloseText(Input);
  Input.Buffer.clear();
  Input.Start = 0;
  Input.NoLineEndTo = 0;
  Input.Eof = false;
  Input.PendingCr = false;
  Input.Lines.Reset({});
  if (Name == StandardInputName)
    return platform::OpenStandardInput(Input.Handle);
  return platform::OpenForReading(Name, Input.Handle);
}

int ReadTextBlock(TTextInput& Input, std::string_view& Block, bool& AtEnd) {
  Block = std::string_view();
  AtEnd = false;
  for (;;) {
    // A block that ended with CR was handed out at once, so that a pipe-fed
    // run stays prompt; a LF that follows belongs to that line end.
    if (Input.PendingCr && Input.Start < Input.Buffer.size()) {
      if (Input.Buffer[Input.Start] == '\n')
        Input.NoLineEndTo = ++Input.Start;
      Input.PendingCr = false;
    }
    const char* Begin = Input.Buffer.data() + Input.Start;
    if (Input.Eof) {
      Block = std::string_view(Begin, Input.Buffer.size() - Input.Start);
      AtEnd = Block.empty();
      Input.Start = Input.NoLineEndTo = Input.Buffer.size();
      return 0;
    }
    if (const std::size_t End = Input.WholeLinesEnd(); End > Input.Start) {
      Block = std::string_view(Begin, End - Input.Start);
      Input.Start = Input.NoLineEndTo = End;
      Input.PendingCr = Input.Buffer[End - 1] == '\r';
      return 0;
    }
    if (int Error = Input.Fill(); Error != 0)
      return Error;
  }
}

int ReadTextLine(TTextInput& Input, std::string_view& Line, bool& AtEnd) {
  AtEnd = false;
  while (!Input.Lines.Next(Line)) {
    std::string_view Block;
    if (int Error = ReadTextBlock(Input, Block, AtEnd); Error != 0 || AtEnd) {
      Line = std::string_view();
      return Error;
    }
    Input.Lines.Reset(Block);
  }
  return 0;
}

int ReadTextAt(const TTextInput& Input, std::uint64_t Offset, char* Bytes, std::size_t Size,
               std::size_t& Got) {
  return platform::ReadBytesAt(Input.Handle, Offset, Bytes, Size, Got);
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
