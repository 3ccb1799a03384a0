// The input feed: every byte of the input through the line pipeline into the
// output. The input is cut into blocks; whichever thread takes one processes
// its whole lines with a worker of its own into memory, in the output's
// code page, and the calling thread writes the blocks in input order: byte
// for byte what one pipeline writes line by line.
#pragma once

#include "app/streams.h"
#include "core/text_output.h"
#include "engine/line_pipeline.h"

#include <cstddef>
#include <cstdint>

namespace vellary::app {

// Threads at most, the writer included: beyond this the one writer and the
// disk set the pace, and every thread adds blocks in flight.
inline constexpr unsigned MaxFeedThreads = 8;

struct TFeedTuning {
  std::size_t BlockSize = 512 * 1024;
  // Helpers start once this much input is sure to come: at once for a file
  // this large, or once an input read in order has brought this much in full
  // blocks. Less is done before threads would pay.
  std::uint64_t MinParallelBytes = 8u << 20;
  // Threads, the writer included; 0: one per usable processor, at most
  // MaxFeedThreads.
  unsigned Threads = 0;
};

// Reads Input to its end and writes the records of all its lines to Output,
// every thread working on the one Prepared run; Displayed receives how many
// lines were displayed (for FinishOutput's tally). Before it waits for
// input, everything processed is written and Output flushed. Returns 0, the
// error code of the first failed read (every line before it written) or
// write, or platform::feInterrupted when a termination signal arrived.
// Helpers that run out of memory leave their work to the writer;
// std::bad_alloc comes out only when the writer alone cannot go on.
[[nodiscard]] int FeedInput(TBlockSource& Input, core::TTextOutput& Output, const engine::TPreparedRun& Prepared,
                            std::int64_t& Displayed, const TFeedTuning& Tuning = {});

}  // namespace vellary::app
