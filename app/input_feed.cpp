// The input feed: a ring of block slots bounds the memory in flight, helper
// threads process the blocks they take, and the calling thread reads an
// input that comes in order, processes what no helper took and writes.
#include "app/input_feed.h"

#include "app/output_sink.h"
#include "platform/platform.h"

#include <algorithm>
#include <cassert>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace vellary::app {
namespace {

// Block K is the input's bytes from offset K * BlockSize, read by whichever
// thread processes it, or the next bytes of an input read in order, read by
// the writer before it hands the block over. Its whole lines are processed
// there; the line cut by each block edge is joined by the writer from the
// tail of one block and the head of the next.
struct alignas(64) TSlot {
  std::unique_ptr<char[]> In;  // BlockSize bytes
  std::uint64_t Index = 0;
  std::size_t Size = 0;        // bytes read
  int ReadError = 0;
  bool Last = false;           // the input ends with this block
  engine::TWholeLines Lines;   // [0, Lines.Begin) the head, [Lines.End, Size) the tail
  core::TTextOutput Out;       // the records of the whole lines, in the output's code page
  std::int64_t Displayed = 0;  // of its lines, by a helper's pipeline
  bool Done = false;           // Out is complete; guarded by the ring's lock
  bool Failed = false;         // a helper ran out of memory on it; guarded too

  std::string_view Head() const { return {In.get(), Lines.Begin}; }
  std::string_view Tail() const { return {In.get() + Lines.End, Size - Lines.End}; }
};

// The blocks in flight: block K lives in slot K % Slots.size(). The writer
// hands a free slot over, a thread takes it, processes the block and marks
// it done, the writer writes it and hands the slot over anew. Counters and
// flags are guarded by Lock; the slots change only while no block is in
// flight and no helper runs.
struct TBlockRing {
  TBlockRing(std::size_t BlockBytes, const core::TTextOutput& Out) : BlockSize(BlockBytes), Output(Out) {
    Resize(1);
  }
  TSlot& Slot(std::uint64_t Block) { return *Slots[Block % Slots.size()]; }
  // As many slots as memory allows of Wanted, at least one.
  void Resize(std::size_t Wanted) {
    Slots.resize(std::min(Slots.size(), Wanted));
    while (Slots.size() < Wanted) {
      try {
        auto Slot = std::make_unique<TSlot>();
        Slot->In = std::make_unique_for_overwrite<char[]>(BlockSize);
        Slot->Out.BindToMemory(Output.TextCodePage(), Output.OutputCodePage());
        Slots.push_back(std::move(Slot));
      } catch (const std::bad_alloc&) {
        if (Slots.empty())
          throw;
        break;
      }
    }
  }

