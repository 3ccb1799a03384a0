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

// Offset of the next Byte at or after From, or npos. Every byte of every
// input goes through here, so it rides on memchr and remembers what it found.
template <typename TBuffer>
static std::size_t NextByte(TTextInput::TNextByte& Next, const TBuffer& Buffer,
                            std::size_t From, char Byte) {
  if (Next.Pos != std::string::npos && Next.Pos >= From)
    return Next.Pos;
  const std::size_t Begin =
      Next.Pos == std::string::npos && Next.SearchedTo > From ? Next.SearchedTo : From;
  // An empty buffer may have no storage yet, and memchr must not see null.
  const void* At =
      Begin < Buffer.size() ? std::memchr(Buffer.data() + Begin, Byte, Buffer.size() - Begin) : nullptr;
  Next.Pos = At == nullptr ? std::string::npos
                           : static_cast<std::size_t>(static_cast<const char*>(At) - Buffer.data());
  Next.SearchedTo = Buffer.size();
  return Next.Pos;
}

// Offsets move down when the bytes handed out are dropped from the buffer.
static void Shift(TTextInput::TNextByte& Next, std::size_t Dropped) {
  if (Next.Pos != std::string::npos)
    Next.Pos = Next.Pos >= Dropped ? Next.Pos - Dropped : std::string::npos;
  Next.SearchedTo = Next.SearchedTo >= Dropped ? Next.SearchedTo - Dropped : 0;
}

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
  Shift(NextLf, Start);
  Shift(NextCr, Start);
  Start = 0;
  std::size_t Got = 0;
  int Error = platform::ReadBytes(Handle, Buffer.Reserve(InputBufferSize), InputBufferSize, Got);
  Buffer.Commit(Got);
  if (Error == 0 && Got == 0)
    Eof = true;
  return Error;
}

int OpenTextInput(TTextInput& Input, const std::string& Name) {
  (void)CloseText(Input);
  Input.Buffer.clear();
  Input.Start = 0;
  Input.Eof = false;
  Input.PendingCr = false;
  Input.NextLf = {};
  Input.NextCr = {};
  return platform::OpenForReading(Name, Input.Handle);
}

int ReadTextLine(TTextInput& Input, std::string_view& Line, bool& AtEnd) {
  Line = std::string_view();
  AtEnd = false;
  // The previous line ended with a CR as the last byte read: a LF that
  // follows belongs to that line end.
  while (Input.PendingCr) {
    if (Input.Start < Input.Buffer.size()) {
      if (Input.Buffer[Input.Start] == '\n')
        ++Input.Start;
      Input.PendingCr = false;
    } else if (Input.Eof) {
      Input.PendingCr = false;
    } else if (int Error = Input.Fill(); Error != 0) {
      return Error;
    }
  }
  while (true) {
    const std::size_t Lf = NextByte(Input.NextLf, Input.Buffer, Input.Start, '\n');
    const std::size_t Cr = NextByte(Input.NextCr, Input.Buffer, Input.Start, '\r');
    const std::size_t Found = Lf < Cr ? Lf : Cr;
    const char* Begin = Input.Buffer.data() + Input.Start;
    if (Found != std::string::npos) {
      Line = std::string_view(Begin, Found - Input.Start);
      Input.Start = Found + 1;
      if (Found == Cr) {
        if (Found + 1 == Input.Buffer.size())
          Input.PendingCr = true;
        else if (Input.Buffer[Found + 1] == '\n')
          ++Input.Start;
      }
      return 0;
    }
    if (Input.Eof) {
      Line = std::string_view(Begin, Input.Buffer.size() - Input.Start);
      AtEnd = Line.empty();
      Input.Start = Input.Buffer.size();
      return 0;
    }
    if (int Error = Input.Fill(); Error != 0)
      return Error;
  }
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
