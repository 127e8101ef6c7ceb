// Saves a PNG of the X desktop as the capture adapter sees it: every on-screen window,
// composed back to front with its own alpha over a plain backdrop.
//
//   quillon_x11_screenshot OUTPUT.png [--wait-line]
//
// Composite keeps windows' pixels only from the moment they are redirected; a window
// that was already drawn may need a moment to redraw into its new storage. With
// --wait-line the tool redirects first, prints "ready", and captures when a line arrives
// on standard input, so the caller can start the windows in between.

#include <cstdio>
#include <iostream>
#include <string>

#include "linux/tools/desktop_screenshot.h"
#include "linux/x11_connection.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: quillon_x11_screenshot OUTPUT.png [--wait-line]\n");
    return 2;
  }
  const std::string output = argv[1];
  const bool waitLine = argc > 2 && std::string(argv[2]) == "--wait-line";
  auto connection = quillon::X11Connection::open();
  if (!connection) {
    std::fprintf(stderr, "quillon_x11_screenshot: cannot connect to the X display\n");
    return 1;
  }
  quillon::DesktopScreenshot screenshot(*connection);
  if (!screenshot.isAvailable()) {
    std::fprintf(stderr, "quillon_x11_screenshot: the X server has no usable Composite extension\n");
    return 1;
  }
  if (waitLine) {
    std::printf("ready\n");
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
  }
  if (const auto failure = screenshot.save(output); !failure.empty()) {
    std::fprintf(stderr, "quillon_x11_screenshot: %s failed\n", failure.c_str());
    return 1;
  }
  std::printf("%s\n", output.c_str());
  return 0;
}