  const std::size_t BlockSize;
  const core::TTextOutput& Output;  // whose code pages the blocks are written in
  std::vector<std::unique_ptr<TSlot>> Slots;
  std::mutex Lock;
  std::condition_variable WorkReady;  // helpers wait here
  std::condition_variable BlockDone;  // the writer waits here
  std::uint64_t Handed = 0;  // blocks handed over; changed by the writer alone
  std::uint64_t Taken = 0;   // blocks a thread has taken
  bool Closed = false;       // the helpers are to stop
};

// Reads a block by offset when the input allows it, and processes its whole
// lines.
void ProcessSlot(TBlockSource& Source, std::size_t BlockSize, engine::TLinePipeline& Pipeline,
                 TSlot& Slot) {
  if (Source.ReadsAtOffsets()) {
    Slot.ReadError = Source.ReadAt(Slot.Index * BlockSize, Slot.In.get(), BlockSize, Slot.Size);
    if (Slot.ReadError != 0)
      Slot.Size = 0;
    Slot.Last = Slot.ReadError != 0 || Slot.Size < BlockSize;
  }
  // A line begins at the input's first byte: the first block has no head.
  Slot.Lines = engine::WholeLinesOf({Slot.In.get(), Slot.Size}, Slot.Index == 0);
  const std::int64_t Before = Pipeline.DisplayedLines();
  TOutputSink Out(Slot.Out);
  (void)Pipeline.ProcessBlock({Slot.In.get() + Slot.Lines.Begin, Slot.Lines.End - Slot.Lines.Begin},
                              Out);  // memory never stops it
  Slot.Displayed = Pipeline.DisplayedLines() - Before;
}

// The helper threads. The destructor closes the ring, so that each stops
// after the block it holds, and joins them all, on every way out.
class THelpers {
public:
  THelpers(TBlockRing& Owner, TBlockSource& Source, std::size_t BlockSize,
           const engine::TPipelineSettings& Settings, unsigned Count)
      : Ring(Owner) {
    Threads.reserve(Count);
    for (unsigned I = 0; I < Count; ++I) {
      try {
        Threads.emplace_back(Work, std::ref(Ring), std::ref(Source), BlockSize, std::cref(Settings));
      } catch (const std::system_error&) {
        break;  // the system refused another thread: make do with fewer
      }
    }
  }
  // Blocks not yet taken stay for the writer.
  ~THelpers() {
    {
      std::lock_guard Guard(Ring.Lock);
      Ring.Closed = true;
    }
    Ring.WorkReady.notify_all();
    for (std::thread& Thread : Threads)
      Thread.join();
  }
  THelpers(const THelpers&) = delete;
  THelpers& operator=(const THelpers&) = delete;
  std::size_t Started() const { return Threads.size(); }

private:
  static void Work(TBlockRing& Ring, TBlockSource& Source, std::size_t BlockSize,
                   const engine::TPipelineSettings& Settings);
  TBlockRing& Ring;
  std::vector<std::thread> Threads;
};

// A helper that runs out of memory leaves its block, and the rest, to the
// other threads: the writer processes whatever no helper finishes.
void THelpers::Work(TBlockRing& Ring, TBlockSource& Source, std::size_t BlockSize,
                    const engine::TPipelineSettings& Settings) {
  std::optional<engine::TLinePipeline> Pipeline;
  try {
    Pipeline.emplace(Settings);
  } catch (const std::bad_alloc&) {
    return;
  }
  std::unique_lock Guard(Ring.Lock);
  for (;;) {
    Ring.WorkReady.wait(Guard, [&] { return Ring.Taken < Ring.Handed || Ring.Closed; });
    if (Ring.Closed)
      return;
    TSlot& Slot = Ring.Slot(Ring.Taken++);
    Guard.unlock();
    bool Failed = false;
    try {
      ProcessSlot(Source, BlockSize, *Pipeline, Slot);
    } catch (const std::bad_alloc&) {
      Failed = true;
    }
    Guard.lock();
    Slot.Failed = Failed;
    Slot.Done = true;
    Ring.BlockDone.notify_one();
    if (Failed)
      return;
  }
}

// The calling thread's part: reads an input that comes in order, hands the
// blocks over, joins the lines cut by their edges and writes everything in
// input order.
class TFeeder {
public:
  TFeeder(TBlockSource& In, core::TTextOutput& Out, engine::TLinePipeline& Own, const TFeedTuning& Tune,
          unsigned ThreadCount, TBlockRing& BlockRing)
      : Source(In), Output(Out), Pipeline(Own), Tuning(Tune), Ring(BlockRing), Modest(4 * Tune.BlockSize),
        Threads(ThreadCount) {}
  int Run();

private:
  void Rearrange();
  [[nodiscard]] int HandOver();
  void ReadInOrder(TSlot& Slot);
  TSlot& WaitForNext();
  void ProcessHere(TSlot& Slot);
  [[nodiscard]] int WriteSlot(TSlot& Slot);
  [[nodiscard]] int WriteSeam();
  [[nodiscard]] int BeforeWait();

