// Saves a PNG of the X desktop as the capture adapter sees it: every on-screen window,
// composed back to front with its own alpha over a plain backdrop. Used by scripts/demo.
//
//   quillon_x11_screenshot OUTPUT.png [--wait-line]
//
// Composite keeps windows' pixels only from the moment they are redirected; a window
// that was already drawn may need a moment to redraw into its new storage. With
// --wait-line the tool redirects first, prints "ready", and captures when a line arrives
// on standard input, so the caller can start the windows in between.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "core/support/bitmap.h"
#include "desktop/qt_image_codec.h"
#include "linux/x11_connection.h"
#include "linux/x11_screen_capture_service.h"
#include "linux/x11_window_list.h"

namespace {

// A dark slate backdrop where no window is: a bare X root has no picture of its own.
quillon::Bitmap backdrop(quillon::Bitmap image) {
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      std::uint8_t* p = image.pixel(x, y);
      const int inverse = 255 - p[3];
      const std::uint8_t bg[3] = {static_cast<std::uint8_t>(38 + y * 20 / image.height), 44, 56};
      for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint8_t>(p[c] + (bg[c] * inverse + 127) / 255);
      p[3] = 255;
    }
  }
  return image;
}

}  // namespace

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
  quillon::X11ScreenCaptureService capture(*connection);
  if (!capture.preflightPermission()) {
    std::fprintf(stderr, "quillon_x11_screenshot: the X server has no usable Composite extension\n");
    return 1;
  }
  if (waitLine) {
    std::printf("ready\n");
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
  }
  try {
    const auto content = capture.currentContent();
    if (content.displays.empty()) throw quillon::LaunchCaptureServiceError{"X11Capture", 4};
    std::vector<std::uint32_t> windows;
    for (const auto& window : content.windows) {
      // Off-screen helpers (trayer parks a few at negative positions) add nothing.
      if (window.frame.intersects(content.displays.front().frame)) windows.push_back(window.windowID);
    }
    const auto image = capture.displayImage(content.displays.front().displayID, windows, {});
    const auto png = quillon::QtImageCodec().encodePng(backdrop(image));
    if (!png) throw quillon::LaunchCaptureServiceError{"PNG", 1};
    std::ofstream out(output, std::ios::binary);
    out.write(reinterpret_cast<const char*>(png->data()), static_cast<std::streamsize>(png->size()));
    if (!out) throw quillon::LaunchCaptureServiceError{"write", 1};
  } catch (const quillon::LaunchCaptureServiceError& error) {
    std::fprintf(stderr, "quillon_x11_screenshot: capture failed (%s %ld)\n", error.domain.c_str(), error.code);
    return 1;
  }
  std::printf("%s\n", output.c_str());
  return 0;
}
