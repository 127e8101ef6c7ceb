#pragma once

#include <optional>
#include <string>

#include "core/support/bitmap.h"

namespace quillon {

// Icons for the process workspace, read through Qt: the image readers (".icns" needs
// the image-format plugins) and the desktop's icon theme. Main thread only.

// The image of `path` that best fits a `pixelSize` square (an ".icns" holds several
// sizes), scaled to fit it; none when the file is not an image Qt can read.
std::optional<Bitmap> qtImageFileIcon(const std::string& path, int pixelSize);
// The icon theme's generic application icon, else one drawn here: every app has an
// icon, as on the home platform.
std::optional<Bitmap> qtGenericApplicationIcon(int pixelSize);

}  // namespace quillon
