#pragma once

#include <CoreGraphics/CoreGraphics.h>

#include <optional>

#include "core/support/bitmap.h"

namespace quillon {

// `image` drawn at `width` x `height` pixels (scaled when its own size differs) into the
// core's pixel format: 8-bit RGBA, premultiplied, rows top to bottom, sRGB. None when
// the size is empty or Quartz cannot make the drawing context.
std::optional<Bitmap> macBitmapFromImage(CGImageRef image, int width, int height);

}  // namespace quillon
