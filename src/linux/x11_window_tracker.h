#pragma once

#include <xcb/xcb.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <unordered_set>

#include "linux/x11_window_list.h"

namespace quillon {

class X11Connection;

// The window list kept up to date by the server's own reports, for a connection that one
// worker thread uses (X11WorkerConnection), so that a gesture that reads the windows on
// every step pays one round trip for an unchanged desktop instead of a whole tree walk.
//
// A reading asks the server, before it reads anything of a window, to report what could
// change it: windows appearing, vanishing, moving or restacking at the root, monitors
// changing, the properties it reads, a window manager's frames gaining or losing their
// client. A later read makes one round trip, which every report the server made before
// answering precedes; when none of them may change the reading, it is still exact and
// is kept, else the list is read afresh. (A window's override-redirect flag can change
// without a report, but it only matters when the window is mapped again, which reports.)
//
// The reports cost the connection nothing only while someone reads: `stop` withdraws
// every request for them and forgets the reading, so that a connection left idle does
// not collect events nobody drains.
class X11WindowTracker {
 public:
  // The current reading; none when the server did not answer by the deadline. A read
  // that follows one `justChecked` (the caller's judgement: the connection did nothing
  // else since, and a moment ago) keeps the reading unless a report already came in,
  // without waiting for the server.
  std::optional<X11WindowSnapshot> read(X11Connection& connection, X11Deadline deadline, bool justChecked = false);
  void stop(X11Connection& connection);

  // How many readings walked the whole tree, against those that found their last one
  // still exact. Any thread may ask.
  std::uint64_t wholeReadings() const { return wholeReadings_.load(); }

 private:
  void start(X11Connection& connection);
  // Takes every event queued on the connection and tells whether any may change the list.
  bool takeChanges(X11Connection& connection);

  bool watching_ = false;
  std::optional<X11WindowSnapshot> reading_;
  std::unordered_set<xcb_window_t> watched_;
  std::atomic<std::uint64_t> wholeReadings_{0};
};

}  // namespace quillon
