// Text input and output files: line reading over a growing buffer, output
// creation, and the error texts of failed file operations.
#include "app/streams.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace vellary::app {

std::string FileErrorText(int Code) {
  switch (Code) {
  case 2:
    return "File not found";
  case 3:
    return "Invalid filename";
  case 4:
    return "Too many open files";
  case 5:
    return "Access denied";
  case 6:
    return "Invalid file handle";
  case 15:
    return "Invalid drive specified";
  case 100:
    return "Read past end of file";
  case 101:
    return "Disk Full";
  case 102:
    return "File not assigned";
  case 103:
    return "File not open";
  case 104:
    return "File not open for input";
  case 105:
    return "File not open for output";
  case 106:
    return "Invalid input";
  default:
    break;
  }
  char Text[48];
  std::snprintf(Text, sizeof Text, "Unknown Run-Time error : %3.3d", Code);
  return Text;
}

// ---- Reading lines -----------------------------------------------------------

static constexpr std::uint64_t RepeatByte(unsigned char Byte) {
  return 0x0101010101010101ULL * Byte;
}

static bool HasZeroByte(std::uint64_t Word) {
  return ((Word - RepeatByte(1)) & ~Word & RepeatByte(0x80)) != 0;
}

static bool IsLineEnd(char Byte) {
  return Byte == '\r' || Byte == '\n';
}

// The first CR or LF in [From, To), or To. Eight bytes are tested at a time:
// this loop sees every byte of every input file.
static const char* FindLineEnd(const char* From, const char* To) {
  while (To - From >= 8) {
    std::uint64_t Word;
    std::memcpy(&Word, From, sizeof Word);
    if (HasZeroByte(Word ^ RepeatByte('\r')) || HasZeroByte(Word ^ RepeatByte('\n')))
      break;
    From += 8;
  }
  while (From < To && !IsLineEnd(*From))
    ++From;
  return From;
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
  Buffer.erase(0, Start);
  Start = 0;
  std::size_t Kept = Buffer.size();
  Buffer.resize(Kept + InputBufferSize);
  std::size_t Got = 0;
  int Error = platform::ReadBytes(Handle, Buffer.data() + Kept, InputBufferSize, Got);
  Buffer.resize(Kept + Got);
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
  std::size_t Scanned = 0;  // bytes after Start known to hold no line end
  while (true) {
    const char* Begin = Input.Buffer.data() + Input.Start;
    const char* End = Input.Buffer.data() + Input.Buffer.size();
    const char* Found = FindLineEnd(Begin + Scanned, End);
    if (Found != End) {
      Line = std::string_view(Begin, static_cast<std::size_t>(Found - Begin));
      Input.Start += Line.size() + 1;
      if (*Found == '\r') {
        if (Found + 1 == End)
          Input.PendingCr = true;
        else if (Found[1] == '\n')
          ++Input.Start;
      }
      return 0;
    }
    if (Input.Eof) {
      AtEnd = Begin == End;
      Line = std::string_view(Begin, static_cast<std::size_t>(End - Begin));
      Input.Start = Input.Buffer.size();
      return 0;
    }
    Scanned = static_cast<std::size_t>(End - Begin);
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
