// Text outputs: standard output, standard error, an output file, or (for
// tests) a string, each with a buffer of records; and such a buffer alone,
// for the records of one block. Records end with CR LF; text is converted to
// the output's code page on the way out when it differs from the text's, a
// whole buffer at a time.
#pragma once

#include "core/page_bytes.h"
#include "platform/platform.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace vellary::core {

// Bytes collected before a buffered output is written. Larger than the
// classic 64 KiB: on large files it saves about a third of the system time,
// and nothing else depends on it.
inline constexpr std::size_t TextBufferSize = 262144;

// Records (text, then CR LF) held in memory in the text's code page and
// handed out in the output's: every output's buffer, and the records of one
// block, made on any thread and written by an output of the same code pages
// with WriteConverted.
class TRecordBuffer {
public:
  void SetCodePages(platform::TCodePage TextCodePage, platform::TCodePage OutputCodePage);
  platform::TCodePage TextCodePage() const { return From; }
  platform::TCodePage OutputCodePage() const { return To; }
  bool Converts() const { return Convert; }

  std::size_t Size() const { return Used; }
  bool Fits(std::size_t Bytes) const { return Capacity - Used >= Bytes; }
  // Room for Bytes in all without growing later, keeping what is held.
  void Reserve(std::size_t Bytes);

  void PutRecord(std::string_view Text) {
    char* Free = Room(Text.size() + 2);
    if (!Text.empty())
      std::memcpy(Free, Text.data(), Text.size());
    Free[Text.size()] = '\r';
    Free[Text.size() + 1] = '\n';
    Used += Text.size() + 2;
  }
  // Each line of Lines as one record: lines end at LF (the last one may end
  // with Lines), and Lines holds no CR. The same bytes as PutRecord line by
  // line, copied in one pass. Records and Empty receive how many records
  // were put and how many of them are empty.
  void PutLfLines(std::string_view Lines, std::size_t& Records, std::size_t& Empty);
  // Bytes as they are (text without a line end, or records already made).
  void PutBytes(std::string_view Bytes);

  // Everything held, in the output's code page; valid until the next change.
  std::string_view Converted() { return Converted({Buffer.get(), Used}); }
  // Text in the output's code page, through the same scratch memory.
  std::string_view Converted(std::string_view Text);
  // Forgets what is held; memory grown beyond Modest bytes (a block of long
  // lines) is given back.
  void Clear(std::size_t Modest);

private:
  char* Room(std::size_t Bytes) { return Fits(Bytes) ? Buffer.get() + Used : Grow(Bytes); }
  char* Grow(std::size_t Bytes);

  bool Convert = false;
  bool AsciiPasses = false;  // both code pages keep ASCII as it is
  platform::TCodePage From = platform::CpUtf8;
  platform::TCodePage To = platform::CpUtf8;
  TPageBytes Buffer;
  std::size_t Used = 0, Capacity = 0;
  std::string Scratch, Piece;  // conversion output, reused
};

// Bytes written to a handle or (for tests) a string, from the records held
// in the output's buffer or already made elsewhere.
class TTextOutput {
public:
  enum TFlushMode {
    fmWriteThrough,  // every record is written at once (a console)
    fmBuffered,      // written when the buffer fills and on Flush/Close
  };

  TTextOutput() = default;
  TTextOutput(const TTextOutput&) = delete;
  TTextOutput& operator=(const TTextOutput&) = delete;
  // Closes quietly when Close() was never called on an owned handle.
  ~TTextOutput();

  // Binds to a handle. Owned handles are closed by Close().
  void Bind(platform::TNativeHandle Handle, bool OwnsHandle, TFlushMode Mode,
            platform::TCodePage TextCodePage, platform::TCodePage OutputCodePage);
  // Binds to a string (tests): every record is appended to Capture at once,
  // converted as a handle's would be.
  void BindToString(std::string* Capture, platform::TCodePage TextCodePage = platform::CpUtf8,
                    platform::TCodePage OutputCodePage = platform::CpUtf8);

  // Another output to flush before anything is written here (standard
  // output before standard error keeps their relative order).
  void SetFlushFirst(TTextOutput* Other);

  // Text, then CR LF. Returns 0 or the error code of the failed write.
  [[nodiscard]] int WriteRecord(std::string_view Text) {
    // The path of nearly every record of a large run: straight into the buffer.
    if (Kept && Held.Fits(Text.size() + 2)) {
      Held.PutRecord(Text);
      return 0;
    }
    return WriteRecordSlowly(Text);
  }
  // TRecordBuffer::PutLfLines, then written as the buffer asks.
  [[nodiscard]] int WriteLfLines(std::string_view Lines, std::size_t& Records, std::size_t& Empty);
  // Text without a line end (the pause prompt and its dots).
  [[nodiscard]] int WriteText(std::string_view Text);
  // Bytes already in this output's code page (a record buffer's Converted()).
  [[nodiscard]] int WriteConverted(std::string_view Bytes);
  [[nodiscard]] int Flush();
  // Flushes, then closes an owned handle. Safe to call twice.
  [[nodiscard]] int Close();

  bool IsBound() const { return Handle != platform::InvalidHandle || Capture != nullptr; }
  TFlushMode FlushMode() const { return Mode; }
  platform::TCodePage TextCodePage() const { return Held.TextCodePage(); }
  platform::TCodePage OutputCodePage() const { return Held.OutputCodePage(); }

private:
  void BindTo(TFlushMode NewMode, platform::TCodePage TextCodePage, platform::TCodePage OutputCodePage);
  void UpdateKept();
  [[nodiscard]] int WriteRecordSlowly(std::string_view Text);
  [[nodiscard]] int FlushFirstOutput();
  [[nodiscard]] int AfterWrite();
  [[nodiscard]] int Deliver(std::string_view Bytes);

  platform::TNativeHandle Handle = platform::InvalidHandle;
  bool OwnsHandle = false;
  TFlushMode Mode = fmWriteThrough;
  std::string* Capture = nullptr;
  TTextOutput* FlushFirst = nullptr;
  // Text not yet delivered, in the text's code page: TextBufferSize bytes
  // for a handle, growing for a record that does not fit a string's.
  TRecordBuffer Held;
  bool Kept = false;  // records may stay in Held: buffered, nothing to flush first
};

}  // namespace vellary::core
