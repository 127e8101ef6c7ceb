#pragma once

#include <functional>
#include <memory>

#include "core/capture/launch_preview_archive.h"
#include "core/support/result.h"

namespace quillon {

class MainLoop;

// Runs the preview archive's disk work (PNG encoding, writes with fsync, pruning,
// deletions, the restore's reads) off the main thread, one operation at a time and in
// the order asked for, so a deletion asked for after a save always wins and a restore
// asked for after a clear finds the folder cleared. Each outcome comes back on the main
// loop, in the same order.
//
// Destroying the queue (the program quitting) waits for the operations already asked
// for, up to `drainLimit` seconds of real time, so a preview taken just before quitting
// is on disk; what a stalled disk still holds after that finishes on its own, and its
// outcome is dropped.
class LaunchPreviewDiskQueue {
 public:
  using Operation = std::function<void(const LaunchPreviewArchive&)>;
  // Told on the main loop: the operation's result, its failure included.
  using Outcome = std::function<void(const Result<void>&)>;

  static constexpr double drainLimit = 3.0;

  LaunchPreviewDiskQueue(MainLoop& loop, const LaunchPreviewArchive& archive);
  LaunchPreviewDiskQueue(const LaunchPreviewDiskQueue&) = delete;
  LaunchPreviewDiskQueue& operator=(const LaunchPreviewDiskQueue&) = delete;
  ~LaunchPreviewDiskQueue();

  void enqueue(Operation operation, Outcome outcome);
  // Whether every operation asked for has run (outcomes may still be on their way).
  bool isDrained() const;

 private:
  struct Shared;
  void deliverOutcomes();

  MainLoop& loop_;
  std::shared_ptr<Shared> shared_;
  // Completions hold this weakly: a queue that is gone is never called back.
  std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
};

}  // namespace quillon
