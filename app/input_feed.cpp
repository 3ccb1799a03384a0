// The input feed: a ring of block slots bounds the memory in flight; helper
// threads process blocks, the calling thread reads, joins and writes.
#include "app/input_feed.h"

#include "app/output_sink.h"
#include "core/page_bytes.h"
#include "platform/platform.h"

#include <algorithm>
#include <cassert>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace vellary::app {
namespace {

// Block K: the lines that begin in the input's bytes from offset K * B to
// (K + 1) * B, read by the thread that processes it (by offset), or the
// lines that begin in the next bytes of an input read in order, read by the
// writer. Either way the block holds its lines whole, with the byte before
// them as its lead (to tell where the first one begins), and makes their
// records itself: the writer only writes them.
struct alignas(64) TSlot {
  core::TPageBytes In;
  std::size_t Capacity = 0;
  std::uint64_t Index = 0;
  std::size_t Size = 0;        // bytes held: the lead, then the input's
  std::size_t Begin = 0, End = 0;  // the block's lines: In[Begin, End)
  std::size_t Scanned = 0;     // of an input read in order: no line end before this
  int ReadError = 0;
  bool Last = false;           // the input ends, or failed, with this block
  core::TRecordBuffer Out;     // the records of its lines
  std::string_view Records;    // Out's bytes, converted where the block was processed
  std::int64_t Displayed = 0;  // of its lines
  bool Done = false;           // Out is complete; guarded by the ring's lock
  bool Failed = false;         // a helper ran out of memory on it; guarded too

