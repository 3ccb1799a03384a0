// The input feed: every byte of the input through the line pipeline into the
// output, on as many threads as pay. The input is cut into blocks; each is
// processed by whichever thread takes it, with a pipeline of its own, into
// records held in memory in the output's code page, and the calling thread
// writes them in input order: byte for byte what one pipeline writes line
// by line.
#pragma once

#include "app/streams.h"
#include "core/text_output.h"
#include "engine/line_pipeline.h"

#include <cstddef>
#include <cstdint>

namespace vellary::app {

// Threads processing blocks at most, the writing thread included, whatever
// the machine: beyond this the one writer and the disk set the pace, and
// every thread adds blocks in flight.
inline constexpr unsigned MaxFeedThreads = 8;

struct TFeedTuning {
  // Bytes of the input per block; the line cut by a block's edge is joined
  // and processed by the writing thread.
  std::size_t BlockSize = 512 * 1024;
  // Helper threads start once this much input is known to come: at once for
  // a file this large, after this many bytes arrived without a wait from an
  // input read in order. Less is done faster than threads start.
  std::uint64_t MinParallelBytes = 8u << 20;
  // Threads processing blocks, the writing thread included; 0: one per
  // usable processor, at most MaxFeedThreads.
  unsigned Threads = 0;
};

// How many threads Tuning asks for on this machine.
unsigned FeedThreadCount(const TFeedTuning& Tuning);

// Reads Input to its end and writes the records of all its lines to Output
// in input order, as Pipeline's ProcessBlock would, and counts the lines
// displayed in Pipeline, so that its FinishOutput tallies the whole input.
// Helper threads build their pipelines from Pipeline.Settings(). Before it
// waits for input, everything processed so far is written and Output
// flushed. Returns 0; the error code of the first failed read (after every
// line before it has been written) or write; or platform::feInterrupted
// when a termination signal arrived (every block before it written whole).
// Throws std::bad_alloc only when even one thread cannot go on; helpers
// that run out of memory leave their work to the others. No thread
// outlives the call.
[[nodiscard]] int FeedInput(TBlockSource& Input, core::TTextOutput& Output, engine::TLinePipeline& Pipeline,
                            const TFeedTuning& Tuning = {});

}  // namespace vellary::app
