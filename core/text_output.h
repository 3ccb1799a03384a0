// A text output: standard output, standard error, an output file, a block
// of records held in memory, or (for tests) a string. Records end with CR LF;
// text is converted to the output's code page on the way out when it differs
// from the text's, a whole buffer at a time.
#pragma once

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
  // Keeps everything written in memory until Bytes(): the records of one
  // block, made on any thread in the form another output of the same code
  // pages writes with WriteConverted.
  void BindToMemory(platform::TCodePage TextCodePage, platform::TCodePage OutputCodePage);

  // Another output to flush before anything is written here (standard
  // output before standard error keeps their relative order).
  void SetFlushFirst(TTextOutput* Other);

  // Text, then CR LF. Returns 0 or the error code of the failed write.
  [[nodiscard]] int WriteRecord(std::string_view Text) {
    // The path of nearly every record of a large run: straight into memory.
    if (Kept && Capacity - Used >= Text.size() + 2) {
      char* Free = Buffer.get() + Used;
      if (!Text.empty())
        std::memcpy(Free, Text.data(), Text.size());
      Free[Text.size()] = '\r';
      Free[Text.size() + 1] = '\n';
      Used += Text.size() + 2;
      return 0;
    }
    return WriteRecordSlowly(Text);
  }
  // Each line of Lines as one record: lines end at LF (the last one may end
  // with Lines), and Lines holds no CR. The same bytes as WriteRecord line by
  // line, copied in one pass. Records and Empty receive how many records
  // were written and how many of them are empty.
  [[nodiscard]] int WriteLfLines(std::string_view Lines, std::size_t& Records, std::size_t& Empty);
  // Text without a line end (the pause prompt and its dots).
  [[nodiscard]] int WriteText(std::string_view Text);
  // Bytes already in this output's code page (another output's Bytes()).
  [[nodiscard]] int WriteConverted(std::string_view Bytes);
  [[nodiscard]] int Flush();
  // Flushes, then closes an owned handle. Safe to call twice.
  [[nodiscard]] int Close();

  // Of an output bound to memory: everything written since the last Clear,
  // converted; valid until the next write or Clear.
  std::string_view Bytes();
  // Of an output bound to memory: forgets what was written; memory grown far
  // beyond Modest bytes (a block of long lines) is given back.
  void Clear(std::size_t Modest);

  bool IsBound() const { return Handle != platform::InvalidHandle || Capture != nullptr || InMemory; }
  TFlushMode FlushMode() const { return Mode; }
  platform::TCodePage TextCodePage() const { return From; }
  platform::TCodePage OutputCodePage() const { return To; }

private:
  void BindTo(TFlushMode NewMode, platform::TCodePage TextCodePage, platform::TCodePage OutputCodePage);
  void UpdateKept();
  [[nodiscard]] int WriteRecordSlowly(std::string_view Text);
  [[nodiscard]] int FlushFirstOutput();
  [[nodiscard]] int AfterWrite();
  [[nodiscard]] int Deliver(std::string_view Bytes);
  char* Room(std::size_t N);
  std::string_view Converted(std::string_view Text);

  platform::TNativeHandle Handle = platform::InvalidHandle;
  bool OwnsHandle = false;
  bool InMemory = false;
  TFlushMode Mode = fmWriteThrough;
  bool Convert = false;
  bool AsciiPasses = false;  // both code pages keep ASCII as it is
  platform::TCodePage From = platform::CpUtf8;
  platform::TCodePage To = platform::CpUtf8;
  std::string* Capture = nullptr;
  TTextOutput* FlushFirst = nullptr;
  // Text not yet delivered, in the text's code page: TextBufferSize bytes
  // for a handle, growing as needed in memory.
  std::unique_ptr<char[]> Buffer;
  std::size_t Used = 0, Capacity = 0;
  bool Kept = false;  // records may stay in Buffer: buffered or in memory, nothing to flush first
  std::string Scratch, Piece;  // conversion output, reused
};

}  // namespace vellary::core
