#pragma once

#include <memory>
#include <string>

#include "sample_notch_identity.h"

namespace quillon {

struct SampleNotchOptions {
  // Print "mapped", "expanded" and "collapsed" lines on stdout once the server has
  // processed the change, and "scroll count=N button=B" for every wheel press the
  // surface receives, so tests wait for the event rather than for time.
  bool announce = false;
  // Stay expanded whatever the pointer does (for the demo's screenshot).
  bool pinnedExpanded = false;
  // Horizontal shift from the top centre, so that several sample apps can be shown
  // side by side.
  int offsetX = 0;
  // Keep an opaque black window of the same frame just below the surface, and leave the
  // surface's bottom rows transparent: the layout of apps that keep their notch black
  // behind a surface with transparent parts.
  bool opaqueBacking = false;
  // Draw the notch as two neighbouring windows: the surface and a small piece beside it.
  bool secondPiece = false;
};

// The sample app's one ARGB surface at the top centre of the first monitor: collapsed
// until the pointer enters it, expanded while the pointer stays over it.
class SampleNotchWindow {
 public:
  SampleNotchWindow(SampleNotchIdentity identity, SampleNotchOptions options);
  ~SampleNotchWindow();
  SampleNotchWindow(const SampleNotchWindow&) = delete;
  SampleNotchWindow& operator=(const SampleNotchWindow&) = delete;

  // Connects, creates and maps the surface. False with a reason when the display cannot
  // be used (no connection, no 32-bit visual).
  bool open(std::string& error);

  // Serves X events until a stop signal arrives on `stopFd` (readable) or the server
  // goes away. Returns the process exit status.
  int run(int stopFd);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quillon