  std::string_view Text() const { return {In.get(), Size}; }
  // Room for Bytes bytes, keeping the first Keep.
  void Reserve(std::size_t Bytes, std::size_t Keep = 0) {
    if (Capacity >= Bytes)
      return;
    core::TPageBytes Larger = core::NewPageBytes(Bytes);
    if (Keep != 0)
      std::memcpy(Larger.get(), In.get(), Keep);
    In = std::move(Larger);
    Capacity = Bytes;
  }
  void Release() {
    In.reset();
    Capacity = 0;
  }
  // Behind the last line end from Begin on (Begin when there is none).
  std::size_t WholeLinesEnd() const {
    return static_cast<std::size_t>(core::FindAfterLastEitherByte(In.get() + Begin, In.get() + Size, '\n', '\r') -
                                    In.get());
  }
};

// Where the line that runs on past a block's bytes ends, found by reading on
// in pieces from the block's last byte (a CR there may be half a CR LF), so
// that the block then grows by just the line's length. After a failed read
// End is 0 unless a line end came before the failure (then the failure
// counts only where the line ends).
int FindLineEnd(const TBlockSource& Source, std::uint64_t From, std::uint64_t& End, bool& AtEnd) {
  char Piece[65536];
  End = 0;
  for (;;) {
    std::size_t Got = 0;
    const int Error = Source.ReadAt(From, Piece, sizeof Piece, Got);
    AtEnd = Got < sizeof Piece || Error != 0;
    if (const std::size_t Start = engine::NextLineStart({Piece, Got}, 0, AtEnd); Start != engine::NoLineStart) {
      End = From + Start;
      AtEnd = AtEnd && Start == Got;
      return AtEnd ? Error : 0;  // a failure past the line is the next block's to meet
    }
    if (AtEnd) {
      End = Error == 0 ? From + Got : 0;
      return Error;
    }
    From += Got - 1;
  }
}

// Bytes read before a block's own (its lead, of which the last tells
// whether a line begins at its first byte) and after them (where its last
// line most often ends): a page, so that reads stay aligned as the blocks
// are, and one read is nearly always all a block takes.
constexpr std::size_t EdgeBytes = 4096;

// Block K read by offset: from its lead before K * B to its last line's
// end, read on for when that lies beyond the page after (K + 1) * B. A
// failed read ends the input for the lines: those whose end came before it
// are whole.
void ReadBlock(const TBlockSource& Source, std::size_t BlockSize, TSlot& Slot) {
  const std::size_t Edge = std::min(BlockSize, EdgeBytes), Lead = Slot.Index == 0 ? 0 : Edge;
  const std::size_t Own = Lead + BlockSize;  // the block's lines begin before Own
  const std::uint64_t From = Slot.Index * BlockSize - Lead;
  Slot.Reserve(BlockSize + 2 * EdgeBytes);
  Slot.ReadError = Source.ReadAt(From, Slot.In.get(), Own + Edge, Slot.Size);
  bool AtEnd = Slot.Size < Own + Edge;
  Slot.Begin = std::min(Lead == 0 ? 0 : engine::NextLineStart(Slot.Text(), Lead - 1, AtEnd), Slot.Size);
  Slot.End = Slot.Begin >= Own ? Slot.Begin : engine::NextLineStart(Slot.Text(), std::min(Own - 1, Slot.Size), AtEnd);
  if (Slot.End == engine::NoLineStart && !AtEnd) {  // its last line runs on
    std::uint64_t LineEnd = 0;
    Slot.ReadError = FindLineEnd(Source, From + Slot.Size - 1, LineEnd, AtEnd);
    if (LineEnd != 0) {
      const std::size_t Held = Slot.Size, Rest = static_cast<std::size_t>(LineEnd - From) - Held;
      Slot.Reserve(Held + Rest, Held);
      std::size_t Got = 0;
      if (const int Error = Source.ReadAt(From + Held, Slot.In.get() + Held, Rest, Got); Error != 0)
        Slot.ReadError = Error;
      Slot.Size = Held + Got;
      AtEnd = AtEnd || Got < Rest;
      Slot.End = Got == Rest ? Slot.Size : engine::NoLineStart;
    }
  }
  if (Slot.End == engine::NoLineStart)
    Slot.End = Slot.ReadError != 0 ? Slot.WholeLinesEnd() : Slot.Size;
  else if (Slot.End < Slot.Size)
    Slot.ReadError = 0;  // the failure lies past the block's lines: the next block meets it
  Slot.Last = Slot.ReadError != 0 || (AtEnd && Slot.End >= Slot.Size);
}

// Processes a block's lines into memory (which never stops the pipeline),
// reading it first when the input allows reading by offset.
void ProcessSlot(const TBlockSource& Source, std::size_t BlockSize, engine::TLinePipeline& Pipeline,
                 TSlot& Slot) {
  if (Source.ReadsAtOffsets())
    ReadBlock(Source, BlockSize, Slot);
  TRecordSink Out(Slot.Out);
  (void)Pipeline.TakeDisplayed();  // what a block cut short by memory counted
  (void)Pipeline.ProcessBlock(Slot.Text().substr(Slot.Begin, Slot.End - Slot.Begin), Out);
  Slot.Displayed = Pipeline.TakeDisplayed();
  Slot.Records = Slot.Out.Converted();
}

// The blocks in flight, one slot each in turn, the helper threads that take
// them, and the calling thread's part: it reads an input that comes in
// order, hands the blocks over and writes their records in input order.
// Counters and flags are guarded by Lock; the slots change only while no
// block is in flight and no helper runs. Helpers are joined on every way
// out; blocks they have not taken stay for the writer.
class TFeed {
public:
  TFeed(TBlockSource& In, core::TTextOutput& Out, const engine::TPreparedRun& Options, const TFeedTuning& Tune)
      : Source(In), Output(Out), Prepared(Options), Pipeline(Options), Tuning(Tune), Modest(4 * Tune.BlockSize),
        Threads(Tune.Threads != 0 ? Tune.Threads : std::min(platform::UsableProcessors(), MaxFeedThreads)) {
    Resize(1);
  }
  ~TFeed() { StopHelpers(); }
  TFeed(const TFeed&) = delete;
  TFeed& operator=(const TFeed&) = delete;
  int Run();
  std::int64_t Displayed() const { return Shown; }

private:
  TSlot& SlotOf(std::uint64_t Block) { return *Slots[(Block - Base) % Slots.size()]; }
  // Wanted slots, or as many as memory gives before std::bad_alloc; the
  // block to write next (an input read in order may have begun it) keeps
  // its slot.
  void Resize(std::size_t Wanted);
  void Help();
  void StopHelpers();
  void Rearrange();
  unsigned AffordableThreads();
  template <typename TWork> void WithMemory(TWork Work);
  void GoAlone();
  [[nodiscard]] int HandOver();
  bool ReadInOrder(TSlot& Slot);
  TSlot& WaitForNext();
  void ProcessHere(TSlot& Slot);
  [[nodiscard]] int WriteSlot(TSlot& Slot);