  TBlockSource& Source;
  core::TTextOutput& Output;
  engine::TLinePipeline& Pipeline;  // the run's: for the seams and blocks no helper took
  const TFeedTuning& Tuning;
  TBlockRing& Ring;
  const std::size_t Modest;         // memory kept between blocks
  const unsigned Threads;           // wanted, the writer included
  std::optional<THelpers> Helpers;  // joined before Ring goes
  std::string Seam;                 // the line cut by the edges of the blocks written so far
  bool SkipLf = false;              // a CR ended the seam written last: a LF next belongs to it
  bool InputDone = false;           // an input read in order has ended
  bool WantHelpers = false;         // enough input is known to come
  bool Alone = false;               // no helpers could be had, or memory ran out
  std::uint64_t Written = 0;
  std::uint64_t FullBytes = 0;      // read in order in full blocks
};

int TFeeder::Run() {
  WantHelpers = Source.ReadsAtOffsets() && Source.Size() >= Tuning.MinParallelBytes;
  for (;;) {
    if (int Error = HandOver(); Error != 0)
      return Error;
    TSlot& Slot = WaitForNext();
    if (int Error = WriteSlot(Slot); Error != 0)
      return Error;
    ++Written;
    // Every line before a failed read is written before it is reported; the
    // line it cut is not whole.
    if (Slot.ReadError != 0)
      return Slot.ReadError;
    if (Slot.Last)
      return WriteSeam();  // the last line, without a line end
    // A file is never interrupted in a read: stop between blocks.
    if (platform::PendingTerminationSignal() != 0)
      return platform::feInterrupted;
  }
}

// With no block in flight: two slots per thread and the helpers once they
// are wanted, one slot again once they are gone. Helpers start with the
// termination signals held, so that the signals go to the writer, where
// they cut a read or write short.
void TFeeder::Rearrange() {
  if (Alone) {
    Ring.Resize(1);
    return;
  }
  if (!WantHelpers || Helpers || Threads < 2)
    return;
  Ring.Resize(2 * static_cast<std::size_t>(Threads));
  const auto Count = static_cast<unsigned>(std::min<std::size_t>(Threads, Ring.Slots.size()) - 1);
  platform::HoldTerminationSignals();
  try {
    Helpers.emplace(Ring, Source, Tuning.BlockSize, Pipeline.Settings(), Count);
  } catch (const std::bad_alloc&) {
  }
  platform::ReleaseTerminationSignals();
  if (!Helpers || Helpers->Started() == 0) {
    Helpers.reset();
    Alone = true;
    Ring.Resize(1);
  }
}

// Hands every free slot over: by offset at once; in order only what has
// arrived, and, with nothing in flight, the next bytes however long they
// take, after everything before them has gone out.
int TFeeder::HandOver() {
  if (Ring.Handed == Written)
    Rearrange();
  const std::size_t InFlight = Ring.Slots.size();
  while (Ring.Handed - Written < InFlight && !InputDone) {
    TSlot& Slot = Ring.Slot(Ring.Handed);
    if (!Source.ReadsAtOffsets()) {
      const bool Idle = Ring.Handed == Written;
      if (Source.NextReadWaits()) {
        if (!Idle)
          break;
        if (int Error = BeforeWait(); Error != 0)
          return Error;
      }
      ReadInOrder(Slot);
    }
    {
      std::lock_guard Guard(Ring.Lock);
      Slot.Index = Ring.Handed++;
    }
    Ring.WorkReady.notify_one();
  }
  return 0;
}

// Fills Slot with the next bytes, up to a whole block or until the next
// read would wait.
void TFeeder::ReadInOrder(TSlot& Slot) {
  Slot.Size = 0;
  Slot.ReadError = 0;
  Slot.Last = false;
  for (;;) {
    std::size_t Got = 0;
    Slot.ReadError = Source.ReadNext(Slot.In.get() + Slot.Size, Tuning.BlockSize - Slot.Size, Got);
    Slot.Size += Got;
    if (Slot.ReadError != 0 || Got == 0) {
      Slot.Last = InputDone = true;
      return;
    }
    if (Slot.Size == Tuning.BlockSize) {
      // A steady stream: worth the helpers once enough of it has come.
      if ((FullBytes += Slot.Size) >= Tuning.MinParallelBytes)
        WantHelpers = true;
      return;
    }
    if (Source.NextReadWaits())
      return;
  }
}

// Waits until the next block in input order is done, processing blocks no
// helper has taken meanwhile rather than idling.
TSlot& TFeeder::WaitForNext() {
  TSlot& Slot = Ring.Slot(Written);
  std::unique_lock Guard(Ring.Lock);
  while (!Slot.Done) {
    if (Ring.Taken == Ring.Handed) {
      Ring.BlockDone.wait(Guard);
      continue;
    }
    TSlot& Untaken = Ring.Slot(Ring.Taken++);
    Guard.unlock();
    ProcessHere(Untaken);
    Guard.lock();
    Untaken.Done = true;
  }
  Slot.Done = false;
  const bool Redo = std::exchange(Slot.Failed, false);
  Guard.unlock();
  if (Redo) {
    Slot.Out.Clear(0);
    ProcessHere(Slot);
  }
  return Slot;
}

// The run's pipeline counts what it displays itself. Should memory run out,
// the helpers go, and with them their stacks and pipelines, and the block is
// processed anew; without helpers the run cannot go on.
void TFeeder::ProcessHere(TSlot& Slot) {
  const std::int64_t Before = Pipeline.DisplayedLines();
  for (;;) {
    try {
      ProcessSlot(Source, Tuning.BlockSize, Pipeline, Slot);
      Slot.Displayed = 0;
      return;
    } catch (const std::bad_alloc&) {
      Pipeline.AddDisplayed(Before - Pipeline.DisplayedLines());
      Slot.Out.Clear(0);
      if (!Helpers)
        throw;
      Helpers.reset();
      Alone = true;
    }
  }
}

int TFeeder::WriteSlot(TSlot& Slot) {
  std::string_view Head = Slot.Head();
  if (SkipLf && Slot.Size != 0) {
    if (!Head.empty() && Head.front() == '\n')
      Head.remove_prefix(1);
    SkipLf = false;
  }
  Seam.append(Head);
  if (Slot.Lines.Found) {
    if (int Error = WriteSeam(); Error != 0)
      return Error;
  }
  const int Error = Output.WriteConverted(Slot.Out.Bytes());
  Pipeline.AddDisplayed(Slot.Displayed);
  Slot.Out.Clear(Modest);
  Seam.append(Slot.Tail());
  return Error;
}

// The seam's whole lines through the run's pipeline straight to the output:
// a line of any length is copied no more than it must be.
int TFeeder::WriteSeam() {
  if (Seam.empty())
    return 0;
  TOutputSink Out(Output);
  const int Error = Pipeline.ProcessBlock(Seam, Out) ? 0 : Out.Error;
  if (Seam.capacity() > Modest)
    std::string().swap(Seam);
  Seam.clear();
  return Error;
}

// Before the program waits for input, whoever reads its output sees every
// line that has come: a line ended by a CR is whole, whatever follows.
int TFeeder::BeforeWait() {
  if (!Seam.empty() && Seam.back() == '\r') {
    if (int Error = WriteSeam(); Error != 0)
      return Error;
    SkipLf = true;
  }
  return Output.Flush();
}

}  // namespace

unsigned FeedThreadCount(const TFeedTuning& Tuning) {
  if (Tuning.Threads != 0)
    return Tuning.Threads;
  return std::min(platform::UsableProcessors(), MaxFeedThreads);
}

int FeedInput(TBlockSource& Input, core::TTextOutput& Output, engine::TLinePipeline& Pipeline,
              const TFeedTuning& Tuning) {
  assert(Tuning.BlockSize > 0 && "a block holds at least one byte");
  TBlockRing Ring(Tuning.BlockSize, Output);
  TFeeder Feeder(Input, Output, Pipeline, Tuning, FeedThreadCount(Tuning), Ring);
  return Feeder.Run();
}

}  // namespace vellary::app
