// A sample notch app for the Linux desktop: one ARGB surface at the top centre of the
// screen that expands while the pointer hovers over it. The same executable serves every
// sample bundle; its look, and how it answers a quit, come from the Info.plist of the
// bundle it runs from.
//
//   <bundle>/Contents/MacOS/<exe> [--announce] [--pinned] [--offset-x N] [--opaque-backing] [--second-piece]
//       [--info-plist PATH]
//   <bundle>/Contents/MacOS/<exe> --write-icon PATH      writes the bundle's icon as a PNG (the build does)

#include <sys/signalfd.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sample_notch_identity.h"
#include "sample_notch_painter.h"
#include "sample_notch_window.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: sample-notch [--announce] [--pinned] [--offset-x N] [--opaque-backing] [--second-piece]"
               " [--info-plist PATH]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  quillon::SampleNotchOptions options;
  std::string plistPath;
  std::string iconPath;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--announce") {
      options.announce = true;
    } else if (arg == "--pinned") {
      options.pinnedExpanded = true;
    } else if (arg == "--opaque-backing") {
      options.opaqueBacking = true;
    } else if (arg == "--second-piece") {
      options.secondPiece = true;
    } else if (arg == "--offset-x" && i + 1 < argc) {
      options.offsetX = std::atoi(argv[++i]);
    } else if (arg == "--info-plist" && i + 1 < argc) {
      plistPath = argv[++i];
    } else if (arg == "--write-icon" && i + 1 < argc) {
      iconPath = argv[++i];
    } else {
      return usage();
    }
  }
  if (plistPath.empty()) {
    plistPath = quillon::ownBundleInfoPlistPath();
  }

  quillon::SampleNotchIdentity identity;
  std::string error;
  if (auto read = quillon::readSampleNotchIdentity(plistPath, error)) {
    identity = *read;
  } else {
    std::fprintf(stderr, "sample-notch: %s; using the default look\n", error.c_str());
  }
  if (!iconPath.empty()) {
    constexpr int kIconSize = 256;
    const bool written =
        quillon::writeSamplePng(iconPath, quillon::paintSampleIcon(identity, kIconSize), kIconSize, kIconSize);
    if (!written) std::fprintf(stderr, "sample-notch: cannot write %s\n", iconPath.c_str());
    return written ? 0 : 1;
  }
  if (identity.behavior == quillon::SampleNotchBehavior::exitAtOnce) {
    return 0;
  }

  // Stop signals arrive through a descriptor, so the event loop handles them at a safe
  // point and can destroy its surface before the process ends.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  if (identity.behavior == quillon::SampleNotchBehavior::ignoreTerm) {
    std::signal(SIGTERM, SIG_IGN);
  } else {
    sigaddset(&stopSignals, SIGTERM);
  }
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGHUP);
  if (sigprocmask(SIG_BLOCK, &stopSignals, nullptr) != 0) {
    std::perror("sample-notch: sigprocmask");
    return 1;
  }
  const int stopFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
  if (stopFd < 0) {
    std::perror("sample-notch: signalfd");
    return 1;
  }

  int status = 1;
  {
    quillon::SampleNotchWindow window(identity, options);
    if (!window.open(error)) {
      std::fprintf(stderr, "sample-notch: %s\n", error.c_str());
    } else {
      status = window.run(stopFd);
    }
  }
  close(stopFd);
  return status;
}