  TBlockSource& Source;
  core::TTextOutput& Output;
  const engine::TPreparedRun& Prepared;
  engine::TLinePipeline Pipeline;   // the writer's, for blocks no helper took
  const TFeedTuning& Tuning;
  const std::size_t Modest;         // memory kept between blocks
  const unsigned Threads;           // wanted, the writer included
  std::mutex Lock;
  std::condition_variable WorkReady;  // helpers wait here
  std::condition_variable BlockDone;  // the writer waits here
  std::uint64_t Handed = 0;         // blocks handed over; changed by the writer alone
  std::uint64_t Taken = 0;          // blocks a thread has taken
  std::uint64_t Written = 0;
  std::vector<std::unique_ptr<TSlot>> Slots;  // block Base in the first
  std::uint64_t Base = 0;
  std::vector<std::thread> Helpers;
  bool Closed = false;              // the helpers are to stop
  std::string Carry;                // read in order: the lead and the line begun, for the next block
  bool InputDone = false;           // an input read in order has ended
  bool WantHelpers = false;         // enough input is known to come
  bool Alone = false;               // no helpers could be had, or memory ran out
  std::uint64_t Arrived = 0;        // bytes read in order
  std::int64_t Shown = 0;           // lines displayed, of the blocks written
};

void TFeed::Resize(std::size_t Wanted) {
  if (!Slots.empty())
    std::swap(Slots[0], Slots[(Written - Base) % Slots.size()]);
  Base = Written;
  Slots.resize(std::min(Slots.size(), Wanted));
  while (Slots.size() < Wanted) {
    Slots.push_back(std::make_unique<TSlot>());
    Slots.back()->Out.SetCodePages(Output.TextCodePage(), Output.OutputCodePage());
  }
}

// A helper that runs out of memory leaves its block, and the rest, to the
// other threads: the writer processes whatever no helper finishes.
void TFeed::Help() {
  TSlot* Held = nullptr;
  try {
    engine::TLinePipeline Mine(Prepared);
    std::unique_lock Guard(Lock);
    for (;;) {
      WorkReady.wait(Guard, [&] { return Taken < Handed || Closed; });
      if (Closed)
        return;
      Held = &SlotOf(Taken++);
      Guard.unlock();
      ProcessSlot(Source, Tuning.BlockSize, Mine, *Held);
      Guard.lock();
      std::exchange(Held, nullptr)->Done = true;
      BlockDone.notify_one();
    }
  } catch (const std::bad_alloc&) {
    if (Held != nullptr) {
      std::lock_guard Guard(Lock);
      Held->Done = Held->Failed = true;
      BlockDone.notify_one();
    }
  }
}

void TFeed::StopHelpers() {
  {
    std::lock_guard Guard(Lock);
    Closed = true;
  }
  WorkReady.notify_all();
  for (std::thread& Helper : Helpers)
    Helper.join();
  Helpers.clear();
}

int TFeed::Run() {
  WantHelpers = Source.ReadsAtOffsets() && Source.Size() >= Tuning.MinParallelBytes;
  for (;;) {
    if (int Error = HandOver(); Error != 0)
      return Error;
    TSlot& Slot = WaitForNext();
    if (int Error = WriteSlot(Slot); Error != 0)
      return Error;
    ++Written;
    if (Slot.ReadError != 0)  // reported behind every whole line before it
      return Slot.ReadError;
    if (Slot.Last)
      return 0;
    // A file is never interrupted in a read: stop between blocks.
    if (platform::PendingTerminationSignal() != 0)
      return platform::feInterrupted;
  }
}

// With no block in flight: two slots per thread and the helpers once they
// are wanted, one slot once they are gone. Helpers start with the signals
// held, so that these reach the writer and cut its read or write short.
void TFeed::Rearrange() {
  if (!Alone && WantHelpers && Helpers.empty() && Threads > 1) {
    const unsigned Wanted = std::min(Threads, AffordableThreads());
    platform::HoldTerminationSignals();
    try {
      Resize(2 * std::size_t{Wanted});
      Closed = false;
      while (Helpers.size() + 1 < Wanted)
        Helpers.emplace_back(&TFeed::Help, this);
    } catch (const std::exception&) {  // no memory or no thread: make do with what came
    }
    platform::ReleaseTerminationSignals();
    Alone = Helpers.empty();
  }
  if (Alone)
    Resize(1);
}

// A helper's heap and stack reserve far more address space than they use,
// and keep it once the helper has gone: where the address space is
// limited, helpers start only with room to spare beside what the writer
// may need alone, so that no run on every core fails where one core would
// have succeeded.
unsigned TFeed::AffordableThreads() {
  constexpr std::uint64_t WriterRoom = 64ull << 20, HelperRoom = 96ull << 20;
  const std::uint64_t Left = platform::AddressSpaceLeft();
  if (Left == UINT64_MAX)
    return Threads;
  const std::uint64_t Affordable = Left > WriterRoom ? (Left - WriterRoom) / HelperRoom : 0;
  return static_cast<unsigned>(1 + std::min<std::uint64_t>(Affordable, Threads));
}

// The one answer to memory running out in the writer: while helpers run,
// they go, with their workers, the records of the blocks after the one
// being written are given back (and the bytes of those read by offset), and
// the work is done again alone; alone, std::bad_alloc ends the run.
template <typename TWork> void TFeed::WithMemory(TWork Work) {
  try {
    Work();
  } catch (const std::bad_alloc&) {
    if (Helpers.empty())
      throw;
    GoAlone();
    Work();
  }
}

void TFeed::GoAlone() {
  StopHelpers();
  Alone = true;
  for (std::uint64_t Block = Written + 1; Block < Taken; ++Block) {
    TSlot& Later = SlotOf(Block);
    Later.Out.Clear(0);
    if (Source.ReadsAtOffsets())
      Later.Release();
    Later.Failed = Later.Done;
  }
}

// Hands every free slot over: by offset at once; in order what has arrived
// up to a line end, and with nothing in flight, once all has gone out,
// whatever comes next.
int TFeed::HandOver() {
  if (Handed == Written)
    Rearrange();
  while (Handed - Written < Slots.size() && !InputDone) {
    TSlot& Slot = SlotOf(Handed);
    if (!Source.ReadsAtOffsets()) {
      if (Source.NextReadWaits()) {
        if (Handed != Written)
          break;
        if (int Error = Output.Flush(); Error != 0)
          return Error;
      }
      if (!ReadInOrder(Slot))
        continue;
    }
    {
      std::lock_guard Guard(Lock);
      Slot.Index = Handed++;
    }
    WorkReady.notify_one();
  }
  return 0;
}

// Reads the next bytes into the block begun with what the last one carried,
// until it is full or a read would wait; whether it now holds a line end
// and goes (a CR at its end ends a line: the next block skips the LF of a
// CR LF), carrying the line begun on. Input that keeps coming is worth the
// helpers once enough of it has.
bool TFeed::ReadInOrder(TSlot& Slot) {
  if (Slot.Size == 0) {
    WithMemory([&] { Slot.Reserve(std::max(Tuning.BlockSize + 2, 2 * Carry.size())); });
    std::memcpy(Slot.In.get(), Carry.data(), Carry.size());
    Slot.Size = Slot.Scanned = Carry.size();
  }
  for (;;) {
    if (Slot.Size == Slot.Capacity)  // a line longer than the block
      WithMemory([&] { Slot.Reserve(2 * Slot.Capacity, Slot.Size); });
    std::size_t Got = 0;
    Slot.ReadError = Source.ReadNext(Slot.In.get() + Slot.Size, Slot.Capacity - Slot.Size, Got);
    Slot.Size += Got;
    InputDone = Slot.ReadError != 0 || Got == 0;
    WantHelpers = WantHelpers || (Arrived += Got) >= Tuning.MinParallelBytes;
    if (InputDone || Slot.Size == Slot.Capacity || Source.NextReadWaits())
      break;
  }
  Slot.Begin = Carry.empty() ? 0 : engine::NextLineStart(Slot.Text(), 0, InputDone);
  Slot.Last = InputDone;
  if (InputDone) {  // a failed read ends the input for the lines too
    Slot.Begin = std::min(Slot.Begin, Slot.Size);
    Slot.End = Slot.ReadError != 0 ? Slot.WholeLinesEnd() : Slot.Size;
  } else {
    if (Slot.Begin == engine::NoLineStart)
      return false;
    const std::size_t Unscanned = std::max(Slot.Begin, Slot.Scanned);
    Slot.Scanned = Slot.Size;
    Slot.End = static_cast<std::size_t>(
        core::FindAfterLastEitherByte(Slot.In.get() + Unscanned, Slot.In.get() + Slot.Size, '\n', '\r') -
        Slot.In.get());
    if (Slot.End == Unscanned)
      return false;
  }
  WithMemory([&] { Carry.assign(Slot.Text().substr(Slot.End - (Slot.End != 0 ? 1 : 0))); });
  if (Carry.capacity() > Modest)
    Carry.shrink_to_fit();
  return true;
}

// Waits until the next block in input order is done, processing blocks no
// helper has taken meanwhile rather than idling.
TSlot& TFeed::WaitForNext() {
  TSlot& Slot = SlotOf(Written);
  std::unique_lock Guard(Lock);
  while (!Slot.Done) {
    if (Taken == Handed) {
      BlockDone.wait(Guard);
      continue;
    }
    TSlot& Untaken = SlotOf(Taken++);
    Guard.unlock();
    ProcessHere(Untaken);
    Guard.lock();
    Untaken.Done = true;
  }
  Slot.Done = false;
  const bool Redo = std::exchange(Slot.Failed, false);
  Guard.unlock();
  if (Redo)
    ProcessHere(Slot);
  return Slot;
}

void TFeed::ProcessHere(TSlot& Slot) {
  WithMemory([&] {
    Slot.Out.Clear(Modest);  // what a try that ran out of memory left
    ProcessSlot(Source, Tuning.BlockSize, Pipeline, Slot);
  });
}

int TFeed::WriteSlot(TSlot& Slot) {
  const int Error = Output.WriteConverted(Slot.Records);
  Shown += Slot.Displayed;
  Slot.Out.Clear(Modest);
  Slot.Size = 0;
  if (Slot.Capacity > Modest)  // a block of long lines
    Slot.Release();
  return Error;
}

}  // namespace

int FeedInput(TBlockSource& Input, core::TTextOutput& Output, const engine::TPreparedRun& Prepared,
              std::int64_t& Displayed, const TFeedTuning& Tuning) {
  assert(Tuning.BlockSize > 0 && "a block holds at least one byte");
  TFeed Feeder(Input, Output, Prepared, Tuning);
  const int Error = Feeder.Run();
  Displayed = Feeder.Displayed();
  return Error;
}

}  // namespace vellary::app
