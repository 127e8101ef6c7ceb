#include "linux/tools/desktop_screenshot.h"

#include <fstream>
#include <vector>

#include "core/support/bitmap.h"
#include "desktop/qt_image_codec.h"

namespace quillon {

namespace {

// A dark slate backdrop where no window is: a bare X root has no picture of its own.
Bitmap backdrop(Bitmap image) {
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

std::string DesktopScreenshot::save(const std::string& path) {
  try {
    const auto content = capture_.currentContent();
    if (content.displays.empty()) return "no display";
    std::vector<std::uint32_t> windows;
    for (const auto& window : content.windows) {
      // Off-screen helpers (trayer parks a few at negative positions) add nothing.
      if (window.frame.intersects(content.displays.front().frame)) windows.push_back(window.windowID);
    }
    const auto image = capture_.displayImage(content.displays.front().displayID, windows, {});
    const auto png = QtImageCodec().encodePng(backdrop(image));
    if (!png) return "PNG encoding";
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(png->data()), static_cast<std::streamsize>(png->size()));
    return out ? "" : "writing " + path;
  } catch (const Error& error) {
    return error.description();
  }
}

}  // namespace quillon
