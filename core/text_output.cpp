// Record buffers, which convert code pages, and the text outputs that write
// them to a native handle or a string.
#include "core/text_output.h"

#include "core/byte_scan.h"
#include "core/record_copy.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

namespace vellary::core {
namespace {

// Offset of the first byte above 127 in Text, or Text.size().
std::size_t FirstNonAscii(std::string_view Text) {
  return static_cast<std::size_t>(FindNonAscii(Text.data(), Text.data() + Text.size()) - Text.data());
}

// Behind the LF that ends the line holding Offset, or Text.size().
std::size_t LineEndFrom(std::string_view Text, std::size_t Offset) {
  const char* End = Text.data() + Text.size();
  const char* Lf = FindByte(Text.data() + Offset, End, '\n');
  return static_cast<std::size_t>(Lf - Text.data()) + (Lf == End ? 0 : 1);
}

// Where the line holding Offset begins (behind the LF before it), not
// before Floor.
std::size_t LineStartFrom(std::string_view Text, std::size_t Offset, std::size_t Floor) {
  return static_cast<std::size_t>(
      FindAfterLastEitherByte(Text.data() + Floor, Text.data() + Offset, '\n', '\n') - Text.data());
}

}  // namespace

void TRecordBuffer::SetCodePages(platform::TCodePage TextCodePage, platform::TCodePage OutputCodePage) {
  From = TextCodePage;
  To = OutputCodePage;
  Convert = TextCodePage != OutputCodePage;
  AsciiPasses = platform::AsciiCompatible(From) && platform::AsciiCompatible(To);
}

void TRecordBuffer::Reserve(std::size_t Bytes) {
  if (Capacity < Bytes)
    (void)Grow(Bytes - Used);
}

char* TRecordBuffer::Grow(std::size_t Bytes) {
  // Doubling keeps a very long line linear; memory stays proportional to it.
  const std::size_t Larger = std::max(2 * Capacity, Used + Bytes);
  TPageBytes Grown = NewPageBytes(Larger);
  if (Used != 0)
    std::memcpy(Grown.get(), Buffer.get(), Used);
  Buffer = std::move(Grown);
  Capacity = Larger;
  return Buffer.get() + Used;
}

void TRecordBuffer::PutLfLines(std::string_view Lines, std::size_t& Records, std::size_t& Empty) {
  char* Free = Room(2 * Lines.size() + 2);
  Used += static_cast<std::size_t>(CopyLfLinesAsRecords(Lines, Free, Records, Empty) - Free);
}

void TRecordBuffer::PutBytes(std::string_view Bytes) {
  if (!Bytes.empty())
    std::memcpy(Room(Bytes.size()), Bytes.data(), Bytes.size());
  Used += Bytes.size();
}

void TRecordBuffer::Clear(std::size_t Modest) {
  Used = 0;
  if (Capacity > Modest) {
    Buffer.reset();
    Capacity = 0;
  }
}

// Text in the output's code page. ASCII is the same in every code page that
// keeps it, so only the lines holding other bytes go through the system's
// conversion, consecutive ones in one call; a code page that does not keep
// ASCII converts everything.
std::string_view TRecordBuffer::Converted(std::string_view Text) {
  if (!Convert)
    return Text;
  auto NextOdd = [&](std::size_t At) {
    return AsciiPasses ? At + FirstNonAscii(Text.substr(At)) : At;
  };
  std::size_t Odd = NextOdd(0);
  if (Odd == Text.size())
    return Text;
  Scratch.clear();
  std::size_t Done = 0;
  while (Odd < Text.size()) {
    // Line ends are ASCII and never part of another character: cut there.
    const std::size_t Begin = LineStartFrom(Text, Odd, Done);
    std::size_t End = AsciiPasses ? LineEndFrom(Text, Odd) : Text.size();
    Odd = NextOdd(End);
    // The lines that follow join this piece while they hold other bytes too.
    while (Odd < Text.size() && LineEndFrom(Text, End) > Odd) {
      End = LineEndFrom(Text, Odd);
      Odd = NextOdd(End);
    }
    Scratch.append(Text.substr(Done, Begin - Done));
    platform::ConvertCodePage(Text.substr(Begin, End - Begin), From, To, Piece);
    Scratch.append(Piece);
    Done = End;
  }
  Scratch.append(Text.substr(Done));
  return Scratch;
}

TTextOutput::~TTextOutput() {
  if (OwnsHandle && Handle != platform::InvalidHandle) {
    try {
      (void)Flush();
    } catch (const std::bad_alloc&) {
      // Converting needed memory there was none of: what was written stays.
    }
    (void)platform::CloseHandle(Handle);
  }
}

void TTextOutput::BindTo(TFlushMode NewMode, platform::TCodePage TextCodePage,
                         platform::TCodePage OutputCodePage) {
  (void)Close();
  Mode = NewMode;
  Held.SetCodePages(TextCodePage, OutputCodePage);
  Held.Clear(TextBufferSize);
  Capture = nullptr;
}

void TTextOutput::Bind(platform::TNativeHandle NewHandle, bool Owns, TFlushMode NewMode,
                       platform::TCodePage TextCodePage, platform::TCodePage OutputCodePage) {
  BindTo(NewMode, TextCodePage, OutputCodePage);
  Handle = NewHandle;
  OwnsHandle = Owns;
  Held.Reserve(TextBufferSize);
  UpdateKept();
}

void TTextOutput::BindToString(std::string* NewCapture, platform::TCodePage TextCodePage,
                               platform::TCodePage OutputCodePage) {
  BindTo(fmWriteThrough, TextCodePage, OutputCodePage);
  Capture = NewCapture;
  UpdateKept();
}

void TTextOutput::SetFlushFirst(TTextOutput* Other) {
  FlushFirst = Other;
  UpdateKept();
}

void TTextOutput::UpdateKept() {
  Kept = FlushFirst == nullptr && Mode == fmBuffered && Handle != platform::InvalidHandle;
}

int TTextOutput::FlushFirstOutput() {
  return FlushFirst != nullptr ? FlushFirst->Flush() : 0;
}

// A console is written at every record, a buffer when it has filled.
int TTextOutput::AfterWrite() {
  if (Mode == fmWriteThrough || Held.Size() >= TextBufferSize || Capture != nullptr)
    return Flush();
  return 0;
}

int TTextOutput::WriteRecordSlowly(std::string_view Text) {
  if (int Error = FlushFirstOutput(); Error != 0)
    return Error;
  // A buffered output writes what it holds first, so that a record that
  // fits the buffer never makes it grow; a larger one goes straight out
  // rather than through a copy.
  if (Held.Size() != 0 && !Held.Fits(Text.size() + 2)) {
    if (int Error = Flush(); Error != 0)
      return Error;
  }
  if (Text.size() + 2 > TextBufferSize) {
    if (int Error = Deliver(Held.Converted(Text)); Error != 0)
      return Error;
    return Deliver("\r\n");
  }
  Held.PutRecord(Text);
  return AfterWrite();
}

int TTextOutput::WriteLfLines(std::string_view Lines, std::size_t& Records, std::size_t& Empty) {
  if (int Error = FlushFirstOutput(); Error != 0)
    return Error;
  Held.PutLfLines(Lines, Records, Empty);
  return AfterWrite();
}

int TTextOutput::WriteText(std::string_view Text) {
  if (int Error = FlushFirstOutput(); Error != 0)
    return Error;
  Held.PutBytes(Text);
  return AfterWrite();
}

int TTextOutput::WriteConverted(std::string_view Bytes) {
  if (int Error = FlushFirstOutput(); Error != 0)
    return Error;
  // What is held still needs converting, so it goes first; a large piece
  // goes straight out rather than through the buffer.
  if (Held.Converts() || !Kept || !Held.Fits(Bytes.size())) {
    if (int Error = Flush(); Error != 0)
      return Error;
    return Deliver(Bytes);
  }
  Held.PutBytes(Bytes);
  return 0;
}

int TTextOutput::Deliver(std::string_view Bytes) {
  if (Capture != nullptr) {
    Capture->append(Bytes);
    return 0;
  }
  if (Handle == platform::InvalidHandle || Bytes.empty())
    return 0;  // unbound: nowhere to go
  if (Mode == fmBuffered)
    return platform::WriteBytes(Handle, Bytes.data(), Bytes.size());
  // A console shows each record as it is made, however many come at once:
  // one write per record.
  for (std::size_t At = 0; At < Bytes.size();) {
    const std::size_t End = LineEndFrom(Bytes, At);
    if (int Error = platform::WriteBytes(Handle, Bytes.data() + At, End - At); Error != 0)
      return Error;
    At = End;
  }
  return 0;
}

int TTextOutput::Flush() {
  if (Held.Size() == 0)
    return 0;
  const std::string_view Out = Held.Converted();
  const int Error = Deliver(Out);
  // What could not be written is dropped either way: the failure is
  // reported. A record far longer than the buffer grew it: give the memory
  // back.
  Held.Clear(4 * TextBufferSize);
  if (Handle != platform::InvalidHandle)
    Held.Reserve(TextBufferSize);
  return Error;
}

int TTextOutput::Close() {
  int Error = Flush();
  if (OwnsHandle && Handle != platform::InvalidHandle) {
    int CloseError = platform::CloseHandle(Handle);
    if (Error == 0)
      Error = CloseError;
  }
  Handle = platform::InvalidHandle;
  OwnsHandle = false;
  UpdateKept();
  return Error;
}

}  // namespace vellary::core
