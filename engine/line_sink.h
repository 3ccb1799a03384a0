// Where the line pipeline puts its output records.
#pragma once

#include "core/byte_scan.h"

#include <string_view>

namespace vellary::engine {

class TLineSink {
public:
  virtual ~TLineSink() = default;
  // One output record without its line end (the sink adds CR LF). False asks
  // the pipeline to stop; the sink keeps the reason (e.g. the write error).
  virtual bool PutLine(std::string_view Bytes) = 0;

  // Several records at once: Lines holds whole lines, each ended by LF
  // (the last one possibly by the end of Lines), none holding a CR; each
  // line is one record. Empty receives how many of them are empty. A sink
  // that can copy them in one pass overrides this; the default puts them one
  // by one.
  virtual bool PutLines(std::string_view Lines, std::size_t& Records, std::size_t& Empty);
};

inline bool TLineSink::PutLines(std::string_view Lines, std::size_t& Records, std::size_t& Empty) {
  Records = Empty = 0;
  while (!Lines.empty()) {
    const auto End = static_cast<std::size_t>(
        core::FindByte(Lines.data(), Lines.data() + Lines.size(), '\n') - Lines.data());
    ++Records;
    Empty += End == 0 ? 1 : 0;
    if (!PutLine(Lines.substr(0, End)))
      return false;
    Lines.remove_prefix(End == Lines.size() ? End : End + 1);
  }
  return true;
}

}  // namespace vellary::engine
