// Where the line pipeline puts its output records.
#pragma once

#include <string_view>

namespace vellary::engine {

class TLineSink {
public:
  virtual ~TLineSink() = default;
  // One output record without its line end (the sink adds CR LF). False asks
  // the pipeline to stop; the sink keeps the reason (e.g. the write error).
  virtual bool PutLine(std::string_view Bytes) = 0;
};

}  // namespace vellary::engine
